#include "editor/story_graph.h"

#include "engine/rules.h"
#include "storage/ini_file.h"
#include "storage/quest_format.h"
#include "storage/regular_file.h"
#include "storage/user_folders.h"

#include <algorithm>

namespace fc::story {

QString linkKindName(LinkKind kind)
{
    switch (kind) {
    case LinkKind::Choice1: return QStringLiteral("choice1");
    case LinkKind::Choice2: return QStringLiteral("choice2");
    case LinkKind::Choice3: return QStringLiteral("choice3");
    case LinkKind::Choice4: return QStringLiteral("choice4");
    case LinkKind::Win: return QStringLiteral("win");
    case LinkKind::Lose: return QStringLiteral("lose");
    case LinkKind::Escape: return QStringLiteral("escape");
    }
    return {};
}

QString foldPageName(const QString &name)
{
    return name.trimmed().toCaseFolded();
}

int StoryGraph::indexOf(const QString &name) const
{
    return index.value(foldPageName(name), -1);
}

QList<int> StoryGraph::byNumber() const
{
    QList<int> order(pages.size());
    for (int i = 0; i < order.size(); ++i)
        order[i] = i;
    std::stable_sort(order.begin(), order.end(),
                     [this](int a, int b) { return pageNameLess(pages[a].name, pages[b].name); });
    return order;
}

namespace {

QString firstWords(const QString &text)
{
    // Only the start is shown: never simplify a whole long text.
    QString s = QStringView(text).left(kFirstWordsLength * 3).toString().simplified();
    if (s.size() <= kFirstWordsLength)
        return s;
    qsizetype cut = s.lastIndexOf(QLatin1Char(' '), kFirstWordsLength - 1);
    if (cut < kFirstWordsLength / 2)
        cut = kFirstWordsLength - 1;
    return s.left(cut) + QChar(0x2026);
}

} // namespace

PageLinks describePage(const StoryGraph &g, int i, const StoryPageInput &in)
{
    PageLinks out;
    StoryPage &p = out.page;
    p.name = in.name;
    p.location = in.location.simplified();
    p.firstWords = firstWords(in.text);
    p.battle = rules::opensBattle(in.battle);
    auto link = [&](const QString &destination, LinkKind kind) {
        if (destination.isEmpty())
            return;
        const int to = g.indexOf(destination);
        if (to < 0)
            out.broken.append({i, kind, destination});
        else
            out.links.append({i, to, kind});
    };
    bool leads = false;
    for (int c = 0; c < 4; ++c) {
        if (in.captions[size_t(c)].isEmpty())
            continue;
        ++p.choices;
        link(in.destinations[size_t(c)], LinkKind(int(LinkKind::Choice1) + c));
    }
    if (p.battle) {
        link(in.win, LinkKind::Win);
        link(in.lose, LinkKind::Lose);
        if (rules::escapeAllowed(in.escapeCheck))
            link(in.escape, LinkKind::Escape);
        leads = rules::leavesBattlePage(in.win) || rules::leavesBattlePage(in.lose)
                || (rules::escapeAllowed(in.escapeCheck) && !in.escape.isEmpty());
    }
    p.ending = p.choices == 0 && !leads;
    return out;
}

StoryGraph buildStoryGraph(const QList<StoryPageInput> &inputs)
{
    StoryGraph g;
    QList<const StoryPageInput *> kept;
    g.pages.reserve(inputs.size());
    kept.reserve(inputs.size());
    g.index.reserve(inputs.size());
    for (const StoryPageInput &in : inputs) {
        const QString key = foldPageName(in.name);
        if (g.index.contains(key))
            continue;
        g.index.insert(key, int(g.pages.size()));
        StoryPage p;
        p.name = in.name;
        g.pages.append(p);
        kept.append(&in);
    }
    g.start = g.indexOf(QString(quest::kFirstPage));
    g.links.reserve(g.pages.size() * 4);
    for (int i = 0; i < g.pages.size(); ++i) {
        PageLinks d = describePage(g, i, *kept[i]);
        d.page.start = i == g.start;
        g.pages[i] = std::move(d.page);
        g.links.append(d.links);
        g.broken.append(d.broken);
    }
    return g;
}

const QStringList &storyPageKeys()
{
    using namespace quest;
    static const QStringList keys = [] {
        QStringList k{QString(kLocation), QString(kPageText)};
        for (int c = 1; c <= kOptionCount; ++c)
            k << optionKey(c) << destinationKey(c);
        k << QString(kBattle) << QString(kBattleWin) << QString(kBattleLose) << QString(kBattleEscape)
          << QString(kBattleEscapeCheck);
        Q_ASSERT(k.size() == kStoryPageKeyCount);
        return k;
    }();
    return keys;
}

StoryPageInput storyPageFrom(const QString &name, std::span<QString, kStoryPageKeyCount> values)
{
    StoryPageInput p;
    p.name = name;
    p.location = std::move(values[0]);
    p.text = std::move(values[1]);
    for (int c = 0; c < quest::kOptionCount; ++c) {
        p.captions[size_t(c)] = std::move(values[size_t(2 + 2 * c)]);
        p.destinations[size_t(c)] = std::move(values[size_t(3 + 2 * c)]);
    }
    p.battle = std::move(values[10]);
    p.win = std::move(values[11]);
    p.lose = std::move(values[12]);
    p.escape = std::move(values[13]);
    p.escapeCheck = std::move(values[14]);
    return p;
}

bool loadStoryPages(const QString &file, QList<StoryPageInput> *pages, QString *error)
{
    pages->clear();
    FileRead read = ReadRegularFile(ResolveIniPath(file), filelimit::kProfile);
    if (!read.ok()) {
        if (error)
            *error = read.error;
        return false;
    }
    const ini::IniFile ini = ini::IniFile::parse(std::move(read.bytes));
    using namespace quest;
    const QString fixed[] = {foldPageName(kQuestDataSection), foldPageName(kStoryInfoSection),
                             foldPageName(kCharacterDataSection)};
    // One lookup of the section for all of a page's keys.
    const QList<QStringView> keys(storyPageKeys().cbegin(), storyPageKeys().cend());
    std::array<QString, kStoryPageKeyCount> values;

    const QStringList sections = ini.sectionNames();
    pages->reserve(sections.size());
    for (const QString &s : sections) {
        const QString folded = foldPageName(s);
        if (std::find(std::begin(fixed), std::end(fixed), folded) != std::end(fixed))
            continue;
        ini.readValues(s, keys, values);
        pages->append(storyPageFrom(s, values));
    }
    return true;
}

} // namespace fc::story
