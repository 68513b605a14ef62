// Test play of the editor's working copy.
#include "engine/game.h"
#include "engine/skip.h"

#include "storage/quest_format.h"

namespace fc {

void Game::LoadTmpGame()
{
    using namespace quest;
    m_screen.setQuestfil(kWorkingCopyFile);
    m_screen.clearInventory();
    skipOnFailure([&] { BeginQuest(); });
    skipOnFailure([&] { loadPagePicture(questRead(kFirstPage, kImage)); });
    playSound(questRead(kFirstPage, kMp3));
    startMusic(questRead(kFirstPage, kMusic));
    playMovie(questRead(kFirstPage, kMovie));
}

} // namespace fc
