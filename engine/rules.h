#pragma once
// The game's rules as plain decisions on the values read from a quest: which
// choices a presented page shows, what a choice gives, when a page opens a
// battle, when escape is allowed, where a relative media path is looked for.
// Game calls them while it drives the screen; the quest checker calls the very
// same functions while it explores every state a player can reach.

#include <QString>

namespace fc::rules {

// An inventory test: an empty item always counts as held; otherwise has(item)
// decides (a whole-text, case-sensitive comparison with every entry).
template <typename Has> bool itemHeld(const QString &item, Has &&has)
{
    return item.isEmpty() || has(item);
}

// A choice's Required value: exactly "1" makes the choice need its item.
bool requiresItem(const QString &requiredValue);
// A choice's Required value that shows it whatever is held: exactly "0".
bool ungated(const QString &requiredValue);
// The Add value as the presenter reads it: a number equal to 1 ("1", "1.0").
// A choice that adds an item is hidden once that item is held.
bool hidesOnceHeld(const QString &addValue);
// The Add value as the choice step reads it: taking the choice gives its item
// only for exactly "1" and a non-empty item.
bool givesItem(const QString &addValue, const QString &item);

// The presenter's key-item gating of one choice (its steps 1 and 2): shown is
// the caption on the button, caption the page's text for the choice.
QString gateByItem(const QString &shown, const QString &caption, const QString &requiredValue, bool held);
// The presenter's step for items already held (step 5).
QString hideHeldGift(const QString &shown, const QString &addValue, bool held);
// Both steps on a page whose captions were just set from the page: whether
// the choice is offered.
bool offeredOnArrival(const QString &caption, const QString &requiredValue, const QString &addValue, bool held);

// The "Battle" value: exactly "1" opens a battle when the page is presented.
bool opensBattle(const QString &battleValue);
// The "BattleEscapecheck" value: anything but "0" allows escape.
bool escapeAllowed(const QString &escapeCheckValue);
// A fight's win or lose page: an empty one closes the battle box and leaves
// the battle page's choices standing instead of moving on.
bool leavesBattlePage(const QString &page);

// Where the engine looks for a media file named in a quest: empty and
// absolute values as they are; a relative value beside the quest file when
// such a file exists there, else as it is (from the working folder).
QString mediaPath(const QString &questFile, const QString &value);
// The file beside the quest that a relative value names ("" for an empty or
// absolute value).
QString mediaBesideQuest(const QString &questFile, const QString &value);

} // namespace fc::rules
