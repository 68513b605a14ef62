#include "engine/ui/program.h"

#include "editor/ui/editorwiring.h"
#include "engine/game.h"
#include "engine/media/midi_api.h"
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
    MidiApi::instance(); // the SoundFont loads while the window is built
    m = std::make_unique<Parts>(programDir);
    m->dialogs.setParent(&m->window);
    m->fileDialog.setParent(&m->window);
    m->movie.setVideoOutput(m->window.movieWidget());
    m->music.setWindow(&m->window);
    wireEditor(m->window, m->game, m->ports(), programDir);
    QObject::connect(&m->game, &Game::quitRequested, qApp, &QCoreApplication::quit, Qt::QueuedConnection);
}

Program::~Program()
{
    m->music.stop();
    m->movie.setVideoOutput(nullptr); // the window goes first
}

void Program::start()
{
    m->game.startUp();
    m->window.show();
}

FrmGame &Program::window() { return m->window; }
Game &Program::game() { return m->game; }

} // namespace fc
