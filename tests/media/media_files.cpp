#include "tests/media/media_files.h"

#include <QtEndian>

#include <algorithm>
#include <cmath>
#include <map>

namespace fc::test {

namespace {

void be16(QByteArray &b, int v)
{
    b.append(char((v >> 8) & 0xFF));
    b.append(char(v & 0xFF));
}

void be32(QByteArray &b, quint32 v)
{
    be16(b, int(v >> 16));
    be16(b, int(v & 0xFFFF));
}

void le16(QByteArray &b, quint16 v)
{
    b.append(char(v & 0xFF));
    b.append(char(v >> 8));
}

void le32(QByteArray &b, quint32 v)
{
    le16(b, quint16(v & 0xFFFF));
    le16(b, quint16(v >> 16));
}

void varlen(QByteArray &b, quint32 v)
{
    QByteArray rev;
    rev.append(char(v & 0x7F));
    while (v >>= 7)
        rev.append(char(0x80 | (v & 0x7F)));
    std::reverse(rev.begin(), rev.end());
    b += rev;
}

QByteArray riffChunk(const char *id, const QByteArray &data)
{
    QByteArray b(id, 4);
    le32(b, quint32(data.size()));
    b += data;
    if (data.size() & 1)
        b.append('\0');
    return b;
}

QByteArray riffList(const char *type, const QByteArray &data)
{
    return riffChunk("LIST", QByteArray(type, 4) + data);
}

} // namespace

QByteArray midiHeader(int format, int tracks, int division)
{
    QByteArray b("MThd");
    be32(b, 6);
    be16(b, format);
    be16(b, tracks);
    be16(b, division);
    return b;
}

QByteArray midiTrack(const QByteArray &events)
{
    QByteArray b("MTrk");
    be32(b, quint32(events.size()));
    return b + events;
}

QByteArray midiSong(int division, int usPerQuarter, int program, const std::vector<Note> &notes, int endTick)
{
    std::multimap<int, QByteArray> events; // note-offs sort before note-ons at one tick
    for (const Note &n : notes) {
        events.emplace(n.start * 2 + 1, QByteArray() + char(0x90) + char(n.key) + char(n.velocity));
        events.emplace((n.start + n.length) * 2, QByteArray() + char(0x80) + char(n.key) + char(0));
    }
    QByteArray track;
    varlen(track, 0);
    track += QByteArray("\xFF\x51\x03", 3);
    track.append(char((usPerQuarter >> 16) & 0xFF));
    track.append(char((usPerQuarter >> 8) & 0xFF));
    track.append(char(usPerQuarter & 0xFF));
    varlen(track, 0);
    track.append(char(0xC0));
    track.append(char(program));
    int now = 0;
    for (const auto &[key, bytes] : events) {
        const int tick = key / 2;
        varlen(track, quint32(tick - now));
        now = tick;
        track += bytes;
    }
    varlen(track, quint32(std::max(0, endTick - now)));
    track += QByteArray("\xFF\x2F\x00", 3);
    return midiHeader(0, 1, division) + midiTrack(track);
}

QByteArray wavTone(int sampleRate, int milliseconds, double hertz)
{
    const int frames = sampleRate * milliseconds / 1000;
    QByteArray pcm;
    for (int i = 0; i < frames; ++i)
        le16(pcm, quint16(qint16(8000 * std::sin(2 * M_PI * hertz * i / sampleRate))));
    QByteArray fmt;
    le16(fmt, 1); // PCM
    le16(fmt, 1); // mono
    le32(fmt, quint32(sampleRate));
    le32(fmt, quint32(sampleRate * 2));
    le16(fmt, 2);
    le16(fmt, 16);
    return riffChunk("RIFF", QByteArray("WAVE") + riffChunk("fmt ", fmt) + riffChunk("data", pcm));
}

QByteArray aviMovie(int width, int height, int frames, int fps)
{
    const quint32 frameBytes = quint32(width * height * 3);
    QByteArray avih;
    le32(avih, quint32(1000000 / fps)); // microseconds per frame
    le32(avih, frameBytes * quint32(fps));
    le32(avih, 0);
    le32(avih, 0x10); // has index
    le32(avih, quint32(frames));
    le32(avih, 0);
    le32(avih, 1); // streams
    le32(avih, frameBytes);
    le32(avih, quint32(width));
    le32(avih, quint32(height));
    for (int i = 0; i < 4; ++i)
        le32(avih, 0);

    QByteArray strh("vidsDIB ", 8);
    le32(strh, 0);
    le16(strh, 0);
    le16(strh, 0);
    le32(strh, 0);
    le32(strh, 1);            // scale
    le32(strh, quint32(fps)); // rate
    le32(strh, 0);
    le32(strh, quint32(frames));
    le32(strh, frameBytes);
    le32(strh, 0xFFFFFFFF);
    le32(strh, 0);
    le16(strh, 0);
    le16(strh, 0);
    le16(strh, quint16(width));
    le16(strh, quint16(height));

    QByteArray strf; // BITMAPINFOHEADER, uncompressed 24 bits
    le32(strf, 40);
    le32(strf, quint32(width));
    le32(strf, quint32(height));
    le16(strf, 1);
    le16(strf, 24);
    le32(strf, 0);
    le32(strf, frameBytes);
    for (int i = 0; i < 4; ++i)
        le32(strf, 0);

    QByteArray movi;
    QByteArray index;
    quint32 offset = 4;
    for (int f = 0; f < frames; ++f) {
        const QByteArray chunk = riffChunk("00db", QByteArray(int(frameBytes), char(40 * f)));
        index += QByteArray("00db", 4);
        le32(index, 0x10); // key frame
        le32(index, offset);
        le32(index, frameBytes);
        offset += quint32(chunk.size());
        movi += chunk;
    }
    const QByteArray hdrl = riffChunk("avih", avih) + riffList("strl", riffChunk("strh", strh) + riffChunk("strf", strf));
    return riffChunk("RIFF", QByteArray("AVI ") + riffList("hdrl", hdrl) + riffList("movi", movi) + riffChunk("idx1", index));
}

} // namespace fc::test
