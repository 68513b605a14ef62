// Exploring the states a player can reach, and what follows from their
// graph alone: its strongly connected parts, the score ranges and the states
// from which no ending can be reached.
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

// ---------------------------------------------------------------------------
// Exploring

std::int32_t Explorer::layerFor(Mask mask)
{
    const auto [it, added] = m_g.layerOf.try_emplace(mask, std::int32_t(m_g.layerMask.size()));
    if (added)
        m_g.layerMask.push_back(mask);
    return it->second;
}

std::int32_t Explorer::blockFor(std::int32_t layer, std::int32_t node)
{
    const std::uint64_t key = (std::uint64_t(std::uint32_t(layer)) << 32) | std::uint32_t(node / Graph::kBlock);
    const size_t recent = Graph::recentAt(key);
    if (m_g.recentKey[recent] == key)
        return m_g.recentBlock[recent];
    auto find = [&](std::uint64_t k) {
        const size_t bits = m_g.blockKey.size() - 1;
        size_t at = mix(k) & bits;
        while (m_g.blockKey[at] != Graph::kEmpty && m_g.blockKey[at] != k)
            at = (at + 1) & bits;
        return at;
    };
    const auto count = std::int32_t(m_g.blocks.size() / Graph::kBlock);
    if (size_t(count) * 2 >= m_g.blockKey.size()) {
        std::vector<std::uint64_t> oldKey = std::move(m_g.blockKey);
        std::vector<std::int32_t> oldAt = std::move(m_g.blockAt);
        m_g.blockKey.assign(oldKey.empty() ? 1024 : oldKey.size() * 2, Graph::kEmpty);
        m_g.blockAt.assign(m_g.blockKey.size(), -1);
        for (size_t i = 0; i < oldKey.size(); ++i)
            if (oldKey[i] != Graph::kEmpty) {
                const size_t at = find(oldKey[i]);
                m_g.blockKey[at] = oldKey[i];
                m_g.blockAt[at] = oldAt[i];
            }
    }
    const size_t at = find(key);
    if (m_g.blockKey[at] == Graph::kEmpty) {
        m_g.blockKey[at] = key;
        m_g.blockAt[at] = count;
        m_g.blocks.resize(m_g.blocks.size() + Graph::kBlock, -1);
    }
    m_g.recentKey[recent] = key;
    return m_g.recentBlock[recent] = m_g.blockAt[at];
}

// The block of a state already found.
std::int32_t Explorer::findBlock(std::int32_t layer, std::int32_t node) const
{
    const std::uint64_t key = (std::uint64_t(std::uint32_t(layer)) << 32) | std::uint32_t(node / Graph::kBlock);
    const size_t bits = m_g.blockKey.size() - 1;
    size_t at = mix(key) & bits;
    while (m_g.blockKey[at] != key)
        at = (at + 1) & bits;
    return m_g.blockAt[at];
}

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

std::int32_t Explorer::intern(std::int32_t node, std::int32_t layer, std::int32_t parent, std::int8_t slot)
{
    std::int32_t &state = m_g.blocks[size_t(blockFor(layer, node)) * Graph::kBlock + size_t(node % Graph::kBlock)];
    if (state >= 0)
        return state;
    state = std::int32_t(m_g.node.size());
    m_g.node.push_back(node);
    m_g.layer.push_back(layer);
    m_g.parent.push_back(parent);
    m_g.parentSlot.push_back(slot);
    return state;
}

void Explorer::makeNodes()
{
    const auto pages = std::int32_t(m_pages.size());
    m_nodePage.clear();
    m_nodePhase.clear();
    m_closedNode.assign(size_t(pages), -1);
    for (std::int32_t p = 0; p < pages; ++p) {
        m_nodePage.push_back(p);
        m_nodePhase.push_back(m_pages[size_t(p)].battle ? BattleOpen : Presented);
    }
    for (std::int32_t p = 0; p < pages; ++p) {
        const Page &page = m_pages[size_t(p)];
        if (!page.battle || (rules::leavesBattlePage(page.win) && rules::leavesBattlePage(page.lose)))
            continue;
        m_closedNode[size_t(p)] = std::int32_t(m_nodePage.size());
        m_nodePage.insert(m_nodePage.end(), {p, p});
        m_nodePhase.insert(m_nodePhase.end(), {Closed, ClosedLoot});
    }
}

