#pragma once
// The reading rules of storage/ini_file.h on raw text: line breaks, key
// lines, trimming, quotes, name folding and decoding. Shared by IniFile and
// SectionReader so that both read a section alike; not for use outside
// storage.

#include "storage/ini_file.h"

#include <QByteArray>
#include <QString>
#include <QStringView>
#include <QVarLengthArray>

#include <algorithm>
#include <cstring>

namespace fc::ini::rules {

inline bool isBlank(char c) { return c == ' ' || c == '\t'; }
inline bool isBreak(char c) { return c == '\r' || c == '\n'; }
inline char asciiLower(char c) { return (c >= 'A' && c <= 'Z') ? char(c + 32) : c; }

inline bool isAscii(const char *p, qsizetype n)
{
    for (qsizetype i = 0; i < n; ++i) {
        if (static_cast<unsigned char>(p[i]) >= 0x80)
            return false;
    }
    return true;
}

// Finds line ends in [begin, end) in linear time overall: the next LF and the
// next CR are each looked up again only once the scan has passed them, so a
// text using only one kind of break never rescans the rest of it.
class LineScanner
{
public:
    LineScanner() = default;
    LineScanner(const char *data, qsizetype end) : m_data(data), m_end(end) {}

    // Offset of the first CR or LF at or after pos, or end.
    qsizetype lineEnd(qsizetype pos)
    {
        if (m_lf < pos)
            m_lf = find('\n', pos);
        if (m_cr < pos)
            m_cr = find('\r', pos);
        return std::min(m_lf, m_cr);
    }

    // Offset after the line break at e (CR LF counts as one), or e at the end.
    qsizetype nextLine(qsizetype e) const
    {
        if (e >= m_end)
            return m_end;
        if (m_data[e] == '\r' && e + 1 < m_end && m_data[e + 1] == '\n')
            return e + 2;
        return e + 1;
    }

private:
    qsizetype find(char c, qsizetype pos) const
    {
        const void *hit = std::memchr(m_data + pos, c, size_t(m_end - pos));
        return hit ? static_cast<const char *>(hit) - m_data : m_end;
    }

    const char *m_data = nullptr;
    qsizetype m_end = 0;
    qsizetype m_lf = -1;
    qsizetype m_cr = -1;
};

// A key line: its key and its value, blanks and tabs around them trimmed
// (the value's quotes not yet dropped).
struct KeyLine
{
    qsizetype keyStart, keyEnd, valueStart, valueEnd;
};

// Whether the line [p, e) of d (without its break) is a key line: its first
// character other than blank or tab is not ";" and it holds "="; the key and
// value stand before and after the first "=".
inline bool keyLine(const char *d, qsizetype p, qsizetype e, KeyLine *out)
{
    qsizetype f = p;
    while (f < e && isBlank(d[f]))
        ++f;
    if (f >= e || d[f] == ';')
        return false;
    const void *hit = std::memchr(d + f, '=', size_t(e - f));
    if (!hit)
        return false;
    const qsizetype eq = static_cast<const char *>(hit) - d;
    qsizetype ke = eq;
    while (ke > f && isBlank(d[ke - 1]))
        --ke;
    qsizetype vs = eq + 1, ve = e;
    while (vs < ve && isBlank(d[vs]))
        ++vs;
    while (ve > vs && isBlank(d[ve - 1]))
        --ve;
    *out = {f, ke, vs, ve};
    return true;
}

// Drops one pair of equal enclosing quotes (double or single) from the
// trimmed value [*vs, *ve) of d.
inline void dropQuotes(const char *d, qsizetype *vs, qsizetype *ve)
{
    if (*ve - *vs >= 2 && d[*vs] == d[*ve - 1] && (d[*vs] == '"' || d[*vs] == '\'')) {
        ++*vs;
        --*ve;
    }
}

// A name as lookups compare it: ASCII names lower-cased, others case folded
// and in UTF-8, so a name read from a Windows-1252 file and one read from a
// UTF-8 file compare alike.
using Folded = QVarLengthArray<char, 128>;

// A name asked for (blanks and tabs around it trimmed), folded.
void foldQuery(QStringView name, Folded &out);
// A name of the text, n bytes at p, folded; the text is Windows-1252 or
// UTF-8 as encoding says (UTF-16 files are read as their text in UTF-8).
void foldName(FileEncoding encoding, const char *p, qsizetype n, Folded &out);
// n bytes at p of the text as characters; a U+FEFF at their start is text,
// not a byte-order mark.
QString decodePiece(FileEncoding encoding, const char *p, qsizetype n);

} // namespace fc::ini::rules
