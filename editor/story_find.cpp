#include "editor/story_find.h"

#include "storage/cp1252.h"
#include "storage/quest_format.h"

#include <QByteArrayMatcher>
#include <QSet>
#include <QStringDecoder>

#include <array>
#include <cstdint>
#include <cstring>
#include <vector>

#include <algorithm>
#include <optional>

namespace fc::story {

using namespace quest;

const QStringList &searchedPageKeys()
{
    static const QStringList keys = [] {
        QStringList k{QString(kLocation), QString(kPageText)};
        for (int c = 1; c <= kOptionCount; ++c)
            k << optionKey(c);
        for (int c = 1; c <= kOptionCount; ++c)
            k << destinationKey(c);
        for (int c = 1; c <= kOptionCount; ++c)
            k << keyItemKey(c);
        k << QString(kBattleMonName) << QString(kAtkMessage) << QString(kAltAtk) << QString(kBattleMonKeyItem)
          << QString(kBattleWin) << QString(kBattleLose) << QString(kBattleEscape);
        return k;
    }();
    return keys;
}

bool isDestinationKey(const QString &key)
{
    for (int c = 1; c <= kOptionCount; ++c)
        if (key.compare(destinationKey(c), Qt::CaseInsensitive) == 0)
            return true;
    return key.compare(kBattleWin, Qt::CaseInsensitive) == 0 || key.compare(kBattleLose, Qt::CaseInsensitive) == 0
           || key.compare(kBattleEscape, Qt::CaseInsensitive) == 0;
}

namespace {

const QStringList &storyKeys()
{
    static const QStringList keys{QString(kTitle), QString(kAuthor), QString(kVersion)};
    return keys;
}

// with, its \0 .. \9 replaced by the parts m captured.
QString expand(const QString &with, const QRegularExpressionMatch &m)
{
    QString out;
    out.reserve(with.size());
    for (qsizetype i = 0; i < with.size(); ++i) {
        const QChar c = with[i];
        if (c == QLatin1Char('\\') && i + 1 < with.size()) {
            const QChar n = with[i + 1];
            if (n.isDigit() && n.unicode() < 128) {
                out += m.captured(n.unicode() - '0');
                ++i;
                continue;
            }
            if (n == QLatin1Char('\\')) {
                out += n;
                ++i;
                continue;
            }
        }
        out += c;
    }
    return out;
}

// Each listed page once (the list may name a page twice).
QStringList distinctPages(const QuestDocument &doc)
{
    QStringList out;
    QSet<QString> seen;
    for (const QString &p : doc.pages())
        if (!seen.contains(foldPageName(p))) {
            seen.insert(foldPageName(p));
            out << p;
        }
    return out;
}

bool namesPage(const QuestDocument &doc, const QString &name)
{
    return doc.pageIndex(name) >= 0 || doc.hasSection(name);
}

// The values of a few keys in one stored section, found as a profile read
// finds them (storage/ini_file.h): a line ends at CR LF, CR or LF; a key line
// is a line after the header whose first character other than blank or tab
// is not ";" and that holds "="; key and value are what stands before and
// after the first "=", blanks and tabs around them trimmed; names compare
// without regard to case; the first of equal keys wins; one pair of
// enclosing quotes is dropped from a value, and a read gives at most
// kMaxReadLength characters. One pass over the section's bytes reads every
// key asked for, where reading values one by one parses the section anew;
// a search reads only as far as its last hit.
class SectionReader
{
public:
    static constexpr int kMaxKeys = 32;

    // keys: at most kMaxKeys names of plain ASCII characters.
    SectionReader(const QStringList &keys, bool utf8)
        : m_utf8(utf8)
        , m_utf8Decoder(QStringDecoder::Utf8, QStringDecoder::Flag::ConvertInitialBom | QStringDecoder::Flag::Stateless)
    {
        Q_ASSERT(keys.size() <= kMaxKeys);
        for (const QString &k : keys) {
            const QByteArray lower = k.trimmed().toLatin1().toLower();
            if (lower.size() < kLongest)
                m_byLength[size_t(lower.size())].append(int(m_keys.size()));
            m_keys.append(lower);
        }
        m_spans.resize(m_keys.size());
    }
    int count() const { return int(m_keys.size()); }

