#include "storage/profile_store.h"

#include "storage/atomic_file.h"
#include "storage/ini_file.h"
#include "storage/parse_cache.h"
#include "storage/regular_file.h"
#include "storage/user_folders.h"

#include <QMutexLocker>

#include <vector>

namespace fc {

QString ReadIni(const QString &file, const QString &section, const QString &key, IniEncoding encoding)
{
    const QString path = ResolveIniPath(file);
    if (path.isEmpty())
        return {};
    ParseCache &c = ParseCache::shared();
    QMutexLocker lock(&c.mutex);
    const ParseCache::Result loaded = c.load(path, encoding);
    if (loaded.status != ParseCache::Status::Ok)
        return {};
    return loaded.file->readValue(section, key);
}

QString ReadIni(const QString &file, const QString &section, const QString &key)
{
    return ReadIni(file, section, key, IniEncoding::Detect);
}

namespace {

// Finds the file a write of file replaces (links followed; the profile
// folder made for a bare name) and locks it.
bool lockForWrite(const QString &file, QString &path, LockedFile &locked, QString *error)
{
    const QString resolved = ResolveIniPath(file);
    if (resolved.isEmpty()) {
        if (error)
            *error = QStringLiteral("No file name given");
        return false;
    }
    if (!FollowLinks(resolved, path, error))
        return false;
    if (IsBareIniName(file))
        GetWindowsDir(); // makes the folder
    return locked.lock(path, error);
}

// Applies writes to the file as it is now and replaces it once, holding the
// file's lock from the read to the replacement.
bool writeAll(const QString &file, IniEncoding encoding, const QList<IniBatch::Write> &writes, QString *error)
{
    auto fail = [error](const QString &why) {
        if (error)
            *error = why;
        return false;
    };
    std::vector<ini::ValueWrite> edits;
    edits.reserve(std::size_t(writes.size()));
    for (const IniBatch::Write &w : writes)
        edits.push_back({w.section, w.key, w.value});

    QString path;
    LockedFile locked;
    if (!lockForWrite(file, path, locked, error))
        return false;
    ParseCache &c = ParseCache::shared();
    QMutexLocker lock(&c.mutex);
    // The cached copy is used only if it is the version we hold locked.
    std::shared_ptr<const ini::IniFile> current = c.cached(path, encoding, FileStamp::of(locked.st));
    if (!current) {
        FileRead raw = ReadRegularFd(locked.fd, path, filelimit::kProfile);
        if (!raw.ok()) {
            locked.removeIfCreated();
            return fail(raw.error); // never replace a file we could not read
        }
        current = std::make_shared<const ini::IniFile>(ini::IniFile::parse(std::move(raw.bytes), encoding));
    }
    QString why;
    std::optional<QByteArray> bytes = current->withValues(edits, &why);
    if (!bytes) {
        locked.removeIfCreated();
        return fail(why);
    }
    if (!locked.created && *bytes == current->bytes())
        return true; // already holds the values; leave the file untouched

    ReplacedFile done;
    if (!ReplaceLockedFile(path, locked, *bytes, current->bytes(), done, error)) {
        locked.removeIfCreated();
        c.forget(path);
        return false;
    }
    // A file renamed into place is a new inode only this process has written:
    // its stamp identifies these bytes, so reads need not compare them. A file
    // rewritten in place keeps its inode; the next read compares once.
    c.forget(path);
    c.store(path, encoding, std::make_shared<const ini::IniFile>(ini::IniFile::parse(std::move(*bytes), encoding)),
            FileStamp::of(done.st), !done.inPlace);
    return true;
}

} // namespace

bool RewriteIniFile(const QString &file, const std::function<std::optional<QByteArray>(const QByteArray &)> &change,
                    QString *error)
{
    QString path;
    LockedFile locked;
    if (!lockForWrite(file, path, locked, error))
        return false;
    FileRead raw = ReadRegularFd(locked.fd, path, filelimit::kProfile);
    if (!raw.ok()) {
        locked.removeIfCreated();
        if (error)
            *error = raw.error;
        return false; // never replace a file we could not read
    }
    std::optional<QByteArray> bytes = change(raw.bytes);
    if (!bytes || (!locked.created && *bytes == raw.bytes)) {
        if (!bytes)
            locked.removeIfCreated();
        return true;
    }
    ParseCache &c = ParseCache::shared();
    QMutexLocker lock(&c.mutex);
    ReplacedFile done;
    const bool ok = ReplaceLockedFile(path, locked, *bytes, raw.bytes, done, error);
    if (!ok)
        locked.removeIfCreated();
    c.forget(path);
    return ok;
}

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

} // namespace fc
