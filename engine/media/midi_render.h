#pragma once
// A MIDI file rendered offline with FluidSynth and a SoundFont and encoded as
// Ogg Vorbis with libsndfile: the music of an exported web page. The song is
// rendered exactly to its end, so that it loops without a gap, and cut after
// fifteen minutes (a MIDI file that never ends must not fill the page).

#include <QByteArray>
#include <QString>

#include <optional>

namespace fc {

// tempDir: a folder for the encoder's file. nullopt with the reason in *why
// when the SoundFont or the song cannot be read or the encoder fails.
std::optional<QByteArray> renderMidiAsVorbis(const QString &midi, const QString &soundFont, const QString &tempDir,
                                             QString *why);

} // namespace fc
