#include "storage/ini_file.h"

#include "storage/cp1252.h"
#include "storage/ini_text_rules.h"

#include <QHash>
#include <QStringDecoder>
#include <QStringEncoder>

#include <algorithm>
#include <cstring>

namespace fc::ini {

namespace {

using u32 = std::uint32_t;
using rules::asciiLower;
using rules::Folded;
using rules::foldQuery;
using rules::isAscii;
using rules::isBlank;
using rules::isBreak;
using rules::LineScanner;

inline bool isBlank(QChar c) { return c == QLatin1Char(' ') || c == QLatin1Char('\t'); }

inline u32 fnvStep(u32 h, unsigned char c) { return (h ^ c) * 16777619u; }
constexpr u32 kFnvBasis = 2166136261u;

QStringView trimmed(QStringView s)
{
    qsizetype b = 0, e = s.size();
    while (b < e && isBlank(s[b]))
        ++b;
    while (e > b && isBlank(s[e - 1]))
        --e;
    return s.sliced(b, e - b);
}

u32 hashOf(const char *p, qsizetype n)
{
    u32 h = kFnvBasis;
    for (qsizetype i = 0; i < n; ++i)
        h = fnvStep(h, static_cast<unsigned char>(p[i]));
    return h;
}

} // namespace

// Key lines of one section, built on first use. 16 bytes a key: the line
// start, key end and line end are found again from these when needed.
struct IniFile::KeyIndex
{
    struct Key
    {
        u32 hash;
        u32 keyStart; // first character of the key name
        u32 valueStart, valueEnd; // trimmed value, quotes not yet dropped
    };
    std::unique_ptr<Key[]> keys; // in file order
    std::unique_ptr<u32[]> slots; // long sections only: key number + 1, 0 empty
    u32 count = 0;
    u32 slotCount = 0;
};

struct IniFile::Section
{
    u32 hash;
    u32 nameStart, nameLen;
    u32 lineStart, lineEnd; // header line, without its break
    u32 bodyStart, bodyEnd; // lines after the header up to the next header
    mutable std::unique_ptr<KeyIndex> keys;
};

namespace rules {

void foldQuery(QStringView name, Folded &out)
{
    name = trimmed(name);
    bool ascii = true;
    for (QChar c : name) {
        if (c.unicode() >= 0x80) {
            ascii = false;
            break;
        }
    }
    if (ascii) {
        out.resize(name.size());
        for (qsizetype i = 0; i < name.size(); ++i)
            out[i] = asciiLower(char(name[i].unicode()));
        return;
    }
    const QByteArray u = name.toString().toCaseFolded().toUtf8();
    out.clear();
    out.append(u.constData(), u.size());
}

void foldName(FileEncoding encoding, const char *p, qsizetype n, Folded &out)
{
    if (isAscii(p, n)) {
        out.resize(n);
        for (qsizetype i = 0; i < n; ++i)
            out[i] = asciiLower(p[i]);
        return;
    }
    const QByteArray u = decodePiece(encoding, p, n).toCaseFolded().toUtf8();
    out.clear();
    out.append(u.constData(), u.size());
}

// Values and names are pieces cut out of the file: a U+FEFF at their start is
// text, not a byte-order mark (QString::fromUtf8 would drop it).
QString decodePiece(FileEncoding encoding, const char *p, qsizetype n)
{
    if (encoding == FileEncoding::Windows1252)
        return cp1252::decode(p, n);
    QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::ConvertInitialBom | QStringDecoder::Flag::Stateless);
    return decoder.decode(QByteArrayView(p, n));
}

} // namespace rules

namespace {

// Hash and comparison of raw names (bytes of the file) against folded names.
struct NameRules
{
    FileEncoding encoding;

    void fold(const char *p, qsizetype n, Folded &out) const { rules::foldName(encoding, p, n, out); }

    u32 hash(const char *p, qsizetype n) const
    {
        u32 h = kFnvBasis;
        for (qsizetype i = 0; i < n; ++i) {
            const unsigned char c = static_cast<unsigned char>(p[i]);
            if (c >= 0x80) {
                Folded f;
                fold(p, n, f);
                return hashOf(f.constData(), f.size());
            }
            h = fnvStep(h, static_cast<unsigned char>(asciiLower(char(c))));
        }
        return h;
    }

