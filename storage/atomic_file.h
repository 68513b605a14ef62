#pragma once
// Locking and atomic replacement of whole files: how the profile store (and
// through it the editor's working copy) changes a file that others may read
// or write at the same time.
//
// Writers lock: a writer holds an exclusive advisory lock (flock) on the file
// from its read to the replacement, so writers in several processes never
// lose each other's changes. Readers take no lock; a file is only ever
// replaced whole, so they see the old or the new one.
//
// A replacement is a temporary file in the same folder, every write checked,
// flushed to the disk, renamed over the old one, the folder flushed; owner,
// where the process may, and permissions kept; a symbolic link stays a link
// and its target is replaced. When the folder forbids new files but the file
// may be written, it is rewritten in place, flushed and read back. On failure
// the old file is left intact, no temporary file remains, and the error names
// the cause ("No space left on device").

#include <QByteArray>
#include <QString>

#include <sys/stat.h>

namespace fc {

// The file, open and exclusively locked (flock, released when closed).
// Another writer may replace the file between our open and our lock; the
// lock is only kept once the path still names the inode we locked. A missing
// file is created empty to have something to lock; removeIfCreated() takes it
// away again when the write fails.
struct LockedFile
{
    int fd = -1;
    struct stat st{}; // the locked file as it is once locked
    bool created = false;
    QByteArray native; // its path, encoded

    LockedFile() = default;
    LockedFile(const LockedFile &) = delete;
    LockedFile &operator=(const LockedFile &) = delete;
    ~LockedFile();

    // Opens and locks path (not following a link: see FollowLinks). False,
    // and *error says why, for anything but a regular file.
    bool lock(const QString &path, QString *error);
    // Removes the file when lock() created it and it is still empty.
    void removeIfCreated();
};

// A write follows symbolic links and replaces the file they lead to, so the
// link stays a link. A dangling link is followed to where its file would be.
// target receives the path at the end of the links.
bool FollowLinks(const QString &path, QString &target, QString *error);

// Where the new bytes went and what the file looks like now.
struct ReplacedFile
{
    struct stat st{};
    bool inPlace = false; // written over the old bytes, not renamed into place
};

// Replaces the locked file at path by one holding bytes, as described above.
// old is what the file holds now: an in-place write that fails puts it back.
// The temporary files of writers that were killed are removed first.
bool ReplaceLockedFile(const QString &path, const LockedFile &locked, const QByteArray &bytes, const QByteArray &old,
                       ReplacedFile &done, QString *error);

} // namespace fc
