#pragma once
// Checks of the pages as written: destinations, battle settings, media,
// values the engine reads otherwise than meant, and lengths.

#include "engine/check/checker.h"
#include "engine/check/findings.h"
#include "engine/check/quest_pages.h"
#include "engine/check/quest_snapshot.h"
#include "engine/check/reach.h"

namespace fc::check::detail {

// Each finding placed at the first state that reaches what it is about.
// Media are looked for beside options.mediaBeside, or beside the quest.
void checkAsWritten(const QuestSnapshot &snapshot, const QuestPages &quest, const FirstStates &first,
                    const CheckOptions &options, FindingList &out);

} // namespace fc::check::detail
