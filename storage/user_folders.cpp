#include "storage/user_folders.h"

#include <QByteArray>
#include <QDir>
#include <QMutex>
#include <QStandardPaths>

namespace fc {

namespace {

QString windowsDirPath()
{
    // Asking QStandardPaths costs more than a cached read; its answer only
    // changes with these environment variables or the test mode.
    static QMutex mutex;
    static QByteArray lastXdg, lastHome;
    static bool lastTestMode = false;
    static QString dir;
    QByteArray xdg = qgetenv("XDG_DATA_HOME");
    QByteArray home = qgetenv("HOME");
    const bool testMode = QStandardPaths::isTestModeEnabled();
    QMutexLocker lock(&mutex);
    if (dir.isEmpty() || xdg != lastXdg || home != lastHome || testMode != lastTestMode) {
        dir = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) + QStringLiteral("/Fablecraft");
        lastXdg = std::move(xdg);
        lastHome = std::move(home);
        lastTestMode = testMode;
    }
    return dir;
}

} // namespace

bool IsBareIniName(const QString &file)
{
    return !file.contains(QLatin1Char('/')) && !file.contains(QLatin1Char('\\'));
}

QString GetWindowsDir()
{
    const QString dir = windowsDirPath();
    QDir().mkpath(dir);
    return dir;
}

QString ResolveIniPath(const QString &file)
{
    if (file.isEmpty())
        return file;
    if (IsBareIniName(file))
        return windowsDirPath() + QLatin1Char('/') + file;
    // Callers build paths the Windows way (GetWindowsDir() + "\\tmpquest.ini");
    // "\" is a separator here so such a path reaches the same file as the
    // bare name.
    if (file.contains(QLatin1Char('\\'))) {
        QString path = file;
        path.replace(QLatin1Char('\\'), QLatin1Char('/'));
        return path;
    }
    return file;
}

} // namespace fc
