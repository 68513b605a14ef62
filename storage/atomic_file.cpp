#include "storage/atomic_file.h"

#include "storage/regular_file.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <qplatformdefs.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

namespace fc {

namespace {

void closeFd(int &fd)
{
    if (fd >= 0)
        QT_CLOSE(fd);
    fd = -1;
}

bool writeFully(int fd, const QByteArray &bytes, qint64 offset, int &err)
{
    qsizetype done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::pwrite(fd, bytes.constData() + done, size_t(bytes.size() - done), off_t(offset + done));
        if (n < 0) {
            if (errno == EINTR)
                continue;
            err = errno;
            return false;
        }
        done += n;
    }
    return true;
}

// Writes bytes in place of the locked file's contents, for folders we may not
// create files in. Space is reserved first, so a full disk fails before any
// byte changes; after a failure later on the old bytes are written back. The
// result is read back and compared.
bool rewriteInPlace(const QString &path, const LockedFile &locked, const QByteArray &bytes, const QByteArray &old,
                    ReplacedFile &done, QString *error)
{
    const int fd = QT_OPEN(locked.native.constData(), O_RDWR | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) {
        if (error)
            *error = fileErrorText(path, errno);
        return false;
    }
    int err = 0;
    struct stat st;
    bool ok = ::fstat(fd, &st) == 0 && st.st_ino == locked.st.st_ino && st.st_dev == locked.st.st_dev;
    if (!ok)
        err = errno ? errno : ESTALE;
    if (ok && bytes.size() > st.st_size) {
        err = ::posix_fallocate(fd, 0, off_t(bytes.size()));
        ok = err == 0;
        if (!ok && ::ftruncate(fd, st.st_size) != 0) {
            // leave the size as the reservation left it; the bytes are unchanged
        }
    }
    bool touched = false;
    if (ok) {
        touched = true;
        ok = writeFully(fd, bytes, 0, err);
    }
    if (ok && ::ftruncate(fd, off_t(bytes.size())) != 0) {
        err = errno;
        ok = false;
    }
    if (ok && ::fdatasync(fd) != 0) {
        err = errno;
        ok = false;
    }
    if (ok) {
        QByteArray back(bytes.size(), Qt::Uninitialized);
        qsizetype got = 0;
        while (got < back.size()) {
            const ssize_t n = ::pread(fd, back.data() + got, size_t(back.size() - got), off_t(got));
            if (n < 0 && errno == EINTR)
                continue;
            if (n <= 0)
                break;
            got += n;
        }
        if (got != back.size() || back != bytes) {
            err = EIO;
            ok = false;
        }
    }
    if (!ok && touched) {
        int ignored = 0;
        if (writeFully(fd, old, 0, ignored) && ::ftruncate(fd, off_t(old.size())) == 0)
            ::fdatasync(fd);
    }
    if (ok && ::fstat(fd, &done.st) != 0) {
        err = errno;
        ok = false;
    }
    if (::close(fd) != 0 && ok) {
        err = errno;
        ok = false;
    }
    if (!ok && error)
        *error = fileErrorText(path, err);
    done.inPlace = true;
    return ok;
}

// Temporary files of this file left by a writer that was killed. Called with
// the file locked: every other writer creates its temporary file only while
// it holds the lock, so none of them is in use.
void removeStaleTemporaries(const QString &folder, const QString &name)
{
    DIR *dir = ::opendir(QFile::encodeName(folder).constData());
    if (!dir)
        return;
    const QByteArray prefix = '.' + QFile::encodeName(name) + '.';
    const int fd = ::dirfd(dir);
    while (const struct dirent *e = ::readdir(dir)) {
        const QByteArrayView entry(e->d_name);
        // ".<name>.<16 hex digits>.tmp"
        if (entry.size() != prefix.size() + 20 || !entry.startsWith(prefix) || !entry.endsWith(".tmp"))
            continue;
        const QByteArrayView digits = entry.sliced(prefix.size(), 16);
        if (std::all_of(digits.begin(), digits.end(), [](char c) { return std::isxdigit(uchar(c)); }))
            ::unlinkat(fd, e->d_name, 0);
    }
    ::closedir(dir);
}

} // namespace

bool FollowLinks(const QString &path, QString &target, QString *error)
{
    QString p = path;
    for (int hops = 0; hops < 40; ++hops) {
        const QByteArray native = QFile::encodeName(p);
        struct stat st;
        if (::lstat(native.constData(), &st) != 0 || !S_ISLNK(st.st_mode)) {
            target = p;
            return true;
        }
        QByteArray buf(4096, Qt::Uninitialized);
        const ssize_t n = ::readlink(native.constData(), buf.data(), size_t(buf.size()));
        if (n < 0 || n >= buf.size()) {
            if (error)
                *error = fileErrorText(path, n < 0 ? errno : ENAMETOOLONG);
            return false;
        }
        buf.truncate(n);
        const QString link = QFile::decodeName(buf);
        p = QDir::isAbsolutePath(link) ? link : QFileInfo(p).absoluteDir().filePath(link);
    }
    if (error)
        *error = fileErrorText(path, ELOOP);
    return false;
}

