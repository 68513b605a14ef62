// Start-up of the game program against a minimal Qt Widgets program: the
// time from starting each program to its first drawn frame, and its resident
// memory a second later.
//
// Three programs are started the same way (QProcess, one at a time, in
// turn, the order rotating each round), each reporting through the timing
// points of app/first_frame_report.h:
//   minimal   bench_first_frame_minimal: one window with a label, linked with
//             Qt Widgets only;
//   game      fablecraft with no quest: the game screen and its menu panel;
//   quest     fablecraft VellumAdventure.qst: the first page of the default
//             adventure.
// It prints the median, fastest and slowest of each, the ratios of the
// medians, the median time to each start-up point of each, the resident
// memory, the platform, the disks the programs, the quest and the settings
// folders are on, and the load average before and after. Run under a
// display, e.g.
//   xvfb-run -a -s "-screen 0 1280x900x24" bench_first_frame [--runs N] [--game FILE]
// (N at least 13; 15 by default). --game measures another build of the game
// program in place of this build's.
#include "bench/bench_platform.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QMap>
#include <QProcess>
#include <QProcessEnvironment>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <ctime>
#include <vector>

namespace {

double monotonicSeconds()
{
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return double(ts.tv_sec) + double(ts.tv_nsec) / 1e9;
}

struct Subject
{
    const char *name;
    QString program;
    QStringList arguments;
    std::vector<QMap<QString, double>> runs; // point -> seconds since start; "rss_kib"
    QString platform;
};

// One start of the program; false when it drew no frame.
bool runOnce(Subject &s, const QProcessEnvironment &env)
{
    QProcess child;
    QProcessEnvironment e = env;
    const double launched = monotonicSeconds();
    e.insert(QStringLiteral("FABLECRAFT_LAUNCHED_AT"), QString::number(launched, 'f', 9));
    child.setProcessEnvironment(e);
    child.setProcessChannelMode(QProcess::SeparateChannels);
    child.start(s.program, s.arguments);
    if (!child.waitForFinished(30000)) {
        child.kill();
        child.waitForFinished();
        return false;
    }
    const QList<QByteArray> lines = child.readAllStandardOutput().split('\n');
    for (const QByteArray &line : lines) {
        if (!line.startsWith("first-frame "))
            continue;
        QMap<QString, double> run;
        for (const QByteArray &field : line.split(' ').mid(1)) {
            const int eq = field.indexOf('=');
            if (eq < 0)
                continue;
            const QString key = QString::fromLatin1(field.left(eq));
            if (key == QLatin1String("platform"))
                s.platform = QString::fromLatin1(field.mid(eq + 1));
            else
                run.insert(key, field.mid(eq + 1).toDouble());
        }
        if (run.value(QStringLiteral("frame")) <= 0)
            return false;
        s.runs.push_back(run);
        return true;
    }
    std::fprintf(stderr, "%s drew no frame: %s\n", s.name, child.readAllStandardError().left(400).constData());
    return false;
}

double median(std::vector<double> v)
{
    if (v.empty())
        return 0;
    std::sort(v.begin(), v.end());
    const size_t n = v.size();
    return n % 2 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2;
}

std::vector<double> values(const Subject &s, const QString &key)
{
    std::vector<double> v;
    for (const auto &run : s.runs)
        if (run.contains(key))
            v.push_back(run.value(key));
    return v;
}

// The load averages over 1, 5 and 15 minutes.
QString loadAverage()
{
    QFile loadavg(QStringLiteral("/proc/loadavg"));
    if (!loadavg.open(QIODevice::ReadOnly))
        return QStringLiteral("unknown");
    const QList<QByteArray> fields = loadavg.readAll().split(' ');
    return QString::fromLatin1(fields.mid(0, 3).join(' '));
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    int runs = 15;
    const QStringList args = app.arguments();
    const qsizetype at = args.indexOf(QStringLiteral("--runs"));
    if (at > 0 && at + 1 < args.size())
        runs = std::max(13, args.at(at + 1).toInt());
    QString game = QStringLiteral(FIRST_FRAME_GAME);
    const qsizetype gameAt = args.indexOf(QStringLiteral("--game"));
    if (gameAt > 0 && gameAt + 1 < args.size())
        game = args.at(gameAt + 1);

    // Both programs get the same fresh settings folders.
    QTemporaryDir home;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("FABLECRAFT_FIRST_FRAME_REPORT"), QStringLiteral("1"));
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), home.filePath(QStringLiteral("config")));
    env.insert(QStringLiteral("XDG_DATA_HOME"), home.filePath(QStringLiteral("data")));

    std::vector<Subject> subjects = {
        {"minimal Qt Widgets program", QStringLiteral(FIRST_FRAME_MINIMAL), {}, {}, {}},
        {"game screen, no quest", game, {}, {}, {}},
        {"fablecraft QUEST.qst", game, {QStringLiteral(FIRST_FRAME_QUEST)}, {}, {}},
    };
    const QString loadBefore = loadAverage();
    // One unmeasured start of each fills the file cache.
    for (Subject &s : subjects) {
        runOnce(s, env);
        s.runs.clear();
    }
    for (int round = 0; round < runs; ++round)
        for (size_t k = 0; k < subjects.size(); ++k) {
            Subject &s = subjects[(k + size_t(round)) % subjects.size()];
            if (!runOnce(s, env)) {
                std::fprintf(stderr, "%s: no frame in round %d\n", s.name, round);
                return 1;
            }
        }

    std::printf("First frame after start, %d runs each, alternating\n", runs);
    std::printf("platform: Qt %s, QPA %s, %s\n", qVersion(), qPrintable(subjects[0].platform),
                qPrintable(fc::bench::machineText()));
    // Where the programs (and the modules beside them), the quest and the
    // settings folders are read from.
    std::printf("disk: game program on %s; minimal program on %s; quest on %s; settings home on %s\n",
                qPrintable(fc::bench::diskText(QFileInfo(game).absolutePath())),
                qPrintable(fc::bench::diskText(QFileInfo(QStringLiteral(FIRST_FRAME_MINIMAL)).absolutePath())),
                qPrintable(fc::bench::diskText(QFileInfo(QStringLiteral(FIRST_FRAME_QUEST)).absolutePath())),
                qPrintable(fc::bench::diskText(home.path())));
    std::printf("load average: %s before, %s after\n", qPrintable(loadBefore), qPrintable(loadAverage()));
    std::printf("\n%-28s %9s %9s %9s %12s\n", "", "median ms", "min ms", "max ms", "RSS MB");
    for (const Subject &s : subjects) {
        const std::vector<double> frame = values(s, QStringLiteral("frame"));
        std::printf("%-28s %9.1f %9.1f %9.1f %12.1f\n", s.name, median(frame) * 1e3,
                    *std::min_element(frame.begin(), frame.end()) * 1e3,
                    *std::max_element(frame.begin(), frame.end()) * 1e3,
                    median(values(s, QStringLiteral("rss_kib"))) / 1024.0);
    }
    const double base = median(values(subjects[0], QStringLiteral("frame")));
    std::printf("\nratio game screen / minimal: %.2fx\n", median(values(subjects[1], QStringLiteral("frame"))) / base);
    std::printf("ratio QUEST.qst / minimal:   %.2fx\n", median(values(subjects[2], QStringLiteral("frame"))) / base);

    // Where the time goes: the median moment of each point of each program.
    std::printf("\nstart-up points, median ms since the start:\n");
    for (const Subject &s : subjects) {
        std::printf("  %s:", s.name);
        QStringList points;
        for (const auto &run : s.runs)
            for (const QString &key : run.keys())
                if (key != QLatin1String("rss_kib") && !points.contains(key))
                    points << key;
        std::sort(points.begin(), points.end(), [&](const QString &a, const QString &b) {
            return median(values(s, a)) < median(values(s, b));
        });
        for (const QString &point : points)
            std::printf(" %s %.1f", qPrintable(point), median(values(s, point)) * 1e3);
        std::printf("\n");
    }
    return 0;
}
