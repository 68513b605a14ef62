// What players reach, and the findings about it.
#include "engine/check/reach.h"

#include "engine/rules.h"
#include "storage/quest_format.h"

#include <QHash>

#include <algorithm>
#include <limits>

namespace fc::check::detail {

FirstStates findFirstStates(const StateGraph &graph, const QuestPages &quest)
{
    const std::int32_t n = graph.size();
    const size_t pages = quest.size();
    FirstStates first;
    first.state.assign(pages, -1);
    first.settled.assign(pages, -1);
    first.open.assign(pages, -1);
    first.offered.assign(pages, {-1, -1, -1, -1});
    first.softLock.assign(pages, -1);
    first.ending.assign(size_t(n), 0);
    // The order each kept state was found in, beside it, so that comparing
    // needs no look-up.
    constexpr std::int32_t kNone = std::numeric_limits<std::int32_t>::max();
    std::vector<std::int32_t> stateRank(pages, kNone), settledRank(pages, kNone), openRank(pages, kNone),
        softLockRank(pages, kNone);
    std::vector<std::array<std::int32_t, 4>> offeredRank(pages, {kNone, kNone, kNone, kNone});
    auto keep = [](std::int32_t &state, std::int32_t &rank, std::int32_t s, std::int32_t r) {
        if (r < rank) {
            rank = r;
            state = s;
        }
    };
    for (std::int32_t s = 0; s < n; ++s) {
        const auto p = size_t(graph.pageOf(s));
        const std::int32_t r = graph.rank(s);
        const PageMoves &page = quest.moves[p];
        keep(first.state[p], stateRank[p], s, r);
        if (graph.phaseOf(s) == BattleOpen) {
            keep(first.open[p], openRank[p], s, r);
            continue;
        }
        keep(first.settled[p], settledRank[p], s, r);
        bool any = false;
        const Mask mask = graph.maskOf(s);
        for (size_t i = 0; i < size_t(quest::kOptionCount); ++i)
            if (offered(page.choices[i], mask)) {
                any = true;
                keep(first.offered[p][i], offeredRank[p][i], s, r);
            }
        if (!page.hasChoices)
            first.ending[size_t(s)] = 1;
        else if (!any)
            keep(first.softLock[p], softLockRank[p], s, r);
    }
    return first;
}

namespace {

// Why a visible choice is never offered.
QString neverOfferedWhy(const FirstStates &first, int p, const Choice &c)
{
    if (first.settled[size_t(p)] < 0)
        return QStringLiteral("the fight here always leads to another page; only loading a game saved "
                              "during the fight shows this choice");
    if (rules::requiresItem(c.required) && !c.offeredNotHeld && c.offeredHeld)
        return QStringLiteral("it needs %1, which no player reaching this page holds").arg(quoted(c.item));
    if (c.offeredNotHeld && !c.offeredHeld)
        return QStringLiteral("it gives %1, which every player reaching this page already holds").arg(quoted(c.item));
    return QStringLiteral("it is hidden whatever the player holds");
}

} // namespace

void reachFindings(const FirstStates &first, const StateGraph &graph, const QuestPages &quest, FindingList &out)
{
    for (int p = 0; p < int(quest.size()); ++p) {
        const Page &page = quest.pages[size_t(p)];
        if (first.state[size_t(p)] < 0) {
            out.add("unreachable-page", p, QString(), QStringLiteral("no player can reach this page"));
            continue;
        }
        if (first.softLock[size_t(p)] >= 0) {
            const std::int32_t s = first.softLock[size_t(p)];
            QStringList held;
            for (int b = 0; b < quest.bitItems.size(); ++b)
                if ((graph.realMask(s) >> b) & 1)
                    held << quoted(quest.bitItems[b]);
            out.add("soft-lock", p, QString(),
                    QStringLiteral("the page has choices but offers none to a player holding %1")
                        .arg(held.isEmpty() ? QStringLiteral("no key item") : held.join(QStringLiteral(", "))),
                    s);
        }
        for (int i = 0; i < quest::kOptionCount; ++i) {
            const Choice &c = page.choices[size_t(i)];
            if (!c.visible() || first.offered[size_t(p)][size_t(i)] >= 0)
                continue;
            out.add("never-offered", p, quest::optionKey(i + 1),
                    quest::optionKey(i + 1) + QStringLiteral(" is never offered: ") + neverOfferedWhy(first, p, c),
                    first.settled[size_t(p)] >= 0 ? first.settled[size_t(p)] : first.state[size_t(p)]);
        }
    }
}

namespace {

// Where a key item is given or asked for, and the state nearest the start
// that shows it.
struct ItemUse
{
    int page;
    QString key;
    std::int32_t state;
};

struct ItemUses
{
    QHash<QString, QList<ItemUse>> given, needed;
    QStringList order; // each item once, as first met

