// Test play of the editor's working copy: a fresh game, the story log kept.
#include "engine/quest_start.h"
#include "engine/game_context.h"
#include "engine/page_flow.h"
#include "engine/skip.h"

#include "storage/quest_format.h"

namespace fc {

void QuestStart::LoadTmpGame()
{
    using namespace quest;
    // Nothing of the previous game shows but its story: no battle, picture,
    // movie, experience or open panel. The story log is kept.
    m_screen.view().setBattleBoxVisible(false);
    m_screen.battle().clearText();
    m_screen.view().setPagePicture(QImage());
    skipOnFailure([&] {
        if (m_ports.movie)
            m_ports.movie->stop();
    });
    m_screen.view().setMoviePanelVisible(false);
    m_screen.character().setExperience(Bar{});
    m_screen.view().setInventoryPanelVisible(false);
    m_screen.view().setCharacterPanelVisible(false);
    m_screen.view().setMenuPanelVisible(false);
    m_screen.state().setQuestFile(kWorkingCopyFile);
    m_screen.state().clearInventory();
    skipOnFailure([&] { m_pages.BeginQuest(); });
    skipOnFailure([&] { m_ctx.loadPagePicture(m_ctx.questRead(kFirstPage, kImage)); });
    m_ctx.playSound(m_ctx.questRead(kFirstPage, kMp3));
    m_ctx.startMusic(m_ctx.questRead(kFirstPage, kMusic));
    m_ctx.playMovie(m_ctx.questRead(kFirstPage, kMovie));
}

} // namespace fc
