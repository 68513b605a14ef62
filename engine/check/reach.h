#pragma once
// What players reach: per page the first states that reach it, the pages
// and choices no player reaches, the key items given or asked for in vain,
// and the endings.

#include "engine/check/checker.h"
#include "engine/check/findings.h"
#include "engine/check/quest_pages.h"
#include "engine/check/score_ranges.h"
#include "engine/check/state_graph.h"

#include <QList>

#include <array>
#include <cstdint>
#include <vector>

namespace fc::check::detail {

// Each the state nearest the start, -1 for none.
struct FirstStates
{
    // Per page: first state reached (any phase), first with the fight over
    // or no fight, first with the fight open, first offering none of its
    // choices; per choice: first state offering it.
    std::vector<std::int32_t> state, settled, open, softLock;
    std::vector<std::array<std::int32_t, 4>> offered;
    // Per state: whether its page ends the game.
    std::vector<std::uint8_t> ending;

    std::int32_t of(int page) const { return page >= 0 ? state[size_t(page)] : -1; }
};

FirstStates findFirstStates(const StateGraph &graph, const QuestPages &quest);

// Pages no player reaches, pages that offer no choice, choices never offered.
void reachFindings(const FirstStates &first, const StateGraph &graph, const QuestPages &quest, FindingList &out);

// Key items given but never required, or required but never given.
void keyItemFindings(const FirstStates &first, const QuestPages &quest, FindingList &out);

// The ending pages, each with the range of scores a player ends on it with.
QList<Ending> collectEndings(const FirstStates &first, const StateGraph &graph, const QuestPages &quest,
                             const ScoreRanges &scores);

} // namespace fc::check::detail
