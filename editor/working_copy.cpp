// The working copy: writes grouped by user event, committed behind the user
// interface on a worker thread, with an overlay so reads see them at once.
#include "editor/working_copy.h"

#include "storage/aohider.h"
#include "storage/cp1252.h"
#include "storage/regular_file.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QSet>
#include <QMetaObject>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>

namespace fc {

namespace {

using Clock = std::chrono::steady_clock;

// What a read of the value returns: the text before the first line break,
// at most as long as a profile read gives.
QString storedForm(const QString &value)
{
    qsizetype end = value.size();
    for (qsizetype i = 0; i < value.size(); ++i) {
        const QChar ch = value.at(i);
        if (ch == QLatin1Char('\r') || ch == QLatin1Char('\n') || ch == QChar(0)) {
            end = i;
            break;
        }
    }
    constexpr qsizetype kMaxValue = 8999;
    if (end > kMaxValue) {
        end = kMaxValue;
        if (value.at(end - 1).isHighSurrogate())
            --end;
    }
    return end == value.size() ? value : value.left(end);
}

QString nameKey(const QString &name) { return name.trimmed().toCaseFolded(); }

QString overlayKey(const QString &section, const QString &key)
{
    return nameKey(section) + QChar(0x1f) + nameKey(key);
}

struct Pending
{
    QString section, key, value;
    quint64 generation = 0;
};

bool failWith(QString *error, const QString &why)
{
    if (error)
        *error = why;
    return false;
}

// A section header line and its trimmed name.
struct Header
{
    qsizetype lineStart, lineEnd; // lineEnd after the line break
    QString name;
};

// Every line of bytes that the profile store reads as a section header.
QList<Header> sectionHeaders(const QByteArray &bytes)
{
    bool multiByte = false;
    qsizetype start = 0;
    bool utf8 = false;
    if (bytes.startsWith("\xEF\xBB\xBF")) {
        utf8 = true;
        start = 3;
    } else if (utf8::isValid(bytes.constData(), bytes.size(), &multiByte) && multiByte) {
        utf8 = true;
    }
    QList<Header> headers;
    const char *p = bytes.constData();
    const qsizetype n = bytes.size();
    qsizetype i = start;
    while (i < n) {
        const qsizetype lineStart = i;
        qsizetype e = i;
        while (e < n && p[e] != '\r' && p[e] != '\n')
            ++e;
        qsizetype next = e;
        if (e + 1 < n && p[e] == '\r' && p[e + 1] == '\n')
            next = e + 2;
        else if (e < n)
            next = e + 1;
        qsizetype j = lineStart;
        while (j < e && (p[j] == ' ' || p[j] == '\t'))
            ++j;
        if (j < e && p[j] == '[') {
            const char *close = static_cast<const char *>(memchr(p + j + 1, ']', size_t(e - j - 1)));
            if (close) {
                const qsizetype len = close - (p + j + 1);
                const QString name = utf8 ? QString::fromUtf8(p + j + 1, len) : cp1252::decode(p + j + 1, len);
                headers.append({lineStart, next, name.trimmed()});
            }
        }
        i = next;
    }
    return headers;
}

// Replaces the file at path (a path, never a bare profile name) with bytes,
// under the profile store's lock and with its care: links followed, owner
// and permissions kept, everything flushed to the disk.
bool writeFileAtomically(const QString &path, const QByteArray &bytes, QString *error)
{
    return RewriteIniFile(
        QFileInfo(path).absoluteFilePath(), [&](const QByteArray &) { return std::optional<QByteArray>(bytes); },
        error);
}

// A FIFO or device named as a quest is refused, never waited on.
bool readWholeFile(const QString &path, QByteArray *bytes, QString *error)
{
    FileRead read = ReadRegularFile(path, filelimit::kProfile);
    if (!read.ok())
        return failWith(error, read.error);
    *bytes = std::move(read.bytes);
    return true;
}

} // namespace

struct WorkingCopy::Impl
{
    WorkingCopy *owner = nullptr;
    QString file;
    Mode mode = Mode::Background;

    // Writes of the user event under way (user-interface thread only).
    QList<Pending> eventWrites;

