#pragma once
// The inventory panel (InvBox): the list of key items held (List1) and its
// Close button. It only displays the list.

#include "engine/ui/panelframe.h"

class QListWidget;

namespace fc {

class Game;
class GameScreen;

class InventoryPanel : public PanelFrame
{
    Q_OBJECT
public:
    InventoryPanel(Game &game, QWidget *parent);

private:
    void refresh();

    GameScreen &m_screen;
    QListWidget *m_items;
};

} // namespace fc
