#pragma once
// The quest checker's explorer, whose work is shared out by what it does:
// quest_pages.cpp reads the pages, static_checks.cpp checks them as
// written, state_graph.cpp explores and numbers the states, strong_parts.cpp
// finds their loops, score_ranges.cpp the scores, dead_ends.cpp the states
// no ending can be reached from, findings.cpp records what needs fixing and
// the trail that shows it, and checker.cpp runs the phases in turn.

#include "engine/check/checker.h"
#include "engine/check/quest_pages.h"
#include "engine/check/quest_snapshot.h"
#include "engine/check/state_graph.h"
#include "engine/check/step_trail.h"
#include "storage/quest_format.h"

#include <QHash>
#include <QString>
#include <QStringList>

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <system_error>
#include <thread>
#include <unordered_map>
#include <utility>
#include <vector>

namespace fc::check::detail {

inline QString quoted(const QString &s)
{
    return QLatin1Char('"') + s + QLatin1Char('"');
}

class Explorer
{
public:
    Explorer(std::shared_ptr<const QuestSnapshot> quest, const CheckOptions &options)
        : m_quest(*quest)
        , m_snapshot(std::move(quest))
        , m_options(options)
    {
    }

    CheckReport run();

private:
    void readPages();
    bool explore();
    std::int32_t layerFor(Mask mask);
    std::int32_t blockFor(std::int32_t layer, std::int32_t node);
    std::int32_t intern(std::int32_t node, std::int32_t layer, std::int32_t parent, std::int8_t slot);
    void makeNodes();
    template <typename LayerOf, typename Move> void forEachMove(std::int32_t s, LayerOf &&layerOf, Move &&move) const;
    std::int32_t findBlock(std::int32_t layer, std::int32_t node) const;
    template <typename Work> void shareLayers(Work &&work) const;
    void renumber();
    using BlockOrder = std::vector<std::pair<std::uint64_t, std::int32_t>>;
    std::vector<std::int32_t> layersByMask() const;
    BlockOrder renumberStates(const std::vector<std::int32_t> &byMask);
    void reindexLayers(const std::vector<std::int32_t> &byMask, const BlockOrder &blocks);
    void listMoves();
    template <typename C> static bool offered(const C &c, Mask mask)
    {
        if (c.itemBit < 0)
            return c.fixedOffer;
        return (mask >> c.itemBit) & 1 ? c.offeredHeld : c.offeredNotHeld;
    }
    int pageOf(std::int32_t s) const { return m_nodePage[size_t(m_g.node[size_t(s)])]; }
    Phase phaseOf(std::int32_t s) const { return m_nodePhase[size_t(m_g.node[size_t(s)])]; }
    Mask maskOf(std::int32_t s) const { return m_g.layerMask[size_t(m_g.layer[size_t(s)])]; }
    Mask realMask(std::int32_t s) const
    {
        const Mask m = maskOf(s);
        const PageMoves &p = m_moves[size_t(pageOf(s))];
        return phaseOf(s) == ClosedLoot && p.lootBit >= 0 ? m | (Mask(1) << p.lootBit) : m;
    }

    struct LayerParts
    {
        std::vector<std::int32_t> part, members, start;
        std::vector<std::int32_t> index, low, stack; // scratch
        std::vector<std::pair<std::int32_t, std::int32_t>> calls;
    };
    void layerParts(std::int32_t layer, LayerParts &out) const;
    void findParts();
    void partScores(std::int32_t layer, std::int32_t part, std::span<const std::int32_t> members,
                    const std::vector<std::int32_t> &localPart, std::vector<std::uint8_t> &placed,
                    std::vector<std::int32_t> &queue, std::uint8_t &loops, std::int32_t &loopFrom,
                    std::int8_t &loopSlot);
    void makeScoreTable();
    // What a move adds to the score where it can change it: 0 for a value
    // no score the engine keeps can take (rawScoreOf: as written).
    double rawScoreOf(std::int32_t from, std::int8_t slot) const
    {
        return slot < 0 || slot >= quest::kOptionCount
                   ? 0.0
                   : m_scoreRaw[m_scoreOf[size_t(pageOf(from)) * quest::kOptionCount + size_t(slot)]];
    }
    double scoreOf(std::int32_t from, std::int8_t slot) const
    {
        return slot < 0 || slot >= quest::kOptionCount
                   ? 0.0
                   : m_scoreValues[m_scoreOf[size_t(pageOf(from)) * quest::kOptionCount + size_t(slot)]];
    }
    // Whether state s was found before state than (or than is none).
    bool earlier(std::int32_t s, std::int32_t than) const
    {
        return than < 0 || m_rank[size_t(s)] < m_rank[size_t(than)];
    }
    void analyse();
    void firstStates(std::vector<std::uint8_t> &ending, std::vector<std::int32_t> &firstSoftLock);
    void reachFindings(const std::vector<std::int32_t> &firstSoftLock);
    void keyItemFindings();
    void collectEndings(const std::vector<std::uint8_t> &ending);
    void scoreRanges();
    struct SideScratch
    {
        std::vector<std::int32_t> local, start, target, count, queue, entered;
        std::vector<double> weight, offset, best;
        std::vector<std::uint8_t> queued;
    };
    bool partSide(std::span<const std::int32_t> part, int side, SideScratch &scratch);
    void settlePart(std::int32_t part, SideScratch &scratch, std::vector<std::int32_t> &loopAt,
                    std::vector<std::int32_t> &refused);
    void reportScoreLoops(const std::vector<std::int32_t> &loopAt);
    void reportRefusedSums(const std::vector<std::int32_t> &refused);
    void deadEnds(const std::vector<std::uint8_t> &ending, const std::vector<std::int32_t> &firstSoftLock);
    void makeTrail();
    void add(const char *kind, int page, const QString &key, const QString &message, std::int32_t state = -1);
    void addStatic(int page, const QString &key, const QString &message, const char *kind)
    {
        add(kind, page, key, message, firstState(page));
    }
    std::int32_t firstState(int page) const { return page >= 0 ? m_firstState[size_t(page)] : -1; }

