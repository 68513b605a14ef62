#include "storage/cp1252.h"

#include <cstdint>
#include <cstring>

namespace fc::cp1252 {

namespace {

// 0x80-0x9F; the rest of the code page equals Latin-1.
constexpr char16_t kHigh[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, //
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F, //
    0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014, //
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178, //
};

} // namespace

QString decode(const char *data, qsizetype size)
{
    QString out(size, Qt::Uninitialized);
    char16_t *dst = reinterpret_cast<char16_t *>(out.data());
    const auto *src = reinterpret_cast<const unsigned char *>(data);
    for (qsizetype i = 0; i < size; ++i) {
        const unsigned char b = src[i];
        dst[i] = (b >= 0x80 && b < 0xA0) ? kHigh[b - 0x80] : char16_t(b);
    }
    return out;
}

QChar toUnicode(uchar b)
{
    return (b >= 0x80 && b < 0xA0) ? QChar(kHigh[b - 0x80]) : QChar(b);
}

int byteOf(char16_t c)
{
    if (c < 0x80 || (c >= 0xA0 && c <= 0xFF))
        return c;
    for (int i = 0; i < 32; ++i) {
        if (kHigh[i] == c)
            return 0x80 + i;
    }
    return -1;
}

bool encode(QStringView text, QByteArray &out)
{
    const qsizetype base = out.size();
    out.resize(base + text.size());
    char *dst = out.data() + base;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char16_t c = text[i].unicode();
        const int b = c < 0x80 ? int(c) : byteOf(c);
        if (b < 0)
            return false;
        dst[i] = char(b);
    }
    return true;
}

bool canEncode(QStringView text)
{
    for (QChar c : text) {
        if (c.unicode() >= 0x80 && byteOf(c.unicode()) < 0)
            return false;
    }
    return true;
}

} // namespace fc::cp1252

namespace fc::utf8 {

namespace {

inline bool wordIsAscii(const unsigned char *p)
{
    std::uint64_t w;
    std::memcpy(&w, p, 8);
    return (w & 0x8080808080808080ULL) == 0;
}

} // namespace

bool hasHighBytes(const char *data, qsizetype size)
{
    const auto *p = reinterpret_cast<const unsigned char *>(data);
    qsizetype i = 0;
    for (; i + 32 <= size; i += 32) {
        std::uint64_t a, b, c, d;
        std::memcpy(&a, p + i, 8);
        std::memcpy(&b, p + i + 8, 8);
        std::memcpy(&c, p + i + 16, 8);
        std::memcpy(&d, p + i + 24, 8);
        if ((a | b | c | d) & 0x8080808080808080ULL)
            return true;
    }
    for (; i < size; ++i) {
        if (p[i] >= 0x80)
            return true;
    }
    return false;
}

namespace {

// Length of the well-formed sequence at p[i] (1 for ASCII), or 0 when the
// byte there does not start one.
int sequenceLength(const unsigned char *p, qsizetype i, qsizetype size)
{
    const unsigned char b = p[i];
    if (b < 0x80)
        return 1;
    int len;
    std::uint32_t cp;
    if (b >= 0xC2 && b <= 0xDF) {
        len = 2;
        cp = b & 0x1F;
    } else if (b >= 0xE0 && b <= 0xEF) {
        len = 3;
        cp = b & 0x0F;
    } else if (b >= 0xF0 && b <= 0xF4) {
        len = 4;
        cp = b & 0x07;
    } else {
        return 0; // continuation byte first, C0/C1 overlong lead, F5-FF
    }
    if (i + len > size)
        return 0;
    for (int k = 1; k < len; ++k) {
        const unsigned char c = p[i + k];
        if ((c & 0xC0) != 0x80)
            return 0;
        cp = (cp << 6) | (c & 0x3F);
    }
    if ((len == 3 && cp < 0x800) || (len == 4 && (cp < 0x10000 || cp > 0x10FFFF)))
        return 0;
    if (cp >= 0xD800 && cp <= 0xDFFF)
        return 0;
    return len;
}

struct SequenceCounts
{
    qsizetype multi = 0, invalid = 0;
};

// Counts the multi-byte sequences and the invalid bytes of data; with
// stopAtInvalid, stops at the first invalid byte (counted).
SequenceCounts countSequences(const char *data, qsizetype size, bool stopAtInvalid)
{
    const auto *p = reinterpret_cast<const unsigned char *>(data);
    SequenceCounts counts;
    qsizetype i = 0;
    while (i < size) {
        if (i + 8 <= size && wordIsAscii(p + i)) {
            i += 8;
            continue;
        }
        const int len = sequenceLength(p, i, size);
        if (len == 0) {
            ++counts.invalid;
            if (stopAtInvalid)
                break;
            ++i;
            continue;
        }
        counts.multi += len > 1;
        i += len;
    }
    return counts;
}

} // namespace

bool isValid(const char *data, qsizetype size, bool *multiByte)
{
    const SequenceCounts counts = countSequences(data, size, true);
    if (counts.invalid > 0)
        return false;
    if (multiByte)
        *multiByte = counts.multi > 0;
    return true;
}

bool isMostlyValid(const char *data, qsizetype size)
{
    const SequenceCounts counts = countSequences(data, size, false);
    return counts.multi > 0 && counts.invalid <= counts.multi;
}

} // namespace fc::utf8
