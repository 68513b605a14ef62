// Provisional implementation: correct enough for callers to build on; the
// full Windows-compatible reader and writer replaces it.
#include "storage/aohider.h"

#include <QCoreApplication>
#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>
#include <QTimer>

namespace fc {

QString GetWindowsDir()
{
    QString base = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
    QString dir = base + QStringLiteral("/Fablecraft");
    QDir().mkpath(dir);
    return dir;
}

QString ResolveIniPath(const QString &file)
{
    if (file.isEmpty() || file.contains(QLatin1Char('/')) || file.contains(QLatin1Char('\\')))
        return file;
    return GetWindowsDir() + QLatin1Char('/') + file;
}

QString ReadIni(const QString &file, const QString &section, const QString &key)
{
    QFile f(ResolveIniPath(file));
    if (!f.open(QIODevice::ReadOnly))
        return {};
    const QStringList lines = QString::fromLatin1(f.readAll()).split(QLatin1Char('\n'));
    bool inSection = false;
    for (QString line : lines) {
        line = line.trimmed();
        if (line.startsWith(QLatin1Char('['))) {
            inSection = line.mid(1, line.indexOf(QLatin1Char(']')) - 1).trimmed().compare(section, Qt::CaseInsensitive) == 0;
            continue;
        }
        const int eq = line.indexOf(QLatin1Char('='));
        if (inSection && eq > 0 && line.left(eq).trimmed().compare(key, Qt::CaseInsensitive) == 0)
            return line.mid(eq + 1).trimmed().left(8999);
    }
    return {};
}

bool WriteIniChecked(const QString &file, const QString &section, const QString &key, const QString &value, QString *)
{
    const QString path = ResolveIniPath(file);
    QFile f(path);
    QStringList lines;
    if (f.open(QIODevice::ReadOnly))
        lines = QString::fromLatin1(f.readAll()).split(QStringLiteral("\r\n"));
    f.close();
    if (!lines.isEmpty() && lines.last().isEmpty())
        lines.removeLast();
    int sectionLine = -1, lastKey = -1;
    bool inSection = false;
    for (int i = 0; i < lines.size(); ++i) {
        const QString t = lines[i].trimmed();
        if (t.startsWith(QLatin1Char('['))) {
            inSection = sectionLine < 0 && t.mid(1, t.indexOf(QLatin1Char(']')) - 1).trimmed().compare(section, Qt::CaseInsensitive) == 0;
            if (inSection) { sectionLine = i; lastKey = i; }
            continue;
        }
        const int eq = t.indexOf(QLatin1Char('='));
        if (inSection && eq > 0) {
            if (t.left(eq).trimmed().compare(key, Qt::CaseInsensitive) == 0) {
                lines[i] = t.left(eq).trimmed() + QLatin1Char('=') + value;
                lastKey = -2;
                break;
            }
            lastKey = i;
        }
    }
    if (lastKey >= 0)
        lines.insert(lastKey + 1, key + QLatin1Char('=') + value);
    else if (lastKey == -1)
        lines << QLatin1Char('[') + section + QLatin1Char(']') << key + QLatin1Char('=') + value;
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return false;
    f.write((lines.join(QStringLiteral("\r\n")) + QStringLiteral("\r\n")).toLatin1());
    return true;
}

void WriteIni(const QString &file, const QString &section, const QString &key, const QString &value)
{
    WriteIniChecked(file, section, key, value);
}

void Pause(double seconds)
{
    QEventLoop loop;
    QTimer::singleShot(int(seconds * 1000), &loop, &QEventLoop::quit);
    loop.exec();
}

} // namespace fc
