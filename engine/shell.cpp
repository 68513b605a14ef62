// The shell around play: close request, auto update, web site, About, What's
// New, the menu and inventory panels.
#include "engine/shell.h"
#include "engine/game_context.h"
#include "engine/skip.h"

namespace fc {

namespace {
const QString kWarningTitle = QStringLiteral("WARNING!!!!");
} // namespace

const QString Shell::kWebSite = QStringLiteral("https://fablecraft.example.org");

Shell::Shell(GameContext &context, QObject *parent)
    : GamePart(context, parent)
{
}

bool Shell::closeRequest()
{
    if (!m_ctx.mayEndGame())
        return false;
    m_ctx.stopMusic();
    if (m_screen.state().questLoaded() && m_ports.clock)
        m_ports.clock->pause(0.2);
    Q_EMIT quitRequested();
    return true;
}

bool Shell::menuAutoUpdate()
{
    if (!m_ports.dialogs
        || m_ports.dialogs->question(kWarningTitle, QStringLiteral("CLOSE Fablecraft and run auto update?")) != Answer::Yes)
        return false;
    if (m_ports.launcher && m_ports.launcher->startProgram(QStringLiteral("autoupdate.exe"))) {
        Q_EMIT quitRequested();
        return true;
    }
    m_ports.dialogs->information(QString(), QStringLiteral("Could not locate the autoupdate.exe!"));
    return false;
}

void Shell::openWebSite()
{
    skipOnFailure([&] {
        if (m_ports.launcher)
            m_ports.launcher->openUrl(kWebSite);
    });
}

void Shell::menuAbout()
{
    if (!m_ports.dialogs)
        return;
    m_ports.dialogs->information(
        QStringLiteral("About Fablecraft 2004"),
        QStringLiteral("Fablecraft 2004\r\n%1\r\n\r\nWrite and play branching text adventures.\r\n\r\n"
                       "Contact: the Fablecraft team, %2")
            .arg(QString::fromLatin1(kEngineTitle), kWebSite));
}

void Shell::menuWhatsNew()
{
    if (!m_ports.dialogs)
        return;
    m_ports.dialogs->information(
        QStringLiteral("What's New:"),
        QStringLiteral("1. Compiler now has the option to include all needed runtime files.\r\n"
                       "2. Compiled games now have the New Game option by clicking the book on the table.\r\n"
                       "3. Also... Some other small changes you won't notice!"));
}

void Shell::clickResume() { m_screen.view().setMenuPanelVisible(false); }
void Shell::clickMenu() { m_screen.view().setMenuPanelVisible(true); }
void Shell::clickEndingMenu() { clickMenu(); }
void Shell::openInventory() { m_screen.view().setInventoryPanelVisible(true); }
void Shell::closeInventory() { m_screen.view().setInventoryPanelVisible(false); }

void Shell::pressInventory()
{
    m_ctx.pressAnimation(PressedButton::Inventory);
    openInventory();
}

} // namespace fc
