// The strongly connected parts of the state graph, layer by layer.
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

// The strongly connected parts of layer l's states, in the order Tarjan's
// algorithm completes them: a part comes after every part it leads to. A
// move never leads back to an earlier layer, so no part spans two layers.
// part[s - first] is each state's part; members lists the states part by
// part, part c being members[start[c]] .. members[start[c + 1] - 1].
void Explorer::layerParts(std::int32_t l, LayerParts &out) const
{
    const std::int32_t first = m_layerStart[size_t(l)], end = m_layerStart[size_t(l) + 1];
    const auto size = size_t(end - first);
    out.part.assign(size, -1);
    out.members.clear();
    out.start.assign(1, 0);
    std::vector<std::int32_t> &index = out.index, &low = out.low, &stack = out.stack;
    index.assign(size, -1);
    low.assign(size, 0);
    stack.clear();
    std::vector<std::pair<std::int32_t, std::int32_t>> &calls = out.calls; // state, next move
    calls.clear();
    std::int32_t counter = 0;
    auto enter = [&](std::int32_t v) {
        index[size_t(v - first)] = low[size_t(v - first)] = counter++;
        stack.push_back(v);
        calls.push_back({v, m_g.edgeStart[size_t(v)]});
    };
    for (std::int32_t root = first; root < end; ++root) {
        if (index[size_t(root - first)] >= 0)
            continue;
        enter(root);
        while (!calls.empty()) {
            auto &[v, e] = calls.back();
            if (e < m_g.edgeStart[size_t(v) + 1]) {
                const std::int32_t w = m_g.edgeTarget[size_t(e++)];
                if (w < first || w >= end)
                    continue; // another layer
                if (index[size_t(w - first)] < 0)
                    enter(w);
                else if (out.part[size_t(w - first)] < 0) // still on the stack
                    low[size_t(v - first)] = std::min(low[size_t(v - first)], index[size_t(w - first)]);
                continue;
            }
            const std::int32_t done = v;
            calls.pop_back();
            if (!calls.empty()) {
                const std::int32_t up = calls.back().first;
                low[size_t(up - first)] = std::min(low[size_t(up - first)], low[size_t(done - first)]);
            }
            if (low[size_t(done - first)] == index[size_t(done - first)]) {
                const auto id = std::int32_t(out.start.size() - 1);
                std::int32_t w;
                do {
                    w = stack.back();
                    stack.pop_back();
                    out.part[size_t(w - first)] = id;
                    out.members.push_back(w);
                } while (w != done);
                out.start.push_back(std::int32_t(out.members.size()));
            }
        }
    }
}

// Every layer's parts, each with its score offsets and loops (partScores).
// Layers are independent here, so a big graph is shared out between two
// threads.
void Explorer::findParts()
{
    const auto n = std::int32_t(m_g.size());
    const auto layers = std::int32_t(m_layerStart.size()) - 1;
    m_partMembers.assign(size_t(n), 0);
    m_partOf.assign(size_t(n), 0);
    m_potential.assign(size_t(n), 0.0);
    // Per layer, where each part after the first begins (from the layer's
    // first state), and how many parts it has.
    std::vector<std::int32_t> partCount(size_t(std::max(layers, 0)), 0);
    // What each half of the layers finds: where its parts start, and their
    // loops.
    struct Found
    {
        std::vector<std::int32_t> starts, loopFrom;
        std::vector<std::uint8_t> loops;
        std::vector<std::int8_t> loopSlot;
    };
    auto work = [&](std::int32_t from, std::int32_t to, Found &found) {
        LayerParts parts;
        std::vector<std::uint8_t> placed;
        std::vector<std::int32_t> queue;
        for (std::int32_t l = from; l < to; ++l) {
            layerParts(l, parts);
            const std::int32_t first = m_layerStart[size_t(l)];
            std::copy(parts.members.begin(), parts.members.end(), m_partMembers.begin() + first);
            std::copy(parts.part.begin(), parts.part.end(), m_partOf.begin() + first);
            placed.assign(parts.part.size(), 0);
            for (size_t c = 0; c + 1 < parts.start.size(); ++c) {
                if (c > 0)
                    found.starts.push_back(first + parts.start[c]);
                std::uint8_t loops = 0;
                std::int32_t loopFrom = -1;
                std::int8_t loopSlot = NoSlot;
                partScores(l, std::int32_t(c),
                           std::span<const std::int32_t>(parts.members.data() + parts.start[c],
                                                         size_t(parts.start[c + 1] - parts.start[c])),
                           parts.part, placed, queue, loops, loopFrom, loopSlot);
                found.loops.push_back(loops);
                found.loopFrom.push_back(loopFrom);
                found.loopSlot.push_back(loopSlot);
            }
            if (parts.start.size() > 1)
                found.starts.push_back(first + parts.start.back());
            partCount[size_t(l)] = std::int32_t(parts.start.size() - 1);
        }
    };
    Found low, high;
    shareLayers([&](std::int32_t from, std::int32_t to) { work(from, to, from == 0 ? low : high); });
    m_partStart.assign(1, 0);
    m_partLoops.clear();
    m_partLoopFrom.clear();
    m_partLoopSlot.clear();
    for (Found *f : {&low, &high}) {
        m_partStart.insert(m_partStart.end(), f->starts.begin(), f->starts.end());
        m_partLoops.insert(m_partLoops.end(), f->loops.begin(), f->loops.end());
        m_partLoopFrom.insert(m_partLoopFrom.end(), f->loopFrom.begin(), f->loopFrom.end());
        m_partLoopSlot.insert(m_partLoopSlot.end(), f->loopSlot.begin(), f->loopSlot.end());
    }
    m_layerParts.assign(size_t(layers) + 1, 0);
    for (std::int32_t l = 0; l < layers; ++l) {
        m_layerParts[size_t(l) + 1] = m_layerParts[size_t(l)] + partCount[size_t(l)];
        for (std::int32_t s = m_layerStart[size_t(l)]; s < m_layerStart[size_t(l) + 1]; ++s)
            m_partOf[size_t(s)] += m_layerParts[size_t(l)];
    }
}

} // namespace fc::check::detail
