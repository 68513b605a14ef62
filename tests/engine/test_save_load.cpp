// Saving and loading games through the menus and the menu panel.
#include "tests/engine/engine_fixture.h"
#include "tests/support/testsupport.h"

#include "storage/profile_store.h"

using namespace fc;
using fc::test::EngineTest;

class SaveLoadTest : public EngineTest
{
protected:
    void SetUp() override
    {
        loadQuest(writeQuest(QStringLiteral("s.qst"),
                             {"[1]", "Page Text=Gate", "Option One=Enter", "Option One Destination Page=2",
                              "Option One Score=+3", "Add1=1", "Key Item1=Sword", "[2]", "Page Text=Yard",
                              "Image=/p/yard.png", "Music=/m/yard.mid", "Option One=Back",
                              "Option One Destination Page=1", "Required1=0"}));
        choose(1); // page 2, score 3, Sword
        screen.state().addItem(QStringLiteral("Key"));
        savePath = programDir + QStringLiteral("/game.sav");
    }
    void save(const QString &path)
    {
        files.names.push_back(path);
        game->savedGames().menuSave();
    }
    void load(const QString &path, bool withItems)
    {
        files.names.push_back(path);
        if (withItems)
            game->savedGames().menuLoad();
        else
            game->savedGames().clickLoadGame();
    }
    QString savePath;
};

TEST_F(SaveLoadTest, SaveWritesTheFileAndReportsInTheLog)
{
    save(savePath);
    EXPECT_EQ(ReadIni(savePath, QStringLiteral("saved game"), QStringLiteral("page")), ".");
    EXPECT_EQ(ReadIni(savePath, QStringLiteral("saved game"), QStringLiteral("Poo")), "/");
    EXPECT_EQ(ReadIni(savePath, QStringLiteral("saved game"), QStringLiteral("HowMuchInList")), "2");
    EXPECT_EQ(ReadIni(savePath, QStringLiteral("List Data"), QStringLiteral("1")), "Key");
    EXPECT_TRUE(log().endsWith(QStringLiteral("\r\n>\r\nGame: ") + savePath
                               + QStringLiteral("\r\nSaved Successfully.\r\n>\r\nYard")));
    EXPECT_TRUE(dialogs.shown.isEmpty());
    EXPECT_EQ(files.requests.last().filter, "*.sav|*.sav");
    EXPECT_EQ(files.requests.last().initialDir, programDir);
}

TEST_F(SaveLoadTest, MenuLoadRestoresAndAppendsInventory)
{
    save(savePath);
    choose(1); // back to page 1
    game->pages().clickChoose();
    screen.state().clearInventory();
    screen.state().addItem(QStringLiteral("Rope"));
    media.clear();
    load(savePath, true);
    EXPECT_EQ(screen.state().page(), "2");
    EXPECT_EQ(screen.state().score(), "3");
    EXPECT_EQ(screen.state().room(), "Yard");
    EXPECT_EQ(screen.state().option(0).caption, "Back");
    EXPECT_EQ(screen.state().inventory(), QStringList({"Rope", "Sword", "Key"}));
    EXPECT_TRUE(log().endsWith(QStringLiteral("Loaded Successfully.\r\n>\r\nYard")));
    EXPECT_EQ(media, QStringList({"midi-stop", "picture:/p/yard.png", "midi-start:/m/yard.mid"}));
}

TEST_F(SaveLoadTest, PanelLoadLeavesInventoryAndHidesThePanel)
{
    save(savePath);
    screen.view().setMenuPanelVisible(true);
    load(savePath, false);
    EXPECT_EQ(screen.state().inventory(), QStringList({"Sword", "Key"}));
    EXPECT_FALSE(screen.view().menuPanelVisible());
}

TEST_F(SaveLoadTest, ShorterInventoryLeavesStaleEntriesThatLoadIgnores)
{
    save(savePath);
    screen.state().clearInventory();
    screen.state().addItem(QStringLiteral("Coin"));
    save(savePath);
    EXPECT_EQ(ReadIni(savePath, QStringLiteral("List Data"), QStringLiteral("1")), "Key");
    screen.state().clearInventory();
    load(savePath, true);
    EXPECT_EQ(screen.state().inventory(), QStringList({"Coin"}));
}

