#pragma once
// Find and replace (Ctrl+F) and Go to page (Ctrl+G) beside the editor's
// form. Find searches every page and field of the quest; its results read
// "page, field, line", and choosing one opens that page with the match
// selected in its field. Replace and Replace All are one step each to undo;
// Replace All reports how many replacements it made in how many pages and
// which destinations now name no page. Go to page lists the best matches for
// a number or words as the author types; choosing one opens it.

#include "editor/story_find.h"

#include <QDockWidget>

class QCheckBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QMainWindow;
class QMenu;
class QTimer;

namespace fc {

class Editor;
class FormBinding;
class StoryMapDock;

class FindPanel : public QDockWidget
{
    Q_OBJECT
public:
    // form: the editor's form, whose fields show the matches.
    FindPanel(Editor &editor, const FormBinding &form, QWidget *parent = nullptr);
    // The battle dialog, whose fields show the matches in a battle's keys;
    // without it such a match opens no field.
    void setBattleForm(const FormBinding *battle) { m_battle = battle; }
    // Shows the panel with the focus in the text to find.
    void startFind();
    // Runs the search with the panel's text and options.
    void find();
    void replaceCurrent();
    void replaceAll();
    const QList<story::FindMatch> &results() const { return m_results; }
    // Opens the page of result index with the match selected (in the battle
    // dialog for a battle's field); the field, or nullptr when none shows it.
    QWidget *openResult(int index);

Q_SIGNALS:
    // The matches of the last search by page name, empty when the search is
    // cleared (the story map highlights them).
    void matchesChanged(const QHash<QString, int> &counts);

private:
    story::FindOptions options() const;
    void report(const QString &text);

    Editor &m_editor;
    const FormBinding &m_form;
    const FormBinding *m_battle = nullptr;
    QLineEdit *m_find = nullptr;
    QLineEdit *m_with = nullptr;
    QCheckBox *m_case = nullptr;
    QCheckBox *m_word = nullptr;
    QCheckBox *m_regex = nullptr;
    QListWidget *m_list = nullptr;
    QLabel *m_report = nullptr;
    QList<story::FindMatch> m_results;
};

class GoToPanel : public QDockWidget
{
    Q_OBJECT
public:
    GoToPanel(Editor &editor, QWidget *parent = nullptr);
    void startGoTo();
    // The best matches for the typed text, as listed.
    QStringList candidates() const;
    // Opens the listed page at index (the first when index is -1).
    bool openCandidate(int index = -1);

Q_SIGNALS:
    // A page was opened in the form from the list.
    void pageOpened();

private:
    void update();

    Editor &m_editor;
    QLineEdit *m_text = nullptr;
    QListWidget *m_list = nullptr;
};

// "Links Here": every choice and battle key that leads to the page selected
// in the form; activating one opens the page it is on. Kept up to date with
// the selection and with edits while it is shown.
class LinksHerePanel : public QDockWidget
{
    Q_OBJECT
public:
    LinksHerePanel(Editor &editor, QWidget *parent = nullptr);
    // The pages the listed links are on, in list order.
    QStringList sources() const;
    void refresh();
    bool openSource(int index);

private:
    Editor &m_editor;
    QListWidget *m_list = nullptr;
    QTimer *m_later = nullptr;
};

// Ctrl+click, or Ctrl+Enter, in a destination field of createquest
// (Text6..Text9, in form) opens the page it names.
void installLinkFollowing(const FormBinding &form, Editor &editor);

// Adds the find, go-to and links-here panels to window with "Find…"
// (Ctrl+F), "Go to Page…" (Ctrl+G) and "Links Here" in view, and the
// following of destination fields. Matches are shown in form's fields and
// on map's cards (when there is a map); pages opened from "Go to Page…" put
// the focus in the page text. Returns the find panel.
FindPanel *installFindPanels(QMainWindow &window, QMenu &view, Editor &editor, const FormBinding &form,
                             StoryMapDock *map);

} // namespace fc