    bool equals(const char *p, qsizetype n, const Folded &q) const
    {
        if (isAscii(p, n)) {
            if (n != q.size())
                return false;
            for (qsizetype i = 0; i < n; ++i) {
                if (asciiLower(p[i]) != q[i])
                    return false;
            }
            return true;
        }
        Folded f;
        fold(p, n, f);
        return f.size() == q.size() && std::memcmp(f.constData(), q.constData(), size_t(f.size())) == 0;
    }

    bool equals(const char *a, qsizetype an, const char *b, qsizetype bn) const
    {
        Folded fb;
        fold(b, bn, fb);
        return equals(a, an, fb);
    }
};

std::size_t slotCountFor(std::size_t n)
{
    std::size_t s = 8;
    while (s < 2 * n)
        s <<= 1;
    return s;
}

} // namespace

IniFile::IniFile() = default;
IniFile::IniFile(IniFile &&) noexcept = default;
IniFile &IniFile::operator=(IniFile &&) noexcept = default;
IniFile::~IniFile() = default;

QString IniFile::decodeText(const char *data, qsizetype size) const
{
    return rules::decodePiece(m_encoding, data, size);
}

bool IniFile::encodeText(QStringView text, QByteArray &out) const
{
    if (m_encoding == FileEncoding::Windows1252)
        return cp1252::encode(text, out);
    out += text.toUtf8();
    return true;
}

IniFile IniFile::parse(QByteArray bytes, IniEncoding mode)
{
    IniFile f;
    f.m_mode = mode;
    if (bytes.size() > kMaxSize)
        bytes.clear();
    if (mode == IniEncoding::Detect && bytes.size() >= 2
        && (bytes.startsWith("\xFF\xFE") || bytes.startsWith("\xFE\xFF"))) {
        // UTF-16: parsed as its text in UTF-8, written back as UTF-16.
        const bool little = bytes[0] == '\xFF';
        f.m_encoding = little ? FileEncoding::Utf16Le : FileEncoding::Utf16Be;
        QStringDecoder decoder(little ? QStringDecoder::Utf16LE : QStringDecoder::Utf16BE,
                               QStringDecoder::Flag::Stateless);
        QString text = decoder.decode(QByteArrayView(bytes).sliced(2));
        f.m_bytes = text.toUtf8();
        f.m_diskBytes = std::move(bytes);
        if (f.m_bytes.size() > kMaxSize) {
            f.m_bytes.clear();
            f.m_diskBytes.clear();
        }
    } else {
        f.m_bytes = std::move(bytes);
    }
    const char *d = f.m_bytes.constData();
    const qsizetype n = f.m_bytes.size();

    if (mode == IniEncoding::Detect && f.m_diskBytes.isNull()) {
        if (n >= 3 && std::memcmp(d, "\xEF\xBB\xBF", 3) == 0) {
            f.m_encoding = FileEncoding::Utf8WithBom;
            f.m_contentStart = 3;
        } else if (utf8::hasHighBytes(d, n) && utf8::isMostlyValid(d, n)) {
            f.m_encoding = FileEncoding::Utf8;
        }
    }

    // Section headers are the only structure needed up front: look for "["
    // and keep those that open a line. Key lines are indexed per section on
    // first use.
    const NameRules names{f.m_encoding};
    const qsizetype start = f.m_contentStart;
    qsizetype pos = start;
    while (pos < n) {
        const void *hit = std::memchr(d + pos, '[', size_t(n - pos));
        if (!hit)
            break;
        const qsizetype c = static_cast<const char *>(hit) - d;
        qsizetype s = c;
        while (s > start && isBlank(d[s - 1]))
            --s;
        if (s > start && !isBreak(d[s - 1])) {
            pos = c + 1;
            continue;
        }
        qsizetype q = c + 1;
        while (q < n && d[q] != ']' && !isBreak(d[q]))
            ++q;
        if (q >= n || d[q] != ']') {
            pos = q; // no header; the line may still be a key line
            continue;
        }
        qsizetype e = q + 1;
        while (e < n && !isBreak(d[e]))
            ++e;
        qsizetype next = e;
        if (e < n)
            next = (d[e] == '\r' && e + 1 < n && d[e + 1] == '\n') ? e + 2 : e + 1;

        qsizetype nb = c + 1, ne = q;
        while (nb < ne && isBlank(d[nb]))
            ++nb;
        while (ne > nb && isBlank(d[ne - 1]))
            --ne;
        if (!f.m_sections.empty())
            f.m_sections.back().bodyEnd = u32(s);
        Section sec;
        sec.hash = names.hash(d + nb, ne - nb);
        sec.nameStart = u32(nb);
        sec.nameLen = u32(ne - nb);
        sec.lineStart = u32(s);
        sec.lineEnd = u32(e);
        sec.bodyStart = u32(next);
        sec.bodyEnd = u32(n);
        f.m_sections.push_back(std::move(sec));
        pos = next;
    }

    const std::size_t slots = slotCountFor(f.m_sections.size());
    f.m_sectionSlots.assign(slots, -1);
    for (std::size_t i = 0; i < f.m_sections.size(); ++i) {
        const Section &sec = f.m_sections[i];
        std::size_t at = sec.hash & (slots - 1);
        for (;;) {
            const std::int32_t other = f.m_sectionSlots[at];
            if (other < 0) {
                f.m_sectionSlots[at] = std::int32_t(i);
                break;
            }
            const Section &o = f.m_sections[std::size_t(other)];
            if (o.hash == sec.hash && names.equals(d + o.nameStart, o.nameLen, d + sec.nameStart, sec.nameLen))
                break; // a later section of the same name is never searched
            at = (at + 1) & (slots - 1);
        }
    }
    return f;
}

