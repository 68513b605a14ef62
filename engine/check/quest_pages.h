#pragma once
// The checker's view of a quest's pages: each choice and battle setting as
// read, and the moves the exploration takes from them.

#include "engine/check/step_trail.h"
#include "storage/quest_format.h"

#include <QHash>
#include <QString>
#include <QStringList>

#include <array>
#include <cstdint>
#include <optional>
#include <vector>

namespace fc::check::detail {

constexpr int kMaxTrackedItems = 64;
constexpr int kMinScore = -32768;
constexpr int kMaxScore = 32767;

// Longest texts the editor's fields take.
constexpr int kLongText = 1000;
constexpr int kCaptionLength = 60;
constexpr int kScoreLength = 3;

struct Choice
{
    QString caption, destination, score, item, required, add;
    int destPage = -1;   // index of the page it leads to, -1 when none
    int itemBit = -1;    // the item's bit when its holding changes the offer
    bool fixedOffer = false; // offer when itemBit < 0
    bool offeredHeld = false, offeredNotHeld = false;
    int giveBit = -1;    // bit given by taking the choice
    std::optional<double> scoreAdd; // the score value as a number, when it is one
    bool visible() const { return !caption.isEmpty(); }
};

// What the exploration needs of a page, small enough that every page's fits
// in the cache.
struct PageMoves
{
    struct Offer
    {
        std::int32_t dest = -1;
        std::int8_t itemBit = -1, giveBit = -1;
        bool fixedOffer = false, offeredHeld = false, offeredNotHeld = false;
    };
    std::array<Offer, quest::kOptionCount> choices;
    std::int32_t winPage = -1, losePage = -1, escapeDest = -1;
    std::int8_t lootBit = -1;
    bool battle = false, escape = false, leavesOnWin = false, leavesOnLose = false, hasChoices = false;
};

struct Page
{
    QString name;
    std::array<Choice, quest::kOptionCount> choices;
    bool hasChoices = false;
    bool battle = false, escape = false;
    QString win, lose, escapePage, loot;
    QString battleValue, escapeValue; // "Battle" and "BattleEscapecheck" as read
    int winPage = -1, losePage = -1, escapeDest = -1;
    int lootBit = -1;
};

// Whether choice c is offered to a player holding the items of mask.
template <typename C> bool offered(const C &c, Mask mask)
{
    if (c.itemBit < 0)
        return c.fixedOffer;
    return (mask >> c.itemBit) & 1 ? c.offeredHeld : c.offeredNotHeld;
}

// A quest as the checks and the exploration read it: its pages in the order
// of QuestSnapshot::pages(), and a bit for each key item whose holding
// changes what some choice offers.
struct QuestPages
{
    std::vector<Page> pages;
    std::vector<PageMoves> moves; // beside pages
    QHash<QString, int> itemBits;
    QStringList bitItems; // the item of each bit

    size_t size() const { return pages.size(); }
};

// Reads every page of quest, through the snapshot's reads.
QuestPages readQuestPages(const QuestSnapshot &quest);

} // namespace fc::check::detail
