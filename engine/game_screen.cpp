#include "engine/game_screen.h"

namespace fc {

GameScreen::GameScreen(QObject *parent)
    : QObject(parent)
{
}

template <typename T> void GameScreen::set(T &field, const T &value)
{
    if (field == value)
        return;
    field = value;
    Q_EMIT changed();
}

static bool operator==(const Bar &a, const Bar &b) { return a.maximum == b.maximum && a.value == b.value; }

void GameScreen::setQuestFile(const QString &v) { set(m_questFile, v); }
void GameScreen::setPg(const QString &v) { set(m_pg, v); }
void GameScreen::setScore(const QString &v) { set(m_score, v); }
void GameScreen::setRoom(const QString &v) { set(m_room, v); }

void GameScreen::appendLog(const QString &text)
{
    m_log += text;
    Q_EMIT logAppended(text);
}

void GameScreen::addItem(const QString &item)
{
    m_inventory.append(item);
    Q_EMIT changed();
}

void GameScreen::clearInventory()
{
    if (m_inventory.isEmpty())
        return;
    m_inventory.clear();
    Q_EMIT changed();
}

void GameScreen::setCaption(int i, const QString &caption)
{
    OptionButton &o = m_options[size_t(i)];
    if (o.caption == caption)
        return;
    o.caption = caption;
    if (caption.isEmpty())
        o.selected = false; // a hidden button cannot stay chosen
    Q_EMIT changed();
}

bool GameScreen::select(int i)
{
    if (i < 0 || i > 3 || !m_options[size_t(i)].visible())
        return false;
    for (size_t k = 0; k < m_options.size(); ++k)
        m_options[k].selected = (int(k) == i);
    Q_EMIT changed();
    return true;
}

void GameScreen::clearSelection()
{
    bool any = false;
    for (auto &o : m_options) {
        any = any || o.selected;
        o.selected = false;
    }
    if (any)
        Q_EMIT changed();
}

int GameScreen::chosenOption() const
{
    for (size_t k = 0; k < m_options.size(); ++k)
        if (m_options[k].visible() && m_options[k].selected)
            return int(k);
    return -1;
}

void GameScreen::setTitle(const QString &v) { set(m_title, v); }
void GameScreen::setMenusVisible(bool v) { set(m_menusVisible, v); }
void GameScreen::setAuthoringButtonsVisible(bool v) { set(m_authoringVisible, v); }
void GameScreen::setBookVisible(bool v) { set(m_bookVisible, v); }
void GameScreen::setMenuPanelVisible(bool v) { set(m_menuPanel, v); }
void GameScreen::setInventoryPanelVisible(bool v) { set(m_invBox, v); }
void GameScreen::setMoviePanelVisible(bool v) { set(m_movBox, v); }
void GameScreen::setBattleBoxVisible(bool v) { set(m_battleBox, v); }
void GameScreen::setCharacterPanelVisible(bool v) { set(m_charCreate, v); }
void GameScreen::setCharacterRoll(const CharacterRoll &v) { set(m_roll, v); }

bool GameScreen::isEnding() const
{
    if (!questLoaded() || m_battleBox)
        return false;
    for (const OptionButton &o : m_options)
        if (o.visible())
            return false;
    return true;
}
void GameScreen::setHeightTwips(int v) { set(m_heightTwips, v); }

void GameScreen::setPagePicture(const QImage &v)
{
    m_image3 = v;
    Q_EMIT changed();
}

void GameScreen::appendBattleText(const QString &text)
{
    m_text2 += text;
    Q_EMIT battleTextAppended(text);
}

void GameScreen::clearBattleText() { set(m_text2, QString()); }

void GameScreen::setEnemyLabel(const QString &v) { set(m_enemyLabel, v); }
void GameScreen::setEnemyHpText(const QString &v) { set(m_enemyHpText, v); }
void GameScreen::setPlayerHpText(const QString &v) { set(m_playerHpText, v); }
void GameScreen::setEnemyBar(const Bar &v) { set(m_enemyBar, v); }
void GameScreen::setPlayerBar(const Bar &v) { set(m_playerBar, v); }
void GameScreen::setExperienceBar(const Bar &v) { set(m_experienceBar, v); }
void GameScreen::setCharacterHp(const Bar &v) { set(m_hpPlay, v); }
void GameScreen::setEscapeEnabled(bool v) { set(m_escapeEnabled, v); }

void GameScreen::setBattlePicture(const QImage &v)
{
    m_picture4 = v;
    Q_EMIT changed();
}

} // namespace fc