// Every move from state s, in the order the steps number them:
// move(slot, node, layer). A broken destination makes no move.
template <typename LayerOf, typename Move> void Explorer::forEachMove(std::int32_t s, LayerOf &&layerOf, Move &&move) const
{
    const int pageIndex = pageOf(s);
    const PageMoves &p = m_moves[size_t(pageIndex)];
    const Phase phase = phaseOf(s);
    const std::int32_t layer = m_g.layer[size_t(s)];
    const Mask mask = maskOf(s);
    auto layerOfMask = [&](Mask m) { return m == mask ? layer : layerOf(m); };
    auto arrive = [&](std::int8_t slot, int page, std::int32_t to) {
        if (page >= 0)
            move(slot, std::int32_t(page), to);
    };
    if (phase == BattleOpen) {
        // Won: the monster's item joins the inventory.
        const Mask won = p.lootBit >= 0 ? mask | (Mask(1) << p.lootBit) : mask;
        const std::int32_t closed = m_closedNode[size_t(pageIndex)];
        if (p.leavesOnWin)
            arrive(Win, p.winPage, layerOfMask(won));
        else
            move(Win, closed + (won != mask ? 1 : 0), layer);
        if (p.leavesOnLose)
            arrive(Lose, p.losePage, layer);
        else
            move(Lose, closed, layer);
        if (p.escape)
            arrive(Escape, p.escapeDest, layer);
        return;
    }
    const Mask held = realMask(s);
    for (int i = 0; i < quest::kOptionCount; ++i) {
        const PageMoves::Offer &c = p.choices[size_t(i)];
        if (offered(c, mask))
            arrive(std::int8_t(i), c.dest, layerOfMask(c.giveBit >= 0 ? held | (Mask(1) << c.giveBit) : held));
    }
    // Pressing Choose with nothing selected presents the battle page
    // again, with what is held now, and its fight opens again.
    if (phase != Presented && p.hasChoices)
        move(Turn, pageIndex, layerOfMask(held));
}

// Breadth first from the start, so that each state's parent lies on a
// shortest way there.
bool Explorer::explore()
{
    makeNodes();
    m_g.forgetRecent();
    const int first = m_quest.pageIndex(quest::kFirstPage);
    if (first < 0)
        return true;
    intern(first, layerFor(0), -1, NoSlot);
    for (std::int32_t s = 0; s < std::int32_t(m_g.node.size()); ++s) {
        if (qint64(m_g.node.size()) > m_options.maxStates) {
            m_report.error = QStringLiteral("more than %1 states: the quest is too big to check").arg(m_options.maxStates);
            return false;
        }
        if (qint64(m_g.blocks.size()) > m_options.maxIndexEntries) {
            m_report.error = QStringLiteral("the states are spread too thinly over the pages and key items: the quest "
                                            "is too big to check");
            return false;
        }
        forEachMove(
            s, [this](Mask m) { return layerFor(m); },
            [&](std::int8_t slot, std::int32_t node, std::int32_t layer) { intern(node, layer, s, slot); });
    }
    return true;
}

