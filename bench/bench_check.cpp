// The quest checker on generated quests of 20,000 pages with 8 key items, on
// long lines of pages with a finding on every page, and the playtester on the
// default adventure.
//
//   bench_check --benchmark_filter=Check/...   one benchmark per run gives a
//                                              true peak memory figure
//
// Counters: states explored, findings, peak resident memory of the process,
// CPU time of the whole process per check (the time column is wall time).
// Baselines: reading every page key of the quest once (what any checker must
// do), and the playtest on one thread.
#include "engine/check/checker.h"
#include "engine/check/playtest.h"
#include "engine/check/quest_snapshot.h"
#include "storage/quest_format.h"

#include <QCoreApplication>
#include <QFile>
#include <QRandomGenerator>
#include <QStorageInfo>
#include <QDir>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>

#include <cstdio>

#include <sys/resource.h>

namespace {

constexpr int kPages = 20000;
constexpr int kItems = 8;

double peakMegabytes()
{
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return double(u.ru_maxrss) / 1024.0;
}

// User and system time of the whole process, every thread counted.
double processCpuMs()
{
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    auto ms = [](const timeval &t) { return double(t.tv_sec) * 1000.0 + double(t.tv_usec) / 1000.0; };
    return ms(u.ru_utime) + ms(u.ru_stime);
}

// A quest of kPages pages in eight chapters. Each page goes on to the next
// page, jumps ahead a little, or turns back a little; some pages give one of
// kItems key items, others offer a choice only to a player holding one; every
// hundredth page is a battle (won, lost or escaped; no choices) whose monster
// sometimes leaves an item. The last
// ten pages are endings.
// chapters: true keeps a player inside a chapter once entered (turning back
// stops at its first page) and gives item k only in chapter k, so items are
// gathered along the way. false lets the player walk back to page 1 and gives
// and asks for every item anywhere: any set of items can be held on almost
// every page, the worst case for the number of states (20,000 x 256).
QString writeQuest(const QString &dir, bool chapters)
{
    QRandomGenerator rng(2024);
    QByteArray text = "[Story Info]\r\nTitle=Generated\r\nAuthor=Bench\r\nVersion=1\r\n";
    const char *words[] = {"One", "Two", "Three", "Four"};
    auto choice = [&](int i, const QByteArray &caption, int dest, int score) {
        const QByteArray w = words[i - 1];
        text += "Option " + w + "=" + caption + "\r\nOption " + w + " Destination Page=" + QByteArray::number(dest)
                + "\r\nOption " + w + " Score=" + (score >= 0 ? "+" : "") + QByteArray::number(score) + "\r\n";
    };
    for (int p = 1; p <= kPages; ++p) {
        const QByteArray n = QByteArray::number(p);
        text += "[" + n + "]\r\nLocation=Room " + n + "\r\nPage Text=You stand in room " + n
                + ". Dust drifts in the light from a narrow window.\r\n";
        if (p > kPages - 10)
            continue; // an ending
        const int chapter = (p - 1) * kItems / kPages;
        const int first = chapters ? chapter * kPages / kItems + 1 : 1;
        const int ahead = int(rng.bounded(40));
        const int score = int(rng.bounded(5)) - 2;
        const int back = int(rng.bounded(30));
        if (p % 100 == 50) {
            text += "Battle=1\r\nBattleMonName=Rat\r\nBattleMonHp=10\r\nBattleWin=" + QByteArray::number(p + 1)
                    + "\r\nBattleLose=" + QByteArray::number(std::max(first, p - 20)) + "\r\nBattleEscape="
                    + QByteArray::number(p + 2) + "\r\n";
            if (p % 200 == 50)
                text += "BattleMonKeyItem=Item "
                        + QByteArray::number(chapters ? chapter : int(rng.bounded(kItems))) + "\r\n";
            continue; // the fight decides where the player goes
        }
        choice(1, "Walk on", p + 1, 1);
        choice(2, "Run ahead", std::min(kPages, p + 2 + ahead), score);
        choice(3, "Turn back", std::max(first, p - 1 - back), 0);
        if (p % 50 == 7) {
            const int item = chapters ? chapter : int(rng.bounded(kItems));
            choice(4, "Pick it up", p + 1, 2);
            text += "Add4=1\r\nKey Item4=Item " + QByteArray::number(item) + "\r\n";
        } else if (p % 37 == 11) {
            const int item = int(rng.bounded(chapters ? quint32(chapter + 1) : quint32(kItems)));
            const int jump = int(rng.bounded(60));
            choice(4, "Use it", std::min(kPages, p + 5 + jump), 5);
            text += "Required4=1\r\nKey Item4=Item " + QByteArray::number(item) + "\r\n";
        }
    }
    const QString path = dir + (chapters ? QStringLiteral("/chapters.qst") : QStringLiteral("/anywhere.qst"));
    QFile f(path);
    f.open(QIODevice::WriteOnly);
    f.write(text);
    return path;
}

void BM_Check(benchmark::State &state)
{
    QTemporaryDir dir;
    // FABLECRAFT_BENCH_KEEP=1 keeps the generated quests for a look.
    dir.setAutoRemove(qEnvironmentVariableIsEmpty("FABLECRAFT_BENCH_KEEP"));
    const QString quest = writeQuest(dir.path(), state.range(0) == 0);
    if (!dir.autoRemove())
        fprintf(stderr, "quest: %s\n", qPrintable(quest));
    fc::check::CheckReport r;
    const double cpuBefore = processCpuMs();
    for (auto _ : state) {
        r = {}; // the peak is that of one check
        r = fc::check::checkQuest(quest);
        benchmark::DoNotOptimize(r.states);
    }
    state.counters["process_cpu_ms"] = (processCpuMs() - cpuBefore) / double(state.iterations());
    state.SetLabel(state.range(0) == 0 ? "chapters: items gathered along the way" : "any item anywhere, walk back anywhere");
    state.counters["states"] = double(r.states);
    state.counters["findings"] = double(r.findings.size());
    state.counters["peak_MB"] = peakMegabytes();
    if (!r.error.isEmpty())
        state.SkipWithError(r.error.toUtf8().constData());
}
// Wall time: big quests are checked on two threads.
BENCHMARK(BM_Check)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime();

// A line of pages, each leading on to the next. kind 0: nothing else (no
// findings); 1: each page also has a choice whose destination names no page
// (a finding per page, its steps as long as the way there); 2: going on adds
// 1 to the score.
QString writeLine(const QString &dir, int pages, int kind)
{
    const QString path = dir + QStringLiteral("/line-%1-%2.qst").arg(pages).arg(kind);
    QFile f(path);
    f.open(QIODevice::WriteOnly);
    QByteArray text = "[Story Info]\r\nTitle=Line\r\n";
    for (int p = 1; p <= pages; ++p) {
        const QByteArray n = QByteArray::number(p);
        text += "[" + n + "]\r\nPage Text=Room " + n + ".\r\n";
        if (p < pages) {
            text += "Option One=On\r\nOption One Destination Page=" + QByteArray::number(p + 1) + "\r\n";
            if (kind == 1)
                text += "Option Two=Astray\r\nOption Two Destination Page=x" + n + "\r\n";
            else if (kind == 2)
                text += "Option One Score=+1\r\n";
        }
        if (text.size() > (1 << 20)) {
            f.write(text);
            text.clear();
        }
    }
    f.write(text);
    return path;
}

// The check and the report's steps as the text form prints them (the first
// and last ten of a long list). Run one case per process for its peak memory:
//   bench_check --benchmark_filter='CheckLine/1000000/1/'
void BM_CheckLine(benchmark::State &state)
{
    QTemporaryDir dir;
    const QString quest = writeLine(dir.path(), int(state.range(0)), int(state.range(1)));
    fc::check::CheckReport r;
    qint64 steps = 0;
    for (auto _ : state) {
        r = fc::check::checkQuest(quest);
        for (const fc::check::Finding &f : r.findings) {
            steps += f.steps.size();
            benchmark::DoNotOptimize(f.steps.first(10));
            benchmark::DoNotOptimize(f.steps.last(10));
        }
    }
    state.SetLabel(state.range(1) == 0   ? "line"
                   : state.range(1) == 1 ? "line, a broken choice on every page"
                                         : "line, +1 to the score on every page");
    state.counters["states"] = double(r.states);
    state.counters["findings"] = double(r.findings.size());
    state.counters["steps"] = double(steps) / double(state.iterations());
    state.counters["peak_MB"] = peakMegabytes();
    if (!r.error.isEmpty())
        state.SkipWithError(r.error.toUtf8().constData());
}
BENCHMARK(BM_CheckLine)
    ->Args({10000, 0})
    ->Args({10000, 1})
    ->Args({40000, 2})
    ->Args({1000000, 0})
    ->Args({1000000, 1})
    ->Unit(benchmark::kMillisecond)
    ->Iterations(1)
    ->UseRealTime();

// Writing the generated quests only, for a look with fablecraft-cli.
void BM_WriteQuest(benchmark::State &state)
{
    QTemporaryDir dir;
    dir.setAutoRemove(qEnvironmentVariableIsEmpty("FABLECRAFT_BENCH_KEEP"));
    for (auto _ : state)
        benchmark::DoNotOptimize(writeQuest(dir.path(), state.range(0) == 0));
    if (!dir.autoRemove())
        fprintf(stderr, "quests in: %s\n", qPrintable(dir.path()));
}
BENCHMARK(BM_WriteQuest)->Arg(0)->Arg(1)->Iterations(1);

// Baseline: every page key read once from a snapshot of the same file.
void BM_ReadEveryPageKey(benchmark::State &state)
{
    QTemporaryDir dir;
    const QString quest = writeQuest(dir.path(), true);
    qint64 chars = 0;
    for (auto _ : state) {
        fc::check::QuestSnapshot s;
        s.load(quest);
        for (const QString &page : s.pages()) {
            for (int i = 1; i <= fc::quest::kOptionCount; ++i)
                for (const QString &key : {fc::quest::optionKey(i), fc::quest::destinationKey(i), fc::quest::scoreKey(i),
                                           fc::quest::keyItemKey(i), fc::quest::addKey(i), fc::quest::requiredKey(i)})
                    chars += s.read(page, key).size();
            chars += s.read(page, fc::quest::kPageText).size();
        }
    }
    benchmark::DoNotOptimize(chars);
    state.counters["peak_MB"] = peakMegabytes();
}
BENCHMARK(BM_ReadEveryPageKey)->Unit(benchmark::kMillisecond)->Iterations(3);

void BM_CheckDefaultAdventure(benchmark::State &state)
{
    const QString quest = QStringLiteral(FABLECRAFT_SOURCE_DIR "/data/VellumAdventure.qst");
    fc::check::CheckReport r;
    for (auto _ : state)
        r = fc::check::checkQuest(quest);
    state.counters["states"] = double(r.states);
}
BENCHMARK(BM_CheckDefaultAdventure)->Unit(benchmark::kMillisecond);

// 10,000 playtest runs of the default adventure; threads 0 = one per
// processor, 1 = the single-thread baseline.
void BM_PlaytestDefaultAdventure(benchmark::State &state)
{
    fc::check::PlaytestOptions o;
    o.runs = 10000;
    o.threads = int(state.range(0));
    const QString quest = QStringLiteral(FABLECRAFT_SOURCE_DIR "/data/VellumAdventure.qst");
    fc::check::PlaytestReport r;
    for (auto _ : state)
        r = fc::check::playtestQuest(quest, o);
    state.counters["runs"] = r.runs;
    state.counters["peak_MB"] = peakMegabytes();
}
BENCHMARK(BM_PlaytestDefaultAdventure)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime();

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    // The generated quests are written to, and read back from, this disk.
    const QStorageInfo disk(QDir::tempPath());
    std::printf("Generated quests in %s: device %s, file system %s\n", qPrintable(QDir::tempPath()),
                disk.device().constData(), disk.fileSystemType().constData());
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
