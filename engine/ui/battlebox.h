#pragma once
// The battle box (BattleBox): monster picture, battle text, the two hit-point
// bars and the Attack, Escape and Item buttons. It shows the battle values of
// the game state and forwards the three buttons to the game.

#include "engine/ui/panelframe.h"

class QLabel;
class QPlainTextEdit;
class QProgressBar;
class QPushButton;

namespace fc {

class Game;
class GameScreen;
class PictureView;

class BattleBox : public PanelFrame
{
    Q_OBJECT
public:
    BattleBox(Game &game, QWidget *parent);

    // Attack (Command3): where the focus goes when a fight starts.
    QPushButton *attackButton() const { return m_attackButton; }

private:
    void refresh();
    void appendText(const QString &added);

    GameScreen &m_screen;
    PictureView *m_monsterPicture;
    QPlainTextEdit *m_battleText;
    QPushButton *m_attackButton, *m_escapeButton, *m_itemButton;
    QProgressBar *m_progressBar1, *m_progressBar2;
    QLabel *m_playerHpCaption, *m_enemyHpCaption, *m_playerHpLabel, *m_enemyHpLabel;
};

} // namespace fc
