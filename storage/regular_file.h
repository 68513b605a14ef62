#pragma once
// Opening files named by quests, dialogs and the command line: only regular
// files (links followed) are read, never more than a limit that fits the kind
// of file, and never by a call that could block (a FIFO, a device). A refusal
// is logged under the "fablecraft.files" category and told in words that name
// the real cause ("is a FIFO, not a regular file", "is larger than 16 MiB").

#include <QByteArray>
#include <QLoggingCategory>
#include <QString>

#include <sys/stat.h>

namespace fc {

Q_DECLARE_LOGGING_CATEGORY(lcFiles)

// Size limits by kind of file.
namespace filelimit {
inline constexpr qint64 kProfile = qint64(512) * 1024 * 1024; // quests, saved games, INI files
inline constexpr qint64 kMidiSong = qint64(16) * 1024 * 1024;
inline constexpr qint64 kPicture = qint64(128) * 1024 * 1024;
} // namespace filelimit

enum class FileStatus {
    Ok,
    Missing,    // no such file (or a folder on the way is missing)
    NotRegular, // a folder, FIFO, socket or device
    TooLarge,
    Failed,     // any other error (permissions, I/O)
};

struct FileRead
{
    FileStatus status = FileStatus::Failed;
    QByteArray bytes;    // the whole file when Ok
    QString error;       // "<path>: <cause>" unless Ok
    struct stat before{}; // the file's status when opened and after the read
    struct stat after{};
    bool ok() const { return status == FileStatus::Ok; }
};

// Why a file of this status cannot be read as a regular file, e.g. "is a
// FIFO, not a regular file"; empty for regular files.
QString notRegularReason(mode_t mode);

// "<path>: <text of err>" with the path in native separators.
QString fileErrorText(const QString &path, int err);
QString fileErrorText(const QString &path, const QString &cause);

// Checks that path names a regular file (after links) of at most maxBytes.
// On refusal *error (when given) says why and the refusal is logged; a
// missing file is not logged.
FileStatus CheckRegularFile(const QString &path, qint64 maxBytes, QString *error = nullptr);

// Opens path without blocking, checks it like CheckRegularFile on the open
// file and reads all of it; a file that grows past maxBytes while it is read
// is refused too. Refusals are logged as by CheckRegularFile.
FileRead ReadRegularFile(const QString &path, qint64 maxBytes);

// The same on an open descriptor (read from offset 0, not closed); path only
// names the file in messages. Logs nothing: callers that read a file again
// and again log a refusal once (LogRefusal).
FileRead ReadRegularFd(int fd, const QString &path, qint64 maxBytes);

// The log line of a refused file.
void LogRefusal(const QString &error);

} // namespace fc
