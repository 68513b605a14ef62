// Battles: opening the box, the fight to a win or a loss, escape.
#include "tests/engine/engine_fixture.h"

#include <QRegularExpression>

using namespace fc;
using fc::test::EngineTest;

class BattleTest : public EngineTest
{
protected:
    // Page 1 leads to a battle page 2 with the given extra keys.
    void loadBattle(const QStringList &battleKeys, const QStringList &extra = {})
    {
        QStringList lines{"[CharacterData]", "CharHp=20", "CharAtk=6", "CharDef=1",
                          "[1]", "Page Text=Road", "Option One=Fight", "Option One Destination Page=2",
                          "Option Two=Stay", "Option Two Destination Page=1", "Required2=0",
                          "[2]", "Page Text=Troll!", "Battle=1", "Option One=Run past", "Required1=0",
                          "Option One Destination Page=1"};
        lines += battleKeys;
        lines += {"[win]", "Page Text=Victory", "[lose]", "Page Text=Defeat", "[away]", "Page Text=Safe",
                  "Option One=Onward", "Option One Destination Page=1"};
        lines += extra;
        loadQuest(writeQuest(QStringLiteral("battle.qst"), lines));
        game->setSeed(7);
        choose(1);
    }
    int attacksUntilClosed(int limit = 200)
    {
        int n = 0;
        while (screen.view().battleBoxVisible() && n < limit) {
            game->fight().clickAttack();
            ++n;
        }
        return n;
    }
};

TEST_F(BattleTest, OpeningFillsTheBoxFromThePage)
{
    loadBattle({"BattleMonName=Troll", "BattleMonHp=25", "BattleEscapecheck=0", "BattleImage=/p/troll.png"});
    EXPECT_TRUE(screen.view().battleBoxVisible());
    EXPECT_EQ(screen.battle().enemyLabel(), "Troll's HP:");
    EXPECT_EQ(screen.battle().enemyBar().maximum, 25);
    EXPECT_EQ(screen.battle().enemyBar().value, 25);
    EXPECT_EQ(screen.battle().enemyHpText(), "25");
    EXPECT_FALSE(screen.battle().escapeEnabled());
    EXPECT_EQ(screen.battle().playerBar().value, 20);
    EXPECT_TRUE(media.contains(QStringLiteral("battle-picture:/p/troll.png")));
}

TEST_F(BattleTest, EmptyNameAndHpKeepTheBarAndRunMessagesTogether)
{
    loadBattle({"BattleMonHp=", "BattleMonName="});
    EXPECT_EQ(screen.battle().enemyLabel(), "'s HP:");
    EXPECT_EQ(screen.battle().enemyHpText(), "");
    EXPECT_EQ(screen.battle().enemyBar().maximum, 100); // the bar's values before any battle
    EXPECT_TRUE(screen.battle().escapeEnabled());
    // A monster without positive hit points falls at the first blow; with no
    // win page the box closes and the page's choices stand.
    EXPECT_EQ(attacksUntilClosed(), 1);
    EXPECT_EQ(screen.state().page(), "2");
    EXPECT_TRUE(screen.state().option(0).visible());
    // Presenting the page again opens the battle again; its message follows
    // the first directly.
    game->pages().pressPlayTurn();
    EXPECT_TRUE(screen.battle().text().startsWith(QStringLiteral("You are under attack from !")));
    EXPECT_EQ(screen.battle().text().count(QStringLiteral("You are under attack from !")), 2);
    EXPECT_EQ(screen.battle().enemyBar().maximum, 100);
}

TEST_F(BattleTest, WinningGivesItemExperienceAndTheWinPage)
{
    loadBattle({"BattleMonName=Rat", "BattleMonHp=8", "BattleMonAtk=1", "BattleMonDef=0", "BattleMonKeyItem=Tail",
                "BattleMonExp=15", "BattleWin=win", "BattleLose=lose"});
    const int attacks = attacksUntilClosed();
    EXPECT_GE(attacks, 1);
    EXPECT_LE(attacks, 2); // 6 + a roll of at least 1 against 8 hit points
    EXPECT_EQ(screen.state().page(), "win");
    EXPECT_EQ(screen.state().room(), "Victory");
    EXPECT_EQ(screen.state().inventory(), QStringList({"Tail"}));
    EXPECT_EQ(screen.character().experience().value, 15);
    EXPECT_EQ(screen.battle().enemyBar().value, 0);
    EXPECT_TRUE(screen.battle().text().contains(QStringLiteral("You have defeated Rat!")));
    EXPECT_TRUE(log().endsWith(QStringLiteral("Victory")));
}

