#pragma once
// Score ranges: the range of scores a player can hold in each state, and the
// choices whose scores the engine cannot always add.

#include "engine/check/findings.h"
#include "engine/check/quest_pages.h"
#include "engine/check/score_table.h"
#include "engine/check/state_graph.h"
#include "engine/check/strong_parts.h"

#include <cstdint>
#include <vector>

namespace fc::check::detail {

// Per state: the lowest and highest score, and the sides a loop makes
// unbounded (kept at the end of the range there).
struct ScoreRanges
{
    static constexpr std::uint8_t kLowOpen = 1, kHighOpen = 2;
    std::vector<std::int32_t> lo, hi;
    std::vector<std::uint8_t> unbounded;
};

// The ranges, carried forward part by part from the start; loops that change
// the score and sums the engine refuses are reported to out.
ScoreRanges findScoreRanges(const StateGraph &graph, const StrongParts &parts, const ScoreTable &scores,
                            const QuestPages &quest, FindingList &out);

} // namespace fc::check::detail