bool ReplaceLockedFile(const QString &path, const LockedFile &locked, const QByteArray &bytes, const QByteArray &old,
                       ReplacedFile &done, QString *error)
{
    const QFileInfo info(path);
    const QString folder = info.absolutePath();
    removeStaleTemporaries(folder, info.fileName());
    QString tempPath;
    int fd = -1;
    for (int attempt = 0; attempt < 100 && fd < 0; ++attempt) {
        tempPath = folder + QStringLiteral("/.") + info.fileName()
                   + QStringLiteral(".%1.tmp").arg(QRandomGenerator::global()->generate64(), 16, 16, QLatin1Char('0'));
        fd = QT_OPEN(QFile::encodeName(tempPath).constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
        if (fd < 0 && errno != EEXIST)
            break;
    }
    if (fd < 0) {
        const int err = errno;
        if ((err == EACCES || err == EPERM) && !locked.created)
            return rewriteInPlace(path, locked, bytes, old, done, error);
        if (error)
            *error = fileErrorText(path, err);
        return false;
    }
    const QByteArray tempNative = QFile::encodeName(tempPath);
    int err = 0;
    auto failed = [&](int e) {
        err = e;
        return false;
    };
    struct stat mine;
    bool ok = ::fstat(fd, &mine) == 0 || failed(errno);
    if (ok && (mine.st_uid != locked.st.st_uid || mine.st_gid != locked.st.st_gid)) {
        // Only the superuser may give a file away; others can often keep the
        // group at least. Neither is worth failing the write for.
        if (::fchown(fd, locked.st.st_uid, locked.st.st_gid) != 0 && ::fchown(fd, uid_t(-1), locked.st.st_gid) != 0) {
        }
    }
    ok = ok && (::fchmod(fd, locked.st.st_mode & 07777) == 0 || failed(errno));
    ok = ok && writeFully(fd, bytes, 0, err);
    ok = ok && (::fdatasync(fd) == 0 || failed(errno));
    ok = ok && (::rename(tempNative.constData(), locked.native.constData()) == 0 || failed(errno));
    const bool renamed = ok;
    if (!renamed && (err == EPERM || err == EACCES) && !locked.created) {
        // A sticky folder lets us create files but not replace another
        // user's: write that one in place.
        ::close(fd);
        ::unlink(tempNative.constData());
        return rewriteInPlace(path, locked, bytes, old, done, error);
    }
    ok = ok && (::fstat(fd, &done.st) == 0 || failed(errno));
    if (::close(fd) != 0 && ok)
        ok = failed(errno);
    if (!renamed)
        ::unlink(tempNative.constData());
    if (ok) {
        const int dir = QT_OPEN(QFile::encodeName(folder).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        if (dir >= 0) {
            if (::fsync(dir) != 0 && errno != EINVAL && errno != EROFS)
                ok = failed(errno);
            QT_CLOSE(dir);
        }
    }
    if (!ok && error)
        *error = fileErrorText(path, err);
    return ok;
}

LockedFile::~LockedFile() { closeFd(fd); }

bool LockedFile::lock(const QString &path, QString *error)
{
    native = QFile::encodeName(path);
    auto fail = [&](const QString &why) {
        closeFd(fd);
        if (error)
            *error = why;
        return false;
    };
    for (int attempt = 0; attempt < 10000; ++attempt) {
        created = false;
        fd = QT_OPEN(native.constData(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
        if (fd < 0 && errno == EACCES)
            fd = QT_OPEN(native.constData(), O_WRONLY | O_CLOEXEC | O_NONBLOCK);
        if (fd < 0 && errno == ENOENT) {
            fd = QT_OPEN(native.constData(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
            if (fd < 0 && errno == EEXIST)
                continue;
            created = fd >= 0;
        }
        if (fd < 0)
            return fail(fileErrorText(path, errno));
        if (::fstat(fd, &st) != 0)
            return fail(fileErrorText(path, errno));
        if (!S_ISREG(st.st_mode))
            return fail(fileErrorText(path, notRegularReason(st.st_mode)));
        while (::flock(fd, LOCK_EX) != 0) {
            if (errno != EINTR)
                return fail(fileErrorText(path, errno));
        }
        struct stat now;
        if (::stat(native.constData(), &now) == 0 && now.st_dev == st.st_dev && now.st_ino == st.st_ino) {
            ::fstat(fd, &st); // as it is now that we hold it
            return true;
        }
        closeFd(fd); // replaced or removed meanwhile: lock the new one
    }
    return fail(fileErrorText(path, EDEADLK));
}

void LockedFile::removeIfCreated()
{
    struct stat now;
    if (created && ::stat(native.constData(), &now) == 0 && now.st_ino == st.st_ino && now.st_size == 0)
        ::unlink(native.constData());
}

} // namespace fc
