#include "engine/check/checker.h"

#include "engine/check/explorer.h"
#include "engine/check/quest_snapshot.h"
#include "engine/game.h"
#include "engine/rules.h"
#include "engine/score.h"
#include "storage/encoder.h"
#include "storage/quest_format.h"
#include "storage/user_folders.h"

#include <QElapsedTimer>
#include <QFileInfo>
#include <QHash>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <limits>
#include <vector>

namespace fc::check {

namespace detail {

// Per page, the first state reaching it in each phase and offering each
// choice; per state, whether it is an ending; per page, the first state
// offering none of its choices.
void Explorer::firstStates(std::vector<std::uint8_t> &ending, std::vector<std::int32_t> &firstSoftLock)
{
    const auto n = std::int32_t(m_g.size());
    const size_t pages = m_pages.size();
    m_firstState.assign(pages, -1);
    m_firstSettled.assign(pages, -1);
    m_firstOpen.assign(pages, -1);
    m_firstOffered.assign(pages, {-1, -1, -1, -1});
    firstSoftLock.assign(pages, -1);
    ending.assign(size_t(n), 0);
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
        const int p = pageOf(s);
        const std::int32_t r = m_rank[size_t(s)];
        const PageMoves &page = m_moves[size_t(p)];
        keep(m_firstState[size_t(p)], stateRank[size_t(p)], s, r);
        if (phaseOf(s) == BattleOpen) {
            keep(m_firstOpen[size_t(p)], openRank[size_t(p)], s, r);
            continue;
        }
        keep(m_firstSettled[size_t(p)], settledRank[size_t(p)], s, r);
        bool any = false;
        const Mask mask = maskOf(s);
        for (size_t i = 0; i < size_t(quest::kOptionCount); ++i)
            if (offered(page.choices[i], mask)) {
                any = true;
                keep(m_firstOffered[size_t(p)][i], offeredRank[size_t(p)][i], s, r);
            }
        if (!page.hasChoices)
            ending[size_t(s)] = 1;
        else if (!any)
            keep(firstSoftLock[size_t(p)], softLockRank[size_t(p)], s, r);
    }

}

// Pages no player reaches, pages that offer no choice, choices never offered.
void Explorer::reachFindings(const std::vector<std::int32_t> &firstSoftLock)
{
    const size_t pages = m_pages.size();
    auto itemName = [&](int page, int i) {
        return m_pages[size_t(page)].choices[size_t(i)].item;
    };
    for (int p = 0; p < int(pages); ++p) {
        const Page &page = m_pages[size_t(p)];
        if (m_firstState[size_t(p)] < 0) {
            add("unreachable-page", p, QString(), QStringLiteral("no player can reach this page"));
            continue;
        }
        if (firstSoftLock[size_t(p)] >= 0) {
            const std::int32_t s = firstSoftLock[size_t(p)];
            QStringList held;
            for (int b = 0; b < m_bitItems.size(); ++b)
                if ((realMask(s) >> b) & 1)
                    held << quoted(m_bitItems[b]);
            add("soft-lock", p, QString(),
                QStringLiteral("the page has choices but offers none to a player holding %1")
                    .arg(held.isEmpty() ? QStringLiteral("no key item") : held.join(QStringLiteral(", "))),
                s);
        }
        for (int i = 0; i < quest::kOptionCount; ++i) {
            const Choice &c = page.choices[size_t(i)];
            if (!c.visible() || m_firstOffered[size_t(p)][size_t(i)] >= 0)
                continue;
            QString why;
            if (m_firstSettled[size_t(p)] < 0)
                why = QStringLiteral("the fight here always leads to another page; only loading a game saved "
                                     "during the fight shows this choice");
            else if (rules::requiresItem(c.required) && !c.offeredNotHeld && c.offeredHeld)
                why = QStringLiteral("it needs %1, which no player reaching this page holds").arg(quoted(itemName(p, i)));
            else if (c.offeredNotHeld && !c.offeredHeld)
                why = QStringLiteral("it gives %1, which every player reaching this page already holds").arg(quoted(itemName(p, i)));
            else
                why = QStringLiteral("it is hidden whatever the player holds");
            add("never-offered", p, quest::optionKey(i + 1),
                quest::optionKey(i + 1) + QStringLiteral(" is never offered: ") + why,
                m_firstSettled[size_t(p)] >= 0 ? m_firstSettled[size_t(p)] : m_firstState[size_t(p)]);
        }
    }
}

// Key items given but never required, or required but never given.
void Explorer::keyItemFindings()
{
    const size_t pages = m_pages.size();
    struct Use { int page; QString key; std::int32_t state; };
    QHash<QString, QList<Use>> given, needed;
    QStringList order;
    for (int p = 0; p < int(pages); ++p) {
        const Page &page = m_pages[size_t(p)];
        for (int i = 0; i < quest::kOptionCount; ++i) {
            const Choice &c = page.choices[size_t(i)];
            if (!c.visible())
                continue;
            if (rules::givesItem(c.add, c.item)) {
                if (!given.contains(c.item) && !needed.contains(c.item))
                    order << c.item;
                given[c.item].append({p, quest::keyItemKey(i + 1), m_firstOffered[size_t(p)][size_t(i)]});
            }
            if (rules::requiresItem(c.required) && !c.item.isEmpty()) {
                if (!given.contains(c.item) && !needed.contains(c.item))
                    order << c.item;
                needed[c.item].append({p, quest::keyItemKey(i + 1), m_firstOffered[size_t(p)][size_t(i)] >= 0
                                                                        ? m_firstOffered[size_t(p)][size_t(i)]
                                                                        : m_firstSettled[size_t(p)]});
            }
        }
        if (page.battle && !page.loot.isEmpty()) {
            if (!given.contains(page.loot) && !needed.contains(page.loot))
                order << page.loot;
            given[page.loot].append({p, QString(quest::kBattleMonKeyItem), m_firstOpen[size_t(p)]});
        }
    }
    auto first = [](const QList<Use> &uses) {
        const Use *best = &uses.front();
        for (const Use &u : uses)
            if (u.state >= 0 && (best->state < 0 || u.state < best->state))
                best = &u;
        return *best;
    };
    for (const QString &item : std::as_const(order)) {
        if (given.contains(item) && !needed.contains(item)) {
            const Use u = first(given[item]);
            add("item-never-required", u.page, u.key,
                QStringLiteral("%1 is given here but no choice requires it").arg(quoted(item)), u.state);
        } else if (needed.contains(item) && !given.contains(item)) {
            const Use u = first(needed[item]);
            add("item-never-added", u.page, u.key,
                QStringLiteral("%1 is required here but no choice or battle gives it").arg(quoted(item)), u.state);
        }
    }
}

// The ending pages, each with the range of scores a player ends on it with.
void Explorer::collectEndings(const std::vector<std::uint8_t> &ending)
{
    const auto n = std::int32_t(m_g.size());
    const size_t pages = m_pages.size();
    QList<Ending> endings;
    std::vector<int> endingOf(pages, -1);
    for (std::int32_t s = 0; s < n; ++s) {
        if (!ending[size_t(s)])
            continue;
        const int p = pageOf(s);
        if (endingOf[size_t(p)] < 0) {
            endingOf[size_t(p)] = int(endings.size());
            Ending e;
            e.page = m_pages[size_t(p)].name;
            e.minScore = kMaxScore + 1;
            e.maxScore = kMinScore - 1;
            endings.append(e);
        }
        Ending &e = endings[endingOf[size_t(p)]];
        ++e.states;
        if ((m_unbounded[size_t(s)] & kLowOpen) || !e.minScore)
            e.minScore.reset();
        else
            e.minScore = std::min(*e.minScore, m_lo[size_t(s)]);
        if ((m_unbounded[size_t(s)] & kHighOpen) || !e.maxScore)
            e.maxScore.reset();
        else
            e.maxScore = std::max(*e.maxScore, m_hi[size_t(s)]);
    }
    std::sort(endings.begin(), endings.end(), [](const Ending &a, const Ending &b) { return pageNameLess(a.page, b.page); });
    m_report.endings = endings;
}

void Explorer::analyse()
{
    std::vector<std::uint8_t> ending;
    std::vector<std::int32_t> firstSoftLock;
    firstStates(ending, firstSoftLock);

    QElapsedTimer clock;
    clock.start();
    makeScoreTable();
    findParts();
    m_partsTime = clock.restart();
    scoreRanges();
    m_scoresTime = clock.restart();
    staticChecks();
    reachFindings(firstSoftLock);

    clock.restart();
    deadEnds(ending, firstSoftLock);
    m_deadEndsTime = clock.elapsed();

    keyItemFindings();
    collectEndings(ending);
}

CheckReport Explorer::run()
{
    readPages();
    if (m_quest.pageIndex(quest::kFirstPage) < 0) {
        m_report.findings.append({QStringLiteral("broken-destination"), QString(quest::kFirstPage), QString(),
                                  QStringLiteral("the quest has no page \"1\", where every game starts"), {}});
        m_findingState.push_back(-1);
    }
    if (m_itemBits.size() > kMaxTrackedItems) {
        m_report.error = QStringLiteral("%1 key items decide what choices offer; at most %2 can be checked")
                             .arg(m_itemBits.size())
                             .arg(kMaxTrackedItems);
        return m_report;
    }
    QElapsedTimer clock;
    clock.start();
    if (!explore())
        return m_report;
    m_report.states = m_g.size();
    const qint64 found = clock.elapsed();
    renumber();
    // The block index is not needed any more.
    m_g.blocks = {};
    m_g.blockKey = {};
    m_g.blockAt = {};
    const qint64 explored = clock.elapsed();
    analyse();
    makeTrail();
    if (qEnvironmentVariableIsSet("FABLECRAFT_CHECK_TIMING"))
        fprintf(stderr,
                "explore %lld ms, renumber %lld ms, analyse %lld ms (parts %lld ms, scores %lld ms, dead ends %lld ms, "
                "steps %lld ms)\n",
                found, explored - found, clock.elapsed() - explored, m_partsTime, m_scoresTime, m_deadEndsTime,
                m_stepsTime);

    auto kindRank = [](const QString &kind) {
        for (size_t i = 0; i < std::size(kFindingKinds); ++i)
            if (kind == QLatin1String(kFindingKinds[i]))
                return int(i);
        return int(std::size(kFindingKinds));
    };
    std::stable_sort(m_report.findings.begin(), m_report.findings.end(), [&](const Finding &a, const Finding &b) {
        const int ka = kindRank(a.kind), kb = kindRank(b.kind);
        if (ka != kb)
            return ka < kb;
        if (a.page != b.page)
            return pageNameLess(a.page, b.page);
        return false;
    });
    return m_report;
}

} // namespace detail

CheckReport checkQuest(const QString &questFile, const CheckOptions &options)
{
    auto quest = std::make_shared<QuestSnapshot>();
    QString error;
    if (!quest->load(questFile, &error)) {
        CheckReport r;
        r.error = QStringLiteral("cannot read %1: %2").arg(questFile, error);
        return r;
    }
    return detail::Explorer(std::move(quest), options).run();
}

} // namespace fc::check
