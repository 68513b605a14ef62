#pragma once
// The per-user folder that stands for the Windows directory, and how the
// profile store's file names resolve against it.
//
// File names: a bare name (no "/" and no "\") resolves to GetWindowsDir().
// "\" counts as a directory separator like "/", so GetWindowsDir() +
// "\\tmpquest.ini" and the bare name "tmpquest.ini" reach the same file.

#include <QString>

namespace fc {

// The per-user folder that stands for the Windows directory
// ($XDG_DATA_HOME/Fablecraft), without a trailing separator; created on first
// use. XDG_DATA_HOME moves it.
QString GetWindowsDir();

// Full path a profile call uses for file: bare names go to GetWindowsDir(),
// "\" separators become "/". Creates nothing.
QString ResolveIniPath(const QString &file);

// Whether file is a bare name, one that ResolveIniPath places in
// GetWindowsDir().
bool IsBareIniName(const QString &file);

} // namespace fc