TEST_F(SaveLoadTest, RefusedFilesChangeNothing)
{
    const auto refused = [&](const QString &path, bool withItems) {
        const QString before = log();
        const QString pg = screen.state().page();
        const QStringList items = screen.state().inventory();
        dialogs.shown.clear();
        load(path, withItems);
        ASSERT_EQ(dialogs.shown.size(), 1) << path.toStdString();
        EXPECT_EQ(dialogs.shown[0].kind, ShownMessage::Critical);
        EXPECT_EQ(dialogs.shown[0].title, "Error Loading Game:");
        EXPECT_EQ(log(), before + QStringLiteral("\r\n>\r\nGame: ") + path
                             + QStringLiteral("\r\nIs corrupt or not for this game! :-(\r\n>\r\n") + screen.state().room());
        EXPECT_EQ(screen.state().page(), pg);
        EXPECT_EQ(screen.state().inventory(), items);
    };
    refused(writeQuest(QStringLiteral("empty.sav"), {""}), true);
    refused(writeQuest(QStringLiteral("other.sav"), {"[1]", "Page Text=Not a saved game"}), true);
    // A count that is not the plain form of a number would never end the
    // inventory loop: the menu load refuses it, the panel load never reads it.
    const QString badCount = writeQuest(QStringLiteral("count.sav"),
                                        {"[saved game]", "room=Y", "option 1=", "page=-", "Poo=,", "HowMuchInList=02"});
    refused(badCount, true);
    load(badCount, false);
    EXPECT_EQ(screen.state().page(), "1");
    // A character the scrambler cannot decode.
    fc::test::writeFile(programDir + QStringLiteral("/bad.sav"), "[saved game]\r\nroom=\xff\r\npage=-\r\n");
    refused(programDir + QStringLiteral("/bad.sav"), false);
}

// A saved game whose "page" line was damaged (empty, gone, or naming no page
// of the quest) is refused as a cut file is, not loaded onto no page.
TEST_F(SaveLoadTest, DamagedPageLineIsRefused)
{
    save(savePath);
    const QByteArray saved = fc::test::readFile(savePath);
    ASSERT_TRUE(saved.contains("\r\npage=.\r\n")) << saved.constData();
    choose(1); // back to page 1
    game->pages().clickChoose();
    for (const char *damaged : {"\r\npage=\r\n", "\r\npa\r\n", "\r\npage=.,\r\n"}) {
        for (const bool withItems : {true, false}) {
            SCOPED_TRACE(testing::Message() << damaged << withItems);
            const QString path = programDir + QStringLiteral("/damaged.sav");
            fc::test::writeFile(path, QByteArray(saved).replace("\r\npage=.\r\n", damaged));
            const QString before = log();
            const QStringList items = screen.state().inventory();
            dialogs.shown.clear();
            load(path, withItems);
            ASSERT_EQ(dialogs.shown.size(), 1);
            EXPECT_EQ(dialogs.shown[0].title, "Error Loading Game:");
            EXPECT_EQ(log(), before + QStringLiteral("\r\n>\r\nGame: ") + path
                                 + QStringLiteral("\r\nIs corrupt or not for this game! :-(\r\n>\r\n") + screen.state().room());
            EXPECT_EQ(screen.state().page(), "1");
            EXPECT_EQ(screen.state().inventory(), items);
        }
    }
    // The undamaged game still loads.
    load(savePath, true);
    EXPECT_EQ(screen.state().page(), "2");
}

TEST_F(SaveLoadTest, UnsavableCharacterWritesNothingAndSaysSo)
{
    screen.state().setRoom(QStringLiteral("Snow \u2603 falls"));
    const QString before = log();
    save(savePath);
    EXPECT_FALSE(QFile::exists(savePath));
    ASSERT_EQ(dialogs.shown.size(), 1);
    EXPECT_EQ(dialogs.shown[0].title, "Error Saving Game:");
    EXPECT_EQ(log(), before);
}

TEST_F(SaveLoadTest, NothingHappensWithoutAQuestOrWhenCancelled)
{
    save(QString()); // cancelled
    EXPECT_TRUE(dialogs.shown.isEmpty());
    GameScreen fresh;
    Ports ports;
    ports.dialogs = &dialogs;
    ports.fileDialog = &files;
    Game empty(fresh, ports, programDir);
    empty.savedGames().menuSave();
    empty.savedGames().menuLoad();
    ASSERT_EQ(dialogs.shown.size(), 2);
    EXPECT_EQ(dialogs.shown[0].text, "You must load a quest file before attempting to save a game!");
    EXPECT_EQ(dialogs.shown[1].text, "You must load a quest file before attempting to load a saved game!");
    EXPECT_EQ(dialogs.shown[0].title, "");
}
