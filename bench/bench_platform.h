#pragma once
// The machine and the disk a benchmark ran on, for the line each benchmark
// prints with its figures: the operating system, the CPU model and how many
// logical CPUs the process may use, and for a folder the device and file
// system it is on (a RAM disk said as such). QtCore only.

#include <QByteArray>
#include <QFile>
#include <QFileInfo>
#include <QStorageInfo>
#include <QString>
#include <QSysInfo>
#include <QThread>

namespace fc::bench {

// The model name of the first CPU, as /proc/cpuinfo gives it.
inline QString cpuName()
{
    QFile cpuinfo(QStringLiteral("/proc/cpuinfo"));
    if (cpuinfo.open(QIODevice::ReadOnly))
        for (const QByteArray &line : cpuinfo.readAll().split('\n'))
            if (line.startsWith("model name"))
                return QString::fromLatin1(line.mid(line.indexOf(':') + 1).trimmed());
    return QStringLiteral("unknown CPU");
}

// "Debian GNU/Linux 12 (bookworm), Intel(R) Xeon(R) ..., 2 logical CPUs".
inline QString machineText()
{
    return QStringLiteral("%1, %2, %3 logical CPUs")
        .arg(QSysInfo::prettyProductName(), cpuName())
        .arg(QThread::idealThreadCount());
}

// Whether a file system of this type keeps its files in memory.
inline bool isRamDisk(const QByteArray &fileSystemType)
{
    return fileSystemType == "tmpfs" || fileSystemType == "ramfs";
}

// The disk folder is on: "/dev/vda (ext4)", "tmpfs (tmpfs, RAM disk)".
inline QString diskText(const QString &folder)
{
    const QStorageInfo disk(QFileInfo(folder).absoluteFilePath());
    if (!disk.isValid())
        return QStringLiteral("unknown disk");
    return QStringLiteral("%1 (%2%3)")
        .arg(QString::fromLocal8Bit(disk.device()), QString::fromLatin1(disk.fileSystemType()),
             isRamDisk(disk.fileSystemType()) ? QStringLiteral(", RAM disk") : QString());
}

} // namespace fc::bench
