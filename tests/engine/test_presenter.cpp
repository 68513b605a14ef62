// The page presenter: story log format, key-item gating, media and battle
// requests, and pages that are missing.
#include "tests/engine/engine_fixture.h"
#include "tests/support/testsupport.h"

#include <QDir>

using namespace fc;
using fc::test::EngineTest;

namespace {
const QString kSep = QString(53, QLatin1Char('-'));
}

class PresenterTest : public EngineTest
{
};

TEST_F(PresenterTest, BeginningAQuestWritesHeaderAndFirstPageExactly)
{
    const QString quest = writeQuest(QStringLiteral("q.qst"),
                                     {"[Story Info]", "Title=The Lamp", "Author=Ann", "Version=1.2", "[1]",
                                      "Location=Cellar", "Page Text=It is dark.", "Option One=Go up",
                                      "Option One Destination Page=2", "[2]", "Location=Hall", "Page Text=Light."});
    loadQuest(quest);
    const QString expected = QStringLiteral("No Quest Loaded.\r\n") + QStringLiteral("The Lamp\r\n") + kSep
                             + QStringLiteral("\r\nAnn\r\nVersion: 1.2\r\n") + kSep
                             + QStringLiteral("\r\n\r\n>\r\nCellar\r\n>\r\nIt is dark.");
    EXPECT_EQ(log(), expected);
    EXPECT_EQ(screen.state().page(), "1");
    EXPECT_EQ(screen.state().score(), "0");
    EXPECT_EQ(screen.state().room(), "It is dark.");
    EXPECT_EQ(captions(), QStringList({"Go up", "", "", ""}));
    EXPECT_FALSE(screen.view().menuPanelVisible());

    choose(1);
    EXPECT_TRUE(log().endsWith(QStringLiteral("It is dark.\r\n>\r\nHall\r\n>\r\nLight.")));
    // A second quest appends below the first story; the log is never cleared.
    loadQuest(quest);
    EXPECT_TRUE(log().startsWith(expected));
    EXPECT_EQ(log().count(QStringLiteral("The Lamp\r\n")), 2);
}

// One row of the visibility table: Required and Add values, whether the key
// item is held, and whether the choice shows.
struct GatingRow
{
    const char *required;
    const char *add;
    const char *item;   // key item of the option ("" = none)
    bool held;          // the inventory holds "Lamp"
    bool visible;
};

class GatingTest : public EngineTest, public ::testing::WithParamInterface<GatingRow>
{
};

TEST_P(GatingTest, ChoiceVisibilityFollowsKeyItems)
{
    const GatingRow row = GetParam();
    const QString quest = writeQuest(
        QStringLiteral("g.qst"),
        {"[1]", "Page Text=Start", "Option One=Take", "Option One Destination Page=2", "Add1=1", "Key Item1=Lamp",
         "[2]", "Page Text=Gate", "Option Two=Gated", QStringLiteral("Required2=") + row.required,
         QStringLiteral("Add2=") + row.add, QStringLiteral("Key Item2=") + row.item,
         "Option Three=Plain", "Required3=0", "Option One=Back", "Option One Destination Page=1", "Required1=0"});
    loadQuest(quest);
    if (row.held)
        choose(1); // gains Lamp
    else {
        screen.state().select(0);
        game->pages().clickChoose(); // reaches page 2 without the item
        game->pages().pressPlayTurn(); // present page 2 in full
    }
    ASSERT_EQ(screen.state().page(), "2");
    EXPECT_EQ(screen.state().option(1).visible(), row.visible) << row.required << "/" << row.add << "/" << row.item;
    EXPECT_TRUE(screen.state().option(2).visible());
}

INSTANTIATE_TEST_SUITE_P(
    Table, GatingTest,
    ::testing::Values(GatingRow{"1", "0", "Lamp", false, false}, GatingRow{"1", "0", "Lamp", true, true},
                      GatingRow{"0", "0", "Lamp", false, true}, GatingRow{"", "", "Lamp", false, true},
                      GatingRow{"1", "1", "Lamp", true, false}, GatingRow{"0", "1", "Lamp", true, false},
                      GatingRow{"0", "1", "Lamp", false, true}, GatingRow{"1", "0", "", false, true},
                      GatingRow{"0", "1", "", false, false}, GatingRow{"1", "0", "lamp", true, false},
                      GatingRow{"0", "1.0", "Lamp", true, false}, GatingRow{"0", "x", "Lamp", true, true}));

