// The order of the checker's phases: reading the pages, exploring the
// states, their strongly connected parts and score ranges, the checks and
// findings, and the trail that spells out the findings' steps.
#include "engine/check/checker.h"

#include "engine/check/dead_ends.h"
#include "engine/check/findings.h"
#include "engine/check/quest_pages.h"
#include "engine/check/quest_snapshot.h"
#include "engine/check/reach.h"
#include "engine/check/score_ranges.h"
#include "engine/check/score_table.h"
#include "engine/check/state_graph.h"
#include "engine/check/static_checks.h"
#include "engine/check/step_trail.h"
#include "engine/check/strong_parts.h"
#include "storage/quest_format.h"

#include <QElapsedTimer>

#include <cstdio>
#include <memory>

namespace fc::check {

namespace detail {

namespace {

// Milliseconds each phase took, written to stderr when
// FABLECRAFT_CHECK_TIMING is set.
struct PhaseTimes
{
    qint64 found = 0, renumbered = 0, analysed = 0;
    qint64 parts = 0, scores = 0, deadEnds = 0, steps = 0;

    void print() const
    {
        if (!qEnvironmentVariableIsSet("FABLECRAFT_CHECK_TIMING"))
            return;
        fprintf(stderr,
                "explore %lld ms, renumber %lld ms, analyse %lld ms (parts %lld ms, scores %lld ms, dead ends %lld ms, "
                "steps %lld ms)\n",
                found, renumbered - found, analysed - renumbered, parts, scores, deadEnds, steps);
    }
};

// One check of one quest: runs the phases in turn, each handing its results
// to the next, and lets each result go once no later phase needs it.
class QuestCheck
{
public:
    QuestCheck(std::shared_ptr<const QuestSnapshot> snapshot, const CheckOptions &options)
        : m_snapshot(std::move(snapshot))
        , m_options(options)
        , m_quest(readQuestPages(*m_snapshot))
        , m_graph(m_quest)
        , m_findings(m_snapshot->pages())
    {
    }

    CheckReport run();

private:
    ScoreRanges analyse();
    std::shared_ptr<StepTrail> makeTrail(ScoreRanges ranges);
    CheckReport finish();

    std::shared_ptr<const QuestSnapshot> m_snapshot;
    CheckOptions m_options;
    QuestPages m_quest;
    StateGraph m_graph;
    FindingList m_findings;
    CheckReport m_report;
    PhaseTimes m_times;
};

CheckReport QuestCheck::run()
{
    if (m_snapshot->pageIndex(quest::kFirstPage) < 0)
        m_findings.addUnplaced({QStringLiteral("broken-destination"), QString(quest::kFirstPage), QString(),
                                QStringLiteral("the quest has no page \"1\", where every game starts"), {}});
    if (m_quest.itemBits.size() > kMaxTrackedItems) {
        m_report.error = QStringLiteral("%1 key items decide what choices offer; at most %2 can be checked")
                             .arg(m_quest.itemBits.size())
                             .arg(kMaxTrackedItems);
        return finish();
    }
    QElapsedTimer clock;
    clock.start();
    if (!m_graph.explore(m_snapshot->pageIndex(quest::kFirstPage), m_options.maxStates, m_options.maxIndexEntries,
                         m_report.error))
        return finish();
    m_report.states = m_graph.size();
    m_times.found = clock.elapsed();
    m_graph.renumber();
    m_graph.dropIndex();
    m_times.renumbered = clock.elapsed();
    ScoreRanges ranges = analyse();
    QElapsedTimer steps;
    steps.start();
    m_report.findings = m_findings.take(makeTrail(std::move(ranges)));
    m_times.steps = steps.elapsed();
    m_times.analysed = clock.elapsed();
    m_times.print();
    return std::move(m_report);
}

// Everything that needs the state graph's moves: the findings in their
// order, and the endings; returns the score ranges.
ScoreRanges QuestCheck::analyse()
{
    const FirstStates first = findFirstStates(m_graph, m_quest);
    QElapsedTimer clock;
    clock.start();
    const ScoreTable scores(m_quest.pages);
    const StrongParts parts = findStrongParts(m_graph, scores);
    m_times.parts = clock.restart();
    ScoreRanges ranges = findScoreRanges(m_graph, parts, scores, m_quest, m_findings);
    m_times.scores = clock.restart();
    checkAsWritten(*m_snapshot, m_quest, first, m_options, m_findings);
    reachFindings(first, m_graph, m_quest, m_findings);
    clock.restart();
    findDeadEnds(m_graph, parts, m_quest, first, m_findings);
    m_times.deadEnds = clock.elapsed();
    keyItemFindings(first, m_quest, m_findings);
    m_report.endings = collectEndings(first, m_graph, m_quest, ranges);
    return ranges;
}

// Hands the links between the states to the trail of the findings' steps
// and lets the rest go; nullptr when no finding has steps. The score ranges'
// storage takes the distances and the heads: memory given back here is
// seldom returned to the system.
std::shared_ptr<StepTrail> QuestCheck::makeTrail(ScoreRanges ranges)
{
    ranges.unbounded = {};
    auto trail = std::make_shared<StepTrail>();
    StepTrail &t = *trail;
    m_graph.handOver(t);
    t.quest = m_snapshot;
    t.lootBit.resize(m_quest.moves.size());
    for (size_t p = 0; p < m_quest.moves.size(); ++p)
        t.lootBit[p] = m_quest.moves[p].lootBit;
    t.itemBits = m_quest.itemBits;
    t.fightSeeds = m_options.fightSeeds;
    t.fightReplays = m_options.fightReplays;
    m_quest.moves = {};
    m_quest.pages = {};
    if (!m_findings.anyState())
        return nullptr; // no finding has steps: nothing to keep
    t.depth = std::move(ranges.lo);
    t.head = std::move(ranges.hi);
    t.finish();
    return trail;
}

// The report of a check stopped early: the findings so far, without steps.
CheckReport QuestCheck::finish()
{
    m_report.findings = m_findings.take(nullptr);
    return std::move(m_report);
}

} // namespace

} // namespace detail

CheckReport checkQuest(const QString &questFile, const CheckOptions &options)
{
    auto quest = std::make_shared<QuestSnapshot>();
    QString error;
    if (!quest->load(questFile, &error)) {
        CheckReport r;
        r.error = QStringLiteral("cannot read %1: %2").arg(questFile, error);
        return r;
    }
    return detail::QuestCheck(std::move(quest), options).run();
}

} // namespace fc::check
