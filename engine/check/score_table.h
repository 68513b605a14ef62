#pragma once
// What each choice adds to the score, looked up while the checker walks the
// state graph.

#include "engine/check/quest_pages.h"

#include <cstdint>
#include <vector>

namespace fc::check::detail {

// A choice's score when it is a number. Quests use few different scores, so
// each choice keeps the number of its score in a short list: the table stays
// in the cache.
class ScoreTable
{
public:
    explicit ScoreTable(const std::vector<Page> &pages);

    // What a move by slot from page adds to the score where it can change
    // it: 0 for a value no score the engine keeps can take.
    double scoreOf(int page, std::int8_t slot) const { return at(m_values, page, slot); }
    // ... and as written.
    double rawScoreOf(int page, std::int8_t slot) const { return at(m_raw, page, slot); }

private:
    double at(const std::vector<double> &values, int page, std::int8_t slot) const
    {
        return slot < 0 || slot >= quest::kOptionCount
                   ? 0.0
                   : values[m_scoreOf[size_t(page) * quest::kOptionCount + size_t(slot)]];
    }

    std::vector<double> m_values, m_raw;
    std::vector<std::uint32_t> m_scoreOf;
};

} // namespace fc::check::detail
