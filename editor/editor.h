#pragma once
// The quest editor: one operation per user event of createquest, FrmBattle
// and FrmCharCreate, on EditorState (what the forms show) and WorkingCopy
// (the file "tmpquest.ini"). Forms and the text-mode editor only forward
// events here and show the state.
//
// Controls are named by form and objectName, as in EditorState. Operations
// that take a control return false, changing nothing, when the control is
// unknown, hidden or disabled, its form is not shown, or the event does not
// apply to it (typing into a button); the text-mode editor reports those as
// "not available".
//
// Each operation is one user event: the writes it makes reach the working
// copy in one atomic replacement (see WorkingCopy). Hiding the editor, "Test
// Game", "&Save A Quest File", "&Compile" and quitting flush first.
//
// Dialogs, file dialogs, pictures and previews go through the ports:
// Ports::dialogs, fileDialog, pictures, sound (the game screen's playmp3,
// used by the sound preview) and music (the program-wide MIDI player, used by
// the MIDI preview). Questions use Dialogs::questionDefaultNo.
//
// The work is split by topic (editor/menus.cpp, pages.cpp, pickers.cpp,
// help_texts.cpp, battle_dialog.cpp, character_dialog.cpp).

#include "editor/editor_state.h"
#include "editor/story_find.h"
#include "editor/working_copy.h"
#include "engine/ports.h"

#include <QObject>
#include <QString>
#include <QStringList>

#include <deque>
#include <memory>

class QUndoStack;

namespace fc {

class Game;

// The editor's own questions about unsaved work.
enum class SaveAnswer { Save, Discard, Cancel };
class SaveQuestions
{
public:
    virtual ~SaveQuestions() = default;
    // "Save changes to NAME?" with Save, Discard and Cancel; Cancel is the
    // default button (Escape and Enter).
    virtual SaveAnswer saveChanges(const QString &text) = 0;
    // "Recover unsaved work on NAME from TIME?" with Recover and Discard;
    // true for Recover.
    virtual bool recover(const QString &text) = 0;
};

// Answers from a script (tests, the text-mode editor): the next queued
// answer, else the default; every question is kept in asked.
class ScriptedSaveQuestions : public SaveQuestions
{
public:
    SaveAnswer answer = SaveAnswer::Discard;
    std::deque<SaveAnswer> answers;
    bool recoverAnswer = true;
    QStringList asked;
    SaveAnswer saveChanges(const QString &text) override;
    bool recover(const QString &text) override;
};

class Editor : public QObject
{
    Q_OBJECT
public:
    // programDir: folder of the running executable, without a trailing
    // separator. state and workingCopy must outlive the editor.
    Editor(EditorState &state, WorkingCopy &workingCopy, const Ports &ports, const QString &programDir,
           QObject *parent = nullptr);
    ~Editor() override;

    EditorState &state() { return m_state; }
    WorkingCopy &workingCopy() { return m_wc; }
    // The quest being edited (the working copy's document).
    QuestDocument &document() { return m_wc.document(); }
    // Questions about unsaved work; without one, they are answered Discard
    // and Discard. Must outlive the editor.
    void setSaveQuestions(SaveQuestions *questions);
    // The game screen that "Test Game" plays on; may be set later, may be null
    // (then "Test Game" only flushes and asks for the game screen).
    void setGame(Game *game);
    Game *game() const { return m_game; }

    // --- showing and hiding createquest --------------------------------------
    // "&Create 'A' Quest" and Image8 of the game screen: shows the editor, not
    // modal. The first show in a run does the start-up: it takes the lock on
    // the working copy (another editor holding it: "The quest editor is
    // already open in another Fablecraft window.", nothing is touched and
    // show() is false), offers to recover work a crashed run left, else
    // deletes the working copy and selects page "1".
    bool show();
    bool startedUp() const;
    // The window's close box. The editor is never destroyed, only hidden; with
    // unsaved changes it first asks "Save changes to NAME?" (Cancel keeps it
    // open), then, after a load or save, the "WARNING!!!!" question (No keeps
    // it open). True when hidden.
    bool closeRequest();
    // The program is about to end (its close request was answered, or a run
    // of the text-mode editor ends): with unsaved changes asks "Save changes
    // to NAME?". False on Cancel: the program goes on. Otherwise the working
    // copy is marked as ended normally, so the next start has nothing to
    // recover, and the lock is given up.
    bool quitRequest();
    // The close box of FrmBattle or FrmCharCreate: hides and unloads the dialog.
    bool closeDialog(const QString &form);

    // --- menus ----------------------------------------------------------------
    void menuNew();     // "&New"
    void menuLoad();    // "&Load A Quest File"
    void menuSave();    // "&Save A Quest File": to the current file, else as Save As
    void menuSaveAs();  // "Save &As..."
    // Saves to the current quest file without a dialog. False when there is
    // none or the save failed (the message says why).
    bool save();
    void undo();        // "Undo ACTION", Ctrl+Z
    void redo();        // "Redo ACTION", Ctrl+Shift+Z, Ctrl+Y
    void menuCompile(); // "&Compile": flushes, then compileRequested(questFile)
    // "Export for &Web…" of the "&Compile" menu: as "&Compile", then
    // webExportRequested(questFile).
    void menuExportWeb();
    void menuExit();    // "&Exit": hides the editor
    // A menu by the name of its EditorState control (mnunew, mnuload, mnusave,
    // mnusaveas, mnuexit, mnuundo, mnuredo, mnucompile). False for an unknown
    // or unavailable name.
    bool menu(const QString &name);
    // The quest file last loaded or saved ("" if none), which "&Compile" hands
    // on. Survives "&New".
    QString questFile() const;

