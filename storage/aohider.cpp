#include "storage/aohider.h"

#include "storage/ini_file.h"
#include "storage/regular_file.h"

#include <QCoreApplication>
#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QHash>
#include <QFileInfo>
#include <QMutex>
#include <QRandomGenerator>
#include <QStandardPaths>
#include <QTimer>
#include <qplatformdefs.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstring>
#include <ctime>
#include <memory>
#include <limits>
#include <thread>

#include <cctype>
#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

namespace fc {

namespace {

// Limits of the parse cache. The program works on a handful of files (a
// quest, the working copy, a saved game); more are dropped least recently
// used first.
constexpr int kMaxCachedFiles = 16;
constexpr qsizetype kMaxCachedBytes = qsizetype(512) * 1024 * 1024;

qint64 nanos(const struct timespec &t) { return qint64(t.tv_sec) * 1000000000 + t.tv_nsec; }

qint64 nowNanos()
{
    struct timespec t;
    clock_gettime(CLOCK_REALTIME, &t);
    return nanos(t);
}

// What identifies one version of a file without reading it.
struct Stamp
{
    dev_t dev = 0;
    ino_t ino = 0;
    qint64 size = -1;
    qint64 mtime = 0;
    qint64 ctime = 0;
    bool coarse = false; // the file system keeps no sub-second times

    bool operator==(const Stamp &o) const
    {
        return dev == o.dev && ino == o.ino && size == o.size && mtime == o.mtime && ctime == o.ctime;
    }

    template <typename Stat>
    static Stamp of(const Stat &st)
    {
        Stamp s;
        s.dev = st.st_dev;
        s.ino = st.st_ino;
        s.size = st.st_size;
        s.mtime = nanos(st.st_mtim);
        s.ctime = nanos(st.st_ctim);
        s.coarse = st.st_mtim.tv_nsec == 0 && st.st_ctim.tv_nsec == 0;
        return s;
    }

    // Whether a copy read at readStart can be reused while the stamp stays
    // the same. File times come from a clock that advances in ticks (a few
    // milliseconds; whole seconds on some file systems), so a change made
    // within the tick of an earlier change keeps size, inode and times. A
    // copy read well after the last change cannot miss such a change; a
    // younger one is compared with the file's bytes before it is reused.
    bool settledAt(qint64 readStart) const
    {
        const qint64 window = coarse ? qint64(2500) * 1000 * 1000 : qint64(50) * 1000 * 1000;
        return readStart - std::max(mtime, ctime) >= window;
    }
};

enum class Status { Ok, Missing, Failed };

struct Entry
{
    Stamp stamp;
    bool settled = false;
    std::shared_ptr<const ini::IniFile> file;
    quint64 lastUse = 0;
    qsizetype memory = 0;
};

QString errnoText(const QString &path, int err) { return fileErrorText(path, err); }

// Parsed files by resolved path and encoding mode.
class ParseCache
{
public:
    struct Result
    {
        Status status = Status::Failed;
        std::shared_ptr<const ini::IniFile> file; // set when Ok
        QString error;
    };

    // The file as it is on disk now. Call with the mutex held.
    Result load(const QString &path, IniEncoding encoding)
    {
        Result res;
        auto &map = m_entries[encoding == IniEncoding::Windows1252 ? 1 : 0];
        const QByteArray native = QFile::encodeName(path);
        QT_STATBUF st;
        if (QT_STAT(native.constData(), &st) != 0) {
            const int err = errno;
            map.remove(path);
            res.status = (err == ENOENT || err == ENOTDIR) ? Status::Missing : Status::Failed;
            res.error = errnoText(path, err);
            return res;
        }
        const Stamp now = Stamp::of(st);
        auto it = map.find(path);
        if (it != map.end() && it->stamp == now && it->settled) {
            it->lastUse = ++m_clock;
            res.status = Status::Ok;
            res.file = it->file;
            return res;
        }
        if (!S_ISREG(st.st_mode)) {
            // Never opened: a FIFO would block, a device never end.
            map.remove(path);
            res.status = Status::Failed;
            res.error = fileErrorText(path, notRegularReason(st.st_mode));
            refused(path, now, res.error);
            return res;
        }

        const qint64 started = nowNanos();
        // O_NONBLOCK: should the path have become a FIFO meanwhile, the open
        // must not wait for a writer.
        const int fd = QT_OPEN(native.constData(), QT_OPEN_RDONLY | O_CLOEXEC | O_NONBLOCK);
        if (fd < 0) {
            const int err = errno;
            map.remove(path);
            res.status = (err == ENOENT || err == ENOTDIR) ? Status::Missing : Status::Failed;
            res.error = errnoText(path, err);
            return res;
        }
        FileRead raw = ReadRegularFd(fd, path, filelimit::kProfile);
        QT_CLOSE(fd);
        if (!raw.ok()) {
            map.remove(path);
            res.status = Status::Failed;
            res.error = raw.error;
            refused(path, Stamp::of(raw.before), res.error);
            return res;
        }
        const Stamp before = Stamp::of(raw.before), after = Stamp::of(raw.after);
        const bool settled = before == after && after.settledAt(started);
        if (it != map.end() && it->file->bytes() == raw.bytes) {
            // Same bytes as the copy we hold: keep its parse (and its lazily
            // built key indexes).
            it->stamp = after;
            it->settled = settled;
            it->lastUse = ++m_clock;
            res.status = Status::Ok;
            res.file = it->file;
            return res;
        }
        auto file = std::make_shared<const ini::IniFile>(ini::IniFile::parse(std::move(raw.bytes), encoding));
        store(path, encoding, file, after, settled);
        res.status = Status::Ok;
        res.file = std::move(file);
        return res;
    }

