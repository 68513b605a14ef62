#pragma once
// The editor's working copy "tmpquest.ini": the quest document (see
// editor/quest_document.h) and the file that keeps it.
//
// The document is the truth; the file follows it. Every change made between
// two endEvent() calls reaches the file in one atomic replacement of the whole
// file (never a part of them), so a crash or a kill at any moment leaves the
// file as it was after some event. In Background mode the file is written on
// a worker thread, so the user interface never waits for the disk: the file
// follows the screen within kMaxLagMs (plus the time of one write of a very
// large file); flush() waits until the file holds everything. In Synchronous
// mode endEvent() writes before it returns. Reads go to the document, so
// they see every write at once.
//
// A write that fails (a full disk, a folder taken away) keeps the changes in
// the document; writeFailed(cause) tells the views, and the file is written
// again on the next change and by flush(). writeRecovered() follows the next
// write that succeeds.
//
// A write whose value the document already holds (a missing key and an empty
// value count as equal) changes nothing.
//
// Lock: lock() takes an exclusive lock on the working copy's lock file
// ("tmpquest.ini.lock" beside it), held until unlock() or the end of the
// process, so that one editor at a time, in any process, owns the copy.
//
// Not thread-safe: one thread (the user interface) calls every method.

#include "editor/quest_document.h"

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
    // The promise: every change is on disk this long after its event ended.
    static constexpr int kMaxLagMs = 500;

    // file: as profile calls name it, normally the bare "tmpquest.ini". The
    // document starts as the file holds it now (empty when there is none).
    explicit WorkingCopy(QString file = QStringLiteral("tmpquest.ini"), Mode mode = Mode::Background,
                         QObject *parent = nullptr);
    ~WorkingCopy() override; // writes what is pending

    const QString &file() const { return m_file; }
    // Full path of the file (the profile store's resolution of file()).
    QString path() const;

    QuestDocument &document();
    const QuestDocument &document() const;

    // The value as the document holds it.
    QString read(const QString &section, const QString &key) const;
    // Stores value in the document (only the text before its first line
    // break, as the profile store does).
    void write(const QString &section, const QString &key, const QString &value);
    // Ends the current user event: the document as it is now goes to the file.
    void endEvent();

    // Waits until the file holds the document as it is now (endEvent() is
    // implied). False, and *error names the cause, when the write failed.
    [[nodiscard]] bool flush(QString *error = nullptr);
    // Changes of the document not yet known to be on disk (0 or more).
    int pendingWrites() const;
    // Progress counters: every change of the document gets the next number
    // (lastWrite()); writesOnDisk() is the number up to which the file holds
    // every change.
    quint64 lastWrite() const;
    quint64 writesOnDisk() const;
    // The cause of the last failed write, "" once a write succeeded again.
    QString lastError() const;

    // Deletes the file and empties the document. True when no file is left.
    [[nodiscard]] bool remove(QString *error = nullptr);
    // Loads the quest file source into the document (which then goes to the
    // file). On failure nothing changes and *error names the cause.
    [[nodiscard]] bool replaceWith(const QString &source, QString *error = nullptr);
    // Writes the document to destination, replacing it atomically. The
    // working copy's own file plays no part, so a full disk under it does not
    // stop a save elsewhere.
    [[nodiscard]] bool copyTo(const QString &destination, QString *error = nullptr);
    // Removes every section named section from the document.
    bool removeSection(const QString &section);
    // Names of the document's sections in file order, each once.
    QStringList sectionNames() const;

    // The one-editor lock. lock() is false, changing nothing, when another
    // process (or another WorkingCopy of this one) holds it; *error says why.
    [[nodiscard]] bool lock(QString *error = nullptr);
    void unlock();
    bool locked() const;

Q_SIGNALS:
    // A write of the file failed; the changes stay in the document.
    void writeFailed(const QString &error);
    // A write succeeded after a failure.
    void writeRecovered();

private:
    struct Impl;
    QString m_file;
    std::unique_ptr<Impl> d;
};

} // namespace fc