TEST_F(BattleTest, LosingLeadsToTheLosePageAndHitPointsCarryOver)
{
    loadBattle({"BattleMonName=Dragon", "BattleMonHp=5000", "BattleMonAtk=9", "BattleMonDef=3",
                "ATKMessage=The dragon breathes fire!", "AltAtk=Tail Sweep", "AltAtkDam=4", "BattleWin=win",
                "BattleLose=lose"});
    game->fight().clickAttack();
    const double afterOne = screen.battle().playerBar().value;
    EXPECT_LT(afterOne, 20);
    EXPECT_LT(screen.battle().enemyBar().value, 5000);
    EXPECT_TRUE(screen.battle().text().contains(QStringLiteral("The dragon breathes fire!"))
                || screen.battle().text().contains(QStringLiteral("Tail Sweep")));
    // Escape and come back: the wounds stay.
    game->fight().clickEscape();
    EXPECT_FALSE(screen.view().battleBoxVisible());
    EXPECT_EQ(screen.state().page(), "");
    loadBattle({"BattleMonName=Dragon", "BattleMonHp=5000", "BattleMonAtk=9", "BattleLose=lose"});
    EXPECT_EQ(screen.battle().playerBar().value, 20); // a new quest starts with full hit points
    attacksUntilClosed();
    EXPECT_EQ(screen.state().page(), "lose");
    EXPECT_EQ(screen.state().room(), "Defeat");
}

TEST_F(BattleTest, FixedSeedGivesTheSameFight)
{
    const QStringList keys{"BattleMonName=Ogre", "BattleMonHp=40", "BattleMonAtk=3", "BattleWin=win"};
    loadBattle(keys);
    attacksUntilClosed();
    const QString first = screen.battle().text();
    loadBattle(keys);
    attacksUntilClosed();
    EXPECT_TRUE(screen.battle().text().endsWith(first.mid(first.indexOf(QLatin1Char('\r')))));
}

TEST_F(BattleTest, EscapeShowsTheEscapePageInFull)
{
    loadBattle({"BattleMonName=Wolf", "BattleMonHp=10", "BattleEscape=away", "BattleMusic=/m/fight.mid"});
    EXPECT_TRUE(media.contains(QStringLiteral("midi-start:/m/fight.mid")));
    game->fight().clickEscape();
    EXPECT_FALSE(screen.view().battleBoxVisible());
    EXPECT_EQ(screen.state().page(), "away");
    EXPECT_EQ(screen.state().option(0).caption, "Onward");
    EXPECT_TRUE(log().endsWith(QStringLiteral("Troll!\r\n>\r\n\r\n>\r\nSafe")));
}

TEST_F(BattleTest, EscapeToABattlePageOpensTheNextBattle)
{
    loadBattle({"BattleMonName=Wolf", "BattleMonHp=10", "BattleEscape=2"});
    game->fight().clickEscape();
    EXPECT_TRUE(screen.view().battleBoxVisible());
    EXPECT_EQ(screen.battle().text().count(QStringLiteral("Wolf!")), 2);
}

TEST_F(BattleTest, ItemOpensTheInventoryAndClosingItKeepsTheBattle)
{
    loadBattle({"BattleMonName=Wolf", "BattleMonHp=10"});
    game->shell().openInventory(); // the battle box's Item button
    EXPECT_TRUE(screen.view().inventoryPanelVisible());
    game->shell().closeInventory();
    EXPECT_FALSE(screen.view().inventoryPanelVisible());
    EXPECT_TRUE(screen.view().battleBoxVisible());
}

TEST_F(BattleTest, CharacterPanelOfferedWhenTheQuestAllowsIt)
{
    loadQuest(writeQuest(QStringLiteral("c.qst"), {"[CharacterData]", "CharCreateAllow=1", "CharName=Ilse", "[1]",
                                                    "Page Text=Hello"}));
    EXPECT_TRUE(screen.view().characterPanelVisible());
    EXPECT_EQ(screen.character().roll().name, "Ilse");
    for (int i = 0; i < 50; ++i) {
        game->fight().reRollCharacter();
        const int hp = screen.character().roll().hitPoints.toInt();
        const int str = screen.character().roll().strength.toInt();
        const int def = screen.character().roll().defence.toInt();
        ASSERT_TRUE(hp >= 26 && hp <= 49) << hp;
        ASSERT_TRUE(str >= 11 && str <= 14) << str;
        ASSERT_TRUE(def >= 6 && def <= 9) << def;
    }
    screen.character().setRoll({QStringLiteral("Ilse"), QStringLiteral("33"), QStringLiteral("12"), QStringLiteral("7")});
    game->fight().createCharacter();
    EXPECT_FALSE(screen.view().characterPanelVisible());
    EXPECT_EQ(screen.character().hitPoints().maximum, 33);
    EXPECT_EQ(screen.battle().playerBar().value, 33);
}

