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

// A list of more than 50 steps shows its first and last ten in the text
// form; the JSON form gives every step, in QJsonDocument's own layout.
TEST_F(CliCheck, LongStepListsAreShortenedInTextAndExactInJson)
{
    // Page p goes on by choice 1 or 3 (alternately) and has a broken choice
    // 2 whose destination needs escaping in JSON.
    constexpr int kPages = 60;
    QByteArray text;
    for (int p = 1; p < kPages; ++p)
        text += QStringLiteral("[%1]\r\nOption Two=Astray\r\nOption Two Destination Page=\"x\\\t%1\r\n"
                               "Option %2=On\r\nOption %2 Destination Page=%3\r\n")
                    .arg(p)
                    .arg(p % 2 ? QStringLiteral("One") : QStringLiteral("Three"))
                    .arg(p + 1)
                    .toLatin1();
    text += QStringLiteral("[%1]\r\nPage Text=End\r\n").arg(kPages).toLatin1();
    const QString quest = dir.filePath(QStringLiteral("line.qst"));
    ASSERT_TRUE(fc::test::writeFile(quest, text));
    auto way = [](int page) {
        QStringList steps;
        for (int p = 1; p < page; ++p)
            steps << (p % 2 ? QStringLiteral("1") : QStringLiteral("3"));
        return steps;
    };

    const CliRun json = cli({QStringLiteral("check"), QStringLiteral("--json"), quest});
    ASSERT_EQ(json.status, 1) << json.err.constData();
    const QJsonDocument doc = QJsonDocument::fromJson(json.out);
    ASSERT_TRUE(doc.isObject()) << json.out.left(2000).constData();
    EXPECT_EQ(doc.toJson(QJsonDocument::Indented), json.out);
    const QJsonArray findings = doc.object()[QStringLiteral("findings")].toArray();
    ASSERT_EQ(findings.size(), kPages - 1);
    for (const QJsonValue &v : findings) {
        const QJsonObject f = v.toObject();
        const int page = f[QStringLiteral("page")].toString().toInt();
        EXPECT_EQ(f[QStringLiteral("steps")].toArray(), QJsonArray::fromStringList(way(page))) << page;
        EXPECT_TRUE(f[QStringLiteral("message")].toString().contains(QStringLiteral("\"\"x\\\t%1\"").arg(page)));
    }

    const CliRun plain = cli({QStringLiteral("check"), quest});
    ASSERT_EQ(plain.status, 1) << plain.err.constData();
    const QStringList lines = QString::fromUtf8(plain.out).split(QLatin1Char('\n'));
    for (const int page : {3, 51, 52, kPages - 1}) {
        SCOPED_TRACE(page);
        const QStringList steps = way(page);
        const QString expected = steps.size() <= 50
                                     ? steps.join(QLatin1Char(' '))
                                     : steps.mid(0, 10).join(QLatin1Char(' '))
                                           + QStringLiteral(" \u2026 %1 steps \u2026 ").arg(steps.size() - 20)
                                           + steps.mid(steps.size() - 10).join(QLatin1Char(' '));
        const qsizetype at = lines.indexOf(QStringLiteral("  page %1, Option Two Destination Page: Option Two "
                                                          "Destination Page \"\"x\\\t%1\" names no page")
                                               .arg(page));
        ASSERT_GE(at, 0) << plain.out.left(3000).constData();
        EXPECT_EQ(lines.value(at + 1), QStringLiteral("    steps: ") + expected);
    }
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