    void note(QHash<QString, QList<ItemUse>> &uses, const QString &item, ItemUse use)
    {
        if (!given.contains(item) && !needed.contains(item))
            order << item;
        uses[item].append(std::move(use));
    }
};

ItemUses itemUses(const FirstStates &first, const QuestPages &quest)
{
    ItemUses u;
    for (int p = 0; p < int(quest.size()); ++p) {
        const Page &page = quest.pages[size_t(p)];
        const auto &offered = first.offered[size_t(p)];
        for (int i = 0; i < quest::kOptionCount; ++i) {
            const Choice &c = page.choices[size_t(i)];
            if (!c.visible())
                continue;
            if (rules::givesItem(c.add, c.item))
                u.note(u.given, c.item, {p, quest::keyItemKey(i + 1), offered[size_t(i)]});
            if (rules::requiresItem(c.required) && !c.item.isEmpty())
                u.note(u.needed, c.item,
                       {p, quest::keyItemKey(i + 1),
                        offered[size_t(i)] >= 0 ? offered[size_t(i)] : first.settled[size_t(p)]});
        }
        if (page.battle && !page.loot.isEmpty())
            u.note(u.given, page.loot, {p, QString(quest::kBattleMonKeyItem), first.open[size_t(p)]});
    }
    return u;
}

} // namespace

void keyItemFindings(const FirstStates &first, const QuestPages &quest, FindingList &out)
{
    const ItemUses uses = itemUses(first, quest);
    auto nearest = [](const QList<ItemUse> &list) {
        const ItemUse *best = &list.front();
        for (const ItemUse &u : list)
            if (u.state >= 0 && (best->state < 0 || u.state < best->state))
                best = &u;
        return *best;
    };
    for (const QString &item : std::as_const(uses.order)) {
        if (uses.given.contains(item) && !uses.needed.contains(item)) {
            const ItemUse u = nearest(uses.given[item]);
            out.add("item-never-required", u.page, u.key,
                    QStringLiteral("%1 is given here but no choice requires it").arg(quoted(item)), u.state);
        } else if (uses.needed.contains(item) && !uses.given.contains(item)) {
            const ItemUse u = nearest(uses.needed[item]);
            out.add("item-never-added", u.page, u.key,
                    QStringLiteral("%1 is required here but no choice or battle gives it").arg(quoted(item)), u.state);
        }
    }
}

QList<Ending> collectEndings(const FirstStates &first, const StateGraph &graph, const QuestPages &quest,
                             const ScoreRanges &scores)
{
    QList<Ending> endings;
    std::vector<int> endingOf(quest.size(), -1);
    for (std::int32_t s = 0; s < graph.size(); ++s) {
        if (!first.ending[size_t(s)])
            continue;
        const int p = graph.pageOf(s);
        if (endingOf[size_t(p)] < 0) {
            endingOf[size_t(p)] = int(endings.size());
            Ending e;
            e.page = quest.pages[size_t(p)].name;
            e.minScore = kMaxScore + 1;
            e.maxScore = kMinScore - 1;
            endings.append(e);
        }
        Ending &e = endings[endingOf[size_t(p)]];
        ++e.states;
        const std::uint8_t open = scores.unbounded[size_t(s)];
        if ((open & ScoreRanges::kLowOpen) || !e.minScore)
            e.minScore.reset();
        else
            e.minScore = std::min(*e.minScore, scores.lo[size_t(s)]);
        if ((open & ScoreRanges::kHighOpen) || !e.maxScore)
            e.maxScore.reset();
        else
            e.maxScore = std::max(*e.maxScore, scores.hi[size_t(s)]);
    }
    std::sort(endings.begin(), endings.end(), [](const Ending &a, const Ending &b) { return quest::pageNameLess(a.page, b.page); });
    return endings;
}

} // namespace fc::check::detail
