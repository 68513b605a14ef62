#include "editor/story_find.h"

#include "storage/cp1252.h"
#include "storage/quest_format.h"

#include <QByteArrayMatcher>
#include <QSet>

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

// Where needle stands in the document's bytes: folded section name -> folded
// names of the keys whose lines hold it. A search then reads only those
// values. Nothing when the bytes cannot be searched as they are (a UTF-16
// quest, a needle that is not plain ASCII).
using Hits = QHash<QString, QSet<QString>>;
std::optional<Hits> linesHolding(const QuestDocument &doc, const QString &needle, bool caseSensitive)
{
    if (doc.encoding() == ini::FileEncoding::Utf16Le || doc.encoding() == ini::FileEncoding::Utf16Be)
        return std::nullopt;
    for (QChar c : needle)
        if (c.unicode() >= 128 || c.unicode() < 32)
            return std::nullopt;
    QByteArray bytes = doc.toBytes();
    QByteArray n = needle.toLatin1();
    if (!caseSensitive) {
        bytes = std::move(bytes).toLower();
        n = n.toLower();
    }
    const char *data = bytes.constData();
    const qsizetype size = bytes.size();
    const bool utf8 = doc.encoding() != ini::FileEncoding::Windows1252;
    auto text = [&](qsizetype from, qsizetype length) {
        return utf8 ? QString::fromUtf8(data + from, length) : cp1252::decode(data + from, length);
    };
    Hits out;
    QString section; // folded name of the section the scan is in
    qsizetype scanned = 0; // headers are known up to here
    auto lineEnd = [&](qsizetype at) {
        while (at < size && data[at] != '\n' && data[at] != '\r')
            ++at;
        return at;
    };
    // Moves the known section forward to the line starting at lineStart.
    auto headerUpTo = [&](qsizetype lineStart) {
        while (scanned <= lineStart && scanned < size) {
            const qsizetype end = lineEnd(scanned);
            qsizetype i = scanned;
            while (i < end && (data[i] == ' ' || data[i] == '\t'))
                ++i;
            if (i < end && data[i] == '[') {
                const qsizetype close = bytes.indexOf(']', i);
                if (close > i && close < end)
                    section = foldPageName(text(i + 1, close - i - 1));
            }
            scanned = end + 1;
        }
    };
    const QByteArrayMatcher matcher(n);
    for (qsizetype at = matcher.indexIn(bytes); at >= 0;) {
        qsizetype start = at;
        while (start > 0 && data[start - 1] != '\n' && data[start - 1] != '\r')
            --start;
        headerUpTo(start);
        const qsizetype end = lineEnd(at);
        const qsizetype eq = bytes.indexOf('=', start);
        if (eq >= start && eq < at && data[start] != ';')
            out[section].insert(foldPageName(text(start, eq - start)));
        at = end < size ? matcher.indexIn(bytes, end) : -1;
    }
    return out;
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
    // Names in the lower-cased bytes fold as the names themselves do: only
    // ASCII letters were lowered.
    const std::optional<Hits> holding =
        finder.literal().isEmpty() ? std::nullopt : linesHolding(doc, finder.literal(), finder.options().caseSensitive);
    auto search = [&](const QString &page, const QString &section, const QStringList &keys) {
        const QSet<QString> *lines = nullptr;
        if (holding) {
            const auto it = holding->constFind(foldPageName(section));
            if (it == holding->cend())
                return;
            lines = &it.value();
        }
        for (const QString &key : keys) {
            if (lines && !lines->contains(key.toCaseFolded()))
                continue;
            const QString v = doc.value(section, key);
            if (v.isEmpty())
                continue;
            for (const auto &[start, length] : finder.matches(v))
                out.append({page, section, key, v, start, length});
        }
    };
    for (const QString &p : distinctPages(doc))
        search(p, p, searchedPageKeys());
    search(QString(), QString(kStoryInfoSection), storyKeys());
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
    doc.beginRecord();
    auto replaceIn = [&](const QString &page, const QString &section, const QStringList &keys) {
        for (const QString &key : keys) {
            const QString v = doc.value(section, key);
            int count = 0;
            const QString next = finder.replaced(v, with, &count);
            if (count > 0 && next != v)
                store(doc, r, page, section, key, next, count);
        }
    };
    for (const QString &p : distinctPages(doc))
        replaceIn(p, p, searchedPageKeys());
    replaceIn(QString(), QString(kStoryInfoSection), storyKeys());
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
    for (const QString &p : pages) {
        if (out.size() >= limit)
            break;
        if (holdsAll(doc.value(p, QString(kLocation))))
            take(p);
    }
    for (const QString &p : pages) {
        if (out.size() >= limit)
            break;
        if (holdsAll(doc.value(p, QString(kPageText))))
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

QList<StoryPageInput> storyPagesOf(const QuestDocument &doc)
{
    QList<StoryPageInput> out;
    out.reserve(doc.pages().size());
    for (const QString &name : doc.pages()) {
        const QuestPage p = doc.page(name);
        StoryPageInput in;
        in.name = name;
        in.location = p.location;
        in.text = p.text;
        for (int c = 0; c < 4; ++c) {
            in.captions[size_t(c)] = p.choices[size_t(c)].caption;
            in.destinations[size_t(c)] = p.choices[size_t(c)].destination;
        }
        in.battle = p.battle;
        in.win = p.fight.win;
        in.lose = p.fight.lose;
        in.escape = p.fight.escape;
        in.escapeCheck = p.fight.escapeCheck;
        out.append(std::move(in));
    }
    return out;
}

} // namespace fc::story
