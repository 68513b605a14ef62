#pragma once
// The checker's state graph: the states a player can reach and the moves
// between them.

#include "engine/check/step_trail.h"

#include <QtGlobal>

#include <array>
#include <cstdint>
#include <unordered_map>
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
} // namespace fc::check::detail

