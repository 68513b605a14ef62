#include "engine/packaged_runtime.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace fc {

QString executableDir()
{
    return QFileInfo(QFileInfo(QStringLiteral("/proc/self/exe")).canonicalFilePath()).absolutePath();
}

bool usePackagedRuntime(const QString &programDir)
{
    const QString plugins = programDir + QStringLiteral("/lib/gstreamer-1.0");
    if (!QFileInfo(plugins).isDir())
        return false;
    qputenv("GST_PLUGIN_SYSTEM_PATH_1_0", QFile::encodeName(plugins));
    qunsetenv("GST_PLUGIN_PATH_1_0");
    qunsetenv("GST_PLUGIN_PATH");
    // Scan in this process: the system's plugin scanner may be missing or
    // belong to another GStreamer.
    qputenv("GST_REGISTRY_FORK", "no");
    QString cache = qEnvironmentVariable("XDG_CACHE_HOME");
    if (cache.isEmpty())
        cache = QDir::homePath() + QStringLiteral("/.cache");
    const QByteArray key = QCryptographicHash::hash(QFile::encodeName(programDir), QCryptographicHash::Sha1).toHex().left(16);
    const QString registry = cache + QStringLiteral("/Fablecraft/gstreamer-") + QString::fromLatin1(key) + QStringLiteral(".bin");
    QDir().mkpath(QFileInfo(registry).absolutePath());
    qputenv("GST_REGISTRY_1_0", QFile::encodeName(registry));
    return true;
}

} // namespace fc
