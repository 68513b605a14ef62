#pragma once
// The story as a graph: one node per page section of a quest, and one link
// per way the player moves on from a page (a choice with a caption and a
// destination, the win, lose and escape pages of a battle page). The story
// map lays it out and draws it; fablecraft-cli map prints it.
//
// The graph is built from plain page records (StoryPageInput), so that it can
// come from a quest file read through the profile store's parser
// (loadStoryPages) as well as from pages held in memory.

#include "storage/quest_format.h"

#include <QHash>
#include <QList>
#include <QString>
#include <QStringList>

#include <array>
#include <cstdint>
#include <span>

namespace fc::story {

enum class LinkKind : std::uint8_t { Choice1, Choice2, Choice3, Choice4, Win, Lose, Escape };
inline constexpr int kLinkKindCount = 7;

// "choice1" .. "choice4", "win", "lose", "escape".
QString linkKindName(LinkKind kind);

// One page as its section holds it; values as a profile read returns them.
struct StoryPageInput
{
    QString name;                  // the section's name, as spelled in the file
    QString location;              // "Location"
    QString text;                  // "Page Text"
    std::array<QString, 4> captions;     // "Option One" .. "Option Four"
    std::array<QString, 4> destinations; // "Option One Destination Page" ..
    QString battle;                // "Battle"
    QString win, lose, escape;     // "BattleWin", "BattleLose", "BattleEscape"
    QString escapeCheck;           // "BattleEscapecheck"
};

struct StoryPage
{
    QString name;
    QString location;
    QString firstWords;  // the start of the page text, at most kFirstWordsLength characters
    int choices = 0;     // choices with a caption (the ones a player can be offered)
    bool battle = false; // the page opens a battle
    bool ending = false; // no choice and no battle leads on from the page
    bool start = false;  // page "1"
};

struct StoryLink
{
    int from = 0; // index into StoryGraph::pages
    int to = 0;
    LinkKind kind = LinkKind::Choice1;
};

// A destination naming no page of the quest.
struct BrokenLink
{
    int from = 0;
    LinkKind kind = LinkKind::Choice1;
    QString destination;
};

struct StoryGraph
{
    QList<StoryPage> pages;    // in file order
    QList<StoryLink> links;    // grouped by page, in the order of LinkKind
    QList<BrokenLink> broken;
    int start = -1;            // index of page "1", or -1 when the quest has none

    // Index of the page a profile read of name reaches (names compare trimmed
    // and without regard to case), or -1.
    int indexOf(const QString &name) const;
    // Page indexes ordered as a reader numbers pages (numbers by value, then
    // the other names).
    QList<int> byNumber() const;

    QHash<QString, int> index; // folded name -> page index
};

inline constexpr int kFirstWordsLength = 80;

// Builds the graph of pages. Pages after the first of equal names (as the
// profile store compares them) are left out, as a profile read never reaches
// them.
StoryGraph buildStoryGraph(const QList<StoryPageInput> &pages);

// One page's card and the links that leave it, resolved against the pages
// of graph (for changing one page of a graph in place); the page's index in
// graph is index. The start mark is left to the caller.
struct PageLinks
{
    StoryPage page;
    QList<StoryLink> links;   // in the order of LinkKind
    QList<BrokenLink> broken;
};
PageLinks describePage(const StoryGraph &graph, int index, const StoryPageInput &input);

// Reads the page sections of a quest file (every section but "Quest Data",
// "Story Info" and "CharacterData"). file is named as profile calls name it.
// False, with *error saying why, when the file cannot be read.
bool loadStoryPages(const QString &file, QList<StoryPageInput> *pages, QString *error = nullptr);

// The keys of a page the story graph reads, in the order storyPageFrom takes
// their values.
const QStringList &storyPageKeys();
constexpr int kStoryPageKeyCount = 15;
// The page record of section name from the values of storyPageKeys(), in
// their order, as reads give them; the values are moved from.
StoryPageInput storyPageFrom(const QString &name, std::span<QString, kStoryPageKeyCount> values);

using quest::pageNameLess;

// The name folded as a profile read compares section names.
QString foldPageName(const QString &name);

} // namespace fc::story
