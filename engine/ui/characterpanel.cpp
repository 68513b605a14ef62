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
    m_text6 = box(QStringLiteral("Text6"), this);
    m_text5 = box(QStringLiteral("Text5"), this);
    m_text3 = box(QStringLiteral("Text3"), this);
    m_text4 = box(QStringLiteral("Text4"), this);
    for (QLineEdit *number : {m_text5, m_text3, m_text4})
        number->setValidator(new QIntValidator(0, 9999, number));

    auto *form = new QFormLayout;
    form->addRow(label(QStringLiteral("Label13"), QStringLiteral("Name:"), this), m_text6);
    form->addRow(label(QStringLiteral("Label12"), QStringLiteral("Hit Points:"), this), m_text5);
    form->addRow(label(QStringLiteral("Label11"), QStringLiteral("Strength:"), this), m_text3);
    form->addRow(label(QStringLiteral("Label10"), QStringLiteral("Defence:"), this), m_text4);
    body()->addLayout(form);

    auto *command10 = new QPushButton(QStringLiteral("Re-Roll"), this);
    command10->setObjectName(QStringLiteral("Command10"));
    auto *command9 = new QPushButton(QStringLiteral("Create"), this);
    command9->setObjectName(QStringLiteral("Command9"));
    command9->setDefault(true);
    // Saved characters are not offered yet; the button has no action.
    auto *command11 = new QPushButton(QStringLiteral("Load Character"), this);
    command11->setObjectName(QStringLiteral("Command11"));
    command11->setEnabled(false);
    auto *buttons = new QHBoxLayout;
    buttons->addWidget(command11);
    buttons->addStretch();
    buttons->addWidget(command10);
    buttons->addWidget(command9);
    body()->addLayout(buttons);

    for (QLineEdit *edit : {m_text3, m_text4, m_text5, m_text6})
        connect(edit, &QLineEdit::textEdited, this, &CharacterPanel::takeTyped);
    connect(command10, &QPushButton::clicked, &game, &Game::reRollCharacter);
    connect(command9, &QPushButton::clicked, this, [this] {
        takeTyped();
        m_game.createCharacter();
    });
    connect(&game.screen(), &GameScreen::changed, this, &CharacterPanel::refresh);
    refresh();
}

void CharacterPanel::takeTyped()
{
    Game::CharacterRoll &roll = m_game.characterRoll();
    roll.name = m_text6->text();
    roll.hitPoints = m_text5->text();
    roll.strength = m_text3->text();
    roll.defence = m_text4->text();
}

void CharacterPanel::refresh()
{
    const Game::CharacterRoll &roll = m_game.characterRoll();
    setIfDifferent(m_text6, roll.name);
    setIfDifferent(m_text5, roll.hitPoints);
    setIfDifferent(m_text3, roll.strength);
    setIfDifferent(m_text4, roll.defence);
}

} // namespace fc