// Numbers the states again, layer after layer in the order of their masks and
// by node inside a layer, so that a layer's states are neighbours in memory
// and every move leads to the same layer or a later one; then lists each
// state's moves. m_rank keeps the order in which the states were found.
void Explorer::renumber()
{
    const auto n = std::int32_t(m_g.size());
    const auto layers = std::int32_t(m_g.layerMask.size());
    m_g.edgeStart.assign(size_t(n) + 1, 0);
    if (n == 0) {
        m_layerStart.assign(1, 0);
        return;
    }
    std::vector<std::int32_t> byMask(static_cast<size_t>(layers));
    for (std::int32_t l = 0; l < layers; ++l)
        byMask[size_t(l)] = l;
    std::sort(byMask.begin(), byMask.end(),
              [&](std::int32_t a, std::int32_t b) { return m_g.layerMask[size_t(a)] < m_g.layerMask[size_t(b)]; });
    std::vector<std::int32_t> layerRank(static_cast<size_t>(layers));
    for (std::int32_t r = 0; r < layers; ++r)
        layerRank[size_t(byMask[size_t(r)])] = r;

    // The blocks, by (layer rank, node).
    std::vector<std::pair<std::uint64_t, std::int32_t>> blocks;
    blocks.reserve(m_g.blocks.size() / Graph::kBlock);
    for (size_t i = 0; i < m_g.blockKey.size(); ++i)
        if (m_g.blockKey[i] != Graph::kEmpty) {
            const std::uint64_t key = m_g.blockKey[i];
            blocks.push_back({(std::uint64_t(layerRank[size_t(key >> 32)]) << 32) | (key & 0xffffffffULL), m_g.blockAt[i]});
        }
    std::sort(blocks.begin(), blocks.end());

    // Walking the blocks in that order numbers the states anew.
    std::vector<std::int32_t> newId(static_cast<size_t>(n)), node(static_cast<size_t>(n)),
        layer(static_cast<size_t>(n));
    m_rank.assign(size_t(n), 0);
    m_layerStart.assign(size_t(layers) + 1, 0);
    std::int32_t next = 0;
    for (const auto &[key, block] : blocks) {
        for (std::int32_t i = 0; i < Graph::kBlock; ++i) {
            std::int32_t &state = m_g.blocks[size_t(block) * Graph::kBlock + size_t(i)];
            if (state < 0)
                continue;
            newId[size_t(state)] = next;
            m_rank[size_t(next)] = state;
            node[size_t(next)] = std::int32_t(key & 0xffffffffULL) * Graph::kBlock + i;
            layer[size_t(next)] = std::int32_t(key >> 32);
            state = next++;
        }
        m_layerStart[size_t(key >> 32) + 1] = next;
    }
    for (std::int32_t l = 0; l < layers; ++l)
        m_layerStart[size_t(l) + 1] = std::max(m_layerStart[size_t(l) + 1], m_layerStart[size_t(l)]);
    m_g.node.swap(node);
    m_g.layer.swap(layer);
    node = {};
    layer = {};
    {
        std::vector<std::int32_t> parent(static_cast<size_t>(n));
        std::vector<std::int8_t> slot(static_cast<size_t>(n));
        for (std::int32_t s = 0; s < n; ++s) {
            const std::int32_t p = m_g.parent[size_t(s)];
            parent[size_t(newId[size_t(s)])] = p < 0 ? p : newId[size_t(p)];
            slot[size_t(newId[size_t(s)])] = m_g.parentSlot[size_t(s)];
        }
        m_g.parent.swap(parent);
        m_g.parentSlot.swap(slot);
    }
    m_start = newId[0];
    newId = {};

    // Layers and the block index under the new layer numbers.
    std::vector<Mask> masks(static_cast<size_t>(layers));
    m_g.layerOf.clear();
    for (std::int32_t r = 0; r < layers; ++r) {
        masks[size_t(r)] = m_g.layerMask[size_t(byMask[size_t(r)])];
        m_g.layerOf.emplace(masks[size_t(r)], r);
    }
    m_g.layerMask.swap(masks);
    std::fill(m_g.blockKey.begin(), m_g.blockKey.end(), Graph::kEmpty);
    m_g.forgetRecent();
    const size_t bits = m_g.blockKey.size() - 1;
    for (const auto &[key, block] : blocks) {
        size_t at = mix(key) & bits;
        while (m_g.blockKey[at] != Graph::kEmpty)
            at = (at + 1) & bits;
        m_g.blockKey[at] = key;
        m_g.blockAt[at] = block;
    }

    // The moves, counted first, then listed. Inside a layer, a table by
    // node finds the state a move leads to; the block index only serves
    // moves that gain an item.
    auto layerOf = [this](Mask m) { return m_g.layerOf.find(m)->second; };
    shareLayers([&](std::int32_t from, std::int32_t to) {
        for (std::int32_t s = m_layerStart[size_t(from)]; s < m_layerStart[size_t(to)]; ++s) {
            std::int32_t count = 0;
            forEachMove(s, layerOf, [&](std::int8_t, std::int32_t, std::int32_t) { ++count; });
            m_g.edgeStart[size_t(s) + 1] = count;
        }
    });
    for (std::int32_t s = 0; s < n; ++s)
        m_g.edgeStart[size_t(s) + 1] += m_g.edgeStart[size_t(s)];
    m_g.edgeTarget.resize(size_t(m_g.edgeStart.back()));
    m_g.edgeSlot.resize(size_t(m_g.edgeStart.back()));
    shareLayers([&](std::int32_t from, std::int32_t to) {
        std::vector<std::int32_t> byNode(m_nodePage.size(), -1);
        for (std::int32_t l = from; l < to; ++l) {
            const std::int32_t first = m_layerStart[size_t(l)], end = m_layerStart[size_t(l) + 1];
            for (std::int32_t s = first; s < end; ++s)
                byNode[size_t(m_g.node[size_t(s)])] = s;
            for (std::int32_t s = first; s < end; ++s) {
                auto e = size_t(m_g.edgeStart[size_t(s)]);
                forEachMove(s, layerOf, [&](std::int8_t slot, std::int32_t node, std::int32_t layer) {
                    m_g.edgeTarget[e] = layer == l ? byNode[size_t(node)]
                                                   : m_g.blocks[size_t(findBlock(layer, node)) * Graph::kBlock
                                                                + size_t(node % Graph::kBlock)];
                    m_g.edgeSlot[e++] = slot;
                });
            }
        }
    });
}

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

