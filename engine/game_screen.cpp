#include "engine/game_screen.h"

namespace fc {

// --- GameState ---------------------------------------------------------------

void GameState::setQuestFile(const QString &v) { set(m_questFile, v); }
void GameState::setPage(const QString &v) { set(m_page, v); }
void GameState::setScore(const QString &v) { set(m_score, v); }
void GameState::setRoom(const QString &v) { set(m_room, v); }

void GameState::appendLog(const QString &text)
{
    m_log += text;
    Q_EMIT logAppended(text);
}

void GameState::addItem(const QString &item)
{
    m_inventory.append(item);
    Q_EMIT changed();
}

void GameState::clearInventory()
{
    if (m_inventory.isEmpty())
        return;
    m_inventory.clear();
    Q_EMIT changed();
}

void GameState::setCaption(int i, const QString &caption)
{
    OptionButton &o = m_options[size_t(i)];
    if (o.caption == caption)
        return;
    o.caption = caption;
    if (caption.isEmpty())
        o.selected = false; // a hidden button cannot stay chosen
    Q_EMIT changed();
}

bool GameState::select(int i)
{
    if (i < 0 || i > 3 || !m_options[size_t(i)].visible())
        return false;
    for (size_t k = 0; k < m_options.size(); ++k)
        m_options[k].selected = (int(k) == i);
    Q_EMIT changed();
    return true;
}

void GameState::clearSelection()
{
    bool any = false;
    for (auto &o : m_options) {
        any = any || o.selected;
        o.selected = false;
    }
    if (any)
        Q_EMIT changed();
}

int GameState::chosenOption() const
{
    for (size_t k = 0; k < m_options.size(); ++k)
        if (m_options[k].visible() && m_options[k].selected)
            return int(k);
    return -1;
}

// --- ScreenView --------------------------------------------------------------

void ScreenView::setTitle(const QString &v) { set(m_title, v); }
void ScreenView::setMenusVisible(bool v) { set(m_menusVisible, v); }
void ScreenView::setAuthoringButtonsVisible(bool v) { set(m_authoringVisible, v); }
void ScreenView::setBookVisible(bool v) { set(m_bookVisible, v); }
void ScreenView::setMenuPanelVisible(bool v) { set(m_menuPanel, v); }
void ScreenView::setInventoryPanelVisible(bool v) { set(m_inventoryPanel, v); }
void ScreenView::setMoviePanelVisible(bool v) { set(m_moviePanel, v); }
void ScreenView::setBattleBoxVisible(bool v) { set(m_battleBox, v); }
void ScreenView::setCharacterPanelVisible(bool v) { set(m_characterPanel, v); }
void ScreenView::setHeightTwips(int v) { set(m_heightTwips, v); }

void ScreenView::setPagePicture(const QImage &v)
{
    m_pagePicture = v;
    Q_EMIT changed();
}

// --- BattleView --------------------------------------------------------------

void BattleView::appendText(const QString &text)
{
    m_text += text;
    Q_EMIT textAppended(text);
}

void BattleView::clearText() { set(m_text, QString()); }
void BattleView::setEnemyLabel(const QString &v) { set(m_enemyLabel, v); }
void BattleView::setEnemyHpText(const QString &v) { set(m_enemyHpText, v); }
void BattleView::setPlayerHpText(const QString &v) { set(m_playerHpText, v); }
void BattleView::setEnemyBar(const Bar &v) { set(m_enemyBar, v); }
void BattleView::setPlayerBar(const Bar &v) { set(m_playerBar, v); }
void BattleView::setEscapeEnabled(bool v) { set(m_escapeEnabled, v); }

void BattleView::setPicture(const QImage &v)
{
    m_picture = v;
    Q_EMIT changed();
}

// --- CharacterView -----------------------------------------------------------

void CharacterView::setRoll(const CharacterRoll &v) { set(m_roll, v); }
void CharacterView::setHitPoints(const Bar &v) { set(m_hitPoints, v); }
void CharacterView::setExperience(const Bar &v) { set(m_experience, v); }

// --- GameScreen --------------------------------------------------------------

GameScreen::GameScreen(QObject *parent)
    : QObject(parent)
{
    connect(&m_state, &ScreenPart::changed, this, &GameScreen::changed);
    connect(&m_state, &GameState::logAppended, this, &GameScreen::logAppended);
    connect(&m_view, &ScreenPart::changed, this, &GameScreen::changed);
    connect(&m_battle, &ScreenPart::changed, this, &GameScreen::changed);
    connect(&m_battle, &BattleView::textAppended, this, &GameScreen::battleTextAppended);
    connect(&m_character, &ScreenPart::changed, this, &GameScreen::changed);
}

bool GameScreen::isEnding() const
{
    if (!m_state.questLoaded() || m_view.battleBoxVisible())
        return false;
    for (int i = 0; i < 4; ++i)
        if (m_state.option(i).visible())
            return false;
    return true;
}

} // namespace fc