// Numbers from the quest are held to the fight's range: a huge value is cut
// to the largest the fight uses, a negative, infinite or garbled one counts
// as missing, and no blow overflows.
TEST_F(BattleTest, QuestNumbersAreHeldToTheFightsRange)
{
    constexpr double kMax = 999999;
    const QString zeros400 = QStringLiteral("1") + QString(400, QLatin1Char('0'));
    struct Case
    {
        QStringList keys;
        double barMax;     // enemy bar maximum once the box is open
        int hpLow, hpHigh; // monster hit points after one attack; -1: the box closed
        QString page;      // page after one attack
        double experience = 0;
    };
    const QList<Case> cases = {
        // Player: attack 6 plus a roll of 1..6.
        {{"BattleMonHp=3000000000"}, kMax, int(kMax) - 12, int(kMax) - 7, "2"},
        {{"BattleMonHp=1e30"}, kMax, int(kMax) - 12, int(kMax) - 7, "2"},
        {{"BattleMonHp=" + zeros400}, 100, -1, -1, "2"}, // infinite as a float: not a number
        {{"BattleMonHp=-2147483649"}, 100, -1, -1, "2"},
        {{"BattleMonHp=nan"}, 100, -1, -1, "2"},
        {{"BattleMonHp=inf"}, 100, -1, -1, "2"},
        {{"BattleMonHp=12abc"}, 100, -1, -1, "2"},
        {{"BattleMonHp=50", "BattleMonDef=99999999999999999999"}, 50, 49, 49, "2"},
        {{"BattleMonHp=50", "BattleMonDef=-2147483649"}, 50, 38, 43, "2"},
        {{"BattleMonHp=50", "BattleMonAtk=9999999999999", "BattleLose=lose"}, 50, -1, -1, "lose"},
        {{"BattleMonHp=50", "BattleMonAtk=" + zeros400, "BattleMonDef=nan"}, 50, 38, 43, "2"},
        {{"BattleMonHp=1", "BattleMonExp=30000000000", "BattleWin=win"}, 1, -1, -1, "win", kMax},
        {{"BattleMonHp=1", "BattleMonExp=-5", "BattleWin=win"}, 1, -1, -1, "win", 0},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.keys.join(QLatin1Char(' ')).left(80).toStdString());
        screen.battle().setEnemyBar({}); // as before any battle
        screen.character().setExperience({});
        loadBattle(QStringList{"BattleMonName=Giant"} + c.keys);
        ASSERT_TRUE(screen.view().battleBoxVisible());
        EXPECT_EQ(screen.battle().enemyBar().maximum, c.barMax);
        game->fight().clickAttack();
        EXPECT_EQ(screen.state().page(), c.page);
        if (c.hpLow < 0) {
            EXPECT_FALSE(screen.view().battleBoxVisible());
        } else {
            EXPECT_TRUE(screen.view().battleBoxVisible());
            const int hp = screen.battle().enemyHpText().toInt();
            EXPECT_GE(hp, c.hpLow);
            EXPECT_LE(hp, c.hpHigh);
            EXPECT_EQ(screen.battle().enemyBar().value, hp);
            EXPECT_GE(screen.battle().playerBar().value, 0);
            EXPECT_LE(screen.battle().playerBar().value, 20);
        }
        EXPECT_EQ(screen.character().experience().value, c.experience);
    }
}

// The deciding exchange of blows and the outcome go to the story log, before
// the page the fight leads to, so that a fight won with one blow can be read.
TEST_F(BattleTest, OutcomeOfTheFightIsWrittenToTheStoryLog)
{
    struct Case
    {
        QStringList keys;
        QString line;
        QString page;
    };
    const QList<Case> cases = {
        {{"BattleMonName=Rat", "BattleMonHp=3", "BattleWin=win", "BattleLose=lose"}, "You defeat the Rat.", "win"},
        {{"BattleMonName=Rat", "BattleMonHp=3"}, "You defeat the Rat.", "2"}, // no win page: the box just closes
        {{"BattleMonHp=3", "BattleWin=win"}, "You defeat the monster.", "win"},
        {{"BattleMonName=Dragon", "BattleMonHp=900000", "BattleMonAtk=900", "BattleWin=win", "BattleLose=lose"},
         "The Dragon defeats you.", "lose"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.line.toStdString());
        loadBattle(c.keys);
        const qsizetype before = log().size();
        attacksUntilClosed();
        EXPECT_FALSE(screen.view().battleBoxVisible());
        EXPECT_EQ(screen.state().page(), c.page);
        const QString added = log().mid(before);
        // The deciding exchange, then the outcome.
        const QRegularExpression entry(QStringLiteral("^\r\n>\r\nYou strike [^\r\n]+ for \\d+ damage\\.(\r\n[^\r\n]+)?\r\n")
                                       + QRegularExpression::escape(c.line));
        EXPECT_TRUE(entry.match(added).hasMatch()) << added.toStdString();
        EXPECT_EQ(added.count(c.line), 1);
        if (c.page != QLatin1String("2")) {
            EXPECT_TRUE(added.endsWith(c.page == QLatin1String("win") ? QStringLiteral("Victory") : QStringLiteral("Defeat")));
        }
    }
}