// Whether adding a to some score the engine keeps gives another score: a
// value too big for the range, or too small to survive the rounding, never
// does. Scores at the ends of the range, of either parity, settle it.
static bool changesScore(double a)
{
    for (const int s : {kMinScore, kMinScore + 1, kMaxScore - 1, kMaxScore})
        if (addToScore(s, a) != s)
            return true;
    return false;
}

void Explorer::makeScoreTable()
{
    m_scoreValues.assign(1, 0.0);
    m_scoreRaw.assign(1, 0.0);
    m_scoreOf.assign(m_pages.size() * quest::kOptionCount, 0);
    QHash<double, std::uint32_t> known{{0.0, 0}};
    for (size_t p = 0; p < m_pages.size(); ++p)
        for (size_t i = 0; i < size_t(quest::kOptionCount); ++i) {
            const double v = m_pages[p].choices[i].scoreAdd.value_or(0.0);
            auto it = known.constFind(v);
            if (it == known.cend()) {
                it = known.insert(v, std::uint32_t(m_scoreValues.size()));
                m_scoreValues.push_back(changesScore(v) ? v : 0.0);
                m_scoreRaw.push_back(v);
            }
            m_scoreOf[p * quest::kOptionCount + i] = it.value();
        }
}

// Scores inside one part of a layer (part is its number among the layer's
// parts, localPart each of the layer's states' part): each member's offset
// from the part's first member, found breadth first. A move that disagrees
// with the offsets closes a loop that changes the score. Such a loop is named
// by one of the part's score-changing choices: the first in the quest, so
// that the same loop held with other items names the same choice, at its
// state nearest the start.
void Explorer::partScores(std::int32_t layer, std::int32_t part, std::span<const std::int32_t> members,
                          const std::vector<std::int32_t> &localPart, std::vector<std::uint8_t> &placed,
                          std::vector<std::int32_t> &queue, std::uint8_t &loops, std::int32_t &loopFrom,
                          std::int8_t &loopSlot)
{
    const std::int32_t first = m_layerStart[size_t(layer)], end = m_layerStart[size_t(layer) + 1];
    auto inPart = [&](std::int32_t v) { return v >= first && v < end && localPart[size_t(v - first)] == part; };
    auto before = [&](std::int32_t u, std::int8_t slot) {
        if (loopFrom < 0)
            return true;
        if (pageOf(u) != pageOf(loopFrom))
            return pageOf(u) < pageOf(loopFrom);
        return slot != loopSlot ? slot < loopSlot : m_rank[size_t(u)] < m_rank[size_t(loopFrom)];
    };
    queue.assign(1, members.front());
    placed[size_t(members.front() - first)] = 1;
    m_potential[size_t(members.front())] = 0;
    for (size_t q = 0; q < queue.size(); ++q) {
        const std::int32_t u = queue[q];
        for (std::int32_t e = m_g.edgeStart[size_t(u)]; e < m_g.edgeStart[size_t(u) + 1]; ++e) {
            const std::int32_t v = m_g.edgeTarget[size_t(e)];
            if (!inPart(v))
                continue;
            const std::int8_t slot = m_g.edgeSlot[size_t(e)];
            const double d = scoreOf(u, slot);
            const double want = m_potential[size_t(u)] + d;
            if (!placed[size_t(v - first)]) {
                placed[size_t(v - first)] = 1;
                m_potential[size_t(v)] = want;
                queue.push_back(v);
            } else if (std::abs(m_potential[size_t(v)] - want) > 1e-9) {
                loops = 1;
            }
            if (d != 0 && before(u, slot)) {
                loopFrom = u;
                loopSlot = slot;
            }
        }
    }
}