int IniFile::findSection(QStringView section) const
{
    Folded q;
    foldQuery(section, q);
    const u32 h = hashOf(q.constData(), q.size());
    const NameRules names{m_encoding};
    const char *d = m_bytes.constData();
    const std::size_t mask = m_sectionSlots.size() - 1;
    for (std::size_t at = h & mask;; at = (at + 1) & mask) {
        const std::int32_t i = m_sectionSlots[at];
        if (i < 0)
            return -1;
        const Section &s = m_sections[std::size_t(i)];
        if (s.hash == h && names.equals(d + s.nameStart, s.nameLen, q))
            return i;
    }
}

const IniFile::KeyIndex &IniFile::keysOf(int section) const
{
    const Section &sec = m_sections[std::size_t(section)];
    if (sec.keys)
        return *sec.keys;
    thread_local std::vector<KeyIndex::Key> scratch;
    scratch.clear();
    const char *d = m_bytes.constData();
    const NameRules names{m_encoding};
    LineScanner lines(d, sec.bodyEnd);
    qsizetype p = sec.bodyStart;
    while (p < qsizetype(sec.bodyEnd)) {
        const qsizetype e = lines.lineEnd(p);
        rules::KeyLine line;
        if (rules::keyLine(d, p, e, &line))
            scratch.push_back({names.hash(d + line.keyStart, line.keyEnd - line.keyStart), u32(line.keyStart),
                               u32(line.valueStart), u32(line.valueEnd)});
        p = lines.nextLine(e);
    }
    auto index = std::make_unique<KeyIndex>();
    index->count = u32(scratch.size());
    index->keys = std::make_unique<KeyIndex::Key[]>(scratch.size());
    std::copy(scratch.begin(), scratch.end(), index->keys.get());
    if (scratch.size() > 64) {
        // Long sections get a hash table; short ones are scanned, which is as
        // fast and needs no memory.
        const std::size_t slots = slotCountFor(scratch.size());
        index->slotCount = u32(slots);
        index->slots = std::make_unique<u32[]>(slots); // zeroed
        for (u32 i = 0; i < index->count; ++i) {
            const KeyIndex::Key &k = index->keys[i];
            for (std::size_t at = k.hash & (slots - 1);; at = (at + 1) & (slots - 1)) {
                const u32 other = index->slots[at];
                if (other == 0) {
                    index->slots[at] = i + 1;
                    break;
                }
                const KeyIndex::Key &o = index->keys[other - 1];
                if (o.hash == k.hash && names.equals(d + o.keyStart, keyEnd(o.keyStart, o.valueStart) - o.keyStart,
                                                     d + k.keyStart, keyEnd(k.keyStart, k.valueStart) - k.keyStart))
                    break;
            }
        }
    }
    m_indexedBytes += qsizetype(sizeof(KeyIndex) + index->count * sizeof(KeyIndex::Key)
                                + index->slotCount * sizeof(u32));
    sec.keys = std::move(index);
    return *sec.keys;
}

