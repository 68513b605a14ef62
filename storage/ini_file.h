#pragma once
// Parsed INI text: the reading and writing rules of the profile store on an
// in-memory copy of a file, with no file access of its own.
//
// Reading rules:
// - A line ends at CR LF, CR or LF.
// - A line whose first character other than blank or tab is "[" and that
//   holds a "]" is a section header; the name is the text between "[" and the
//   first "]", blanks and tabs around it trimmed; the rest of the line is
//   ignored.
// - A line whose first non-blank character is ";" is a comment. Any other line
//   inside a section that holds "=" is a key line: the key is the text before
//   the first "=", the value the text after it, both with blanks and tabs
//   around them trimmed (blanks inside a key count). Then one pair of equal
//   enclosing quotes (double or single) is dropped from the value. A ";" after
//   the start of a line belongs to the value. Lines without "=" are no keys.
// - Section and key names match without regard to case; blanks and tabs
//   around the names asked for are trimmed too.
// - Keys before the first section header belong to no section and cannot be
//   read. Only the first of sections with equal names is searched, and the
//   first of keys with equal names in it wins.
//
// Writing rules (withValue):
// - An existing key's line becomes the key as spelled in the file, "=", the
//   value, CR LF. Every other line keeps its bytes.
// - A new key goes right after the last key line of its section (before any
//   comments or blank lines that follow it), or right after the header when
//   the section has no key yet.
// - A new section is appended as "[section]" CR LF "key=value" CR LF, after a
//   CR LF that ends an unterminated last line.
// - Only the text before the first CR, LF or NUL of a value is stored. A value
//   with blanks or tabs at either end, or one enclosed in a pair of equal
//   quotes, is stored inside one pair of double quotes so that it reads back
//   exactly.
//
// Encodings: see IniEncoding. In Detect mode a byte-order mark is kept on
// write; a file is switched to UTF-8 as the byte-order mark, an empty line
// (CR LF) and the content converted to UTF-8. A UTF-8 file with a few stray
// bytes stays UTF-8: the stray bytes read as U+FFFD and are kept as they are
// in every line a write does not replace (a write that would leave too few
// UTF-8 characters for the file to be recognised adds the byte-order mark).
// A file starting with a UTF-16 byte-order mark is read and written as UTF-16
// of the same byte order.
//
// An IniFile builds the key index of a section the first time the section is
// searched, so lookups on one object must not run on several threads at once.

#include "storage/ini_encoding.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>
#include <QStringView>

#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <vector>

namespace fc::ini {

// The encoding an IniFile decided on for its bytes.
enum class FileEncoding { Windows1252, Utf8, Utf8WithBom, Utf16Le, Utf16Be };

// One write of IniFile::withValues.
struct ValueWrite
{
    QStringView section, key, value;
};

class IniFile
{
public:
    // Largest file handled; bigger input parses as empty.
    static constexpr qsizetype kMaxSize = 0x7fff0000;

    IniFile();
    IniFile(IniFile &&) noexcept;
    IniFile &operator=(IniFile &&) noexcept;
    ~IniFile();

    static IniFile parse(QByteArray bytes, IniEncoding encoding = IniEncoding::Detect);

    // The bytes as given to parse (the file's bytes).
    const QByteArray &bytes() const { return m_diskBytes.isNull() ? m_bytes : m_diskBytes; }
    IniEncoding mode() const { return m_mode; }
    FileEncoding encoding() const { return m_encoding; }

    // The value as a read returns it (trimmed, quotes dropped, not cut to any
    // length), or nothing when the section or key is missing.
    std::optional<QString> value(QStringView section, QStringView key) const;

    // The longest value a profile read returns: the 9000-character buffer of
    // the original profile call, less its terminator.
    static constexpr qsizetype kMaxReadLength = 8999;

    // The value as a profile read returns it: "" when the section or key is
    // missing, a longer value cut to its first kMaxReadLength characters
    // (never half of a surrogate pair).
    QString readValue(QStringView section, QStringView key) const;
    // value as a profile read returns it: cut to its first kMaxReadLength
    // characters, never half of a surrogate pair.
    static QString cutForRead(QString value);
    // readValue of each of keys in one section: out[i] for keys[i]. Finds
    // the section once, for readers that take a whole page at a time.
    void readValues(QStringView section, std::span<const QStringView> keys, std::span<QString> out) const;

