#include "app/program.h"

#include "compiler/ui/compilewiring.h"
#include "editor/ui/editorwiring.h"
#include "engine/game.h"
#include "engine/media/midi_music_player.h"
#include "engine/media/qt_media_player.h"
#include "engine/ui/frmgame.h"
#include "engine/ui/qt_ports.h"

#include <QCoreApplication>
#include <QVideoWidget>

namespace fc {

struct Program::Parts
{
    explicit Parts(const QString &programDir)
        : game(screen, ports(), programDir)
        , window(game)
    {
    }

    Ports ports()
    {
        Ports p;
        p.dialogs = &dialogs;
        p.fileDialog = &fileDialog;
        p.pictures = &pictures;
        p.sound = &sound;
        p.movie = &movie;
        p.music = &music;
        p.launcher = &launcher;
        p.clock = &clock;
        return p;
    }

    GameScreen screen;
    QtDialogs dialogs;
    QtFileDialog fileDialog;
    QtPictureLoader pictures;
    QtMediaPlayer sound;
    QtMediaPlayer movie;
    MidiMusicPlayer music{nullptr}; // its window, the game screen, follows the engine
    QtLauncher launcher;
    QtClock clock;
    Game game;
    FrmGame window;
};

Program::Program(const QString &programDir)
{
    m = std::make_unique<Parts>(programDir);
    m->dialogs.setParent(&m->window);
    m->fileDialog.setParent(&m->window);
    // The video output is made with the first movie, not at start.
    QObject::connect(&m->window, &FrmGame::movieWidgetCreated, &m->movie,
                     [this](QWidget *surface) { m->movie.setVideoOutput(surface); });
    m->music.setWindow(&m->window);
    EditorProgram *editor = wireEditor(m->window, m->game, m->ports(), programDir);
    wireCompiler(editor->editor(), m->window, programDir);
    QObject::connect(&m->game, &Game::quitRequested, qApp, &QCoreApplication::quit, Qt::QueuedConnection);
}

Program::~Program()
{
    m->music.stop();
    m->movie.setVideoOutput(nullptr); // the window goes first
}

void Program::start(const QString &quest)
{
    m->game.startUp();
    // A quest named at start is on the screen in the first frame.
    if (!quest.isEmpty())
        m->game.openQuest(quest);
    m->window.show();
    // The synthesizer and its SoundFont are made when the first song starts.
}

FrmGame &Program::window() { return m->window; }
Game &Program::game() { return m->game; }

} // namespace fc
