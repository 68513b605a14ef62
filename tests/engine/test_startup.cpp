// Start-up, packaged games, quest loading with its warning, the New Game
// menu, the book and test play.
#include "tests/engine/engine_fixture.h"
#include "tests/support/testsupport.h"

#include "storage/user_folders.h"

using namespace fc;
using fc::test::EngineTest;

class StartupTest : public EngineTest
{
protected:
    QString smallQuest(const QString &name)
    {
        return writeQuest(name, {"[Story Info]", "Title=Tale", "[1]", "Page Text=First", "Image=/p/one.png",
                                 "Music=/m/one.mid", "Mp3=/s/one.wav", "Option One=Onward",
                                 "Option One Destination Page=2", "Option Two=Needs key", "Required2=1",
                                 "Key Item2=Key", "Battle=1", "[2]", "Page Text=Second"});
    }
};

TEST_F(StartupTest, WithoutLaunchFileTheScreenStaysEmpty)
{
    game->questStart().startUp();
    EXPECT_FALSE(game->questStart().packaged());
    EXPECT_EQ(log(), "No Quest Loaded.\r\n");
    EXPECT_EQ(screen.state().questFile(), "No Quest Loaded.");
    EXPECT_TRUE(screen.view().menusVisible());
    EXPECT_TRUE(screen.view().menuPanelVisible());
    EXPECT_FALSE(screen.view().bookVisible()); // the book belongs to packaged games
    EXPECT_EQ(screen.view().title(), kEngineTitle);
    // An empty QuestFile is the same as none.
    writeQuest(QStringLiteral("game.dat"), {"[loaddat]", "QuestFile=", "[Game Data]", "Title=Nope"});
    game->questStart().startUp();
    EXPECT_FALSE(game->questStart().packaged());
    EXPECT_EQ(screen.view().title(), kEngineTitle);
    // The book does nothing then.
    game->questStart().clickBook();
    EXPECT_EQ(log(), "No Quest Loaded.\r\n");
}

TEST_F(StartupTest, PackagedGameStartsAtOnceWithItsTitle)
{
    smallQuest(QStringLiteral("adventure.qst"));
    writeQuest(QStringLiteral("game.dat"), {"[loaddat]", "QuestFile=adventure.qst", "[Game Data]", "Title=My Game"});
    game->questStart().startUp();
    EXPECT_TRUE(game->questStart().packaged());
    EXPECT_EQ(screen.view().title(), "My Game");
    EXPECT_FALSE(screen.view().menusVisible());
    EXPECT_FALSE(screen.view().authoringButtonsVisible());
    EXPECT_TRUE(screen.view().bookVisible());
    EXPECT_FALSE(screen.view().menuPanelVisible());
    EXPECT_EQ(screen.view().heightTwips(), 6600);
    EXPECT_EQ(screen.state().questFile(), programDir + QStringLiteral("/adventure.qst"));
    EXPECT_TRUE(log().contains(QStringLiteral("Tale\r\n")));
    // The full turn ran: gating hid the choice needing a key, the battle opened.
    EXPECT_FALSE(screen.state().option(1).visible());
    EXPECT_TRUE(screen.view().battleBoxVisible());
    EXPECT_TRUE(media.contains(QStringLiteral("midi-start:/m/one.mid")));

    // The book restarts the game with an empty inventory, below the old story.
    screen.state().addItem(QStringLiteral("Key"));
    for (int blows = 0; screen.view().battleBoxVisible() && blows < 100; ++blows)
        game->fight().clickAttack();
    choose(1);
    game->questStart().clickBook();
    EXPECT_TRUE(screen.state().inventory().isEmpty());
    EXPECT_EQ(screen.state().page(), "1");
    EXPECT_EQ(screen.state().score(), "0");
    EXPECT_EQ(log().count(QStringLiteral("Tale\r\n")), 2);
}

