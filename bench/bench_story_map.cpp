// The story map on generated quests of 1,000 and 20,000 pages: reading the
// quest into a graph, the layout, opening the map from the quest document as
// the editor's dock does, the first frame of the map, and frame
// times while panning and zooming at five zoom levels (median and worst),
// with the resident memory the map adds. The same frames are then drawn the
// plain way, one graphics item per card and per link in a QGraphicsScene, and
// the ratio is printed. Last, an edit to a page made through the quest
// document of the editor window, which its story map dock follows in place,
// against the whole redraw of the map.
//
// Frames are painted into a 1280x800 raster image, which is what the
// viewport's paint event does on the offscreen and X11 raster back-ends.
//   bench_story_map [--pages N]     the measurements (of N pages only)
//   bench_story_map --pages N --document
//                                   only find, the statistics and the graph
//                                   of a quest document of N pages
//   bench_story_map --shots DIR     pictures of the map of the default
//                                   adventure and of 20,000 pages at three zooms
// Run the pictures under Xvfb (QT_QPA_PLATFORM=xcb) to see them as a screen
// shows them. Quests, side files and the editor's working copy go to the
// temporary folder (TMPDIR): point it at the disk to measure on.
#include "app/program.h"
#include "bench/bench_platform.h"
#include "bench/generated_quest.h"
#include "editor/editor.h"
#include "editor/quest_document.h"
#include "editor/story_find.h"
#include "editor/story_graph.h"
#include "editor/story_stats.h"
#include "editor/story_layout.h"
#include "editor/ui/createquest.h"
#include "editor/ui/storymap.h"
#include "editor/ui/storymapdock.h"
#include "engine/recording_ports.h"
#include "engine/ui/frmgame.h"
#include "storage/quest_format.h"
#include "storage/user_folders.h"

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QGraphicsLineItem>
#include <QGraphicsRectItem>
#include <QGraphicsScene>
#include <QGraphicsSimpleTextItem>
#include <QImage>
#include <QPainter>
#include <QScreen>
#include <QSet>
#include <QTemporaryDir>
#include <QTest>

#include <algorithm>
#include <cstdio>
#include <ctime>
#include <memory>

using namespace fc;
using namespace fc::story;

