#pragma once
// The fight: the battle box of a battle page, its blows and escape, and the
// player's character whose hit points carry over from battle to battle.

#include <QDateTime>
#include "engine/game_part.h"

#include <QObject>
#include <QRandomGenerator>
#include <QString>

namespace fc {

class GameContext;
struct Ports;
class GameScreen;
class PageFlow;

class Fight : public GamePart
{
    Q_OBJECT
public:
    // pages presents the page a fight leads to.
    Fight(GameContext &context, PageFlow &pages, QObject *parent = nullptr);

    void Battle();      // opens the battle of the current page
    void clickAttack(); // Command3
    void clickEscape(); // Command4

    // --- the character -------------------------------------------------------
    // A quest starts with the player's hit points full.
    void startCharacter();
    void reRollCharacter();     // Command10; fills the character panel's numbers
    void createCharacter();     // Command9: takes the panel's values, or says why not
    void closeCharacterPanel(); // Esc on the character panel: the quest's own values stand

    // Fixes the fight's random numbers (tests and the text player's --seed).
    void setSeed(quint32 seed);

Q_SIGNALS:
    // The deciding blow of a fight fell: won is true when the monster fell.
    void fightDecided(bool won);
    // A fight ended (won, lost or escaped) and the page it led to has been
    // presented; the battle box is open again only if that page is a battle.
    void battleLeft();

private:
    void showPlayerHp();
    void leaveBattleTo(const QString &page);
    void enterPageFromBattle(const QString &page);

    PageFlow &m_pages;
    QRandomGenerator m_random{quint32(QDateTime::currentMSecsSinceEpoch())};
    int m_playerHp = 0;
    int m_playerMaxHp = 0;
    int m_monsterHp = 0;
    bool m_characterCreated = false;
    // The created character's values; they stand for the quest's.
    int m_characterAtk = 0;
    int m_characterDef = 0;
};

} // namespace fc
