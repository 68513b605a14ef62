#pragma once
// Profile store: key-level access to INI files, shared by every part of the
// program. Each call sees the file as it is on disk; nothing is cached that
// could go stale (see IniCache in the implementation).

#include <QString>

namespace fc {

// Value of key in section of file, or "" when the file, section or key is
// missing. Never longer than 8999 characters. Never creates a file.
// A bare file name (no directory part) resolves to GetWindowsDir().
QString ReadIni(const QString &file, const QString &section, const QString &key);

// Stores value under key in section of file, creating file and section as
// needed. Reports nothing; callers that need to know use WriteIniChecked.
void WriteIni(const QString &file, const QString &section, const QString &key, const QString &value);

// WriteIni that tells whether the file now holds the value. On failure the old
// file is left intact and *error (when given) says why.
bool WriteIniChecked(const QString &file, const QString &section, const QString &key, const QString &value,
                     QString *error = nullptr);

// The per-user folder that stands for the Windows directory, without a
// trailing separator; created on first use. XDG_DATA_HOME moves it.
QString GetWindowsDir();

// Full path a profile call uses for file: bare names go to GetWindowsDir().
QString ResolveIniPath(const QString &file);

// Returns after the given number of seconds, processing events meanwhile,
// without spinning the processor.
void Pause(double seconds);

} // namespace fc
