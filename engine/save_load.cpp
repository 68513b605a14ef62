// Saving and restoring games.
#include "engine/game.h"

namespace fc {

void Game::menuSave() {}
void Game::menuLoad() {}
void Game::clickLoadGame() {}

} // namespace fc
