// The shell: close request, auto update, panels.
#include "tests/engine/engine_fixture.h"

using namespace fc;
using fc::test::EngineTest;

class ShellTest : public EngineTest
{
protected:
    int quits = 0;
    void SetUp() override { QObject::connect(game.get(), &Game::quitRequested, [this] { ++quits; }); }
};

TEST_F(ShellTest, CloseWithoutQuestEndsWithoutAsking)
{
    EXPECT_TRUE(game->shell().closeRequest());
    EXPECT_TRUE(dialogs.shown.isEmpty());
    EXPECT_EQ(media, QStringList({"midi-stop"}));
    EXPECT_EQ(quits, 1);
}

TEST_F(ShellTest, CloseDuringAGameAsksAndNoKeepsPlaying)
{
    loadQuest(writeQuest(QStringLiteral("q.qst"), {"[1]", "Page Text=Here"}));
    media.clear();
    dialogs.answers.push_back(Answer::No);
    EXPECT_FALSE(game->shell().closeRequest());
    ASSERT_EQ(dialogs.shown.size(), 1);
    EXPECT_EQ(dialogs.shown[0].title, "WARNING!!!!");
    EXPECT_EQ(dialogs.shown[0].text, "Are you sure? This will end the current game without saving!");
    EXPECT_TRUE(media.isEmpty());
    EXPECT_EQ(quits, 0);
    dialogs.answers.push_back(Answer::Yes);
    EXPECT_TRUE(game->shell().closeRequest());
    EXPECT_EQ(media, QStringList({"midi-stop"}));
    EXPECT_EQ(clock.pauses, 1);
    EXPECT_EQ(quits, 1);
}

TEST_F(ShellTest, AutoUpdateAsksThenStartsTheUpdaterOrSaysItIsMissing)
{
    dialogs.answers.push_back(Answer::No);
    EXPECT_FALSE(game->shell().menuAutoUpdate());
    EXPECT_TRUE(launcher.started.isEmpty());

    EXPECT_FALSE(game->shell().menuAutoUpdate()); // Yes, but no updater anywhere
    EXPECT_EQ(launcher.started, QStringList({"autoupdate.exe"}));
    EXPECT_EQ(dialogs.shown.last().text, "Could not locate the autoupdate.exe!");
    EXPECT_EQ(dialogs.shown.first().text, "CLOSE Fablecraft and run auto update?");
    EXPECT_EQ(quits, 0);

    launcher.programFound = true;
    EXPECT_TRUE(game->shell().menuAutoUpdate());
    EXPECT_EQ(quits, 1);
}

TEST_F(ShellTest, PanelsOpenAndClose)
{
    game->shell().clickResume();
    EXPECT_FALSE(screen.view().menuPanelVisible());
    game->shell().clickMenu();
    EXPECT_TRUE(screen.view().menuPanelVisible());
    game->shell().pressInventory();
    EXPECT_TRUE(screen.view().inventoryPanelVisible());
    EXPECT_EQ(clock.pauses, 1);
    game->shell().openWebSite();
    EXPECT_EQ(launcher.opened, QStringList({Shell::kWebSite}));
}