qsizetype IniFile::keyEnd(qsizetype keyStart, qsizetype valueStart) const
{
    const char *d = m_bytes.constData();
    const void *hit = std::memchr(d + keyStart, '=', size_t(valueStart - keyStart));
    qsizetype e = hit ? static_cast<const char *>(hit) - d : keyStart;
    while (e > keyStart && isBlank(d[e - 1]))
        --e;
    return e;
}

int IniFile::findKey(int section, QStringView key) const
{
    const KeyIndex &index = keysOf(section);
    Folded q;
    foldQuery(key, q);
    const u32 h = hashOf(q.constData(), q.size());
    const NameRules names{m_encoding};
    const char *d = m_bytes.constData();
    auto matches = [&](const KeyIndex::Key &k) {
        return k.hash == h && names.equals(d + k.keyStart, keyEnd(k.keyStart, k.valueStart) - k.keyStart, q);
    };
    if (!index.slots) {
        for (u32 i = 0; i < index.count; ++i) {
            if (matches(index.keys[i]))
                return int(i);
        }
        return -1;
    }
    const std::size_t mask = index.slotCount - 1;
    for (std::size_t at = h & mask;; at = (at + 1) & mask) {
        const u32 i = index.slots[at];
        if (i == 0)
            return -1;
        if (matches(index.keys[i - 1]))
            return int(i - 1);
    }
}

QString IniFile::cutForRead(QString value)
{
    if (value.size() > kMaxReadLength) {
        qsizetype n = kMaxReadLength;
        if (value.at(n - 1).isHighSurrogate())
            --n;
        value.truncate(n);
    }
    return value;
}

QString IniFile::readValue(QStringView section, QStringView key) const
{
    std::optional<QString> v = value(section, key);
    return v ? cutForRead(std::move(*v)) : QString();
}

void IniFile::readValues(QStringView section, std::span<const QStringView> keys, std::span<QString> out) const
{
    const int s = findSection(section);
    for (size_t i = 0; i < keys.size() && i < out.size(); ++i) {
        const int k = s < 0 ? -1 : findKey(s, keys[i]);
        out[i] = k < 0 ? QString() : cutForRead(valueAt(s, k));
    }
}

std::optional<QString> IniFile::value(QStringView section, QStringView key) const
{
    const int s = findSection(section);
    if (s < 0)
        return std::nullopt;
    const int k = findKey(s, key);
    if (k < 0)
        return std::nullopt;
    return valueAt(s, k);
}

QString IniFile::valueAt(int section, int key) const
{
    const KeyIndex::Key &found = m_sections[std::size_t(section)].keys->keys[key];
    const char *d = m_bytes.constData();
    qsizetype vs = found.valueStart, ve = found.valueEnd;
    rules::dropQuotes(d, &vs, &ve);
    return decodeText(d + vs, ve - vs);
}

qsizetype IniFile::sectionCount() const
{
    return std::count_if(m_sectionSlots.begin(), m_sectionSlots.end(), [](std::int32_t i) { return i >= 0; });
}

QStringList IniFile::sectionNames() const
{
    std::vector<std::int32_t> reachable;
    for (std::int32_t i : m_sectionSlots)
        if (i >= 0)
            reachable.push_back(i);
    std::sort(reachable.begin(), reachable.end());
    QStringList names;
    names.reserve(qsizetype(reachable.size()));
    for (std::int32_t i : reachable) {
        const Section &s = m_sections[std::size_t(i)];
        names.append(decodeText(m_bytes.constData() + s.nameStart, s.nameLen));
    }
    return names;
}

QList<IniFile::SectionSpan> IniFile::sectionSpans() const
{
    QList<SectionSpan> spans;
    spans.reserve(qsizetype(m_sections.size()));
    for (const Section &s : m_sections)
        spans.append({decodeText(m_bytes.constData() + s.nameStart, s.nameLen), s.lineStart, s.bodyEnd});
    return spans;
}

