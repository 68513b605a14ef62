#include "storage/regular_file.h"

#include <QDir>
#include <QFile>
#include <qplatformdefs.h>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

namespace fc {

Q_LOGGING_CATEGORY(lcFiles, "fablecraft.files")

namespace {

QString sizeText(qint64 bytes)
{
    if (bytes % (1024 * 1024) == 0)
        return QStringLiteral("%1 MiB").arg(bytes / (1024 * 1024));
    return QStringLiteral("%1 bytes").arg(bytes);
}

FileRead refused(FileStatus status, QString error)
{
    FileRead r;
    r.status = status;
    r.error = std::move(error);
    return r;
}

FileStatus statusOfErrno(int err)
{
    return (err == ENOENT || err == ENOTDIR) ? FileStatus::Missing : FileStatus::Failed;
}

} // namespace

QString fileErrorText(const QString &path, const QString &cause)
{
    return QStringLiteral("%1: %2").arg(QDir::toNativeSeparators(path), cause);
}

QString fileErrorText(const QString &path, int err)
{
    return fileErrorText(path, QString::fromLocal8Bit(std::strerror(err)));
}

QString notRegularReason(mode_t mode)
{
    if (S_ISREG(mode))
        return {};
    if (S_ISDIR(mode))
        return QStringLiteral("is a folder, not a regular file");
    if (S_ISFIFO(mode))
        return QStringLiteral("is a FIFO, not a regular file");
    if (S_ISSOCK(mode))
        return QStringLiteral("is a socket, not a regular file");
    if (S_ISCHR(mode))
        return QStringLiteral("is a character device, not a regular file");
    if (S_ISBLK(mode))
        return QStringLiteral("is a block device, not a regular file");
    return QStringLiteral("is not a regular file");
}

void LogRefusal(const QString &error)
{
    qCWarning(lcFiles).noquote() << "refused" << error;
}

FileStatus CheckRegularFile(const QString &path, qint64 maxBytes, QString *error)
{
    auto fail = [&](FileStatus status, const QString &why) {
        if (error)
            *error = why;
        if (status != FileStatus::Missing)
            LogRefusal(why);
        return status;
    };
    if (path.isEmpty())
        return fail(FileStatus::Missing, QStringLiteral("No file name given"));
    struct stat st;
    if (::stat(QFile::encodeName(path).constData(), &st) != 0) {
        const int err = errno;
        return fail(statusOfErrno(err), fileErrorText(path, err));
    }
    if (!S_ISREG(st.st_mode))
        return fail(FileStatus::NotRegular, fileErrorText(path, notRegularReason(st.st_mode)));
    if (st.st_size > maxBytes)
        return fail(FileStatus::TooLarge, fileErrorText(path, QStringLiteral("is larger than %1").arg(sizeText(maxBytes))));
    return FileStatus::Ok;
}

FileRead ReadRegularFd(int fd, const QString &path, qint64 maxBytes)
{
    FileRead r;
    if (::fstat(fd, &r.before) != 0)
        return refused(FileStatus::Failed, fileErrorText(path, errno));
    if (!S_ISREG(r.before.st_mode))
        return refused(FileStatus::NotRegular, fileErrorText(path, notRegularReason(r.before.st_mode)));
    const QString tooLarge = fileErrorText(path, QStringLiteral("is larger than %1").arg(sizeText(maxBytes)));
    if (r.before.st_size > maxBytes)
        return refused(FileStatus::TooLarge, tooLarge);
    // Read to the end rather than trusting the size: the file may grow
    // meanwhile; the status taken around the read tells.
    r.bytes.resize(qsizetype(r.before.st_size) + 1);
    qsizetype got = 0;
    for (;;) {
        if (got == r.bytes.size()) {
            if (got > maxBytes)
                return refused(FileStatus::TooLarge, tooLarge);
            r.bytes.resize(qsizetype(std::min<qint64>(qint64(got) * 2, maxBytes + 1)));
        }
        const ssize_t n = ::pread(fd, r.bytes.data() + got, size_t(r.bytes.size() - got), off_t(got));
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return refused(FileStatus::Failed, fileErrorText(path, errno));
        }
        if (n == 0)
            break;
        got += n;
    }
    if (got > maxBytes)
        return refused(FileStatus::TooLarge, tooLarge);
    r.bytes.resize(got);
    if (::fstat(fd, &r.after) != 0)
        return refused(FileStatus::Failed, fileErrorText(path, errno));
    r.status = FileStatus::Ok;
    return r;
}

FileRead ReadRegularFile(const QString &path, qint64 maxBytes)
{
    if (path.isEmpty())
        return refused(FileStatus::Missing, QStringLiteral("No file name given"));
    // O_NONBLOCK: opening a FIFO must not wait for a writer. Regular files
    // ignore the flag.
    const int fd = QT_OPEN(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) {
        const int err = errno;
        FileRead r = refused(statusOfErrno(err), fileErrorText(path, err));
        if (r.status != FileStatus::Missing)
            LogRefusal(r.error);
        return r;
    }
    FileRead r = ReadRegularFd(fd, path, maxBytes);
    QT_CLOSE(fd);
    if (!r.ok())
        LogRefusal(r.error);
    return r;
}

} // namespace fc
