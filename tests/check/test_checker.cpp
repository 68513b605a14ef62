// The quest checker and the playtester on small quests, each built to have
// one kind of finding (or none).
#include "engine/check/checker.h"
#include "engine/check/playtest.h"
#include "storage/quest_format.h"
#include "tests/support/testsupport.h"

#include <QDir>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <algorithm>
#include <optional>
#include <vector>

namespace {

using fc::check::checkQuest;
using fc::check::CheckReport;
using fc::check::Finding;

// A quest written as "[page]" lines and "key=value" lines separated by "|".
QByteArray questText(const char *compact)
{
    QByteArray text;
    for (const QByteArray &line : QByteArray(compact).split('|'))
        text += line.trimmed() + "\r\n";
    return text;
}

struct Expected
{
    const char *kind;
    const char *page;
    const char *key;
    QStringList steps;
    const char *messagePart = ""; // the message contains this
};

struct EndingExpected
{
    const char *page;
    qint64 states;
    std::optional<int> min, max;
};

struct Case
{
    const char *name;
    const char *quest;
    std::vector<Expected> findings;
    std::vector<EndingExpected> endings;
};

QString describe(const QList<Finding> &findings)
{
    QString s;
    for (const Finding &f : findings)
        s += QStringLiteral("%1 %2 [%3] %4 {%5}\n").arg(f.kind, f.page, f.key, f.message, f.steps.join(QLatin1Char(' ')));
    return s;
}

class Checker : public ::testing::Test
{
protected:
    QString write(const char *compact, const QString &name = QStringLiteral("q.qst"))
    {
        const QString path = dir.filePath(name);
        EXPECT_TRUE(fc::test::writeFile(path, questText(compact)));
        return path;
    }
    QTemporaryDir dir;
};

TEST_F(Checker, EachKindOfFindingWithItsSteps)
{
    const std::vector<Case> cases = {
        {"clean",
         "[Story Info]|Title=T|[1]|Option One=Take the lamp|Option One Destination Page=1|Option One Score=+1|Add1=1|"
         "Key Item1=Lamp|Option Two=Enter the cave|Option Two Destination Page=2|Required2=1|Key Item2=Lamp|"
         "[2]|Option One=Leave|Option One Destination Page=3|Option Two=Stay|Option Two Destination Page=4|"
         "Option Two Score=-2|[3]|Page Text=Out.|[4]|Page Text=In.",
         {},
         {{"3", 1, 1, 1}, {"4", 1, -1, -1}}},
        {"broken destinations",
         "[1]|Option One=Go|Option One Destination Page=2|[2]|Option One=Fly|Option One Destination Page=9|"
         "Option Two=Read|Option Two Destination Page=Story Info|Option Three=Wander|Option Four=Home|"
         "Option Four Destination Page=3|[3]|Page Text=End|[Story Info]|Title=T",
         {{"broken-destination", "2", "Option One Destination Page", {"1"}, "\"9\" names no page"},
          {"broken-destination", "2", "Option Two Destination Page", {"1"}, "not a page"},
          {"broken-destination", "2", "Option Three Destination Page", {"1"}, "leads nowhere"}},
         {{"3", 1, 0, 0}}},
        {"unreachable page",
         "[1]|Option One=Go|Option One Destination Page=2|[2]|Page Text=End|[3]|Page Text=Lost",
         {{"unreachable-page", "3", "", {}, "no player can reach"}},
         {{"2", 1, 0, 0}}},
        {"choice never offered: its gift is always held",
         "[1]|Option One=Take key|Option One Destination Page=2|Add1=1|Key Item1=Key|"
         "[2]|Option One=Take key again|Option One Destination Page=3|Add1=1|Key Item1=Key|"
         "Option Two=Use key|Option Two Destination Page=3|Required2=1|Key Item2=Key|[3]|Page Text=End",
         {{"never-offered", "2", "Option One", {"1"}, "already holds"}},
         {{"3", 1, 0, 0}}},
        {"required item never added",
         "[1]|Option One=Door|Option One Destination Page=2|Required1=1|Key Item1=Key|Option Two=Walk|"
         "Option Two Destination Page=2|[2]|Page Text=End",
         {{"never-offered", "1", "Option One", {}, "needs \"Key\""},
          {"item-never-added", "1", "Key Item1", {}, "\"Key\" is required"}},
         {{"2", 1, 0, 0}}},
        {"soft lock: every choice gated away",
         "[1]|Option One=Take key|Option One Destination Page=2|Add1=1|Key Item1=Key|Option Two=Go on|"
         "Option Two Destination Page=2|[2]|Option One=Open|Option One Destination Page=3|Required1=1|Key Item1=Key|"
         "[3]|Page Text=End",
         {{"soft-lock", "2", "", {"2"}, "offers none to a player holding no key item"}},
         {{"3", 1, 0, 0}}},
        {"soft lock: no ending beyond a page",
         "[1]|Option One=In|Option One Destination Page=2|Option Two=Out|Option Two Destination Page=3|"
         "[2]|Option One=Wait|Option One Destination Page=2|[3]|Page Text=End",
         {{"soft-lock", "2", "", {"1"}, "no ending can be reached"}},
         {{"3", 1, 0, 0}}},
        {"battle with no way out",
         "[1]|Option One=Fight|Option One Destination Page=2|Option Two=Flee|Option Two Destination Page=3|"
         "[2]|Battle=1|BattleMonName=Rat|BattleEscapecheck=0|[3]|Page Text=End",
         {{"no-way-out", "2", "Battle", {"1"}, "cannot go on"}},
         {{"2", 1, 0, 0}, {"3", 1, 0, 0}}},
        {"battles never opened",
         "[1]|Option One=Go|Option One Destination Page=2|[2]|Battle=0|BattleMonName=Rat|"
         "[4]|Battle=1|BattleEscapecheck=0|Option One=Back|Option One Destination Page=1",
         {{"unreachable-page", "4", "", {}, ""},
          {"battle-never-opened", "2", "Battle", {"1"}, "\"Battle\" is \"0\""},
          {"battle-never-opened", "4", "Battle", {}, "no player reaches"}},
         {{"2", 1, 0, 0}}},
        {"item given but never required",
         "[1]|Option One=Take coin|Option One Destination Page=2|Add1=1|Key Item1=Coin|Option Two=Go|"
         "Option Two Destination Page=2|[2]|Page Text=End",
         {{"item-never-required", "1", "Key Item1", {}, "\"Coin\" is given here"}},
         {{"2", 2, 0, 0}}},
        {"monster's item never required",
         "[1]|Option One=Go|Option One Destination Page=2|[2]|Battle=1|BattleMonKeyItem=Fang|BattleWin=3|"
         "BattleLose=3|BattleEscapecheck=0|[3]|Page Text=End",
         {{"item-never-required", "2", "BattleMonKeyItem", {"1"}, "\"Fang\""}},
         {{"3", 1, 0, 0}}},
        {"missing media",
         "[1]|Image=missing.png|Music=sub/none.mid|Mp3=/nonexistent/x.wav|Movie=present.avi|"
         "Option One=Go|Option One Destination Page=2|[2]|Battle=1|BattleImage=monster\\pic.png|BattleWin=3|"
         "BattleLose=3|BattleEscapecheck=0|[3]|Page Text=End",
         {{"missing-media", "1", "Image", {}, "\"missing.png\" is not found beside the quest"},
          {"missing-media", "1", "Music", {}, "sub/none.mid"},
          {"missing-media", "1", "Mp3", {}, "is not found"},
          {"missing-media", "2", "BattleImage", {"1"}, "use \"/\""}},
         {{"3", 1, 0, 0}}},
        {"values read otherwise than meant",
         "[1]|Page Text=$5 to enter|Option One=Go|Option One Destination Page=2|Option One Score=abc|"
         "Option Two=Pay|Option Two Destination Page=2|Option Two Score=2.5|"
         "Option Three=This caption is far too long for the editor, which stops at sixty|"
         "Option Three Destination Page=2|Add3=yes|Option Four=&Run|Option Four Destination Page=2|[2]|Page Text=End",
         {{"suspicious-value", "1", "Option One Score", {}, "not a number"},
          {"suspicious-value", "1", "Option Two Score", {}, "not a whole number"},
          {"suspicious-value", "1", "Add3", {}, "\"yes\""},
          {"suspicious-value", "1", "Option Three", {}, "65 characters long; the editor takes at most 60"},
          {"suspicious-value", "1", "Option Four", {}, "starts with \"&\""},
          {"suspicious-value", "1", "Page Text", {}, "starts with \"$\""}},
         {{"2", 1, 0, 2}}},
        {"a loop that changes the score",
         "[1]|Option One=Pray|Option One Destination Page=1|Option One Score=+1|Option Two=Leave|"
         "Option Two Destination Page=2|[2]|Page Text=End",
         {{"suspicious-value", "1", "Option One Score", {}, "loop"}},
         {{"2", 1, 0, std::nullopt}}},
        {"a loop that only takes away",
         "[1]|Option One=Pay|Option One Destination Page=1|Option One Score=-1|Option Two=Leave|"
         "Option Two Destination Page=2|[2]|Page Text=End",
         {{"suspicious-value", "1", "Option One Score", {}, "loop"}},
         {{"2", 1, std::nullopt, 0}}},
        {"loops both ways",
         "[1]|Option One=Pray|Option One Destination Page=1|Option One Score=+1|Option Two=Pay|"
         "Option Two Destination Page=1|Option Two Score=-1|Option Three=Leave|Option Three Destination Page=2|"
         "[2]|Page Text=End",
         {{"suspicious-value", "1", "Option One Score", {}, "loop"}},
         {{"2", 1, std::nullopt, std::nullopt}}},
        // Every loop here gains (+2, or +1 -1 +0 = 0), though the way
        // first found to page 2 makes the choices look mixed.
        {"loops of gains and losses that never lose in sum",
         "[1]|Option One=Climb|Option One Destination Page=2|Option One Score=+2|Option Two=Wander|"
         "Option Two Destination Page=3|Option Two Score=+1|[2]|Option One=Back|Option One Destination Page=1|"
         "Option Two=Leave|Option Two Destination Page=4|[3]|Option One=Slip|Option One Destination Page=2|"
         "Option One Score=-1|[4]|Page Text=End",
         {{"suspicious-value", "1", "Option One Score", {}, "loop"}},
         {{"4", 1, 0, std::nullopt}}},
        // 10^20 is beyond what any score can take: the engine keeps the
        // score, so the loop changes nothing.
        {"a loop whose score is too big to add",
         "[1]|Option One=Pray|Option One Destination Page=1|Option One Score=100000000000000000000|"
         "Option Two=Leave|Option Two Destination Page=2|[2]|Page Text=End",
         {{"suspicious-value", "1", "Option One Score", {}, "the engine keeps the old score"},
          {"suspicious-value", "1", "Option One Score", {}, "characters long"}},
         {{"2", 1, 0, 0}}},
        {"a loop whose score changes cancel out",
         "[1]|Option One=Up|Option One Destination Page=2|Option One Score=+1|Option Two=Leave|"
         "Option Two Destination Page=3|[2]|Option One=Down|Option One Destination Page=1|Option One Score=-1|"
         "[3]|Page Text=End",
         {},
         {{"3", 1, 0, 0}}},
        // The same loop walked with and without an item is one loop: it is
        // named once, by its first score-changing choice in the quest.
        {"one loop walked with different items",
         "[1]|Option One=Take charm|Option One Destination Page=2|Add1=1|Key Item1=Charm|Option Two=Go|"
         "Option Two Destination Page=2|[2]|Option One=Up|Option One Destination Page=3|Option One Score=+1|"
         "Option Two=Leave|Option Two Destination Page=4|Option Three=Wish|Option Three Destination Page=4|"
         "Required3=1|Key Item3=Charm|[3]|Option One=Down|Option One Destination Page=2|Option One Score=+2|"
         "[4]|Page Text=End",
         {{"suspicious-value", "2", "Option One Score", {"1"}, "loop"}},
         {{"4", 2, 0, std::nullopt}}},
        {"scores carried past an item",
         "[1]|Option One=Take map|Option One Destination Page=2|Option One Score=+3|Add1=1|Key Item1=Map|"
         "Option Two=Go|Option Two Destination Page=2|Option Two Score=-1|[2]|Option One=Read map|"
         "Option One Destination Page=3|Option One Score=+10|Required1=1|Key Item1=Map|Option Two=Walk|"
         "Option Two Destination Page=3|[3]|Page Text=End",
         {},
         {{"3", 2, -1, 13}}},
        {"soft lock only for a player holding an item",
         "[1]|Option One=Take torch|Option One Destination Page=2|Add1=1|Key Item1=Torch|Option Two=Go|"
         "Option Two Destination Page=2|[2]|Option One=Descend|Option One Destination Page=3|Required1=1|"
         "Key Item1=Torch|Option Two=Leave|Option Two Destination Page=4|[3]|Option One=Wander|"
         "Option One Destination Page=3|[4]|Page Text=End",
         {{"soft-lock", "3", "", {"1", "1"}, "no ending can be reached"}},
         {{"4", 2, 0, 0}}},
    };

    QDir(dir.path()).mkpath(QStringLiteral("."));
    fc::test::writeFile(dir.filePath(QStringLiteral("present.avi")), "x");
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        const CheckReport r = checkQuest(write(c.quest));
        ASSERT_TRUE(r.error.isEmpty()) << r.error.toStdString();
        ASSERT_EQ(r.findings.size(), qsizetype(c.findings.size())) << describe(r.findings).toStdString();
        for (size_t i = 0; i < c.findings.size(); ++i) {
            const Finding &f = r.findings[qsizetype(i)];
            const Expected &e = c.findings[i];
            EXPECT_EQ(f.kind, QLatin1String(e.kind)) << i;
            EXPECT_EQ(f.page, QLatin1String(e.page)) << i;
            EXPECT_EQ(f.key, QLatin1String(e.key)) << i;
            EXPECT_EQ(f.steps.toList(), e.steps) << i << ' ' << f.message.toStdString();
            EXPECT_TRUE(f.message.contains(QLatin1String(e.messagePart))) << f.message.toStdString();
        }
        EXPECT_EQ(r.needsFixing(), !c.findings.empty());
        ASSERT_EQ(r.endings.size(), qsizetype(c.endings.size()));
        for (size_t i = 0; i < c.endings.size(); ++i) {
            EXPECT_EQ(r.endings[qsizetype(i)].page, QLatin1String(c.endings[i].page));
            EXPECT_EQ(r.endings[qsizetype(i)].states, c.endings[i].states);
            EXPECT_EQ(r.endings[qsizetype(i)].minScore, c.endings[i].min);
            EXPECT_EQ(r.endings[qsizetype(i)].maxScore, c.endings[i].max);
        }
    }
}

