// The findings: each with the state that shows it, and the trail of moves
// that spells out its steps.
#include "engine/check/explorer.h"


#include "engine/check/quest_snapshot.h"
#include "engine/game.h"
#include "engine/rules.h"
#include "engine/score.h"
#include "storage/encoder.h"
#include "storage/quest_format.h"
#include "storage/user_folders.h"

#include <QElapsedTimer>
#include <QFileInfo>
#include <QHash>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <limits>
#include <vector>

namespace fc::check::detail {

void Explorer::add(const char *kind, int page, const QString &key, const QString &message, std::int32_t state)
{
    // One string per kind, shared by every finding of it.
    static const std::array<QString, std::size(kFindingKinds)> kinds = [] {
        std::array<QString, std::size(kFindingKinds)> out;
        for (size_t i = 0; i < out.size(); ++i)
            out[i] = QString::fromLatin1(kFindingKinds[i]);
        return out;
    }();
    Finding f;
    for (size_t i = 0; i < kinds.size() && f.kind.isEmpty(); ++i)
        if (qstrcmp(kind, kFindingKinds[i]) == 0)
            f.kind = kinds[i];
    f.page = page >= 0 ? m_pages[size_t(page)].name : QString();
    f.key = key;
    f.message = message;
    m_report.findings.append(f);
    m_findingState.push_back(state);
}

// Hands the links between the states to the report and lets the rest go;
// a finding whose way needs a fight to end in a way no seed gave gets no
// steps, and says so.
void Explorer::makeTrail()
{
    QElapsedTimer clock;
    clock.start();
    StepTrail &t = *m_trail;
    m_g.edgeStart = {};
    m_g.edgeTarget = {};
    m_g.edgeSlot = {};
    m_partMembers = {};
    m_partStart = {};
    m_partOf = {};
    m_potential = {};
    m_unbounded = {};
    m_rank = {};
    t.parent = std::move(m_g.parent);
    t.parentSlot = std::move(m_g.parentSlot);
    t.node = std::move(m_g.node);
    t.layer = std::move(m_g.layer);
    t.quest = m_snapshot;
    t.nodePage = std::move(m_nodePage);
    t.nodePhase = std::move(m_nodePhase);
    t.layerMask = m_g.layerMask;
    t.lootBit.resize(m_moves.size());
    for (size_t p = 0; p < m_moves.size(); ++p)
        t.lootBit[p] = m_moves[p].lootBit;
    t.itemBits = m_itemBits;
    t.fightSeeds = m_options.fightSeeds;
    t.fightReplays = m_options.fightReplays;
    m_moves = {};
    m_pages = {};
    if (std::all_of(m_findingState.begin(), m_findingState.end(), [](std::int32_t s) { return s < 0; })) {
        m_trail.reset(); // no finding has steps: nothing to keep
        m_lo = {};
        m_hi = {};
        m_findingState = {};
        m_stepsTime = clock.elapsed();
        return;
    }
    // The score ranges' storage takes the distances and the heads: memory
    // given back here is seldom returned to the system.
    t.depth = std::move(m_lo);
    t.head = std::move(m_hi);
    t.finish();
    bool fights = false;
    for (qsizetype i = 0; i < m_report.findings.size(); ++i) {
        std::int32_t s = m_findingState[size_t(i)];
        Finding &f = m_report.findings[i];
        if (s >= 0 && t.throughFight(s)) {
            if (t.findSeeds(s)) {
                fights = true;
            } else {
                f.message += QStringLiteral(" (reaching it needs a fight to end in a way that %1 seeds of the real "
                                            "fight never gave)")
                                 .arg(m_options.fightSeeds);
                s = -1;
            }
        }
        f.steps = Steps(m_trail, s);
    }
    if (!fights)
        t.dropFights();
    m_findingState = {};
    m_stepsTime = clock.elapsed();
}

} // namespace fc::check::detail
