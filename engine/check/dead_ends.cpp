// States from which no ending can be reached.
#include "engine/check/explorer.h"


#include "engine/rules.h"
#include "engine/score.h"

#include <QElapsedTimer>

#include <algorithm>
#include <cmath>
#include <limits>
#include <queue>
#include <system_error>
#include <thread>

namespace fc::check::detail {

// States from which no ending can be reached, reported where a player walks
// into them: at the state nearest the start of each page.
void Explorer::deadEnds(const std::vector<std::uint8_t> &ending, const std::vector<std::int32_t> &firstSoftLock)
{
    const auto n = std::int32_t(m_g.size());
    // Whether an ending can be reached, part by part, the parts that a part
    // leads to first: later layers, then Tarjan's order inside a layer.
    std::vector<std::uint8_t> good(ending);
    for (auto l = std::int32_t(m_layerStart.size()) - 2; l >= 0; --l) {
        for (std::int32_t c = m_layerParts[size_t(l)]; c < m_layerParts[size_t(l) + 1]; ++c) {
            const std::span<const std::int32_t> part(m_partMembers.data() + m_partStart[size_t(c)],
                                                     size_t(m_partStart[size_t(c) + 1] - m_partStart[size_t(c)]));
            bool any = false;
            for (std::int32_t u : part) {
                any = any || good[size_t(u)];
                for (std::int32_t e = m_g.edgeStart[size_t(u)]; e < m_g.edgeStart[size_t(u) + 1] && !any; ++e)
                    any = good[size_t(m_g.edgeTarget[size_t(e)])];
            }
            if (any)
                for (std::int32_t u : part)
                    good[size_t(u)] = 1;
        }
    }

    if (std::find(good.begin(), good.end(), 0) == good.end())
        return;
    std::vector<std::int32_t> entry(m_pages.size(), -1);
    auto consider = [&](std::int32_t s) {
        const int p = pageOf(s);
        if (good[size_t(s)] || firstSoftLock[size_t(p)] >= 0 || !earlier(s, entry[size_t(p)]))
            return;
        // A dead end through a broken destination is reported as such.
        const Page &page = m_pages[size_t(p)];
        bool broken = false;
        if (phaseOf(s) == BattleOpen)
            broken = (rules::leavesBattlePage(page.win) && page.winPage < 0)
                     || (rules::leavesBattlePage(page.lose) && page.losePage < 0) || (page.escape && page.escapeDest < 0);
        else
            for (const Choice &c : page.choices)
                broken = broken || (offered(c, maskOf(s)) && c.destPage < 0);
        if (!broken)
            entry[size_t(p)] = s;
    };
    if (n > 0)
        consider(m_start);
    for (std::int32_t s = 0; s < n; ++s)
        if (good[size_t(s)])
            for (std::int32_t e = m_g.edgeStart[size_t(s)]; e < m_g.edgeStart[size_t(s) + 1]; ++e)
                consider(m_g.edgeTarget[size_t(e)]);
    for (int p = 0; p < int(m_pages.size()); ++p)
        if (entry[size_t(p)] >= 0)
            add("soft-lock", p, QString(), QStringLiteral("no ending can be reached from here"), entry[size_t(p)]);
}

} // namespace fc::check::detail