std::optional<QByteArray> IniFile::withoutSection(QStringView section) const
{
    Folded q;
    foldQuery(section, q);
    const NameRules names{m_encoding};
    const char *d = m_bytes.constData();
    QByteArray out;
    qsizetype kept = 0;
    bool removed = false;
    for (const Section &s : m_sections) {
        if (!names.equals(d + s.nameStart, s.nameLen, q))
            continue;
        out.append(d + kept, s.lineStart - kept);
        kept = s.bodyEnd;
        removed = true;
    }
    if (!removed)
        return std::nullopt;
    out.append(d + kept, m_bytes.size() - kept);
    return toFileEncoding(std::move(out));
}

qsizetype IniFile::memoryUsage() const
{
    return m_bytes.capacity() + qsizetype(sizeof(*this)) + m_indexedBytes
           + qsizetype(m_sections.capacity() * sizeof(Section) + m_sectionSlots.capacity() * sizeof(std::int32_t));
}

std::optional<QByteArray> IniFile::withValue(QStringView section, QStringView key, QStringView value,
                                             QString *error) const
{
    const ValueWrite one{section, key, value};
    return withValues(std::span<const ValueWrite>(&one, 1), error);
}

// What one write stores: the names trimmed, the value cut at its first line
// break, and whether it needs quotes to read back as it is.
struct IniFile::PreparedWrite
{
    QStringView section, key, text;
    bool quote;
};

// Where the writes go: new text for existing key lines, new keys for existing
// sections, new sections.
struct IniFile::WritePlan
{
    struct NewKey
    {
        QByteArray key, value;
    };
    struct Group
    {
        int section = -1; // existing section, or -1 for a new one
        QByteArray name;  // new sections: the header name as first spelled
        std::vector<NewKey> keys;
    };
    std::vector<Group> groups;
    QHash<quint64, QByteArray> lines; // section << 32 | key -> new value
};

// A piece of the file replaced by new text (an insertion when start == end).
struct IniFile::Splice
{
    qsizetype start, end;
    QByteArray text;
};

namespace {

// "key=value" CR LF.
void appendKeyLine(QByteArray &out, QByteArrayView key, QByteArrayView value)
{
    out.append(key);
    out.append('=');
    out.append(value);
    out.append("\r\n", 2);
}

} // namespace

std::optional<QByteArray> IniFile::withValues(std::span<const ValueWrite> writes, QString *error) const
{
    std::vector<PreparedWrite> prepared;
    bool encodable = true;
    if (!prepareWrites(writes, prepared, encodable, error))
        return std::nullopt;
    if (!encodable) {
        if (m_mode == IniEncoding::Windows1252) {
            if (error)
                *error = QStringLiteral("Text cannot be stored in Windows-1252");
            return std::nullopt;
        }
        return IniFile::parse(convertedToUtf8(), IniEncoding::Detect).withValues(writes, error);
    }
    QByteArray out = applied(planWrites(prepared));
    if (m_mode == IniEncoding::Detect && utf8::hasHighBytes(out.constData(), out.size())) {
        // A Windows-1252 file whose bytes now happen to form UTF-8 would be
        // read back as UTF-8 and show other characters; mark it as UTF-8
        // instead.
        if (m_encoding == FileEncoding::Windows1252 && utf8::isMostlyValid(out.constData(), out.size()))
            return IniFile::parse(convertedToUtf8(), IniEncoding::Detect).withValues(writes, error);
        // A UTF-8 file whose stray bytes now outweigh its characters would be
        // read back as Windows-1252; the byte-order mark keeps it UTF-8.
        if (m_encoding == FileEncoding::Utf8 && !utf8::isMostlyValid(out.constData(), out.size()))
            out.prepend("\xEF\xBB\xBF\r\n", 5);
    }
    return toFileEncoding(std::move(out));
}

