#pragma once
// The editor's working copy "tmpquest.ini", read and written through the
// profile store only.
//
// Writes are grouped by user event: every write made between two endEvent()
// calls reaches the file in one atomic replacement (an IniBatch commit),
// never a part of them. In Background mode the commits run on a worker
// thread, so the user interface never waits for the disk; reads through this
// object see every write at once, because writes not yet on disk are kept in
// an overlay that read() consults first. The file follows the screen within
// kMaxLagMs (plus the time of one commit on a very large file); flush() waits
// until the file holds everything written so far. In Synchronous mode
// endEvent() commits before it returns.
//
// A write whose value the working copy already holds (a missing key and an
// empty value count as equal) is not written at all.
//
// Whole-file operations (remove, replace, copy, section removal) first bring
// the file up to date, or drop the pending writes where the operation makes
// them moot, and run on the calling thread.
//
// Not thread-safe: one thread (the user interface) calls every method.

#include <QObject>
#include <QString>
#include <QStringList>

#include <memory>

namespace fc {

class WorkingCopy : public QObject
{
    Q_OBJECT
public:
    enum class Mode { Background, Synchronous };
    // How long writes may wait to be grouped with later ones.
    static constexpr int kGroupDelayMs = 20;
    // The promise: every write is on disk this long after its event ended.
    static constexpr int kMaxLagMs = 500;

    // file: as profile calls name it, normally the bare "tmpquest.ini".
    explicit WorkingCopy(QString file = QStringLiteral("tmpquest.ini"), Mode mode = Mode::Background,
                         QObject *parent = nullptr);
    ~WorkingCopy() override; // flushes

    const QString &file() const { return m_file; }
    // Full path of the file (the profile store's resolution of file()).
    QString path() const;

    // The value as the file will hold it once every pending write is on disk.
    QString read(const QString &section, const QString &key) const;
    // Stores value (only the text before its first line break, as the profile
    // store does); nothing happens when read() already gives that value.
    void write(const QString &section, const QString &key, const QString &value);
    // Ends the current user event: its writes go to the file together.
    void endEvent();

    // Waits until the file holds every write made so far (endEvent() is
    // implied). False, and *error says why, when a commit failed; the writes
    // then stay pending and are tried again by the next flush.
    bool flush(QString *error = nullptr);
    // Number of writes not yet known to be on disk.
    int pendingWrites() const;
    // Progress counters: every write that is not skipped gets the next number
    // (lastWrite()); writesOnDisk() is the highest number up to which every
    // write is on disk (or was made moot by a whole-file operation).
    quint64 lastWrite() const;
    quint64 writesOnDisk() const;

    // Deletes the file; pending writes are dropped. True when no file is left.
    bool remove(QString *error = nullptr);
    // Replaces the file with a copy of source, atomically; pending writes are
    // dropped. On failure the working copy is left as it was.
    bool replaceWith(const QString &source, QString *error = nullptr);
    // Copies the file (flushed first) to destination, replacing it atomically.
    bool copyTo(const QString &destination, QString *error = nullptr);
    // Removes every section named section (names compare as the profile store
    // compares them), as one atomic replacement. True also when there was none.
    bool removeSection(const QString &section, QString *error = nullptr);
    // Names of the sections of the file in file order, each once (the first
    // spelling of names that differ only in case).
    QStringList sectionNames() const;

Q_SIGNALS:
    // A background commit failed; the writes stay pending and are retried.
    void writeFailed(const QString &error);

private:
    struct Impl;
    QString m_file;
    std::unique_ptr<Impl> d;
};

} // namespace fc
