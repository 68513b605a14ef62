// The working copy: the quest document, written to its file as a whole after
// each user event, behind the user interface on a worker thread.
#include "editor/working_copy.h"

#include "storage/profile_store.h"
#include "storage/regular_file.h"
#include "storage/user_folders.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMetaObject>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

namespace fc {

namespace {

using Clock = std::chrono::steady_clock;

bool failWith(QString *error, const QString &why)
{
    if (error)
        *error = why;
    return false;
}

// Replaces the file at path with bytes, under the profile store's lock and
// with its care: links followed, owner and permissions kept, everything
// flushed to the disk.
bool writeFileAtomically(const QString &path, const QByteArray &bytes, QString *error)
{
    return RewriteIniFile(
        QFileInfo(path).absoluteFilePath(), [&](const QByteArray &) { return std::optional<QByteArray>(bytes); },
        error);
}

} // namespace

struct WorkingCopy::Impl
{
    WorkingCopy *owner = nullptr;
    QString file;
    Mode mode = Mode::Background;
    QuestDocument doc;
    // Changes of the document (user-interface thread only).
    quint64 generation = 0;
    quint64 queuedGeneration = 0;

    // Shared with the worker, under mutex.
    std::mutex mutex;
    std::condition_variable wake;
    std::shared_ptr<const QuestDocument::Snapshot> pending; // newest not yet written
    quint64 pendingGeneration = 0;
    Clock::time_point queuedSince;
    bool stopping = false;
    QString lastError;
    bool holdRetry = false; // after a failure the worker waits for a change
    std::atomic<quint64> onDisk{0};

    // Held by whoever writes the file: the worker, a flush, remove().
    std::mutex fileMutex;
    std::thread worker;
    int lockFd = -1;

    QString path() const { return ResolveIniPath(file); }

    // Writes the pending snapshot, if any. Call with fileMutex held.
    bool writePending(QString *error)
    {
        std::shared_ptr<const QuestDocument::Snapshot> snap;
        quint64 gen;
        {
            std::lock_guard lock(mutex);
            snap = std::move(pending);
            pending.reset();
            gen = pendingGeneration;
        }
        if (!snap)
            return true;
        QString why;
        const QString target = path();
        QDir().mkpath(QFileInfo(target).absolutePath());
        const bool ok = writeFileAtomically(target, QuestDocument::bytesOf(*snap), &why);
        bool recovered = false;
        {
            std::lock_guard lock(mutex);
            if (!ok) {
                if (!pending) { // nothing newer came meanwhile: keep this one
                    pending = std::move(snap);
                    pendingGeneration = gen;
                    queuedSince = Clock::now();
                }
                lastError = why;
                holdRetry = true;
            } else {
                onDisk = std::max(onDisk.load(), gen);
                recovered = !lastError.isEmpty();
                lastError.clear();
            }
        }
        if (!ok) {
            if (error)
                *error = why;
            QMetaObject::invokeMethod(owner, [o = owner, why] { Q_EMIT o->writeFailed(why); }, Qt::QueuedConnection);
            return false;
        }
        if (recovered)
            QMetaObject::invokeMethod(owner, [o = owner] { Q_EMIT o->writeRecovered(); }, Qt::QueuedConnection);
        return true;
    }

