// Time from process start to the shown game screen. Each iteration starts this
// program again as a child that builds the real game screen (as the program's
// entry does) and reports the moment its window is first exposed; the time is
// taken from just before the child is started. Run it under Xvfb
// (xvfb-run -a bench_startup) or with QT_QPA_PLATFORM=offscreen.
#include "engine/ui/frmgame.h"
#include "app/program.h"

#include <QApplication>
#include <QProcess>
#include <QWindow>
#include <benchmark/benchmark.h>

#include <ctime>
#include <cstdio>
#include <cstring>

namespace {

double monotonicSeconds()
{
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return double(ts.tv_sec) + double(ts.tv_nsec) / 1e9;
}

// The child: start the program and print the clock when the window shows.
int runChild(int argc, char **argv)
{
    QApplication app(argc, argv);
    fc::Program program(QCoreApplication::applicationDirPath());
    program.start();
    QWindow *window = program.window().windowHandle();
    while (!window || !window->isExposed()) {
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 5);
        window = program.window().windowHandle();
    }
    std::printf("%.9f\n", monotonicSeconds());
    return 0;
}

void BM_StartToShownWindow(benchmark::State &state)
{
    const QString self = QCoreApplication::applicationFilePath();
    for (auto _ : state) {
        QProcess child;
        const double begin = monotonicSeconds();
        child.start(self, {QStringLiteral("--child")});
        child.waitForFinished(30000);
        const double shown = QString::fromLatin1(child.readAllStandardOutput()).trimmed().toDouble();
        if (shown <= 0) {
            state.SkipWithError("the child did not show its window");
            return;
        }
        state.SetIterationTime(shown - begin);
    }
}
BENCHMARK(BM_StartToShownWindow)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(10)->Repetitions(3);

} // namespace

int main(int argc, char **argv)
{
    if (argc > 1 && std::strcmp(argv[1], "--child") == 0)
        return runChild(argc, argv);
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