    // Shared with the worker, under mutex.
    std::mutex mutex;
    std::condition_variable wake;
    QHash<QString, Pending> overlay; // by overlayKey; every write not yet known on disk
    QList<Pending> queue;            // ended events, oldest first
    Clock::time_point queuedSince;
    bool stopping = false;
    quint64 generation = 0;
    std::atomic<quint64> onDisk{0};

    // Held by whoever changes the file: the worker's commit, a flush, a
    // whole-file operation.
    std::mutex fileMutex;
    std::thread worker;

    // Takes the queue and commits it as one batch. Call with fileMutex held.
    bool commitQueue(QString *error)
    {
        QList<Pending> batch;
        {
            std::lock_guard lock(mutex);
            batch.swap(queue);
        }
        if (batch.isEmpty())
            return true;
        // Of several writes to one key only the last counts: the batch gets
        // each key once, at its last place.
        QList<const Pending *> last;
        {
            QSet<QString> seen;
            for (qsizetype i = batch.size() - 1; i >= 0; --i)
                if (!seen.contains(overlayKey(batch[i].section, batch[i].key))) {
                    seen.insert(overlayKey(batch[i].section, batch[i].key));
                    last.prepend(&batch[i]);
                }
        }
        IniBatch ini(file);
        for (const Pending *w : last)
            ini.write(w->section, w->key, w->value);
        QString why;
        const bool ok = ini.commit(&why);
        std::lock_guard lock(mutex);
        if (!ok) {
            // Put the writes back in front of anything queued meanwhile.
            if (queue.isEmpty())
                queuedSince = Clock::now();
            queue = batch + queue;
            if (error)
                *error = why;
            return false;
        }
        for (const Pending &w : batch) {
            const auto it = overlay.constFind(overlayKey(w.section, w.key));
            if (it != overlay.cend() && it->generation == w.generation)
                overlay.erase(it);
        }
        onDisk = std::max(onDisk.load(), batch.last().generation);
        return true;
    }

    void run()
    {
        std::unique_lock lock(mutex);
        for (;;) {
            wake.wait(lock, [this] { return stopping || !queue.isEmpty(); });
            if (stopping)
                return;
            const auto due = queuedSince + std::chrono::milliseconds(kGroupDelayMs);
            wake.wait_until(lock, due, [this] { return stopping; });
            if (stopping)
                return;
            lock.unlock();
            QString error;
            bool ok;
            {
                std::lock_guard files(fileMutex);
                ok = commitQueue(&error);
            }
            if (!ok) {
                QMetaObject::invokeMethod(owner, [o = owner, error] { Q_EMIT o->writeFailed(error); },
                                          Qt::QueuedConnection);
                std::this_thread::sleep_for(std::chrono::milliseconds(200));
            }
            lock.lock();
        }
    }

