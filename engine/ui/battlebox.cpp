#include "engine/ui/battlebox.h"

#include "engine/game.h"
#include "engine/ui/picturebutton.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QScrollBar>

namespace fc {

namespace {
QLabel *label(const QString &name, const QString &text, QWidget *parent)
{
    auto *l = new QLabel(text, parent);
    l->setObjectName(name);
    l->setTextFormat(Qt::PlainText); // a monster's name is shown as written
    return l;
}

QProgressBar *bar(const QString &name, QWidget *parent)
{
    auto *b = new QProgressBar(parent);
    b->setObjectName(name);
    b->setTextVisible(false);
    b->setFixedHeight(14);
    return b;
}

QPushButton *button(const QString &name, const QString &text, QWidget *parent)
{
    auto *b = new QPushButton(text, parent);
    b->setObjectName(name);
    return b;
}
} // namespace

BattleBox::BattleBox(Game &game, QWidget *parent)
    : PanelFrame(QStringLiteral("BattleBox"), QStringLiteral("Battle!"), parent)
    , m_screen(game.screen())
{
    m_monsterPicture = new PictureView(QStringLiteral("Picture4"), this);
    m_monsterPicture->setMinimumSize(150, 150);
    m_battleText = new QPlainTextEdit(this);
    m_battleText->setObjectName(QStringLiteral("Text2"));
    m_battleText->setReadOnly(true);
    m_battleText->setPlainText(m_screen.battle().text());
    m_battleText->setMinimumHeight(70);
    m_battleText->setTabChangesFocus(true);
    m_attackButton = button(QStringLiteral("Command3"), QStringLiteral("Attack"), this);
    m_escapeButton = button(QStringLiteral("Command4"), QStringLiteral("Escape"), this);
    m_itemButton = button(QStringLiteral("Command5"), QStringLiteral("Item"), this);
    m_progressBar1 = bar(QStringLiteral("ProgressBar1"), this);
    m_progressBar2 = bar(QStringLiteral("ProgressBar2"), this);
    m_progressBar2->setProperty("enemy", true);
    m_progressBar1->setAccessibleName(QStringLiteral("Your Hp:"));
    m_battleText->setAccessibleName(QStringLiteral("Battle"));
    m_playerHpCaption = label(QStringLiteral("Label3"), QStringLiteral("Your Hp:"), this);
    m_enemyHpCaption = label(QStringLiteral("Label4"), m_screen.battle().enemyLabel(), this);
    m_playerHpLabel = label(QStringLiteral("Label5"), QString(), this);
    m_enemyHpLabel = label(QStringLiteral("Label6"), m_screen.battle().enemyHpText(), this);
    for (QLabel *number : {m_playerHpLabel, m_enemyHpLabel}) {
        number->setMinimumWidth(36);
        number->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    }

    auto *bars = new QGridLayout;
    bars->setHorizontalSpacing(8);
    bars->addWidget(m_enemyHpCaption, 0, 0);
    bars->addWidget(m_progressBar2, 0, 1);
    bars->addWidget(m_enemyHpLabel, 0, 2);
    bars->addWidget(m_playerHpCaption, 1, 0);
    bars->addWidget(m_progressBar1, 1, 1);
    bars->addWidget(m_playerHpLabel, 1, 2);
    bars->setColumnStretch(1, 1);

    auto *right = new QVBoxLayout;
    right->addLayout(bars);
    right->addWidget(m_battleText, 1);

    auto *top = new QHBoxLayout;
    top->addWidget(m_monsterPicture, 2);
    top->addLayout(right, 3);
    body()->addLayout(top, 1);

    auto *buttons = new QHBoxLayout;
    buttons->addStretch();
    for (QPushButton *b : {m_attackButton, m_escapeButton, m_itemButton}) {
        b->setMinimumWidth(96);
        buttons->addWidget(b);
    }
    buttons->addStretch();
    body()->addLayout(buttons);

    connect(m_attackButton, &QPushButton::clicked, &game.fight(), &Fight::clickAttack);
    connect(m_escapeButton, &QPushButton::clicked, &game.fight(), &Fight::clickEscape);
    connect(m_itemButton, &QPushButton::clicked, &game.shell(), &Shell::openInventory);
    connect(&m_screen.battle(), &ScreenPart::changed, this, &BattleBox::refresh);
    connect(&m_screen, &GameScreen::battleTextAppended, this, &BattleBox::appendText);
    refresh();
}

void BattleBox::refresh()
{
    if (m_screen.battle().text().isEmpty() && !m_battleText->document()->isEmpty())
        m_battleText->clear();
    setTextIfChanged(m_enemyHpCaption, m_screen.battle().enemyLabel());
    setTextIfChanged(m_enemyHpLabel, m_screen.battle().enemyHpText());
    setTextIfChanged(m_playerHpLabel, m_screen.battle().playerHpText());
    showBar(m_progressBar1, m_screen.battle().playerBar());
    showBar(m_progressBar2, m_screen.battle().enemyBar());
    setAccessibleNameIfChanged(m_progressBar2, m_screen.battle().enemyLabel());
    m_escapeButton->setEnabled(m_screen.battle().escapeEnabled());
    if (m_monsterPicture->image().cacheKey() != m_screen.battle().picture().cacheKey())
        m_monsterPicture->setImage(m_screen.battle().picture());
}

void BattleBox::appendText(const QString &added)
{
    // Append at the end without copying the text, and keep the newest in view.
    QTextCursor cursor(m_battleText->document());
    cursor.movePosition(QTextCursor::End);
    QString text = added;
    text.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    cursor.insertText(text);
    m_battleText->verticalScrollBar()->setValue(m_battleText->verticalScrollBar()->maximum());
}

} // namespace fc
