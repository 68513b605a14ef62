#include "storage/aohider.h"

#include "storage/ini_file.h"

#include <QCoreApplication>
#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QHash>
#include <QMutex>
#include <QSaveFile>
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

namespace fc {

namespace {

// The longest value a read returns: the 9000-character buffer of the
// original profile call, less its terminator.
constexpr qsizetype kMaxValueLength = 8999;

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

    static Stamp of(const QT_STATBUF &st)
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

struct RawRead
{
    Status status = Status::Failed;
    QByteArray bytes;
    Stamp before, after;
    qint64 started = 0;
    QString error;
};

QString errnoText(const QString &path, int err)
{
    return QStringLiteral("%1: %2").arg(QDir::toNativeSeparators(path), QString::fromLocal8Bit(std::strerror(err)));
}

RawRead readRaw(const QString &path, const QByteArray &native)
{
    RawRead r;
    r.started = nowNanos();
    const int fd = QT_OPEN(native.constData(), QT_OPEN_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        r.status = (errno == ENOENT || errno == ENOTDIR) ? Status::Missing : Status::Failed;
        r.error = errnoText(path, errno);
        return r;
    }
    QT_STATBUF st;
    if (QT_FSTAT(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        r.error = S_ISDIR(st.st_mode) ? errnoText(path, EISDIR) : errnoText(path, errno);
        QT_CLOSE(fd);
        return r;
    }
    r.before = Stamp::of(st);
    if (st.st_size > ini::IniFile::kMaxSize) {
        r.error = errnoText(path, EFBIG);
        QT_CLOSE(fd);
        return r;
    }
    // Read to the end rather than trusting the size: the file may grow
    // meanwhile; the stamps taken around the read tell.
    r.bytes.resize(qsizetype(st.st_size) + 1);
    qsizetype got = 0;
    for (;;) {
        if (got == r.bytes.size()) {
            if (got > ini::IniFile::kMaxSize) {
                r.error = errnoText(path, EFBIG);
                QT_CLOSE(fd);
                return r;
            }
            r.bytes.resize(got * 2);
        }
        const auto n = QT_READ(fd, r.bytes.data() + got, size_t(r.bytes.size() - got));
        if (n < 0) {
            if (errno == EINTR)
                continue;
            r.error = errnoText(path, errno);
            QT_CLOSE(fd);
            return r;
        }
        if (n == 0)
            break;
        got += n;
    }
    r.bytes.resize(got);
    if (QT_FSTAT(fd, &st) != 0) {
        r.error = errnoText(path, errno);
        QT_CLOSE(fd);
        return r;
    }
    r.after = Stamp::of(st);
    QT_CLOSE(fd);
    r.status = Status::Ok;
    return r;
}

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

        RawRead raw = readRaw(path, native);
        if (raw.status != Status::Ok) {
            map.remove(path);
            res.status = raw.status;
            res.error = raw.error;
            return res;
        }
        const bool settled = raw.before == raw.after && raw.after.settledAt(raw.started);
        if (it != map.end() && it->file->bytes() == raw.bytes) {
            // Same bytes as the copy we hold: keep its parse (and its lazily
            // built key indexes).
            it->stamp = raw.after;
            it->settled = settled;
            it->lastUse = ++m_clock;
            res.status = Status::Ok;
            res.file = it->file;
            return res;
        }
        auto file = std::make_shared<const ini::IniFile>(ini::IniFile::parse(std::move(raw.bytes), encoding));
        store(path, encoding, file, raw.after, settled);
        res.status = Status::Ok;
        res.file = std::move(file);
        return res;
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

    void forget(const QString &path)
    {
        m_entries[0].remove(path);
        m_entries[1].remove(path);
    }

    QMutex mutex;

private:
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
    std::optional<QString> value = loaded.file->value(section, key);
    if (!value)
        return {};
    if (value->size() > kMaxValueLength) {
        qsizetype n = kMaxValueLength;
        // Never leave half of a surrogate pair behind.
        if (value->at(n - 1).isHighSurrogate())
            --n;
        value->truncate(n);
    }
    return *value;
}

QString ReadIni(const QString &file, const QString &section, const QString &key)
{
    return ReadIni(file, section, key, IniEncoding::Detect);
}

namespace {

// Applies writes to the file as it is now and replaces it once.
bool writeAll(const QString &file, IniEncoding encoding, const QList<IniBatch::Write> &writes, QString *error)
{
    auto fail = [error](const QString &why) {
        if (error)
            *error = why;
        return false;
    };
    const QString path = ResolveIniPath(file);
    if (path.isEmpty())
        return fail(QStringLiteral("No file name given"));
    ParseCache &c = cache();
    QMutexLocker lock(&c.mutex);
    const ParseCache::Result current = c.load(path, encoding);
    if (current.status == Status::Failed)
        return fail(current.error); // never replace a file we could not read
    const ini::IniFile empty = ini::IniFile::parse({}, encoding);
    std::optional<QByteArray> bytes = (current.file ? *current.file : empty).bytes();
    for (const IniBatch::Write &w : writes) {
        QString why;
        const ini::IniFile step = ini::IniFile::parse(*bytes, encoding);
        bytes = step.withValue(w.section, w.key, w.value, &why);
        if (!bytes)
            return fail(why);
    }
    if (current.file && *bytes == current.file->bytes())
        return true; // already holds the value; leave the file untouched

    if (isBareName(file))
        QDir().mkpath(windowsDirPath());
    QSaveFile out(path);
    if (!out.open(QIODevice::WriteOnly))
        return fail(out.errorString());
    if (out.write(*bytes) != bytes->size()) {
        const QString msg = out.errorString();
        out.cancelWriting();
        return fail(msg);
    }
    if (!out.commit()) {
        c.forget(path);
        return fail(out.errorString());
    }

    QT_STATBUF st;
    if (QT_STAT(QFile::encodeName(path).constData(), &st) != 0) {
        c.forget(path);
        return true;
    }
    // Just written, so not yet settled: the next read compares bytes once.
    c.store(path, encoding,
            std::make_shared<const ini::IniFile>(ini::IniFile::parse(std::move(*bytes), encoding)),
            Stamp::of(st), false);
    return true;
}

} // namespace

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
