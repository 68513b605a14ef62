// The strongly connected parts of the state graph, layer by layer.
#include "engine/check/strong_parts.h"

#include <algorithm>
#include <cmath>
#include <utility>

namespace fc::check::detail {

namespace {

// One layer's parts, as layerParts() finds them, and its scratch.
struct LayerParts
{
    std::vector<std::int32_t> part, members, start;
    std::vector<std::int32_t> index, low, stack; // scratch
    std::vector<std::pair<std::int32_t, std::int32_t>> calls;
};

// The strongly connected parts of layer l's states, in the order Tarjan's
// algorithm completes them: a part comes after every part it leads to. A
// move never leads back to an earlier layer, so no part spans two layers.
// part[s - first] is each state's part; members lists the states part by
// part, part c being members[start[c]] .. members[start[c + 1] - 1].
void layerParts(const StateGraph &graph, std::int32_t l, LayerParts &out)
{
    const Graph &g = graph.graph();
    const std::int32_t first = graph.layerStart()[size_t(l)], end = graph.layerStart()[size_t(l) + 1];
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
        calls.push_back({v, g.edgeStart[size_t(v)]});
    };
    for (std::int32_t root = first; root < end; ++root) {
        if (index[size_t(root - first)] >= 0)
            continue;
        enter(root);
        while (!calls.empty()) {
            auto &[v, e] = calls.back();
            if (e < g.edgeStart[size_t(v) + 1]) {
                const std::int32_t w = g.edgeTarget[size_t(e++)];
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

// Whether a loop in a part changes the score, and the choice that names it.
struct PartLoop
{
    std::uint8_t loops = 0;
    std::int32_t from = -1;
    std::int8_t slot = NoSlot;
};

// Scores inside one part of layer l (part is its number among the layer's
// parts, localPart each of the layer's states' part): each member's offset
// from the part's first member, found breadth first, into potential. A move
// that disagrees with the offsets closes a loop that changes the score. Such
// a loop is named by one of the part's score-changing choices: the first in
// the quest, so that the same loop held with other items names the same
// choice, at its state nearest the start.
PartLoop partScores(const StateGraph &graph, const ScoreTable &scores, std::int32_t l, std::int32_t part,
                    std::span<const std::int32_t> members, const std::vector<std::int32_t> &localPart,
                    std::vector<std::uint8_t> &placed, std::vector<std::int32_t> &queue, std::vector<double> &potential)
{
    const Graph &g = graph.graph();
    const std::int32_t first = graph.layerStart()[size_t(l)], end = graph.layerStart()[size_t(l) + 1];
    PartLoop loop;
    auto inPart = [&](std::int32_t v) { return v >= first && v < end && localPart[size_t(v - first)] == part; };
    auto before = [&](std::int32_t u, std::int8_t slot) {
        if (loop.from < 0)
            return true;
        if (graph.pageOf(u) != graph.pageOf(loop.from))
            return graph.pageOf(u) < graph.pageOf(loop.from);
        return slot != loop.slot ? slot < loop.slot : graph.rank(u) < graph.rank(loop.from);
    };
    queue.assign(1, members.front());
    placed[size_t(members.front() - first)] = 1;
    potential[size_t(members.front())] = 0;
    for (size_t q = 0; q < queue.size(); ++q) {
        const std::int32_t u = queue[q];
        for (std::int32_t e = g.edgeStart[size_t(u)]; e < g.edgeStart[size_t(u) + 1]; ++e) {
            const std::int32_t v = g.edgeTarget[size_t(e)];
            if (!inPart(v))
                continue;
            const std::int8_t slot = g.edgeSlot[size_t(e)];
            const double d = scores.scoreOf(graph.pageOf(u), slot);
            const double want = potential[size_t(u)] + d;
            if (!placed[size_t(v - first)]) {
                placed[size_t(v - first)] = 1;
                potential[size_t(v)] = want;
                queue.push_back(v);
            } else if (std::abs(potential[size_t(v)] - want) > 1e-9) {
                loop.loops = 1;
            }
            if (d != 0 && before(u, slot)) {
                loop.from = u;
                loop.slot = slot;
            }
        }
    }
    return loop;
}

// What one run over some layers finds: where its parts start, and their
// loops.
struct Found
{
    std::vector<std::int32_t> starts, loopFrom;
    std::vector<std::uint8_t> loops;
    std::vector<std::int8_t> loopSlot;
};

// The parts of layers from .. to - 1 into out (members, partOf with layer-local
// part numbers, potential) and found; partCount per layer.
void findLayerParts(const StateGraph &graph, const ScoreTable &scores, std::int32_t from, std::int32_t to,
                    StrongParts &out, std::vector<std::int32_t> &partCount, Found &found)
{
    LayerParts parts;
    std::vector<std::uint8_t> placed;
    std::vector<std::int32_t> queue;
    for (std::int32_t l = from; l < to; ++l) {
        layerParts(graph, l, parts);
        const std::int32_t first = graph.layerStart()[size_t(l)];
        std::copy(parts.members.begin(), parts.members.end(), out.members.begin() + first);
        std::copy(parts.part.begin(), parts.part.end(), out.partOf.begin() + first);
        placed.assign(parts.part.size(), 0);
        for (size_t c = 0; c + 1 < parts.start.size(); ++c) {
            if (c > 0)
                found.starts.push_back(first + parts.start[c]);
            const PartLoop loop = partScores(graph, scores, l, std::int32_t(c),
                                             std::span<const std::int32_t>(parts.members.data() + parts.start[c],
                                                                           size_t(parts.start[c + 1] - parts.start[c])),
                                             parts.part, placed, queue, out.potential);
            found.loops.push_back(loop.loops);
            found.loopFrom.push_back(loop.from);
            found.loopSlot.push_back(loop.slot);
        }
        if (parts.start.size() > 1)
            found.starts.push_back(first + parts.start.back());
        partCount[size_t(l)] = std::int32_t(parts.start.size() - 1);
    }
}

} // namespace

StrongParts findStrongParts(const StateGraph &graph, const ScoreTable &scores)
{
    const std::int32_t n = graph.size();
    const auto layers = std::int32_t(graph.layerStart().size()) - 1;
    StrongParts out;
    out.members.assign(size_t(n), 0);
    out.partOf.assign(size_t(n), 0);
    out.potential.assign(size_t(n), 0.0);
    // Per layer, how many parts it has.
    std::vector<std::int32_t> partCount(size_t(std::max(layers, 0)), 0);
    Found low, high;
    graph.shareLayers([&](std::int32_t from, std::int32_t to) {
        findLayerParts(graph, scores, from, to, out, partCount, from == 0 ? low : high);
    });
    out.start.assign(1, 0);
    for (const Found *f : {&low, &high}) {
        out.start.insert(out.start.end(), f->starts.begin(), f->starts.end());
        out.loops.insert(out.loops.end(), f->loops.begin(), f->loops.end());
        out.loopFrom.insert(out.loopFrom.end(), f->loopFrom.begin(), f->loopFrom.end());
        out.loopSlot.insert(out.loopSlot.end(), f->loopSlot.begin(), f->loopSlot.end());
    }
    out.layerParts.assign(size_t(layers) + 1, 0);
    for (std::int32_t l = 0; l < layers; ++l) {
        out.layerParts[size_t(l) + 1] = out.layerParts[size_t(l)] + partCount[size_t(l)];
        for (std::int32_t s = graph.layerStart()[size_t(l)]; s < graph.layerStart()[size_t(l) + 1]; ++s)
            out.partOf[size_t(s)] += out.layerParts[size_t(l)];
    }
    return out;
}

} // namespace fc::check::detail