    // The copy read or written for this version of the file, if any. Call
    // with the mutex held.
    std::shared_ptr<const ini::IniFile> cached(const QString &path, IniEncoding encoding, const Stamp &stamp)
    {
        auto &map = m_entries[encoding == IniEncoding::Windows1252 ? 1 : 0];
        auto it = map.find(path);
        if (it == map.end() || !(it->stamp == stamp) || !it->settled)
            return nullptr;
        it->lastUse = ++m_clock;
        return it->file;
    }

    // Remembers what a write left on disk. Call with the mutex held.
    void store(const QString &path, IniEncoding encoding, std::shared_ptr<const ini::IniFile> file,
               const Stamp &stamp, bool settled)
    {
        auto &map = m_entries[encoding == IniEncoding::Windows1252 ? 1 : 0];
        Entry &e = map[path];
        e.stamp = stamp;
        e.settled = settled;
        e.memory = file->memoryUsage();
        e.file = std::move(file);
        e.lastUse = ++m_clock;
        evict();
    }

    qsizetype memory() const
    {
        qsizetype bytes = 0;
        for (const auto &map : m_entries) {
            for (const Entry &e : map)
                bytes += e.file->memoryUsage();
        }
        return bytes;
    }

    void forget(const QString &path)
    {
        m_entries[0].remove(path);
        m_entries[1].remove(path);
    }

    QMutex mutex;

private:
    // Logs a refused file once, not at every read of it.
    void refused(const QString &path, const Stamp &stamp, const QString &error)
    {
        if (m_refusedPath == path && m_refusedStamp == stamp)
            return;
        m_refusedPath = path;
        m_refusedStamp = stamp;
        LogRefusal(error);
    }

    void evict()
    {
        for (;;) {
            qsizetype bytes = 0;
            int count = 0;
            QHash<QString, Entry> *oldestMap = nullptr;
            QString oldest;
            quint64 oldestUse = ~quint64(0);
            for (auto &map : m_entries) {
                for (auto it = map.cbegin(); it != map.cend(); ++it) {
                    bytes += it->memory;
                    ++count;
                    if (it->lastUse < oldestUse) {
                        oldestUse = it->lastUse;
                        oldest = it.key();
                        oldestMap = &map;
                    }
                }
            }
            if (count <= 1 || (count <= kMaxCachedFiles && bytes <= kMaxCachedBytes))
                return;
            oldestMap->remove(oldest);
        }
    }

    QHash<QString, Entry> m_entries[2];
    quint64 m_clock = 0;
    QString m_refusedPath;
    Stamp m_refusedStamp;
};

ParseCache &cache()
{
    static ParseCache c;
    return c;
}

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

bool isBareName(const QString &file)
{
    return !file.contains(QLatin1Char('/')) && !file.contains(QLatin1Char('\\'));
}

} // namespace

qsizetype ProfileCacheMemory()
{
    ParseCache &c = cache();
    QMutexLocker lock(&c.mutex);
    return c.memory();
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
    if (isBareName(file))
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

QString ReadIni(const QString &file, const QString &section, const QString &key, IniEncoding encoding)
{
    const QString path = ResolveIniPath(file);
    if (path.isEmpty())
        return {};
    ParseCache &c = cache();
    QMutexLocker lock(&c.mutex);
    const ParseCache::Result loaded = c.load(path, encoding);
    if (loaded.status != Status::Ok)
        return {};
    return loaded.file->readValue(section, key);
}

QString ReadIni(const QString &file, const QString &section, const QString &key)
{
    return ReadIni(file, section, key, IniEncoding::Detect);
}

namespace {

// ---- writing --------------------------------------------------------------

// A write follows symbolic links and replaces the file they lead to, so the
// link stays a link. A dangling link is followed to where its file would be.
bool followLinks(const QString &path, QString &target, QString *error)
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
                *error = errnoText(path, n < 0 ? errno : ENAMETOOLONG);
            return false;
        }
        buf.truncate(n);
        const QString link = QFile::decodeName(buf);
        p = QDir::isAbsolutePath(link) ? link : QFileInfo(p).absoluteDir().filePath(link);
    }
    if (error)
        *error = errnoText(path, ELOOP);
    return false;
}