    void run()
    {
        std::unique_lock lock(mutex);
        for (;;) {
            wake.wait(lock, [this] { return stopping || (pending && !holdRetry); });
            if (stopping)
                return;
            const auto due = queuedSince + std::chrono::milliseconds(kGroupDelayMs);
            wake.wait_until(lock, due, [this] { return stopping; });
            if (stopping)
                return;
            lock.unlock();
            {
                std::lock_guard files(fileMutex);
                writePending(nullptr);
            }
            lock.lock();
        }
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
    const FileRead read = ReadRegularFile(path(), filelimit::kProfile);
    d->doc.setBytes(read.ok() ? read.bytes : QByteArray());
    auto changed = [this] { ++d->generation; };
    connect(&d->doc, &QuestDocument::valueChanged, this, changed);
    connect(&d->doc, &QuestDocument::sectionChanged, this, changed);
    connect(&d->doc, &QuestDocument::reset, this, changed);
    if (mode == Mode::Background)
        d->worker = std::thread([this] { d->run(); });
}

WorkingCopy::~WorkingCopy()
{
    (void)flush(); // a failure was told by writeFailed already
    if (d->worker.joinable()) {
        {
            std::lock_guard lock(d->mutex);
            d->stopping = true;
        }
        d->wake.notify_all();
        d->worker.join();
    }
    unlock();
}

QString WorkingCopy::path() const { return ResolveIniPath(m_file); }
QuestDocument &WorkingCopy::document() { return d->doc; }
const QuestDocument &WorkingCopy::document() const { return d->doc; }

QString WorkingCopy::read(const QString &section, const QString &key) const { return d->doc.value(section, key); }

void WorkingCopy::write(const QString &section, const QString &key, const QString &value)
{
    d->doc.setValue(section, key, value);
}

void WorkingCopy::endEvent()
{
    if (d->generation == d->queuedGeneration)
        return;
    d->queuedGeneration = d->generation;
    auto snap = d->doc.snapshot();
    {
        std::lock_guard lock(d->mutex);
        if (!d->pending)
            d->queuedSince = Clock::now();
        d->pending = std::move(snap);
        d->pendingGeneration = d->generation;
        // A change after a failure tries again at once.
        d->holdRetry = false;
    }
    if (d->mode == Mode::Synchronous) {
        std::lock_guard files(d->fileMutex);
        (void)d->writePending(nullptr); // told by writeFailed
        return;
    }
    d->wake.notify_all();
}

bool WorkingCopy::flush(QString *error)
{
    endEvent();
    std::lock_guard files(d->fileMutex);
    {
        std::lock_guard lock(d->mutex);
        if (!d->pending && d->onDisk.load() < d->generation) {
            // A write failed and nothing changed since: try it again.
            d->pending = d->doc.snapshot();
            d->pendingGeneration = d->generation;
        }
    }
    return d->writePending(error);
}

int WorkingCopy::pendingWrites() const
{
    return int(std::min<quint64>(d->generation - std::min(d->generation, d->onDisk.load()), 1 << 30));
}

quint64 WorkingCopy::lastWrite() const { return d->generation; }
quint64 WorkingCopy::writesOnDisk() const { return d->onDisk.load(); }

QString WorkingCopy::lastError() const
{
    std::lock_guard lock(d->mutex);
    return d->lastError;
}

bool WorkingCopy::remove(QString *error)
{
    std::lock_guard files(d->fileMutex);
    {
        std::lock_guard lock(d->mutex);
        d->pending.reset();
    }
    d->doc.clear();
    d->queuedGeneration = d->generation;
    QFile f(path());
    if (f.exists() && !f.remove())
        return failWith(error, fileErrorText(path(), f.errorString()));
    d->onDisk = d->generation;
    return true;
}

bool WorkingCopy::replaceWith(const QString &source, QString *error)
{
    const FileRead read = ReadRegularFile(source, filelimit::kProfile);
    if (!read.ok())
        return failWith(error, read.error);
    d->doc.setBytes(read.bytes);
    endEvent();
    return true;
}

bool WorkingCopy::copyTo(const QString &destination, QString *error)
{
    return writeFileAtomically(destination, d->doc.toBytes(), error);
}

bool WorkingCopy::removeSection(const QString &section) { return d->doc.removeSection(section); }

QStringList WorkingCopy::sectionNames() const { return d->doc.sectionNames(); }

bool WorkingCopy::lock(QString *error)
{
    if (d->lockFd >= 0)
        return true;
    const QString lockPath = path() + QStringLiteral(".lock");
    QDir().mkpath(QFileInfo(lockPath).absolutePath());
    const int fd = ::open(QFile::encodeName(lockPath).constData(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (fd < 0)
        return failWith(error, fileErrorText(lockPath, errno));
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        const int err = errno;
        ::close(fd);
        if (err == EWOULDBLOCK)
            return failWith(error, QStringLiteral("The quest editor is already open in another Fablecraft window."));
        return failWith(error, fileErrorText(lockPath, err));
    }
    d->lockFd = fd;
    return true;
}

void WorkingCopy::unlock()
{
    if (d->lockFd < 0)
        return;
    ::close(d->lockFd); // releases the lock
    d->lockFd = -1;
}

bool WorkingCopy::locked() const { return d->lockFd >= 0; }

} // namespace fc
