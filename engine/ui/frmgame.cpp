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
    m_mnufile = menu("mnufile", QStringLiteral("&File"));
    add(m_mnufile, "mnunewgame", QStringLiteral("&New Game"), [this] { m_game.menuNewGame(); });
    add(m_mnufile, "mnucreatequest", QStringLiteral("&Create 'A' Quest"), [this] { Q_EMIT editorRequested(); });
    add(m_mnufile, "mnuloadquest", QStringLiteral("&Load A Quest File"), [this] { m_game.menuLoadQuest(); });
    add(m_mnufile, "mnuload", QStringLiteral("&Load Saved Game"), [this] { m_game.menuLoad(); });
    add(m_mnufile, "mnusave", QStringLiteral("&Save Current Game"), [this] { m_game.menuSave(); });
    m_mnufile->addSeparator();
    add(m_mnufile, "mnuexit", QStringLiteral("&Exit"), [this] { requestClose(); });
    m_mnuhelp = menu("mnuhelp", QStringLiteral("&Help"));
    add(m_mnuhelp, "mnuabout", QStringLiteral("&About"), [this] { m_game.menuAbout(); });
    add(m_mnuhelp, "mnucredits", QStringLiteral("&Credits"), [this] { showCredits(); });
    m_mnupdate = menu("mnupdate", QStringLiteral("&Update"));
    add(m_mnupdate, "mnuauto", QStringLiteral("&Run Auto-Update"), [this] { m_game.menuAutoUpdate(); });
    add(m_mnupdate, "mnunew", QStringLiteral("&What's New"), [this] { m_game.menuWhatsNew(); });
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

    // --- header: menu button, quest, page and score -------------------------
    m_menuButton = new PictureButton(QStringLiteral("Image4"), QString::fromLatin1(art::kMenu), QSize(34, 34), screen);
    m_menuButton->setAccessibleName(QStringLiteral("Menu"));
    m_menuLabel = new ClickLabel(QStringLiteral("Label16"), QStringLiteral("Menu"), screen);
    m_menuLabel->hide();
    m_questfil = namedLabel(QStringLiteral("questfil"), m_screen.questFile(), screen);
    m_questfil->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    m_pg = namedLabel(QStringLiteral("pg"), m_screen.pg(), screen);
    m_pg->setProperty("badge", true);
    m_pg->setAlignment(Qt::AlignCenter);
    m_pg->setFocusPolicy(Qt::TabFocus); // a screen reader user reaches page and score
    m_score = namedLabel(QStringLiteral("score"), m_screen.score(), screen);
    m_score->setFocusPolicy(Qt::TabFocus);
    m_score->setProperty("badge", true);
    m_score->setAlignment(Qt::AlignCenter);

    auto *header = new QHBoxLayout;
    header->setSpacing(8);
    header->addWidget(m_menuButton);
    header->addWidget(m_menuLabel);
    header->addSpacing(8);
    header->addWidget(m_questfil, 1);
    header->addWidget(captionLabel(QStringLiteral("PAGE"), screen));
    header->addWidget(m_pg);
    header->addSpacing(6);
    header->addWidget(captionLabel(QStringLiteral("SCORE"), screen));
    header->addWidget(m_score);

    // --- the story log and the page picture ---------------------------------
    m_text1 = new QPlainTextEdit(screen);
    m_text1->setObjectName(QStringLiteral("Text1"));
    m_text1->setReadOnly(true);
    m_text1->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    m_text1->setFocusPolicy(Qt::StrongFocus);
    m_text1->setTabChangesFocus(true);
    m_text1->setAccessibleName(QStringLiteral("Story"));
    m_text1->setUndoRedoEnabled(false);
    m_text1->setPlainText(asPlain(m_screen.log()));
    m_logEndsWithCr = m_screen.log().endsWith(QLatin1Char('\r'));
    m_text1->viewport()->setMouseTracking(true);
    m_text1->viewport()->installEventFilter(this);
    m_text1->setMinimumWidth(300);

    m_room = new QPlainTextEdit(screen); // kept for saving; not shown
    m_room->setObjectName(QStringLiteral("room"));
    m_room->setReadOnly(true);
    m_room->hide();

    m_image3 = new PictureView(QStringLiteral("Image3"), screen);

    auto *label8 = namedLabel(QStringLiteral("Label8"), QStringLiteral("HP:"), screen);
    m_hpPlay = namedBar(QStringLiteral("HPPlay"), screen);
    m_hpPlay->setAccessibleName(QStringLiteral("Hit points"));
    label8->setBuddy(m_hpPlay);
    auto *label9 = namedLabel(QStringLiteral("Label9"), QStringLiteral("Exp:"), screen);
    m_progressBar4 = namedBar(QStringLiteral("ProgressBar4"), screen);
    m_progressBar4->setAccessibleName(QStringLiteral("Experience"));
    label9->setBuddy(m_progressBar4);
    auto *stats = new QGridLayout;
    stats->setHorizontalSpacing(6);
    stats->setVerticalSpacing(4);
    stats->addWidget(label8, 0, 0);
    stats->addWidget(m_hpPlay, 0, 1);
    stats->addWidget(label9, 1, 0);
    stats->addWidget(m_progressBar4, 1, 1);
    stats->setColumnStretch(1, 1);

    m_picture3 = new PictureButton(QStringLiteral("Picture3"), QString::fromLatin1(art::kInventory), QSize(44, 44));
    m_picture3->setAccessibleName(QStringLiteral("Inventory"));
    m_command6 = new QPushButton(QStringLiteral("Inventory"), screen);
    m_command6->setObjectName(QStringLiteral("Command6"));
    auto *inventoryRow = new QHBoxLayout;
    inventoryRow->addWidget(holder(m_picture3, this, screen));
    inventoryRow->addWidget(m_command6, 1);

    auto *side = new QVBoxLayout;
    side->addWidget(m_image3, 1);
    side->addLayout(stats);
    side->addLayout(inventoryRow);

    auto *middle = new QHBoxLayout;
    middle->setSpacing(12);
    middle->addWidget(m_text1, 3);
    middle->addLayout(side, 2);

    // --- the four choices and the two ways to confirm -------------------------
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
                m_game.selectOption(i);
        });
        m_options[i] = option;
    }
    // A page without choices ends the story: the area says so and offers
    // a new start.
    m_ending = new QWidget(choices);
    m_ending->setObjectName(QStringLiteral("ending"));
    auto *endingLayout = new QHBoxLayout(m_ending);
    endingLayout->setContentsMargins(0, 0, 0, 0);
    m_endingText = new HeadingLabel(QStringLiteral("The story ends here."), m_ending);
    m_endingText->setObjectName(QStringLiteral("endingText"));
    endingLayout->addWidget(m_endingText);
    endingLayout->addStretch();
    auto endButton = [this](const char *name, const QString &caption, void (Game::*slot)()) {
        auto *b = new QPushButton(caption, m_ending);
        b->setObjectName(QString::fromLatin1(name));
        connect(b, &QPushButton::clicked, &m_game, slot);
        m_ending->layout()->addWidget(b);
        return b;
    };
    m_playAgain = endButton("PlayAgain", QStringLiteral("Play Again"), &Game::clickPlayAgain);
    // Said with the button that takes the focus as the story ends.
    m_playAgain->setAccessibleDescription(m_endingText->text());
    endButton("EndingLoadGame", QStringLiteral("Load Game"), &Game::clickEndingLoadGame);
    endButton("EndingMenu", QStringLiteral("Menu"), &Game::clickEndingMenu);
    m_ending->hide();
    choiceLayout->addWidget(m_ending);
    choiceLayout->addStretch(); // the offered choices stack from the top
    choices->setMinimumHeight(4 * 26 + 12);

    m_picture1 = new PictureButton(QStringLiteral("Picture1"), QString::fromLatin1(art::kChoose), QSize(64, 64));
    m_picture1->setAccessibleName(QStringLiteral("Choose"));
    m_command1 = new QPushButton(QStringLiteral("Choose"), screen);
    m_command1->setObjectName(QStringLiteral("Command1"));
    auto *confirm = new QVBoxLayout;
    confirm->addWidget(holder(m_picture1, this, screen), 0, Qt::AlignHCenter);
    confirm->addWidget(m_command1);
    confirm->addStretch();

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

    // --- panels over the screen, in stacking order ------------------------------
    m_movBox = new MoviePanel(screen);
    connect(m_movBox, &MoviePanel::movieCreated, this, &FrmGame::movieWidgetCreated);
    m_battleBox = new BattleBox(m_game, screen);
    m_charCreate = new CharacterPanel(m_game, screen);
    m_invBox = new InventoryPanel(m_game, screen);
    m_menuPanel = new MenuPanel(m_game, screen);

    connect(m_menuButton, &PictureButton::pointed, m_menuLabel, &QWidget::show);
    connect(m_menuButton, &PictureButton::clicked, &m_game, &Game::clickMenu);
    connect(m_menuLabel, &ClickLabel::clicked, &m_game, &Game::clickMenu);
    connect(m_command1, &QPushButton::clicked, &m_game, &Game::clickChoose);
    connect(m_picture1, &PictureButton::clicked, &m_game, &Game::pressPlayTurn);
    connect(m_command6, &QPushButton::clicked, &m_game, &Game::openInventory);
    connect(m_picture3, &PictureButton::clicked, &m_game, &Game::pressInventory);
    connect(m_menuPanel, &MenuPanel::creditsRequested, this, &FrmGame::showCredits);
    connect(m_menuPanel, &MenuPanel::editorRequested, this, &FrmGame::editorRequested);
    connect(m_menuPanel, &MenuPanel::closeRequested, this, &FrmGame::requestClose);

    // Tab follows the screen: header, story, side column, choices, confirm.
    QWidget *order[] = {m_menuButton, m_menuLabel, m_pg, m_score, m_text1, m_picture3, m_command6, m_options[0],
                        m_options[1], m_options[2], m_options[3], m_ending, m_picture1, m_command1};
    for (size_t i = 1; i < std::size(order); ++i)
        QWidget::setTabOrder(order[i - 1], order[i]);
    return screen;
}