TEST_F(PresenterTest, RequiredChoiceDisappearsWhenItemIsGone)
{
    const QString quest = writeQuest(QStringLiteral("r.qst"),
                                     {"[1]", "Page Text=Door", "Option One=Unlock", "Required1=1", "Key Item1=Key",
                                      "Option One Destination Page=1", "Option Two=Wait", "Required2=0",
                                      "Option Two Destination Page=1"});
    loadQuest(quest);
    EXPECT_FALSE(screen.state().option(0).visible());
    screen.state().addItem(QStringLiteral("Key"));
    choose(2);
    EXPECT_TRUE(screen.state().option(0).visible());
    // Loading a quest clears the inventory, so the next presentation hides it.
    loadQuest(quest);
    EXPECT_TRUE(screen.state().inventory().isEmpty());
    EXPECT_FALSE(screen.state().option(0).visible());
}

TEST_F(PresenterTest, MediaRequestsInPageOrderAndEmptyValuesKeepWhatPlays)
{
    const QString quest = writeQuest(QStringLiteral("m.qst"),
                                     {"[1]", "Page Text=A", "Image=/pics/a.png", "Movie=/films/a.avi",
                                      "Music=/music/a.mid", "Mp3=/snd/a.wav", "Option One=On",
                                      "Option One Destination Page=2", "[2]", "Page Text=B", "Option One=On",
                                      "Option One Destination Page=1"});
    loadQuest(quest);
    EXPECT_EQ(media, QStringList({"picture:/pics/a.png", "movie:/films/a.avi", "sound:/snd/a.wav", "midi-stop",
                                  "midi-start:/music/a.mid"}));
    EXPECT_TRUE(screen.view().moviePanelVisible());
    media.clear();
    choose(1);
    // No picture, movie or music on page 2: only the sound player is told,
    // with an empty name.
    EXPECT_EQ(media, QStringList({"sound:"}));
    EXPECT_TRUE(screen.view().moviePanelVisible());
    // The movie's end hides its panel.
    movie.finish();
    EXPECT_FALSE(screen.view().moviePanelVisible());
}

TEST_F(PresenterTest, RelativeMediaPathsAreTakenFromTheQuestFolder)
{
    const QString quest = writeQuest(QStringLiteral("rel.qst"), {"[1]", "Page Text=A", "Music=media/song.mid"});
    QDir(programDir).mkdir(QStringLiteral("media"));
    fc::test::writeFile(programDir + QStringLiteral("/media/song.mid"), "MThd");
    loadQuest(quest);
    EXPECT_TRUE(media.contains(QStringLiteral("midi-start:") + programDir + QStringLiteral("/media/song.mid")));
}

TEST_F(PresenterTest, BattlePageOpensBattleAfterPageAndMediaAndClearsSelection)
{
    const QString quest = writeQuest(QStringLiteral("b.qst"),
                                     {"[1]", "Page Text=Calm", "Option One=Fight", "Option One Destination Page=2",
                                      "[2]", "Page Text=A troll!", "Battle=1", "BattleMonName=Troll",
                                      "BattleMonHp=25", "Music=/m/page.mid", "BattleMusic=/m/battle.mid",
                                      "Option One=Flee", "Required1=0"});
    loadQuest(quest);
    EXPECT_FALSE(screen.view().battleBoxVisible());
    media.clear();
    choose(1);
    EXPECT_TRUE(screen.view().battleBoxVisible());
    EXPECT_TRUE(log().endsWith(QStringLiteral("A troll!")));
    EXPECT_EQ(media, QStringList({"sound:", "midi-stop", "midi-start:/m/page.mid", "battle-picture:", "midi-stop",
                                  "midi-start:/m/battle.mid"}));
    EXPECT_EQ(screen.state().chosenOption(), -1);
    EXPECT_EQ(screen.battle().text(), "You are under attack from Troll!");
}

