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
    m_picture4 = new PictureView(QStringLiteral("Picture4"), this);
    m_picture4->setMinimumSize(150, 150);
    m_text2 = new QPlainTextEdit(this);
    m_text2->setObjectName(QStringLiteral("Text2"));
    m_text2->setReadOnly(true);
    m_text2->setPlainText(m_screen.battle().text());
    m_text2->setMinimumHeight(70);
    m_text2->setTabChangesFocus(true);
    m_command3 = button(QStringLiteral("Command3"), QStringLiteral("Attack"), this);
    m_command4 = button(QStringLiteral("Command4"), QStringLiteral("Escape"), this);
    m_command5 = button(QStringLiteral("Command5"), QStringLiteral("Item"), this);
    m_progressBar1 = bar(QStringLiteral("ProgressBar1"), this);
    m_progressBar2 = bar(QStringLiteral("ProgressBar2"), this);
    m_progressBar2->setProperty("enemy", true);
    m_progressBar1->setAccessibleName(QStringLiteral("Your Hp:"));
    m_text2->setAccessibleName(QStringLiteral("Battle"));
    m_label3 = label(QStringLiteral("Label3"), QStringLiteral("Your Hp:"), this);
    m_label4 = label(QStringLiteral("Label4"), m_screen.battle().enemyLabel(), this);
    m_label5 = label(QStringLiteral("Label5"), QString(), this);
    m_label6 = label(QStringLiteral("Label6"), m_screen.battle().enemyHpText(), this);
    for (QLabel *number : {m_label5, m_label6}) {
        number->setMinimumWidth(36);
        number->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    }

    auto *bars = new QGridLayout;
    bars->setHorizontalSpacing(8);
    bars->addWidget(m_label4, 0, 0);
    bars->addWidget(m_progressBar2, 0, 1);
    bars->addWidget(m_label6, 0, 2);
    bars->addWidget(m_label3, 1, 0);
    bars->addWidget(m_progressBar1, 1, 1);
    bars->addWidget(m_label5, 1, 2);
    bars->setColumnStretch(1, 1);

    auto *right = new QVBoxLayout;
    right->addLayout(bars);
    right->addWidget(m_text2, 1);

    auto *top = new QHBoxLayout;
    top->addWidget(m_picture4, 2);
    top->addLayout(right, 3);
    body()->addLayout(top, 1);

    auto *buttons = new QHBoxLayout;
    buttons->addStretch();
    for (QPushButton *b : {m_command3, m_command4, m_command5}) {
        b->setMinimumWidth(96);
        buttons->addWidget(b);
    }
    buttons->addStretch();
    body()->addLayout(buttons);

    connect(m_command3, &QPushButton::clicked, &game.fight(), &Fight::clickAttack);
    connect(m_command4, &QPushButton::clicked, &game.fight(), &Fight::clickEscape);
    connect(m_command5, &QPushButton::clicked, &game.fight(), &Fight::clickItem);
    connect(&m_screen, &GameScreen::changed, this, &BattleBox::refresh);
    connect(&m_screen, &GameScreen::battleTextAppended, this, &BattleBox::appendText);
    refresh();
}

void BattleBox::refresh()
{
    if (m_screen.battle().text().isEmpty() && !m_text2->document()->isEmpty())
        m_text2->clear();
    setTextIfChanged(m_label4, m_screen.battle().enemyLabel());
    setTextIfChanged(m_label6, m_screen.battle().enemyHpText());
    setTextIfChanged(m_label5, m_screen.battle().playerHpText());
    showBar(m_progressBar1, m_screen.battle().playerBar());
    showBar(m_progressBar2, m_screen.battle().enemyBar());
    setAccessibleNameIfChanged(m_progressBar2, m_screen.battle().enemyLabel());
    m_command4->setEnabled(m_screen.battle().escapeEnabled());
    if (m_picture4->image().cacheKey() != m_screen.battle().picture().cacheKey())
        m_picture4->setImage(m_screen.battle().picture());
}

void BattleBox::appendText(const QString &added)
{
    // Append at the end without copying the text, and keep the newest in view.
    QTextCursor cursor(m_text2->document());
    cursor.movePosition(QTextCursor::End);
    QString text = added;
    text.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    cursor.insertText(text);
    m_text2->verticalScrollBar()->setValue(m_text2->verticalScrollBar()->maximum());
}

} // namespace fc