// While the box is open the choices cannot be taken: only winning, losing or
// escaping ends a fight.
TEST_F(BattleTest, ChoicesAreUnavailableDuringAFight)
{
    loadBattle({"BattleMonName=Wolf", "BattleMonHp=500", "BattleEscape=away"});
    game->fight().clickAttack();
    const double wounded = screen.battle().enemyBar().value;
    const QString logBefore = log();
    ASSERT_TRUE(screen.state().option(0).visible());
    EXPECT_FALSE(screen.choicesAvailable());
    EXPECT_FALSE(game->pages().selectOption(0));
    EXPECT_EQ(screen.state().chosenOption(), -1);
    game->pages().pressPlayTurn();
    game->pages().clickChoose();
    EXPECT_TRUE(screen.view().battleBoxVisible());
    EXPECT_EQ(screen.battle().enemyBar().value, wounded); // not restarted at full strength
    EXPECT_EQ(screen.state().page(), "2");
    EXPECT_EQ(log(), logBefore);
    EXPECT_FALSE(screen.isEnding());
    game->fight().clickEscape();
    EXPECT_TRUE(screen.choicesAvailable());
    EXPECT_TRUE(game->pages().selectOption(0));
}

// A created character's values are the ones the fight uses; Create refuses
// values outside their range and says why.
TEST_F(BattleTest, CreatedCharacterFightsWithItsOwnValues)
{
    const QStringList quest{"[CharacterData]", "CharCreateAllow=1", "CharName=Ilse", "CharHp=20", "CharAtk=2",
                            "CharDef=0", "[1]", "Page Text=Road", "Option One=Fight", "Option One Destination Page=2",
                            "[2]", "Page Text=Troll!", "Battle=1", "BattleMonName=Troll", "BattleMonHp=900000",
                            "BattleMonAtk=40", "BattleMonDef=0"};
    struct Case
    {
        QString hp, strength, defence;
        bool accepted;
    };
    const QList<Case> cases = {
        {"0", "10", "5", false},    {"1000", "10", "5", false}, {"abc", "10", "5", false}, {"-5", "10", "5", false},
        {"12.5", "10", "5", false}, {"", "10", "5", false},     {"50", "0", "5", false},   {"50", "10", "-1", false},
        {"50", "x", "5", false},    {"50", "10", "1000", false}, {"1", "10", "5", true},   {"999", "60", "999", true},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE((c.hp + "/" + c.strength + "/" + c.defence).toStdString());
        loadQuest(writeQuest(QStringLiteral("char.qst"), quest));
        game->setSeed(3);
        const qsizetype messages = dialogs.shown.size();
        screen.character().setRoll({QStringLiteral("Ilse"), c.hp, c.strength, c.defence});
        game->fight().createCharacter();
        EXPECT_EQ(screen.view().characterPanelVisible(), !c.accepted);
        EXPECT_EQ(dialogs.shown.size(), messages + (c.accepted ? 0 : 1));
        if (!c.accepted)
            continue;
        const int hp = c.hp.toInt();
        EXPECT_EQ(screen.character().hitPoints().maximum, hp);
        choose(1);
        ASSERT_TRUE(screen.view().battleBoxVisible());
        EXPECT_EQ(screen.battle().playerBar().maximum, hp);
        game->fight().clickAttack();
        const QString text = screen.battle().text();
        const int strength = c.strength.toInt();
        const int dealt = 900000 - screen.battle().enemyHpText().toInt();
        EXPECT_GE(dealt, strength + 1); // Strength plus a roll of 1..6
        EXPECT_LE(dealt, strength + 6);
        const int taken = std::max(1, 40 + 6 - c.defence.toInt());
        if (hp > 1) {
            EXPECT_GE(screen.battle().playerBar().value, std::max(0, hp - taken));
            EXPECT_EQ(screen.character().hitPoints().value, screen.battle().playerBar().value); // HPPlay shows the fight's hit points
        }
        if (c.defence == QLatin1String("999")) {
            EXPECT_TRUE(text.endsWith(QStringLiteral("You take 1 damage."))) << text.toStdString();
        }
    }
}
