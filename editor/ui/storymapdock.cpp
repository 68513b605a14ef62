#include "editor/ui/storymapdock.h"

#include "editor/editor.h"
#include "editor/story_find.h"
#include "editor/story_graph.h"
#include "editor/story_layout.h"
#include "editor/ui/checkpanel.h"
#include "editor/ui/storymap.h"

#include <QAction>
#include <QEvent>
#include <QMainWindow>
#include <QMenu>
#include <QTimer>

namespace fc {

StoryMapDock::StoryMapDock(Editor &editor, CheckPanel *checks, QWidget *parent)
    : QDockWidget(tr("Story Map"), parent)
    , m_editor(editor)
    , m_checks(checks)
{
    setObjectName(QStringLiteral("StoryMapDock"));
    m_panel = new StoryMapPanel(this);
    setWidget(m_panel);
    setFocusProxy(m_panel->map());
    m_redraw = new QTimer(this);
    m_redraw->setSingleShot(true);
    m_redraw->setInterval(0);
    connect(m_redraw, &QTimer::timeout, this, &StoryMapDock::refresh);

    // The map follows the document's change notices.
    const QuestDocument &doc = editor.document();
    connect(&doc, &QuestDocument::valueChanged, this, [this](const QString &section, const QString &key) {
        if (story::isStoryGraphKey(key))
            pageChanged(section);
    });
    connect(&doc, &QuestDocument::sectionChanged, this, &StoryMapDock::pageChanged);
    connect(&doc, &QuestDocument::pageAdded, this, [this](const QString &name) { pageChanged(name); });
    connect(&doc, &QuestDocument::pageRemoved, this, [this](const QString &name) {
        if (!m_drawn || m_redraw->isActive())
            return;
        if (m_editor.document().pageIndex(name) < 0)
            m_panel->map()->removePage(name);
        else
            pageChanged(name); // listed again under another spelling
    });
    connect(&doc, &QuestDocument::reset, this, &StoryMapDock::redrawLater);

    EditorState &state = editor.state();
    const QString form = QString::fromLatin1(kCreateQuest);
    connect(&state, &EditorState::controlChanged, this, [this, form](const QString &f, const QString &name) {
        if (f != form)
            return;
        if (m_checks && name == QLatin1String("filepath")) {
            // A Load or "&New": the old findings are of another quest.
            m_checks->clear();
            if (m_checks->isVisible())
                m_checks->scheduleCheck();
        } else if (m_checks && m_checks->isVisible()) {
            m_checks->scheduleCheck();
        }
        // Another quest file: its own side file holds the moved cards.
        if (name == QLatin1String("filepath") && m_drawn) {
            const QString quest = m_editor.questFile();
            if ((quest.isEmpty() ? QString() : story::sideFilePath(quest)) != m_panel->map()->sideFile())
                redrawLater();
        }
    });
    connect(&state, &EditorState::pageListChanged, this, &StoryMapDock::followForm);
    StoryMap *map = m_panel->map();
    connect(map, &StoryMap::currentPageChanged, this, [this](const QString &page) {
        if (m_syncing || page.isEmpty() || page == m_editor.state().currentPage())
            return;
        m_syncing = true;
        m_editor.selectEntry(page);
        m_syncing = false;
    });
    connect(map, &StoryMap::pageActivated, this, [this](const QString &page) {
        m_editor.selectEntry(page);
        Q_EMIT pageOpened();
    });
    // A link dragged from a card's choice handle onto another card: the
    // editor fills a free choice (or tells the author the page has four).
    connect(map, &StoryMap::linkRequested, this, [this](const QString &from, const QString &to) {
        m_editor.linkChoice(from, to); // the document's notices bring the link to the map
    });
    if (m_checks)
        connect(m_checks, &CheckPanel::checked, this, &StoryMapDock::showFindings);
    connect(this, &QDockWidget::visibilityChanged, this, [this](bool visible) {
        if (visible && !m_drawn)
            refresh();
    });
}

StoryMap *StoryMapDock::map() const
{
    return m_panel->map();
}

void StoryMapDock::redrawLater()
{
    if (!m_drawn)
        return;
    if (isVisible())
        m_redraw->start();
    else
        m_drawn = false; // drawn when shown again
}

void StoryMapDock::pageChanged(const QString &section)
{
    // Not drawn yet, or about to be drawn anew: nothing to keep up to date.
    if (!m_drawn || m_redraw->isActive())
        return;
    const QuestDocument &doc = m_editor.document();
    const int listed = doc.pageIndex(section);
    if (listed < 0)
        return; // no page: the story info, the quest data
    if (m_burst++ == 0)
        QTimer::singleShot(0, this, [this] { m_burst = 0; });
    if (m_burst > kBurst) {
        redrawLater();
        return;
    }
    m_panel->map()->updatePage(story::storyPageOf(doc, doc.pages().at(listed)));
}

void StoryMapDock::refresh()
{
    m_redraw->stop();
    // Every listed page gets its card, written or not.
    const QList<story::StoryPageInput> pages = story::storyPagesOf(m_editor.document());
    const QString quest = m_editor.questFile();
    StoryMap *map = m_panel->map();
    const bool keepView = m_drawn;
    const double zoom = map->zoom();
    const QPointF origin = map->origin();
    m_syncing = true;
    map->setStory(story::buildStoryGraph(pages), quest.isEmpty() ? QString() : story::sideFilePath(quest));
    if (keepView) {
        map->setZoom(zoom);
        map->setOrigin(origin);
    }
    m_syncing = false;
    m_drawn = true;
    showFindings();
    followForm();
}

void StoryMapDock::followForm()
{
    const QString page = m_editor.state().currentPage();
    StoryMap *map = m_panel->map();
    if (m_syncing || page.isEmpty() || page == map->currentPageName())
        return;
    m_syncing = true;
    map->setCurrentPageName(page);
    m_syncing = false;
}

void StoryMapDock::showFindings()
{
    if (!m_checks)
        return;
    QHash<QString, QList<StoryMapFinding>> byPage;
    for (const check::Finding &f : m_checks->lastReport().findings)
        if (!f.page.isEmpty())
            byPage[f.page].append({f.kind, f.message});
    m_panel->map()->setFindings(byPage);
}

namespace {

// Keeps a widget at least as wide as it asks to be, as its contents and
// style settle: docks beside it then take their room from the window.
class KeepWidth : public QObject
{
public:
    using QObject::QObject;
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        const QEvent::Type t = event->type();
        if (t == QEvent::Show || t == QEvent::LayoutRequest || t == QEvent::StyleChange || t == QEvent::FontChange) {
            auto *w = static_cast<QWidget *>(watched);
            const int width = w->sizeHint().width();
            if (w->minimumWidth() != width)
                w->setMinimumWidth(width);
        }
        return false;
    }
};

} // namespace

StoryMapDock *installStoryMap(QMainWindow &window, QMenu &view, Editor &editor, CheckPanel *checks)
{
    // Docks take their room from the window, never from the form's fields.
    if (QWidget *content = window.centralWidget()) {
        content->installEventFilter(new KeepWidth(content));
        content->setMinimumWidth(content->sizeHint().width());
    }
    auto *dock = new StoryMapDock(editor, checks, &window);
    window.addDockWidget(Qt::BottomDockWidgetArea, dock);
    dock->hide();
    QAction *show = dock->toggleViewAction();
    show->setText(QObject::tr("Story Map"));
    show->setObjectName(QStringLiteral("mnustorymap"));
    show->setShortcut(Qt::Key_F6);
    show->setToolTip(QObject::tr("Show the map of pages and links (F6)"));
    view.addAction(show);
    QObject::connect(show, &QAction::triggered, dock, [dock](bool on) {
        if (on) {
            dock->raise();
            dock->map()->setFocus(Qt::ShortcutFocusReason);
        }
    });
    return dock;
}

} // namespace fc
