#pragma once
// Saving the game in progress and restoring a saved one.

#include "engine/game_part.h"

#include <QObject>

namespace fc {

class GameContext;
class GameScreen;
struct Ports;

class SavedGames : public GamePart
{
    Q_OBJECT
public:
    explicit SavedGames(GameContext &context, QObject *parent = nullptr);

    void menuSave();            // mnusave and Image6
    void menuLoad();            // mnuload: restores the inventory too
    void clickLoadGame();       // Image2: without the inventory, hides the menu panel
    void clickEndingLoadGame(); // the ending's offer: as mnuload

private:
    // The load of a saved game; true when the game was restored.
    bool loadSavedGame(bool withInventory);

};

} // namespace fc