    void staticChecks();
    void checkDestinations(int page);
    void checkBattleSettings(int page);
    void checkPageValues(int page);
    void checkStoryInfo();
    void checkMedia(int page, const QString &key, const QString &value);
    void checkSavedGameText(int page, const QString &key, const QString &text, const QString &what);
    void checkLength(int page, const QString &key, const QString &value, int limit);

    const QuestSnapshot &m_quest;
    std::shared_ptr<const QuestSnapshot> m_snapshot;
    CheckOptions m_options;
    std::vector<Page> m_pages;
    std::vector<PageMoves> m_moves;
    QHash<QString, int> m_itemBits;
    QStringList m_bitItems;
    Graph m_g;
    // Nodes: first one per page, in the phase a player arrives in; then, for
    // each battle page whose fight can close without leaving it, Closed and
    // ClosedLoot.
    std::vector<std::int32_t> m_nodePage;
    std::vector<Phase> m_nodePhase;
    std::vector<std::int32_t> m_closedNode;
    // After renumber(): the order each state was found in (earlier is
    // closer to the start), where each layer's states begin, the start.
    std::vector<std::int32_t> m_rank, m_layerStart;
    // The strongly connected parts, layer after layer, each layer's in the
    // order Tarjan's algorithm completes them (a part after the parts it
    // leads to): part c is m_partMembers[m_partStart[c] .. m_partStart[c + 1]),
    // layer l's parts are m_layerParts[l] .. m_layerParts[l + 1] - 1.
    std::vector<std::int32_t> m_partMembers, m_partStart, m_layerParts;
    std::vector<std::int32_t> m_partOf; // each state's part
    // Per state, its score less its part's base score; per part, whether a
    // loop in it changes the score, and the choice that names the loop.
    std::vector<double> m_potential;
    std::vector<std::uint8_t> m_partLoops;
    std::vector<std::int32_t> m_partLoopFrom;
    std::vector<std::int8_t> m_partLoopSlot;
    // What each move adds to the score: a choice's score when it is a
    // number. Quests use few different scores, so each choice keeps the
    // number of its score in a short list: the table stays in the cache.
    std::vector<double> m_scoreValues, m_scoreRaw;
    std::vector<std::uint32_t> m_scoreOf;
    std::int32_t m_start = 0; // the state at the start of the game
    CheckReport m_report;
    qint64 m_stepsTime = 0, m_partsTime = 0, m_scoresTime = 0, m_deadEndsTime = 0;
    // Each finding's state, by its place in m_report.findings; the steps
    // are spelt out from m_trail when asked for.
    std::vector<std::int32_t> m_findingState;
    std::shared_ptr<StepTrail> m_trail = std::make_shared<StepTrail>();

    // Per page: first state reached (any phase), first with the fight over or
    // no fight, first with the fight open; per choice: first state offering it.
    std::vector<std::int32_t> m_firstState, m_firstSettled, m_firstOpen;
    std::vector<std::array<std::int32_t, 4>> m_firstOffered;
    // Score range per state, and its sides a loop makes unbounded.
    static constexpr std::uint8_t kLowOpen = 1, kHighOpen = 2;
    std::vector<std::int32_t> m_lo, m_hi;
    std::vector<std::uint8_t> m_unbounded;
};

// Runs work(from, to) over every layer, in two halves on two threads when
// the graph is big enough to gain from it.
template <typename Work> void Explorer::shareLayers(Work &&work) const
{
    const auto layers = std::int32_t(m_layerStart.size()) - 1;
    const std::int32_t n = m_layerStart.back();
    std::int32_t split = 0;
    while (split < layers && m_layerStart[size_t(split) + 1] < n / 2)
        ++split;
    if (n >= 200'000 && split > 0 && split < layers && std::thread::hardware_concurrency() > 1) {
        std::thread high;
        try {
            high = std::thread([&] { work(split, layers); });
        } catch (const std::system_error &) {
            work(0, layers); // no thread to be had: all on this one
            return;
        }
        work(0, split);
        high.join();
    } else {
        work(0, layers);
    }
}

} // namespace fc::check::detail
