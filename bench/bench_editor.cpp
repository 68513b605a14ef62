// Quest editor speed on generated working copies of 1,000 and 20,000 pages:
// loading a quest, selecting a page, a keystroke in the page text (time on
// the user-interface thread), how far the file lags behind the screen while
// typing, "Test Game" to the first page shown, undo and redo of one step
// (typing, and a Delete of a page), and the memory of the document and of
// 1,000 typing steps. The same page selection
// and keystroke are also run the plain way (every changed field written at
// once with one synchronous whole-file write) on the same file. Prints
// medians, worst cases, ratios and the disk at the end.
//
// Run from a folder on the disk to measure: the working copy and quests are
// created in a temporary folder under the current directory.
#include "editor/editor.h"
#include "engine/game.h"
#include "engine/recording_ports.h"
#include "storage/profile_store.h"
#include "storage/quest_format.h"
#include "storage/user_folders.h"

#include "bench/generated_quest.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QUndoStack>
#include <QFile>
#include <QStorageInfo>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <map>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include <malloc.h>

namespace {

using Clock = std::chrono::steady_clock;
using fc::Editor;
using fc::WorkingCopy;

QTemporaryDir *g_dir = nullptr;
struct Figures
{
    double median = 0, worst = 0;
};
std::map<std::string, Figures> g_figures; // by "name/pages", in ms
struct Memory
{
    double file, document, documentOwn, steps; // MB
};
std::map<int, Memory> g_memory; // by pages

QString questPath(int pages) { return g_dir->filePath(QStringLiteral("quest%1.qst").arg(pages)); }

QByteArray generateQuest(int pages) { return fc::bench::generateQuest(pages, fc::bench::QuestMix::Varied); }

double ms(Clock::duration d) { return std::chrono::duration<double, std::milli>(d).count(); }

void record(benchmark::State &state, const char *name, std::vector<double> samples)
{
    if (samples.empty())
        return;
    std::sort(samples.begin(), samples.end());
    Figures f{samples[samples.size() / 2], samples.back()};
    state.counters[std::string(name) + "_median_ms"] = f.median;
    state.counters[std::string(name) + "_worst_ms"] = f.worst;
    g_figures[std::string(name) + "/" + std::to_string(state.range(0))] = f;
}

// An editor on recording ports with a game screen for "Test Game".
struct Rig
{
    explicit Rig(WorkingCopy::Mode mode = WorkingCopy::Mode::Background)
        : wc(QStringLiteral("tmpquest.ini"), mode)
        , game(screen, ports.ports(), g_dir->path())
        , editor(state, wc, ports.ports(), g_dir->path())
    {
        editor.setGame(&game);
        editor.show();
    }
    void load(int pages)
    {
        ports.files.names = {questPath(pages)};
        editor.menuLoad();
        ports.files.names.clear();
    }
    fc::RecordingPortSet ports;
    fc::EditorState state;
    WorkingCopy wc;
    fc::GameScreen screen;
    fc::Game game;
    Editor editor;
};

const QString kCq = QStringLiteral("createquest");

void BM_LoadQuest(benchmark::State &state)
{
    std::vector<double> samples;
    for (auto _ : state) {
        state.PauseTiming();
        auto rig = std::make_unique<Rig>();
        state.ResumeTiming();
        const auto t0 = Clock::now();
        rig->load(int(state.range(0)));
        samples.push_back(ms(Clock::now() - t0));
        state.PauseTiming();
        rig.reset();
        state.ResumeTiming();
    }
    record(state, "load", samples);
}

void BM_SelectPage(benchmark::State &state)
{
    const int pages = int(state.range(0));
    Rig rig;
    rig.load(pages);
    rig.editor.click(kCq, QStringLiteral("Check9")); // the battle dialog is open beside
    rig.editor.click(kCq, QStringLiteral("Command7"));
    if (!rig.wc.flush())
        std::abort();
    std::vector<double> samples;
    int i = 0;
    for (auto _ : state) {
        const int index = int((quint64(++i) * 7919) % quint64(pages));
        const auto t0 = Clock::now();
        rig.editor.selectPage(index);
        samples.push_back(ms(Clock::now() - t0));
    }
    record(state, "select", samples);
}

// A page selected right after a keystroke, while its write may be on its way
// to the disk (the worst case of a selection).
void BM_SelectAfterKeystroke(benchmark::State &state)
{
    const int pages = int(state.range(0));
    Rig rig;
    rig.load(pages);
    std::vector<double> samples;
    int i = 0;
    for (auto _ : state) {
        state.PauseTiming();
        rig.editor.setText(kCq, QStringLiteral("Text19"), QStringLiteral("Room %1").arg(i));
        std::this_thread::sleep_for(std::chrono::milliseconds(30)); // the write has started
        state.ResumeTiming();
        const int index = int((quint64(++i) * 7919) % quint64(pages));
        const auto t0 = Clock::now();
        rig.editor.selectPage(index);
        samples.push_back(ms(Clock::now() - t0));
    }
    record(state, "select-after-key", samples);
}

// Keystrokes at typing speed (one every 40 ms) in the page text: time on the
// user-interface thread, and the time until the file holds the keystroke.
void BM_Keystroke(benchmark::State &state)
{
    const int pages = int(state.range(0));
    Rig rig;
    rig.load(pages);
    rig.editor.selectPage(pages / 2);
    if (!rig.wc.flush())
        std::abort();
    std::vector<double> samples, lags;
    struct Open
    {
        quint64 generation;
        Clock::time_point at;
    };
    std::vector<Open> open;
    auto settle = [&](Clock::time_point until) {
        do {
            const quint64 onDisk = rig.wc.writesOnDisk();
            const auto now = Clock::now();
            while (!open.empty() && open.front().generation <= onDisk) {
                lags.push_back(ms(now - open.front().at));
                open.erase(open.begin());
            }
            if (now >= until)
                break;
            std::this_thread::sleep_for(std::chrono::microseconds(250));
        } while (true);
    };
    QString text = rig.state.text(kCq, QStringLiteral("Text1")).left(900);
    for (auto _ : state) {
        text += QLatin1Char('a' + char(samples.size() % 26));
        if (text.size() >= 1000)
            text = text.left(900);
        const auto t0 = Clock::now();
        rig.editor.setText(kCq, QStringLiteral("Text1"), text);
        const auto t1 = Clock::now();
        samples.push_back(ms(t1 - t0));
        open.push_back({rig.wc.lastWrite(), t1});
        state.PauseTiming();
        settle(t1 + std::chrono::milliseconds(40));
        state.ResumeTiming();
    }
    settle(Clock::now() + std::chrono::seconds(3));
    record(state, "keystroke", samples);
    record(state, "lag", lags);
}

void BM_TestGame(benchmark::State &state)
{
    const int pages = int(state.range(0));
    Rig rig;
    rig.load(pages);
    std::vector<double> samples;
    for (auto _ : state) {
        rig.editor.setText(kCq, QStringLiteral("Text1"), QStringLiteral("Edited %1").arg(samples.size()));
        const auto t0 = Clock::now();
        rig.editor.click(kCq, QStringLiteral("Command13"));
        samples.push_back(ms(Clock::now() - t0));
        if (rig.screen.state().room() != rig.state.text(kCq, QStringLiteral("Text1")))
            state.SkipWithError("the game shows an old page text");
    }
    record(state, "testgame", samples);
}

// Undo and redo of one step on the user-interface thread: typing steps in
// several fields, and a Delete of a page (its section back in place).
void BM_UndoRedo(benchmark::State &state)
{
    const int pages = int(state.range(0));
    Rig rig;
    rig.load(pages);
    rig.ports.dialogs.defaultAnswer = fc::Answer::Yes;
    std::vector<double> undo, redo, undoDelete, redoDelete;
    const QStringList fields{QStringLiteral("Text1"), QStringLiteral("Text19"), QStringLiteral("Text2"),
                             QStringLiteral("Text10")};
    int i = 0;
    for (auto _ : state) {
        state.PauseTiming();
        rig.editor.selectPage(int((quint64(++i) * 7919) % quint64(rig.state.createquest().pageList().entries.size())));
        for (const QString &f : fields) {
            rig.editor.setText(kCq, f, QStringLiteral("step %1").arg(i));
            rig.editor.fieldLeft();
        }
        rig.editor.click(kCq, QStringLiteral("Command2")); // Delete
        state.ResumeTiming();
        auto t0 = Clock::now();
        rig.editor.undo();
        undoDelete.push_back(ms(Clock::now() - t0));
        for (int n = 0; n < fields.size(); ++n) {
            t0 = Clock::now();
            rig.editor.undo();
            undo.push_back(ms(Clock::now() - t0));
        }
        for (int n = 0; n < fields.size(); ++n) {
            t0 = Clock::now();
            rig.editor.redo();
            redo.push_back(ms(Clock::now() - t0));
        }
        t0 = Clock::now();
        rig.editor.redo();
        redoDelete.push_back(ms(Clock::now() - t0));
    }
    record(state, "undo-typing", undo);
    record(state, "redo-typing", redo);
    record(state, "undo-delete", undoDelete);
    record(state, "redo-delete", redoDelete);
}

// Heap bytes in use (glibc), for the memory figures.
qint64 heapInUse()
{
    const struct mallinfo2 m = mallinfo2();
    return qint64(m.uordblks + m.hblkhd);
}

// Memory: the document against the file's size, and 1,000 steps of typing
// (each its own step) above the document.
void BM_Memory(benchmark::State &state)
{
    const int pages = int(state.range(0));
    for (auto _ : state) {
        auto rig = std::make_unique<Rig>();
        const qint64 before = heapInUse();
        rig->load(pages);
        if (!rig->wc.flush())
            std::abort();
        const qint64 loaded = heapInUse();
        rig->editor.selectPage(pages / 2);
        const qint64 beforeSteps = heapInUse();
        for (int n = 0; n < 1000; ++n) {
            rig->editor.setText(kCq, QStringLiteral("Text1"), QStringLiteral("typing step %1 ").arg(n).repeated(8));
            rig->editor.fieldLeft();
        }
        if (!rig->wc.flush())
            std::abort();
        const qint64 afterSteps = heapInUse();
        const double fileMb = double(QFileInfo(questPath(pages)).size()) / 1e6;
        const double docMb = double(loaded - before) / 1e6;
        state.counters["file_MB"] = fileMb;
        state.counters["document_MB"] = docMb;
        state.counters["document_own_MB"] = double(rig->editor.document().memoryUsage()) / 1e6;
        state.counters["steps_1000_MB"] = double(afterSteps - beforeSteps) / 1e6;
        state.counters["steps"] = rig->editor.undoStack().count();
        g_memory[pages] = {fileMb, docMb, double(rig->editor.document().memoryUsage()) / 1e6,
                           double(afterSteps - beforeSteps) / 1e6};
    }
}

// The plain way: every field write is its own synchronous whole-file write.
const QStringList &pageKeys()
{
    using namespace fc::quest;
    static const QStringList keys = [] {
        QStringList k{QString(kPageText), QString(kMusic), QString(kLocation), QString(kImage), QString(kBattle),
                      QString(kMovie), QString(kMp3)};
        for (int i = 1; i <= kOptionCount; ++i)
            k << optionKey(i) << destinationKey(i) << scoreKey(i) << keyItemKey(i) << addKey(i) << requiredKey(i);
        k << QString(kBattleEscapeCheck) << QString(kBattleMonName) << QString(kBattleMonHp) << QString(kBattleMonAtk)
          << QString(kBattleMonDef) << QString(kBattleImage) << QString(kBattleMusic) << QString(kBattleMonKeyItem)
          << QString(kBattleMonExp) << QString(kBattleWin) << QString(kBattleLose) << QString(kBattleEscape)
          << QString(kAtkMessage) << QString(kAltAtk) << QString(kAltAtkDam);
        return k;
    }();
    return keys;
}

void BM_PlainSelectPage(benchmark::State &state)
{
    const int pages = int(state.range(0));
    const QString wc = QStringLiteral("tmpquest.ini");
    QFile::remove(fc::ResolveIniPath(wc));
    QFile::copy(questPath(pages), fc::ResolveIniPath(wc));
    QHash<QString, QString> shown;
    std::vector<double> samples;
    int i = 0;
    for (auto _ : state) {
        const QString page = QString::number((quint64(++i) * 7919) % quint64(pages) + 1);
        const auto t0 = Clock::now();
        for (const QString &key : pageKeys()) {
            const QString v = fc::ReadIni(wc, page, key);
            if (shown.value(key) != v) {
                shown[key] = v;
                fc::WriteIni(wc, page, key, v); // the field's change event writes it back
            }
        }
        samples.push_back(ms(Clock::now() - t0));
    }
    record(state, "plain-select", samples);
}

void BM_PlainKeystroke(benchmark::State &state)
{
    const int pages = int(state.range(0));
    const QString wc = QStringLiteral("tmpquest.ini");
    QFile::remove(fc::ResolveIniPath(wc));
    QFile::copy(questPath(pages), fc::ResolveIniPath(wc));
    const QString page = QString::number(pages / 2);
    QString text = fc::ReadIni(wc, page, QStringLiteral("Page Text")).left(900);
    std::vector<double> samples;
    for (auto _ : state) {
        text += QLatin1Char('a' + char(samples.size() % 26));
        const auto t0 = Clock::now();
        fc::WriteIni(wc, page, QStringLiteral("Page Text"), text);
        samples.push_back(ms(Clock::now() - t0));
    }
    record(state, "plain-keystroke", samples);
}

BENCHMARK(BM_LoadQuest)->Arg(1000)->Arg(20000)->Iterations(5)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SelectPage)->Arg(1000)->Arg(20000)->Iterations(300)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SelectAfterKeystroke)->Arg(1000)->Arg(20000)->Iterations(20)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Keystroke)->Arg(1000)->Arg(20000)->Iterations(150)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_TestGame)->Arg(1000)->Arg(20000)->Iterations(10)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_UndoRedo)->Arg(1000)->Arg(20000)->Iterations(25)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Memory)->Arg(20000)->Iterations(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PlainSelectPage)->Arg(1000)->Arg(20000)->Iterations(10)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PlainKeystroke)->Arg(1000)->Arg(20000)->Iterations(20)->Unit(benchmark::kMillisecond);

