// The story map's graph and layout: every page placed once, no two cards
// overlapping, layers following the distance from page 1, the side file's
// positions winning, and the side file itself.
#include "bench/generated_quest.h"
#include "editor/story_graph.h"
#include "editor/story_layout.h"
#include "tests/support/testsupport.h"

#include <QDir>
#include <QFile>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <algorithm>

using namespace fc::story;

namespace {

StoryPageInput page(const QString &name, const QStringList &choices, bool battle = false, const QString &win = {},
                    const QString &lose = {}, const QString &escape = {})
{
    StoryPageInput p;
    p.name = name;
    p.location = QStringLiteral("Room ") + name;
    p.text = QStringLiteral("Text of page ") + name;
    for (int i = 0; i < choices.size() && i < 4; ++i) {
        p.captions[size_t(i)] = QStringLiteral("Go");
        p.destinations[size_t(i)] = choices[i];
    }
    p.battle = battle ? QStringLiteral("1") : QStringLiteral("0");
    p.win = win;
    p.lose = lose;
    p.escape = escape;
    return p;
}

quint32 testSeed()
{
    static const quint32 seed = [] {
        const quint32 s = qEnvironmentVariableIsSet("FC_SEED") ? quint32(qEnvironmentVariableIntValue("FC_SEED"))
                                                               : QRandomGenerator::global()->generate();
        std::printf("story layout seed: FC_SEED=%u\n", s);
        return s;
    }();
    return seed;
}

// A random quest: pages 1..n with choices to random pages (some missing),
// a few battles, and a part that nothing from page 1 reaches.
QList<StoryPageInput> randomQuest(int n, quint32 seed)
{
    QRandomGenerator rng(seed);
    QList<StoryPageInput> pages;
    const int reachedPart = n * 3 / 4;
    for (int p = 1; p <= n; ++p) {
        const bool cut = p <= reachedPart;
        const int lo = cut ? 1 : reachedPart + 1, hi = cut ? reachedPart : n;
        QStringList choices;
        const int count = int(rng.bounded(5));
        for (int c = 0; c < count; ++c)
            choices << QString::number(rng.bounded(20) == 0 ? n + 100 : lo + int(rng.bounded(hi - lo + 1)));
        const bool battle = rng.bounded(8) == 0;
        pages << page(QString::number(p), choices, battle, QString::number(lo + int(rng.bounded(hi - lo + 1))));
    }
    std::shuffle(pages.begin() + 1, pages.end(), rng);
    return pages;
}

QList<StoryPageInput> fromFile(const QString &file)
{
    QList<StoryPageInput> pages;
    QString error;
    EXPECT_TRUE(loadStoryPages(file, &pages, &error)) << error.toStdString();
    return pages;
}

// Every rule of the layout, checked on its result.
void expectLayoutRules(const StoryGraph &g, const StoryLayout &l, const PinnedPositions &pinned = {})
{
    const int n = int(g.pages.size());
    ASSERT_EQ(l.positions.size(), n);
    ASSERT_EQ(l.layers.size(), n);

    // No two cards overlap: sweep by x.
    QList<int> byX(n);
    std::iota(byX.begin(), byX.end(), 0);
    std::sort(byX.begin(), byX.end(), [&](int a, int b) { return l.positions[a].x() < l.positions[b].x(); });
    for (int i = 0; i < n; ++i)
        for (int j = i + 1; j < n && l.positions[byX[j]].x() < l.positions[byX[i]].x() + kCardWidth; ++j)
            ASSERT_FALSE(l.cardRect(byX[i]).intersects(l.cardRect(byX[j])))
                << "pages " << g.pages[byX[i]].name.toStdString() << " and " << g.pages[byX[j]].name.toStdString();

    // Layers are the distance from page 1: no link skips ahead, and every
    // reached page but the first has a link from the layer before.
    QList<bool> fed(n, false);
    for (const StoryLink &k : g.links) {
        if (l.reached[k.from]) {
            ASSERT_TRUE(l.reached[k.to]);
            ASSERT_LE(l.layers[k.to], l.layers[k.from] + 1);
            if (l.layers[k.to] == l.layers[k.from] + 1)
                fed[k.to] = true;
        }
    }
    for (int p = 0; p < n; ++p) {
        ASSERT_GE(l.layers[p], 0);
        if (p == g.start) {
            EXPECT_EQ(l.layers[p], 0);
            EXPECT_TRUE(l.reached[p]);
        } else if (l.reached[p]) {
            EXPECT_TRUE(fed[p]) << "page " << g.pages[p].name.toStdString();
        } else {
            EXPECT_GE(l.layers[p], l.reachedLayers) << "unreached page " << g.pages[p].name.toStdString();
        }
    }

    // Layers run from left to right (cards the author placed aside).
    QMap<int, std::pair<int, int>> span; // layer -> min x, max x
    for (int p = 0; p < n; ++p) {
        if (l.pinned[p])
            continue;
        auto it = span.find(l.layers[p]);
        if (it == span.end())
            span.insert(l.layers[p], {l.positions[p].x(), l.positions[p].x()});
        else
            *it = {std::min(it->first, l.positions[p].x()), std::max(it->second, l.positions[p].x())};
    }
    int lastRight = INT_MIN;
    for (auto it = span.cbegin(); it != span.cend(); ++it) {
        EXPECT_GT(it->first, lastRight) << "layer " << it.key();
        lastRight = it->second;
    }

    // The side file's positions win (where two of them overlap, only the
    // later page moves, and only down).
    for (auto it = pinned.cbegin(); it != pinned.cend(); ++it) {
        const int p = g.indexOf(it.key());
        if (p < 0)
            continue;
        EXPECT_TRUE(l.pinned[p]);
        EXPECT_EQ(l.positions[p].x(), it.value().x());
        EXPECT_GE(l.positions[p].y(), it.value().y());
    }
    for (int p = 0; p < n; ++p)
        EXPECT_TRUE(l.bounds.contains(l.cardRect(p)));
}

} // namespace

