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

private:
    void refresh();
    void appendText(const QString &added);

    GameScreen &m_screen;
    PictureView *m_picture4;
    QPlainTextEdit *m_text2;
    QPushButton *m_command3, *m_command4, *m_command5;
    QProgressBar *m_progressBar1, *m_progressBar2;
    QLabel *m_label3, *m_label4, *m_label5, *m_label6;
};

} // namespace fc
