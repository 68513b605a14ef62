// fablecraft-cli check and playtest as programs: output, exit status, and
// step lists that `fablecraft-cli play` replays to the page they report.
#include "tests/support/testsupport.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

struct CliRun
{
    int status = -1;
    QByteArray out;
    QByteArray err;
    QJsonObject json() const { return QJsonDocument::fromJson(out).object(); }
};

CliRun cli(const QStringList &args)
{
    QProcess p;
    p.start(QStringLiteral(FABLECRAFT_CLI), args);
    p.closeWriteChannel();
    EXPECT_TRUE(p.waitForFinished(60000));
    return {p.exitCode(), p.readAllStandardOutput(), p.readAllStandardError()};
}

QByteArray questText(const char *compact)
{
    QByteArray text;
    for (const QByteArray &line : QByteArray(compact).split('|'))
        text += line.trimmed() + "\r\n";
    return text;
}

class CliCheck : public ::testing::Test
{
protected:
    QString write(const char *name, const char *compact)
    {
        const QString path = dir.filePath(QString::fromLatin1(name));
        EXPECT_TRUE(fc::test::writeFile(path, questText(compact)));
        return path;
    }

    // Plays the steps of every finding and expects to stand on its page.
    void expectStepsReplay(const QString &quest, const QJsonArray &findings)
    {
        int replayed = 0;
        for (const QJsonValue &v : findings) {
            const QJsonObject f = v.toObject();
            QStringList steps;
            for (const QJsonValue &s : f[QStringLiteral("steps")].toArray())
                steps << s.toString();
            if (steps.isEmpty())
                continue;
            SCOPED_TRACE(steps.join(QLatin1Char(' ')).toStdString());
            const CliRun play = cli(QStringList{QStringLiteral("play"), QStringLiteral("--json"), quest} + steps);
            ASSERT_EQ(play.status, 0) << play.err.constData();
            EXPECT_EQ(play.json()[QStringLiteral("page")].toString(), f[QStringLiteral("page")].toString());
            ++replayed;
        }
        EXPECT_GT(replayed, 0);
    }

    QTemporaryDir dir;
};

TEST_F(CliCheck, ExitStatusTellsWhetherSomethingNeedsFixing)
{
    const QString clean = write("clean.qst", "[1]|Option One=Go|Option One Destination Page=2|[2]|Page Text=End");
    const QString broken = write("broken.qst", "[1]|Option One=Go|Option One Destination Page=7|Option Two=Stop|"
                                               "Option Two Destination Page=2|[2]|Page Text=End");
    struct Case
    {
        QStringList args;
        int status;
    } cases[] = {
        {{"check", clean}, 0},
        {{"check", "--json", clean}, 0},
        {{"check", broken}, 1},
        {{"check", "--json", broken}, 1},
        {{"check"}, 2},
        {{"check", "--fast", clean}, 2},
        {{"check", clean, broken}, 2},
        {{"check", dir.filePath("none.qst")}, 2},
        {{"playtest", "--runs", "20", clean}, 0},
        {{"playtest", "--runs", "0", clean}, 2},
        {{"playtest", "--seed", "x", clean}, 2},
        {{"playtest", "--runs"}, 2},
        {{"playtest"}, 2},
    };
    for (const Case &c : cases) {
        const CliRun r = cli(c.args);
        EXPECT_EQ(r.status, c.status) << c.args.join(' ').toStdString() << r.err.constData();
    }
}

TEST_F(CliCheck, JsonHasTheFindingsEndingsAndStates)
{
    const QString quest = write("q.qst", "[1]|Option One=Go|Option One Destination Page=2|Option One Score=+3|"
                                         "Option Two=Lost|Option Two Destination Page=9|[2]|Page Text=End|[3]|Page Text=Far");
    const CliRun r = cli({QStringLiteral("check"), QStringLiteral("--json"), quest});
    ASSERT_EQ(r.status, 1) << r.err.constData();
    const QJsonObject o = r.json();
    EXPECT_EQ(o[QStringLiteral("states")].toInt(), 2);
    const QJsonArray findings = o[QStringLiteral("findings")].toArray();
    ASSERT_EQ(findings.size(), 2);
    const QJsonObject first = findings[0].toObject();
    EXPECT_EQ(first.keys(), QStringList({"key", "kind", "message", "page", "steps"}));
    EXPECT_EQ(first[QStringLiteral("kind")].toString(), "broken-destination");
    EXPECT_EQ(first[QStringLiteral("page")].toString(), "1");
    EXPECT_EQ(first[QStringLiteral("key")].toString(), "Option Two Destination Page");
    EXPECT_EQ(first[QStringLiteral("steps")].toArray(), QJsonArray());
    EXPECT_EQ(findings[1].toObject()[QStringLiteral("kind")].toString(), "unreachable-page");
    EXPECT_EQ(findings[1].toObject()[QStringLiteral("page")].toString(), "3");
    EXPECT_EQ(o[QStringLiteral("endings")].toArray(),
              QJsonArray({QJsonObject{{"page", "2"}, {"states", 1}, {"min_score", 3}, {"max_score", 3}}}));

    // The text form groups by kind.
    const CliRun text = cli({QStringLiteral("check"), quest});
    EXPECT_TRUE(text.out.contains("broken-destination:\n  page 1, Option Two Destination Page: "));
    EXPECT_LT(text.out.indexOf("broken-destination:"), text.out.indexOf("unreachable-page:"));
    EXPECT_TRUE(text.out.contains("endings:\n  page 2: 1 state, score 3\n"));
}

