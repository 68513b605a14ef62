#pragma once
// Inside the editor: what the topic classes share, and the topic classes
// themselves. Only editor/*.cpp include this; views use editor.h.

#include "editor/editor.h"

#include <QString>

namespace fc {

// Names and shared helpers of one editor.
class EditorContext
{
public:
    EditorContext(Editor &editor, EditorState &state, WorkingCopy &wc, const Ports &ports, const QString &programDir)
        : editor(editor), state(state), wc(wc), ports(ports), programDir(programDir)
    {
    }

    Editor &editor;
    EditorState &state;
    WorkingCopy &wc;
    Ports ports;
    QString programDir;
    // The quest file last loaded or saved ("" before); survives "&New".
    QString questFile;
    bool startedUp = false;
    // An undo or redo is bringing the views in line with the document: the
    // fields' writers write nothing.
    bool applying = false;
    // Work recovered after a crash: modified until saved.
    bool recovered = false;
    SaveQuestions *questions = nullptr;

    static QString cq() { return QString::fromLatin1(kCreateQuest); }
    static QString fb() { return QString::fromLatin1(kFrmBattle); }
    static QString charCreateForm() { return QString::fromLatin1(kFrmCharCreate); }

    QString page() const { return state.currentPage(); }
    // Where every file dialog of the editor starts: the folder of the quest
    // last loaded or saved, else the user's documents folder.
    QString dialogFolder() const;
    // Shows the open-file dialog; "" when cancelled.
    QString openFile(const QString &filter, const QString &defaultExt, QString &remembered);
    void message(const QString &text);
    // A failed load, save or delete: "Error!" with the cause.
    void error(const QString &cause);
    bool askNo(const QString &text); // "WARNING!!!!" Yes/No question, No default; true on Yes
    // A picture for a dialog's Image1; nullopt when it cannot be loaded.
    std::optional<QImage> loadPicture(PictureSlot slot, const QString &path);
};

// FrmBattle.
class BattleDialog
{
public:
    explicit BattleDialog(EditorContext &c) : c(c) {}
    bool loaded() const { return m_loaded; }
    void open();                    // Command7 of createquest
    void close();                   // close box: hide and unload
    void fillFromPage();            // the page selection's part (icon when no picture)
    void fieldChanged(const QString &control);
    void pick(const QString &control); // Command6 picture, Command1 music
    void updateEnabled(bool pageSelected);

private:
    void load(); // the dialog's own open sequence
    void fillTexts();
    EditorContext &c;
    bool m_loaded = false;
    QString m_rememberedPicture, m_rememberedMusic;
};

// Page list and page fields of createquest (including Add Page, Delete, the
// battle button's state, the enabled state without a page).
class PageEditor
{
public:
    PageEditor(EditorContext &c, BattleDialog &battle) : c(c), battle(battle) {}
    void select(int index);    // pg click: select, then fill
    void fill();               // fill all fields from the current page
    void fieldChanged(const QString &control); // a text box or check box changed: write it
    void addPage();            // Command1
    void deletePage();         // Command2
    void updateEnabled();      // fields follow "a page is selected", Command7 follows Check9
    // The key a createquest control writes ("" for none) and its section.
    static QString keyOf(const QString &control);
    static bool isStoryField(const QString &control); // Text10..Text12: "Story Info"
    void rebuild(const QStringList &entries); // after a load: new list, first selected and filled

private:
    EditorContext &c;
    BattleDialog &battle;
};

// The four "X" pickers and the ">" / "[=]" previews of createquest.
class Pickers
{
public:
    explicit Pickers(EditorContext &c) : c(c) {}
    bool isPicker(const QString &control) const;
    void pick(const QString &control);
    void clear(const QString &control); // Text25, Text26
    void playMidi();  // Command4
    void stopMidi();  // Command5
    void playSound(); // Command11
    void stopSound(); // Command12

private:
    EditorContext &c;
    QString m_remembered[4]; // CommonDialog1..4
};

// FrmCharCreate.
class CharacterDialog
{
public:
    explicit CharacterDialog(EditorContext &c) : c(c) {}
    bool loaded() const { return m_loaded; }
    void open();  // Command8 of createquest, modeless
    void close(); // close box: hide and unload
    void refill(); // shows the document's values again (after an undo)
    void fieldChanged(const QString &control);
    void pick();  // Command1
    void clear(); // Text5

private:
    EditorContext &c;
    bool m_loaded = false;
    QString m_remembered;
};

// Start-up, the menus, showing and closing createquest, Test Game.
class Menus
{
public:
    explicit Menus(EditorContext &c, PageEditor &pages) : c(c), pages(pages) {}
    void startUp();
    void menuNew();
    void menuLoad();
    void menuSave();
    void menuSaveAs();
    bool saveTo(const QString &path);
    // The session file beside the working copy: which quest it holds and
    // whether it has unsaved work, for the recovery question of a later run.
    void writeSession(bool modified);
    void menuCompile(bool web = false);
    bool closeRequest();
    void hide();
    void testGame();

private:
    EditorContext &c;
    PageEditor &pages;
    QString m_remembered; // questfile's file name
    // What the session file holds now.
    bool m_sessionWritten = false, m_sessionModified = false;
    QString m_sessionQuest;
};

// File dialog filters of the pickers: every picture format the program
// shows in one filter, first; the sounds together.
inline constexpr char kPictureFilter[] =
    "Pictures (*.png *.jpg *.jpeg *.bmp *.gif)|*.png;*.jpg;*.jpeg;*.bmp;*.gif|*.jpg|*.jpg";
inline constexpr char kSoundFilter[] = "Sounds (*.wav *.mp3)|*.wav;*.mp3|*.mp3|*.mp3|*.wav|*.wav";

// Converts a stored check-box value: 0 or 1, or nullopt when it does not
// convert to a state a check box holds.
std::optional<int> checkValue(const QString &stored);

} // namespace fc
