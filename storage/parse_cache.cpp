#include "storage/parse_cache.h"

#include "storage/regular_file.h"

#include <QFile>
#include <qplatformdefs.h>

#include <cerrno>
#include <fcntl.h>

namespace fc {

namespace {

// Limits of the parse cache. The program works on a handful of files (a
// quest, the working copy, a saved game); more are dropped least recently
// used first.
constexpr int kMaxCachedFiles = 16;
constexpr qsizetype kMaxCachedBytes = qsizetype(512) * 1024 * 1024;

qint64 nowNanos()
{
    struct timespec t;
    clock_gettime(CLOCK_REALTIME, &t);
    return FileStamp::nanos(t);
}

} // namespace

ParseCache &ParseCache::shared()
{
    static ParseCache c;
    return c;
}

QHash<QString, ParseCache::Entry> &ParseCache::entriesFor(IniEncoding encoding)
{
    return m_entries[encoding == IniEncoding::Windows1252 ? 1 : 0];
}

ParseCache::Result ParseCache::load(const QString &path, IniEncoding encoding)
{
    Result res;
    auto &map = entriesFor(encoding);
    const QByteArray native = QFile::encodeName(path);
    QT_STATBUF st;
    if (QT_STAT(native.constData(), &st) != 0) {
        const int err = errno;
        map.remove(path);
        res.status = (err == ENOENT || err == ENOTDIR) ? Status::Missing : Status::Failed;
        res.error = fileErrorText(path, err);
        return res;
    }
    const FileStamp now = FileStamp::of(st);
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
        res.error = fileErrorText(path, err);
        return res;
    }
    FileRead raw = ReadRegularFd(fd, path, filelimit::kProfile);
    QT_CLOSE(fd);
    if (!raw.ok()) {
        map.remove(path);
        res.status = Status::Failed;
        res.error = raw.error;
        refused(path, FileStamp::of(raw.before), res.error);
        return res;
    }
    const FileStamp before = FileStamp::of(raw.before), after = FileStamp::of(raw.after);
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

std::shared_ptr<const ini::IniFile> ParseCache::cached(const QString &path, IniEncoding encoding,
                                                       const FileStamp &stamp)
{
    auto &map = entriesFor(encoding);
    auto it = map.find(path);
    if (it == map.end() || !(it->stamp == stamp) || !it->settled)
        return nullptr;
    it->lastUse = ++m_clock;
    return it->file;
}

void ParseCache::store(const QString &path, IniEncoding encoding, std::shared_ptr<const ini::IniFile> file,
                       const FileStamp &stamp, bool settled)
{
    Entry &e = entriesFor(encoding)[path];
    e.stamp = stamp;
    e.settled = settled;
    e.memory = file->memoryUsage();
    e.file = std::move(file);
    e.lastUse = ++m_clock;
    evict();
}

qsizetype ParseCache::memory() const
{
    qsizetype bytes = 0;
    for (const auto &map : m_entries) {
        for (const Entry &e : map)
            bytes += e.file->memoryUsage();
    }
    return bytes;
}

void ParseCache::forget(const QString &path)
{
    m_entries[0].remove(path);
    m_entries[1].remove(path);
}

void ParseCache::refused(const QString &path, const FileStamp &stamp, const QString &error)
{
    if (m_refusedPath == path && m_refusedStamp == stamp)
        return;
    m_refusedPath = path;
    m_refusedStamp = stamp;
    LogRefusal(error);
}

void ParseCache::evict()
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

qsizetype ProfileCacheMemory()
{
    ParseCache &c = ParseCache::shared();
    QMutexLocker lock(&c.mutex);
    return c.memory();
}

} // namespace fc
