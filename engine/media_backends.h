#pragma once
// The media back-ends behind the sound, movie and music ports: Qt Multimedia
// and FluidSynth with their libraries (a third of the program's libraries).
// They live in a module of their own, fablecraft-media.so, which the game
// program loads after its first frame has been drawn (media_module.h), so
// that the dynamic loader does not spend the start-up on them.
//
// Everything that crosses between the program and the module is declared
// here: plain interfaces without signals, so that no object of a class of
// ours with a meta-object goes from one to the other. The module carries its
// own copies of the few helpers it needs and keeps no state outside the
// MediaBackends object it makes.

#include "engine/ports.h"

#include <QByteArray>
#include <QString>

#include <functional>
#include <memory>
#include <optional>

class QObject;
class QWidget;

namespace fc {

// A sound or movie player of the back-ends: MediaPlayer's operations, with
// the changes of the stopped state reported to a handler.
class MediaChannel
{
public:
    virtual ~MediaChannel() = default;
    virtual void setFileName(const QString &path) = 0;
    virtual void play() = 0;
    virtual void stop() = 0;
    virtual bool isStopped() const = 0;
    // A video surface made by createVideoSurface(), or nullptr for sound only.
    virtual void setVideoOutput(QObject *surface) = 0;
    // Called from the event loop each time the player enters or leaves the
    // stopped state.
    virtual void setStoppedHandler(std::function<void(bool stopped)> handler) = 0;
};

class MediaBackends
{
public:
    virtual ~MediaBackends() = default;

    virtual std::unique_ptr<MediaChannel> createPlayer() = 0;
    // A widget that shows a movie player's pictures, a child of parent.
    virtual QWidget *createVideoSurface(QWidget *parent) = 0;
    // A music port over the back-ends' one MIDI player, whose sequencer (and
    // SoundFont) is made with the first port. Notices of the end of a song
    // go to window. Every port made here must be destroyed before the
    // back-ends.
    virtual std::unique_ptr<MusicPlayer> createMusicPlayer(QObject *window) = 0;
    // A MIDI file rendered with the SoundFont and encoded as Ogg Vorbis (for
    // the web page); nullopt with the reason in *why when it cannot be.
    // tempDir: a folder for the encoder's file.
    virtual std::optional<QByteArray> renderMusic(const QString &midi, const QString &soundFont,
                                                  const QString &tempDir, QString *why) = 0;
};

// The module's one exported function, found by this name. It returns new
// back-ends (owned by the caller), or nullptr when the module was built for
// another version of this interface.
inline constexpr char kMediaModuleEntry[] = "fablecraft_media_backends";
inline constexpr int kMediaInterfaceVersion = 1;
using MediaModuleEntry = MediaBackends *(*)(int interfaceVersion);

} // namespace fc
