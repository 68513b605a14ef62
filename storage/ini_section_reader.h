#pragma once
// Reading a few keys of one section in one pass over its text, with where
// each value stands in it, for searches over many sections.

#include "storage/ini_file.h"
#include "storage/ini_text_rules.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

#include <array>
#include <utility>
#include <vector>

namespace fc::ini {

// The values of a few keys in one section, found by the reading rules of
// ini_file.h: value(k) is what IniFile::readValue returns for keys[k]. One
// pass over the section's text reads every key asked for, where reading
// values one by one parses the section anew; a search that needs only the
// keys of the lines it has hits on reads the section only as far as its last
// hit (keyOfLineAt).
//
// The text is one section as IniFile::sectionSpans() cuts it out of
// IniFile::text(): its header line, then the lines up to the next header;
// Windows-1252 for a Windows-1252 file, UTF-8 for every other.
class SectionReader
{
public:
    // keys: the names asked for, compared as reads compare them.
    SectionReader(const QStringList &keys, FileEncoding encoding);
    int count() const { return int(m_keys.size()); }

    // Starts on text, the section's text.
    void start(const QByteArray &text);
    // Reads every value of text.
    void read(const QByteArray &text);
    // Reads on to the line that holds the byte at pos: the key that line
    // gives its value (-1 for none: no key line, a key not asked for, or one
    // an earlier line gave already), and in *lineEnd where the line ends
    // (before its break). Once every key is read, later lines give no value:
    // -1 and the end of the text.
    int keyOfLineAt(qsizetype pos, qsizetype *lineEnd);

    bool has(int k) const { return m_spans[size_t(k)].first >= 0; }
    // Where the value of key k stands in the text, blanks and quotes
    // dropped, not cut: (-1, -1) when it has none.
    std::pair<qsizetype, qsizetype> span(int k) const { return m_spans[size_t(k)]; }
    // The value of key k as a read gives it (cut to IniFile::kMaxReadLength).
    QString value(int k) const;

private:
    static constexpr int kLongest = 64; // ASCII names shorter than this are looked up by length

    int readLine(qsizetype *lineEnd);
    int keyIndex(const char *p, qsizetype len) const;

    QList<QByteArray> m_keys; // folded as reads fold names
    std::array<QList<int>, kLongest> m_byLength; // keys with ASCII folded names, by length
    std::vector<std::pair<qsizetype, qsizetype>> m_spans;
    QByteArray m_text;
    const char *m_data = nullptr;
    qsizetype m_size = 0, m_pos = 0;
    rules::LineScanner m_lines;
    int m_missing = 0;
    FileEncoding m_encoding;
};

} // namespace fc::ini
