#pragma once
// Exporting a quest as one web page: a single HTML file holding the web
// player (its script and style), the quest file byte for byte and every media
// file the quest names that the media rules admit, so the page plays from
// file:// or any web server with nothing beside it.
//
// Media in the page:
// - pictures as they are when browsers show them (PNG, JPEG, GIF, WebP),
//   other formats (BMP, ...) converted to PNG;
// - MIDI music rendered with FluidSynth and the program's SoundFont and
//   encoded as Ogg Vorbis, by the request's encoder or else by the media
//   module (engine/media_module.h) found beside the running program;
// - WAV and MP3 sounds as they are;
// - a movie converted to WebM with GStreamer, or left out with a warning
//   naming it when the converter is not installed.
// A file that cannot be embedded is left out with a warning; the page plays
// on without it, as the desktop game does without a missing file.
//
// The page is written through a temporary file renamed into place. It never
// writes through a symbolic link, and it replaces an existing file only when
// that file is a page exported before.

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <functional>
#include <optional>

namespace fc {

// A MIDI file rendered with the SoundFont and encoded as Ogg Vorbis, using
// tempDir for its files; nullopt with the reason in *why when it cannot be.
using MusicEncoder = std::function<std::optional<QByteArray>(const QString &midi, const QString &soundFont,
                                                             const QString &tempDir, QString *why)>;

struct WebExportRequest
{
    QString questFile;
    QString outFile;
    QString programDir;        // where the SoundFont of an installation is found
    bool allowOutside = false; // embed media from outside the quest's folder too
    MusicEncoder encodeMusic;  // unset: the media module's
};

struct WebExportResult
{
    bool ok = false;
    QString error;         // why the export failed (when !ok)
    QStringList warnings;  // media left out, each naming the file and why
    qint64 pageBytes = 0;  // size of the written page
    qint64 playerBytes = 0; // of which the player's script and style
    int mediaEmbedded = 0;
};

WebExportResult exportWebPage(const WebExportRequest &request);

// The player's script as the page carries it: its modules joined into one
// script. Empty when the player's sources are missing from the program.
QString webPlayerScript();
QString webPlayerStyle();

} // namespace fc
