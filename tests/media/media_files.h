#pragma once
// Small media files written by the tests themselves: standard MIDI files,
// PCM WAV sound and an uncompressed AVI movie.

#include <QByteArray>
#include <QString>

#include <vector>

namespace fc::test {

// One note of a test song, times in ticks.
struct Note
{
    int start;
    int length;
    int key = 60;
    int velocity = 110;
};

// A format-0 MIDI file: tempo (microseconds per quarter note), program on
// channel 0, the notes, end of track at endTick.
QByteArray midiSong(int division, int usPerQuarter, int program, const std::vector<Note> &notes, int endTick);

// A MIDI track chunk around raw event bytes, and a header for `tracks`.
QByteArray midiHeader(int format, int tracks, int division);
QByteArray midiTrack(const QByteArray &events);

// 16-bit mono PCM WAV of a sine tone.
QByteArray wavTone(int sampleRate, int milliseconds, double hertz);

// AVI of `frames` uncompressed 24-bit frames, `fps` frames a second.
QByteArray aviMovie(int width, int height, int frames, int fps);

} // namespace fc::test
