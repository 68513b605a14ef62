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

// Plays the runs of one share into its tally. Every run draws its own seeds
// from its number, so a run plays the same whichever share it falls in.
class RunPlayer
{
public:
    // hasChoices: per page, whether it names a choice.
    RunPlayer(const QuestSnapshot &quest, const QString &path, const PlaytestOptions &options,
              const std::vector<std::uint8_t> &hasChoices, Tally &tally)
        : m_quest(quest), m_path(path), m_options(options), m_hasChoices(hasChoices), m_tally(tally),
          m_seenInRun(hasChoices.size(), -1)
    {
    }

    void play(int run)
    {
        const std::uint64_t runSeed = splitMix((std::uint64_t(m_options.seed) << 32) ^ std::uint64_t(run));
        QRandomGenerator choose{quint32(runSeed)};

        GameScreen screen;
        Game game(screen, Ports{}, QFileInfo(m_path).absolutePath());
        game.setQuestReader([this](const QString &section, const QString &key) { return m_quest.read(section, key); });
        game.setSeed(quint32(runSeed >> 32));
        int decided = -1; // 1 won, 0 lost
        QObject::connect(&game, &Game::fightDecided, [&decided](bool w) { decided = w ? 1 : 0; });

        screen.state().setQuestFile(m_path);
        game.pages().BeginQuest();
        game.pages().PlayTurn();
        visit(screen, run);

        for (int step = 0; step < m_options.maxSteps; ++step) {
            const int here = m_quest.pageIndex(screen.state().page());
            if (screen.view().battleBoxVisible()) {
                fight(game, here, choose, decided);
            } else if (!takeChoice(game, here, choose)) {
                end(screen, here);
                return;
            }
            visit(screen, run);
        }
        ++m_tally.loops;
    }

private:
    void visit(const GameScreen &screen, int run)
    {
        const int p = m_quest.pageIndex(screen.state().page());
        if (p < 0)
            return;
        ++m_tally.visits[size_t(p)];
        if (m_seenInRun[size_t(p)] != run) {
            m_seenInRun[size_t(p)] = run;
            ++m_tally.runsReaching[size_t(p)];
        }
    }

    // Escapes at random when the fight allows it, else attacks until the fight
    // is decided.
    void fight(Game &game, int here, QRandomGenerator &choose, int &decided)
    {
        const GameScreen &screen = game.screen();
        if (here >= 0)
            m_tally.battled[size_t(here)] = 1;
        if (screen.battle().escapeEnabled() && choose.bounded(2) == 0) {
            if (here >= 0)
                ++m_tally.escaped[size_t(here)];
            game.fight().clickEscape();
            return;
        }
        decided = -1;
        for (int blows = 0; decided < 0 && screen.view().battleBoxVisible() && blows < 100000; ++blows)
            game.fight().clickAttack();
        if (here >= 0 && decided >= 0)
            ++(decided ? m_tally.won : m_tally.lost)[size_t(here)];
    }

    // Takes one of the offered choices at random; false when none is offered.
    bool takeChoice(Game &game, int here, QRandomGenerator &choose)
    {
        int offered[4];
        int count = 0;
        for (int i = 0; i < 4; ++i)
            if (game.screen().state().option(i).visible())
                offered[count++] = i;
        if (count == 0)
            return false;
        const int pick = offered[choose.bounded(count)];
        if (here >= 0)
            ++m_tally.taken[size_t(here) * 4 + size_t(pick)];
        game.pages().selectOption(pick);
        game.pages().PlayTurn();
        return true;
    }

    // The run stopped where nothing is offered: an ending, or a page whose
    // choices are all hidden, or no page at all.
    void end(const GameScreen &screen, int here)
    {
        if (here < 0)
            ++m_tally.nowhere;
        else if (m_hasChoices[size_t(here)])
            ++m_tally.stuck;
        else
            m_tally.ending(here, screen.state().score().toInt());
    }

    const QuestSnapshot &m_quest;
    const QString &m_path;
    const PlaytestOptions &m_options;
    const std::vector<std::uint8_t> &m_hasChoices;
    Tally &m_tally;
    std::vector<int> m_seenInRun;
};

// Per page, whether it names a choice (a page that offers none then is not
// an ending).
std::vector<std::uint8_t> pagesWithChoices(const QuestSnapshot &quest)
{
    const QStringList &pages = quest.pages();
    std::vector<std::uint8_t> has(size_t(pages.size()), 0);
    for (size_t p = 0; p < has.size(); ++p)
        for (int i = 1; i <= quest::kOptionCount && !has[p]; ++i)
            has[p] = !quest.read(pages[qsizetype(p)], quest::optionKey(i)).isEmpty();
    return has;
}

// Plays runs first..last-1.
void playRuns(const QuestSnapshot &quest, const QString &path, const PlaytestOptions &options,
              const std::vector<std::uint8_t> &hasChoices, int first, int last, Tally &tally)
{
    RunPlayer player(quest, path, options, hasChoices, tally);
    for (int run = first; run < last; ++run)
        player.play(run);
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
    const std::vector<std::uint8_t> hasChoices = pagesWithChoices(quests.front());
    {
        std::vector<std::thread> threads;
        for (int k = 1; k < shares; ++k)
            threads.emplace_back([&, k] {
                playRuns(quests[size_t(k)], path, options, hasChoices, int(qint64(report.runs) * k / shares),
                         int(qint64(report.runs) * (k + 1) / shares), tallies[size_t(k)]);
            });
        playRuns(quests.front(), path, options, hasChoices, 0, int(qint64(report.runs) / shares), tallies.front());
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
              [&](size_t a, size_t b) { return quest::pageNameLess(pages[qsizetype(a)], pages[qsizetype(b)]); });
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