    // Starts on text, a section's stored text (its header line first).
    void start(const QByteArray &text)
    {
        m_text = text;
        m_data = m_text.constData();
        m_size = m_text.size();
        std::fill(m_spans.begin(), m_spans.end(), std::pair<qsizetype, qsizetype>(-1, -1));
        m_missing = count();
        qsizetype e = 0;
        while (e < m_size && m_data[e] != '\r' && m_data[e] != '\n')
            ++e;
        m_pos = nextLine(e); // past the header line
    }
    // Reads every value.
    void read(const QByteArray &text)
    {
        start(text);
        qsizetype end = 0;
        while (m_pos < m_size && m_missing > 0)
            readLine(&end);
    }
    // Reads on to the line that holds the byte at pos: the key that line
    // gives its value (-1 for none: no key line, a key not asked for, or one
    // an earlier line gave already), and in *lineEnd where the line ends.
    int keyOfLineAt(qsizetype pos, qsizetype *lineEnd)
    {
        *lineEnd = m_pos;
        if (pos < m_pos)
            return -1; // the header line
        while (m_pos < m_size && m_missing > 0) {
            const int k = readLine(lineEnd);
            if (pos <= *lineEnd)
                return k;
        }
        *lineEnd = m_size; // later lines give no value
        return -1;
    }

    bool has(int k) const { return m_spans[size_t(k)].first >= 0; }
    // Where the value of key k stands in the text (quotes dropped).
    std::pair<qsizetype, qsizetype> span(int k) const { return m_spans[size_t(k)]; }
    QString value(int k)
    {
        const auto [vs, ve] = m_spans[size_t(k)];
        if (vs < 0)
            return QString();
        const char *d = m_data + vs;
        QString v = !utf8::hasHighBytes(d, ve - vs) ? QString::fromLatin1(d, ve - vs)
                    : m_utf8                        ? m_utf8Decoder.decode(QByteArrayView(d, ve - vs))
                                                    : cp1252::decode(d, ve - vs);
        if (v.size() > ini::IniFile::kMaxReadLength) {
            qsizetype cut = ini::IniFile::kMaxReadLength;
            if (v.at(cut - 1).isHighSurrogate())
                --cut;
            v.truncate(cut);
        }
        return v;
    }

private:
    static constexpr int kLongest = 64; // longer names are no key asked for, unless outside ASCII

