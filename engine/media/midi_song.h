#pragma once
// A standard MIDI file read far enough to check it and to time it: its tracks
// are walked event by event, and the tempo changes give the clock time of any
// tick. The sequencer uses it to refuse files it cannot play and to know the
// tick at which a song has played its last event.

#include <QByteArray>

#include <optional>
#include <vector>

namespace fc {

class MidiSong
{
public:
    // Parses a whole file. Returns nullopt for anything the sequencer could
    // not play as a song: no "MThd" header, a format other than 0, 1 or 2,
    // SMPTE time division, no track, more than 128 tracks, or a track cut
    // short or holding a malformed event. Chunks of unknown type are skipped.
    static std::optional<MidiSong> parse(const QByteArray &bytes);

    int division() const { return m_division; } // ticks per quarter note
    int trackCount() const { return m_tracks; }

    // Tick of the last event of the longest track (end-of-track included):
    // the song has played through once when its clock reaches this tick.
    int lengthTicks() const { return m_lengthTicks; }
    double lengthMs() const { return ticksToMs(m_lengthTicks); }

    // Clock time of a tick from the start of the song, following every tempo
    // change (120 beats per minute until the first one), and its inverse;
    // msToTicks rounds down and never exceeds lengthTicks().
    double ticksToMs(int ticks) const;
    int msToTicks(double ms) const;

private:
    struct Tempo
    {
        int tick;            // where it takes effect
        double ms;           // clock time at that tick
        int usPerQuarter;    // microseconds per quarter note from here on
    };

    int m_division = 0;
    int m_tracks = 0;
    int m_lengthTicks = 0;
    std::vector<Tempo> m_tempi; // sorted by tick, first at tick 0
};

} // namespace fc
