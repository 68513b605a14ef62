// States from which no ending can be reached.
#include "engine/check/dead_ends.h"

#include "engine/rules.h"

#include <algorithm>
#include <span>

namespace fc::check::detail {

namespace {

// Whether an ending can be reached from each state, part by part, the parts
// that a part leads to first: later layers, then Tarjan's order inside a
// layer.
std::vector<std::uint8_t> reachesEnding(const StateGraph &graph, const StrongParts &parts,
                                        const std::vector<std::uint8_t> &ending)
{
    const Graph &g = graph.graph();
    std::vector<std::uint8_t> good(ending);
    for (auto l = std::int32_t(graph.layerStart().size()) - 2; l >= 0; --l) {
        for (std::int32_t c = parts.layerParts[size_t(l)]; c < parts.layerParts[size_t(l) + 1]; ++c) {
            const std::span<const std::int32_t> part = parts.part(c);
            bool any = false;
            for (std::int32_t u : part) {
                any = any || good[size_t(u)];
                for (std::int32_t e = g.edgeStart[size_t(u)]; e < g.edgeStart[size_t(u) + 1] && !any; ++e)
                    any = good[size_t(g.edgeTarget[size_t(e)])];
            }
            if (any)
                for (std::int32_t u : part)
                    good[size_t(u)] = 1;
        }
    }
    return good;
}

// Whether state s has a way on through a destination that names no page: a
// dead end through it is reported as a broken destination.
bool throughBrokenDestination(const StateGraph &graph, const Page &page, std::int32_t s)
{
    if (graph.phaseOf(s) == BattleOpen)
        return (rules::leavesBattlePage(page.win) && page.winPage < 0)
               || (rules::leavesBattlePage(page.lose) && page.losePage < 0) || (page.escape && page.escapeDest < 0);
    bool broken = false;
    for (const Choice &c : page.choices)
        broken = broken || (offered(c, graph.maskOf(s)) && c.destPage < 0);
    return broken;
}

} // namespace

void findDeadEnds(const StateGraph &graph, const StrongParts &parts, const QuestPages &quest, const FirstStates &first,
                  FindingList &out)
{
    const Graph &g = graph.graph();
    const std::int32_t n = graph.size();
    const std::vector<std::uint8_t> good = reachesEnding(graph, parts, first.ending);
    if (std::find(good.begin(), good.end(), 0) == good.end())
        return;
    std::vector<std::int32_t> entry(quest.size(), -1);
    auto consider = [&](std::int32_t s) {
        const int p = graph.pageOf(s);
        if (good[size_t(s)] || first.softLock[size_t(p)] >= 0 || !graph.earlier(s, entry[size_t(p)]))
            return;
        if (!throughBrokenDestination(graph, quest.pages[size_t(p)], s))
            entry[size_t(p)] = s;
    };
    if (n > 0)
        consider(graph.start());
    for (std::int32_t s = 0; s < n; ++s)
        if (good[size_t(s)])
            for (std::int32_t e = g.edgeStart[size_t(s)]; e < g.edgeStart[size_t(s) + 1]; ++e)
                consider(g.edgeTarget[size_t(e)]);
    for (int p = 0; p < int(quest.size()); ++p)
        if (entry[size_t(p)] >= 0)
            out.add("soft-lock", p, QString(), QStringLiteral("no ending can be reached from here"), entry[size_t(p)]);
}

} // namespace fc::check::detail
