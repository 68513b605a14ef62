#include "engine/ui/menupanel.h"

#include "engine/game.h"
#include "engine/ui/artwork.h"
#include "engine/ui/panelframe.h"
#include "engine/ui/picturebutton.h"

#include <QGridLayout>
#include <QLinearGradient>
#include <QHBoxLayout>
#include <QLabel>
#include <QMouseEvent>
#include <QPainter>
#include <QScreen>
#include <QVBoxLayout>

namespace fc {

namespace {
// The row of eight picture buttons fits the screen the panel opens on.
QSize iconSize(const QWidget *panel)
{
    const QScreen *screen = panel->screen();
    const int available = screen ? screen->availableSize().width() : 1024;
    const int w = qBound(72, (available - 120) / 8 - 6, 104);
    return {w, w * 100 / 104};
}
} // namespace

MenuPanel::MenuPanel(Game &game, QWidget *parent)
    : QFrame(parent)
    , m_game(game)
{
    setObjectName(QStringLiteral("Picture2"));
    setMouseTracking(true);
    // The picture covers the whole panel: what lies under it is not drawn.
    setAttribute(Qt::WA_OpaquePaintEvent);

    const QSize kIconSize = iconSize(parent ? parent : this);
    m_title = new QLabel(QStringLiteral("Fablecraft 2004"), this);
    QLabel *title = m_title;
    title->setTextFormat(Qt::PlainText);
    title->setProperty("menuTitle", true);
    title->setAlignment(Qt::AlignCenter);
    auto *subtitle = new QLabel(QStringLiteral("Branching tales, told by you"), this);
    subtitle->setProperty("menuSubtitle", true);
    subtitle->setAlignment(Qt::AlignCenter);

    m_bookButton = addButton(QStringLiteral("Image11"), QString::fromLatin1(art::kBook), QStringLiteral("New Game"),
                          QSize(260, 170));
    m_loadQuestButton = addButton(QStringLiteral("Image1"), QString::fromLatin1(art::kLoadQuest), QStringLiteral("Load Quest"),
                         kIconSize);
    auto *image2 = addButton(QStringLiteral("Image2"), QString::fromLatin1(art::kLoadGame), QStringLiteral("Load Game"),
                             kIconSize);
    auto *image5 = addButton(QStringLiteral("Image5"), QString::fromLatin1(art::kResume),
                             QStringLiteral("Resume Game"), kIconSize);
    auto *image6 = addButton(QStringLiteral("Image6"), QString::fromLatin1(art::kSave), QStringLiteral("Save Game"),
                             kIconSize);
    auto *image7 = addButton(QStringLiteral("Image7"), QString::fromLatin1(art::kAbout), QStringLiteral("About"),
                             kIconSize);
    m_createButton = addButton(QStringLiteral("Image8"), QString::fromLatin1(art::kCreate), QStringLiteral("Create A Quest"),
                         kIconSize);
    auto *image9 = addButton(QStringLiteral("Image9"), QString::fromLatin1(art::kCredits), QStringLiteral("Credits"),
                             kIconSize);
    auto *image10 = m_quitButton = addButton(QStringLiteral("Image10"), QString::fromLatin1(art::kQuit), QStringLiteral("Quit"),
                              kIconSize);

    m_helpLine = new QLabel(this);
    m_helpLine->setObjectName(QStringLiteral("Label2"));
    m_helpLine->setAlignment(Qt::AlignCenter);
    m_helpLine->setMinimumHeight(32);

    auto *label14 = new ClickLabel(QStringLiteral("Label14"), Shell::kWebSite, this);
    addHelp(label14, QStringLiteral("Web Site"));
    m_autoUpdateLabel = new ClickLabel(QStringLiteral("Label15"), QStringLiteral("Auto Update"), this);
    addHelp(m_autoUpdateLabel, QStringLiteral("Run Auto update"));

    // Outside a packaged game the book is not on the table: say where a game
    // begins instead.
    m_startHint = new QLabel(QStringLiteral("File \u2192 New Game begins the Vellum Adventure; Resume Game shows it.\n"
                                            "Load Quest opens a quest of your own."),
                             this);
    m_startHint->setProperty("menuSubtitle", true);
    m_startHint->setAlignment(Qt::AlignCenter);

    auto *icons = new QHBoxLayout;
    icons->setSpacing(6);
    icons->addStretch();
    for (QWidget *w : {static_cast<QWidget *>(m_loadQuestButton), static_cast<QWidget *>(image2),
                       static_cast<QWidget *>(image5), static_cast<QWidget *>(image6),
                       static_cast<QWidget *>(image7), static_cast<QWidget *>(m_createButton),
                       static_cast<QWidget *>(image9), static_cast<QWidget *>(image10)})
        icons->addWidget(w);
    icons->addStretch();

    auto *footer = new QHBoxLayout;
    footer->addWidget(label14);
    footer->addStretch();
    footer->addWidget(m_autoUpdateLabel);

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(24, 18, 24, 12);
    layout->addWidget(title);
    layout->addWidget(subtitle);
    layout->addStretch(1);
    layout->addWidget(m_bookButton, 0, Qt::AlignHCenter);
    layout->addWidget(m_startHint);
    layout->addStretch(1);
    layout->addLayout(icons);
    layout->addWidget(m_helpLine);
    layout->addLayout(footer);

    connect(m_bookButton, &PictureButton::clicked, &game.questStart(), &QuestStart::clickBook);
    connect(m_loadQuestButton, &PictureButton::clicked, &game.questStart(), &QuestStart::clickLoadQuest);
    connect(image2, &PictureButton::clicked, &game.savedGames(), &SavedGames::clickLoadGame);
    connect(image5, &PictureButton::clicked, &game.shell(), &Shell::clickResume);
    connect(image6, &PictureButton::clicked, &game.savedGames(), &SavedGames::menuSave);
    connect(image7, &PictureButton::clicked, &game.shell(), &Shell::menuAbout);
    connect(m_createButton, &PictureButton::clicked, this, &MenuPanel::editorRequested);
    connect(image9, &PictureButton::clicked, this, &MenuPanel::creditsRequested);
    connect(image10, &PictureButton::clicked, this, &MenuPanel::closeRequested);
    connect(label14, &ClickLabel::clicked, &game.shell(), &Shell::openWebSite);
    connect(m_autoUpdateLabel, &ClickLabel::clicked, &game.shell(), &Shell::menuAutoUpdate);
    // Whether the game is packaged is settled at start-up, before the view
    // changes for it.
    connect(&game.screen().view(), &ScreenPart::changed, this, &MenuPanel::refresh);
    refresh();
}

PictureButton *MenuPanel::addButton(const QString &name, const QString &art, const QString &help, const QSize &size)
{
    auto *button = new PictureButton(name, art, size, this);
    button->setAccessibleName(help);
    if (name != QLatin1String("Image11"))
        button->setCaption(help);
    addHelp(button, help);
    return button;
}

void MenuPanel::addHelp(QWidget *control, const QString &help)
{
    auto show = [this, help] { m_helpLine->setText(help); };
    if (auto *button = qobject_cast<PictureButton *>(control))
        connect(button, &PictureButton::pointed, this, show);
    else if (auto *label = qobject_cast<ClickLabel *>(control))
        connect(label, &ClickLabel::pointed, this, show);
}

void MenuPanel::refresh()
{
    const GameScreen &screen = m_game.screen();
    m_bookButton->setVisible(screen.view().bookVisible());
    m_startHint->setVisible(!screen.view().bookVisible() && screen.view().menusVisible());
    const bool authoring = screen.view().authoringButtonsVisible();
    m_loadQuestButton->setVisible(authoring);
    m_createButton->setVisible(authoring);
    m_autoUpdateLabel->setVisible(authoring);
    // A packaged game greets the player with its own name.
    setTextIfChanged(m_title, m_game.questStart().packaged() && !screen.view().title().isEmpty() ? screen.view().title()
                                                                              : QStringLiteral("Fablecraft 2004"));
}

void MenuPanel::paintEvent(QPaintEvent *)
{
    QPainter p(this);
    const QPixmap background = art::pixmap(QString::fromLatin1(art::kMenuBackground), size());
    // The picture covers the panel, cropped rather than stretched.
    const QSize covered = background.size().scaled(size(), Qt::KeepAspectRatioByExpanding);
    QRect target(QPoint(), covered);
    target.moveCenter(rect().center());
    p.drawPixmap(target, background);
    // A shaded band under the row of buttons and the help line, so they read
    // well on any part of the picture.
    const int top = m_quitButton->y() - 10;
    QLinearGradient band(0, top - 30, 0, height());
    band.setColorAt(0, QColor(0, 0, 0, 0));
    band.setColorAt(0.2, QColor(10, 5, 0, 150));
    band.setColorAt(1, QColor(10, 5, 0, 200));
    p.fillRect(QRect(0, top - 30, width(), height() - top + 30), band);
}

void MenuPanel::mouseMoveEvent(QMouseEvent *event)
{
    m_helpLine->clear();
    QFrame::mouseMoveEvent(event);
}

} // namespace fc
