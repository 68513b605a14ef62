#pragma once
// The runtime files a game folder needs to run on a desktop that has none of
// the player's libraries: what the dynamic loader resolves for the player
// program, its media module (engine/media_module.h) and the plugins they
// load, beyond the base system every desktop
// has (the C library, the C++ runtime, X and the graphics drivers, fonts).
//
// Layout in the game folder, which the player program finds wherever the
// folder is moved (it is linked with the run path $ORIGIN/lib and sets up
// GStreamer itself at start, see engine/packaged_runtime.h):
//   lib/                  shared libraries, each under its soname (and the
//                         media module, which the packager copies always)
//   lib/qt6/plugins/...   Qt plugins: platforms, image formats, multimedia, ...
//   lib/gstreamer-1.0/    the GStreamer plugins that play WAV and MP3 and,
//                         for a quest with movies, AVI, MP4, Matroska and Ogg
//   qt.conf               points Qt at lib/qt6/plugins
//   TimGM6mb.sf2          the SoundFont of the MIDI music
// plus those of the files listed in legacyRuntimeFiles() that lie in the
// program's folder.

#include <QByteArray>
#include <QList>
#include <QMap>
#include <QString>
#include <QStringList>

namespace fc {

struct BundleFile
{
    QString source; // absolute path (links are followed when copied)
    QString target; // relative to the game folder
};

struct RuntimeBundle
{
    QList<BundleFile> files;
    QMap<QString, QByteArray> generated; // relative path -> contents (qt.conf)
    QStringList missing;                 // "NAME: reason" for what could not be found
};

// What a game's media need of the runtime: sounds (MP3 and WAV) and movies
// are played through GStreamer; music needs only the SoundFont.
struct RuntimeNeeds
{
    bool sound = true;
    bool movie = true;
};

// programFile: the player program that will be copied; programDir: its folder.
// Without sounds and movies no GStreamer comes along; without movies none of
// the video demuxers and decoders.
RuntimeBundle collectRuntime(const QString &programFile, const QString &programDir, const RuntimeNeeds &needs = {});

// True for a library every desktop system has, which a game folder must not
// carry (it has to match the system's kernel, drivers or configuration).
bool isBaseSystemLibrary(const QString &soname);

// The dynamic loader's resolution of the libraries the given ELF files need:
// soname -> path. Names it cannot find go to *unresolved. Runs ldd once.
QMap<QString, QString> resolveLibraries(const QStringList &elfFiles, QStringList *unresolved = nullptr);

// Names of the runtime files of the original Windows release that a
// program folder may still hold; copied along when present.
QStringList legacyRuntimeFiles();

} // namespace fc
