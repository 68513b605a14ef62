#pragma once
// The strongly connected parts of the state graph, layer by layer, each with
// the offsets of its states' scores and whether a loop in it changes the
// score.

#include "engine/check/score_table.h"
#include "engine/check/state_graph.h"

#include <cstdint>
#include <span>
#include <vector>

namespace fc::check::detail {

// Layer after layer, each layer's parts in the order Tarjan's algorithm
// completes them (a part after the parts it leads to).
struct StrongParts
{
    // Part c is members[start[c] .. start[c + 1]); layer l's parts are
    // layerParts[l] .. layerParts[l + 1] - 1; partOf is each state's part.
    std::vector<std::int32_t> members, start, layerParts, partOf;
    // Per state, its score less its part's base score; per part, whether a
    // loop in it changes the score, and the choice that names the loop.
    std::vector<double> potential;
    std::vector<std::uint8_t> loops;
    std::vector<std::int32_t> loopFrom;
    std::vector<std::int8_t> loopSlot;

    std::span<const std::int32_t> part(std::int32_t c) const
    {
        return {members.data() + start[size_t(c)], size_t(start[size_t(c) + 1] - start[size_t(c)])};
    }
};

// Layers are independent here, so a big graph is shared out between two
// threads.
StrongParts findStrongParts(const StateGraph &graph, const ScoreTable &scores);

} // namespace fc::check::detail
