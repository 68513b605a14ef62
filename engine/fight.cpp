// Battles: opening the battle box of a battle page, the fight and escape.
//
// The fight: each Attack is one exchange of blows. A blow deals the
// attacker's attack plus a roll of 1 to 6, less the defender's defence, and
// always at least 1. The monster answers while it stands; one time in four it
// uses its alternative attack ("AltAtk") instead, which deals "AltAtkDam"
// whatever the defence. A monster at 0 hit points is beaten: its key item
// joins the inventory, its experience fills the experience bar and the quest
// goes on at "BattleWin". A player at 0 goes to "BattleLose" and gets up again
// with full hit points. The deciding exchange and the outcome are written to
// the story log as well as to the battle text. An empty page closes the box
// and leaves the choices of the battle page standing.
#include "engine/fight.h"
#include "engine/game_context.h"
#include "engine/page_flow.h"
#include "engine/rules.h"
#include "engine/score.h"
#include "engine/skip.h"

#include "storage/quest_format.h"

#include <QRandomGenerator>

#include <algorithm>
#include <cmath>

namespace fc {

namespace {
constexpr int kDefaultHp = 30;
constexpr int kDefaultAtk = 5;
constexpr int kDefaultDef = 2;
constexpr int kDefaultMonsterAtk = 4;

// Every number of the fight lies in 0..kMaxFightValue, so no sum or
// difference of them can overflow.
constexpr int kMaxFightValue = 999999;

// A whole number from a key, at most kMaxFightValue; fallback when the key
// holds no number or one below min.
int fightValue(const QString &value, int min, int fallback)
{
    const auto v = parseDecimal(value);
    if (!v || *v < min)
        return fallback;
    return int(std::min(*v, double(kMaxFightValue)));
}

int positiveOr(const QString &value, int fallback) { return fightValue(value, 1, fallback); }
int nonNegativeOr(const QString &value, int fallback) { return fightValue(value, 0, fallback); }
} // namespace

Fight::Fight(GameContext &context, PageFlow &pages, QObject *parent)
    : GamePart(context, parent)
    , m_pages(pages)
{
}

// A quest starts with the player's hit points full, from the character panel
// when the player made a character, else from the quest.
void Fight::startCharacter()
{
    using namespace quest;
    // A character made for another quest does not count in this one.
    m_characterCreated = false;
    m_playerMaxHp = positiveOr(m_ctx.questRead(kCharacterDataSection, kCharHp), kDefaultHp);
    m_playerHp = m_playerMaxHp;
    m_screen.view().setBattleBoxVisible(false);
    if (m_ctx.questRead(kCharacterDataSection, kCharCreateAllow) == QLatin1String("1")) {
        CharacterRoll roll = m_screen.character().roll();
        roll.name = m_ctx.questRead(kCharacterDataSection, kCharName);
        m_screen.character().setRoll(roll);
        reRollCharacter();
        m_screen.view().setCharacterPanelVisible(true);
    }
    showPlayerHp();
}

// Both hit-point bars (the battle box's and HPPlay) show what the fight uses.
void Fight::showPlayerHp()
{
    const Bar bar{double(std::max(m_playerMaxHp, 1)), double(std::max(m_playerHp, 0))};
    m_screen.battle().setPlayerBar(bar);
    m_screen.character().setHitPoints(bar);
    m_screen.battle().setPlayerHpText(QString::number(std::max(m_playerHp, 0)));
}

void Fight::Battle()
{
    using namespace quest;
    const QString name = m_ctx.pageRead(kBattleMonName);
    skipOnFailure([&] { m_screen.battle().setEnemyLabel(name + QStringLiteral("'s HP:")); });
    bool ok = false;
    float hp = m_ctx.pageRead(kBattleMonHp).trimmed().toFloat(&ok);
    ok = ok && std::isfinite(hp);
    if (ok)
        hp = std::min(hp, float(kMaxFightValue));
    skipOnFailure([&] {
        if (ok && hp > 0) // a bar maximum of 0 or less is refused: the bar keeps its values
            m_screen.battle().setEnemyBar({double(hp), double(hp)});
    });
    // A monster without positive hit points falls at the first blow.
    m_monsterHp = ok && hp >= 1 ? int(hp) : 0;
    skipOnFailure([&] { m_screen.battle().setEnemyHpText(m_ctx.pageRead(kBattleMonHp)); });
    skipOnFailure([&] {
        if (!m_ports.pictures)
            return;
        if (auto image = m_ports.pictures->load(PictureSlot::Battle, m_ctx.mediaPath(m_ctx.pageRead(kBattleImage))))
            m_screen.battle().setPicture(*image);
    });
    const QString music = m_ctx.pageRead(kBattleMusic);
    skipOnFailure([&] { m_screen.battle().setEscapeEnabled(rules::escapeAllowed(m_ctx.pageRead(kBattleEscapeCheck))); });
    skipOnFailure([&] { m_screen.battle().appendText(QStringLiteral("You are under attack from ") + name + QLatin1Char('!')); });
    if (!music.isEmpty()) {
        m_ctx.stopMusic();
        m_ctx.startMusic(music);
    }
    showPlayerHp();
    m_screen.view().setBattleBoxVisible(true);
}

void Fight::clickAttack()
{
    using namespace quest;
    if (!m_screen.view().battleBoxVisible())
        return;
    const QString name = m_ctx.pageRead(kBattleMonName);
    const QString monster = name.isEmpty() ? QStringLiteral("the monster") : name;
    const auto roll = [this] { return int(m_random.bounded(1, 7)); };

    const int playerAtk = m_characterCreated ? m_characterAtk
                                             : positiveOr(m_ctx.questRead(kCharacterDataSection, kCharAtk), kDefaultAtk);
    const int playerDef = m_characterCreated ? m_characterDef
                                             : nonNegativeOr(m_ctx.questRead(kCharacterDataSection, kCharDef), kDefaultDef);
    const int monsterAtk = positiveOr(m_ctx.pageRead(kBattleMonAtk), kDefaultMonsterAtk);
    const int monsterDef = nonNegativeOr(m_ctx.pageRead(kBattleMonDef), 0);

    // The blows of this exchange; the deciding one also goes to the story
    // log, where it stays readable once the box has closed.
    QStringList blows;
    const auto blow = [&](const QString &text) {
        blows << text;
        m_screen.battle().appendText(QStringLiteral("\r\n") + text);
    };
    const auto logOutcome = [&](const QString &outcome) {
        m_screen.state().appendLog(QStringLiteral("\r\n>\r\n") + blows.join(QStringLiteral("\r\n")) + QStringLiteral("\r\n")
                           + outcome);
    };

    const int dealt = std::max(1, playerAtk + roll() - monsterDef);
    m_monsterHp = std::max(0, m_monsterHp - dealt);
    blow(QStringLiteral("You strike %1 for %2 damage.").arg(monster).arg(dealt));
    if (m_screen.battle().enemyBar().maximum > 0 && m_monsterHp <= m_screen.battle().enemyBar().maximum)
        m_screen.battle().setEnemyBar({m_screen.battle().enemyBar().maximum, double(m_monsterHp)});
    m_screen.battle().setEnemyHpText(QString::number(m_monsterHp));

    if (m_monsterHp <= 0) {
        m_screen.battle().appendText(QStringLiteral("\r\nYou have defeated %1!").arg(monster));
        logOutcome(QStringLiteral("You defeat the %1.").arg(name.isEmpty() ? QStringLiteral("monster") : name));
        const QString item = m_ctx.pageRead(kBattleMonKeyItem);
        if (!item.isEmpty())
            m_screen.state().addItem(item);
        const int exp = nonNegativeOr(m_ctx.pageRead(kBattleMonExp), 0);
        if (exp > 0) {
            const double value = m_screen.character().experience().value + exp;
            m_screen.character().setExperience({std::max(m_screen.character().experience().maximum, value), value});
        }
        Q_EMIT fightDecided(true);
        leaveBattleTo(m_ctx.pageRead(kBattleWin));
        return;
    }

    const QString altName = m_ctx.pageRead(kAltAtk);
    const int altDamage = positiveOr(m_ctx.pageRead(kAltAtkDam), 0);
    int taken = 0;
    if (!altName.isEmpty() && altDamage > 0 && m_random.bounded(4) == 0) {
        taken = altDamage;
        blow(QStringLiteral("%1 uses %2! You take %3 damage.").arg(monster, altName).arg(taken));
    } else {
        taken = std::max(1, monsterAtk + roll() - playerDef);
        const QString message = m_ctx.pageRead(kAtkMessage);
        blow(QStringLiteral("%1 You take %2 damage.")
                 .arg(message.isEmpty() ? monster + QStringLiteral(" strikes back!") : message)
                 .arg(taken));
    }
    m_playerHp = std::max(0, m_playerHp - taken);
    showPlayerHp();
    if (m_playerHp <= 0) {
        m_screen.battle().appendText(QStringLiteral("\r\nYou have been defeated by %1.").arg(monster));
        logOutcome(QStringLiteral("The %1 defeats you.").arg(name.isEmpty() ? QStringLiteral("monster") : name));
        const QString lose = m_ctx.pageRead(kBattleLose);
        m_playerHp = m_playerMaxHp; // the hero gets up again for what follows
        Q_EMIT fightDecided(false);
        leaveBattleTo(lose);
        showPlayerHp();
    }
}

// The presenter's entry for leaving a battle: the page goes to the log and
// is presented in full, a new battle included.
void Fight::enterPageFromBattle(const QString &page)
{
    m_screen.view().setBattleBoxVisible(false);
    m_pages.enterFromBattle(page);
    Q_EMIT battleLeft();
}

// Ends a fight on its win or lose page; with no page the box just closes and
// the battle page's choices stand.
void Fight::leaveBattleTo(const QString &page)
{
    if (!rules::leavesBattlePage(page)) {
        m_screen.view().setBattleBoxVisible(false);
        Q_EMIT battleLeft();
    } else
        enterPageFromBattle(page);
}

void Fight::clickEscape()
{
    if (!m_screen.view().battleBoxVisible() || !m_screen.battle().escapeEnabled())
        return;
    enterPageFromBattle(m_ctx.pageRead(quest::kBattleEscape));
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

void Fight::reRollCharacter()
{
    QRandomGenerator &rng = m_random;
    CharacterRoll roll = m_screen.character().roll();
    roll.hitPoints = QString::number(rollAbove(rng, 50, 25));
    roll.strength = QString::number(rollAbove(rng, 15, 10));
    roll.defence = QString::number(rollAbove(rng, 10, 5));
    m_screen.character().setRoll(roll);
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

void Fight::createCharacter()
{
    const CharacterRoll &roll = m_screen.character().roll();
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
    m_characterAtk = strength;
    m_characterDef = defence;
    m_playerHp = m_playerMaxHp = hp;
    showPlayerHp();
    m_screen.view().setCharacterPanelVisible(false);
}

void Fight::closeCharacterPanel()
{
    m_screen.view().setCharacterPanelVisible(false);
}

void Fight::setSeed(quint32 seed)
{
    m_random.seed(seed);
}

} // namespace fc
