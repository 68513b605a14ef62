#pragma once
// Start-up, packaged-game mode and loading a quest: every way a quest begins,
// the editor's test play of its working copy included.

#include "engine/game_part.h"

#include <QObject>
#include <QString>

namespace fc {

class GameContext;
class GameScreen;
class PageFlow;
struct Ports;

class QuestStart : public GamePart
{
    Q_OBJECT
public:
    QuestStart(GameContext &context, PageFlow &pages, QObject *parent = nullptr);

    void startUp(); // the screen is loaded: reads game.dat
    // True while the program runs as a packaged game (launch file names a quest).
    bool packaged() const { return m_packaged; }

    void menuLoadQuest();  // mnuloadquest
    void clickLoadQuest(); // Image1: as the menu, then hide the menu panel
    void menuNewGame();    // mnunewgame: the default adventure, reduced start
    void clickBook();      // Image11: restart a packaged game
    void clickPlayAgain(); // the ending's offer: the quest again from page 1
    // Plays a quest file as the load menu does once a file is chosen (a quest
    // named on the command line, or opened from the file manager).
    void openQuest(const QString &path);
    // Where "&New Game" finds the default adventure: VellumAdventure.qst in
    // the program directory, else in the data folder of an installation
    // (program directory/../share/fablecraft).
    QString defaultAdventure() const;

    // Test play of the editor's working copy.
    void LoadTmpGame();

private:
    void packagedStart(bool clearInventory);
    void startQuestAt1(); // BeginQuest then PlayTurn, the common start of a turn-based entry

    PageFlow &m_pages;
    bool m_packaged = false;
};

} // namespace fc