TEST_F(PresenterTest, MissingPageOrUnreadableQuestPresentsEmpty)
{
    const QString quest = writeQuest(QStringLiteral("e.qst"),
                                     {"[1]", "Page Text=Edge", "Option One=Jump", "Option One Destination Page=99",
                                      "Option Two=Nowhere", "Required2=0"});
    loadQuest(quest);
    choose(1);
    EXPECT_EQ(screen.state().page(), "99");
    EXPECT_TRUE(log().endsWith(QStringLiteral("Edge\r\n>\r\n\r\n>\r\n")));
    EXPECT_EQ(captions(), QStringList({"", "", "", ""}));

    // A quest file that does not exist: every value is empty.
    loadQuest(programDir + QStringLiteral("/missing.qst"));
    EXPECT_TRUE(log().endsWith(QStringLiteral("\r\n") + kSep + QStringLiteral("\r\n\r\n>\r\n\r\n>\r\n")));
    EXPECT_EQ(captions(), QStringList({"", "", "", ""}));
}

TEST(FindItem, IsCaseSensitiveWholeTextAndEmptyAlwaysFound)
{
    const QStringList list{QStringLiteral("Lamp"), QStringLiteral("Old Key")};
    EXPECT_EQ(PageFlow::FindItem(list, QStringLiteral("Lamp")), "found");
    EXPECT_EQ(PageFlow::FindItem(list, QStringLiteral("lamp")), "");
    EXPECT_EQ(PageFlow::FindItem(list, QStringLiteral("Key")), "");
    EXPECT_EQ(PageFlow::FindItem({}, QString()), "found");
}

TEST_F(PresenterTest, LongGamesAppendWithoutRewritingTheLog)
{
    const QString quest = writeQuest(QStringLiteral("loop.qst"),
                                     {"[1]", "Page Text=Round and round", "Option One=Again",
                                      "Option One Destination Page=1"});
    loadQuest(quest);
    qsizetype appended = 0;
    QObject::connect(&screen, &GameScreen::logAppended, [&](const QString &added) { appended += added.size(); });
    const qsizetype before = log().size();
    for (int i = 0; i < 200; ++i)
        choose(1);
    // Observers are told only the new text of each turn.
    EXPECT_EQ(appended, log().size() - before);
}

// A page without choices ends the story; Play Again starts the quest from
// page 1 as loading it does, Load Game and Menu do what their menus do.
TEST_F(PresenterTest, EndingOffersPlayAgainLoadGameAndMenu)
{
    const QString path = writeQuest(QStringLiteral("end.qst"),
                                    {"[Story Info]", "Title=Short", "[1]", "Page Text=Start", "Option One=Take gem",
                                     "Option One Destination Page=2", "Option One Score=10", "Add1=1", "Key Item1=Gem",
                                     "[2]", "Page Text=The end."});
    EXPECT_FALSE(screen.isEnding()); // no quest loaded
    loadQuest(path);
    EXPECT_FALSE(screen.isEnding());
    choose(1);
    ASSERT_EQ(screen.state().page(), "2");
    EXPECT_TRUE(screen.isEnding());
    EXPECT_EQ(screen.state().inventory(), QStringList{"Gem"});

    const qsizetype before = log().size();
    const qsizetype requests = files.requests.size();
    game->questStart().clickPlayAgain();
    EXPECT_EQ(files.requests.size(), requests); // no dialog of its own
    EXPECT_FALSE(screen.isEnding());
    EXPECT_EQ(screen.state().page(), "1");
    EXPECT_EQ(screen.state().score(), "0");
    EXPECT_TRUE(screen.state().inventory().isEmpty());
    EXPECT_EQ(screen.state().option(0).caption, "Take gem");
    // The new header starts on a line of its own.
    EXPECT_TRUE(log().mid(before).startsWith(QStringLiteral("\r\nShort\r\n")));

    choose(1);
    const qsizetype dialogsBefore = files.requests.size();
    game->savedGames().clickEndingLoadGame();
    EXPECT_EQ(files.requests.size(), dialogsBefore + 1);
    EXPECT_EQ(files.requests.last().filter, "*.sav|*.sav");
    screen.view().setMenuPanelVisible(false);
    game->shell().clickEndingMenu();
    EXPECT_TRUE(screen.view().menuPanelVisible());
}
