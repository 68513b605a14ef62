#pragma once
// The media back-ends on Qt Multimedia and FluidSynth: what the media module
// (fablecraft-media.so) hands to the program. Owns the one MIDI sequencer and
// the one MIDI player over it, made with the first music port; no other
// state.

#include "engine/media_backends.h"

#include <memory>

namespace fc {

class FluidSynthSequencer;
class MidiApi;

class QtMediaBackends : public MediaBackends
{
public:
    QtMediaBackends();
    // Stops the music and the synthesizer.
    ~QtMediaBackends() override;

    std::unique_ptr<MediaChannel> createPlayer() override;
    QWidget *createVideoSurface(QWidget *parent) override;
    std::unique_ptr<MusicPlayer> createMusicPlayer(QObject *window) override;
    std::optional<QByteArray> renderMusic(const QString &midi, const QString &soundFont, const QString &tempDir,
                                          QString *why) override;

    // The MIDI player every music port plays through, made on first use.
    MidiApi &midi();

private:
    std::unique_ptr<FluidSynthSequencer> m_sequencer;
    std::unique_ptr<MidiApi> m_midi;
};

} // namespace fc
