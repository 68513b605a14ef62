#include "engine/check/playtest.h"

#include "engine/check/checker.h"
#include "engine/check/quest_snapshot.h"
#include "engine/game.h"
#include "storage/quest_format.h"
#include "storage/user_folders.h"

#include <QFileInfo>
#include <QRandomGenerator>
#include <QThread>

#include <algorithm>
#include <cstdint>
#include <thread>
#include <vector>

namespace fc::check {

namespace {

std::uint64_t splitMix(std::uint64_t x)
{
    x += 0x9e3779b97f4a7c15ULL;
    x = (x ^ (x >> 30)) * 0xbf58476d1ce4e5b9ULL;
    x = (x ^ (x >> 27)) * 0x94d049bb133111ebULL;
    return x ^ (x >> 31);
}

// What a share of the runs saw, per page of the quest.
struct Tally
{
    explicit Tally(size_t n)
        : visits(n, 0), runsReaching(n, 0), taken(n * 4, 0), endRuns(n, 0), won(n, 0), lost(n, 0), escaped(n, 0),
          endMin(n, 0), endMax(n, 0), battled(n, 0)
    {
    }
    std::vector<qint64> visits, runsReaching, taken, endRuns, won, lost, escaped;
    std::vector<int> endMin, endMax;
    std::vector<std::uint8_t> battled;
    std::optional<int> minScore, maxScore;
    qint64 loops = 0, stuck = 0, nowhere = 0;

    void ending(int page, int score)
    {
        minScore = minScore ? std::min(*minScore, score) : score;
        maxScore = maxScore ? std::max(*maxScore, score) : score;
        if (page < 0)
            return;
        const size_t p = size_t(page);
        endMin[p] = endRuns[p] ? std::min(endMin[p], score) : score;
        endMax[p] = endRuns[p] ? std::max(endMax[p], score) : score;
        ++endRuns[p];
    }

