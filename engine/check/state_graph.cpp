// Exploring the states a player can reach, and numbering them so that each
// layer's states are neighbours and every move leads to the same layer or a
// later one.
#include "engine/check/state_graph.h"

#include "engine/rules.h"

#include <algorithm>

namespace fc::check::detail {

// ---------------------------------------------------------------------------
// Exploring

std::int32_t StateGraph::layerFor(Mask mask)
{
    const auto [it, added] = m_g.layerOf.try_emplace(mask, std::int32_t(m_g.layerMask.size()));
    if (added)
        m_g.layerMask.push_back(mask);
    return it->second;
}

namespace {

// The entry of the open-addressed table keys that holds key, or the free one
// where it goes.
size_t freeOrSame(const std::vector<std::uint64_t> &keys, std::uint64_t key)
{
    const size_t bits = keys.size() - 1;
    size_t at = mix(key) & bits;
    while (keys[at] != Graph::kEmpty && keys[at] != key)
        at = (at + 1) & bits;
    return at;
}

// The block index's key of a node's block in a layer.
std::uint64_t blockKeyOf(std::int32_t layer, std::int32_t node)
{
    return (std::uint64_t(std::uint32_t(layer)) << 32) | std::uint32_t(node / Graph::kBlock);
}

} // namespace

// Doubles the block index, 1024 entries to begin with.
void StateGraph::growIndex()
{
    std::vector<std::uint64_t> oldKey = std::move(m_g.blockKey);
    std::vector<std::int32_t> oldAt = std::move(m_g.blockAt);
    m_g.blockKey.assign(oldKey.empty() ? 1024 : oldKey.size() * 2, Graph::kEmpty);
    m_g.blockAt.assign(m_g.blockKey.size(), -1);
    for (size_t i = 0; i < oldKey.size(); ++i)
        if (oldKey[i] != Graph::kEmpty) {
            const size_t at = freeOrSame(m_g.blockKey, oldKey[i]);
            m_g.blockKey[at] = oldKey[i];
            m_g.blockAt[at] = oldAt[i];
        }
}

std::int32_t StateGraph::blockFor(std::int32_t layer, std::int32_t node)
{
    const std::uint64_t key = blockKeyOf(layer, node);
    const size_t recent = Graph::recentAt(key);
    if (m_g.recentKey[recent] == key)
        return m_g.recentBlock[recent];
    const auto count = std::int32_t(m_g.blocks.size() / Graph::kBlock);
    if (size_t(count) * 2 >= m_g.blockKey.size())
        growIndex();
    const size_t at = freeOrSame(m_g.blockKey, key);
    if (m_g.blockKey[at] == Graph::kEmpty) {
        m_g.blockKey[at] = key;
        m_g.blockAt[at] = count;
        m_g.blocks.resize(m_g.blocks.size() + Graph::kBlock, -1);
    }
    m_g.recentKey[recent] = key;
    return m_g.recentBlock[recent] = m_g.blockAt[at];
}

// The block of a state already found.
std::int32_t StateGraph::findBlock(std::int32_t layer, std::int32_t node) const
{
    const std::uint64_t key = blockKeyOf(layer, node);
    const size_t bits = m_g.blockKey.size() - 1;
    size_t at = mix(key) & bits;
    while (m_g.blockKey[at] != key)
        at = (at + 1) & bits;
    return m_g.blockAt[at];
}

std::int32_t StateGraph::intern(std::int32_t node, std::int32_t layer, std::int32_t parent, std::int8_t slot)
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

void StateGraph::makeNodes()
{
    const auto pages = std::int32_t(m_quest.pages.size());
    m_nodePage.clear();
    m_nodePhase.clear();
    m_closedNode.assign(size_t(pages), -1);
    for (std::int32_t p = 0; p < pages; ++p) {
        m_nodePage.push_back(p);
        m_nodePhase.push_back(m_quest.pages[size_t(p)].battle ? BattleOpen : Presented);
    }
    for (std::int32_t p = 0; p < pages; ++p) {
        const Page &page = m_quest.pages[size_t(p)];
        if (!page.battle || (rules::leavesBattlePage(page.win) && rules::leavesBattlePage(page.lose)))
            continue;
        m_closedNode[size_t(p)] = std::int32_t(m_nodePage.size());
        m_nodePage.insert(m_nodePage.end(), {p, p});
        m_nodePhase.insert(m_nodePhase.end(), {Closed, ClosedLoot});
    }
}

// Every move from state s, in the order the steps number them:
// move(slot, node, layer). A broken destination makes no move.
template <typename LayerOf, typename Move> void StateGraph::forEachMove(std::int32_t s, LayerOf &&layerOf, Move &&move) const
{
    const int pageIndex = pageOf(s);
    const PageMoves &p = m_quest.moves[size_t(pageIndex)];
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
bool StateGraph::explore(int first, qint64 maxStates, qint64 maxIndexEntries, QString &error)
{
    makeNodes();
    m_g.forgetRecent();
    if (first < 0)
        return true;
    intern(first, layerFor(0), -1, NoSlot);
    for (std::int32_t s = 0; s < std::int32_t(m_g.node.size()); ++s) {
        if (qint64(m_g.node.size()) > maxStates) {
            error = QStringLiteral("more than %1 states: the quest is too big to check").arg(maxStates);
            return false;
        }
        if (qint64(m_g.blocks.size()) > maxIndexEntries) {
            error = QStringLiteral("the states are spread too thinly over the pages and key items: the quest "
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
void StateGraph::renumber()
{
    const auto n = std::int32_t(m_g.size());
    m_g.edgeStart.assign(size_t(n) + 1, 0);
    if (n == 0) {
        m_layerStart.assign(1, 0);
        return;
    }
    const std::vector<std::int32_t> byMask = layersByMask();
    const BlockOrder blocks = sortedBlocks(byMask);
    renumberStates(blocks);
    reindexLayers(byMask, blocks);
    listMoves();
}

void StateGraph::dropIndex()
{
    m_g.blocks = {};
    m_g.blockKey = {};
    m_g.blockAt = {};
}

void StateGraph::handOver(StepTrail &t)
{
    m_g.edgeStart = {};
    m_g.edgeTarget = {};
    m_g.edgeSlot = {};
    m_rank = {};
    t.parent = std::move(m_g.parent);
    t.parentSlot = std::move(m_g.parentSlot);
    t.node = std::move(m_g.node);
    t.layer = std::move(m_g.layer);
    t.nodePage = std::move(m_nodePage);
    t.nodePhase = std::move(m_nodePhase);
    t.layerMask = m_g.layerMask;
}

// The layers in the order of their masks.
std::vector<std::int32_t> StateGraph::layersByMask() const
{
    const auto layers = std::int32_t(m_g.layerMask.size());
    std::vector<std::int32_t> byMask(static_cast<size_t>(layers));
    for (std::int32_t l = 0; l < layers; ++l)
        byMask[size_t(l)] = l;
    std::sort(byMask.begin(), byMask.end(),
              [&](std::int32_t a, std::int32_t b) { return m_g.layerMask[size_t(a)] < m_g.layerMask[size_t(b)]; });
    return byMask;
}

// The blocks by (layer rank, node), keyed by the new layer numbers.
StateGraph::BlockOrder StateGraph::sortedBlocks(const std::vector<std::int32_t> &byMask) const
{
    const auto layers = std::int32_t(m_g.layerMask.size());
    std::vector<std::int32_t> layerRank(static_cast<size_t>(layers));
    for (std::int32_t r = 0; r < layers; ++r)
        layerRank[size_t(byMask[size_t(r)])] = r;
    BlockOrder blocks;
    blocks.reserve(m_g.blocks.size() / Graph::kBlock);
    for (size_t i = 0; i < m_g.blockKey.size(); ++i)
        if (m_g.blockKey[i] != Graph::kEmpty) {
            const std::uint64_t key = m_g.blockKey[i];
            blocks.push_back({(std::uint64_t(layerRank[size_t(key >> 32)]) << 32) | (key & 0xffffffffULL), m_g.blockAt[i]});
        }
    std::sort(blocks.begin(), blocks.end());
    return blocks;
}

// Numbers the states anew, walking the blocks in their order.
void StateGraph::renumberStates(const BlockOrder &blocks)
{
    const auto n = std::int32_t(m_g.size());
    const auto layers = std::int32_t(m_g.layerMask.size());
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
}

// The layers and the block index under the new layer numbers.
void StateGraph::reindexLayers(const std::vector<std::int32_t> &byMask, const BlockOrder &blocks)
{
    const auto layers = std::int32_t(m_g.layerMask.size());
    std::vector<Mask> masks(static_cast<size_t>(layers));
    m_g.layerOf.clear();
    for (std::int32_t r = 0; r < layers; ++r) {
        masks[size_t(r)] = m_g.layerMask[size_t(byMask[size_t(r)])];
        m_g.layerOf.emplace(masks[size_t(r)], r);
    }
    m_g.layerMask.swap(masks);
    std::fill(m_g.blockKey.begin(), m_g.blockKey.end(), Graph::kEmpty);
    m_g.forgetRecent();
    for (const auto &[key, block] : blocks) {
        const size_t at = freeOrSame(m_g.blockKey, key);
        m_g.blockKey[at] = key;
        m_g.blockAt[at] = block;
    }
}

// Each state's moves, counted first, then listed. Inside a layer, a table by
// node finds the state a move leads to; the block index only serves moves
// that gain an item.
void StateGraph::listMoves()
{
    const auto n = std::int32_t(m_g.size());
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

} // namespace fc::check::detail