TEST_F(StartupTest, LoadingAsksFirstOnlyWhileAQuestRuns)
{
    const QString quest = smallQuest(QStringLiteral("a.qst"));
    loadQuest(quest);
    EXPECT_TRUE(dialogs.shown.isEmpty());
    EXPECT_EQ(files.requests.size(), 1);
    EXPECT_EQ(files.requests[0].initialDir, programDir);
    EXPECT_EQ(files.requests[0].filter, "*.qst|*.qst");

    // Answered No: nothing changes, no dialog shown.
    screen.state().addItem(QStringLiteral("Key"));
    const QString before = log();
    dialogs.answers.push_back(Answer::No);
    loadQuest(quest);
    ASSERT_EQ(dialogs.shown.size(), 1);
    EXPECT_EQ(dialogs.shown[0].title, "WARNING!!!!");
    EXPECT_EQ(dialogs.shown[0].text, "Are you sure? This will end the current game without saving!");
    EXPECT_EQ(files.requests.size(), 1);
    EXPECT_EQ(log(), before);
    EXPECT_EQ(screen.state().inventory(), QStringList({"Key"}));
    files.names.clear();

    // Answered Yes but the chooser cancelled: nothing changes either.
    game->questStart().menuLoadQuest();
    EXPECT_EQ(log(), before);
    EXPECT_EQ(screen.state().inventory(), QStringList({"Key"}));

    // Answered Yes and picked: inventory cleared, log kept and extended.
    loadQuest(quest);
    EXPECT_TRUE(screen.state().inventory().isEmpty());
    EXPECT_TRUE(log().startsWith(before));
    EXPECT_GT(log().size(), before.size());
}

TEST_F(StartupTest, NewGameMenuIsTheReducedStartOfTheDefaultAdventure)
{
    writeQuest(QStringLiteral("VellumAdventure.qst"),
               {"[Story Info]", "Title=Vellum", "[1]", "Page Text=Begin", "Image=/p/v.png", "Mp3=/s/v.wav",
                "Movie=/f/v.avi", "Option One=Needs key", "Required1=1", "Key Item1=Key", "Battle=1"});
    screen.state().addItem(QStringLiteral("Rope"));
    game->questStart().menuNewGame();
    EXPECT_EQ(screen.state().questFile(), programDir + QStringLiteral("/VellumAdventure.qst"));
    EXPECT_EQ(screen.state().inventory(), QStringList({"Rope"}));
    // No gating, no movie or sound, no battle; music starts even when empty.
    EXPECT_TRUE(screen.state().option(0).visible());
    EXPECT_FALSE(screen.view().battleBoxVisible());
    EXPECT_EQ(media, QStringList({"midi-stop", "picture:/p/v.png", "midi-start:"}));
    EXPECT_TRUE(screen.view().menuPanelVisible());
}

TEST_F(StartupTest, WhatsNewShowsItsThreeLines)
{
    game->shell().menuWhatsNew();
    ASSERT_EQ(dialogs.shown.size(), 1);
    EXPECT_EQ(dialogs.shown[0].title, "What's New:");
    EXPECT_EQ(dialogs.shown[0].text.split(QStringLiteral("\r\n")).size(), 3);
    EXPECT_TRUE(dialogs.shown[0].text.startsWith(QStringLiteral("1. Compiler now has the option")));
}

TEST_F(StartupTest, TestPlayStartsTheWorkingCopyWithoutGatingOrBattle)
{
    const QString copy = GetWindowsDir() + QStringLiteral("/tmpquest.ini");
    fc::test::writeFile(copy, "[Story Info]\r\nTitle=Draft\r\n[1]\r\nPage Text=Try\r\nOption One=Locked\r\n"
                              "Required1=1\r\nKey Item1=Key\r\nBattle=1\r\n");
    screen.state().addItem(QStringLiteral("Key"));
    game->questStart().LoadTmpGame();
    game->questStart().LoadTmpGame();
    EXPECT_EQ(screen.state().questFile(), "tmpquest.ini");
    EXPECT_EQ(log().count(QStringLiteral("Draft\r\n")), 2);
    EXPECT_TRUE(screen.state().inventory().isEmpty());
    EXPECT_TRUE(screen.state().option(0).visible());
    EXPECT_FALSE(screen.view().battleBoxVisible());
    EXPECT_EQ(media, QStringList({"sound:", "midi-start:", "sound:", "midi-start:"}));
}
