#include "editor/ui/createquest.h"

#include "editor/editor.h"
#include "editor/ui/checkpanel.h"
#include "editor/ui/editorstyle.h"
#include "editor/story_stats.h"
#include "editor/ui/findpanel.h"
#include "editor/ui/formbinding.h"
#include "editor/ui/storymapdock.h"
#include "engine/ui/artwork.h"

#include <QAction>
#include <QCloseEvent>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QStatusBar>
#include <QVBoxLayout>

namespace fc {

namespace {

const char *const kNumberWords[] = {"One", "Two", "Three", "Four"};

QString nm(const char *prefix, int n)
{
    return QString::fromLatin1(prefix) + QString::number(n);
}

// A parchment panel without a title.
QGroupBox *panel(QWidget *parent)
{
    auto *box = new QGroupBox(parent);
    box->setFlat(false);
    return box;
}

QLabel *columnHead(const QString &text, QWidget *parent)
{
    auto *label = new QLabel(text, parent);
    label->setProperty("columnHead", true);
    return label;
}

} // namespace

CreateQuest::CreateQuest(Editor &editor, QWidget *parent)
    : QMainWindow(parent)
    , m_editor(editor)
{
    setObjectName(QString::fromLatin1(kCreateQuest));
    setWindowIcon(art::windowIcon());
    setWindowTitle(editor.state().createquest().caption());
    buildMenus();
    setCentralWidget(buildContent());
    buildCheckPanel();
    buildViewMenu();
    buildStatusLine();
    resize(1060, 720);
    m_binding->refreshAll();
    connect(m_binding, &FormBinding::formChanged, this, &CreateQuest::followState);
    connect(m_binding, &FormBinding::buttonClicked, this, [this](const QString &name) {
        if (name == QLatin1String("Command7"))
            Q_EMIT battleButtonClicked();
        else if (name == QLatin1String("Command8"))
            Q_EMIT characterButtonClicked();
    });
    followState();
}

CreateQuest::~CreateQuest() = default;

// "Check Quest" (F7) checks the working copy and lists the findings in a
// panel beside the form.
void CreateQuest::buildCheckPanel()
{
    m_checkPanel = new CheckPanel(m_editor, this);
    addDockWidget(Qt::RightDockWidgetArea, m_checkPanel);
    m_checkPanel->hide();
    QAction *check = menuBar()->addAction(tr("Check Quest"));
    check->setObjectName(QStringLiteral("mnucheck"));
    check->setShortcut(Qt::Key_F7);
    check->setToolTip(tr("Check the quest for broken links, unreachable pages and soft locks (F7)"));
    connect(check, &QAction::triggered, m_checkPanel, &CheckPanel::checkQuest);
}

// "View": the story map, find, go to page and links here.
void CreateQuest::buildViewMenu()
{
    QMenu *view = menuBar()->addMenu(tr("View"));
    view->setObjectName(QStringLiteral("mnuview"));
    StoryMapDock *map = installStoryMap(*this, *view, m_editor, m_checkPanel);
    m_findPanel = installFindPanels(*this, *view, m_editor, *m_binding, map);
}

// The status line: pages, words, choices, endings and findings, kept up to
// date from the document's change notices and the check panel's results.
void CreateQuest::buildStatusLine()
{
    auto *stats = new story::StoryStatistics(m_editor.document(), this);
    auto *label = new QLabel(statusBar());
    label->setObjectName(QStringLiteral("lblStats"));
    label->setAccessibleName(tr("Quest statistics"));
    label->setFocusPolicy(Qt::TabFocus);
    label->setTextInteractionFlags(Qt::TextSelectableByKeyboard | Qt::TextSelectableByMouse);
    statusBar()->addPermanentWidget(label);
    auto show = [label, stats] {
        label->setText(stats->text());
        label->setAccessibleDescription(stats->text());
    };
    connect(stats, &story::StoryStatistics::changed, label, show);
    connect(m_checkPanel, &CheckPanel::checked, stats,
            [this, stats] { stats->setFindings(int(m_checkPanel->lastReport().findings.size())); });
    show();
}

void CreateQuest::buildMenus()
{
    const FormState &form = m_editor.state().createquest();
    QHash<QString, QMenu *> menus;
    for (const Control &c : form.controls()) {
        if (c.kind != ControlKind::Menu)
            continue;
        const QString name = c.name;
        if (c.menu.isEmpty()) {
            // A top-level entry opens a menu when commands belong to it, else
            // it is a command of its own ("&Compile").
            bool hasCommands = false;
            for (const Control &other : form.controls())
                hasCommands = hasCommands || (other.kind == ControlKind::Menu && other.menu == name);
            if (hasCommands) {
                QMenu *menu = menuBar()->addMenu(c.text);
                menu->setObjectName(name);
                menus.insert(name, menu);
                continue;
            }
            if (name == QLatin1String("mnucompile")) {
                // "&Compile" opens a menu: the game folder or a web page.
                QMenu *menu = menuBar()->addMenu(c.text);
                menu->setObjectName(QStringLiteral("mnucompilemenu"));
                QAction *compile = menu->addAction(tr("&Compile Game\u2026"));
                compile->setObjectName(name);
                connect(compile, &QAction::triggered, this, [this, name] { m_editor.menu(name); });
                QAction *web = menu->addAction(tr("Export for &Web\u2026"));
                web->setObjectName(QStringLiteral("mnuexportweb"));
                connect(web, &QAction::triggered, this, [this] { m_editor.menuExportWeb(); });
                continue;
            }
            QAction *action = menuBar()->addAction(c.text);
            action->setObjectName(name);
            connect(action, &QAction::triggered, this, [this, name] { m_editor.menu(name); });
            continue;
        }
        QMenu *menu = menus.value(c.menu);
        if (!menu)
            continue;
        if (name == QLatin1String("mnuexit"))
            menu->addSeparator();
        QAction *action = menu->addAction(c.text);
        action->setObjectName(name);
        action->setEnabled(c.enabled);
        if (name == QLatin1String("mnusave"))
            action->setShortcut(QKeySequence::Save);
        else if (name == QLatin1String("mnuundo"))
            action->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Z));
        else if (name == QLatin1String("mnuredo"))
            action->setShortcuts({QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Z), QKeySequence(Qt::CTRL | Qt::Key_Y)});
        connect(action, &QAction::triggered, this, [this, name] { m_editor.menu(name); });
        m_actions.insert(name, action);
    }
    // "Undo Typing in Page 3 Text": captions and enabled states follow the editor.
    connect(&m_editor.state(), &EditorState::controlChanged, this, [this](const QString &form, const QString &name) {
        QAction *action = form == QLatin1String(kCreateQuest) ? m_actions.value(name) : nullptr;
        if (!action)
            return;
        const Control &c = m_editor.state().ctl(form, name);
        action->setText(c.text);
        action->setEnabled(c.enabled);
    });
}

