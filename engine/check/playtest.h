#pragma once
// The playtester: plays many random games of a quest through the engine
// itself (the same Game the player uses, with no media), seeded so that every
// run can be repeated. Each game chooses uniformly among the choices offered;
// a battle is fought with the engine's real fight or escaped, as a player
// choosing uniformly between "Attack" and "Escape" at its start would.

#include <QList>
#include <QString>

#include <optional>

namespace fc::check {

struct PlaytestOptions
{
    int runs = 10000;
    quint32 seed = 1;
    // A game that has not ended after this many moves counts as a loop.
    int maxSteps = 1000;
    // Threads to share the runs over; 0 for one per processor.
    int threads = 0;
};

struct PlaytestReport
{
    struct PageCount
    {
        QString page;
        qint64 visits = 0; // presentations of the page, over all runs
        qint64 runs = 0;   // runs that reached it
    };
    struct ChoiceCount
    {
        QString page;
        int choice = 0; // 1..4
        qint64 taken = 0;
    };
    struct EndingCount
    {
        QString page;
        qint64 runs = 0;
        int minScore = 0, maxScore = 0;
    };
    struct BattleCount
    {
        QString page;
        qint64 won = 0, lost = 0, escaped = 0;
    };

    int runs = 0;
    quint32 seed = 0;
    int maxSteps = 0;
    QList<PageCount> pages;     // pages reached, sorted by page
    QList<ChoiceCount> choices; // choices taken, sorted by page and choice
    QStringList neverReached;   // pages no run reached
    QList<EndingCount> endings; // pages where runs ended (no choice offered), sorted by page
    std::optional<int> minScore, maxScore; // final scores of the runs that ended
    QList<BattleCount> battles; // battle pages where a fight opened
    qint64 loops = 0;           // runs stopped after maxSteps moves
    qint64 stuck = 0;           // runs that ended on a page whose choices were all hidden
    qint64 nowhere = 0;         // runs that ended on a destination that names no page
    QString error;
};

PlaytestReport playtestQuest(const QString &questFile, const PlaytestOptions &options = {});

} // namespace fc::check
