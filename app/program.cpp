#include "app/program.h"

#include "compiler/ui/compilewiring.h"
#include "editor/editor.h"
#include "editor/ui/editorwiring.h"
#include "engine/game.h"
#include "engine/media/midi_music_player.h"
#include "engine/media/qt_media_player.h"
#include "engine/ui/frmgame.h"
#include "engine/ui/qt_ports.h"

#include <QApplication>
#include <QTimer>
#include <QVideoWidget>

#include <functional>
#include <utility>

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
    // Quitting asks the editor about unsaved work first; Cancel keeps the program running.
    QObject::connect(
        &m->game, &Game::quitRequested, qApp,
        [editor] {
            if (editor->editor().quitRequest())
                QCoreApplication::quit();
        },
        Qt::QueuedConnection);
}

Program::~Program()
{
    m->music.stop();
    m->movie.setVideoOutput(nullptr); // the window goes first
}

namespace {
// Calls `then` once, when a control of the window has drawn for the first
// time, or after a second at the latest (a window that starts minimized).
class FirstPaint : public QObject
{
public:
    FirstPaint(QWidget *window, std::function<void()> then)
        : QObject(window), m_window(window), m_then(std::move(then))
    {
        qApp->installEventFilter(this);
        QTimer::singleShot(1000, this, &FirstPaint::done);
    }
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() == QEvent::Paint && watched->isWidgetType()
            && static_cast<QWidget *>(watched)->window() == m_window) {
            qApp->removeEventFilter(this);
            // After the frame under way has been flushed.
            QTimer::singleShot(0, this, &FirstPaint::done);
        }
        return false;
    }

private:
    void done()
    {
        qApp->removeEventFilter(this);
        if (auto then = std::exchange(m_then, nullptr))
            then();
        deleteLater();
    }

    QWidget *m_window;
    std::function<void()> m_then;
};
} // namespace

void Program::start(const QString &quest)
{
    // The first song (a packaged game's or the quest's first page) starts
    // once the first frame is out: the synthesizer and its SoundFont are
    // made then.
    m->music.hold();
    new FirstPaint(&m->window, [this] { m->music.release(); });
    m->game.questStart().startUp();
    // A quest named at start is on the screen in the first frame.
    if (!quest.isEmpty())
        m->game.questStart().openQuest(quest);
    m->window.show();
}

FrmGame &Program::window() { return m->window; }
Game &Program::game() { return m->game; }

} // namespace fc
