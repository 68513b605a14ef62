#pragma once
// Which files a quest may have copied into a game as its media.
//
// A quest is a stranger's file: its media keys may name any path, link or
// device. A file is copied (or embedded) only when it is a regular file, no
// folder on its real path (links followed) is hidden, it does not lie under
// /proc, /sys, /dev, /run or /etc, and its content is of the kind its key
// expects. Files outside the quest's folder (and outside the program's own
// default media) are admitted only after the author has seen and confirmed
// them.

#include <QString>

#include <optional>

namespace fc {

enum class MediaKind { Picture, Music, Sound, Movie };

// "Image", "BattleImage", "CharImage" -> Picture; "Music", "BattleMusic" ->
// Music; "Mp3" -> Sound; "Movie" -> Movie (case-insensitive); nothing for any
// other key.
std::optional<MediaKind> mediaKindForKey(const QString &key);

struct MediaAdmission
{
    bool admitted = false;
    // When refused, for the author: "not a picture", "not a MIDI file", "not a
    // sound", "not a movie", "hidden file", "system file", "not a regular
    // file", "not found", "cannot be read: CAUSE".
    QString reason;
    QString resolvedPath;            // the file after following links
    bool outsideQuestFolder = false; // needs the author's confirmation before copying/embedding
};

// Decides whether the file a quest names for a media key of this kind may be
// copied into a game. A relative path is taken from questDir. Files under
// programDir's own default media (programDir/media, or the installed
// programDir/../share/fablecraft/media) count as inside the quest's folder.
MediaAdmission admitMediaFile(MediaKind kind, const QString &path, const QString &questDir, const QString &programDir);

} // namespace fc
