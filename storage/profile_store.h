#pragma once
// Profile store: key-level access to INI files, shared by every part of the
// program.
//
// Every call sees the file as it is on disk at that moment: a change made by
// anyone (another program included) is seen by the next read. Unchanged
// files are not parsed again (storage/parse_cache.h).
//
// The reading and writing rules (trimming, quotes, comments, duplicates, line
// breaks) are described in storage/ini_file.h. In short: names match without
// regard to case; the first of duplicate sections and keys wins; a write
// replaces the key's line or adds one after the section's last key, keeps
// every other byte of the file, and ends its lines with CR LF.
//
// File names: a bare name (no "/" and no "\") resolves to GetWindowsDir(),
// and "\" counts as a directory separator (storage/user_folders.h).
//
// Encodings: by default (IniEncoding::Detect) a file is Windows-1252 unless it
// starts with a UTF-8 or UTF-16 byte-order mark or is UTF-8 with non-ASCII
// characters (a few stray bytes allowed: they read as U+FFFD and stay as they
// are). A write keeps the file's encoding; a value Windows-1252 cannot hold
// switches the file to UTF-8 (byte-order mark, an empty line, then the
// content) rather than losing characters. Saved games must pass
// IniEncoding::Windows1252 to every call: their scrambled bytes can look like
// UTF-8 by chance.
//
// Only regular files are read (links followed; FIFOs and devices are refused
// like a missing file, with a log line), up to 512 MiB.
//
// Every write locks the file and replaces it whole (storage/atomic_file.h),
// so writers in several processes never lose each other's keys and readers
// see the old or the new file.
//
// The INI functions may be called from any thread; they are serialised.

#include "storage/ini_encoding.h"

#include <QByteArray>
#include <QList>
#include <QString>

#include <functional>
#include <optional>

namespace fc {

// Value of key in section of file, or "" when the file, section or key is
// missing or the file cannot be read. Never longer than 8999 characters: a
// longer value comes back as its first 8999. Never creates a file or folder.
QString ReadIni(const QString &file, const QString &section, const QString &key);
QString ReadIni(const QString &file, const QString &section, const QString &key, IniEncoding encoding);

// Stores value under key in section of file, creating file and section as
// needed. Only the text before the first line break of value is stored, and
// a value that a read would otherwise trim or unquote is stored quoted so it
// reads back exactly. Reports nothing; callers that need to know use
// WriteIniChecked.
void WriteIni(const QString &file, const QString &section, const QString &key, const QString &value);
void WriteIni(const QString &file, const QString &section, const QString &key, const QString &value,
              IniEncoding encoding);

// WriteIni that tells whether the file now holds the value. The file is
// replaced atomically (storage/atomic_file.h): on failure the old file is
// left intact, no temporary file remains, and *error (when given) says why,
// naming the cause ("No space left on device"). Fails for a key name that
// could not be read back (empty, holding "=", starting with ";" or "["), a
// section name holding "]", names with line breaks, and, with
// IniEncoding::Windows1252, text that Windows-1252 cannot hold.
bool WriteIniChecked(const QString &file, const QString &section, const QString &key, const QString &value,
                     QString *error = nullptr);
bool WriteIniChecked(const QString &file, const QString &section, const QString &key, const QString &value,
                     IniEncoding encoding, QString *error = nullptr);

// Replaces the whole of file under its lock, as WriteIniChecked replaces it:
// change receives the file's bytes as they are now (empty for a file that
// does not exist yet) and returns the new bytes, or nothing to leave the file
// alone. For whole-file operations (saving a copy over a quest, removing a
// section) that must not race other writers.
bool RewriteIniFile(const QString &file, const std::function<std::optional<QByteArray>(const QByteArray &)> &change,
                    QString *error = nullptr);

// Several writes to one file, committed as one atomic replacement: after
// commit() the file holds either every queued write or none of them. The
// writes are applied in order to the file as it is on disk at commit time,
// with the rules of WriteIni (a later write of the same key wins), in one
// pass over the file under one lock. Nothing touches the file before
// commit(); a batch that is destroyed uncommitted writes nothing.
class IniBatch
{
public:
    explicit IniBatch(QString file, IniEncoding encoding = IniEncoding::Detect);

    void write(const QString &section, const QString &key, const QString &value);

    bool isEmpty() const { return m_writes.isEmpty(); }
    qsizetype size() const { return m_writes.size(); }
    const QString &file() const { return m_file; }

    // Writes everything queued as one replacement of the file and empties the
    // batch. False (and *error says why) when the file could not be written
    // or one of the writes is refused as by WriteIniChecked: the file is then
    // left as it was and the batch keeps its writes.
    bool commit(QString *error = nullptr);

    struct Write
    {
        QString section, key, value;
    };

private:
    QString m_file;
    IniEncoding m_encoding;
    QList<Write> m_writes;
};

} // namespace fc
