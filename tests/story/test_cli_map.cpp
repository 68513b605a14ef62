// fablecraft-cli map as users run it: the JSON layout, the side file, the
// SVG picture and the exit statuses.
#include "tests/support/testsupport.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

struct MapRun
{
    int status = -1;
    QByteArray out, err;
};

MapRun map(const QStringList &args)
{
    QProcess p;
    p.start(QStringLiteral(FABLECRAFT_CLI), QStringList{QStringLiteral("map")} + args);
    p.closeWriteChannel();
    EXPECT_TRUE(p.waitForFinished(30000));
    return {p.exitCode(), p.readAllStandardOutput(), p.readAllStandardError()};
}

// 1 -> 2, 3; 2 is a battle (win 4, lose 5, escape 3); 3 and 5 end; 4 leads
// to a page that does not exist; 7 is not reached.
const char kQuest[] =
    "[Quest Data]\r\nNumber Of Pages=7\r\n[Story Info]\r\nTitle=Map\r\n"
    "[1]\r\nLocation=Gate\r\nOption One=Left\r\nOption One Destination Page=2\r\nOption Two=Right\r\n"
    "Option Two Destination Page=3\r\n"
    "[2]\r\nBattle=1\r\nBattleWin=4\r\nBattleLose=5\r\nBattleEscapecheck=1\r\nBattleEscape=3\r\n"
    "[3]\r\nLocation=Well\r\n"
    "[4]\r\nOption One=On\r\nOption One Destination Page=99\r\n"
    "[5]\r\nLocation=Grave\r\n"
    "[7]\r\nOption One=Back\r\nOption One Destination Page=3\r\n";

class CliMap : public ::testing::Test
{
protected:
    void SetUp() override { ASSERT_TRUE(fc::test::writeFile(quest, kQuest)); }
    QTemporaryDir dir;
    QString quest = dir.filePath(QStringLiteral("map.qst"));
};

QJsonObject byPage(const QJsonArray &pages, int page)
{
    for (const QJsonValue &v : pages)
        if (v[QStringLiteral("page")].toInt() == page)
            return v.toObject();
    return {};
}

} // namespace

TEST_F(CliMap, JsonHoldsExactlyThePagesAndLinks)
{
    const MapRun r = map({quest, QStringLiteral("--json")});
    ASSERT_EQ(r.status, 0) << r.err.constData();
    QJsonParseError perr;
    const QJsonObject o = QJsonDocument::fromJson(r.out, &perr).object();
    ASSERT_EQ(perr.error, QJsonParseError::NoError) << r.out.constData();
    EXPECT_EQ(o.keys(), (QStringList{QStringLiteral("links"), QStringLiteral("pages")}));

    const QJsonArray pages = o[QStringLiteral("pages")].toArray();
    ASSERT_EQ(pages.size(), 6);
    const QStringList pageFields{QStringLiteral("battle"), QStringLiteral("ending"), QStringLiteral("layer"),
                                 QStringLiteral("page"), QStringLiteral("start"), QStringLiteral("x"), QStringLiteral("y")};
    for (const QJsonValue &v : pages) {
        EXPECT_EQ(v.toObject().keys(), pageFields);
        EXPECT_TRUE(v[QStringLiteral("page")].isDouble());
    }
    const struct
    {
        int page, layer;
        bool start, ending, battle;
    } expected[] = {{1, 0, true, false, false}, {2, 1, false, false, true}, {3, 1, false, true, false},
                    {4, 2, false, false, false}, {5, 2, false, true, false}};
    for (const auto &e : expected) {
        SCOPED_TRACE(e.page);
        const QJsonObject p = byPage(pages, e.page);
        EXPECT_EQ(p[QStringLiteral("layer")].toInt(), e.layer);
        EXPECT_EQ(p[QStringLiteral("start")].toBool(), e.start);
        EXPECT_EQ(p[QStringLiteral("ending")].toBool(), e.ending);
        EXPECT_EQ(p[QStringLiteral("battle")].toBool(), e.battle);
    }
    EXPECT_GE(byPage(pages, 7)[QStringLiteral("layer")].toInt(), 3); // after every reached layer
    EXPECT_LT(byPage(pages, 1)[QStringLiteral("x")].toInt(), byPage(pages, 2)[QStringLiteral("x")].toInt());

    QStringList links;
    for (const QJsonValue &v : o[QStringLiteral("links")].toArray()) {
        EXPECT_EQ(v.toObject().keys(), (QStringList{QStringLiteral("from"), QStringLiteral("kind"), QStringLiteral("to")}));
        links << QStringLiteral("%1>%2 %3").arg(v[QStringLiteral("from")].toInt()).arg(v[QStringLiteral("to")].toInt())
                     .arg(v[QStringLiteral("kind")].toString());
    }
    EXPECT_EQ(links, (QStringList{QStringLiteral("1>2 choice1"), QStringLiteral("1>3 choice2"), QStringLiteral("2>4 win"),
                                  QStringLiteral("2>5 lose"), QStringLiteral("2>3 escape"), QStringLiteral("7>3 choice1")}));
}

TEST_F(CliMap, SideFilePositionsAreUsedAndTheSvgIsWritten)
{
    ASSERT_TRUE(fc::test::writeFile(quest + QStringLiteral(".map"), "[Positions]\r\n3=5000,-40\r\n"));
    const QString svg = dir.filePath(QStringLiteral("map.svg"));
    const MapRun r = map({quest, QStringLiteral("--svg"), svg, QStringLiteral("--json")});
    ASSERT_EQ(r.status, 0) << r.err.constData();
    const QJsonObject p3 = byPage(QJsonDocument::fromJson(r.out)[QStringLiteral("pages")].toArray(), 3);
    EXPECT_EQ(p3[QStringLiteral("x")].toInt(), 5000);
    EXPECT_EQ(p3[QStringLiteral("y")].toInt(), -40);
    const QByteArray picture = fc::test::readFile(svg);
    EXPECT_TRUE(picture.startsWith("<?xml"));
    EXPECT_TRUE(picture.contains("</svg>"));
    EXPECT_EQ(picture.count("<line "), 6);
    EXPECT_TRUE(picture.contains(">Gate<"));

    // The text form names the broken destination and the side file's card.
    const MapRun text = map({quest});
    ASSERT_EQ(text.status, 0);
    EXPECT_TRUE(text.out.contains("4 -> 99 choice1 (no such page)")) << text.out.constData();
    EXPECT_TRUE(text.out.contains("page 3: 5000,-40, layer 1, ending, placed by the author")) << text.out.constData();
}

TEST_F(CliMap, ExitStatuses)
{
    const struct
    {
        QStringList args;
        int status;
    } cases[] = {
        {{}, 2},
        {{quest, QStringLiteral("--svg")}, 2},
        {{quest, QStringLiteral("--wide")}, 2},
        {{quest, quest}, 2},
        {{dir.filePath(QStringLiteral("missing.qst"))}, 1},
        {{dir.path()}, 1},
        {{quest, QStringLiteral("--svg"), dir.filePath(QStringLiteral("no/such/folder.svg"))}, 1},
    };
    for (const auto &c : cases) {
        const MapRun r = map(c.args);
        EXPECT_EQ(r.status, c.status) << c.args.join(QLatin1Char(' ')).toStdString();
        if (c.status != 0)
            EXPECT_FALSE(r.err.isEmpty());
    }
}
