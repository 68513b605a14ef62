#pragma once
// Start-up timing points for bench_first_frame. A program that calls these
// says nothing unless FABLECRAFT_FIRST_FRAME_REPORT is set in its
// environment; then it notes the named points of its start-up, and once its
// first window's first paint has been flushed to the screen (a zero timer
// posted from that paint runs after the flush) and a second has passed, it
// prints one line and quits:
//   first-frame main=S ... frame=S rss_kib=N platform=NAME
// Each S is the monotonic clock in seconds minus FABLECRAFT_LAUNCHED_AT, the
// moment the parent started the program. The game program and the minimal
// baseline include this same header, so both are measured by the same code.
// Header only, Qt Widgets only.

#include <QApplication>
#include <QByteArray>
#include <QEvent>
#include <QFile>
#include <QTimer>
#include <QWidget>

#include <cstdio>
#include <ctime>
#include <utility>
#include <vector>

namespace fc::firstframe {

inline double monotonicSeconds()
{
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return double(ts.tv_sec) + double(ts.tv_nsec) / 1e9;
}

struct Report
{
    bool asked = qEnvironmentVariableIsSet("FABLECRAFT_FIRST_FRAME_REPORT");
    double launchedAt = qEnvironmentVariable("FABLECRAFT_LAUNCHED_AT").toDouble();
    std::vector<std::pair<const char *, double>> marks;
    bool framed = false;

    static Report &get()
    {
        static Report report;
        return report;
    }
};

// Notes a named point of the start-up (no effect unless asked).
inline void mark(const char *name)
{
    Report &r = Report::get();
    if (r.asked)
        r.marks.emplace_back(name, monotonicSeconds() - r.launchedAt);
}

inline long residentKiB()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray &line : status.readAll().split('\n'))
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').first().toLong();
    return -1;
}

class FirstPaint : public QObject
{
public:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() != QEvent::Paint || !watched->isWidgetType())
            return false;
        qApp->removeEventFilter(this);
        // Runs once the paint that is under way has been flushed.
        QTimer::singleShot(0, qApp, [] {
            mark("frame");
            // Memory is read after a second of settling, with whatever the
            // program does after its first frame.
            QTimer::singleShot(1000, qApp, [] {
                const Report &r = Report::get();
                std::printf("first-frame");
                for (const auto &[name, at] : r.marks)
                    std::printf(" %s=%.6f", name, at);
                std::printf(" rss_kib=%ld platform=%s\n", residentKiB(), qPrintable(QGuiApplication::platformName()));
                std::fflush(stdout);
                QCoreApplication::exit(0);
            });
        });
        return false;
    }
};

// Call right after the QApplication is made: watches for the first paint.
inline void watchFirstPaint()
{
    if (!Report::get().asked)
        return;
    mark("application");
    static FirstPaint watcher;
    qApp->installEventFilter(&watcher);
}

} // namespace fc::firstframe