    static bool isBlank(char c) { return c == ' ' || c == '\t'; }
    qsizetype nextLine(qsizetype e) const
    {
        if (e >= m_size)
            return m_size;
        return m_data[e] == '\r' && e + 1 < m_size && m_data[e + 1] == '\n' ? e + 2 : e + 1;
    }
    // Reads the line at m_pos and moves on; the key it gives its value first, or -1.
    int readLine(qsizetype *lineEnd)
    {
        const char *d = m_data;
        const qsizetype n = m_size;
        qsizetype f = m_pos;
        while (f < n && isBlank(d[f]))
            ++f;
        // The first "=" is near the start of a line; its end is found by
        // memchr over the long values.
        qsizetype eq = f;
        while (eq < n && d[eq] != '=' && d[eq] != '\r' && d[eq] != '\n')
            ++eq;
        qsizetype e = eq;
        if (eq < n && d[eq] == '=') {
            const void *lf = std::memchr(d + eq, '\n', size_t(n - eq));
            e = lf ? static_cast<const char *>(lf) - d : n;
            if (const void *cr = std::memchr(d + eq, '\r', size_t(e - eq)))
                e = static_cast<const char *>(cr) - d;
        }
        *lineEnd = e;
        m_pos = nextLine(e);
        if (eq >= e || d[f] == ';')
            return -1;
        qsizetype ke = eq;
        while (ke > f && isBlank(d[ke - 1]))
            --ke;
        const int k = keyIndex(d + f, ke - f);
        if (k < 0 || m_spans[size_t(k)].first >= 0)
            return -1;
        qsizetype vs = eq + 1, ve = e;
        while (vs < ve && isBlank(d[vs]))
            ++vs;
        while (ve > vs && isBlank(d[ve - 1]))
            --ve;
        if (ve - vs >= 2 && d[vs] == d[ve - 1] && (d[vs] == '"' || d[vs] == '\'')) {
            ++vs;
            --ve;
        }
        m_spans[size_t(k)] = {vs, ve};
        --m_missing;
        return k;
    }
    int keyIndex(const char *p, qsizetype len)
    {
        bool ascii = true;
        for (qsizetype i = 0; i < len && ascii; ++i)
            ascii = static_cast<unsigned char>(p[i]) < 0x80;
        if (ascii) {
            if (len >= kLongest || m_byLength[size_t(len)].isEmpty())
                return -1;
            char lower[kLongest];
            for (qsizetype i = 0; i < len; ++i)
                lower[i] = p[i] >= 'A' && p[i] <= 'Z' ? char(p[i] + 32) : p[i];
            for (int k : m_byLength[size_t(len)])
                if (std::memcmp(m_keys[k].constData(), lower, size_t(len)) == 0)
                    return k;
            return -1;
        }
        // A name outside ASCII folds as the profile store folds it (some
        // characters fold to ASCII letters: the Kelvin sign to "k").
        const QString name = m_utf8 ? m_utf8Decoder.decode(QByteArrayView(p, len)) : cp1252::decode(p, len);
        const QByteArray folded = name.toCaseFolded().toUtf8();
        for (int k = 0; k < m_keys.size(); ++k)
            if (m_keys[k] == folded)
                return k;
        return -1;
    }

