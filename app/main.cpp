// The program's entry: the game screen over the engine, with the platform's
// dialogs, pictures, sound, music and clock.
#include "engine/game.h"
#include "engine/media/midi_api.h"
#include "engine/media/midi_music_player.h"
#include "engine/media/qt_media_player.h"
#include "engine/ui/frmgame.h"
#include "engine/ui/qt_ports.h"

#include <QApplication>
#include <QVideoWidget>

#include <memory>

namespace {

// The MIDI player reports the end of a song to the game screen, which exists
// only after the engine it shows. Music requests are handed on to the player
// made for that window once it is there.
class ScreenMusic : public fc::MusicPlayer
{
public:
    std::unique_ptr<fc::MusicPlayer> player;
    void stop() override
    {
        if (player)
            player->stop();
    }
    void start(const QString &file) override
    {
        if (player)
            player->start(file);
    }
};

} // namespace

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Fablecraft"));
    fc::MidiApi::instance(); // the SoundFont loads while the window is built

    fc::GameScreen screen;
    fc::QtDialogs dialogs;
    fc::QtFileDialog fileDialog;
    fc::QtPictureLoader pictures;
    fc::QtMediaPlayer sound;
    fc::QtMediaPlayer movie;
    ScreenMusic music;
    fc::QtLauncher launcher;
    fc::QtClock clock;

    fc::Ports ports;
    ports.dialogs = &dialogs;
    ports.fileDialog = &fileDialog;
    ports.pictures = &pictures;
    ports.sound = &sound;
    ports.movie = &movie;
    ports.music = &music;
    ports.launcher = &launcher;
    ports.clock = &clock;

    fc::Game game(screen, ports, QCoreApplication::applicationDirPath());
    fc::FrmGame window(game);
    dialogs.setParent(&window);
    fileDialog.setParent(&window);
    movie.setVideoOutput(window.movieWidget());
    music.player = std::make_unique<fc::MidiMusicPlayer>(&window);
    QObject::connect(&game, &fc::Game::quitRequested, &app, &QCoreApplication::quit, Qt::QueuedConnection);

    game.startUp();
    window.show();
    const int status = app.exec();
    music.stop();
    movie.setVideoOutput(nullptr); // the window goes first
    return status;
}
