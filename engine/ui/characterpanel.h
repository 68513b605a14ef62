#pragma once
// The character panel (CharCreate): name, hit points, strength and defence of
// a new character, with Re-Roll and Create. The boxes show the game's
// character roll, and what the player types goes back into it.

#include "engine/ui/panelframe.h"

class QLineEdit;
class QPushButton;

namespace fc {

class Game;

class CharacterPanel : public PanelFrame
{
    Q_OBJECT
public:
    CharacterPanel(Game &game, QWidget *parent);

    // Create (Command9): what Enter presses on the panel.
    QPushButton *createButton() const { return m_createButton; }

private:
    void refresh();
    void takeTyped();

    Game &m_game;
    QLineEdit *m_strengthBox, *m_defenceBox, *m_hitPointsBox, *m_nameBox;
    QPushButton *m_createButton;
};

} // namespace fc