// One side of the scores in a part whose loops change the score: side +1
// the lowest, -1 the highest; scratch.entered lists the members (by place in
// part) that moves from outside or the start reach. Finds offsets that no move inside the part
// improves on that side (Bellman-Ford, queue-driven, on the part's moves
// alone); none exist when a loop takes the score ever further that way, and
// the side is unbounded (false). Otherwise each member's score on that side
// is the best over the members entered from outside of their score plus the
// best way from there (Dijkstra on the moves less the offsets, which are never
// negative then), written to m_lo or m_hi. A part too tangled to settle in
// kWorkPerMove relaxations a move is taken as unbounded on that side.
bool Explorer::partSide(std::span<const std::int32_t> part, int side, SideScratch &w)
{
    constexpr qint64 kWorkPerMove = 64;
    const auto size = std::int32_t(part.size());
    // A part lies inside one layer: its members are numbered from the
    // layer's first state.
    const std::int32_t l = m_g.layer[size_t(part.front())];
    const std::int32_t first = m_layerStart[size_t(l)], end = m_layerStart[size_t(l) + 1];
    if (w.local.size() < size_t(end - first))
        w.local.resize(size_t(end - first), -1);
    for (std::int32_t i = 0; i < size; ++i)
        w.local[size_t(part[size_t(i)] - first)] = i;
    auto cleanup = [&] {
        for (std::int32_t v : part)
            w.local[size_t(v - first)] = -1;
    };
    // The part's own moves, in local numbers, each weighed on this side.
    w.start.assign(size_t(size) + 1, 0);
    w.target.clear();
    w.weight.clear();
    for (std::int32_t i = 0; i < size; ++i) {
        const std::int32_t u = part[size_t(i)];
        for (std::int32_t e = m_g.edgeStart[size_t(u)]; e < m_g.edgeStart[size_t(u) + 1]; ++e) {
            const std::int32_t v = m_g.edgeTarget[size_t(e)];
            const std::int32_t j = v >= first && v < end ? w.local[size_t(v - first)] : -1;
            if (j < 0)
                continue;
            w.target.push_back(j);
            w.weight.push_back(side * scoreOf(u, m_g.edgeSlot[size_t(e)]));
        }
        w.start[size_t(i) + 1] = std::int32_t(w.target.size());
    }
    cleanup();

    constexpr double kEps = 1e-9;
    const double inf = std::numeric_limits<double>::infinity();
    w.offset.assign(size_t(size), inf);
    w.count.assign(size_t(size), 0);
    w.queued.assign(size_t(size), 0);
    w.queue.clear();
    w.offset[0] = 0;
    w.queue.push_back(0);
    w.queued[0] = 1;
    qint64 work = kWorkPerMove * (qint64(w.target.size()) + size);
    for (size_t q = 0; q < w.queue.size(); ++q) {
        const std::int32_t u = w.queue[q];
        w.queued[size_t(u)] = 0;
        for (std::int32_t e = w.start[size_t(u)]; e < w.start[size_t(u) + 1]; ++e) {
            if (--work < 0)
                return false;
            const std::int32_t v = w.target[size_t(e)];
            const double d = w.offset[size_t(u)] + w.weight[size_t(e)];
            if (d < w.offset[size_t(v)] - kEps) {
                w.offset[size_t(v)] = d;
                w.count[size_t(v)] = w.count[size_t(u)] + 1;
                if (w.count[size_t(v)] >= size)
                    return false; // a loop that keeps improving
                if (!w.queued[size_t(v)]) {
                    w.queued[size_t(v)] = 1;
                    w.queue.push_back(v);
                }
            }
        }
        // Keep the queue from growing without end: drop what was taken.
        if (q > 4096 && q * 2 > w.queue.size()) {
            w.queue.erase(w.queue.begin(), w.queue.begin() + std::ptrdiff_t(q) + 1);
            q = size_t(-1);
        }
    }

    // From the members entered, the best on this side over the reweighed moves.
    std::vector<std::int32_t> &score = side > 0 ? m_lo : m_hi;
    w.best.assign(size_t(size), inf);
    using Item = std::pair<double, std::int32_t>;
    std::priority_queue<Item, std::vector<Item>, std::greater<>> heap;
    for (const std::int32_t i : w.entered) {
        const std::int32_t v = part[size_t(i)];
        w.best[size_t(i)] = side * double(score[size_t(v)]) - w.offset[size_t(i)];
        heap.push({w.best[size_t(i)], i});
    }
    while (!heap.empty()) {
        const auto [key, u] = heap.top();
        heap.pop();
        if (key > w.best[size_t(u)])
            continue;
        for (std::int32_t e = w.start[size_t(u)]; e < w.start[size_t(u) + 1]; ++e) {
            const std::int32_t v = w.target[size_t(e)];
            const double reduced = std::max(0.0, w.offset[size_t(u)] + w.weight[size_t(e)] - w.offset[size_t(v)]);
            if (key + reduced < w.best[size_t(v)] - kEps) {
                w.best[size_t(v)] = key + reduced;
                heap.push({w.best[size_t(v)], v});
            }
        }
    }
    for (std::int32_t i = 0; i < size; ++i) {
        const double value = side * (w.best[size_t(i)] + w.offset[size_t(i)]);
        score[size_t(part[size_t(i)])] =
            std::int32_t(std::clamp(std::round(value), double(kMinScore), double(kMaxScore)));
    }
    return true;
}

