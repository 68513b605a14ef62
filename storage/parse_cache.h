#pragma once
// The profile store's parse cache: parsed INI files kept between calls as
// long as the file's size, inode, and modification and change times are
// unchanged, so unchanged files are not parsed again. Every lookup compares
// the file on disk with the copy held, so a change made by anyone (another
// program included) is seen by the next read.
//
// Only regular files are read (links followed; FIFOs and devices are refused
// like a missing file, with a log line), up to 512 MiB.
//
// Used by storage/profile_store.cpp; the calls of ParseCache expect its mutex
// held.

#include "storage/ini_encoding.h"
#include "storage/ini_file.h"

#include <QHash>
#include <QMutex>
#include <QString>

#include <sys/stat.h>
#include <sys/types.h>

#include <algorithm>
#include <ctime>
#include <memory>

namespace fc {

// What identifies one version of a file without reading it.
struct FileStamp
{
    dev_t dev = 0;
    ino_t ino = 0;
    qint64 size = -1;
    qint64 mtime = 0;
    qint64 ctime = 0;
    bool coarse = false; // the file system keeps no sub-second times

    bool operator==(const FileStamp &o) const
    {
        return dev == o.dev && ino == o.ino && size == o.size && mtime == o.mtime && ctime == o.ctime;
    }

    static qint64 nanos(const struct timespec &t) { return qint64(t.tv_sec) * 1000000000 + t.tv_nsec; }

    template <typename Stat>
    static FileStamp of(const Stat &st)
    {
        FileStamp s;
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

// Parsed files by resolved path and encoding mode.
class ParseCache
{
public:
    enum class Status { Ok, Missing, Failed };

    struct Result
    {
        Status status = Status::Failed;
        std::shared_ptr<const ini::IniFile> file; // set when Ok
        QString error;
    };

    // The one cache of the process.
    static ParseCache &shared();

    // The file as it is on disk now.
    Result load(const QString &path, IniEncoding encoding);

    // The copy read or written for this version of the file, if any.
    std::shared_ptr<const ini::IniFile> cached(const QString &path, IniEncoding encoding, const FileStamp &stamp);

    // Remembers what a write left on disk.
    void store(const QString &path, IniEncoding encoding, std::shared_ptr<const ini::IniFile> file,
               const FileStamp &stamp, bool settled);

    // Heap bytes held now.
    qsizetype memory() const;

    void forget(const QString &path);

    QMutex mutex;

private:
    struct Entry
    {
        FileStamp stamp;
        bool settled = false;
        std::shared_ptr<const ini::IniFile> file;
        quint64 lastUse = 0;
        qsizetype memory = 0;
    };

    QHash<QString, Entry> &entriesFor(IniEncoding encoding);
    // Logs a refused file once, not at every read of it.
    void refused(const QString &path, const FileStamp &stamp, const QString &error);
    void evict();

    QHash<QString, Entry> m_entries[2];
    quint64 m_clock = 0;
    QString m_refusedPath;
    FileStamp m_refusedStamp;
};

// Heap bytes the parse cache holds now: the files' bytes, their sections and
// the key indexes built so far. For measurements.
qsizetype ProfileCacheMemory();

} // namespace fc
