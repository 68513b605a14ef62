#include "engine/ui/characterpanel.h"

#include "engine/game.h"

#include <QFormLayout>
#include <QHBoxLayout>
#include <QIntValidator>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

namespace fc {

namespace {
QLineEdit *box(const QString &name, QWidget *parent)
{
    auto *e = new QLineEdit(parent);
    e->setObjectName(name);
    return e;
}

QLabel *label(const QString &name, const QString &text, QWidget *parent)
{
    auto *l = new QLabel(text, parent);
    l->setObjectName(name);
    return l;
}

void setIfDifferent(QLineEdit *edit, const QString &text)
{
    if (edit->text() != text)
        edit->setText(text);
}
} // namespace

CharacterPanel::CharacterPanel(Game &game, QWidget *parent)
    : PanelFrame(QStringLiteral("CharCreate"), QStringLiteral("Create your character"), parent)
    , m_game(game)
{
    m_nameBox = box(QStringLiteral("Text6"), this);
    m_hitPointsBox = box(QStringLiteral("Text5"), this);
    m_strengthBox = box(QStringLiteral("Text3"), this);
    m_defenceBox = box(QStringLiteral("Text4"), this);
    for (QLineEdit *number : {m_hitPointsBox, m_strengthBox, m_defenceBox})
        number->setValidator(new QIntValidator(0, 999, number)); // Create says what else it needs

    auto *form = new QFormLayout;
    auto addRow = [this, form](const char *name, const QString &caption, QLineEdit *edit) {
        QLabel *l = label(QString::fromLatin1(name), caption, this);
        l->setBuddy(edit);
        edit->setAccessibleName(caption.chopped(1)); // the label without its colon
        form->addRow(l, edit);
    };
    addRow("Label13", QStringLiteral("Name:"), m_nameBox);
    addRow("Label12", QStringLiteral("Hit Points:"), m_hitPointsBox);
    addRow("Label11", QStringLiteral("Strength:"), m_strengthBox);
    addRow("Label10", QStringLiteral("Defence:"), m_defenceBox);
    body()->addLayout(form);

    auto *command10 = new QPushButton(QStringLiteral("Re-Roll"), this);
    command10->setObjectName(QStringLiteral("Command10"));
    m_createButton = new QPushButton(QStringLiteral("Create"), this);
    m_createButton->setObjectName(QStringLiteral("Command9"));
    m_createButton->setDefault(true);
    // Saved characters are not offered yet; the button has no action.
    auto *command11 = new QPushButton(QStringLiteral("Load Character"), this);
    command11->setObjectName(QStringLiteral("Command11"));
    command11->setEnabled(false);
    auto *buttons = new QHBoxLayout;
    buttons->addWidget(command11);
    buttons->addStretch();
    buttons->addWidget(command10);
    buttons->addWidget(m_createButton);
    body()->addLayout(buttons);

    for (QLineEdit *edit : {m_strengthBox, m_defenceBox, m_hitPointsBox, m_nameBox})
        connect(edit, &QLineEdit::textEdited, this, &CharacterPanel::takeTyped);
    connect(command10, &QPushButton::clicked, &game.fight(), &Fight::reRollCharacter);
    connect(m_createButton, &QPushButton::clicked, this, [this] {
        takeTyped();
        m_game.fight().createCharacter();
    });
    connect(&game.screen().character(), &ScreenPart::changed, this, &CharacterPanel::refresh);
    refresh();
}

void CharacterPanel::takeTyped()
{
    m_game.screen().character().setRoll({m_nameBox->text(), m_hitPointsBox->text(), m_strengthBox->text(), m_defenceBox->text()});
}

void CharacterPanel::refresh()
{
    const CharacterRoll &roll = m_game.screen().character().roll();
    setIfDifferent(m_nameBox, roll.name);
    setIfDifferent(m_hitPointsBox, roll.hitPoints);
    setIfDifferent(m_strengthBox, roll.strength);
    setIfDifferent(m_defenceBox, roll.defence);
}

} // namespace fc