QWidget *CreateQuest::buildContent()
{
    auto *content = new QWidget(this);
    content->setObjectName(QStringLiteral("content"));
    markEditorForm(content);
    m_binding = new FormBinding(m_editor, QString::fromLatin1(kCreateQuest), content);
    FormBinding &b = *m_binding;
    auto w = [&b](const QString &name) { return b.widget(name); };
    auto W = [&b](const char *name) { return b.widget(QString::fromLatin1(name)); };

    // --- pages: the list, the page number to add, Add Page and Delete --------
    auto *pages = panel(content);
    pages->setObjectName(QStringLiteral("pagesPanel"));
    auto *pagesLayout = new QVBoxLayout(pages);
    pagesLayout->setContentsMargins(8, 8, 8, 8);
    pagesLayout->addWidget(columnHead(QStringLiteral("Pages"), pages));
    pagesLayout->addWidget(W("pg"), 1);
    auto *number = new QHBoxLayout;
    number->addWidget(W("Label1"));
    number->addWidget(W("Text13"), 1);
    pagesLayout->addLayout(number);
    auto *pageButtons = new QHBoxLayout;
    pageButtons->addWidget(W("Command1"));
    pageButtons->addWidget(W("Command2"));
    pagesLayout->addLayout(pageButtons);
    pages->setMinimumWidth(200);
    pages->setMaximumWidth(260);

    // --- the page: location and text -------------------------------------------
    auto *page = panel(content);
    page->setObjectName(QStringLiteral("pagePanel"));
    auto *pageGrid = new QGridLayout(page);
    pageGrid->setContentsMargins(10, 8, 10, 8);
    pageGrid->addWidget(W("Label5"), 0, 0);
    pageGrid->addWidget(W("Text19"), 0, 1);
    pageGrid->addWidget(W("Label2"), 1, 0, Qt::AlignTop);
    pageGrid->addWidget(W("Text1"), 1, 1);
    pageGrid->setColumnStretch(1, 1);
    pageGrid->setRowStretch(1, 1);
    W("Text1")->setMinimumHeight(90);

    // --- the four choices ----------------------------------------------------------
    auto *choices = panel(content);
    choices->setObjectName(QStringLiteral("choicesPanel"));
    auto *grid = new QGridLayout(choices);
    grid->setContentsMargins(10, 8, 10, 8);
    grid->setHorizontalSpacing(8);
    grid->setVerticalSpacing(5);
    grid->addWidget(W("Label3"), 0, 1);
    grid->addWidget(columnHead(QStringLiteral("Go to page"), choices), 0, 2);
    grid->addWidget(W("Label4"), 0, 3);
    grid->addWidget(W("Label7"), 0, 4);
    for (QWidget *head : {W("Label3"), W("Label4"), W("Label7")})
        head->setProperty("columnHead", true);
    for (int i = 1; i <= 4; ++i) {
        auto *n = new QLabel(QString::number(i) + QLatin1Char('.'), choices);
        grid->addWidget(n, i, 0);
        grid->addWidget(w(nm("Text", 1 + i)), i, 1);
        grid->addWidget(w(nm("Text", 5 + i)), i, 2);
        grid->addWidget(w(nm("Text", 18 - i)), i, 3);
        grid->addWidget(w(nm("Text", 20 + i)), i, 4);
        grid->addWidget(w(nm("Check", i)), i, 5);
        grid->addWidget(w(nm("Check", 4 + i)), i, 6);
        w(nm("Text", 5 + i))->setMaximumWidth(90);
        w(nm("Text", 18 - i))->setMaximumWidth(60);
    }
    grid->setColumnStretch(1, 5);
    grid->setColumnStretch(2, 1);
    grid->setColumnStretch(3, 1);
    grid->setColumnStretch(4, 3);
    auto *battleRow = new QHBoxLayout;
    battleRow->addWidget(W("Check9"));
    battleRow->addWidget(W("Command7"));
    battleRow->addSpacing(16);
    battleRow->addWidget(W("Command8"));
    battleRow->addStretch();
    grid->addLayout(battleRow, 5, 0, 1, 7);

    // --- media: picture, music, movie, sound ------------------------------------
    auto *media = panel(content);
    media->setObjectName(QStringLiteral("mediaPanel"));
    auto *mediaGrid = new QGridLayout(media);
    mediaGrid->setContentsMargins(10, 8, 10, 8);
    mediaGrid->setHorizontalSpacing(6);
    auto *clearMovie = new QPushButton(QStringLiteral("Clear"), media);
    clearMovie->setObjectName(QStringLiteral("Text25Clear"));
    clearMovie->setAccessibleName(QStringLiteral("Clear the movie"));
    auto *clearSound = new QPushButton(QStringLiteral("Clear"), media);
    clearSound->setObjectName(QStringLiteral("Text26Clear"));
    clearSound->setAccessibleName(QStringLiteral("Clear the sound"));
    for (QPushButton *clear : {clearMovie, clearSound})
        clear->setAutoDefault(false);
    connect(clearMovie, &QPushButton::clicked, this,
            [this] { m_editor.clearPickedFile(QString::fromLatin1(kCreateQuest), QStringLiteral("Text25")); });
    connect(clearSound, &QPushButton::clicked, this,
            [this] { m_editor.clearPickedFile(QString::fromLatin1(kCreateQuest), QStringLiteral("Text26")); });
    // The clear buttons follow their field: usable while it holds a path.
    auto followField = [this](QPushButton *clear, const QString &field) {
        auto update = [this, clear, field] {
            const Control &c = m_editor.state().ctl(QString::fromLatin1(kCreateQuest), field);
            clear->setEnabled(c.enabled && !c.text.isEmpty());
        };
        connect(&m_editor.state(), &EditorState::controlChanged, clear,
                [update, field](const QString &, const QString &name) {
                    if (name == field)
                        update();
                });
        update();
    };
    followField(clearMovie, QStringLiteral("Text25"));
    followField(clearSound, QStringLiteral("Text26"));

    // One row per medium: the fields line up and each kind of button keeps its
    // column, so long paths have room.
    auto mediaRow = [&](int row, int column, const char *label, const char *field, QList<QWidget *> buttons) {
        mediaGrid->addWidget(W(label), row, column);
        mediaGrid->addWidget(W(field), row, column + 1);
        for (int i = 0; i < buttons.size(); ++i)
            if (buttons[i])
                mediaGrid->addWidget(buttons[i], row, column + 2 + i);
    };
    mediaRow(0, 0, "Label6", "Text20", {W("Command6")});
    mediaRow(1, 0, "Label8", "Text18", {W("Command3"), nullptr, W("Command4"), W("Command5")});
    mediaRow(2, 0, "Label9", "Text25", {W("Command9"), clearMovie});
    mediaRow(3, 0, "Label10", "Text26", {W("Command10"), clearSound, W("Command11"), W("Command12")});
    mediaGrid->setColumnStretch(1, 1);
    mediaGrid->setVerticalSpacing(4);
    for (const char *small : {"Command3", "Command4", "Command5", "Command6", "Command9", "Command10", "Command11",
                              "Command12"})
        W(small)->setProperty("small", true);

    // --- the story: title, author, version; Test Game ------------------------------
    auto *story = panel(content);
    story->setObjectName(QStringLiteral("storyPanel"));
    auto *storyRow = new QHBoxLayout(story);
    storyRow->setContentsMargins(10, 8, 10, 8);
    storyRow->addWidget(W("Label11"));
    storyRow->addWidget(W("Text10"), 4);
    storyRow->addSpacing(8);
    storyRow->addWidget(W("Label12"));
    storyRow->addWidget(W("Text11"), 3);
    storyRow->addSpacing(8);
    storyRow->addWidget(W("Label13"));
    storyRow->addWidget(W("Text12"), 1);
    storyRow->addSpacing(12);
    storyRow->addWidget(W("Command13"));
    W("Command13")->setProperty("accent", true);

    // --- help line and quest file ----------------------------------------------------
    auto *status = new QHBoxLayout;
    status->addWidget(W("info"), 1);
    status->addWidget(W("filepath"));
    auto *info = b.get<QLabel>(QStringLiteral("info"));
    info->setWordWrap(true);
    info->setMinimumHeight(info->fontMetrics().height() * 2 + 10);
    b.get<QLabel>(QStringLiteral("filepath"))->setMaximumWidth(420);

    auto *right = new QVBoxLayout;
    right->setSpacing(8);
    right->addWidget(page, 3);
    right->addWidget(choices);
    right->addWidget(media);
    right->addWidget(story);

    auto *main = new QHBoxLayout;
    main->setSpacing(10);
    main->addWidget(pages);
    main->addLayout(right, 1);

    auto *outer = new QVBoxLayout(content);
    outer->setContentsMargins(10, 8, 10, 8);
    outer->setSpacing(8);
    // Above everything while the working copy cannot be written.
    auto *banner = b.get<QLabel>(QStringLiteral("banner"));
    banner->setWordWrap(true);
    banner->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    banner->setFocusPolicy(Qt::StrongFocus);
    banner->setStyleSheet(QStringLiteral("QLabel { background: #8b1a1a; color: white; font-weight: bold; "
                                         "padding: 6px; border-radius: 4px; }"));
    outer->addWidget(banner);
    outer->addLayout(main, 1);
    outer->addLayout(status);

    // --- names for assistive tools, buddies, keyboard order ------------------------
    b.name("pg", QStringLiteral("Pages"));
    b.name("Text13", QStringLiteral("Page number to add"));
    b.label("Label1", "Text13");
    b.name("Command2", QStringLiteral("Delete the selected page"));
    b.label("Label5", "Text19");
    b.label("Label2", "Text1");
    for (int i = 1; i <= 4; ++i) {
        const QString option = QStringLiteral("Option ") + QString::fromLatin1(kNumberWords[i - 1]);
        b.name(nm("Text", 1 + i), option);
        b.name(nm("Text", 5 + i), option + QStringLiteral(" destination page"));
        b.name(nm("Text", 18 - i), option + QStringLiteral(" score"));
        b.name(nm("Text", 20 + i), option + QStringLiteral(" key item"));
        b.name(nm("Check", i), option + QStringLiteral(": add the key item"));
        b.name(nm("Check", 4 + i), option + QStringLiteral(": key item required"));
    }
    b.name("Text20", QStringLiteral("Image"));
    b.name("Command6", QStringLiteral("Choose the image"));
    b.name("Text18", QStringLiteral("MIDI music"));
    b.name("Command3", QStringLiteral("Choose the MIDI music"));
    b.name("Command4", QStringLiteral("Play the MIDI music"));
    b.name("Command5", QStringLiteral("Stop the MIDI music"));
    b.name("Text25", QStringLiteral("Movie"));
    b.name("Command9", QStringLiteral("Choose the movie"));
    b.name("Text26", QStringLiteral("MP3 or WAV sound"));
    b.name("Command10", QStringLiteral("Choose the sound"));
    b.name("Command11", QStringLiteral("Play the sound"));
    b.name("Command12", QStringLiteral("Stop the sound"));
    b.label("Label6", "Text20");
    b.label("Label8", "Text18");
    b.label("Label9", "Text25");
    b.label("Label10", "Text26");
    b.label("Label11", "Text10");
    b.label("Label12", "Text11");
    b.label("Label13", "Text12");
    b.name("info", QStringLiteral("Help"));
    b.name("filepath", QStringLiteral("Quest file"));
    b.name("banner", QStringLiteral("Changes are not being saved"));
    for (const char *captioned : {"Command1", "Command7", "Command8", "Command13", "Check9"})
        if (W(captioned)->accessibleName().isEmpty())
            b.name(captioned, m_editor.state().text(QString::fromLatin1(kCreateQuest), QString::fromLatin1(captioned)));

    QStringList order{QStringLiteral("pg"), QStringLiteral("Text13"), QStringLiteral("Command1"),
                      QStringLiteral("Command2"), QStringLiteral("Text19"), QStringLiteral("Text1")};
    for (int i = 1; i <= 4; ++i)
        order << nm("Text", 1 + i) << nm("Text", 5 + i) << nm("Text", 18 - i) << nm("Text", 20 + i)
              << nm("Check", i) << nm("Check", 4 + i);
    order << QStringLiteral("Check9") << QStringLiteral("Command7") << QStringLiteral("Command8")
          << QStringLiteral("Text20") << QStringLiteral("Command6") << QStringLiteral("Text18")
          << QStringLiteral("Command3") << QStringLiteral("Command4") << QStringLiteral("Command5")
          << QStringLiteral("Text25") << QStringLiteral("Command9") << QStringLiteral("Text25Clear")
          << QStringLiteral("Text26") << QStringLiteral("Command10") << QStringLiteral("Text26Clear")
          << QStringLiteral("Command11") << QStringLiteral("Command12") << QStringLiteral("Text10")
          << QStringLiteral("Text11") << QStringLiteral("Text12") << QStringLiteral("Command13");
    // The clear buttons are no controls of the state: put them in by hand.
    QWidget *previous = nullptr;
    for (const QString &name : order) {
        QWidget *next = name == QLatin1String("Text25Clear")   ? clearMovie
                        : name == QLatin1String("Text26Clear") ? clearSound
                                                                : w(name);
        if (previous && next)
            QWidget::setTabOrder(previous, next);
        if (next)
            previous = next;
    }
    return content;
}

void CreateQuest::followState()
{
    const FormState &form = m_editor.state().createquest();
    setWindowTitle(form.caption());
    if (form.visible()) {
        if (!isVisible())
            show();
        raise();
        activateWindow();
    } else if (isVisible()) {
        hide();
    }
}

void CreateQuest::closeEvent(QCloseEvent *event)
{
    // The window is never closed by the platform: the editor decides, and at
    // most hides it.
    event->ignore();
    m_editor.closeRequest();
}

} // namespace fc