TEST(StoryLayout, FollowsItsRulesOnEveryKindOfQuest)
{
    QList<StoryPageInput> chain;
    for (int p = 1; p <= 60; ++p)
        chain << page(QString::number(p), p < 60 ? QStringList{QString::number(p + 1)} : QStringList{});
    QList<StoryPageInput> wide{page(QStringLiteral("1"), {QStringLiteral("2"), QStringLiteral("3"), QStringLiteral("4"), QStringLiteral("5")})};
    for (int p = 2; p <= 5; ++p) {
        QStringList next;
        for (int c = 0; c < 4; ++c)
            next << QString::number(6 + (p - 2) * 4 + c);
        wide << page(QString::number(p), next);
    }
    for (int p = 6; p <= 21; ++p)
        wide << page(QString::number(p), {});
    QTemporaryDir dir;
    const QString generated = dir.filePath(QStringLiteral("generated.qst"));
    ASSERT_TRUE(fc::test::writeFile(generated, fc::bench::generateQuest(3000, fc::bench::QuestMix::Varied)));

    const struct
    {
        const char *name;
        QList<StoryPageInput> pages;
    } cases[] = {
        {"default adventure", fromFile(QStringLiteral(FABLECRAFT_DEFAULT_ADVENTURE))},
        {"chain", chain},
        {"wide tree", wide},
        {"no page 1", {page(QStringLiteral("7"), {QStringLiteral("8")}), page(QStringLiteral("8"), {})}},
        {"random", randomQuest(700, testSeed())},
        {"generated 3000", fromFile(generated)},
        {"empty", {}},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        const StoryGraph g = buildStoryGraph(c.pages);
        expectLayoutRules(g, layoutStory(g));
    }
}

TEST(StoryLayout, PositionsOfTheSideFileWin)
{
    QRandomGenerator rng(testSeed() + 1);
    const StoryGraph g = buildStoryGraph(randomQuest(400, testSeed()));
    const StoryLayout automatic = layoutStory(g);
    PinnedPositions pinned;
    // Some on top of automatic cards, some far away, two on the same spot.
    for (int i = 0; i < 40; ++i) {
        const int p = int(rng.bounded(int(g.pages.size())));
        pinned.insert(g.pages[p].name, automatic.positions[int(rng.bounded(int(g.pages.size())))] + QPoint(int(rng.bounded(50)), 7));
    }
    pinned.insert(QStringLiteral("1"), QPoint(-5000, -3000));
    pinned.insert(QStringLiteral("2"), QPoint(-5000, -3000));
    pinned.insert(QStringLiteral("no such page"), QPoint(10, 10));
    const StoryLayout l = layoutStory(g, pinned);
    expectLayoutRules(g, l, pinned);
    EXPECT_EQ(l.positions[g.indexOf(QStringLiteral("1"))], QPoint(-5000, -3000));
    EXPECT_EQ(l.positions[g.indexOf(QStringLiteral("2"))], QPoint(-5000, -3000 + kCardHeight + kGapY));
}