bool IniFile::prepareWrites(std::span<const ValueWrite> writes, std::vector<PreparedWrite> &prepared, bool &encodable,
                            QString *error) const
{
    auto fail = [error](const QString &why) {
        if (error)
            *error = why;
        return false;
    };
    auto hasBreak = [](QStringView s) {
        return s.contains(QLatin1Char('\r')) || s.contains(QLatin1Char('\n')) || s.contains(QChar(0));
    };
    prepared.reserve(writes.size());
    for (const ValueWrite &w : writes) {
        const QStringView sectionName = trimmed(w.section);
        const QStringView keyName = trimmed(w.key);
        if (hasBreak(sectionName) || sectionName.contains(QLatin1Char(']')))
            return fail(QStringLiteral("Section name \"%1\" cannot be stored").arg(sectionName));
        if (keyName.isEmpty() || hasBreak(keyName) || keyName.contains(QLatin1Char('='))
            || keyName.startsWith(QLatin1Char(';')) || keyName.startsWith(QLatin1Char('[')))
            return fail(QStringLiteral("Key name \"%1\" cannot be stored").arg(keyName));
        // A line break would end the key line and turn the rest into lines
        // of their own; only the first line is stored, which is what a read
        // of the unguarded file returned.
        QStringView text = w.value;
        for (qsizetype i = 0; i < text.size(); ++i) {
            const char16_t c = text[i].unicode();
            if (c == u'\r' || c == u'\n' || c == 0) {
                text = text.first(i);
                break;
            }
        }
        // Reads trim blanks and drop a pair of enclosing quotes; one extra
        // pair of double quotes keeps such a value intact.
        const bool quote = !text.isEmpty()
                           && (isBlank(text.front()) || isBlank(text.back())
                               || (text.size() >= 2 && text.front() == text.back()
                                   && (text.front() == QLatin1Char('"') || text.front() == QLatin1Char('\''))));
        if (m_encoding == FileEncoding::Windows1252 && encodable)
            encodable = cp1252::canEncode(sectionName) && cp1252::canEncode(keyName) && cp1252::canEncode(text);
        prepared.push_back({sectionName, keyName, text, quote});
    }
    return true;
}

QByteArray IniFile::encodedText(QStringView text) const
{
    QByteArray out;
    encodeText(text, out);
    return out;
}

QByteArray IniFile::storedValue(const PreparedWrite &write) const
{
    QByteArray v = encodedText(write.text);
    if (write.quote) {
        v.prepend('"');
        v.append('"');
    }
    return v;
}

IniFile::WritePlan IniFile::planWrites(const std::vector<PreparedWrite> &prepared) const
{
    // A later write of the same name replaces the value an earlier one
    // planned.
    WritePlan plan;
    auto &groups = plan.groups;
    QHash<QByteArray, int> groupOf;  // folded section name -> group
    QHash<QByteArray, int> newKeyOf; // group number, NUL, folded key -> key
    Folded folded;
    for (const PreparedWrite &p : prepared) {
        const int s = findSection(p.section);
        if (s >= 0) {
            const int k = findKey(s, p.key);
            if (k >= 0) {
                plan.lines.insert(quint64(quint32(s)) << 32 | quint32(k), storedValue(p));
                continue;
            }
        }
        foldQuery(p.section, folded);
        const QByteArray sectionId = QByteArray(folded.constData(), folded.size());
        auto g = groupOf.constFind(sectionId);
        int group;
        if (g == groupOf.cend()) {
            group = int(groups.size());
            groupOf.insert(sectionId, group);
            WritePlan::Group ng;
            ng.section = s;
            if (s < 0)
                ng.name = encodedText(p.section);
            groups.push_back(std::move(ng));
        } else {
            group = *g;
        }
        foldQuery(p.key, folded);
        QByteArray keyId = QByteArray::number(group);
        keyId.append('\0');
        keyId.append(folded.constData(), folded.size());
        auto known = newKeyOf.constFind(keyId);
        if (known != newKeyOf.cend()) {
            groups[std::size_t(group)].keys[std::size_t(*known)].value = storedValue(p);
        } else {
            auto &keys = groups[std::size_t(group)].keys;
            newKeyOf.insert(keyId, int(keys.size()));
            keys.push_back({encodedText(p.key), storedValue(p)});
        }
    }
    return plan;
}

