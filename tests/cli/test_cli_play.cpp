// The text-mode player as a program: arguments, steps, output and exit codes.
#include "tests/support/testsupport.h"

#include "storage/saved_game.h"

#include <QDir>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

struct PlayRun
{
    int status = -1;
    QByteArray out;
    QByteArray err;
    QJsonObject json() const { return QJsonDocument::fromJson(out).object(); }
};

PlayRun play(const QStringList &args)
{
    QProcess p;
    p.start(QStringLiteral(FABLECRAFT_CLI), QStringList{QStringLiteral("play")} + args);
    p.closeWriteChannel();
    EXPECT_TRUE(p.waitForFinished(30000));
    return {p.exitCode(), p.readAllStandardOutput(), p.readAllStandardError()};
}

class CliPlay : public ::testing::Test
{
protected:
    void SetUp() override
    {
        quest = dir.filePath(QStringLiteral("tale.qst"));
        fc::test::writeFile(quest,
                            "[Story Info]\r\nTitle=Tale\r\nAuthor=Us\r\nVersion=1\r\n"
                            "[1]\r\nLocation=Gate\r\nPage Text=A gate.\r\nOption One=Open it\r\n"
                            "Option One Destination Page=2\r\nOption One Score=+5\r\nAdd1=1\r\nKey Item1=Key\r\n"
                            "Option Two=Locked door\r\nRequired2=1\r\nKey Item2=Gem\r\nOption Two Destination Page=2\r\n"
                            "Music=/m/gate.mid\r\n"
                            "[2]\r\nLocation=Yard\r\nPage Text=A yard.\r\nOption One=Back\r\n"
                            "Option One Destination Page=1\r\nRequired1=0\r\nBattle=1\r\nBattleMonName=Rat\r\n"
                            "BattleMonHp=3\r\nBattleEscape=1\r\n");
    }
    QTemporaryDir dir;
    QString quest;
};

TEST_F(CliPlay, PlainOutputIsTheStoryLogWithCrLf)
{
    const PlayRun r = play({quest, QStringLiteral("1")});
    EXPECT_EQ(r.status, 0) << r.err.constData();
    EXPECT_TRUE(r.out.startsWith("No Quest Loaded.\r\nTale\r\n---"));
    EXPECT_TRUE(r.out.endsWith("A gate.\r\n>\r\nYard\r\n>\r\nA yard."));
}

TEST_F(CliPlay, JsonReportsTheScreen)
{
    const PlayRun r = play({QStringLiteral("--json"), quest, QStringLiteral("1"), QStringLiteral("escape")});
    ASSERT_EQ(r.status, 0) << r.err.constData();
    const QJsonObject o = r.json();
    EXPECT_EQ(o[QStringLiteral("quest")].toString(), quest);
    EXPECT_EQ(o[QStringLiteral("page")].toString(), "1");
    EXPECT_EQ(o[QStringLiteral("score")].toString(), "5");
    EXPECT_EQ(o[QStringLiteral("room")].toString(), "A gate.");
    EXPECT_EQ(o[QStringLiteral("title")].toString(), "Fablecraft 2004 BETA TEST VERSION 5.6");
    EXPECT_EQ(o[QStringLiteral("inventory")].toArray(), QJsonArray({"Key"}));
    const QJsonArray options = o[QStringLiteral("options")].toArray();
    ASSERT_EQ(options.size(), 4);
    // Option 1 gives the key that is now held, option 2 needs a gem.
    EXPECT_FALSE(options[0].toObject()[QStringLiteral("visible")].toBool());
    EXPECT_EQ(options[1].toObject()[QStringLiteral("caption")].toString(), "");
    const QJsonArray media = o[QStringLiteral("media")].toArray();
    EXPECT_EQ(media.first().toString(), "sound:");
    EXPECT_TRUE(media.contains(QStringLiteral("midi-start:/m/gate.mid")));
    const QJsonObject battle = o[QStringLiteral("battle")].toObject();
    EXPECT_FALSE(battle[QStringLiteral("open")].toBool());
    EXPECT_EQ(battle[QStringLiteral("enemy_label")].toString(), "Rat's HP:");
    EXPECT_EQ(battle[QStringLiteral("enemy_hp_max")].toDouble(), 3);
    EXPECT_TRUE(battle[QStringLiteral("text")].toString().startsWith(QStringLiteral("You are under attack from Rat!")));
}

