#pragma once
// The whole game program, made and connected in one place: the game screen
// over the engine, the quest editor with its three windows, and the compile
// dialog the editor opens. ProgramParts holds them over any set of ports (the
// tests use recording ones); Program gives them the platform's dialogs,
// pictures, sound, music, launcher and clock. The entry point makes one
// Program; so does the start-up benchmark.

#include "engine/ports.h"

#include <QString>
#include <QStringList>

#include <memory>

namespace fc {

class CompileWindow;
class CreateQuest;
class Editor;
class FrmBattle;
class FrmCharCreate;
class FrmGame;
class Game;
class MediaModule;
class GameScreen;
class QtDialogs;
class QtFileDialog;
class QtSaveQuestions;

class ProgramParts
{
public:
    // ports: the game's; the editor shares its pictures, sound (playmp3) and
    // the program-wide MIDI player, and has message boxes and file dialogs of
    // its own over the editor window. programDir: where the launch file and
    // the default adventure are found, and the player program that compiling
    // copies.
    ProgramParts(const Ports &ports, const QString &programDir);
    ~ProgramParts();
    ProgramParts(const ProgramParts &) = delete;
    ProgramParts &operator=(const ProgramParts &) = delete;

    GameScreen &screen();
    Game &game();
    FrmGame &window();

    // The Editor over the working copy "tmpquest.ini".
    Editor &editor();
    // The editor's windows, made on first use: the editor form, and the
    // battle and character dialogs over it.
    CreateQuest &createquest();
    FrmBattle &battle();
    FrmCharCreate &character();
    // The editor's message boxes, file dialogs and questions about unsaved
    // work (tests answer them in advance).
    QtDialogs &editorDialogs();
    QtFileDialog &editorFileDialog();
    QtSaveQuestions &saveQuestions();

    // The editor's "&Compile" dialog, made on first use.
    CompileWindow &compileWindow();

    // As "&Create 'A' Quest" followed by "&Load A Quest File" choosing quest.
    void editQuest(const QString &quest);

private:
    void showEditor();
    struct Parts;
    std::unique_ptr<Parts> m;
};

class Program
{
public:
    // programDir: where the launch file and the default adventure are found.
    // The media module is looked for beside the running program
    // (MediaModule::candidates).
    explicit Program(const QString &programDir);
    // ... or in these files, in order.
    Program(const QString &programDir, const QStringList &mediaModuleFiles);
    ~Program();

    // Runs the start-up (reads the launch file), plays `quest` when one is
    // given (as the load menu does once a file is chosen), and shows the
    // game screen.
    void start(const QString &quest = {});
    FrmGame &window();
    Game &game();
    ProgramParts &parts();
    // The media back-ends' module: loaded after the first frame, or on first
    // need before.
    MediaModule &media();

private:
    struct Parts;
    std::unique_ptr<Parts> m;
};

} // namespace fc
