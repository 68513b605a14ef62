// Test play of the editor's working copy: a fresh game, the story log kept.
#include "engine/game.h"
#include "engine/skip.h"

#include "storage/quest_format.h"

namespace fc {

void Game::LoadTmpGame()
{
    using namespace quest;
    // Nothing of the previous game shows but its story: no battle, picture,
    // movie, experience or open panel. The story log is kept.
    m_screen.setBattleBoxVisible(false);
    m_screen.clearBattleText();
    m_screen.setPagePicture(QImage());
    skipOnFailure([&] {
        if (m_ports.movie)
            m_ports.movie->stop();
    });
    m_screen.setMoviePanelVisible(false);
    m_screen.setExperienceBar(Bar{});
    m_screen.setInventoryPanelVisible(false);
    m_screen.setCharacterPanelVisible(false);
    m_screen.setMenuPanelVisible(false);
    m_screen.setQuestFile(kWorkingCopyFile);
    m_screen.clearInventory();
    skipOnFailure([&] { BeginQuest(); });
    skipOnFailure([&] { loadPagePicture(questRead(kFirstPage, kImage)); });
    playSound(questRead(kFirstPage, kMp3));
    startMusic(questRead(kFirstPage, kMusic));
    playMovie(questRead(kFirstPage, kMovie));
}

} // namespace fc