TEST(StoryGraph, LinksEndingsAndBattlesAsThePlayerMeetsThem)
{
    StoryPageInput captionless = page(QStringLiteral("5"), {});
    captionless.destinations[0] = QStringLiteral("1"); // no caption: never offered, no link
    StoryPageInput noEscape = page(QStringLiteral("6"), {}, true, QString(), QString(), QStringLiteral("1"));
    noEscape.escapeCheck = QStringLiteral("0");
    const StoryGraph g = buildStoryGraph({
        page(QStringLiteral("1"), {QStringLiteral("2"), QStringLiteral(" 3 "), QStringLiteral("404")}),
        page(QStringLiteral("2"), {}, true, QStringLiteral("3"), QStringLiteral("4"), QStringLiteral("1")),
        page(QStringLiteral("3"), {}, false, QStringLiteral("4")), // win without a battle: no link
        page(QStringLiteral("4"), {}),
        captionless,
        noEscape,
        page(QStringLiteral("1"), {QStringLiteral("4")}), // a second [1] is never read
    });
    ASSERT_EQ(g.pages.size(), 6);
    QStringList links;
    for (const StoryLink &k : g.links)
        links << g.pages[k.from].name + QStringLiteral(">") + g.pages[k.to].name + QLatin1Char(' ') + linkKindName(k.kind);
    EXPECT_EQ(links, (QStringList{QStringLiteral("1>2 choice1"), QStringLiteral("1>3 choice2"), QStringLiteral("2>3 win"),
                                  QStringLiteral("2>4 lose"), QStringLiteral("2>1 escape")}));
    ASSERT_EQ(g.broken.size(), 1);
    EXPECT_EQ(g.broken.first().destination, QStringLiteral("404"));
    EXPECT_EQ(g.broken.first().kind, LinkKind::Choice3);
    const auto at = [&](const char *n) { return g.pages[g.indexOf(QLatin1String(n))]; };
    EXPECT_TRUE(at("1").start);
    EXPECT_EQ(at("1").choices, 3);
    EXPECT_FALSE(at("2").ending); // a battle leads on
    EXPECT_TRUE(at("2").battle);
    EXPECT_TRUE(at("3").ending);
    EXPECT_TRUE(at("5").ending);
    EXPECT_TRUE(at("6").ending); // a battle with no way on and no escape allowed
}

TEST(StorySideFile, KeepsOtherPagesAndRefusesFilesItDidNotWrite)
{
    QTemporaryDir dir;
    const QString quest = dir.filePath(QStringLiteral("tale.qst"));
    const QString side = sideFilePath(quest);
    EXPECT_EQ(side, quest + QStringLiteral(".map"));

    PinnedPositions read;
    QString error;
    EXPECT_TRUE(readSideFile(side, &read, &error)); // missing: nothing, no error
    EXPECT_TRUE(read.isEmpty());

    ASSERT_TRUE(writeSideFile(side, {{QStringLiteral("1"), QPoint(10, -20)}, {QStringLiteral("12"), QPoint(300, 40)}}, &error))
        << error.toStdString();
    ASSERT_TRUE(writeSideFile(side, {{QStringLiteral("12"), QPoint(5, 6)}}, &error)) << error.toStdString();
    ASSERT_TRUE(readSideFile(side, &read, &error));
    EXPECT_EQ(read, (PinnedPositions{{QStringLiteral("1"), QPoint(10, -20)}, {QStringLiteral("12"), QPoint(5, 6)}}));
    EXPECT_TRUE(fc::test::readFile(side).startsWith("[Positions]"));

    // Values that are no positions are left out.
    ASSERT_TRUE(fc::test::writeFile(side, "[Positions]\r\n3=1,2\r\n4=x,2\r\n5=1\r\n6=1,999999999999\r\n7 = 8 , 9\r\n"));
    ASSERT_TRUE(readSideFile(side, &read, &error));
    EXPECT_EQ(read, (PinnedPositions{{QStringLiteral("3"), QPoint(1, 2)}, {QStringLiteral("7"), QPoint(8, 9)}}));

    // Not through a link, not over another file, not into a folder.
    const QByteArray questBytes = "[1]\r\nLocation=Hall\r\n";
    ASSERT_TRUE(fc::test::writeFile(quest, questBytes));
    const QString link = dir.filePath(QStringLiteral("linked.qst.map"));
    ASSERT_TRUE(QFile::link(quest, link));
    const QString folder = dir.filePath(QStringLiteral("folder.qst.map"));
    ASSERT_TRUE(QDir().mkpath(folder));
    for (const QString &target : {link, quest, folder}) {
        error.clear();
        EXPECT_FALSE(writeSideFile(target, {{QStringLiteral("1"), QPoint(1, 1)}}, &error)) << target.toStdString();
        EXPECT_FALSE(error.isEmpty());
    }
    EXPECT_EQ(fc::test::readFile(quest), questBytes);
}
