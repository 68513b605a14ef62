// The shell around play: close request, auto update, web site, About, the
// menu and inventory panels and the character panel.
#include "engine/game.h"
#include "engine/skip.h"

#include "storage/quest_format.h"

#include <QRandomGenerator>

namespace fc {

namespace {
const QString kWarningTitle = QStringLiteral("WARNING!!!!");
} // namespace

const QString Game::kWebSite = QStringLiteral("https://fablecraft.example.org");

bool Game::closeRequest()
{
    if (m_screen.questLoaded()
        && (!m_ports.dialogs
            || m_ports.dialogs->question(kWarningTitle,
                                         QStringLiteral("Are you sure? This will end the current game without saving!"))
                   != Answer::Yes))
        return false;
    stopMusic();
    if (m_screen.questLoaded() && m_ports.clock)
        m_ports.clock->pause(0.2);
    Q_EMIT quitRequested();
    return true;
}

bool Game::menuAutoUpdate()
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

void Game::openWebSite()
{
    skipOnFailure([&] {
        if (m_ports.launcher)
            m_ports.launcher->openUrl(kWebSite);
    });
}

void Game::menuAbout()
{
    if (!m_ports.dialogs)
        return;
    m_ports.dialogs->information(
        QStringLiteral("About Fablecraft 2004"),
        QStringLiteral("Fablecraft 2004\r\n%1\r\n\r\nWrite and play branching text adventures.\r\n\r\n"
                       "Contact: the Fablecraft team, %2")
            .arg(QString::fromLatin1(kEngineTitle), kWebSite));
}

void Game::clickResume() { m_screen.setMenuPanelVisible(false); }
void Game::clickMenu() { m_screen.setMenuPanelVisible(true); }
void Game::openInventory() { m_screen.setInventoryPanelVisible(true); }
void Game::closeInventory() { m_screen.setInventoryPanelVisible(false); }

void Game::clickPicture3()
{
    pressAnimation(QStringLiteral("Picture3"));
    openInventory();
}

// Draws whole parts of r * scale until the value exceeds floor, as the dice of
// the character panel do.
static int rollAbove(QRandomGenerator &rng, int scale, int floor)
{
    int v = 0;
    do
        v = int(rng.generateDouble() * scale);
    while (v <= floor);
    return v;
}

void Game::reRollCharacter()
{
    QRandomGenerator &rng = m_random;
    m_roll.hitPoints = QString::number(rollAbove(rng, 50, 25));
    m_roll.strength = QString::number(rollAbove(rng, 15, 10));
    m_roll.defence = QString::number(rollAbove(rng, 10, 5));
    Q_EMIT m_screen.changed();
}

void Game::createCharacter()
{
    bool ok = false;
    const int hp = m_roll.hitPoints.trimmed().toInt(&ok);
    if (ok && hp > 0) {
        m_screen.setCharacterHp({double(hp), double(hp)});
        m_characterCreated = true;
        m_playerHp = m_playerMaxHp = hp;
        showPlayerHp();
    }
    m_screen.setCharacterPanelVisible(false);
}

void Game::setSeed(quint32 seed)
{
    m_random.seed(seed);
}

} // namespace fc