void closeFd(int &fd)
{
    if (fd >= 0)
        QT_CLOSE(fd);
    fd = -1;
}

// The file, open and exclusively locked (flock, released when closed).
// Another writer may replace the file between our open and our lock; the
// lock is only kept once the path still names the inode we locked. A missing
// file is created empty to have something to lock; removeIfCreated() takes it
// away again when the write fails.
struct LockedFile
{
    int fd = -1;
    struct stat st{};
    bool created = false;
    QByteArray native;

    ~LockedFile() { closeFd(fd); }

    bool lock(const QString &path, QString *error)
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
                return fail(errnoText(path, errno));
            if (::fstat(fd, &st) != 0)
                return fail(errnoText(path, errno));
            if (!S_ISREG(st.st_mode))
                return fail(fileErrorText(path, notRegularReason(st.st_mode)));
            while (::flock(fd, LOCK_EX) != 0) {
                if (errno != EINTR)
                    return fail(errnoText(path, errno));
            }
            struct stat now;
            if (::stat(native.constData(), &now) == 0 && now.st_dev == st.st_dev && now.st_ino == st.st_ino) {
                ::fstat(fd, &st); // as it is now that we hold it
                return true;
            }
            closeFd(fd); // replaced or removed meanwhile: lock the new one
        }
        return fail(errnoText(path, EDEADLK));
    }

    void removeIfCreated()
    {
        struct stat now;
        if (created && ::stat(native.constData(), &now) == 0 && now.st_ino == st.st_ino && now.st_size == 0)
            ::unlink(native.constData());
    }
};

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

// Where the new bytes went and what the file looks like now.
struct Replaced
{
    struct stat st{};
    bool inPlace = false;
};

// Writes bytes in place of the locked file's contents, for folders we may not
// create files in. Space is reserved first, so a full disk fails before any
// byte changes; after a failure later on the old bytes are written back. The
// result is read back and compared.
bool rewriteInPlace(const QString &path, const LockedFile &locked, const QByteArray &bytes, const QByteArray &old,
                    Replaced &done, QString *error)
{
    const int fd = QT_OPEN(locked.native.constData(), O_RDWR | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) {
        if (error)
            *error = errnoText(path, errno);
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
        *error = errnoText(path, err);
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

// Replaces the locked file by a new one holding bytes: a temporary file in the
// same folder, given the old file's owner (where we may) and permissions,
// written, flushed to the disk, renamed over the old file, and the folder
// flushed. The temporary file is removed on any failure. A folder that
// forbids new files gets the bytes written in place instead.
bool replaceFile(const QString &path, const LockedFile &locked, const QByteArray &bytes, const QByteArray &old,
                 Replaced &done, QString *error)
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
            *error = errnoText(path, err);
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
        *error = errnoText(path, err);
    return ok;
}

// Finds the file a write of file replaces (links followed; the profile
// folder made for a bare name) and locks it.
bool lockForWrite(const QString &file, QString &path, LockedFile &locked, QString *error)
{
    const QString resolved = ResolveIniPath(file);
    if (resolved.isEmpty()) {
        if (error)
            *error = QStringLiteral("No file name given");
        return false;
    }
    if (!followLinks(resolved, path, error))
        return false;
    if (isBareName(file))
        QDir().mkpath(windowsDirPath());
    return locked.lock(path, error);
}

// Applies writes to the file as it is now and replaces it once, holding the
// file's lock from the read to the replacement.
bool writeAll(const QString &file, IniEncoding encoding, const QList<IniBatch::Write> &writes, QString *error)
{
    auto fail = [error](const QString &why) {
        if (error)
            *error = why;
        return false;
    };
    std::vector<ini::ValueWrite> edits;
    edits.reserve(std::size_t(writes.size()));
    for (const IniBatch::Write &w : writes)
        edits.push_back({w.section, w.key, w.value});

    QString path;
    LockedFile locked;
    if (!lockForWrite(file, path, locked, error))
        return false;
    ParseCache &c = cache();
    QMutexLocker lock(&c.mutex);
    // The cached copy is used only if it is the version we hold locked.
    std::shared_ptr<const ini::IniFile> current = c.cached(path, encoding, Stamp::of(locked.st));
    if (!current) {
        FileRead raw = ReadRegularFd(locked.fd, path, filelimit::kProfile);
        if (!raw.ok()) {
            locked.removeIfCreated();
            return fail(raw.error); // never replace a file we could not read
        }
        current = std::make_shared<const ini::IniFile>(ini::IniFile::parse(std::move(raw.bytes), encoding));
    }
    QString why;
    std::optional<QByteArray> bytes = current->withValues(edits, &why);
    if (!bytes) {
        locked.removeIfCreated();
        return fail(why);
    }
    if (!locked.created && *bytes == current->bytes())
        return true; // already holds the values; leave the file untouched

    Replaced done;
    if (!replaceFile(path, locked, *bytes, current->bytes(), done, error)) {
        locked.removeIfCreated();
        c.forget(path);
        return false;
    }
    // A file renamed into place is a new inode only this process has written:
    // its stamp identifies these bytes, so reads need not compare them. A file
    // rewritten in place keeps its inode; the next read compares once.
    c.forget(path);
    c.store(path, encoding, std::make_shared<const ini::IniFile>(ini::IniFile::parse(std::move(*bytes), encoding)),
            Stamp::of(done.st), !done.inPlace);
    return true;
}

} // namespace