TEST_F(CliCheck, ReportedStepsReplayInPlay)
{
    // Steps through a fight (won), a key item and a soft lock.
    const QString quest =
        write("fight.qst", "[1]|Option One=Take the key|Option One Destination Page=2|Add1=1|Key Item1=Key|"
                           "Option Two=Go on|Option Two Destination Page=2|"
                           "[2]|Battle=1|BattleMonName=Rat|BattleMonHp=12|BattleWin=3|BattleLose=5|BattleEscapecheck=0|"
                           "[3]|Option One=Onward|Option One Destination Page=99|Option Two=Door|"
                           "Option Two Destination Page=4|Required2=1|Key Item2=Key|"
                           "[4]|Option One=Open|Option One Destination Page=5|Required1=1|Key Item1=Gem|[5]|Page Text=End");
    const CliRun r = cli({QStringLiteral("check"), QStringLiteral("--json"), quest});
    ASSERT_EQ(r.status, 1) << r.err.constData();
    const QJsonArray findings = r.json()[QStringLiteral("findings")].toArray();
    bool throughFight = false;
    for (const QJsonValue &v : findings)
        throughFight = throughFight || v.toObject()[QStringLiteral("steps")].toArray().contains(QJsonValue("attack"));
    EXPECT_TRUE(throughFight) << r.out.constData();
    expectStepsReplay(quest, findings);
}

TEST_F(CliCheck, DefaultAdventureFindingsReplay)
{
    const QString quest = QStringLiteral(FABLECRAFT_DEFAULT_ADVENTURE);
    const CliRun r = cli({QStringLiteral("check"), QStringLiteral("--json"), quest});
    ASSERT_NE(r.status, 2) << r.err.constData();
    EXPECT_GT(r.json()[QStringLiteral("states")].toInt(), 100);
    if (r.status == 1)
        expectStepsReplay(quest, r.json()[QStringLiteral("findings")].toArray());
}

TEST_F(CliCheck, PlaytestIsRepeatable)
{
    const QString quest = write("p.qst", "[1]|Option One=Left|Option One Destination Page=2|Option Two=Right|"
                                         "Option Two Destination Page=3|Option Two Score=+1|[2]|Page Text=A|[3]|Page Text=B|[4]|Page Text=C");
    const QStringList args{QStringLiteral("playtest"), QStringLiteral("--runs"), QStringLiteral("300"),
                           QStringLiteral("--seed"),   QStringLiteral("5"),      QStringLiteral("--json"), quest};
    const CliRun a = cli(args);
    const CliRun b = cli(args);
    ASSERT_EQ(a.status, 0) << a.err.constData();
    EXPECT_EQ(a.out, b.out);
    const QJsonObject o = a.json();
    EXPECT_EQ(o[QStringLiteral("runs")].toInt(), 300);
    EXPECT_EQ(o[QStringLiteral("never_reached")].toArray(), QJsonArray({"4"}));
    const QJsonArray endings = o[QStringLiteral("endings")].toArray();
    ASSERT_EQ(endings.size(), 2);
    EXPECT_EQ(endings[0].toObject()[QStringLiteral("runs")].toInt() + endings[1].toObject()[QStringLiteral("runs")].toInt(), 300);
    EXPECT_EQ(o[QStringLiteral("min_score")].toInt(), 0);
    EXPECT_EQ(o[QStringLiteral("max_score")].toInt(), 1);
    EXPECT_EQ(o[QStringLiteral("loops")].toInt(), 0);
}

} // namespace
