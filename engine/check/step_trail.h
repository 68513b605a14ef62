#pragma once
// What a check report keeps to spell out the steps of its findings: for each
// state explored, the state it was first reached from and by which move (the
// exploration is breadth first, so these links lie on shortest ways), and how
// far it lies from the start. A finding's steps are built from these links
// only when asked for, so a report costs a few bytes a state however many
// findings it has and however long their ways are.

#include "engine/check/checker.h"
#include "engine/check/quest_snapshot.h"

#include <QHash>
#include <QString>
#include <QStringList>

#include <cstdint>
#include <memory>
#include <mutex>
#include <vector>

namespace fc::check::detail {

using Mask = std::uint64_t;

// What a state's page is doing.
enum Phase : std::uint8_t {
    Presented,  // the page was presented; its offered choices can be taken
    BattleOpen, // a battle page's fight is open: attack or escape
    Closed,     // the fight ended without leaving the battle page
    ClosedLoot, // as Closed after a win whose key item was not yet held:
                // the choices were gated without it, but it is held now
};

// How a move is made; 0-3 are the choices.
enum Slot : std::int8_t { Win = 4, Lose = 5, Escape = 6, Turn = 7, NoSlot = -1 };

struct StepTrail
{
    std::vector<std::int32_t> parent;   // -1 at the start
    std::vector<std::int8_t> parentSlot; // the move from the parent
    // Filled by finish(): steps from the start (a fight counts as one), with
    // kThroughFight set when a fight must be won or lost on the way; and the
    // state on the way Steps::kQuickEnds moves from the start (the state
    // itself when nearer).
    static constexpr std::uint32_t kThroughFight = 0x80000000u;
    std::vector<std::int32_t> depth; // bits as std::uint32_t
    std::vector<std::int32_t> head;

    // Where a fight is played again: the quest, and where each state stands.
    std::shared_ptr<const QuestSnapshot> quest;
    std::vector<std::int32_t> node, layer;
    std::vector<std::int32_t> nodePage;
    std::vector<Phase> nodePhase;
    std::vector<Mask> layerMask;
    std::vector<std::int8_t> lootBit; // per page
    QHash<QString, int> itemBits;
    int fightSeeds = 16;
    int fightReplays = 4000;

    // Computes depth and head; drops what fights need when no way has one.
    void finish();
    // Drops what replaying fights needs, for reports whose steps pass none.
    void dropFights();

    bool throughFight(std::int32_t s) const { return std::uint32_t(depth[size_t(s)]) & kThroughFight; }
    std::int32_t distance(std::int32_t s) const { return std::int32_t(std::uint32_t(depth[size_t(s)]) & ~kThroughFight); }
    // The states from the start to s, both included.
    std::vector<std::int32_t> path(std::int32_t s) const;
    // The steps of the moves into path[from..to).
    QStringList plainSteps(const std::vector<std::int32_t> &path, size_t from, size_t to) const;

    // For a way through fights: finds for each fight a seed that ends it the
    // way the way needs (each fight's seed is found once and kept). False when
    // some fight never ended so.
    bool findSeeds(std::int32_t s) const;
    // The steps of a way through fights, played with the seeds found.
    QStringList fightSteps(std::int32_t s) const;

private:
    Mask realMask(std::int32_t s) const;
    // The places along way of the states a fight (won or lost) reached.
    std::vector<size_t> fightsOn(const std::vector<std::int32_t> &way) const;
    size_t play(const std::vector<std::int32_t> &path, const std::vector<int> &seeds, QStringList *steps) const;

    mutable std::mutex m_mutex; // the quest and the seeds, for reports read on several threads
    mutable QHash<std::int32_t, int> m_seeds; // per state reached by a fight: its seed, 0 when none was found
    mutable int m_replays = 0;
};

} // namespace fc::check::detail