    QList<QByteArray> m_keys; // lower-cased
    std::array<QList<int>, kLongest> m_byLength;
    std::vector<std::pair<qsizetype, qsizetype>> m_spans;
    QByteArray m_text;
    const char *m_data = nullptr;
    qsizetype m_size = 0, m_pos = 0;
    int m_missing = 0;
    bool m_utf8;
    QStringDecoder m_utf8Decoder;
};

// Copies size bytes with ASCII letters lowered, eight at a time; whether a
// byte outside ASCII was among them.
bool lowerAscii(const char *from, qsizetype size, char *to)
{
    constexpr std::uint64_t ones = 0x0101010101010101ULL, highs = 0x8080808080808080ULL;
    std::uint64_t high = 0;
    qsizetype i = 0;
    for (; i + 8 <= size; i += 8) {
        std::uint64_t x;
        std::memcpy(&x, from + i, 8);
        high |= x;
        const std::uint64_t seven = x & ~highs;
        const std::uint64_t atLeastA = seven + (0x80 - 'A') * ones;
        const std::uint64_t aboveZ = seven + (0x80 - 'Z' - 1) * ones;
        const std::uint64_t upper = atLeastA & ~aboveZ & ~x & highs;
        x |= upper >> 2;
        std::memcpy(to + i, &x, 8);
    }
    for (; i < size; ++i) {
        const char c = from[i];
        high |= static_cast<unsigned char>(c);
        to[i] = c >= 'A' && c <= 'Z' ? char(c + 32) : c;
    }
    return high & highs;
}

bool isTextUtf8(const QuestDocument &doc)
{
    return doc.encoding() != ini::FileEncoding::Windows1252;
}

// The keys of a page the story graph reads, in the order storyPagesOf takes them.
QStringList graphKeys()
{
    QStringList k{QString(kLocation), QString(kPageText)};
    for (int c = 1; c <= kOptionCount; ++c)
        k << optionKey(c) << destinationKey(c);
    k << QString(kBattle) << QString(kBattleWin) << QString(kBattleLose) << QString(kBattleEscape)
      << QString(kBattleEscapeCheck);
    return k;
}

} // namespace

Finder::Finder(const QString &text, const FindOptions &options)
    : m_text(text)
    , m_options(options)
{
    if (text.isEmpty()) {
        m_error = QStringLiteral("nothing to find");
        return;
    }
    m_plain = !options.regularExpression && !options.wholeWord;
    if (m_plain) {
        m_valid = true;
        return;
    }
    QString pattern = options.regularExpression ? text : QRegularExpression::escape(text);
    if (options.wholeWord)
        pattern = QStringLiteral("\\b(?:%1)\\b").arg(pattern);
    m_re = QRegularExpression(pattern, options.caseSensitive ? QRegularExpression::NoPatternOption
                                                             : QRegularExpression::CaseInsensitiveOption);
    m_valid = m_re.isValid();
    if (!m_valid)
        m_error = m_re.errorString();
}

QList<std::pair<int, int>> Finder::matches(const QString &value) const
{
    QList<std::pair<int, int>> out;
    if (!m_valid || value.isEmpty())
        return out;
    if (m_plain) {
        const Qt::CaseSensitivity cs = m_options.caseSensitive ? Qt::CaseSensitive : Qt::CaseInsensitive;
        for (qsizetype at = value.indexOf(m_text, 0, cs); at >= 0; at = value.indexOf(m_text, at + m_text.size(), cs))
            out.append({int(at), int(m_text.size())});
        return out;
    }
    for (auto it = m_re.globalMatch(value); it.hasNext();) {
        const QRegularExpressionMatch m = it.next();
        if (m.capturedLength() > 0)
            out.append({int(m.capturedStart()), int(m.capturedLength())});
    }
    return out;
}

QString Finder::replaced(const QString &value, const QString &with, int *count) const
{
    *count = 0;
    if (!m_valid || value.isEmpty())
        return value;
    QString out;
    qsizetype from = 0;
    if (m_plain || !m_options.regularExpression) {
        for (const auto &[start, length] : matches(value)) {
            out += QStringView(value).mid(from, start - from);
            out += with;
            from = start + length;
            ++*count;
        }
    } else {
        for (auto it = m_re.globalMatch(value); it.hasNext();) {
            const QRegularExpressionMatch m = it.next();
            if (m.capturedLength() == 0)
                continue;
            out += QStringView(value).mid(from, m.capturedStart() - from);
            out += expand(with, m);
            from = m.capturedEnd();
            ++*count;
        }
    }
    if (*count == 0)
        return value;
    out += QStringView(value).mid(from);
    return out;
}

QList<FindMatch> findInQuest(const QuestDocument &doc, const Finder &finder)
{
    QList<FindMatch> out;
    if (!finder.isValid())
        return out;
    // A text of ASCII characters is looked for in the stored bytes (with
    // their ASCII letters lowered for a search that ignores case): only the
    // values that hold it are decoded and searched, and a section is read
    // only as far as its last hit. Any other search reads every value.
    const QString literal = finder.literal();
    bool ascii = !literal.isEmpty();
    for (QChar c : literal)
        ascii = ascii && c.unicode() < 0x80;
    const bool caseSensitive = finder.options().caseSensitive;
    const bool plain = ascii && !finder.options().wholeWord;
    const QByteArray needle = ascii ? (caseSensitive ? literal.toLatin1() : literal.toLatin1().toLower()) : QByteArray();
    const QByteArrayMatcher matcher(needle);
    QByteArray lowered;

    const bool utf8 = isTextUtf8(doc);
    auto search = [&](const QString &page, const QString &section, const QStringList &keys, SectionReader &reader) {
        const QuestDocument::Section *stored = doc.storedSection(section);
        if (!stored)
            return;
        const QByteArray &text = stored->text;
        const char *bytes = text.constData();
        const qsizetype size = text.size();
        reader.start(text);
        std::uint32_t candidates = 0; // keys whose values may hold a match
        bool high = false;
        if (ascii && !caseSensitive) {
            lowered.resize(size);
            high = lowerAscii(text.constData(), size, lowered.data());
            bytes = lowered.constData();
        }
        if (!ascii || high) {
            // Every value: an expression, a text outside ASCII, or characters
            // outside ASCII that fold to the text's letters (the Kelvin sign to k).
            reader.read(text);
            for (int k = 0; k < reader.count(); ++k)
                if (reader.has(k))
                    candidates |= 1u << k;
        } else {
            for (qsizetype at = matcher.indexIn(bytes, size); at >= 0;) {
                qsizetype lineEnd = 0;
                const int k = reader.keyOfLineAt(at, &lineEnd);
                if (k >= 0)
                    candidates |= 1u << k;
                at = lineEnd < size ? matcher.indexIn(bytes, size, lineEnd) : -1;
            }
        }
        for (int k = 0; candidates >> k; ++k) {
            if (!(candidates & (1u << k)))
                continue;
            const auto [vs, ve] = reader.span(k);
            if (plain && ve - vs <= ini::IniFile::kMaxReadLength && !utf8::hasHighBytes(bytes + vs, ve - vs)) {
                // ASCII: characters are bytes, and the bytes give the matches.
                QString v;
                for (qsizetype at = matcher.indexIn(bytes + vs, ve - vs); at >= 0;
                     at = matcher.indexIn(bytes + vs, ve - vs, at + needle.size())) {
                    if (v.isNull())
                        v = QString::fromLatin1(text.constData() + vs, ve - vs);
                    out.append({page, section, keys[k], v, int(at), int(needle.size())});
                }
                continue;
            }
            const QString v = reader.value(k);
            if (v.isEmpty())
                continue;
            for (const auto &[start, length] : finder.matches(v))
                out.append({page, section, keys[k], v, start, length});
        }
    };
    SectionReader pageReader(searchedPageKeys(), utf8);
    for (const QString &p : distinctPages(doc))
        search(p, p, searchedPageKeys(), pageReader);
    SectionReader storyReader(storyKeys(), utf8);
    search(QString(), QString(kStoryInfoSection), storyKeys(), storyReader);
    return out;
}

QString ReplaceReport::summary() const
{
    const int n = int(pages.size());
    QString s = replacements == 1 ? QStringLiteral("Replaced 1 time") : QStringLiteral("Replaced %1 times").arg(replacements);
    s += n == 1 ? QStringLiteral(" in 1 page.") : QStringLiteral(" in %1 pages.").arg(n);
    if (!brokenDestinations.isEmpty())
        s += QStringLiteral(" These destinations now name no page: %1.").arg(brokenDestinations.join(QStringLiteral("; ")));
    return s;
}

namespace {

void store(QuestDocument &doc, ReplaceReport &r, const QString &page, const QString &section, const QString &key,
           const QString &value, int count)
{
    if (!doc.setValue(section, key, value))
        return;
    r.replacements += count;
    if (!r.pages.contains(page))
        r.pages << page;
    if (isDestinationKey(key) && !value.trimmed().isEmpty() && !namesPage(doc, value))
        r.brokenDestinations << QStringLiteral("%1: %2 = %3").arg(page, key, value);
}

} // namespace

ReplaceReport replaceAll(QuestDocument &doc, const Finder &finder, const QString &with)
{
    ReplaceReport r;
    if (!finder.isValid())
        return r;
    // Only the fields find lists hold a match: the others stay unread.
    const QList<FindMatch> found = findInQuest(doc, finder);
    doc.beginRecord();
    for (qsizetype i = 0; i < found.size(); ++i) {
        const FindMatch &m = found[i];
        if (i > 0 && found[i - 1].section == m.section && found[i - 1].key == m.key)
            continue; // the same field again
        const QString v = doc.value(m.section, m.key);
        int count = 0;
        const QString next = finder.replaced(v, with, &count);
        if (count > 0 && next != v)
            store(doc, r, m.page, m.section, m.key, next, count);
    }
    r.delta = doc.endRecord();
    return r;
}

ReplaceReport replaceMatch(QuestDocument &doc, const Finder &finder, const FindMatch &m, const QString &with)
{
    ReplaceReport r;
    const QString v = doc.value(m.section, m.key);
    if (!finder.isValid() || v != m.line || !finder.matches(v).contains(std::pair<int, int>(m.start, m.length)))
        return r;
    // The one match, through the same replacement as Replace All.
    int count = 0;
    const QString part = finder.replaced(v.mid(m.start, m.length), with, &count);
    if (count == 0)
        return r;
    doc.beginRecord();
    store(doc, r, m.page, m.section, m.key, v.left(m.start) + part + v.mid(m.start + m.length), 1);
    r.delta = doc.endRecord();
    return r;
}

QStringList goToCandidates(const QuestDocument &doc, const QString &text, int limit)
{
    QStringList out;
    const QStringList pages = distinctPages(doc);
    const QString t = text.trimmed();
    QSet<QString> taken;
    auto take = [&](const QString &p) {
        if (out.size() < limit && !taken.contains(p)) {
            taken.insert(p);
            out << p;
        }
    };
    if (t.isEmpty()) {
        for (const QString &p : pages)
            take(p);
        return out;
    }
    for (const QString &p : pages)
        if (foldPageName(p) == foldPageName(t))
            take(p);
    for (const QString &p : pages)
        if (p.startsWith(t, Qt::CaseInsensitive))
            take(p);
    const QStringList words = t.split(QLatin1Char(' '), Qt::SkipEmptyParts);
    auto holdsAll = [&](const QString &value) {
        for (const QString &w : words)
            if (!value.contains(w, Qt::CaseInsensitive))
                return false;
        return true;
    };
    SectionReader reader({QString(kLocation), QString(kPageText)}, isTextUtf8(doc));
    for (int k = 0; k < 2; ++k)
        for (const QString &p : pages) {
            if (out.size() >= limit)
                break;
            const QuestDocument::Section *stored = doc.storedSection(p);
            if (!stored)
                continue;
            reader.read(stored->text);
            if (holdsAll(reader.value(k)))
                take(p);
        }
    return out;
}

QList<LinkHere> linksHere(const StoryGraph &graph, const QString &page)
{
    QList<LinkHere> out;
    const int to = graph.indexOf(page);
    if (to < 0)
        return out;
    for (const StoryLink &l : graph.links) {
        if (l.to != to)
            continue;
        QString key;
        switch (l.kind) {
        case LinkKind::Win: key = QString(kBattleWin); break;
        case LinkKind::Lose: key = QString(kBattleLose); break;
        case LinkKind::Escape: key = QString(kBattleEscape); break;
        default: key = destinationKey(int(l.kind) - int(LinkKind::Choice1) + 1); break;
        }
        out.append({graph.pages[l.from].name, l.kind, key});
    }
    return out;
}

namespace {

StoryPageInput readStoryPage(const QuestDocument &doc, const QString &name, SectionReader &reader)
{
    StoryPageInput in;
    in.name = name;
    if (const QuestDocument::Section *stored = doc.storedSection(name)) {
        reader.read(stored->text);
        in.location = reader.value(0);
        in.text = reader.value(1);
        for (int c = 0; c < kOptionCount; ++c) {
            in.captions[size_t(c)] = reader.value(2 + 2 * c);
            in.destinations[size_t(c)] = reader.value(3 + 2 * c);
        }
        in.battle = reader.value(10);
        in.win = reader.value(11);
        in.lose = reader.value(12);
        in.escape = reader.value(13);
        in.escapeCheck = reader.value(14);
    }
    return in;
}

} // namespace

QList<StoryPageInput> storyPagesOf(const QuestDocument &doc)
{
    QList<StoryPageInput> out;
    out.reserve(doc.pages().size());
    SectionReader reader(graphKeys(), isTextUtf8(doc));
    for (const QString &name : doc.pages())
        out.append(readStoryPage(doc, name, reader));
    return out;
}

StoryPageInput storyPageOf(const QuestDocument &doc, const QString &name)
{
    SectionReader reader(graphKeys(), isTextUtf8(doc));
    return readStoryPage(doc, name, reader);
}

bool isStoryGraphKey(const QString &key)
{
    static const QStringList keys = graphKeys();
    return keys.contains(key.trimmed(), Qt::CaseInsensitive);
}

} // namespace fc::story