void summary()
{
    const QStorageInfo disk(g_dir->path());
    std::printf("\nWorking copy and quests in %s: device %s, file system %s\n", qPrintable(g_dir->path()),
                disk.device().constData(), disk.fileSystemType().constData());
    std::printf("%-18s %8s %12s %12s\n", "figure (ms)", "pages", "median", "worst");
    for (const auto &[name, f] : g_figures)
        std::printf("%-18s %8s %12.3f %12.3f\n", name.substr(0, name.find('/')).c_str(),
                    name.substr(name.find('/') + 1).c_str(), f.median, f.worst);
    for (const auto &[pages, m] : g_memory)
        std::printf("%d pages: file %.1f MB, document %.1f MB on the heap (%.1fx the file; its own count %.1f MB), "
                    "1,000 typing steps %.1f MB\n",
                    pages, m.file, m.document, m.document / m.file, m.documentOwn, m.steps);
    for (const char *pages : {"1000", "20000"}) {
        auto get = [&](const char *n) { return g_figures[std::string(n) + "/" + pages].median; };
        if (get("keystroke") > 0 && get("select") > 0)
            std::printf("%s pages: plain way / editor, median: keystroke %.0fx, page selection %.0fx\n", pages,
                        get("plain-keystroke") / get("keystroke"), get("plain-select") / get("select"));
    }
}

} // namespace

int main(int argc, char **argv)
{
    QDir().mkpath(QStringLiteral("bench-editor-tmp"));
    QTemporaryDir dir(QDir::current().filePath(QStringLiteral("bench-editor-tmp/run-XXXXXX")));
    g_dir = &dir;
    qputenv("XDG_DATA_HOME", dir.path().toUtf8());
    QCoreApplication app(argc, argv);
    for (int pages : {1000, 20000}) {
        QFile f(questPath(pages));
        f.open(QIODevice::WriteOnly);
        f.write(generateQuest(pages));
        std::printf("quest of %d pages: %.1f MB\n", pages, double(f.size()) / 1e6);
    }
    ::benchmark::Initialize(&argc, argv);
    ::benchmark::RunSpecifiedBenchmarks();
    ::benchmark::Shutdown();
    summary();
    QDir(QDir::current().filePath(QStringLiteral("bench-editor-tmp"))).removeRecursively();
    return 0;
}
