// Packaging the default adventure as a game folder: the program, quest and
// launch file alone; with its media; with the runtime files into a new folder
// and again over the game folder of the earlier compile (which is replaced
// whole); the default adventure without its movie (no video stack); and
// finding the runtime files alone. The "MB" counter is the size of the game
// folder. Writes under the working folder (run it from the build folder, on
// the project's disk), e.g.
//   cd build && bin/bench_compile --benchmark_min_time=1
#include "compiler/packager.h"
#include "compiler/runtime_bundle.h"

#include <QCoreApplication>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>

namespace {

qint64 folderBytes(const QString &dir)
{
    qint64 total = 0;
    QDirIterator it(dir, QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
    while (it.hasNext())
        total += QFileInfo(it.next()).size();
    return total;
}

// The default adventure, or a copy of it without its movie beside its media.
QString questFile(bool movie)
{
    const QString dir = QCoreApplication::applicationDirPath();
    const QString quest = dir + QStringLiteral("/VellumAdventure.qst");
    if (movie)
        return quest;
    static QTemporaryDir copy(QDir::currentPath() + QStringLiteral("/bench-quest-XXXXXX"));
    const QString target = copy.filePath(QStringLiteral("media"));
    if (!QFileInfo::exists(target)) {
        QDir().mkpath(target);
        for (const QString &f : QDir(dir + QStringLiteral("/media")).entryList(QDir::Files))
            QFile::copy(dir + QStringLiteral("/media/") + f, target + QLatin1Char('/') + f);
        QFile in(quest);
        QFile out(copy.filePath(QStringLiteral("nomovie.qst")));
        if (in.open(QIODevice::ReadOnly) && out.open(QIODevice::WriteOnly)) {
            for (const QByteArray &line : in.readAll().split('\n')) {
                if (!line.startsWith("Movie="))
                    out.write(line + '\n');
            }
        }
    }
    return copy.filePath(QStringLiteral("nomovie.qst"));
}

fc::PackageRequest request(const QString &into, bool runtime, bool media, bool movie = true)
{
    fc::PackageRequest r;
    r.programDir = QCoreApplication::applicationDirPath();
    r.questFile = questFile(movie);
    r.gameName = QStringLiteral("Vellum");
    r.targetDir = into;
    r.runtime = runtime;
    r.media = media;
    return r;
}

void compile(benchmark::State &state, bool runtime, bool media, bool sameFolder, bool movie = true)
{
    QTemporaryDir work(QDir::currentPath() + QStringLiteral("/bench-compile-XXXXXX"));
    int round = 0;
    qint64 bytes = 0;
    if (sameFolder)
        fc::packageGame(request(work.path(), runtime, media, movie)); // the earlier compile
    for (auto _ : state) {
        const QString into = sameFolder ? work.path() : work.path() + QStringLiteral("/%1").arg(++round);
        const fc::PackageResult result = fc::packageGame(request(into, runtime, media, movie));
        if (!result.ok || !result.notCopied.isEmpty()) {
            state.SkipWithError(qPrintable(result.failureMessage() + result.notCopied.join(QStringLiteral("; "))));
            break;
        }
        state.PauseTiming();
        bytes = folderBytes(result.gameDir);
        if (!sameFolder)
            QDir(into).removeRecursively();
        state.ResumeTiming();
    }
    state.counters["MB"] = double(bytes) / 1e6;
}

void BM_CompilePlain(benchmark::State &state) { compile(state, false, false, false); }
void BM_CompileMedia(benchmark::State &state) { compile(state, false, true, false); }
void BM_CompileRuntimeNewFolder(benchmark::State &state) { compile(state, true, true, false); }
void BM_CompileRuntimeSameFolder(benchmark::State &state) { compile(state, true, true, true); }
void BM_CompileRuntimeWithoutMovie(benchmark::State &state) { compile(state, true, true, false, false); }

void BM_CollectRuntime(benchmark::State &state)
{
    const QString dir = QCoreApplication::applicationDirPath();
    qsizetype files = 0;
    for (auto _ : state)
        files = fc::collectRuntime(dir + QStringLiteral("/fablecraft"), dir).files.size();
    state.counters["files"] = double(files);
}

} // namespace

BENCHMARK(BM_CompilePlain)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_CompileMedia)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_CompileRuntimeNewFolder)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_CompileRuntimeSameFolder)->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK(BM_CompileRuntimeWithoutMovie)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_CollectRuntime)->Unit(benchmark::kMillisecond);

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    return 0;
}