    // Number of distinct reachable sections (duplicates counted once).
    qsizetype sectionCount() const;
    // Names of the reachable sections as spelled in the file, in file order
    // (of duplicates, the first).
    QStringList sectionNames() const;

    // The file's bytes after storing value under key in section. Fails (and
    // says why in *error) for names that could not be read back (empty key, a
    // key holding "=" or starting with ";" or "[", a section holding "]", line
    // breaks in names) and, in Windows1252 mode, for text that Windows-1252
    // cannot hold.
    std::optional<QByteArray> withValue(QStringView section, QStringView key, QStringView value,
                                        QString *error = nullptr) const;

    // The file's bytes after all writes, applied in order (a later write of
    // the same key wins), built in one pass over the file. Fails without a
    // result if any one write would.
    std::optional<QByteArray> withValues(std::span<const ValueWrite> writes, QString *error = nullptr) const;

    // Approximate heap bytes held, the file's bytes included.
    qsizetype memoryUsage() const;

    // --- Sections as pieces of text -----------------------------------------
    // The text the file is parsed as: its bytes, except for a UTF-16 file,
    // whose text is held in UTF-8. Offsets below are into this text.
    const QByteArray &text() const { return m_bytes; }

    // One section header and the lines that belong to it: from the start of
    // its header line up to the start of the next header line (or the end).
    // The pieces of all sections follow one another without a gap; what
    // comes before the first header (a byte-order mark, comments) belongs to
    // no section.
    struct SectionSpan
    {
        QString name; // trimmed, as spelled in the file
        qsizetype start = 0, end = 0;
    };
    // Every section header in file order, duplicates included.
    QList<SectionSpan> sectionSpans() const;

    // The file's bytes without every section named section (names compare as
    // reads compare them), in the file's encoding; nothing when there is none.
    std::optional<QByteArray> withoutSection(QStringView section) const;

    // text (in the form text() has) as the file's bytes: UTF-16 files get their
    // byte-order mark and UTF-16 again; every other text is its own bytes.
    QByteArray toFileEncoding(QByteArray text) const;

private:
    struct KeyIndex;
    struct Section;

    int findSection(QStringView section) const;
    const KeyIndex &keysOf(int section) const;
    int findKey(int section, QStringView key) const;
    QString valueAt(int section, int key) const;
    qsizetype keyEnd(qsizetype keyStart, qsizetype valueStart) const;
    QString decodeText(const char *data, qsizetype size) const;
    bool encodeText(QStringView text, QByteArray &out) const;
    QByteArray encodedText(QStringView text) const;
    QByteArray convertedToUtf8() const;

    // The phases of withValues: check and prepare each write, plan where it
    // goes (a later write of the same key wins), cut the plan into pieces of
    // the file in order of position, and build the new text from them.
    struct PreparedWrite;
    struct WritePlan;
    struct Splice;
    bool prepareWrites(std::span<const ValueWrite> writes, std::vector<PreparedWrite> &prepared, bool &encodable,
                       QString *error) const;
    QByteArray storedValue(const PreparedWrite &write) const;
    WritePlan planWrites(const std::vector<PreparedWrite> &prepared) const;
    std::vector<Splice> splicesFor(const WritePlan &plan) const;
    QByteArray applied(const WritePlan &plan) const;

    QByteArray m_bytes; // UTF-16 files: their text in UTF-8
    QByteArray m_diskBytes; // UTF-16 files only: the bytes as read
    IniEncoding m_mode = IniEncoding::Detect;
    FileEncoding m_encoding = FileEncoding::Windows1252;
    qsizetype m_contentStart = 0; // after a byte-order mark
    std::vector<Section> m_sections;
    std::vector<std::int32_t> m_sectionSlots; // open addressing, -1 = empty
    mutable qsizetype m_indexedBytes = 0;
};

} // namespace fc::ini
