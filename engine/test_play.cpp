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
    skipOnFailure([&] {
        if (!m_ports.sound)
            return;
        m_ports.sound->setFileName(mediaPath(questRead(kFirstPage, kMp3)));
        m_ports.sound->play();
    });
    skipOnFailure([&] {
        if (m_ports.music)
            m_ports.music->start(mediaPath(questRead(kFirstPage, kMusic)));
    });
    skipOnFailure([&] {
        const QString movie = questRead(kFirstPage, kMovie);
        if (movie.isEmpty() || !m_ports.movie)
            return;
        m_screen.setMoviePanelVisible(true);
        m_ports.movie->setFileName(mediaPath(movie));
        m_ports.movie->play();
    });
}

} // namespace fc
