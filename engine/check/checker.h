#pragma once
// The quest checker: explores, from the start of a quest, every state a
// player can reach, and reports what an author needs to fix, each finding
// with the shortest list of play steps that shows it.
//
// A state is the page, the key items held that change what some choice
// offers, and where the page's battle stands: open, or over with the player
// still on the battle page (when its win or lose page is empty). Moves follow
// the engine's own rules (engine/rules.h): the choices a presented page
// offers, what a choice gives and where it leads, a fight that can be won or
// lost, escape where allowed. Choices are not taken while a fight is open.
// The score is tracked as a range per state, not as part of the state.


#include <QList>
#include <QString>
#include <QStringList>

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>

namespace fc::check {

namespace detail {
struct StepTrail;
}

// The steps of `fablecraft-cli play` from the start of a game to a state.
// They are not kept as text: the report keeps, for every state explored, the
// move that first reached it (a few bytes a state), and the steps are spelt
// out from those links each time they are asked for. A path through a fight
// is played again with the fight's seeds to spell out its attacks.
class Steps
{
public:
    Steps() = default;
    Steps(std::shared_ptr<const detail::StepTrail> trail, std::int32_t state);

    bool isEmpty() const;
    qsizetype size() const;
    QStringList toList() const;
    QString join(QChar separator) const;
    // Each step in order, without building the whole list where it need not.
    void forEach(const std::function<void(const QString &)> &step) const;
    // The first and the last n steps; quick on long paths for n up to
    // kQuickEnds.
    QStringList first(qsizetype n) const;
    QStringList last(qsizetype n) const;
    static constexpr qsizetype kQuickEnds = 10;
    // The steps joined by blanks, for reading: a list of more than
    // kBriefSteps shows its first and last kQuickEnds steps with
    // "… N steps …" for the N between.
    QString brief() const;
    static constexpr qsizetype kBriefSteps = 50;

    bool operator==(const QStringList &list) const { return toList() == list; }

private:
    std::shared_ptr<const detail::StepTrail> m_trail;
    std::int32_t m_state = -1;
};

// Kinds of findings, in the order reports group them.
inline constexpr const char *kFindingKinds[] = {
    "broken-destination", "unreachable-page",    "never-offered",      "soft-lock",       "no-way-out",
    "battle-never-opened", "item-never-required", "item-never-added", "missing-media", "suspicious-value",
};

struct Finding
{
    QString kind;    // one of kFindingKinds
    QString page;    // the page section's name ("" for the quest as a whole)
    QString key;     // the key concerned, or ""
    QString message; // one line
    // Steps of `fablecraft-cli play` from the start that reach the state the
    // finding shows; empty where no path applies.
    Steps steps;
};

// A page without choices and what reaches it.
struct Ending
{
    QString page;
    qint64 states = 0;            // reachable states that end there
    // Lowest and highest score there; nothing on a side where a loop that
    // changes the score makes it unbounded.
    std::optional<int> minScore;
    std::optional<int> maxScore;
};

struct CheckReport
{
    QList<Finding> findings; // grouped by kind (kFindingKinds order), sorted by page
    QList<Ending> endings;   // sorted by page
    qint64 states = 0;       // reachable states explored
    QString error;           // the quest could not be checked at all (unreadable file, too big)
    bool needsFixing() const { return !findings.isEmpty(); }
};

struct CheckOptions
{
    // Exploration stops (with an error) beyond this many states.
    qint64 maxStates = 8'000'000;
    // ... and beyond this many entries of its index of states, which finds a
    // state through a block of neighbouring pages: states scattered thinly
    // over many pages and sets of items cost memory for empty entries too.
    qint64 maxIndexEntries = 64'000'000;
    // Seeds tried per fight on a path that needs the fight to end one way,
    // and the most games played to find them in one check.
    int fightSeeds = 16;
    int fightReplays = 4000;
    // The quest file whose folder relative media names are looked for in
    // (the file an author loaded, when a copy of it is checked); empty: the
    // checked file's own folder.
    QString mediaBeside;
};

CheckReport checkQuest(const QString &questFile, const CheckOptions &options = {});

} // namespace fc::check
