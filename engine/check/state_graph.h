#pragma once
// The checker's state graph: the states a player can reach and the moves
// between them.

#include "engine/check/quest_pages.h"
#include "engine/check/step_trail.h"

#include <QString>
#include <QtGlobal>

#include <array>
#include <cstdint>
#include <system_error>
#include <thread>
#include <unordered_map>
#include <utility>
#include <vector>

namespace fc::check::detail {

// The states found so far. A state is a node (a page in the phase a player
// arrives in, or a battle page whose fight closed without leaving it) and a
// layer (one set of key items held). Items are only ever added, so a move
// stays in its layer or goes to one whose mask holds more bits.
//
// Finding a state: (layer, node / kBlock) names a block of kBlock consecutive
// nodes, found through a small open-addressed table; the block holds the
// state of each node, -1 where there is none yet. Neighbouring pages share a
// block, so most moves find their state in memory just touched.
struct Graph
{
    static constexpr std::int32_t kBlock = 128;

    std::vector<std::int32_t> node;
    std::vector<std::int32_t> layer;
    std::vector<std::int32_t> parent;
    std::vector<std::int8_t> parentSlot;
    std::vector<std::int32_t> edgeStart; // CSR, one past the last state at the end
    std::vector<std::int32_t> edgeTarget;
    std::vector<std::int8_t> edgeSlot;

    std::vector<Mask> layerMask;
    std::unordered_map<Mask, std::int32_t> layerOf;

    static constexpr std::uint64_t kEmpty = ~std::uint64_t(0);
    std::vector<std::uint64_t> blockKey; // open-addressed; kEmpty marks a free entry
    std::vector<std::int32_t> blockAt;   // the block of each entry
    std::vector<std::int32_t> blocks;    // kBlock states per block
    // The blocks used last, by a few bits of their key.
    static constexpr size_t kRecent = 256;
    std::array<std::uint64_t, kRecent> recentKey;
    std::array<std::int32_t, kRecent> recentBlock;
    void forgetRecent() { recentKey.fill(kEmpty); }
    static size_t recentAt(std::uint64_t key) { return size_t(key + (key >> 32) * 0x9e37) & (kRecent - 1); }

    qsizetype size() const { return qsizetype(node.size()); }
};

inline std::uint64_t mix(std::uint64_t x)
{
    x ^= x >> 33;
    x *= 0xff51afd7ed558ccdULL;
    x ^= x >> 33;
    x *= 0xc4ceb9fe1a85ec53ULL;
    x ^= x >> 33;
    return x;
}

// The states a player can reach from the start of a quest, found breadth
// first (each state's parent lies on a shortest way there), then numbered
// layer after layer with each state's moves listed.
class StateGraph
{
public:
    // quest must outlive the graph.
    explicit StateGraph(const QuestPages &quest) : m_quest(quest) {}

    // Explores from page first (nothing when first < 0). False, with error
    // saying why, when the states pass what options allow.
    bool explore(int first, qint64 maxStates, qint64 maxIndexEntries, QString &error);
    // Numbers the states again so that a layer's states are neighbours and
    // every move leads to the same layer or a later one; lists the moves.
    void renumber();
    // Lets the index of states go; states are found by number only after.
    void dropIndex();
    // Hands the links between the states to trail and lets the moves go.
    void handOver(StepTrail &trail);

    std::int32_t size() const { return std::int32_t(m_g.node.size()); }
    // After renumber(): the state at the start of the game.
    std::int32_t start() const { return m_start; }
    // After renumber(): where each layer's states begin, and one past the last.
    const std::vector<std::int32_t> &layerStart() const { return m_layerStart; }
    // The states' layers and their moves (edgeStart, edgeTarget, edgeSlot).
    const Graph &graph() const { return m_g; }

    int pageOf(std::int32_t s) const { return m_nodePage[size_t(m_g.node[size_t(s)])]; }
    Phase phaseOf(std::int32_t s) const { return m_nodePhase[size_t(m_g.node[size_t(s)])]; }
    Mask maskOf(std::int32_t s) const { return m_g.layerMask[size_t(m_g.layer[size_t(s)])]; }
    // The items held in s, the monster's when a fight won here left it.
    Mask realMask(std::int32_t s) const
    {
        const Mask m = maskOf(s);
        const PageMoves &p = m_quest.moves[size_t(pageOf(s))];
        return phaseOf(s) == ClosedLoot && p.lootBit >= 0 ? m | (Mask(1) << p.lootBit) : m;
    }
    // After renumber(): the order s was found in; whether s was found before
    // than (or than is none).
    std::int32_t rank(std::int32_t s) const { return m_rank[size_t(s)]; }
    bool earlier(std::int32_t s, std::int32_t than) const
    {
        return than < 0 || m_rank[size_t(s)] < m_rank[size_t(than)];
    }

    // Runs work(from, to) over every layer, in two halves on two threads when
    // the graph is big enough to gain from it.
    template <typename Work> void shareLayers(Work &&work) const;

private:
    std::int32_t layerFor(Mask mask);
    std::int32_t blockFor(std::int32_t layer, std::int32_t node);
    std::int32_t findBlock(std::int32_t layer, std::int32_t node) const;
    void growIndex();
    std::int32_t intern(std::int32_t node, std::int32_t layer, std::int32_t parent, std::int8_t slot);
    void makeNodes();
    template <typename LayerOf, typename Move> void forEachMove(std::int32_t s, LayerOf &&layerOf, Move &&move) const;
    using BlockOrder = std::vector<std::pair<std::uint64_t, std::int32_t>>;
    std::vector<std::int32_t> layersByMask() const;
    BlockOrder sortedBlocks(const std::vector<std::int32_t> &byMask) const;
    void renumberStates(const BlockOrder &blocks);
    void reindexLayers(const std::vector<std::int32_t> &byMask, const BlockOrder &blocks);
    void listMoves();

    const QuestPages &m_quest;
    Graph m_g;
    // Nodes: first one per page, in the phase a player arrives in; then, for
    // each battle page whose fight can close without leaving it, Closed and
    // ClosedLoot.
    std::vector<std::int32_t> m_nodePage;
    std::vector<Phase> m_nodePhase;
    std::vector<std::int32_t> m_closedNode;
    // After renumber(): the order each state was found in (earlier is
    // closer to the start), where each layer's states begin.
    std::vector<std::int32_t> m_rank, m_layerStart;
    std::int32_t m_start = 0;
};

template <typename Work> void StateGraph::shareLayers(Work &&work) const
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

} // namespace fc::check::detail

