#pragma once
// The story map beside the editor's form: a dock opened by "Story Map" (F6)
// in the editor's "View" menu. The map follows the page selected in the form
// and the other way round; Enter or a double-click on a card opens its page
// in the form. The map is drawn from the working copy and drawn again a
// moment after edits; the findings of the "Check Quest" panel are marked on
// its cards, and the panel checks again by itself after edits while it is
// open. Moved cards are kept beside the quest file last loaded or saved.

#include <QDockWidget>

class QMainWindow;
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
    static constexpr int kRedrawDelayMs = 300;

    StoryMapDock(Editor &editor, CheckPanel *checks, QWidget *parent = nullptr);
    StoryMap *map() const;
    // Draws the map from the working copy as it stands now.
    void refresh();

private:
    void followForm();
    void showFindings();

    Editor &m_editor;
    CheckPanel *m_checks = nullptr;
    StoryMapPanel *m_panel = nullptr;
    QTimer *m_redraw = nullptr;
    bool m_syncing = false;
    bool m_drawn = false;
};

// Adds the "View" menu with "Story Map" (F6) and the dock to window, and
// keeps the form's fields at their usable width when docks open beside it.
StoryMapDock *installStoryMap(QMainWindow &window, Editor &editor, CheckPanel *checks);

} // namespace fc
