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
void Game::closeCharacterPanel() { m_screen.setCharacterPanelVisible(false); }

void Game::pressInventory()
{
    pressAnimation(PressedButton::Inventory);
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
    CharacterRoll roll = m_screen.characterRoll();
    roll.hitPoints = QString::number(rollAbove(rng, 50, 25));
    roll.strength = QString::number(rollAbove(rng, 15, 10));
    roll.defence = QString::number(rollAbove(rng, 10, 5));
    m_screen.setCharacterRoll(roll);
}

namespace {
// A whole number from low to high typed into a character box, or -1.
int characterValue(const QString &text, int low, int high)
{
    bool ok = false;
    const int v = text.trimmed().toInt(&ok);
    return ok && v >= low && v <= high ? v : -1;
}
} // namespace

void Game::createCharacter()
{
    const CharacterRoll &roll = m_screen.characterRoll();
    const int hp = characterValue(roll.hitPoints, 1, 999);
    const int strength = characterValue(roll.strength, 1, 999);
    const int defence = characterValue(roll.defence, 0, 999);
    QString refusal;
    if (hp < 0)
        refusal = QStringLiteral("Hit Points must be a whole number from 1 to 999.");
    else if (strength < 0)
        refusal = QStringLiteral("Strength must be a whole number from 1 to 999.");
    else if (defence < 0)
        refusal = QStringLiteral("Defence must be a whole number from 0 to 999.");
    if (!refusal.isEmpty()) {
        if (m_ports.dialogs)
            m_ports.dialogs->information(QStringLiteral("Create your character"), refusal);
        return; // the panel stays open for a correction
    }
    m_characterCreated = true;
    m_characterHp = hp;
    m_characterAtk = strength;
    m_characterDef = defence;
    m_playerHp = m_playerMaxHp = hp;
    showPlayerHp();
    m_screen.setCharacterPanelVisible(false);
}

void Game::setSeed(quint32 seed)
{
    m_random.seed(seed);
}

} // namespace fc