// A long chain of +99 goes past 32767: from there on the engine keeps the
// score, and every later +99 is reported.
TEST_F(Checker, ScoreThatLeavesTheSixteenBitRange)
{
    QByteArray text;
    for (int p = 1; p <= 335; ++p)
        text += QStringLiteral("[%1]\r\nOption One=On\r\nOption One Destination Page=%2\r\nOption One Score=+99\r\n")
                    .arg(p)
                    .arg(p + 1)
                    .toLatin1();
    text += "[336]\r\nPage Text=End\r\n";
    const QString path = dir.filePath(QStringLiteral("long.qst"));
    ASSERT_TRUE(fc::test::writeFile(path, text));
    const CheckReport r = checkQuest(path);
    ASSERT_EQ(r.findings.size(), 5) << describe(r.findings).toStdString();
    const QStringList pages{"331", "332", "333", "334", "335"};
    for (int i = 0; i < 5; ++i) {
        EXPECT_EQ(r.findings[i].kind, "suspicious-value");
        EXPECT_EQ(r.findings[i].page, pages[i]);
        EXPECT_EQ(r.findings[i].key, "Option One Score");
        EXPECT_EQ(r.findings[i].steps.size(), pages[i].toInt() - 1);
    }
    EXPECT_TRUE(r.findings[0].message.contains(QLatin1String("can be 32670 here"))) << r.findings[0].message.toStdString();
    ASSERT_EQ(r.endings.size(), 1);
    EXPECT_EQ(r.endings[0].minScore, 32670);
    EXPECT_EQ(r.endings[0].maxScore, 32670);
}

