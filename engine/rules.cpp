#include "engine/rules.h"

#include "storage/user_folders.h"

#include <QDir>
#include <QFileInfo>

namespace fc::rules {

bool requiresItem(const QString &requiredValue)
{
    return requiredValue == QLatin1String("1");
}

bool ungated(const QString &requiredValue)
{
    return requiredValue == QLatin1String("0");
}

bool hidesOnceHeld(const QString &addValue)
{
    bool ok = false;
    const double n = addValue.trimmed().toDouble(&ok);
    return ok && n == 1.0;
}

bool givesItem(const QString &addValue, const QString &item)
{
    return addValue == QLatin1String("1") && !item.isEmpty();
}

QString gateByItem(const QString &shown, const QString &caption, const QString &requiredValue, bool held)
{
    QString result = shown;
    if (held)
        result = caption;
    else if (requiresItem(requiredValue))
        result.clear();
    if (ungated(requiredValue))
        result = caption;
    return result;
}

QString hideHeldGift(const QString &shown, const QString &addValue, bool held)
{
    return held && hidesOnceHeld(addValue) ? QString() : shown;
}

bool offeredOnArrival(const QString &caption, const QString &requiredValue, const QString &addValue, bool held)
{
    return !hideHeldGift(gateByItem(caption, caption, requiredValue, held), addValue, held).isEmpty();
}

bool opensBattle(const QString &battleValue)
{
    return battleValue == QLatin1String("1");
}

bool escapeAllowed(const QString &escapeCheckValue)
{
    return escapeCheckValue != QLatin1String("0");
}

bool leavesBattlePage(const QString &page)
{
    return !page.isEmpty();
}

QString mediaBesideQuest(const QString &questFile, const QString &value)
{
    if (value.isEmpty() || QDir::isAbsolutePath(value))
        return {};
    return QFileInfo(ResolveIniPath(questFile)).dir().filePath(value);
}

QString mediaPath(const QString &questFile, const QString &value)
{
    const QString beside = mediaBesideQuest(questFile, value);
    if (!beside.isEmpty() && QFileInfo::exists(beside))
        return beside;
    return value;
}

} // namespace fc::rules