namespace {

const QSize kView(1280, 800);

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

struct Stats
{
    double median = 0, worst = 0;
};

Stats stats(QList<double> ms)
{
    if (ms.isEmpty())
        return {};
    std::sort(ms.begin(), ms.end());
    return {ms[ms.size() / 2], ms.last()};
}

// The path of frames at one zoom: a pan across the view and back, then a
// zoom in and out around the level.
struct Frame
{
    double zoom;
    QPointF centre;
};

QList<Frame> framesAround(double zoom, QPointF centre, int panFrames, int zoomFrames)
{
    QList<Frame> frames;
    const double step = 23.0 / zoom; // 23 pixels a frame
    for (int i = 0; i < panFrames; ++i) {
        const int k = i < panFrames / 2 ? i : panFrames - i;
        frames.append({zoom, centre + QPointF(step * k, step * k * 0.6)});
    }
    for (int i = 0; i < zoomFrames; ++i) {
        const int k = i < zoomFrames / 2 ? i : zoomFrames - i;
        frames.append({zoom * std::pow(1.04, k), centre});
    }
    return frames;
}

double cpuMs();

QList<double> drawMapFrames(StoryMap &map, const QList<Frame> &frames, QList<double> *cpu)
{
    QImage image(kView, QImage::Format_ARGB32_Premultiplied);
    QList<double> ms;
    for (const Frame &f : frames) {
        QElapsedTimer t;
        const double c = cpuMs();
        t.start();
        map.setZoom(f.zoom);
        map.centerOn(f.centre);
        QPainter p(&image);
        map.paintView(p, image.rect());
        p.end();
        ms.append(t.nsecsElapsed() / 1e6);
        cpu->append(cpuMs() - c);
    }
    return ms;
}

// The plain way: one item per card (with its number and location as child
// items) and one per link.
struct PlainScene
{
    QGraphicsScene scene;
    explicit PlainScene(const StoryGraph &g, const StoryLayout &l)
    {
        scene.setItemIndexMethod(QGraphicsScene::BspTreeIndex);
        for (int i = 0; i < g.pages.size(); ++i) {
            auto *card = scene.addRect(QRectF(l.cardRect(i)), QPen(QColor(0x6d, 0x4c, 0x41)), QBrush(QColor(0xff, 0xfa, 0xf0)));
            auto *number = new QGraphicsSimpleTextItem(g.pages[i].name, card);
            number->setPos(l.positions[i] + QPoint(8, 6));
            auto *location = new QGraphicsSimpleTextItem(g.pages[i].location, card);
            location->setPos(l.positions[i] + QPoint(8, 28));
        }
        for (const StoryLink &k : g.links) {
            const QRect a = l.cardRect(k.from), b = l.cardRect(k.to);
            auto *line = scene.addLine(QLineF(QPointF(a.right(), a.center().y()), QPointF(b.left(), b.center().y())),
                                       QPen(QColor(0x45, 0x5a, 0x64)));
            line->setZValue(-1);
        }
    }
    QList<double> draw(const QList<Frame> &frames)
    {
        QImage image(kView, QImage::Format_ARGB32_Premultiplied);
        QList<double> ms;
        for (const Frame &f : frames) {
            QElapsedTimer t;
            t.start();
            const QSizeF size = QSizeF(kView) / f.zoom;
            QPainter p(&image);
            p.fillRect(image.rect(), QColor(0xf4, 0xec, 0xd8));
            scene.render(&p, QRectF(image.rect()), QRectF(f.centre - QPointF(size.width(), size.height()) / 2, size));
            p.end();
            ms.append(t.nsecsElapsed() / 1e6);
        }
        return ms;
    }
};

// Thread CPU time: with other work on the machine, the time this work itself
// took beside the time that passed.
double cpuMs()
{
    timespec ts{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
    return ts.tv_sec * 1e3 + ts.tv_nsec / 1e6;
}

struct Timed
{
    QList<double> wall, cpu;
    template <typename F> void run(F &&f)
    {
        QElapsedTimer t;
        const double c = cpuMs();
        t.start();
        f();
        wall.append(t.nsecsElapsed() / 1e6);
        cpu.append(cpuMs() - c);
    }
    QString text(int decimals = 1) const
    {
        const Stats w = stats(wall), c = stats(cpu);
        return QStringLiteral("median %1 ms, worst %2 ms (cpu %3 / %4 ms)")
            .arg(w.median, 0, 'f', decimals)
            .arg(w.worst, 0, 'f', decimals)
            .arg(c.median, 0, 'f', decimals)
            .arg(c.worst, 0, 'f', decimals);
    }
};

// Find, the statistics and the graph over every page of a quest document.
void measureDocument(int pages)
{
    QuestDocument doc;
    doc.setBytes(bench::generateQuest(pages, bench::QuestMix::Varied));
    // A word on every page, words on one page, a whole word with its case,
    // and an expression.
    const struct
    {
        const char *what, *text;
        FindOptions options;
    } finds[] = {
        {"a plain word on every page", "torch", {}},
        {"words on one page", "page 777 goes", {}},
        {"a whole word, its case matched", "Brass", {true, true, false}},
        {"an expression", "door [34]$", {false, false, true}},
    };
    // The plain way, as a tool of the author's own would search the same
    // fields: each value read with QuestDocument::value and matched with the
    // same Finder, over every listed page (each once) and the story info.
    auto plainFind = [&doc](const Finder &finder) {
        qsizetype found = 0;
        QSet<QString> seen;
        for (const QString &page : doc.pages()) {
            if (seen.contains(foldPageName(page)))
                continue;
            seen.insert(foldPageName(page));
            for (const QString &key : searchedPageKeys())
                found += finder.matches(doc.value(page, key)).size();
        }
        const QString info(quest::kStoryInfoSection);
        for (const QLatin1String key : {quest::kTitle, quest::kAuthor, quest::kVersion})
            found += finder.matches(doc.value(info, QString(key))).size();
        return found;
    };
    for (const auto &f : finds) {
        Timed t, plain;
        qsizetype found = 0, plainFound = 0;
        const Finder finder(QString::fromLatin1(f.text), f.options);
        for (int i = 0; i < 9; ++i)
            t.run([&] { found = findInQuest(doc, Finder(QString::fromLatin1(f.text), f.options)).size(); });
        for (int i = 0; i < 5; ++i)
            plain.run([&] { plainFound = plainFind(finder); });
        std::printf("find %s: %s, %lld matches;\n  the plain way (value, then Finder::matches): %s, %lld matches;"
                    " plain / find (median) %.1fx\n",
                    f.what, qPrintable(t.text()), qlonglong(found), qPrintable(plain.text()), qlonglong(plainFound),
                    stats(plain.wall).median / stats(t.wall).median);
    }
    Timed graph;
    for (int i = 0; i < 5; ++i)
        graph.run([&] { buildStoryGraph(storyPagesOf(doc)); });
    std::printf("graph from the document: %s\n", qPrintable(graph.text()));
    // A keystroke in a page text with the statistics listening, against the
    // same keystroke with nothing listening.
    Timed plain, counted;
    auto type = [&](Timed &t, int round) {
        for (int i = 0; i < 200; ++i) {
            const QString page = QString::number(1 + (i * 97) % pages);
            const QString text = QStringLiteral("Typed %1 %2").arg(round).arg(i);
            t.run([&] { doc.setValue(page, QStringLiteral("Page Text"), text); });
        }
    };
    type(plain, 0);
    {
        StoryStatistics statistics(doc);
        type(counted, 1);
    }
    std::printf("a keystroke in the document: %s;\n  with the statistics updated: %s\n", qPrintable(plain.text(3)),
                qPrintable(counted.text(3)));
}

void measureEdits(const QString &file, const QList<std::pair<const char *, double>> &levels);

void measure(int pages, const QString &dir)
{
    const QString file = QDir(dir).filePath(QStringLiteral("quest%1.qst").arg(pages));
    {
        QFile out(file);
        if (!out.open(QIODevice::WriteOnly) || out.write(bench::generateQuest(pages, bench::QuestMix::Varied)) < 0)
            std::printf("cannot write %s\n", qPrintable(file));
    }
    std::printf("\n== %d pages (%.1f MiB quest file) ==\n", pages, QFileInfo(file).size() / 1048576.0);

    // The quest file read the way fablecraft-cli map reads it
    // (loadStoryPages), for comparison; the editor's map is drawn from the
    // quest document instead (below).
    QElapsedTimer t;
    QList<double> readMs, layoutMs;
    StoryGraph graph;
    for (int i = 0; i < 3; ++i) {
        t.start();
        QList<StoryPageInput> inputs;
        loadStoryPages(file, &inputs);
        graph = buildStoryGraph(inputs);
        readMs.append(t.nsecsElapsed() / 1e6);
    }
    StoryLayout layout;
    for (int i = 0; i < 5; ++i) {
        t.start();
        layout = layoutStory(graph);
        layoutMs.append(t.nsecsElapsed() / 1e6);
    }
    std::printf("quest file read with loadStoryPages and graph (fablecraft-cli map): median %.1f ms; layout: median %.1f ms,"
                " worst %.1f ms (%lld pages, %lld links, %d x %d map units)\n",
                stats(readMs).median, stats(layoutMs).median, stats(layoutMs).worst, qlonglong(graph.pages.size()),
                qlonglong(graph.links.size()), layout.bounds.width(), layout.bounds.height());

    measureDocument(pages);

    // The quest as the editor holds it once loaded: a quest document.
    QuestDocument doc;
    t.start();
    {
        QFile in(file);
        if (in.open(QIODevice::ReadOnly))
            doc.setBytes(in.readAll());
    }
    std::printf("quest file read into a quest document (part of loading the quest, not of opening the map): %.1f ms\n",
                t.nsecsElapsed() / 1e6);

    // Opening: what the story map dock's refresh does with the document: its
    // pages read (storyPagesOf), the graph, the layout and index (setStory,
    // with the side file of moved cards beside the quest), and the first frame
    // painted at the whole-quest zoom (the whole-map picture is drawn then).
    // Each round opens a new map; the memory is what the first one added.
    const QString sideFile = sideFilePath(file);
    Timed readPages, graphed, laidOut, firstFrame, opening;
    long before = 0, after = 0;
    std::unique_ptr<StoryMap> opened;
    for (int round = 0; round < 5; ++round) {
        opened.reset();
        if (round == 0)
            before = residentKiB();
        opened = std::make_unique<StoryMap>();
        opened->resize(kView);
        opened->viewport()->resize(kView);
        QImage image(kView, QImage::Format_ARGB32_Premultiplied);
        QList<StoryPageInput> inputs;
        StoryGraph built;
        opening.run([&] {
            readPages.run([&] { inputs = storyPagesOf(doc); });
            graphed.run([&] { built = buildStoryGraph(inputs); });
            laidOut.run([&] { opened->setStory(built, sideFile); });
            firstFrame.run([&] {
                QPainter p(&image);
                opened->paintView(p, image.rect());
            });
        });
        if (round == 0)
            after = residentKiB();
    }
    StoryMap &map = *opened;
    std::printf("opening the map from the document, 5 rounds: %s; memory added %.1f MiB\n"
                "  pages read from the document %s\n  graph %s\n  layout and index (setStory) %s\n  first frame %s\n",
                qPrintable(opening.text()), (after - before) / 1024.0, qPrintable(readPages.text()),
                qPrintable(graphed.text()), qPrintable(laidOut.text()), qPrintable(firstFrame.text()));

    const double whole = map.zoom();
    const QPointF centre = QRectF(map.layout().bounds).center();
    const QPointF start = QRectF(map.layout().cardRect(map.graph().start)).center();
    const struct
    {
        const char *name;
        double zoom;
        QPointF at;
    } levels[] = {
        {"whole quest", whole, centre},
        {"dots", std::min(whole * 2.5, 0.12), start},
        {"boxes", 0.2, start},
        {"near boxes", 0.4, start},
        {"one card", 1.5, start},
    };
    auto plain = std::make_unique<PlainScene>(map.graph(), map.layout());
    std::printf("%-12s %8s  %22s  %22s  %s\n", "zoom", "", "map: median / worst", "plain: median / worst",
                "plain / map (median)");
    for (const auto &level : levels) {
        QList<double> cpu;
        const Stats m = stats(drawMapFrames(map, framesAround(level.zoom, level.at, 60, 30), &cpu));
        // The plain way is slow where it matters: fewer frames.
        const Stats s = stats(plain->draw(framesAround(level.zoom, level.at, 8, 4)));
        std::printf("%-12s %8.4f  %9.2f / %8.2f ms  %9.2f / %8.2f ms  %8.1fx   map cpu %.2f / %.2f ms\n", level.name,
                    level.zoom, m.median, m.worst, s.median, s.worst, m.median > 0 ? s.median / m.median : 0.0,
                    stats(cpu).median, stats(cpu).worst);
    }

    // An edit to a page as a keystroke in the editor's form makes it: the
    // document's value set (QuestDocument::setValue), its notice taken by the
    // story map dock of the editor window (isStoryGraphKey, storyPageOf, the
    // card changed in place), and the next frame painted; for a location
    // typed and a destination changed (its links, and at whole-quest zoom the
    // whole-map picture, drawn anew). Against it, the whole redraw it
    // replaced, which the dock still does after more than 64 changes in one
    // event: refresh (the document's pages, the graph, the layout and index)
    // and the next frame. Events are run between edits, as between keystrokes.
    // The scene goes first: events run with its items in place would have
    // it index them all (gigabytes at 20,000 pages).
    plain.reset();
    measureEdits(file, {{levels[0].name, levels[0].zoom}, {levels[2].name, levels[2].zoom}});
}

void measureEdits(const QString &file, const QList<std::pair<const char *, double>> &levels)
{
    // The working copy an earlier measurement of this run left would be
    // offered for recovery, a question that waits for an answer.
    QFile::remove(QDir(GetWindowsDir()).filePath(QStringLiteral("tmpquest.ini")));
    RecordingPortSet ports;
    QTemporaryDir programDir;
    ProgramParts program(ports.ports(), programDir.path());
    program.window().show();
    program.window().findChild<QAction *>(QStringLiteral("mnucreatequest"))->trigger();
    CreateQuest &window = program.createquest();
    if (!QTest::qWaitForWindowExposed(&window)) {
        std::printf("the editor window was not shown\n");
        return;
    }
    program.editQuest(file);
    if (!program.editor().flush())
        std::printf("the working copy was not written\n");
    QuestDocument &doc = program.editor().document();
    auto *dock = window.findChild<StoryMapDock *>(QStringLiteral("StoryMapDock"));
    window.findChild<QAction *>(QStringLiteral("mnustorymap"))->trigger();
    if (!dock || !QTest::qWaitFor([&] { return dock->isVisible() && !dock->map()->graph().pages.isEmpty(); })) {
        std::printf("the story map dock was not drawn\n");
        return;
    }
    StoryMap &map = *dock->map();
    const QStringList pages = doc.pages();
    const QString location(quest::kLocation);
    const QString destination = quest::destinationKey(1);
    QImage frame(kView, QImage::Format_ARGB32_Premultiplied);
    auto paint = [&] {
        QPainter p(&frame);
        map.paintView(p, frame.rect());
    };
    for (const auto &[name, zoom] : levels) {
        Timed typed, relinked, redrawn;
        int late = 0; // edits the map did not show at once
        auto view = [&, zoom = zoom](const QString &page) {
            map.setZoom(zoom);
            map.setOrigin(QRectF(map.layout().cardRect(map.graph().indexOf(page))).center()
                          - QPointF(kView.width(), kView.height()) / 2 / zoom);
        };
        for (int i = 0; i < 21; ++i) {
            const QString page = pages[(i * 97) % pages.size()];
            view(page);
            paint();
            QCoreApplication::processEvents();
            const QString typedLocation = doc.value(page, location) + QStringLiteral(" typed %1").arg(i);
            typed.run([&] {
                doc.setValue(page, location, typedLocation);
                paint();
            });
            if (map.graph().pages[map.graph().indexOf(page)].location != typedLocation)
                ++late;
            QCoreApplication::processEvents();
            const QString to = pages[(i * 31 + 7) % pages.size()];
            relinked.run([&] {
                doc.setValue(page, destination, to);
                paint();
            });
            QCoreApplication::processEvents();
        }
        for (int i = 0; i < 7; ++i) {
            view(pages[(i * 97) % pages.size()]);
            paint();
            QCoreApplication::processEvents();
            redrawn.run([&] {
                dock->refresh();
                paint();
            });
        }
        const double redraw = stats(redrawn.wall).median;
        std::printf("an edit through the document and the dock at %s zoom: a location %s;\n  a destination %s;\n"
                    "  the whole redraw it replaced (refresh and frame) %s;\n"
                    "  whole redraw / edit (median): location %.0fx, destination %.0fx%s\n",
                    name, qPrintable(typed.text(2)), qPrintable(relinked.text(2)), qPrintable(redrawn.text(2)),
                    redraw / stats(typed.wall).median, redraw / stats(relinked.wall).median,
                    late ? qPrintable(QStringLiteral("; %1 edits not on the map at once").arg(late)) : "");
    }
}

void shoot(StoryMapPanel &panel, const QString &path)
{
    QTest::qWait(50);
    QApplication::processEvents();
    QPixmap shot;
    if (QScreen *screen = panel.screen(); screen && QGuiApplication::platformName() == QLatin1String("xcb"))
        shot = screen->grabWindow(panel.winId());
    if (shot.isNull())
        shot = panel.grab();
    shot.save(path);
    std::printf("%s\n", qPrintable(path));
}

void screenshots(const QString &dir, const QString &tmp)
{
    QDir().mkpath(dir);
    StoryMapPanel panel;
    panel.resize(kView);
    panel.show();
    QTest::qWaitForWindowExposed(&panel);
    StoryMap &map = *panel.map();
    QList<StoryPageInput> inputs;
    loadStoryPages(QStringLiteral(FABLECRAFT_SOURCE_DIR "/data/VellumAdventure.qst"), &inputs);
    map.setStory(buildStoryGraph(inputs));
    map.fit();
    shoot(panel, dir + QStringLiteral("/adventure-fit.png"));
    map.setZoom(0.3);
    map.centerOn(QRectF(map.layout().cardRect(map.graph().start)).center() + QPointF(1500, 0));
    shoot(panel, dir + QStringLiteral("/adventure-boxes.png"));
    map.setZoom(1.0);
    map.setCurrentPageName(QStringLiteral("19"));
    map.setFocus();
    shoot(panel, dir + QStringLiteral("/adventure-cards.png"));
    // The matches of a find, with their counts.
    {
        QFile quest(QStringLiteral(FABLECRAFT_SOURCE_DIR "/data/VellumAdventure.qst"));
        quest.open(QIODevice::ReadOnly);
        QuestDocument doc;
        doc.setBytes(quest.readAll());
        QHash<QString, int> counts;
        for (const FindMatch &m : findInQuest(doc, Finder(QStringLiteral("the"), {false, true, false})))
            if (!m.page.isEmpty())
                ++counts[m.page];
        map.setMatches(counts);
        map.fit();
        shoot(panel, dir + QStringLiteral("/adventure-find-fit.png"));
        map.setZoom(0.6);
        map.setCurrentPageName(QStringLiteral("19"));
        shoot(panel, dir + QStringLiteral("/adventure-find-cards.png"));
        map.setMatches({});
    }

    const QString file = QDir(tmp).filePath(QStringLiteral("shots.qst"));
    QFile out(file);
    out.open(QIODevice::WriteOnly);
    out.write(bench::generateQuest(20000, bench::QuestMix::Varied));
    out.close();
    loadStoryPages(file, &inputs);
    map.setStory(buildStoryGraph(inputs));
    map.fit();
    shoot(panel, dir + QStringLiteral("/20000-fit.png"));
    map.setZoom(0.2);
    map.centerOn(QRectF(map.layout().cardRect(map.graph().start)).center() + QPointF(3000, 0));
    shoot(panel, dir + QStringLiteral("/20000-boxes.png"));
    map.setZoom(1.0);
    map.setCurrentPageName(QStringLiteral("2"));
    shoot(panel, dir + QStringLiteral("/20000-cards.png"));
}

} // namespace

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    // The editor's working copy and settings go to folders of this run,
    // never the user's; quests and their side files to tmp.
    QTemporaryDir home, tmp;
    qputenv("XDG_DATA_HOME", QDir(home.path()).filePath(QStringLiteral("data")).toLocal8Bit());
    qputenv("XDG_CONFIG_HOME", QDir(home.path()).filePath(QStringLiteral("config")).toLocal8Bit());
    QApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() >= 3 && args[1] == QLatin1String("--shots")) {
        screenshots(args[2], tmp.path());
        return 0;
    }
    std::printf("platform: Qt %s, QPA %s, %s\n", qVersion(), qPrintable(QGuiApplication::platformName()),
                qPrintable(bench::machineText()));
    std::printf("disk: quests and their side files on %s; the editor's working copy on %s\n",
                qPrintable(bench::diskText(tmp.path())), qPrintable(bench::diskText(home.path())));
    // --pages N measures one size only; --document only find, the
    // statistics and the graph of the document.
    const qsizetype only = args.indexOf(QStringLiteral("--pages"));
    if (only > 0 && only + 1 < args.size()) {
        const int pages = args[only + 1].toInt();
        if (args.contains(QStringLiteral("--document"))) {
            std::printf("\n== %d pages ==\n", pages);
            measureDocument(pages);
        } else {
            measure(pages, tmp.path());
        }
        return 0;
    }
    measure(1000, tmp.path());
    measure(20000, tmp.path());
    return 0;
}