    void dropPending()
    {
        std::lock_guard lock(mutex);
        queue.clear();
        overlay.clear();
        eventWrites.clear();
        onDisk = generation;
    }
};

WorkingCopy::WorkingCopy(QString file, Mode mode, QObject *parent)
    : QObject(parent)
    , m_file(std::move(file))
    , d(std::make_unique<Impl>())
{
    d->owner = this;
    d->file = m_file;
    d->mode = mode;
    if (mode == Mode::Background)
        d->worker = std::thread([this] { d->run(); });
}

WorkingCopy::~WorkingCopy()
{
    flush();
    if (d->worker.joinable()) {
        {
            std::lock_guard lock(d->mutex);
            d->stopping = true;
        }
        d->wake.notify_all();
        d->worker.join();
    }
}

QString WorkingCopy::path() const { return ResolveIniPath(m_file); }

QString WorkingCopy::read(const QString &section, const QString &key) const
{
    {
        std::lock_guard lock(d->mutex);
        const auto it = d->overlay.constFind(overlayKey(section, key));
        if (it != d->overlay.cend())
            return it->value;
    }
    return ReadIni(m_file, section, key);
}

void WorkingCopy::write(const QString &section, const QString &key, const QString &value)
{
    const QString v = storedForm(value);
    if (read(section, key) == v)
        return;
    std::lock_guard lock(d->mutex);
    Pending w{section, key, v, ++d->generation};
    d->overlay.insert(overlayKey(section, key), w);
    d->eventWrites.append(std::move(w));
}

void WorkingCopy::endEvent()
{
    {
        std::lock_guard lock(d->mutex);
        if (d->eventWrites.isEmpty())
            return;
        if (d->queue.isEmpty())
            d->queuedSince = Clock::now();
        d->queue += d->eventWrites;
        d->eventWrites.clear();
    }
    if (d->mode == Mode::Synchronous) {
        QString error;
        std::lock_guard files(d->fileMutex);
        if (!d->commitQueue(&error))
            Q_EMIT writeFailed(error);
        return;
    }
    d->wake.notify_all();
}

bool WorkingCopy::flush(QString *error)
{
    endEvent();
    std::lock_guard files(d->fileMutex);
    return d->commitQueue(error);
}

int WorkingCopy::pendingWrites() const
{
    std::lock_guard lock(d->mutex);
    return int(d->overlay.size());
}

quint64 WorkingCopy::lastWrite() const
{
    std::lock_guard lock(d->mutex);
    return d->generation;
}

quint64 WorkingCopy::writesOnDisk() const { return d->onDisk.load(); }

bool WorkingCopy::remove(QString *error)
{
    std::lock_guard files(d->fileMutex);
    d->dropPending();
    QFile f(path());
    if (!f.exists() || f.remove())
        return true;
    return failWith(error, f.errorString());
}

bool WorkingCopy::replaceWith(const QString &source, QString *error)
{
    QByteArray bytes;
    if (!readWholeFile(source, &bytes, error))
        return false;
    std::lock_guard files(d->fileMutex);
    QDir().mkpath(QFileInfo(path()).absolutePath());
    if (!writeFileAtomically(path(), bytes, error))
        return false;
    d->dropPending();
    return true;
}

bool WorkingCopy::copyTo(const QString &destination, QString *error)
{
    endEvent();
    std::lock_guard files(d->fileMutex);
    if (!d->commitQueue(error))
        return false;
    QByteArray bytes;
    if (!readWholeFile(path(), &bytes, error))
        return false;
    return writeFileAtomically(destination, bytes, error);
}

bool WorkingCopy::removeSection(const QString &section, QString *error)
{
    endEvent();
    std::lock_guard files(d->fileMutex);
    if (!d->commitQueue(error))
        return false;
    if (!QFile::exists(path()))
        return true;
    const QString wanted = nameKey(section);
    return RewriteIniFile(
        path(),
        [&](const QByteArray &bytes) -> std::optional<QByteArray> {
            const QList<Header> headers = sectionHeaders(bytes);
            QByteArray out;
            qsizetype kept = 0;
            bool removed = false;
            for (qsizetype h = 0; h < headers.size(); ++h) {
                if (headers[h].name.toCaseFolded() != wanted)
                    continue;
                const qsizetype end = h + 1 < headers.size() ? headers[h + 1].lineStart : bytes.size();
                out += bytes.mid(kept, headers[h].lineStart - kept);
                kept = end;
                removed = true;
            }
            if (!removed)
                return std::nullopt;
            out += bytes.mid(kept);
            return out;
        },
        error);
}

QStringList WorkingCopy::sectionNames() const
{
    QStringList names;
    QByteArray bytes;
    {
        std::lock_guard files(d->fileMutex);
        if (!readWholeFile(path(), &bytes, nullptr))
            bytes.clear();
    }
    QSet<QString> seen;
    for (const Header &h : sectionHeaders(bytes)) {
        const QString folded = h.name.toCaseFolded();
        if (!seen.contains(folded)) {
            seen.insert(folded);
            names << h.name;
        }
    }
    std::lock_guard lock(d->mutex);
    for (const Pending &w : d->overlay) {
        const QString folded = nameKey(w.section);
        if (!seen.contains(folded)) {
            seen.insert(folded);
            names << w.section.trimmed();
        }
    }
    return names;
}

} // namespace fc
