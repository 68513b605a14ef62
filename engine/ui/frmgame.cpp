#include "engine/ui/frmgame.h"

#include "engine/game.h"
#include "engine/ui/artwork.h"
#include "engine/ui/battlebox.h"
#include "engine/ui/characterpanel.h"
#include "engine/ui/choicebutton.h"
#include "engine/ui/frmcredits.h"
#include "engine/ui/gamestyle.h"
#include "engine/ui/inventorypanel.h"
#include "engine/ui/menupanel.h"
#include "engine/ui/moviepanel.h"
#include "engine/ui/panelframe.h"
#include "engine/ui/picturebutton.h"
#include "engine/ui/twips.h"

#include <QAccessible>
#include <QApplication>
#include <QCloseEvent>
#include <QFrame>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QScrollBar>
#include <QShortcut>
#include <QTimer>
#include <QVBoxLayout>

#include <algorithm>

namespace fc {

namespace {
QLabel *namedLabel(const QString &name, const QString &text, QWidget *parent)
{
    auto *label = new QLabel(text, parent);
    label->setObjectName(name);
    label->setTextFormat(Qt::PlainText);
    return label;
}

QLabel *captionLabel(const QString &text, QWidget *parent)
{
    auto *label = new QLabel(text, parent);
    label->setProperty("caption", true);
    return label;
}

QProgressBar *namedBar(const QString &name, QWidget *parent)
{
    auto *bar = new QProgressBar(parent);
    bar->setObjectName(name);
    bar->setTextVisible(false);
    bar->setFixedHeight(12);
    return bar;
}

// A fixed-size place for a picture button that is moved by its press
// animation; no layout, so the move is not undone by a relayout.
QWidget *holder(QWidget *button, const QWidget *screen, QWidget *parent)
{
    auto *place = new QWidget(parent);
    const QSize extra(twipsToPixelsX(screen, 50), twipsToPixelsY(screen, 50));
    place->setFixedSize(button->size() + extra);
    button->setParent(place);
    button->move(0, 0);
    return place;
}

// The window's normal size, fitted to the screen it opens on.
QSize normalSize(const QWidget *window)
{
    QSize size(1040, 680);
    if (const QScreen *s = window->screen())
        size = size.boundedTo(s->availableSize() - QSize(16, 48));
    return size;
}

// The log's CR LF line ends as the text box's line breaks.
QString asPlain(const QString &log)
{
    QString text = log;
    text.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    text.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    return text;
}

} // namespace

FrmGame::FrmGame(Game &game, QWidget *parent)
    : QMainWindow(parent)
    , m_game(game)
    , m_screen(game.screen())
{
    setObjectName(QStringLiteral("FrmGame"));
    // The pictures of the first frame are decoded while the controls are
    // made: the window icon, the menu panel, which is open at start, and the
    // screen's buttons.
    art::preload({QStringLiteral("app_icon"), QString::fromLatin1(art::kMenuBackground), QString::fromLatin1(art::kLoadQuest),
                  QString::fromLatin1(art::kLoadGame), QString::fromLatin1(art::kResume),
                  QString::fromLatin1(art::kSave), QString::fromLatin1(art::kAbout), QString::fromLatin1(art::kCreate),
                  QString::fromLatin1(art::kCredits), QString::fromLatin1(art::kQuit), QString::fromLatin1(art::kMenu),
                  QString::fromLatin1(art::kChoose), QString::fromLatin1(art::kInventory),
                  QString::fromLatin1(art::kNoPicture)});
    buildMenus();
    setCentralWidget(buildScreen());
    buildKeys();
    setWindowIcon(art::windowIcon());
    resize(normalSize(this));

    connect(&m_screen, &GameScreen::changed, this, &FrmGame::refresh);
    connect(&m_screen, &GameScreen::logAppended, this, &FrmGame::appendLog);
    connect(&m_game, &Game::pictureButtonPressed, this, &FrmGame::movePictureButton);
    connect(&m_game, &Game::quitRequested, this, &FrmGame::quit);
    // After a fight the story goes on: the focus is on the first choice the
    // new page offers, so that a number and Enter take the next turn.
    connect(&m_game, &Game::battleLeft, this, [this] {
        if (!panelOpen() && isActiveWindow())
            choiceFocus()->setFocus(Qt::OtherFocusReason);
    });
    refresh();
}

FrmGame::~FrmGame() = default;

void FrmGame::buildMenus()
{
    auto add = [this](QMenu *menu, const char *name, const QString &caption, auto slot) {
        QAction *action = menu->addAction(caption);
        action->setObjectName(QString::fromLatin1(name));
        connect(action, &QAction::triggered, this, slot);
        return action;
    };
    auto menu = [this](const char *name, const QString &caption) {
        QMenu *m = menuBar()->addMenu(caption);
        m->setObjectName(QString::fromLatin1(name));
        return m;
    };
    m_fileMenu = menu("mnufile", QStringLiteral("&File"));
    add(m_fileMenu, "mnunewgame", QStringLiteral("&New Game"), [this] { m_game.questStart().menuNewGame(); });
    add(m_fileMenu, "mnucreatequest", QStringLiteral("&Create 'A' Quest"), [this] { Q_EMIT editorRequested(); });
    add(m_fileMenu, "mnuloadquest", QStringLiteral("&Load A Quest File"), [this] { m_game.questStart().menuLoadQuest(); });
    add(m_fileMenu, "mnuload", QStringLiteral("&Load Saved Game"), [this] { m_game.savedGames().menuLoad(); });
    add(m_fileMenu, "mnusave", QStringLiteral("&Save Current Game"), [this] { m_game.savedGames().menuSave(); });
    m_fileMenu->addSeparator();
    add(m_fileMenu, "mnuexit", QStringLiteral("&Exit"), [this] { requestClose(); });
    m_helpMenu = menu("mnuhelp", QStringLiteral("&Help"));
    add(m_helpMenu, "mnuabout", QStringLiteral("&About"), [this] { m_game.shell().menuAbout(); });
    add(m_helpMenu, "mnucredits", QStringLiteral("&Credits"), [this] { showCredits(); });
    m_updateMenu = menu("mnupdate", QStringLiteral("&Update"));
    add(m_updateMenu, "mnuauto", QStringLiteral("&Run Auto-Update"), [this] { m_game.shell().menuAutoUpdate(); });
    add(m_updateMenu, "mnunew", QStringLiteral("&What's New"), [this] { m_game.shell().menuWhatsNew(); });
}

QWidget *FrmGame::buildScreen()
{
    // Made in the window, so that its controls are styled once, not again
    // when the screen is put into the window.
    m_central = new QWidget(this);
    m_central->setObjectName(QStringLiteral("screen"));
    m_central->setAttribute(Qt::WA_StyledBackground);
    m_central->setStyleSheet(gameStyleSheet());
    m_central->setMouseTracking(true);
    m_central->installEventFilter(this);
    QWidget *screen = m_central;

    // Made in the order of the screen, which is the order of the focus chain.
    QLayout *header = buildHeader(screen);
    QWidget *log = buildStoryLog(screen);
    QLayout *side = buildSideColumn(screen);
    QWidget *choices = buildChoices(screen);
    QLayout *confirm = buildConfirm(screen);

    auto *middle = new QHBoxLayout;
    middle->setSpacing(12);
    middle->addWidget(log, 3);
    middle->addLayout(side, 2);

    auto *bottom = new QHBoxLayout;
    bottom->setSpacing(12);
    bottom->addWidget(choices, 1);
    bottom->addLayout(confirm);

    auto *layout = new QVBoxLayout(screen);
    layout->setContentsMargins(14, 8, 14, 12);
    layout->setSpacing(10);
    layout->addLayout(header);
    layout->addLayout(middle, 1);
    layout->addLayout(bottom);

    buildPanels(screen);
    connectScreen();

    // Tab follows the screen: header, story, side column, choices, confirm.
    QWidget *order[] = {m_menuButton, m_menuLabel, m_pageLabel, m_scoreLabel, m_storyLog, m_inventoryPicture, m_inventoryButton, m_options[0],
                        m_options[1], m_options[2], m_options[3], m_ending, m_choosePicture, m_chooseButton};
    for (size_t i = 1; i < std::size(order); ++i)
        QWidget::setTabOrder(order[i - 1], order[i]);
    return screen;
}

// The header: menu button, quest, page and score.
QLayout *FrmGame::buildHeader(QWidget *screen)
{
    m_menuButton = new PictureButton(QStringLiteral("Image4"), QString::fromLatin1(art::kMenu), QSize(34, 34), screen);
    m_menuButton->setAccessibleName(QStringLiteral("Menu"));
    m_menuLabel = new ClickLabel(QStringLiteral("Label16"), QStringLiteral("Menu"), screen);
    m_menuLabel->hide();
    m_questLabel = namedLabel(QStringLiteral("questfil"), m_screen.state().questFile(), screen);
    m_questLabel->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    m_pageLabel = namedLabel(QStringLiteral("pg"), m_screen.state().page(), screen);
    m_pageLabel->setProperty("badge", true);
    m_pageLabel->setAlignment(Qt::AlignCenter);
    m_pageLabel->setFocusPolicy(Qt::TabFocus); // a screen reader user reaches page and score
    m_scoreLabel = namedLabel(QStringLiteral("score"), m_screen.state().score(), screen);
    m_scoreLabel->setFocusPolicy(Qt::TabFocus);
    m_scoreLabel->setProperty("badge", true);
    m_scoreLabel->setAlignment(Qt::AlignCenter);

    auto *header = new QHBoxLayout;
    header->setSpacing(8);
    header->addWidget(m_menuButton);
    header->addWidget(m_menuLabel);
    header->addSpacing(8);
    header->addWidget(m_questLabel, 1);
    header->addWidget(captionLabel(QStringLiteral("PAGE"), screen));
    header->addWidget(m_pageLabel);
    header->addSpacing(6);
    header->addWidget(captionLabel(QStringLiteral("SCORE"), screen));
    header->addWidget(m_scoreLabel);
    return header;
}

// The story log (and the hidden room text kept for saving).
QWidget *FrmGame::buildStoryLog(QWidget *screen)
{
    m_storyLog = new QPlainTextEdit(screen);
    m_storyLog->setObjectName(QStringLiteral("Text1"));
    m_storyLog->setReadOnly(true);
    m_storyLog->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    m_storyLog->setFocusPolicy(Qt::StrongFocus);
    m_storyLog->setTabChangesFocus(true);
    m_storyLog->setAccessibleName(QStringLiteral("Story"));
    m_storyLog->setUndoRedoEnabled(false);
    m_storyLog->setPlainText(asPlain(m_screen.state().log()));
    m_logEndsWithCr = m_screen.state().log().endsWith(QLatin1Char('\r'));
    m_storyLog->viewport()->setMouseTracking(true);
    m_storyLog->viewport()->installEventFilter(this);
    m_storyLog->setMinimumWidth(300);

    m_roomText = new QPlainTextEdit(screen); // kept for saving; not shown
    m_roomText->setObjectName(QStringLiteral("room"));
    m_roomText->setReadOnly(true);
    m_roomText->hide();
    return m_storyLog;
}

// The side column: the page picture, the hit-point and experience bars and
// the way to the inventory.
QLayout *FrmGame::buildSideColumn(QWidget *screen)
{
    m_pagePicture = new PictureView(QStringLiteral("Image3"), screen);

    auto *side = new QVBoxLayout;
    side->addWidget(m_pagePicture, 1);
    side->addLayout(buildStatusBars(screen));
    side->addLayout(buildInventoryButtons(screen));
    return side;
}

QLayout *FrmGame::buildStatusBars(QWidget *screen)
{
    auto *label8 = namedLabel(QStringLiteral("Label8"), QStringLiteral("HP:"), screen);
    m_hitPointsBar = namedBar(QStringLiteral("HPPlay"), screen);
    m_hitPointsBar->setAccessibleName(QStringLiteral("Hit points"));
    label8->setBuddy(m_hitPointsBar);
    auto *label9 = namedLabel(QStringLiteral("Label9"), QStringLiteral("Exp:"), screen);
    m_experienceBar = namedBar(QStringLiteral("ProgressBar4"), screen);
    m_experienceBar->setAccessibleName(QStringLiteral("Experience"));
    label9->setBuddy(m_experienceBar);
    auto *stats = new QGridLayout;
    stats->setHorizontalSpacing(6);
    stats->setVerticalSpacing(4);
    stats->addWidget(label8, 0, 0);
    stats->addWidget(m_hitPointsBar, 0, 1);
    stats->addWidget(label9, 1, 0);
    stats->addWidget(m_experienceBar, 1, 1);
    stats->setColumnStretch(1, 1);
    return stats;
}

QLayout *FrmGame::buildInventoryButtons(QWidget *screen)
{
    m_inventoryPicture = new PictureButton(QStringLiteral("Picture3"), QString::fromLatin1(art::kInventory), QSize(44, 44));
    m_inventoryPicture->setAccessibleName(QStringLiteral("Inventory"));
    m_inventoryButton = new QPushButton(QStringLiteral("Inventory"), screen);
    m_inventoryButton->setObjectName(QStringLiteral("Command6"));
    auto *inventoryRow = new QHBoxLayout;
    inventoryRow->addWidget(holder(m_inventoryPicture, this, screen));
    inventoryRow->addWidget(m_inventoryButton, 1);
    return inventoryRow;
}

// The four choices, and in their place at the end of a story its offer.
QWidget *FrmGame::buildChoices(QWidget *screen)
{
    auto *choices = new QFrame(screen);
    choices->setObjectName(QStringLiteral("choices"));
    auto *choiceLayout = new QVBoxLayout(choices);
    choiceLayout->setContentsMargins(10, 6, 10, 6);
    choiceLayout->setSpacing(3);
    for (int i = 0; i < 4; ++i) {
        auto *option = new ChoiceButton(QStringLiteral("Option%1").arg(i + 1), choices);
        choiceLayout->addWidget(option);
        connect(option, &QRadioButton::toggled, this, [this, i](bool checked) {
            if (checked && !m_refreshing)
                m_game.pages().selectOption(i);
        });
        m_options[i] = option;
    }
    choiceLayout->addWidget(buildEnding(choices));
    choiceLayout->addStretch(); // the offered choices stack from the top
    choices->setMinimumHeight(4 * 26 + 12);
    return choices;
}

// A page without choices ends the story: the choice area says so and offers
// a new start.
QWidget *FrmGame::buildEnding(QWidget *choices)
{
    m_ending = new QWidget(choices);
    m_ending->setObjectName(QStringLiteral("ending"));
    auto *endingLayout = new QHBoxLayout(m_ending);
    endingLayout->setContentsMargins(0, 0, 0, 0);
    m_endingText = new HeadingLabel(QStringLiteral("The story ends here."), m_ending);
    m_endingText->setObjectName(QStringLiteral("endingText"));
    endingLayout->addWidget(m_endingText);
    endingLayout->addStretch();
    auto endButton = [this](const char *name, const QString &caption, auto *part, auto slot) {
        auto *b = new QPushButton(caption, m_ending);
        b->setObjectName(QString::fromLatin1(name));
        connect(b, &QPushButton::clicked, part, slot);
        m_ending->layout()->addWidget(b);
        return b;
    };
    m_playAgain = endButton("PlayAgain", QStringLiteral("Play Again"), &m_game.questStart(), &QuestStart::clickPlayAgain);
    // Said with the button that takes the focus as the story ends.
    m_playAgain->setAccessibleDescription(m_endingText->text());
    endButton("EndingLoadGame", QStringLiteral("Load Game"), &m_game.savedGames(),
              &SavedGames::clickEndingLoadGame);
    endButton("EndingMenu", QStringLiteral("Menu"), &m_game.shell(), &Shell::clickEndingMenu);
    m_ending->hide();
    return m_ending;
}

// The two ways to confirm a choice: the full turn and the reduced step.
QLayout *FrmGame::buildConfirm(QWidget *screen)
{
    m_choosePicture = new PictureButton(QStringLiteral("Picture1"), QString::fromLatin1(art::kChoose), QSize(64, 64));
    m_choosePicture->setAccessibleName(QStringLiteral("Choose"));
    m_chooseButton = new QPushButton(QStringLiteral("Choose"), screen);
    m_chooseButton->setObjectName(QStringLiteral("Command1"));
    auto *confirm = new QVBoxLayout;
    confirm->addWidget(holder(m_choosePicture, this, screen), 0, Qt::AlignHCenter);
    confirm->addWidget(m_chooseButton);
    confirm->addStretch();
    return confirm;
}

// The panels over the screen, in stacking order.
void FrmGame::buildPanels(QWidget *screen)
{
    m_movBox = new MoviePanel(screen);
    connect(m_movBox, &MoviePanel::movieCreated, this, &FrmGame::movieWidgetCreated);
    m_battleBox = new BattleBox(m_game, screen);
    m_characterPanel = new CharacterPanel(m_game, screen);
    m_inventoryPanel = new InventoryPanel(m_game, screen);
    m_menuPanel = new MenuPanel(m_game, screen);
}

// The screen's buttons and the panels' requests of the window.
void FrmGame::connectScreen()
{
    connect(m_menuButton, &PictureButton::pointed, m_menuLabel, &QWidget::show);
    connect(m_menuButton, &PictureButton::clicked, &m_game.shell(), &Shell::clickMenu);
    connect(m_menuLabel, &ClickLabel::clicked, &m_game.shell(), &Shell::clickMenu);
    connect(m_chooseButton, &QPushButton::clicked, &m_game.pages(), &PageFlow::clickChoose);
    connect(m_choosePicture, &PictureButton::clicked, &m_game.pages(), &PageFlow::pressPlayTurn);
    connect(m_inventoryButton, &QPushButton::clicked, &m_game.shell(), &Shell::openInventory);
    connect(m_inventoryPicture, &PictureButton::clicked, &m_game.shell(), &Shell::pressInventory);
    connect(m_menuPanel, &MenuPanel::creditsRequested, this, &FrmGame::showCredits);
    connect(m_menuPanel, &MenuPanel::editorRequested, this, &FrmGame::editorRequested);
    connect(m_menuPanel, &MenuPanel::closeRequested, this, &FrmGame::requestClose);
}

QWidget *FrmGame::movieWidget() const
{
    return m_movBox->movie();
}

void FrmGame::refresh()
{
    m_refreshing = true;
    setWindowTitle(m_screen.view().title());
    refreshHeader();
    refreshChoices();
    const bool endingAppears = m_screen.isEnding() && !m_ending->isVisible();
    m_ending->setVisible(m_screen.isEnding());
    refreshMenus();
    refreshPanels();
    if (endingAppears) {
        QAccessibleEvent reached(m_endingText, QAccessible::Alert);
        QAccessible::updateAccessibility(&reached);
        if (!panelOpen())
            m_playAgain->setFocus(Qt::OtherFocusReason);
    }
    if (m_screen.view().battleBoxVisible() || m_screen.view().moviePanelVisible())
        placeOverlays(); // the box keeps clear of the newest story text, the movie covers the picture

    if (m_pagePicture->image().cacheKey() != m_screen.view().pagePicture().cacheKey())
        m_pagePicture->setImage(m_screen.view().pagePicture());
    showBar(m_hitPointsBar, m_screen.character().hitPoints());
    showBar(m_experienceBar, m_screen.character().experience());

    if (m_screen.view().heightTwips() > 0 && m_screen.view().heightTwips() != m_appliedHeightTwips)
        applyHeight();
    m_refreshing = false;
}

void FrmGame::refreshHeader()
{
    const GameState &state = m_screen.state();
    setTextIfChanged(m_questLabel, state.questFile());
    if (m_questLabel->toolTip() != state.questFile())
        m_questLabel->setToolTip(state.questFile());
    setTextIfChanged(m_pageLabel, state.page());
    setTextIfChanged(m_scoreLabel, state.score());
    setAccessibleNameIfChanged(m_pageLabel, QStringLiteral("Page ") + state.page());
    setAccessibleNameIfChanged(m_scoreLabel, QStringLiteral("Score ") + state.score());
    if (m_roomText->toPlainText() != state.room())
        m_roomText->setPlainText(state.room());
}

void FrmGame::refreshChoices()
{
    // During a fight the choices wait: only winning, losing or escaping ends it.
    const bool choosing = m_screen.choicesAvailable();
    for (int i = 0; i < 4; ++i) {
        ChoiceButton *button = m_options[i];
        const OptionButton &option = m_screen.state().option(i);
        button->setCaption(option.caption);
        button->setVisible(option.visible());
        button->setEnabled(choosing);
        if (button->isChecked() != option.selected) {
            if (option.selected) {
                button->setChecked(true);
            } else {
                // A radio button cannot be unchecked while it is exclusive.
                button->setAutoExclusive(false);
                button->setChecked(false);
                button->setAutoExclusive(true);
            }
        }
    }
    m_choosePicture->setEnabled(choosing);
    m_chooseButton->setEnabled(choosing);
}

void FrmGame::refreshMenus()
{
    const bool menus = m_screen.view().menusVisible();
    m_fileMenu->menuAction()->setVisible(menus);
    m_helpMenu->menuAction()->setVisible(menus);
    m_updateMenu->menuAction()->setVisible(menus);
    menuBar()->setVisible(menus);
}

// Shows and hides the panels over the screen; the focus follows each panel
// that opened or closed.
void FrmGame::refreshPanels()
{
    const ScreenView &view = m_screen.view();
    QWidget *focusBefore = QApplication::focusWidget();
    m_menuPanel->setVisible(view.menuPanelVisible());
    // The menu panel lies over the screen, outside its layout: the screen is
    // kept wide enough for the panel's row of buttons.
    m_central->setMinimumWidth(m_menuPanel->minimumSizeHint().width());
    m_battleBox->setVisible(view.battleBoxVisible());
    m_inventoryPanel->setVisible(view.inventoryPanelVisible());
    m_movBox->setVisible(view.moviePanelVisible());
    m_characterPanel->setVisible(view.characterPanelVisible());
    followPanel(m_menuPanel, view.menuPanelVisible(), nullptr, focusBefore);
    followPanel(m_battleBox, view.battleBoxVisible(), m_battleBox->attackButton(), focusBefore);
    followPanel(m_characterPanel, view.characterPanelVisible(), nullptr, focusBefore);
    followPanel(m_inventoryPanel, view.inventoryPanelVisible(), nullptr, focusBefore);
}

void FrmGame::applyHeight()
{
    // The height in twips is the whole window's, frame included; the frame is
    // known once the window is shown, so it is applied again then.
    m_appliedHeightTwips = m_screen.view().heightTwips();
    m_heightNeedsFrame = !isVisible();
    const int frame = isVisible() ? frameGeometry().height() - geometry().height() : 0;
    // The height was the original form's, whose screen was laid out more
    // tightly: it never makes the window smaller than its normal size.
    resize(width(), std::max({minimumSizeHint().height(), twipsToPixelsY(this, m_appliedHeightTwips) - frame,
                              normalSize(this).height()}));
}

void FrmGame::showEvent(QShowEvent *event)
{
    QMainWindow::showEvent(event);
    if (m_heightNeedsFrame)
        applyHeight();
}

void FrmGame::changeEvent(QEvent *event)
{
    QMainWindow::changeEvent(event);
    // A window that becomes active with nothing focused gives the focus to
    // the open panel (the menu panel at start).
    if (event->type() == QEvent::ActivationChange && isActiveWindow())
        QTimer::singleShot(0, this, [this] {
            if (isActiveWindow() && !QApplication::focusWidget()) {
                m_panelFocus.clear();
                refresh();
            }
        });
}

void FrmGame::appendLog(const QString &added)
{
    // Insert at the end of the document; the log is never copied or reset,
    // so a long game costs the same per turn as a short one.
    QString text = added;
    // A CR LF split over two additions is still one line break.
    if (m_logEndsWithCr && text.startsWith(QLatin1Char('\n')))
        text.remove(0, 1);
    if (!added.isEmpty())
        m_logEndsWithCr = added.endsWith(QLatin1Char('\r'));
    QTextCursor cursor(m_storyLog->document());
    cursor.movePosition(QTextCursor::End);
    cursor.insertText(asPlain(text));
    scrollLogToEnd();
}

void FrmGame::scrollLogToEnd()
{
    QTextCursor end = m_storyLog->textCursor();
    end.movePosition(QTextCursor::End);
    m_storyLog->setTextCursor(end);
    m_storyLog->ensureCursorVisible();
    m_storyLog->verticalScrollBar()->setValue(m_storyLog->verticalScrollBar()->maximum());
}

void FrmGame::placeOverlays()
{
    const QRect area = m_central->rect();
    auto centred = [&area](QWidget *panel, int w, int h) {
        QRect r(0, 0, qMin(w, area.width() - 24), qMin(h, area.height() - 24));
        r.moveCenter(area.center());
        panel->setGeometry(r);
    };
    m_menuPanel->setGeometry(area);
    centred(m_inventoryPanel, 280, 340);
    centred(m_characterPanel, 380, m_characterPanel->sizeHint().height());
    // The movie plays over the picture frame.
    m_movBox->setGeometry(QRect(m_pagePicture->mapTo(m_central, QPoint()), m_pagePicture->size()));

    // The battle box keeps clear of the newest lines of the story log: below
    // them when there is room, else above them, else over the choices, which
    // wait while the fight goes on.
    const QRect log(m_storyLog->mapTo(m_central, QPoint()), m_storyLog->size());
    QTextCursor end(m_storyLog->document());
    end.movePosition(QTextCursor::End);
    const QPoint viewport = m_storyLog->viewport()->mapTo(m_central, QPoint());
    const int lastLine = qBound(log.top(), m_storyLog->cursorRect(end).bottom() + viewport.y(), log.bottom());
    const int reserve = m_storyLog->fontMetrics().lineSpacing() * 4 + 12;
    const int needed = m_battleBox->minimumSizeHint().height();
    const int width = qMin(640, area.width() - 24);
    QRect box(0, 0, width, qMin(360, area.bottom() - 6 - (lastLine + 8)));
    box.moveTopRight(QPoint(area.right() - 12, lastLine + 8));
    if (box.height() < needed) {
        box = QRect(0, 0, width, qMin(360, lastLine - reserve - log.top()));
        box.moveTopRight(QPoint(area.right() - 12, log.top()));
    }
    if (box.height() < needed) {
        box = QRect(0, 0, width, qMin(qMax(needed, 200), area.bottom() - log.bottom() - 6));
        box.moveBottomRight(QPoint(area.right() - 12, area.bottom() - 6));
        if (box.height() < needed) {
            box.setHeight(qMin(needed, area.height() - 12));
            box.moveBottom(area.bottom() - 6);
        }
    }
    m_battleBox->setGeometry(box);
}

bool FrmGame::panelOpen() const
{
    return m_screen.view().menuPanelVisible() || m_screen.view().battleBoxVisible() || m_screen.view().characterPanelVisible()
           || m_screen.view().inventoryPanelVisible();
}

QWidget *FrmGame::trappingPanel() const
{
    if (m_screen.view().menuPanelVisible())
        return m_menuPanel;
    if (m_screen.view().inventoryPanelVisible())
        return m_inventoryPanel;
    if (m_screen.view().characterPanelVisible())
        return m_characterPanel;
    if (m_screen.view().battleBoxVisible())
        return m_battleBox;
    return nullptr;
}

bool FrmGame::focusNextPrevChild(bool next)
{
    QWidget *panel = trappingPanel();
    if (!panel || !panel->isVisible())
        return QMainWindow::focusNextPrevChild(next);
    // The panel's controls that Tab reaches, in the window's tab order.
    QList<QWidget *> stops;
    for (QWidget *w = panel->nextInFocusChain(); w && w != panel && stops.size() < 1000; w = w->nextInFocusChain())
        if (panel->isAncestorOf(w) && w->isVisible() && w->isEnabled() && (w->focusPolicy() & Qt::TabFocus)
            && !w->focusProxy() && !stops.contains(w))
            stops << w;
    if (stops.isEmpty())
        return true; // nothing to go to, and nothing outside the panel either
    const qsizetype at = stops.indexOf(QApplication::focusWidget());
    const qsizetype n = stops.size();
    const qsizetype to = at < 0 ? (next ? 0 : n - 1) : (at + (next ? 1 : n - 1)) % n;
    stops[to]->setFocus(next ? Qt::TabFocusReason : Qt::BacktabFocusReason);
    return true;
}

QWidget *FrmGame::choiceFocus() const
{
    for (ChoiceButton *option : m_options)
        if (option->isVisible() && option->isEnabled())
            return option;
    if (m_ending->isVisible())
        return m_playAgain;
    return m_storyLog;
}

void FrmGame::followPanel(QWidget *panel, bool visible, QWidget *first, QWidget *focus)
{
    PanelFocus &f = m_panelFocus[panel];
    if (f.open == visible)
        return;
    f.open = visible;
    if (!visible && panel == m_battleBox && !panelOpen()) {
        // The box closed: the focus goes to the choices (battleLeft puts it on
        // the one the new page offers first).
        f.returnTo = nullptr;
        if (QWidget *choice = choiceFocus(); choice->isVisible())
            choice->setFocus(Qt::OtherFocusReason);
        return;
    }
    const bool focusInside = focus && panel->isAncestorOf(focus);
    if (visible) {
        if (!focusInside)
            f.returnTo = focus;
        if (!first) {
            // The first control of the panel that Tab reaches.
            for (QWidget *w : panel->findChildren<QWidget *>())
                if (w->isVisibleTo(panel) && w->isEnabled() && (w->focusPolicy() & Qt::TabFocus)) {
                    first = w;
                    break;
                }
        }
        if (first)
            first->setFocus(Qt::OtherFocusReason);
        return;
    }
    if (!focusInside && focus && focus != this && focus->isVisible() && !panel->isAncestorOf(focus))
        return; // the player has gone elsewhere already
    QWidget *back = f.returnTo;
    f.returnTo = nullptr;
    if (!back || !back->isVisible() || !back->isEnabled())
        back = m_screen.isEnding() ? static_cast<QWidget *>(m_playAgain) : m_storyLog;
    if (back->isVisible())
        back->setFocus(Qt::OtherFocusReason);
}

void FrmGame::buildKeys()
{
    auto key = [this](QKeySequence sequence, auto action) {
        auto *shortcut = new QShortcut(sequence, this);
        shortcut->setContext(Qt::WindowShortcut);
        connect(shortcut, &QShortcut::activated, this, action);
        return shortcut;
    };
    for (int i = 0; i < 4; ++i) {
        key(QKeySequence(Qt::Key_1 + i), [this, i] { selectByKey(i); });
        key(QKeySequence(Qt::KeypadModifier | (Qt::Key_1 + i)), [this, i] { selectByKey(i); });
    }
    key(QKeySequence(Qt::Key_Return), &FrmGame::pressEnter);
    key(QKeySequence(Qt::Key_Enter), &FrmGame::pressEnter);
    key(QKeySequence(Qt::KeypadModifier | Qt::Key_Enter), &FrmGame::pressEnter);
    key(QKeySequence(Qt::Key_Escape), &FrmGame::pressEscape);
}

void FrmGame::selectByKey(int i)
{
    if (panelOpen() || !m_screen.choicesAvailable() || !m_screen.state().option(i).visible())
        return;
    m_game.pages().selectOption(i);
    m_options[i]->setFocus(Qt::ShortcutFocusReason);
}

// Enter presses the button that has the focus; on the character panel it
// creates; elsewhere on the game screen it takes the full turn (Picture1).
void FrmGame::pressEnter()
{
    QWidget *focus = QApplication::focusWidget();
    auto *button = qobject_cast<QAbstractButton *>(focus);
    if (button && !qobject_cast<QRadioButton *>(button) && button->isEnabled() && button->isVisible()) {
        button->click();
        return;
    }
    if (m_screen.view().characterPanelVisible()) {
        m_characterPanel->createButton()->click();
        return;
    }
    if (panelOpen() || !m_choosePicture->isEnabled())
        return;
    m_choosePicture->click();
}

void FrmGame::pressEscape()
{
    if (m_screen.view().inventoryPanelVisible())
        m_game.shell().closeInventory();
    else if (m_screen.view().characterPanelVisible())
        m_game.fight().closeCharacterPanel();
    else if (m_screen.view().menuPanelVisible())
        m_game.shell().clickResume();
    else
        m_game.shell().clickMenu();
}

void FrmGame::movePictureButton(PressedButton which, bool pressed)
{
    QWidget *button = which == PressedButton::Choose ? m_choosePicture : m_inventoryPicture;
    const QPoint step(twipsToPixelsX(this, 50), twipsToPixelsY(this, 50));
    button->move(button->pos() + (pressed ? step : -step));
}

void FrmGame::resizeEvent(QResizeEvent *event)
{
    QMainWindow::resizeEvent(event);
    scrollLogToEnd();
}

bool FrmGame::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_central && event->type() == QEvent::Resize)
        placeOverlays();
    // Pointing at the bare screen or at the story log hides the "Menu" label.
    if (event->type() == QEvent::MouseMove && (watched == m_central || watched == m_storyLog->viewport()))
        m_menuLabel->hide();
    return QMainWindow::eventFilter(watched, event);
}

FrmCredits *FrmGame::credits()
{
    if (!m_credits)
        m_credits = new FrmCredits(this);
    return m_credits;
}

void FrmGame::showCredits()
{
    FrmCredits *form = credits();
    // Centred over the game screen.
    QRect r = form->frameGeometry();
    r.moveCenter(frameGeometry().center());
    form->move(r.topLeft());
    form->show();
    form->raise();
}

void FrmGame::requestClose()
{
    // Ends the program through quitRequested when the request is granted.
    m_game.shell().closeRequest();
}

void FrmGame::quit()
{
    m_quitting = true;
    if (m_credits)
        m_credits->hide();
    // Queued: the request may come from inside a close event, which cannot
    // close the window again itself.
    QTimer::singleShot(0, this, &QWidget::close);
}

void FrmGame::closeEvent(QCloseEvent *event)
{
    if (m_quitting) {
        event->accept();
        return;
    }
    // The platform's close is cancelled first; the game decides.
    event->ignore();
    requestClose();
}

} // namespace fc
