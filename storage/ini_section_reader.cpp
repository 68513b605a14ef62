#include "storage/ini_section_reader.h"

#include "storage/cp1252.h"

#include <algorithm>
#include <cstring>

namespace fc::ini {

SectionReader::SectionReader(const QStringList &keys, FileEncoding encoding)
    : m_encoding(encoding)
{
    rules::Folded folded;
    for (const QString &k : keys) {
        rules::foldQuery(k, folded);
        const QByteArray name(folded.constData(), folded.size());
        if (name.size() < kLongest && rules::isAscii(name.constData(), name.size()))
            m_byLength[size_t(name.size())].append(int(m_keys.size()));
        m_keys.append(name);
    }
    m_spans.resize(m_keys.size());
}

void SectionReader::start(const QByteArray &text)
{
    m_text = text;
    m_data = m_text.constData();
    m_size = m_text.size();
    std::fill(m_spans.begin(), m_spans.end(), std::pair<qsizetype, qsizetype>(-1, -1));
    m_missing = count();
    m_lines = rules::LineScanner(m_data, m_size);
    m_pos = m_lines.nextLine(m_lines.lineEnd(0)); // past the header line
}

void SectionReader::read(const QByteArray &text)
{
    start(text);
    qsizetype end = 0;
    while (m_pos < m_size && m_missing > 0)
        readLine(&end);
}

int SectionReader::keyOfLineAt(qsizetype pos, qsizetype *lineEnd)
{
    *lineEnd = m_pos;
    if (pos < m_pos)
        return -1; // the header line
    while (m_pos < m_size && m_missing > 0) {
        const int k = readLine(lineEnd);
        if (pos <= *lineEnd)
            return k;
    }
    *lineEnd = m_size;
    return -1;
}

QString SectionReader::value(int k) const
{
    const auto [vs, ve] = m_spans[size_t(k)];
    if (vs < 0)
        return QString();
    const char *d = m_data + vs;
    // ASCII reads alike in either encoding, and quickest as Latin-1.
    return IniFile::cutForRead(utf8::hasHighBytes(d, ve - vs) ? rules::decodePiece(m_encoding, d, ve - vs)
                                                                : QString::fromLatin1(d, ve - vs));
}

// Reads the line at m_pos and moves on; the key it gives its value first, or -1.
int SectionReader::readLine(qsizetype *lineEnd)
{
    const qsizetype p = m_pos;
    const qsizetype e = m_lines.lineEnd(p);
    *lineEnd = e;
    m_pos = m_lines.nextLine(e);
    rules::KeyLine line;
    if (!rules::keyLine(m_data, p, e, &line))
        return -1;
    const int k = keyIndex(m_data + line.keyStart, line.keyEnd - line.keyStart);
    if (k < 0 || m_spans[size_t(k)].first >= 0)
        return -1;
    qsizetype vs = line.valueStart, ve = line.valueEnd;
    rules::dropQuotes(m_data, &vs, &ve);
    m_spans[size_t(k)] = {vs, ve};
    --m_missing;
    return k;
}

int SectionReader::keyIndex(const char *p, qsizetype len) const
{
    if (len < kLongest && rules::isAscii(p, len)) {
        const QList<int> &same = m_byLength[size_t(len)];
        if (same.isEmpty())
            return -1;
        char lower[kLongest];
        for (qsizetype i = 0; i < len; ++i)
            lower[i] = rules::asciiLower(p[i]);
        for (int k : same)
            if (std::memcmp(m_keys[k].constData(), lower, size_t(len)) == 0)
                return k;
        return -1;
    }
    // Long names, and names outside ASCII, some of whose characters fold to
    // ASCII letters (the Kelvin sign to "k").
    rules::Folded folded;
    rules::foldName(m_encoding, p, len, folded);
    for (int k = 0; k < m_keys.size(); ++k)
        if (m_keys[k].size() == folded.size()
            && std::memcmp(m_keys[k].constData(), folded.constData(), size_t(folded.size())) == 0)
            return k;
    return -1;
}

} // namespace fc::ini
