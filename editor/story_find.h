#pragma once
// Find, replace and go to over a quest document, and the links that lead to
// a page: what the editor's Find (Ctrl+F), Replace, Go to page (Ctrl+G) and
// "Links here" list show, and what the story map highlights.
//
// Searched fields: every page's location, text, choice captions and
// destinations, key items, the battle's texts (monster name, attack message,
// other attack, key item) and destinations (win, lose, escape), and the
// quest's Title, Author and Version.

#include "editor/quest_document.h"
#include "editor/story_graph.h"

#include <QList>
#include <QRegularExpression>
#include <QString>

#include <memory>

namespace fc::story {

struct FindOptions
{
    bool caseSensitive = false;
    bool wholeWord = false;
    bool regularExpression = false;
};

struct FindMatch
{
    QString page;    // the page's name, or "" for the quest's story info
    QString section; // the section the value is in
    QString key;     // the field's key ("Page Text", "Option Two", "Title")
    QString line;    // the field's value, the line with the match
    int start = 0;   // where the match is in line
    int length = 0;
};

// Keys searched in a page section, in the order results list them.
const QStringList &searchedPageKeys();
// Whether key holds a page name (a destination).
bool isDestinationKey(const QString &key);

// A compiled search; invalid for an empty text or a broken expression.
class Finder
{
public:
    Finder(const QString &text, const FindOptions &options);
    bool isValid() const { return m_valid; }
    const FindOptions &options() const { return m_options; }
    // The text searched for as it stands in a value (plain and whole-word
    // searches), or "" for a regular expression.
    QString literal() const { return m_options.regularExpression ? QString() : m_text; }
    QString error() const { return m_error; }
    // Matches in value, as (start, length) pairs.
    QList<std::pair<int, int>> matches(const QString &value) const;
    // value with every match replaced by with (in a regular expression,
    // \1 .. \9 name the captured parts).
    QString replaced(const QString &value, const QString &with, int *count) const;

private:
    QString m_text;
    FindOptions m_options;
    QRegularExpression m_re;
    bool m_plain = false; // a plain substring search, without an expression
    bool m_valid = false;
    QString m_error;
};

// Every match in the quest: pages in list order, then the story info.
QList<FindMatch> findInQuest(const QuestDocument &doc, const Finder &finder);

struct ReplaceReport
{
    int replacements = 0;
    QStringList pages; // pages changed (by name; "" for the story info)
    // Destinations the replacement turned into names of no page:
    // "PAGE: KEY = VALUE".
    QStringList brokenDestinations;
    // What the replacement did, as one step to undo; null when nothing changed.
    std::shared_ptr<QuestDocument::Delta> delta;
    // "Replaced 12 times in 5 pages."
    QString summary() const;
};

// Replaces every match in the quest as one recorded change.
ReplaceReport replaceAll(QuestDocument &doc, const Finder &finder, const QString &with);
// Replaces the one match m (if the field still holds it there). The report's
// delta is the step to undo.
ReplaceReport replaceMatch(QuestDocument &doc, const Finder &finder, const FindMatch &m, const QString &with);

// Pages for "Go to page": the page named text first, then pages whose names
// start with it, then pages whose location, then whose text holds every word
// of text; at most limit.
QStringList goToCandidates(const QuestDocument &doc, const QString &text, int limit = 20);

// Every choice and battle key that leads to page, in page list order.
struct LinkHere
{
    QString from;
    LinkKind kind;
    QString key; // "Option One Destination Page", "BattleWin", ...
};
QList<LinkHere> linksHere(const StoryGraph &graph, const QString &page);

// The document's listed pages as input for the story graph.
QList<StoryPageInput> storyPagesOf(const QuestDocument &doc);
// One page of the document as input for the story graph.
StoryPageInput storyPageOf(const QuestDocument &doc, const QString &name);
// Whether key is one the story graph reads from a page.
bool isStoryGraphKey(const QString &key);

} // namespace fc::story