TEST_F(CliPlay, HiddenChoiceOrControlStopsWithStatus3AfterPrinting)
{
    PlayRun r = play({quest, QStringLiteral("2"), QStringLiteral("1")});
    EXPECT_EQ(r.status, 3);
    EXPECT_EQ(r.err, "choice 2 is not offered\n");
    EXPECT_TRUE(r.out.endsWith("A gate.")); // output printed, later steps not run

    r = play({quest, QStringLiteral("attack")});
    EXPECT_EQ(r.status, 3);
    EXPECT_EQ(r.err, "attack is not available\n");

    r = play({quest, QStringLiteral("book")}); // no packaged game, no book
    EXPECT_EQ(r.status, 3);
    EXPECT_EQ(r.err, "book is not available\n");
}

TEST_F(CliPlay, PackagedGameHidesMenusAndAnswersQuestions)
{
    fc::test::writeFile(dir.filePath(QStringLiteral("game.dat")),
                        "[loaddat]\r\nQuestFile=tale.qst\r\n[Game Data]\r\nTitle=The Tale\r\n");
    PlayRun r = play({QStringLiteral("--program-dir"), dir.path(), QStringLiteral("--json"), QStringLiteral("-"),
                  QStringLiteral("new-game")});
    EXPECT_EQ(r.status, 3);
    EXPECT_EQ(r.err, "new-game is not available\n");
    EXPECT_EQ(r.json()[QStringLiteral("title")].toString(), "The Tale");
    EXPECT_EQ(r.json()[QStringLiteral("page")].toString(), "1");

    // Closing during a game asks; No keeps playing, Yes ends the run.
    r = play({QStringLiteral("--program-dir"), dir.path(), QStringLiteral("--answer"), QStringLiteral("no"),
              QStringLiteral("--json"), QStringLiteral("-"), QStringLiteral("close"), QStringLiteral("1")});
    EXPECT_EQ(r.status, 0) << r.err.constData();
    EXPECT_EQ(r.json()[QStringLiteral("messages")].toArray().size(), 1);
    EXPECT_EQ(r.json()[QStringLiteral("page")].toString(), "2");
    r = play({QStringLiteral("--program-dir"), dir.path(), QStringLiteral("--json"), QStringLiteral("-"),
              QStringLiteral("close"), QStringLiteral("1")});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.json()[QStringLiteral("page")].toString(), "1"); // steps after the end are not run
}

TEST_F(CliPlay, LoadWarningAnsweredNoKeepsTheGame)
{
    const PlayRun r = play({QStringLiteral("--answer"), QStringLiteral("no"), QStringLiteral("--json"), quest,
                        QStringLiteral("1"), QStringLiteral("load-quest:") + quest});
    ASSERT_EQ(r.status, 0);
    const QJsonArray messages = r.json()[QStringLiteral("messages")].toArray();
    ASSERT_EQ(messages.size(), 1);
    EXPECT_EQ(messages[0].toObject()[QStringLiteral("title")].toString(), "WARNING!!!!");
    EXPECT_EQ(r.json()[QStringLiteral("page")].toString(), "2");
}

// Every file of a folder with its contents.
QMap<QString, QByteArray> snapshot(const QString &folder)
{
    QMap<QString, QByteArray> files;
    for (const QString &name : QDir(folder).entryList(QDir::Files))
        files.insert(name, fc::test::readFile(folder + QLatin1Char('/') + name));
    return files;
}