std::vector<IniFile::Splice> IniFile::splicesFor(const WritePlan &plan) const
{
    const char *d = m_bytes.constData();
    const qsizetype n = m_bytes.size();
    auto lineEndFrom = [&](qsizetype pos) {
        while (pos < n && !isBreak(d[pos]))
            ++pos;
        return pos;
    };
    auto afterBreak = [&](qsizetype e) {
        if (e >= n)
            return e;
        return (d[e] == '\r' && e + 1 < n && d[e + 1] == '\n') ? e + 2 : e + 1;
    };
    std::vector<Splice> splices;
    splices.reserve(std::size_t(plan.lines.size()) + plan.groups.size());
    for (auto it = plan.lines.cbegin(); it != plan.lines.cend(); ++it) {
        // The key line, from its indentation through its line break, as the
        // key spelled in the file and the new value.
        const Section &sec = m_sections[std::size_t(it.key() >> 32)];
        const KeyIndex::Key &found = sec.keys->keys[quint32(it.key())];
        qsizetype lineStart = found.keyStart;
        while (lineStart > qsizetype(sec.bodyStart) && isBlank(d[lineStart - 1]))
            --lineStart;
        const qsizetype next = afterBreak(lineEndFrom(found.valueEnd));
        const qsizetype keyLen = keyEnd(found.keyStart, found.valueStart) - found.keyStart;
        QByteArray text;
        text.reserve(keyLen + it->size() + 3);
        appendKeyLine(text, QByteArrayView(d + found.keyStart, keyLen), *it);
        splices.push_back({lineStart, next, std::move(text)});
    }
    for (const WritePlan::Group &g : plan.groups) {
        if (g.section < 0)
            continue;
        // After the last key line, or after the header in a section without
        // keys.
        const Section &sec = m_sections[std::size_t(g.section)];
        const KeyIndex &index = *sec.keys;
        qsizetype insertAt = sec.bodyStart;
        bool needsBreak = sec.bodyStart == sec.lineEnd;
        if (index.count > 0) {
            const qsizetype e = lineEndFrom(index.keys[index.count - 1].valueEnd);
            insertAt = afterBreak(e);
            needsBreak = insertAt == e;
        }
        QByteArray text;
        if (needsBreak)
            text.append("\r\n", 2);
        for (const WritePlan::NewKey &k : g.keys)
            appendKeyLine(text, k.key, k.value);
        splices.push_back({insertAt, insertAt, std::move(text)});
    }
    std::stable_sort(splices.begin(), splices.end(),
                     [](const Splice &a, const Splice &b) { return a.start < b.start; });
    return splices;
}

QByteArray IniFile::applied(const WritePlan &plan) const
{
    const std::vector<Splice> splices = splicesFor(plan);
    const char *d = m_bytes.constData();
    const qsizetype n = m_bytes.size();
    qsizetype added = 0;
    for (const Splice &e : splices)
        added += e.text.size();
    QByteArray out;
    out.reserve(n + added + 64);
    qsizetype at = 0;
    for (const Splice &e : splices) {
        out.append(d + at, e.start - at);
        out.append(e.text);
        at = e.end;
    }
    out.append(d + at, n - at);
    for (const WritePlan::Group &g : plan.groups) {
        if (g.section >= 0)
            continue;
        if (out.size() > m_contentStart && !isBreak(out.back()))
            out.append("\r\n", 2);
        out.append('[');
        out.append(g.name);
        out.append("]\r\n", 3);
        for (const WritePlan::NewKey &k : g.keys)
            appendKeyLine(out, k.key, k.value);
    }
    return out;
}

QByteArray IniFile::toFileEncoding(QByteArray text) const
{
    if (m_encoding != FileEncoding::Utf16Le && m_encoding != FileEncoding::Utf16Be)
        return text;
    const bool little = m_encoding == FileEncoding::Utf16Le;
    QStringEncoder encoder(little ? QStringEncoder::Utf16LE : QStringEncoder::Utf16BE, QStringEncoder::Flag::Stateless);
    QByteArray out = little ? QByteArray("\xFF\xFE", 2) : QByteArray("\xFE\xFF", 2);
    out += QByteArray(encoder.encode(QString::fromUtf8(text)));
    return out;
}

QByteArray IniFile::convertedToUtf8() const
{
    QByteArray out("\xEF\xBB\xBF\r\n");
    const QString text = decodeText(m_bytes.constData() + m_contentStart, m_bytes.size() - m_contentStart);
    out += text.toUtf8();
    return out;
}

} // namespace fc::ini
