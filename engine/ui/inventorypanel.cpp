#include "engine/ui/inventorypanel.h"

#include "engine/game.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>

namespace fc {

InventoryPanel::InventoryPanel(Game &game, QWidget *parent)
    : PanelFrame(QStringLiteral("InvBox"), QStringLiteral("Inventory"), parent)
    , m_screen(game.screen())
{
    auto *label7 = new QLabel(QStringLiteral("Your items:"), this);
    label7->setObjectName(QStringLiteral("Label7"));
    m_items = new QListWidget(this);
    m_items->setObjectName(QStringLiteral("List1"));
    m_items->setSelectionMode(QAbstractItemView::SingleSelection);
    auto *command8 = new QPushButton(QStringLiteral("Close"), this);
    command8->setObjectName(QStringLiteral("Command8"));
    // Items are used by the story's choices; this button has no action.
    auto *command7 = new QPushButton(QStringLiteral("Use"), this);
    command7->setObjectName(QStringLiteral("Command7"));
    command7->setEnabled(false);

    body()->addWidget(label7);
    body()->addWidget(m_items, 1);
    auto *buttons = new QHBoxLayout;
    buttons->addWidget(command7);
    buttons->addStretch();
    buttons->addWidget(command8);
    body()->addLayout(buttons);

    connect(command8, &QPushButton::clicked, &game.shell(), &Shell::closeInventory);
    connect(&m_screen.state(), &ScreenPart::changed, this, &InventoryPanel::refresh);
    refresh();
}

void InventoryPanel::refresh()
{
    const QStringList &items = m_screen.state().inventory();
    bool same = m_items->count() == items.size();
    for (int i = 0; same && i < items.size(); ++i)
        same = m_items->item(i)->text() == items[i];
    if (same)
        return;
    m_items->clear();
    m_items->addItems(items);
}

} // namespace fc
