// Start-up, packaged-game mode and quest loading.
#include "engine/game.h"
#include "engine/skip.h"

#include "storage/quest_format.h"

#include <QDir>
#include <QFileInfo>

namespace fc {

namespace {
const QString kEndGameWarning = QStringLiteral("Are you sure? This will end the current game without saving!");
const QString kWarningTitle = QStringLiteral("WARNING!!!!");
} // namespace

void Game::startUp()
{
    const QString questFile = launchFileRead(quest::kLaunchSection, quest::kLaunchQuestFile);
    m_packaged = !questFile.isEmpty();
    if (!m_packaged)
        return; // the empty screen: "No Quest Loaded.", every menu present
    packagedStart(false);
}

// The start of a packaged game; the book picture runs it again with the
// inventory cleared instead of showing the book.
void Game::packagedStart(bool clearInventory)
{
    using namespace quest;
    const QString questPath = m_programDir + QLatin1Char('/') + launchFileRead(kLaunchSection, kLaunchQuestFile);
    if (clearInventory)
        m_screen.clearInventory();
    else
        m_screen.setBookVisible(true);
    m_screen.setMenusVisible(false);
    skipOnFailure([&] { m_screen.setTitle(launchFileRead(kLaunchGameSection, kLaunchTitle)); });
    m_screen.setAuthoringButtonsVisible(false);
    m_screen.setQuestFile(questPath);
    startQuestAt1();
    m_screen.setMenuPanelVisible(false);
    m_screen.setHeightTwips(6600);
}

void Game::startQuestAt1()
{
    skipOnFailure([&] { BeginQuest(); });
    skipOnFailure([&] { PlayTurn(); });
}

void Game::clickBook()
{
    if (launchFileRead(quest::kLaunchSection, quest::kLaunchQuestFile).isEmpty())
        return;
    packagedStart(true);
}

void Game::menuLoadQuest()
{
    FileDialogOptions options;
    options.initialDir = m_programDir;
    options.filter = QStringLiteral("*.qst|*.qst");
    if (m_screen.questLoaded()
        && (!m_ports.dialogs || m_ports.dialogs->question(kWarningTitle, kEndGameWarning) != Answer::Yes))
        return;
    const QString chosen = m_ports.fileDialog ? m_ports.fileDialog->openFile(options) : QString();
    if (chosen.isEmpty())
        return;
    openQuest(chosen);
}

void Game::openQuest(const QString &path)
{
    m_screen.clearInventory();
    m_screen.setQuestFile(path);
    startQuestAt1();
    m_screen.setMenuPanelVisible(false);
}

QString Game::defaultAdventure() const
{
    const QString beside = m_programDir + QLatin1Char('/') + quest::kDefaultAdventureFile;
    if (QFileInfo::exists(beside))
        return beside;
    const QString installed = QDir::cleanPath(m_programDir + QStringLiteral("/../share/fablecraft/"))
                              + QLatin1Char('/') + quest::kDefaultAdventureFile;
    return QFileInfo::exists(installed) ? installed : beside;
}

void Game::clickLoadQuest()
{
    menuLoadQuest();
    m_screen.setMenuPanelVisible(false);
}

void Game::clickPlayAgain()
{
    if (!m_screen.questLoaded())
        return;
    if (m_packaged) {
        packagedStart(true);
        return;
    }
    m_screen.clearInventory();
    startQuestAt1();
    m_screen.setMenuPanelVisible(false);
}

void Game::clickEndingLoadGame()
{
    menuLoad();
}

void Game::clickEndingMenu()
{
    clickMenu();
}

void Game::menuNewGame()
{
    using namespace quest;
    stopMusic();
    m_screen.setQuestFile(defaultAdventure());
    skipOnFailure([&] { BeginQuest(); });
    skipOnFailure([&] { loadPagePicture(questRead(kFirstPage, kImage)); });
    startMusic(questRead(kFirstPage, kMusic));
}

void Game::menuWhatsNew()
{
    if (!m_ports.dialogs)
        return;
    m_ports.dialogs->information(
        QStringLiteral("What's New:"),
        QStringLiteral("1. Compiler now has the option to include all needed runtime files.\r\n"
                       "2. Compiled games now have the New Game option by clicking the book on the table.\r\n"
                       "3. Also... Some other small changes you won't notice!"));
}

} // namespace fc
