#pragma once
// Where the General MIDI SoundFont is found. Shared by the MIDI player, which
// loads it, and the game compiler, which copies it into a game folder.

#include <QString>
#include <QStringList>

namespace fc {

// File name of the SoundFont the music is written for.
inline constexpr char kSoundFontFileName[] = "TimGM6mb.sf2";

// Where the SoundFont is looked for, in order: the program's own folder (a
// packaged game carries its SoundFont there), the program's data folder of an
// installation (programDir/../share/fablecraft), the system's SoundFont
// folders, then those of the XDG data folders. programDir "" leaves out the
// first two.
QStringList soundFontCandidates(const QString &programDir);

// The first candidate that is a file, or "".
QString findSoundFont(const QString &programDir);

} // namespace fc