// Scores: a range per state, carried forward part by part from the start.
// States in one strongly connected part share a range up to fixed offsets,
// unless a loop in it changes the score. A loop that only adds leaves the
// lowest scores as they were and the highest unbounded, there and after; one
// that only takes away, the other way round; and a part with both kinds is
// unbounded both ways. Until a state's part is reached, m_lo and m_hi gather
// the scores that moves into the part bring; an unbounded side is kept at
// the end of the range, and m_unbounded says which sides are.
void Explorer::scoreRanges()
{
    const auto n = std::int32_t(m_g.size());
    m_lo.assign(size_t(n), std::numeric_limits<std::int32_t>::max());
    m_hi.assign(size_t(n), std::numeric_limits<std::int32_t>::min());
    m_unbounded.assign(size_t(n), 0);
    if (n == 0)
        return;
    m_lo[size_t(m_start)] = m_hi[size_t(m_start)] = 0;
    auto delta = [this](std::int32_t from, std::int8_t slot) { return rawScoreOf(from, slot); };

    // The score after a move, on the ends of a range and where the engine
    // starts refusing the sum.
    auto after = [&](std::int32_t lo, std::int32_t hi, double a, std::int32_t &outLo, std::int32_t &outHi) {
        auto f = [&](std::int32_t v) { return addToScore(int(v), a); };
        std::int32_t cand[4] = {f(lo), f(hi), f(lo), f(hi)};
        if (a > 0) {
            const double b = std::floor(kMaxScore - a);
            if (b >= lo && b < hi) {
                cand[2] = f(std::int32_t(b));
                cand[3] = f(std::int32_t(b) + 1);
            }
        } else if (a < 0) {
            const double b = std::ceil(kMinScore - a);
            if (b > lo && b <= hi) {
                cand[2] = f(std::int32_t(b) - 1);
                cand[3] = f(std::int32_t(b));
            }
        }
        outLo = *std::min_element(cand, cand + 4);
        outHi = *std::max_element(cand, cand + 4);
    };

    // Per page and choice: the earliest state where a score-changing loop
    // runs through the choice.
    std::vector<std::int32_t> loopAt(m_pages.size() * quest::kOptionCount, -1);
    // Per page and choice: the earliest state where the engine refuses the
    // sum the choice's score makes.
    std::vector<std::int32_t> refused(m_pages.size() * quest::kOptionCount, -1);
    const std::vector<double> &potential = m_potential;
    SideScratch scratch;
    for (std::int32_t l = 0; l + 1 < std::int32_t(m_layerStart.size()); ++l) {
        // Tarjan completes the parts sinks first: walk them from the start.
        for (std::int32_t c = m_layerParts[size_t(l) + 1] - 1; c >= m_layerParts[size_t(l)]; --c) {
            const std::span<const std::int32_t> part(m_partMembers.data() + m_partStart[size_t(c)],
                                                     size_t(m_partStart[size_t(c) + 1] - m_partStart[size_t(c)]));
            auto inPart = [&](std::int32_t v) { return m_partOf[size_t(v)] == c; };
            const bool loops = m_partLoops[size_t(c)];
            const std::int32_t loopFrom = m_partLoopFrom[size_t(c)];
            const std::int8_t loopSlot = m_partLoopSlot[size_t(c)];
            std::uint8_t open = 0;
            for (std::int32_t v : part)
                open |= m_unbounded[size_t(v)];
            if (!loops) {
                double baseLo = std::numeric_limits<double>::infinity(), baseHi = -baseLo;
                for (std::int32_t v : part)
                    if (m_lo[size_t(v)] <= m_hi[size_t(v)]) {
                        baseLo = std::min(baseLo, m_lo[size_t(v)] - potential[size_t(v)]);
                        baseHi = std::max(baseHi, m_hi[size_t(v)] - potential[size_t(v)]);
                    }
                for (std::int32_t v : part) {
                    m_lo[size_t(v)] = std::int32_t(std::clamp(std::round(baseLo + potential[size_t(v)]),
                                                              double(kMinScore), double(kMaxScore)));
                    m_hi[size_t(v)] = std::int32_t(std::clamp(std::round(baseHi + potential[size_t(v)]),
                                                              double(kMinScore), double(kMaxScore)));
                }
            } else {
                scratch.entered.clear();
                for (std::int32_t i = 0; i < std::int32_t(part.size()); ++i)
                    if (m_lo[size_t(part[size_t(i)])] <= m_hi[size_t(part[size_t(i)])])
                        scratch.entered.push_back(i);
                for (const int side : {+1, -1}) {
                    const std::uint8_t bit = side > 0 ? kLowOpen : kHighOpen;
                    if (!(open & bit) && !partSide(part, side, scratch))
                        open |= bit;
                }
            }
            for (std::int32_t v : part) {
                m_unbounded[size_t(v)] = open;
                if (open & kLowOpen)
                    m_lo[size_t(v)] = kMinScore;
                if (open & kHighOpen)
                    m_hi[size_t(v)] = kMaxScore;
            }
            // What the moves out of the part bring to the parts after it, and
            // the moves whose sum the engine refuses on a side that is bounded.
            for (std::int32_t u : part)
                for (std::int32_t e = m_g.edgeStart[size_t(u)]; e < m_g.edgeStart[size_t(u) + 1]; ++e) {
                    const std::int32_t v = m_g.edgeTarget[size_t(e)];
                    const bool inside = inPart(v);
                    if (open == (kLowOpen | kHighOpen)) {
                        if (!inside) {
                            m_unbounded[size_t(v)] |= open;
                            m_lo[size_t(v)] = kMinScore;
                            m_hi[size_t(v)] = kMaxScore;
                        }
                        continue;
                    }
                    const std::int8_t slot = m_g.edgeSlot[size_t(e)];
                    const double a = delta(u, slot);
                    std::int32_t lo = m_lo[size_t(u)], hi = m_hi[size_t(u)];
                    if (a != 0) {
                        if ((!(open & kHighOpen) && hi + a > kMaxScore) || (!(open & kLowOpen) && lo + a < kMinScore)) {
                            std::int32_t &at = refused[size_t(pageOf(u)) * quest::kOptionCount + size_t(slot)];
                            if (earlier(u, at))
                                at = u;
                        }
                        after(lo, hi, a, lo, hi);
                    }
                    if (!inside) {
                        m_unbounded[size_t(v)] |= open;
                        m_lo[size_t(v)] = std::min(m_lo[size_t(v)], (open & kLowOpen) ? kMinScore : lo);
                        m_hi[size_t(v)] = std::max(m_hi[size_t(v)], (open & kHighOpen) ? kMaxScore : hi);
                    }
                }
            if (loops && loopFrom >= 0) {
                const size_t at = size_t(pageOf(loopFrom)) * quest::kOptionCount + size_t(loopSlot);
                if (earlier(loopFrom, loopAt[at]))
                    loopAt[at] = loopFrom;
            }
        }
    }
    for (size_t at = 0; at < loopAt.size(); ++at)
        if (loopAt[at] >= 0)
            add("suspicious-value", int(at / quest::kOptionCount), quest::scoreKey(int(at % quest::kOptionCount) + 1),
                QStringLiteral("a loop through this choice changes the score each time around: the total can leave "
                               "-32768..32767, where the engine stops adding"),
                loopAt[at]);

    // Moves whose sum the engine refuses on some path, each told once, at the
    // state nearest the start.
    std::vector<size_t> told;
    for (size_t at = 0; at < refused.size(); ++at)
        if (refused[at] >= 0)
            told.push_back(at);
    std::sort(told.begin(), told.end(), [&](size_t a, size_t b) {
        return m_rank[size_t(refused[a])] != m_rank[size_t(refused[b])]
                   ? m_rank[size_t(refused[a])] < m_rank[size_t(refused[b])]
                   : a < b;
    });
    for (size_t at : told) {
        const std::int32_t s = refused[at];
        const int page = int(at / quest::kOptionCount), slot = int(at % quest::kOptionCount);
        const double d = delta(s, std::int8_t(slot));
        const int edge = d > 0 ? m_hi[size_t(s)] : m_lo[size_t(s)];
        add("suspicious-value", page, quest::scoreKey(slot + 1),
            QStringLiteral("the score can be %1 here; adding %2 leaves -32768..32767, so the engine keeps "
                           "the old score")
                .arg(edge)
                .arg(m_pages[size_t(page)].choices[size_t(slot)].score),
            s);
    }
}

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
