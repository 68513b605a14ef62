#include "engine/media/midi_song.h"

#include <algorithm>
#include <climits>
#include <cmath>

namespace fc {

namespace {

constexpr int kMaxTracks = 128;           // the synthesizer's player holds no more
constexpr int kDefaultUsPerQuarter = 500000; // 120 beats per minute

quint32 be32(const uchar *p)
{
    return (quint32(p[0]) << 24) | (quint32(p[1]) << 16) | (quint32(p[2]) << 8) | quint32(p[3]);
}

// Walks one track's events. Every failure means the file is malformed: the
// synthesizer's own reader refuses such files as a whole, so we do too.
class TrackReader
{
public:
    TrackReader(const uchar *data, qint64 size) : m_p(data), m_end(data + size) {}

    // Returns false on a malformed event; fills the track's last tick and
    // its tempo changes.
    bool read(qint64 &lastTick, std::vector<std::pair<qint64, int>> &tempi)
    {
        qint64 tick = 0;
        int running = 0;
        while (m_p < m_end) {
            quint32 delta;
            if (!varlen(delta))
                return false;
            tick += delta;
            if (tick > INT_MAX)
                return false;
            lastTick = tick;
            if (m_p >= m_end)
                return false;
            int status = *m_p;
            if (status & 0x80)
                ++m_p;
            else if (running)
                status = running; // running status: the byte is the first data byte
            else
                return false;

            if (status == 0xFF) {
                running = 0;
                if (m_p >= m_end)
                    return false;
                const int type = *m_p++;
                quint32 len;
                if (!varlen(len) || len > quint64(m_end - m_p))
                    return false;
                if (type == 0x51 && len == 3)
                    tempi.emplace_back(tick, int((m_p[0] << 16) | (m_p[1] << 8) | m_p[2]));
                m_p += len;
                if (type == 0x2F)
                    return true; // end of track; anything after it is ignored
            } else if (status == 0xF0 || status == 0xF7) {
                running = 0;
                quint32 len;
                if (!varlen(len) || len > quint64(m_end - m_p))
                    return false;
                m_p += len;
            } else if (status >= 0xF0) {
                return false; // system messages other than sysex have no place in a file
            } else {
                running = status;
                const int type = status & 0xF0;
                const int dataBytes = (type == 0xC0 || type == 0xD0) ? 1 : 2;
                if (m_end - m_p < dataBytes)
                    return false;
                for (int i = 0; i < dataBytes; ++i)
                    if (m_p[i] & 0x80)
                        return false;
                m_p += dataBytes;
            }
        }
        return true; // a track may end with its bytes instead of an end-of-track event
    }

private:
    bool varlen(quint32 &value)
    {
        value = 0;
        for (int i = 0; i < 4; ++i) {
            if (m_p >= m_end)
                return false;
            const uchar c = *m_p++;
            value = (value << 7) | (c & 0x7F);
            if (!(c & 0x80))
                return true;
        }
        return false;
    }

    const uchar *m_p;
    const uchar *m_end;
};

} // namespace

std::optional<MidiSong> MidiSong::parse(const QByteArray &bytes)
{
    const auto *data = reinterpret_cast<const uchar *>(bytes.constData());
    const qint64 size = bytes.size();
    if (size < 14 || !bytes.startsWith("MThd") || be32(data + 4) != 6)
        return std::nullopt;
    const int format = (data[8] << 8) | data[9];
    const int tracks = (data[10] << 8) | data[11];
    const int division = (data[12] << 8) | data[13];
    if (format > 2 || tracks < 1 || tracks > kMaxTracks)
        return std::nullopt;
    if ((division & 0x8000) || division == 0)
        return std::nullopt; // SMPTE time is not played by the synthesizer

    MidiSong song;
    song.m_division = division;
    song.m_tracks = tracks;
    std::vector<std::pair<qint64, int>> tempi;
    qint64 length = 0;
    qint64 pos = 14;
    int found = 0;
    while (found < tracks) {
        if (size - pos < 8)
            return std::nullopt;
        const quint32 chunkSize = be32(data + pos + 4);
        const bool isTrack = bytes.mid(pos, 4) == "MTrk";
        pos += 8;
        if (chunkSize > quint64(size - pos))
            return std::nullopt;
        if (isTrack) {
            qint64 last = 0;
            TrackReader reader(data + pos, chunkSize);
            if (!reader.read(last, tempi))
                return std::nullopt;
            length = std::max(length, last);
            ++found;
        }
        pos += chunkSize;
    }
    song.m_lengthTicks = int(length);

    std::stable_sort(tempi.begin(), tempi.end(),
                     [](const auto &a, const auto &b) { return a.first < b.first; });
    song.m_tempi.push_back({0, 0.0, kDefaultUsPerQuarter});
    for (const auto &[tick, us] : tempi) {
        if (us <= 0)
            continue;
        Tempo &last = song.m_tempi.back();
        if (tick == last.tick) {
            last.usPerQuarter = us; // the later change at the same tick wins
            continue;
        }
        const double ms = last.ms + double(tick - last.tick) * last.usPerQuarter / division / 1000.0;
        song.m_tempi.push_back({int(tick), ms, us});
    }
    return song;
}

double MidiSong::ticksToMs(int ticks) const
{
    if (m_tempi.empty())
        return 0.0;
    auto it = std::upper_bound(m_tempi.begin(), m_tempi.end(), ticks,
                               [](int t, const Tempo &tempo) { return t < tempo.tick; });
    const Tempo &tempo = *(it == m_tempi.begin() ? it : std::prev(it));
    return tempo.ms + double(ticks - tempo.tick) * tempo.usPerQuarter / m_division / 1000.0;
}

int MidiSong::msToTicks(double ms) const
{
    if (m_tempi.empty() || ms <= 0)
        return 0;
    auto it = std::upper_bound(m_tempi.begin(), m_tempi.end(), ms,
                               [](double m, const Tempo &tempo) { return m < tempo.ms; });
    const Tempo &tempo = *(it == m_tempi.begin() ? it : std::prev(it));
    const double ticks = tempo.tick + (ms - tempo.ms) * 1000.0 * m_division / tempo.usPerQuarter;
    return int(std::min<double>(std::floor(ticks + 1e-9), m_lengthTicks));
}

} // namespace fc