bool RewriteIniFile(const QString &file, const std::function<std::optional<QByteArray>(const QByteArray &)> &change,
                    QString *error)
{
    QString path;
    LockedFile locked;
    if (!lockForWrite(file, path, locked, error))
        return false;
    FileRead raw = ReadRegularFd(locked.fd, path, filelimit::kProfile);
    if (!raw.ok()) {
        locked.removeIfCreated();
        if (error)
            *error = raw.error;
        return false; // never replace a file we could not read
    }
    std::optional<QByteArray> bytes = change(raw.bytes);
    if (!bytes || (!locked.created && *bytes == raw.bytes)) {
        if (!bytes)
            locked.removeIfCreated();
        return true;
    }
    ParseCache &c = cache();
    QMutexLocker lock(&c.mutex);
    Replaced done;
    const bool ok = replaceFile(path, locked, *bytes, raw.bytes, done, error);
    if (!ok)
        locked.removeIfCreated();
    c.forget(path);
    return ok;
}

IniBatch::IniBatch(QString file, IniEncoding encoding)
    : m_file(std::move(file))
    , m_encoding(encoding)
{
}

void IniBatch::write(const QString &section, const QString &key, const QString &value)
{
    m_writes.append({section, key, value});
}

bool IniBatch::commit(QString *error)
{
    if (m_writes.isEmpty())
        return true;
    if (!writeAll(m_file, m_encoding, m_writes, error))
        return false;
    m_writes.clear();
    return true;
}

bool WriteIniChecked(const QString &file, const QString &section, const QString &key, const QString &value,
                     IniEncoding encoding, QString *error)
{
    return writeAll(file, encoding, {IniBatch::Write{section, key, value}}, error);
}

bool WriteIniChecked(const QString &file, const QString &section, const QString &key, const QString &value,
                     QString *error)
{
    return WriteIniChecked(file, section, key, value, IniEncoding::Detect, error);
}

void WriteIni(const QString &file, const QString &section, const QString &key, const QString &value,
              IniEncoding encoding)
{
    WriteIniChecked(file, section, key, value, encoding, nullptr);
}

void WriteIni(const QString &file, const QString &section, const QString &key, const QString &value)
{
    WriteIniChecked(file, section, key, value, IniEncoding::Detect, nullptr);
}

void Pause(double seconds)
{
    if (!QCoreApplication::instance()) {
        if (seconds > 0)
            std::this_thread::sleep_for(std::chrono::duration<double>(std::min(seconds, 1e6)));
        return;
    }
    if (!(seconds > 0)) {
        QCoreApplication::processEvents();
        return;
    }
    const double ms = std::ceil(seconds * 1000.0);
    QEventLoop loop;
    QTimer timer;
    timer.setSingleShot(true);
    timer.setTimerType(Qt::PreciseTimer);
    QObject::connect(&timer, &QTimer::timeout, &loop, &QEventLoop::quit);
    timer.start(ms >= double(std::numeric_limits<int>::max()) ? std::numeric_limits<int>::max() : int(ms));
    loop.exec();
}

} // namespace fc