QWidget *FrmGame::movieWidget() const
{
    return m_movBox->movie();
}

void FrmGame::refresh()
{
    m_refreshing = true;
    setWindowTitle(m_screen.title());
    setTextIfChanged(m_questfil, m_screen.questFile());
    if (m_questfil->toolTip() != m_screen.questFile())
        m_questfil->setToolTip(m_screen.questFile());
    setTextIfChanged(m_pg, m_screen.pg());
    setTextIfChanged(m_score, m_screen.score());
    setAccessibleNameIfChanged(m_pg, QStringLiteral("Page ") + m_screen.pg());
    setAccessibleNameIfChanged(m_score, QStringLiteral("Score ") + m_screen.score());
    if (m_room->toPlainText() != m_screen.room())
        m_room->setPlainText(m_screen.room());

    // During a fight the choices wait: only winning, losing or escaping ends it.
    const bool choosing = m_screen.choicesAvailable();
    for (int i = 0; i < 4; ++i) {
        ChoiceButton *button = m_options[i];
        const OptionButton &option = m_screen.option(i);
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

    m_picture1->setEnabled(choosing);
    m_command1->setEnabled(choosing);
    const bool ending = m_screen.isEnding();
    const bool endingAppears = ending && !m_ending->isVisible();
    m_ending->setVisible(ending);

    const bool menus = m_screen.menusVisible();
    m_mnufile->menuAction()->setVisible(menus);
    m_mnuhelp->menuAction()->setVisible(menus);
    m_mnupdate->menuAction()->setVisible(menus);
    menuBar()->setVisible(menus);

    QWidget *focusBefore = QApplication::focusWidget();
    m_menuPanel->setVisible(m_screen.menuPanelVisible());
    // The menu panel lies over the screen, outside its layout: the screen is
    // kept wide enough for the panel's row of buttons.
    m_central->setMinimumWidth(m_menuPanel->minimumSizeHint().width());
    m_battleBox->setVisible(m_screen.battleBoxVisible());
    m_invBox->setVisible(m_screen.inventoryPanelVisible());
    m_movBox->setVisible(m_screen.moviePanelVisible());
    m_charCreate->setVisible(m_screen.characterPanelVisible());
    followPanel(m_menuPanel, m_screen.menuPanelVisible(), nullptr, focusBefore);
    followPanel(m_battleBox, m_screen.battleBoxVisible(), m_battleBox->findChild<QWidget *>(QStringLiteral("Command3")),
                focusBefore);
    followPanel(m_charCreate, m_screen.characterPanelVisible(), nullptr, focusBefore);
    followPanel(m_invBox, m_screen.inventoryPanelVisible(), nullptr, focusBefore);
    if (endingAppears) {
        QAccessibleEvent reached(m_endingText, QAccessible::Alert);
        QAccessible::updateAccessibility(&reached);
        if (!panelOpen())
            m_playAgain->setFocus(Qt::OtherFocusReason);
    }
    if (m_screen.battleBoxVisible() || m_screen.moviePanelVisible())
        placeOverlays(); // the box keeps clear of the newest story text, the movie covers the picture

    if (m_image3->image().cacheKey() != m_screen.pagePicture().cacheKey())
        m_image3->setImage(m_screen.pagePicture());
    showBar(m_hpPlay, m_screen.characterHp());
    showBar(m_progressBar4, m_screen.experienceBar());

    if (m_screen.heightTwips() > 0 && m_screen.heightTwips() != m_appliedHeightTwips)
        applyHeight();
    m_refreshing = false;
}

void FrmGame::applyHeight()
{
    // The height in twips is the whole window's, frame included; the frame is
    // known once the window is shown, so it is applied again then.
    m_appliedHeightTwips = m_screen.heightTwips();
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
    QTextCursor cursor(m_text1->document());
    cursor.movePosition(QTextCursor::End);
    cursor.insertText(asPlain(text));
    scrollLogToEnd();
}

void FrmGame::scrollLogToEnd()
{
    QTextCursor end = m_text1->textCursor();
    end.movePosition(QTextCursor::End);
    m_text1->setTextCursor(end);
    m_text1->ensureCursorVisible();
    m_text1->verticalScrollBar()->setValue(m_text1->verticalScrollBar()->maximum());
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
    centred(m_invBox, 280, 340);
    centred(m_charCreate, 380, m_charCreate->sizeHint().height());
    // The movie plays over the picture frame.
    m_movBox->setGeometry(QRect(m_image3->mapTo(m_central, QPoint()), m_image3->size()));

    // The battle box keeps clear of the newest lines of the story log: below
    // them when there is room, else above them, else over the choices, which
    // wait while the fight goes on.
    const QRect log(m_text1->mapTo(m_central, QPoint()), m_text1->size());
    QTextCursor end(m_text1->document());
    end.movePosition(QTextCursor::End);
    const QPoint viewport = m_text1->viewport()->mapTo(m_central, QPoint());
    const int lastLine = qBound(log.top(), m_text1->cursorRect(end).bottom() + viewport.y(), log.bottom());
    const int reserve = m_text1->fontMetrics().lineSpacing() * 4 + 12;
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
    return m_screen.menuPanelVisible() || m_screen.battleBoxVisible() || m_screen.characterPanelVisible()
           || m_screen.inventoryPanelVisible();
}

QWidget *FrmGame::trappingPanel() const
{
    if (m_screen.menuPanelVisible())
        return m_menuPanel;
    if (m_screen.inventoryPanelVisible())
        return m_invBox;
    if (m_screen.characterPanelVisible())
        return m_charCreate;
    if (m_screen.battleBoxVisible())
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
    return m_text1;
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
        back = m_screen.isEnding() ? static_cast<QWidget *>(m_playAgain) : m_text1;
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
    if (panelOpen() || !m_screen.choicesAvailable() || !m_screen.option(i).visible())
        return;
    m_game.selectOption(i);
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
    if (m_screen.characterPanelVisible()) {
        if (auto *create = m_charCreate->findChild<QPushButton *>(QStringLiteral("Command9")))
            create->click();
        return;
    }
    if (panelOpen() || !m_picture1->isEnabled())
        return;
    m_picture1->click();
}

void FrmGame::pressEscape()
{
    if (m_screen.inventoryPanelVisible())
        m_game.closeInventory();
    else if (m_screen.characterPanelVisible())
        m_game.closeCharacterPanel();
    else if (m_screen.menuPanelVisible())
        m_game.clickResume();
    else
        m_game.clickMenu();
}

void FrmGame::movePictureButton(PressedButton which, bool pressed)
{
    QWidget *button = which == PressedButton::Choose ? m_picture1 : m_picture3;
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
    if (event->type() == QEvent::MouseMove && (watched == m_central || watched == m_text1->viewport()))
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
    m_game.closeRequest();
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
