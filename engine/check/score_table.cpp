#include "engine/check/score_table.h"

#include "engine/score.h"

#include <QHash>

namespace fc::check::detail {

namespace {

// Whether adding a to some score the engine keeps gives another score: a
// value too big for the range, or too small to survive the rounding, never
// does. Scores at the ends of the range, of either parity, settle it.
bool changesScore(double a)
{
    for (const int s : {kMinScore, kMinScore + 1, kMaxScore - 1, kMaxScore})
        if (addToScore(s, a) != s)
            return true;
    return false;
}

} // namespace

ScoreTable::ScoreTable(const std::vector<Page> &pages)
{
    m_values.assign(1, 0.0);
    m_raw.assign(1, 0.0);
    m_scoreOf.assign(pages.size() * quest::kOptionCount, 0);
    QHash<double, std::uint32_t> known{{0.0, 0}};
    for (size_t p = 0; p < pages.size(); ++p)
        for (size_t i = 0; i < size_t(quest::kOptionCount); ++i) {
            const double v = pages[p].choices[i].scoreAdd.value_or(0.0);
            auto it = known.constFind(v);
            if (it == known.cend()) {
                it = known.insert(v, std::uint32_t(m_values.size()));
                m_values.push_back(changesScore(v) ? v : 0.0);
                m_raw.push_back(v);
            }
            m_scoreOf[p * quest::kOptionCount + i] = it.value();
        }
}

} // namespace fc::check::detail
