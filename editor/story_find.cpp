#include "editor/story_find.h"

#include "storage/cp1252.h"
#include "storage/ini_section_reader.h"
#include "storage/quest_format.h"

#include <QByteArrayMatcher>
#include <QSet>

#include <array>
#include <cstdint>
#include <cstring>

namespace fc::story {

using namespace quest;
using ini::SectionReader;

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

    auto search = [&](const QString &page, const QString &section, const QStringList &keys, SectionReader &reader) {
        const QuestDocument::Section *stored = doc.storedSection(section);
        if (!stored)
            return;
        const QByteArray &text = stored->text;
        const char *bytes = text.constData();
        const qsizetype size = text.size();
        reader.start(text);
        Q_ASSERT(reader.count() <= 32);
        std::uint32_t candidates = 0; // keys whose values may hold a match, one bit each
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
    SectionReader pageReader(searchedPageKeys(), doc.encoding());
    for (const QString &p : distinctPages(doc))
        search(p, p, searchedPageKeys(), pageReader);
    SectionReader storyReader(storyKeys(), doc.encoding());
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
        // The whole value as a read gives it; the stores before it changed
        // no other field.
        const QString &v = m.line;
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
    SectionReader reader({QString(kLocation), QString(kPageText)}, doc.encoding());
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
    std::array<QString, kStoryPageKeyCount> values;
    if (const QuestDocument::Section *stored = doc.storedSection(name)) {
        reader.read(stored->text);
        for (int k = 0; k < kStoryPageKeyCount; ++k)
            values[size_t(k)] = reader.value(k);
    }
    return storyPageFrom(name, values);
}

} // namespace

QList<StoryPageInput> storyPagesOf(const QuestDocument &doc)
{
    QList<StoryPageInput> out;
    out.reserve(doc.pages().size());
    SectionReader reader(storyPageKeys(), doc.encoding());
    for (const QString &name : doc.pages())
        out.append(readStoryPage(doc, name, reader));
    return out;
}

StoryPageInput storyPageOf(const QuestDocument &doc, const QString &name)
{
    SectionReader reader(storyPageKeys(), doc.encoding());
    return readStoryPage(doc, name, reader);
}

bool isStoryGraphKey(const QString &key)
{
    return storyPageKeys().contains(key.trimmed(), Qt::CaseInsensitive);
}

} // namespace fc::story
