// Option choice: score arithmetic, the full turn and the reduced "Choose".
#include "engine/score.h"
#include "tests/engine/engine_fixture.h"

using namespace fc;
using fc::test::EngineTest;

TEST(Score, ArithmeticRoundsHalvesToEvenAndKeepsOldScoreOnBadValues)
{
    struct Row { const char *score, *value, *expected; };
    const Row rows[] = {
        {"0", "+2", "2"},       {"0", "-2", "-2"},        {"0", "5", "5"},        {"3", "2.5", "6"},
        {"2", "2.5", "4"},      {"0", "-0.5", "0"},       {"0", "1.5", "2"},      {"7", "abc", "7"},
        {"7", "", "7"},         {"7", "+", "7"},          {"7", "1e3", "7"},      {"32767", "1", "32767"},
        {"32760", "+7", "32767"}, {"-32768", "-1", "-32768"}, {"-32767", "-1", "-32768"}, {"0", " 4 ", "4"},
        {"0", "99999999999999999999", "0"}, {"abc", "2", "2"}, {"abc", "x", "0"}, {"0", ".5", "0"},
    };
    for (const Row &r : rows)
        EXPECT_EQ(addToScore(QString::fromLatin1(r.score), QString::fromLatin1(r.value)), QString::fromLatin1(r.expected))
            << r.score << " + " << r.value;
}

class ChoiceTest : public EngineTest
{
protected:
    void SetUp() override
    {
        quest = writeQuest(QStringLiteral("c.qst"),
                           {"[1]", "Location=Camp", "Page Text=Morning", "Option One=Take the lamp",
                            "Option One Destination Page=2", "Option One Score=+2", "Add1=1", "Key Item1=Lamp",
                            "Image=/p/camp.png", "Option Two=Walk on", "Option Two Destination Page=2",
                            "Option Two Score=-3", "Option Three=Sleep", "Option Three Destination Page=",
                            "[2]", "Location=Road", "Page Text=Dust", "Option One=Back",
                            "Option One Destination Page=1", "Option Two=Buy a lamp", "Add2=1", "Key Item2=Lamp",
                            "Required2=0", "Option Two Destination Page=2", "Battle=1", "Music=/m/road.mid"});
        loadQuest(quest);
    }
    QString quest;
};

TEST_F(ChoiceTest, FullTurnGivesItemAddsScoreAndPresentsDestination)
{
    choose(1);
    EXPECT_EQ(screen.state().inventory(), QStringList({"Lamp"}));
    EXPECT_EQ(screen.state().score(), "2");
    EXPECT_EQ(screen.state().page(), "2");
    EXPECT_EQ(screen.state().room(), "Dust");
    EXPECT_TRUE(log().endsWith(QStringLiteral("Morning\r\n>\r\nRoad\r\n>\r\nDust")));
    // The item is held now, so the option that would give it again hides.
    EXPECT_EQ(screen.state().option(0).caption, "Back");
    EXPECT_FALSE(screen.state().option(1).visible());
    EXPECT_TRUE(screen.view().battleBoxVisible());
    EXPECT_EQ(clock.pauses, 1); // the press animation waited

    // The monster without hit points falls at the first blow; then, back on
    // page 1, the option that gives the lamp is hidden.
    game->fight().clickAttack();
    ASSERT_FALSE(screen.view().battleBoxVisible());
    choose(1);
    EXPECT_EQ(screen.state().page(), "1");
    EXPECT_FALSE(screen.state().option(0).visible());
}

TEST_F(ChoiceTest, ItemIsAddedEvenWhenAlreadyHeld)
{
    screen.state().addItem(QStringLiteral("Lamp")); // gained after the page was shown
    choose(1);
    EXPECT_EQ(screen.state().inventory(), QStringList({"Lamp", "Lamp"}));
}

TEST_F(ChoiceTest, NothingSelectedStillPresentsTheCurrentPageAgain)
{
    media.clear();
    game->pages().pressPlayTurn();
    EXPECT_EQ(screen.state().page(), "1");
    EXPECT_EQ(media, QStringList({"picture:/p/camp.png", "sound:"}));
}

TEST_F(ChoiceTest, ChooseButtonIsTheReducedStep)
{
    media.clear();
    screen.state().select(0);
    game->pages().clickChoose();
    EXPECT_TRUE(screen.state().inventory().isEmpty());
    EXPECT_EQ(screen.state().score(), "2");
    EXPECT_EQ(screen.state().page(), "2");
    // Page text without the location, no media, no battle, no gating.
    EXPECT_TRUE(log().endsWith(QStringLiteral("Morning\r\n>\r\nDust")));
    EXPECT_TRUE(media.isEmpty());
    EXPECT_FALSE(screen.view().battleBoxVisible());
    EXPECT_EQ(screen.state().chosenOption(), -1);
    // Nothing selected: the score and page stand.
    game->pages().clickChoose();
    EXPECT_EQ(screen.state().page(), "2");
}

TEST_F(ChoiceTest, NegativeScoreAndMissingDestination)
{
    choose(2);
    EXPECT_EQ(screen.state().score(), "-3");
    screen.view().setBattleBoxVisible(false);
    choose(1); // back to page 1
    choose(3); // "Sleep" leads nowhere
    EXPECT_EQ(screen.state().page(), "");
    EXPECT_EQ(captions(), QStringList({"", "", "", ""}));
    EXPECT_TRUE(log().endsWith(QStringLiteral("\r\n>\r\n\r\n>\r\n")));
}

TEST_F(ChoiceTest, HiddenOptionCannotBeChosen)
{
    EXPECT_FALSE(game->pages().selectOption(3));
    EXPECT_EQ(screen.state().chosenOption(), -1);
    EXPECT_TRUE(game->pages().selectOption(2));
    screen.state().setCaption(2, QString()); // a caption emptied hides the choice and drops the selection
    EXPECT_EQ(screen.state().chosenOption(), -1);
}
