#pragma once
// The quest editor inside the game program: the Editor over the working copy
// "tmpquest.ini", its three windows, and the connections to the game screen
// ("&Create 'A' Quest" and Image8 show the editor; "Test Game" shows the game
// screen playing the working copy). The editor's message boxes and file
// dialogs open over the editor window the user works in.

#include "editor/editor.h"

#include <QObject>
#include <QPointer>
#include <QString>
#include <QWidget>

#include <deque>
#include <memory>

namespace fc {

class CreateQuest;
class Editor;
class FrmBattle;
class FrmCharCreate;
class FrmGame;
class Game;
class QtDialogs;
class QtFileDialog;
struct Ports;

// The questions about unsaved work as message boxes over the editor window:
// "Save changes to NAME?" (Save, Discard, Cancel; Cancel the default) and
// "Recover unsaved work on NAME from TIME?" (Recover, Discard). Queued
// answers are taken first (tests).
class QtSaveQuestions : public SaveQuestions
{
public:
    QPointer<QWidget> editorWindow;
    std::deque<SaveAnswer> queued;
    std::deque<bool> queuedRecover;
    SaveAnswer saveChanges(const QString &text) override;
    bool recover(const QString &text) override;
};

class EditorProgram : public QObject
{
    Q_OBJECT
public:
    // gamePorts: the game's ports; the editor shares its pictures, sound
    // (playmp3) and the program-wide MIDI player. The EditorProgram becomes a
    // child of window and lives as long as it.
    EditorProgram(FrmGame &window, Game &game, const Ports &gamePorts, const QString &programDir);
    ~EditorProgram() override;

    Editor &editor();
    // The windows, created on first use.
    CreateQuest &createquest();
    FrmBattle &battle();
    FrmCharCreate &character();

    // The editor's message boxes and file dialogs (tests answer them in advance).
    QtDialogs &dialogs();
    QtFileDialog &fileDialog();
    QtSaveQuestions &saveQuestions();

    // The one the game screen window carries, or nullptr.
    static EditorProgram *of(FrmGame &window);

private:
    void showEditor();
    struct Parts;
    std::unique_ptr<Parts> m;
};

// Builds the editor for the game program; it lives as long as window.
EditorProgram *wireEditor(FrmGame &window, Game &game, const Ports &gamePorts, const QString &programDir);

} // namespace fc
