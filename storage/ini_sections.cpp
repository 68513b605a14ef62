#include "storage/ini_sections.h"

#include "storage/ini_file.h"
#include "storage/profile_store.h"
#include "storage/regular_file.h"
#include "storage/user_folders.h"

#include <QFileInfo>
#include <QSet>

namespace fc {

QStringList IniSectionNames(const QString &file, QString *error)
{
    const FileRead read = ReadRegularFile(ResolveIniPath(file), filelimit::kProfile);
    if (!read.ok()) {
        if (error)
            *error = read.status == FileStatus::Missing ? QString() : read.error;
        return {};
    }
    return ini::IniFile::parse(read.bytes).sectionNames();
}

bool RemoveIniSection(const QString &file, const QString &section, QString *error)
{
    const QString path = ResolveIniPath(file);
    if (!QFileInfo::exists(path))
        return true;
    return RewriteIniFile(
        path, [&](const QByteArray &bytes) { return ini::IniFile::parse(bytes).withoutSection(section); }, error);
}

} // namespace fc