    // --- history and saving ------------------------------------------------------
    // One step per user event that changed the quest; typing in one field
    // merges until the field is left or typing pauses for kTypingPauseMs.
    QUndoStack &undoStack();
    static constexpr int kTypingPauseMs = 1000;
    static constexpr int kUndoLimit = 1000;
    // Changes since the last load, "&New" or save (or work recovered after a
    // crash that was not saved yet).
    bool modified() const;
    // The quest file's name, or "Untitled".
    QString documentName() const;
    // The banner's text while the working copy cannot be written, else "".
    QString banner() const;
    // Typing in a field ends its merging (the field lost focus).
    void fieldLeft();

    // --- controls -------------------------------------------------------------
    // The user replaced the whole text of a text box (typing in a view, a
    // paste over the selection). Line breaks become blanks, and the text is cut
    // to the box's maximum length. Read-only boxes refuse it, except that an
    // empty text clears a picker-only field (Movie, Mp3, CharImage), writing
    // the empty value.
    bool setText(const QString &form, const QString &control, const QString &text);
    // Types text at the end of the box's text, one change (and one user event)
    // per character, as a keyboard does; characters past the maximum length
    // are refused.
    bool typeText(const QString &form, const QString &control, const QString &text);
    // Clears a picker-only field (Text25, Text26 of createquest, Text5 of
    // FrmCharCreate) and writes the empty value.
    bool clearPickedFile(const QString &form, const QString &control);
    // A click on a check box (toggles it) or a button: "Add Page", "Delete",
    // the pickers "X" (which open their file dialog), the previews ">" and
    // "[=]", "Open Battle Window", "Character Window", "Test Game".
    bool click(const QString &form, const QString &control);
    // Selects the page list entry at index (a click on it, or the keyboard).
    bool selectPage(int index);
    // Selects the first entry with that text.
    bool selectEntry(const QString &text);
    // The pointer moved over, or keyboard focus entered, a control: the help
    // line shows its help text, if it has one.
    bool hover(const QString &form, const QString &control);
    // Focus entering a control also ends the merging of typing in the field
    // that had it.
    bool focus(const QString &form, const QString &control)
    {
        fieldLeft();
        return hover(form, control);
    }

    // --- find, replace and links -----------------------------------------------
    // Replace All: every match of finder in the quest replaced by with, as one
    // step ("Replace All"); the fields of the selected page show the result.
    story::ReplaceReport replaceAll(const story::Finder &finder, const QString &with);
    // Replace: the one match m replaced by with, as one step ("Replace").
    story::ReplaceReport replaceMatch(const story::Finder &finder, const story::FindMatch &m, const QString &with);
    // The createquest control that shows a page or story key ("Page Text":
    // Text1), or "" for a key no control of the form shows.
    static QString controlOf(const QString &key);
    // The FrmBattle control that shows a battle key ("BattleMonName": Text1),
    // or "" for a key the battle dialog does not show.
    static QString battleControlOf(const QString &key);
    // Selects the page named name (as the page list does; names compare
    // without case and outer blanks). False when no page has that name.
    bool openPage(const QString &name);
    // The page name a destination field holds: "Option One Destination Page"
    // .. "Option Four Destination Page" of createquest (Text6..Text9),
    // BattleWin, BattleLose, BattleEscape of FrmBattle (Text9..Text11).
    // Null for any other control.
    QString destinationIn(const QString &form, const QString &control) const;
    // Opens the page a destination field names. False when the control is
    // no destination field or its value names no page.
    bool follow(const QString &form, const QString &control);
    enum class LinkResult { Linked, PageFull, NoPage };
    // A link drawn from page from to page to, as one step: the first written
    // choice without a destination gets to; else the first unused choice gets
    // to and, so that the game offers it, a caption (to's location, or "Go to
    // page TO"). With no such choice the author is told "Page FROM already has
    // four choices." and nothing changes.
    LinkResult linkChoice(const QString &from, const QString &to);

    // Whether control of form can take user events now.
    bool available(const QString &form, const QString &control) const;

    // Brings the working copy up to date. The editor does this itself where
    // it must (see above); the program also calls it before it quits, and
    // may call it whenever the game screen is about to read the working copy
    // while a test play runs beside the editor (the game screen being
    // activated), so a choice taken within the lag still sees the newest
    // edit. False when the file could not be written.
    [[nodiscard]] bool flush(QString *error = nullptr);

Q_SIGNALS:
    // "&Compile" with a quest file: the working copy is flushed; the compile
    // dialog is to open, modeless, on questFile.
    void compileRequested(const QString &questFile);
    // "Export for &Web…" with a quest file: the compile dialog is to open on
    // questFile with its choice "Web page (one HTML file)".
    void webExportRequested(const QString &questFile);
    // "Test Game": the game screen is to be shown (its menu panel is already
    // hidden and LoadTmpGame has run when a game is set).
    void gameScreenShowRequested();
    // The editor window was shown or hidden (also in createquest().visible()).
    void visibilityChanged(bool visible);
    // modified() changed.
    void modifiedChanged(bool modified);

private:
    friend class EditEvent;
    friend class EditCommand;
    void beginEdit();
    void endEdit(const QString &text, const QString &mergeKey, const QString &page, bool endsHistory);
    void applyStep(const class EditCommand &command, bool redo);
    void updateTitle();
    bool confirmDiscard();
    EditorState &m_state;
    WorkingCopy &m_wc;
    Game *m_game = nullptr;
    struct Parts;
    std::unique_ptr<Parts> m_parts;
};

} // namespace fc
