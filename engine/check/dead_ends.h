#pragma once
// States from which no ending can be reached.

#include "engine/check/findings.h"
#include "engine/check/quest_pages.h"
#include "engine/check/reach.h"
#include "engine/check/state_graph.h"
#include "engine/check/strong_parts.h"

namespace fc::check::detail {

// Reports the states no ending can be reached from where a player walks into
// them: at the state nearest the start of each page. A page where a player is
// offered no choice, and a dead end through a broken destination, are
// reported as such elsewhere.
void findDeadEnds(const StateGraph &graph, const StrongParts &parts, const QuestPages &quest, const FirstStates &first,
                  FindingList &out);

} // namespace fc::check::detail
