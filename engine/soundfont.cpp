#include "engine/soundfont.h"

#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

namespace fc {

QStringList soundFontCandidates(const QString &programDir)
{
    QStringList dirs;
    if (!programDir.isEmpty()) {
        dirs << programDir;
        dirs << QDir::cleanPath(programDir + QStringLiteral("/../share/fablecraft"));
    }
    dirs << QStringLiteral("/usr/share/sounds/sf2") << QStringLiteral("/usr/share/soundfonts")
         << QStringLiteral("/usr/share/sounds/sf3") << QStringLiteral("/usr/local/share/sounds/sf2")
         << QStringLiteral("/usr/local/share/soundfonts");
    for (const QString &base : QStandardPaths::standardLocations(QStandardPaths::GenericDataLocation))
        dirs << base + QStringLiteral("/sounds/sf2") << base + QStringLiteral("/soundfonts");
    QStringList files;
    for (const QString &dir : dirs) {
        const QString file = dir + QLatin1Char('/') + QLatin1String(kSoundFontFileName);
        if (!files.contains(file))
            files << file;
    }
    return files;
}

QString findSoundFont(const QString &programDir)
{
    for (const QString &file : soundFontCandidates(programDir)) {
        if (QFileInfo(file).isFile())
            return file;
    }
    return {};
}

} // namespace fc