    void merge(const Tally &o)
    {
        for (size_t p = 0; p < visits.size(); ++p) {
            visits[p] += o.visits[p];
            runsReaching[p] += o.runsReaching[p];
            won[p] += o.won[p];
            lost[p] += o.lost[p];
            escaped[p] += o.escaped[p];
            battled[p] |= o.battled[p];
            if (o.endRuns[p]) {
                endMin[p] = endRuns[p] ? std::min(endMin[p], o.endMin[p]) : o.endMin[p];
                endMax[p] = endRuns[p] ? std::max(endMax[p], o.endMax[p]) : o.endMax[p];
                endRuns[p] += o.endRuns[p];
            }
        }
        for (size_t k = 0; k < taken.size(); ++k)
            taken[k] += o.taken[k];
        if (o.minScore)
            minScore = minScore ? std::min(*minScore, *o.minScore) : *o.minScore;
        if (o.maxScore)
            maxScore = maxScore ? std::max(*maxScore, *o.maxScore) : *o.maxScore;
        loops += o.loops;
        stuck += o.stuck;
        nowhere += o.nowhere;
    }
};

// Plays runs first..last-1. Every run draws its own seeds from its number, so
// a run plays the same whichever share it falls in.
void playRuns(const QuestSnapshot &quest, const QString &path, const PlaytestOptions &options, int first, int last,
              Tally &tally)
{
    const QStringList &pages = quest.pages();
    const size_t n = size_t(pages.size());
    std::vector<std::uint8_t> hasChoices(n, 0);
    for (size_t p = 0; p < n; ++p)
        for (int i = 1; i <= quest::kOptionCount; ++i)
            hasChoices[p] = hasChoices[p] || !quest.read(pages[qsizetype(p)], quest::optionKey(i)).isEmpty();
    std::vector<int> seenInRun(n, -1);

    for (int run = first; run < last; ++run) {
        const std::uint64_t runSeed = splitMix((std::uint64_t(options.seed) << 32) ^ std::uint64_t(run));
        QRandomGenerator choose{quint32(runSeed)};
        const auto fightSeed = quint32(runSeed >> 32);

        GameScreen screen;
        Game game(screen, Ports{}, QFileInfo(path).absolutePath());
        game.setQuestReader([&quest](const QString &section, const QString &key) { return quest.read(section, key); });
        game.setSeed(fightSeed);
        int decided = -1; // 1 won, 0 lost
        QObject::connect(&game, &Game::fightDecided, [&decided](bool w) { decided = w ? 1 : 0; });

        auto visit = [&] {
            const int p = quest.pageIndex(screen.state().page());
            if (p < 0)
                return;
            ++tally.visits[size_t(p)];
            if (seenInRun[size_t(p)] != run) {
                seenInRun[size_t(p)] = run;
                ++tally.runsReaching[size_t(p)];
            }
        };
        screen.state().setQuestFile(path);
        game.pages().BeginQuest();
        game.pages().PlayTurn();
        visit();

        bool ended = false;
        for (int step = 0; step < options.maxSteps && !ended; ++step) {
            const int here = quest.pageIndex(screen.state().page());
            if (screen.view().battleBoxVisible()) {
                if (here >= 0)
                    tally.battled[size_t(here)] = 1;
                if (screen.battle().escapeEnabled() && choose.bounded(2) == 0) {
                    if (here >= 0)
                        ++tally.escaped[size_t(here)];
                    game.fight().clickEscape();
                } else {
                    decided = -1;
                    for (int blows = 0; decided < 0 && screen.view().battleBoxVisible() && blows < 100000; ++blows)
                        game.fight().clickAttack();
                    if (here >= 0 && decided >= 0)
                        ++(decided ? tally.won : tally.lost)[size_t(here)];
                }
                visit();
                continue;
            }
            int offered[4];
            int count = 0;
            for (int i = 0; i < 4; ++i)
                if (screen.state().option(i).visible())
                    offered[count++] = i;
            if (count == 0) {
                ended = true;
                if (here < 0)
                    ++tally.nowhere;
                else if (hasChoices[size_t(here)])
                    ++tally.stuck;
                else
                    tally.ending(here, screen.state().score().toInt());
                break;
            }
            const int pick = offered[choose.bounded(count)];
            if (here >= 0)
                ++tally.taken[size_t(here) * 4 + size_t(pick)];
            game.pages().selectOption(pick);
            game.pages().PlayTurn();
            visit();
        }
        if (!ended)
            ++tally.loops;
    }
}

} // namespace

PlaytestReport playtestQuest(const QString &questFile, const PlaytestOptions &options)
{
    PlaytestReport report;
    report.runs = std::max(0, options.runs);
    report.seed = options.seed;
    report.maxSteps = options.maxSteps;
    const QString path = QFileInfo(ResolveIniPath(questFile)).absoluteFilePath();

    // The runs are shared out over the processors; each share reads its own
    // snapshot of the quest.
    const int threads = options.threads > 0 ? options.threads : QThread::idealThreadCount();
    const int shares = std::clamp(std::min(threads, report.runs / 256), 1, 64);
    std::vector<QuestSnapshot> quests(static_cast<size_t>(shares));
    for (QuestSnapshot &q : quests) {
        QString error;
        q.setCaching(true);
        if (!q.load(path, &error)) {
            report.error = QStringLiteral("cannot read %1: %2").arg(questFile, error);
            return report;
        }
    }
    const QStringList &pages = quests.front().pages();
    const size_t n = size_t(pages.size());
    std::vector<Tally> tallies(static_cast<size_t>(shares), Tally(n));
    {
        std::vector<std::thread> threads;
        for (int k = 1; k < shares; ++k)
            threads.emplace_back([&, k] {
                playRuns(quests[size_t(k)], path, options, int(qint64(report.runs) * k / shares),
                         int(qint64(report.runs) * (k + 1) / shares), tallies[size_t(k)]);
            });
        playRuns(quests.front(), path, options, 0, int(qint64(report.runs) / shares), tallies.front());
        for (std::thread &t : threads)
            t.join();
    }
    Tally &all = tallies.front();
    for (int k = 1; k < shares; ++k)
        all.merge(tallies[size_t(k)]);

    report.minScore = all.minScore;
    report.maxScore = all.maxScore;
    report.loops = all.loops;
    report.stuck = all.stuck;
    report.nowhere = all.nowhere;
    std::vector<size_t> order(n);
    for (size_t p = 0; p < n; ++p)
        order[p] = p;
    std::sort(order.begin(), order.end(),
              [&](size_t a, size_t b) { return pageNameLess(pages[qsizetype(a)], pages[qsizetype(b)]); });
    for (size_t p : order) {
        const QString &name = pages[qsizetype(p)];
        if (all.visits[p])
            report.pages.append({name, all.visits[p], all.runsReaching[p]});
        else
            report.neverReached.append(name);
        for (int i = 0; i < 4; ++i)
            if (all.taken[p * 4 + size_t(i)])
                report.choices.append({name, i + 1, all.taken[p * 4 + size_t(i)]});
        if (all.endRuns[p])
            report.endings.append({name, all.endRuns[p], all.endMin[p], all.endMax[p]});
        if (all.battled[p])
            report.battles.append({name, all.won[p], all.lost[p], all.escaped[p]});
    }
    return report;
}

} // namespace fc::check