// A path through a fight that must be won: the steps fix the fight's seed and
// attack until it is decided.
TEST_F(Checker, StepsThroughAFightSeedItAndAttack)
{
    const CheckReport r = checkQuest(
        write("[1]|Option One=Go|Option One Destination Page=2|[2]|Battle=1|BattleMonName=Rat|BattleMonHp=12|"
              "BattleWin=3|BattleLose=4|BattleEscape=4|[3]|Option One=Onward|Option One Destination Page=99|"
              "Option Two=Rest|Option Two Destination Page=4|[4]|Page Text=End"));
    ASSERT_EQ(r.findings.size(), 1) << describe(r.findings).toStdString();
    const QStringList steps = r.findings[0].steps.toList();
    ASSERT_GE(steps.size(), 3);
    EXPECT_EQ(steps[0], "1");
    EXPECT_TRUE(steps[1].startsWith(QLatin1String("seed:")));
    for (qsizetype i = 2; i < steps.size(); ++i)
        EXPECT_EQ(steps[i], "attack");
}

// Steps are spelt out from the links between the states each time they are
// asked for: every way of asking gives the same steps, on long ways and on
// ways through a fight alike.
TEST_F(Checker, StepsAskedForInPartsAgreeWithTheWholeList)
{
    // Page p goes on by choice 1 or 3 (alternately) and has a broken choice 2;
    // page 30 is a fight that must be won to go on.
    QByteArray text;
    constexpr int kPages = 40;
    for (int p = 1; p < kPages; ++p) {
        text += QStringLiteral("[%1]\r\n").arg(p).toLatin1();
        if (p == 30) {
            text += "Battle=1\r\nBattleMonName=Rat\r\nBattleMonHp=12\r\nBattleWin=31\r\nBattleLose=40\r\n"
                    "BattleEscapecheck=0\r\n";
            continue;
        }
        text += "Option Two=Astray\r\nOption Two Destination Page=nowhere\r\n";
        text += QStringLiteral("Option %1=On\r\nOption %1 Destination Page=%2\r\n")
                    .arg(p % 2 ? QStringLiteral("One") : QStringLiteral("Three"))
                    .arg(p + 1)
                    .toLatin1();
    }
    text += QStringLiteral("[%1]\r\nPage Text=End\r\n").arg(kPages).toLatin1();
    const QString path = dir.filePath(QStringLiteral("line.qst"));
    ASSERT_TRUE(fc::test::writeFile(path, text));
    const CheckReport r = checkQuest(path);
    ASSERT_TRUE(r.error.isEmpty()) << r.error.toStdString();
    int checked = 0;
    for (const Finding &f : r.findings) {
        if (f.kind != QLatin1String("broken-destination"))
            continue;
        SCOPED_TRACE(f.page.toStdString());
        const int page = f.page.toInt();
        const QStringList all = f.steps.toList();
        if (page < 30) {
            QStringList expected;
            for (int p = 1; p < page; ++p)
                expected << (p % 2 ? QStringLiteral("1") : QStringLiteral("3"));
            EXPECT_EQ(all, expected);
        } else {
            EXPECT_TRUE(all.contains(QStringLiteral("attack"))) << f.steps.join(' ').toStdString();
        }
        EXPECT_EQ(f.steps.size(), all.size());
        EXPECT_EQ(f.steps.isEmpty(), all.isEmpty());
        EXPECT_EQ(f.steps.join(QLatin1Char(' ')), all.join(QLatin1Char(' ')));
        for (const qsizetype n : {0, 1, 9, 10, 11, 100}) {
            EXPECT_EQ(f.steps.first(n), all.mid(0, n)) << n;
            EXPECT_EQ(f.steps.last(n), all.mid(std::max<qsizetype>(0, all.size() - n))) << n;
        }
        QStringList streamed;
        f.steps.forEach([&](const QString &s) { streamed << s; });
        EXPECT_EQ(streamed, all);
        ++checked;
    }
    EXPECT_EQ(checked, kPages - 2);
}

