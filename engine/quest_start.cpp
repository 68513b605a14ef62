// Start-up, packaged-game mode and quest loading.
#include "engine/quest_start.h"
#include "engine/game_context.h"
#include "engine/page_flow.h"
#include "engine/skip.h"

#include "storage/quest_format.h"

#include <QDir>
#include <QFileInfo>

namespace fc {

QuestStart::QuestStart(GameContext &context, PageFlow &pages, QObject *parent)
    : GamePart(context, parent)
    , m_pages(pages)
{
}

void QuestStart::startUp()
{
    const QString questFile = m_ctx.launchFileRead(quest::kLaunchSection, quest::kLaunchQuestFile);
    m_packaged = !questFile.isEmpty();
    if (!m_packaged)
        return; // the empty screen: "No Quest Loaded.", every menu present
    packagedStart(false);
}

// The start of a packaged game; the book picture runs it again with the
// inventory cleared instead of showing the book.
void QuestStart::packagedStart(bool clearInventory)
{
    using namespace quest;
    const QString questPath = m_ctx.programDir() + QLatin1Char('/') + m_ctx.launchFileRead(kLaunchSection, kLaunchQuestFile);
    if (clearInventory)
        m_screen.state().clearInventory();
    else
        m_screen.view().setBookVisible(true);
    m_screen.view().setMenusVisible(false);
    skipOnFailure([&] { m_screen.view().setTitle(m_ctx.launchFileRead(kLaunchGameSection, kLaunchTitle)); });
    m_screen.view().setAuthoringButtonsVisible(false);
    m_screen.state().setQuestFile(questPath);
    startQuestAt1();
    m_screen.view().setMenuPanelVisible(false);
    m_screen.view().setHeightTwips(6600);
}

void QuestStart::startQuestAt1()
{
    skipOnFailure([&] { m_pages.BeginQuest(); });
    skipOnFailure([&] { m_pages.PlayTurn(); });
}

void QuestStart::clickBook()
{
    if (m_ctx.launchFileRead(quest::kLaunchSection, quest::kLaunchQuestFile).isEmpty())
        return;
    packagedStart(true);
}

void QuestStart::menuLoadQuest()
{
    FileDialogOptions options;
    options.initialDir = m_ctx.programDir();
    options.filter = QStringLiteral("*.qst|*.qst");
    if (!m_ctx.mayEndGame())
        return;
    const QString chosen = m_ports.fileDialog ? m_ports.fileDialog->openFile(options) : QString();
    if (chosen.isEmpty())
        return;
    openQuest(chosen);
}

void QuestStart::openQuest(const QString &path)
{
    m_screen.state().clearInventory();
    m_screen.state().setQuestFile(path);
    startQuestAt1();
    m_screen.view().setMenuPanelVisible(false);
}

QString QuestStart::defaultAdventure() const
{
    const QString beside = m_ctx.programDir() + QLatin1Char('/') + quest::kDefaultAdventureFile;
    if (QFileInfo::exists(beside))
        return beside;
    const QString installed = QDir::cleanPath(m_ctx.programDir() + QStringLiteral("/../share/fablecraft/"))
                              + QLatin1Char('/') + quest::kDefaultAdventureFile;
    return QFileInfo::exists(installed) ? installed : beside;
}

void QuestStart::clickLoadQuest()
{
    menuLoadQuest();
    m_screen.view().setMenuPanelVisible(false);
}

void QuestStart::clickPlayAgain()
{
    if (!m_screen.state().questLoaded())
        return;
    if (m_packaged) {
        packagedStart(true);
        return;
    }
    m_screen.state().clearInventory();
    startQuestAt1();
    m_screen.view().setMenuPanelVisible(false);
}

void QuestStart::menuNewGame()
{
    using namespace quest;
    m_ctx.stopMusic();
    m_screen.state().setQuestFile(defaultAdventure());
    skipOnFailure([&] { m_pages.BeginQuest(); });
    skipOnFailure([&] { m_ctx.loadPagePicture(m_ctx.questRead(kFirstPage, kImage)); });
    m_ctx.startMusic(m_ctx.questRead(kFirstPage, kMusic));
}

} // namespace fc
