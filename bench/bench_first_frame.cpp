// First drawn frame and resident memory of the game screen, against a minimal
// Qt window in the same run. Each iteration starts this program again as a
// child; the child builds its window, shows it and prints the clock once the
// window's first paint has been handled and flushed to the screen (a zero
// timer posted from the paint runs after the flush). The game child also
// prints its resident memory with no quest loaded, after the first frame and
// half a second of settling. Run under Xvfb, e.g.
//   xvfb-run -a -s "-screen 0 1280x900x24" bench_first_frame
// The platform plugin's name is printed with the results.
#include "engine/ui/frmgame.h"
#include "app/program.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QLabel>
#include <QProcess>
#include <QTimer>
#include <QVBoxLayout>
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstring>
#include <ctime>

namespace {

double monotonicSeconds()
{
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return double(ts.tv_sec) + double(ts.tv_nsec) / 1e9;
}

long residentKiB()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray &line : status.readAll().split('\n'))
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').first().toLong();
    return -1;
}

// Notes the moment the watched window's first paint has reached the screen.
class FirstFrame : public QObject
{
public:
    double at = 0;
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() == QEvent::Paint && at == 0) {
            watched->removeEventFilter(this);
            QTimer::singleShot(0, this, [this] { at = monotonicSeconds(); });
        }
        return false;
    }
};

int runChild(int argc, char **argv, bool game)
{
    QApplication app(argc, argv);
    FirstFrame frame;
    std::unique_ptr<fc::Program> program;
    std::unique_ptr<QWidget> minimal;
    if (game) {
        program = std::make_unique<fc::Program>(QCoreApplication::applicationDirPath());
        program->window().installEventFilter(&frame);
        program->start();
    } else {
        minimal = std::make_unique<QWidget>();
        auto *layout = new QVBoxLayout(minimal.get());
        layout->addWidget(new QLabel(QStringLiteral("Hello")));
        minimal->resize(400, 300);
        minimal->installEventFilter(&frame);
        minimal->show();
    }
    QElapsedTimer limit;
    limit.start();
    while (frame.at == 0 && limit.elapsed() < 20000)
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 5);
    QElapsedTimer settle;
    settle.start();
    while (settle.elapsed() < 500)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    std::printf("%.9f %ld %s\n", frame.at, residentKiB(), qPrintable(QGuiApplication::platformName()));
    return 0;
}

struct ChildRun
{
    double seconds = 0;
    long rssKiB = 0;
    QString platform;
};

ChildRun startChild(const char *mode)
{
    QProcess child;
    const double begin = monotonicSeconds();
    child.start(QCoreApplication::applicationFilePath(), {QString::fromLatin1(mode)});
    child.waitForFinished(30000);
    const QStringList out = QString::fromLatin1(child.readAllStandardOutput()).trimmed().split(QLatin1Char(' '));
    if (out.size() < 3 || out[0].toDouble() <= 0)
        return {};
    return {out[0].toDouble() - begin, out[1].toLong(), out[2]};
}

void firstFrame(benchmark::State &state, const char *mode)
{
    ChildRun last;
    for (auto _ : state) {
        last = startChild(mode);
        if (last.seconds <= 0) {
            state.SkipWithError("the child drew no frame");
            return;
        }
        state.SetIterationTime(last.seconds);
    }
    state.counters["rss_MB"] = double(last.rssKiB) / 1024.0;
    state.SetLabel(last.platform.toStdString());
}

void BM_FirstFrame_MinimalQtWindow(benchmark::State &state) { firstFrame(state, "--child-minimal"); }
void BM_FirstFrame_GameScreenNoQuest(benchmark::State &state) { firstFrame(state, "--child-game"); }
BENCHMARK(BM_FirstFrame_MinimalQtWindow)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(10)->Repetitions(3)->ReportAggregatesOnly(true);
BENCHMARK(BM_FirstFrame_GameScreenNoQuest)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(10)->Repetitions(3)->ReportAggregatesOnly(true);

} // namespace

int main(int argc, char **argv)
{
    if (argc > 1 && std::strcmp(argv[1], "--child-game") == 0)
        return runChild(argc, argv, true);
    if (argc > 1 && std::strcmp(argv[1], "--child-minimal") == 0)
        return runChild(argc, argv, false);
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