TEST_F(Checker, UnreadableQuestIsAnError)
{
    const CheckReport r = checkQuest(dir.filePath(QStringLiteral("none.qst")));
    EXPECT_FALSE(r.error.isEmpty());
    EXPECT_TRUE(r.findings.isEmpty());
}

TEST_F(Checker, QuestWithoutPageOne)
{
    const CheckReport r = checkQuest(write("[2]|Page Text=Alone"));
    ASSERT_GE(r.findings.size(), 1);
    EXPECT_EQ(r.findings[0].kind, "broken-destination");
    EXPECT_EQ(r.findings[0].page, "1");
    EXPECT_EQ(r.states, 0);
}

// A quest beyond the checker's bounds is refused with a reason, never
// explored until memory runs out.
TEST_F(Checker, QuestsTooBigToCheckAreRefused)
{
    const struct
    {
        const char *name, *quest;
        qint64 maxStates, maxIndexEntries;
        const char *reason;
    } cases[] = {
        {"more states than allowed",
         "[1]|Option One=On|Option One Destination Page=2|[2]|Option One=On|Option One Destination Page=3|"
         "[3]|Option One=On|Option One Destination Page=4|[4]|Option One=On|Option One Destination Page=5|[5]|Page Text=End",
         3, 1'000'000, "more than 3 states"},
        // Sixteen sets of items, each held on page 1 alone: few states, but
        // each in a block of its own.
        {"states spread thinly over item sets",
         "[1]|Option One=Take A|Option One Destination Page=1|Add1=1|Key Item1=A|"
         "Option Two=Take B|Option Two Destination Page=1|Add2=1|Key Item2=B|"
         "Option Three=Take C|Option Three Destination Page=1|Add3=1|Key Item3=C|"
         "Option Four=Take D|Option Four Destination Page=1|Add4=1|Key Item4=D",
         100, 1000, "spread too thinly"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        fc::check::CheckOptions options;
        options.maxStates = c.maxStates;
        options.maxIndexEntries = c.maxIndexEntries;
        const CheckReport r = checkQuest(write(c.quest), options);
        EXPECT_TRUE(r.error.contains(QLatin1String(c.reason))) << r.error.toStdString();
        EXPECT_TRUE(r.error.contains(QLatin1String("too big to check"))) << r.error.toStdString();
        EXPECT_TRUE(r.findings.isEmpty());
    }
    // The same quests check within the default bounds.
    EXPECT_TRUE(checkQuest(write(cases[1].quest)).error.isEmpty());
}

TEST_F(Checker, PageNamesSortAsNumbersFirst)
{
    QStringList names{"10", "b", "2", "A", "1", "02"};
    std::sort(names.begin(), names.end(), fc::quest::pageNameLess);
    EXPECT_EQ(names, QStringList({"1", "02", "2", "10", "A", "b"}));
}

// The playtester: repeatable for a seed, every run accounted for, fights
// fought with the engine's own fight.
TEST_F(Checker, PlaytestIsRepeatableAndAccountsForEveryRun)
{
    const QString quest =
        write("[1]|Option One=Fight|Option One Destination Page=2|Option Two=Walk|Option Two Destination Page=3|"
              "Option Two Score=+2|[2]|Battle=1|BattleMonName=Rat|BattleMonHp=20|BattleMonAtk=9|BattleWin=3|"
              "BattleLose=4|BattleEscape=1|[3]|Page Text=Home|[4]|Page Text=Fallen|[5]|Page Text=Never");
    fc::check::PlaytestOptions o;
    o.runs = 600;
    o.seed = 7;
    const auto a = fc::check::playtestQuest(quest, o);
    const auto b = fc::check::playtestQuest(quest, o);
    ASSERT_TRUE(a.error.isEmpty());
    qint64 ended = 0;
    for (const auto &e : a.endings)
        ended += e.runs;
    EXPECT_EQ(ended + a.loops + a.stuck + a.nowhere, 600);
    EXPECT_EQ(a.nowhere, 0);
    EXPECT_EQ(a.neverReached, QStringList{"5"});
    ASSERT_EQ(a.battles.size(), 1);
    EXPECT_EQ(a.battles[0].page, "2");
    EXPECT_GT(a.battles[0].won, 0);
    EXPECT_GT(a.battles[0].lost, 0);
    EXPECT_GT(a.battles[0].escaped, 0);
    ASSERT_EQ(a.endings.size(), 2);
    EXPECT_EQ(a.endings[0].page, "3");
    EXPECT_EQ(a.endings[0].maxScore, 2);
    EXPECT_EQ(a.minScore, 0);
    EXPECT_EQ(a.maxScore, 2);
    ASSERT_EQ(a.pages.size(), b.pages.size());
    for (qsizetype i = 0; i < a.pages.size(); ++i)
        EXPECT_EQ(a.pages[i].visits, b.pages[i].visits);
    ASSERT_EQ(a.choices.size(), b.choices.size());
    for (qsizetype i = 0; i < a.choices.size(); ++i)
        EXPECT_EQ(a.choices[i].taken, b.choices[i].taken);
    EXPECT_EQ(a.battles[0].won, b.battles[0].won);

    // Runs shared over threads play as they do on one.
    o.threads = 1;
    const auto one = fc::check::playtestQuest(quest, o);
    o.threads = 3;
    const auto three = fc::check::playtestQuest(quest, o);
    o.threads = 0;

    // Another seed plays other games.
    o.seed = 8;
    const auto c = fc::check::playtestQuest(quest, o);
    auto counts = [](const fc::check::PlaytestReport &r) {
        QList<qint64> n;
        for (const auto &ch : r.choices)
            n << ch.taken;
        n << r.battles[0].won << r.battles[0].lost << r.battles[0].escaped;
        return n;
    };
    EXPECT_NE(counts(c), counts(a));
    EXPECT_EQ(counts(one), counts(a));
    EXPECT_EQ(counts(three), counts(a));
}

TEST_F(Checker, PlaytestCountsLoopsAndStuckRuns)
{
    fc::check::PlaytestOptions o;
    o.runs = 50;
    o.maxSteps = 30;
    const auto loop = fc::check::playtestQuest(write("[1]|Option One=Again|Option One Destination Page=1"), o);
    EXPECT_EQ(loop.loops, 50);
    EXPECT_TRUE(loop.endings.isEmpty());
    const auto stuck = fc::check::playtestQuest(
        write("[1]|Option One=Open|Option One Destination Page=1|Required1=1|Key Item1=Key", QStringLiteral("s.qst")), o);
    EXPECT_EQ(stuck.stuck, 50);
    EXPECT_EQ(stuck.loops, 0);
    const auto nowhere = fc::check::playtestQuest(
        write("[1]|Option One=Off|Option One Destination Page=8", QStringLiteral("n.qst")), o);
    EXPECT_EQ(nowhere.nowhere, 50);
    EXPECT_TRUE(nowhere.endings.isEmpty());
}

} // namespace