// A command that ends before its file dialog opens uses up its PATH: the next
// dialog gets its own step's PATH, and the unused PATH is never read or
// written.
TEST_F(CliPlay, StepThatEndsBeforeItsDialogUsesUpItsPath)
{
    const QString other = dir.filePath(QStringLiteral("other.qst"));
    const QByteArray otherBytes = "[1]\r\nLocation=Elsewhere\r\nPage Text=Other.\r\nOption One=On\r\n";
    const QString held = dir.filePath(QStringLiteral("held.sav"));
    fc::SavedGame g;
    g.room = QStringLiteral("A yard.");
    g.options[0] = QStringLiteral("Back");
    g.page = QStringLiteral("2");
    g.score = QStringLiteral("7");
    ASSERT_TRUE(fc::WriteSavedGame(held, g).ok());
    const QString fresh = dir.filePath(QStringLiteral("fresh.sav"));
    fc::test::writeFile(dir.filePath(QStringLiteral("game.dat")), {}); // not packaged unless a case says so
    const QString packagedDat = QStringLiteral("[loaddat]\r\nQuestFile=tale.qst\r\n");

    struct Case
    {
        const char *name;
        QStringList args;
        QString launch; // game.dat contents
        int status;
        QString page;   // expected page afterwards ("" = not checked)
        QString score;
        QString quest;  // expected quest label
        QString written; // the one file the run may write ("" = none)
    };
    const QString no = QStringLiteral("no");
    const QString s2 = QStringLiteral("2");
    const QList<Case> cases = {
        {"load quest answered No, then save", {QStringLiteral("--answer"), no, quest, QStringLiteral("1"),
          QStringLiteral("load-quest:") + other, QStringLiteral("save:") + fresh}, {}, 0, s2, QStringLiteral("5"), quest, fresh},
        {"load quest answered No, then load", {QStringLiteral("--answer"), no, quest,
          QStringLiteral("load-quest:") + other, QStringLiteral("load:") + held}, {}, 0, s2, QStringLiteral("7"), quest, {}},
        {"load quest answered No, then load without items", {QStringLiteral("--answer"), no, quest,
          QStringLiteral("load-quest:") + other, QStringLiteral("load-without-items:") + held}, {}, 0, s2, QStringLiteral("7"), quest, {}},
        {"save without a quest, then load quest", {QStringLiteral("-"), QStringLiteral("save:") + other,
          QStringLiteral("load-quest:") + quest}, {}, 0, QStringLiteral("1"), QStringLiteral("0"), quest, {}},
        {"load without a quest, then load quest", {QStringLiteral("-"), QStringLiteral("load:") + other,
          QStringLiteral("load-quest:") + quest}, {}, 0, QStringLiteral("1"), QStringLiteral("0"), quest, {}},
        {"load without items without a quest, then load quest", {QStringLiteral("-"),
          QStringLiteral("load-without-items:") + other, QStringLiteral("load-quest:") + quest}, {}, 0,
          QStringLiteral("1"), QStringLiteral("0"), quest, {}},
        {"packaged game's quest answered No, then save", {QStringLiteral("--answer"), no, other,
          QStringLiteral("load-without-items:") + held}, packagedDat, 0, s2, QStringLiteral("7"),
          dir.filePath(QStringLiteral("tale.qst")), {}},
        {"hidden menus: save, then load without items", {QStringLiteral("-"), QStringLiteral("save:") + other,
          QStringLiteral("load-without-items:") + held}, packagedDat, 3, QStringLiteral("1"), QStringLiteral("0"),
          dir.filePath(QStringLiteral("tale.qst")), {}},
        {"hidden menus: load quest, then load without items", {QStringLiteral("-"),
          QStringLiteral("load-quest:") + other, QStringLiteral("load-without-items:") + held}, packagedDat, 3,
          QStringLiteral("1"), QStringLiteral("0"), dir.filePath(QStringLiteral("tale.qst")), {}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        QFile::remove(fresh);
        ASSERT_TRUE(fc::test::writeFile(other, otherBytes));
        ASSERT_TRUE(fc::test::writeFile(dir.filePath(QStringLiteral("game.dat")), c.launch.toLatin1()));
        const QMap<QString, QByteArray> before = snapshot(dir.path());
        const PlayRun r = play(QStringList{QStringLiteral("--program-dir"), dir.path(), QStringLiteral("--json")} + c.args);
        EXPECT_EQ(r.status, c.status) << r.err.constData();
        const QJsonObject o = r.json();
        EXPECT_EQ(o[QStringLiteral("quest")].toString(), c.quest);
        EXPECT_EQ(o[QStringLiteral("page")].toString(), c.page);
        EXPECT_EQ(o[QStringLiteral("score")].toString(), c.score);
        EXPECT_FALSE(o[QStringLiteral("log")].toString().contains(other));

        QMap<QString, QByteArray> after = snapshot(dir.path());
        if (!c.written.isEmpty()) {
            const QString name = QFileInfo(c.written).fileName();
            EXPECT_TRUE(after.contains(name));
            EXPECT_TRUE(o[QStringLiteral("log")].toString().contains(QStringLiteral("Game: ") + c.written));
            const fc::SavedGameLoad back = fc::ReadSavedGame(c.written, true);
            EXPECT_TRUE(back.ok());
            EXPECT_EQ(back.game.page, c.page);
            after.remove(name);
        }
        EXPECT_EQ(after, before);
        EXPECT_EQ(fc::test::readFile(other), otherBytes);
    }
}

TEST_F(CliPlay, SaveAndLoadRoundTrip)
{
    const QString sav = dir.filePath(QStringLiteral("g.sav"));
    PlayRun r = play({quest, QStringLiteral("1"), QStringLiteral("save:") + sav});
    ASSERT_EQ(r.status, 0);
    r = play({QStringLiteral("--json"), quest, QStringLiteral("load:") + sav});
    ASSERT_EQ(r.status, 0);
    EXPECT_EQ(r.json()[QStringLiteral("page")].toString(), "2");
    EXPECT_EQ(r.json()[QStringLiteral("score")].toString(), "5");
    EXPECT_EQ(r.json()[QStringLiteral("inventory")].toArray(), QJsonArray({"Key"}));
}

TEST_F(CliPlay, ChoicesAreNotAvailableDuringAFight)
{
    for (const QString &step : {QStringLiteral("1"), QStringLiteral("turn"), QStringLiteral("choose:1")}) {
        const PlayRun r = play({QStringLiteral("--json"), quest, QStringLiteral("1"), step, QStringLiteral("escape")});
        EXPECT_EQ(r.status, 3) << step.toStdString();
        EXPECT_EQ(r.err, (step + QStringLiteral(" is not available\n")).toUtf8());
        EXPECT_TRUE(r.json()[QStringLiteral("battle")].toObject()[QStringLiteral("open")].toBool());
        EXPECT_EQ(r.json()[QStringLiteral("page")].toString(), "2");
        EXPECT_FALSE(r.json()[QStringLiteral("ending")].toBool());
    }
}

TEST_F(CliPlay, JsonSaysWhetherThePageIsAnEnding)
{
    const QString end = dir.filePath(QStringLiteral("end.qst"));
    fc::test::writeFile(end, "[1]\r\nPage Text=Go\r\nOption One=On\r\nOption One Destination Page=2\r\n"
                             "[2]\r\nPage Text=The end.\r\n");
    struct Case { QStringList args; bool ending; };
    const QList<Case> cases = {
        {{QStringLiteral("-")}, false},
        {{end}, false},
        {{end, QStringLiteral("1")}, true},
        {{quest, QStringLiteral("1")}, false}, // a fight is going on
    };
    for (const Case &c : cases) {
        const PlayRun r = play(QStringList{QStringLiteral("--json")} + c.args);
        ASSERT_EQ(r.status, 0) << r.err.constData();
        ASSERT_TRUE(r.json().contains(QStringLiteral("ending")));
        EXPECT_EQ(r.json()[QStringLiteral("ending")].toBool(), c.ending) << c.args.join(' ').toStdString();
    }
}

TEST_F(CliPlay, UsageErrorsExitWith2)
{
    EXPECT_EQ(play({}).status, 2);
    EXPECT_EQ(play({quest, QStringLiteral("dance")}).status, 2);
    EXPECT_EQ(play({QStringLiteral("--answer"), QStringLiteral("maybe"), quest}).status, 2);
}

} // namespace
