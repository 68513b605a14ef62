#pragma once
// The story map beside the editor's form: a dock opened by "Story Map" (F6)
// in the editor's "View" menu. The map follows the page selected in the form
// and the other way round; Enter or a double-click on a card opens its page
// in the form. The map is drawn from the quest document and follows its
// change notices: an edit changes its page's card and links at once, in
// place; a new quest (a load, "&New") is drawn anew. The findings of the
// "Check Quest" panel are marked on its cards, and the panel checks again by
// itself after edits while it is open. Moved cards are kept beside the quest
// file last loaded or saved.

#include <QDockWidget>

class QMainWindow;
class QMenu;
class QTimer;

namespace fc {

class CheckPanel;
class Editor;
class StoryMap;
class StoryMapPanel;

class StoryMapDock : public QDockWidget
{
    Q_OBJECT
public:
    StoryMapDock(Editor &editor, CheckPanel *checks, QWidget *parent = nullptr);
    StoryMap *map() const;
    // Draws the whole map from the quest document as it stands now.
    void refresh();

Q_SIGNALS:
    // A card was activated and its page opened in the form.
    void pageOpened();

private:
    void followForm();
    void showFindings();
    // A change notice about section: its card, if it is a listed page.
    void pageChanged(const QString &section);
    // The whole map is to be drawn anew once the current event is done (a
    // new quest: its page list and file name settle within the event).
    void redrawLater();

    Editor &m_editor;
    CheckPanel *m_checks = nullptr;
    StoryMapPanel *m_panel = nullptr;
    QTimer *m_redraw = nullptr;
    // Pages changed within the current event: past kBurst (a Replace All
    // over many pages) the map is drawn anew once instead.
    static constexpr int kBurst = 64;
    int m_burst = 0;
    bool m_syncing = false;
    bool m_drawn = false;
};

// Adds the dock to window and "Story Map" (F6) to its menu view, and keeps
// the form's fields at their usable width when docks open beside it.
StoryMapDock *installStoryMap(QMainWindow &window, QMenu &view, Editor &editor, CheckPanel *checks);

} // namespace fc
