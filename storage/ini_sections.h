#pragma once
// The sections of an INI file (a quest, the working copy) as whole pieces:
// their names in file order, and removing one. Headers are found by the
// profile store's own reading rules (storage/ini_file.h), so a file in
// Windows-1252, UTF-8 or UTF-16 lists the same sections a read finds.

#include <QString>
#include <QStringList>

namespace fc {

// Names of the sections of file in file order, each once (the first spelling
// of names that differ only in case), trimmed. Empty when the file is missing
// or cannot be read; *error (when given) then says why ("" for a missing
// file). file is named as in profile calls (a bare name lives in
// GetWindowsDir()).
QStringList IniSectionNames(const QString &file, QString *error = nullptr);

// Removes every section named section (names compare as reads compare them)
// from file, as one atomic replacement under the writers' lock. True also
// when there was none or the file does not exist; false, with *error naming
// the cause, when the file could not be read or written.
[[nodiscard]] bool RemoveIniSection(const QString &file, const QString &section, QString *error = nullptr);

} // namespace fc
