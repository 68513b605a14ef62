#include "app/program.h"

#include "compiler/ui/compilewiring.h"
#include "editor/editor.h"
#include "editor/ui/editorwiring.h"
#include "engine/game.h"
#include "engine/media_module.h"
#include "engine/ui/frmgame.h"
#include "engine/ui/qt_ports.h"

#include <QApplication>
#include <QLayout>
#include <QTimer>

#include <functional>
#include <utility>

namespace fc {

struct Program::Parts
{
    Parts(const QString &programDir, const QStringList &mediaModuleFiles)
        : media(mediaModuleFiles)
        , game(screen, ports(), programDir)
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
    // The media back-ends are loaded after the first frame, or by the first
    // sound, movie or song asked for before.
    MediaModule media;
    ModuleMediaPlayer sound{media};
    ModuleMediaPlayer movie{media};
    ModuleMusicPlayer music{media}; // its window, the game screen, follows the engine
    QtLauncher launcher;
    QtClock clock;
    Game game;
    FrmGame window;
};

Program::Program(const QString &programDir)
    : Program(programDir, MediaModule::candidates(QCoreApplication::applicationDirPath()))
{
}

Program::Program(const QString &programDir, const QStringList &mediaModuleFiles)
{
    m = std::make_unique<Parts>(programDir, mediaModuleFiles);
    m->dialogs.setParent(&m->window);
    m->fileDialog.setParent(&m->window);
    // The video surface is made with the first movie, not at start.
    QObject::connect(&m->window, &FrmGame::movieWidgetCreated, &m->movie, [this](QWidget *place) {
        if (!m->media.load())
            return;
        QWidget *surface = m->media.backends()->createVideoSurface(place);
        place->layout()->addWidget(surface);
        m->movie.setVideoOutput(surface);
    });
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
    // The media back-ends are loaded on a thread once the first frame is
    // out, and the first song (a packaged game's or the quest's first page)
    // starts when they are there: the synthesizer and its SoundFont are made
    // with it.
    m->music.hold();
    new FirstPaint(&m->window, [this] { m->media.loadSoon([this] { m->music.release(); }); });
    m->game.startUp();
    // A quest named at start is on the screen in the first frame.
    if (!quest.isEmpty())
        m->game.openQuest(quest);
    m->window.show();
}

FrmGame &Program::window() { return m->window; }
MediaModule &Program::media() { return m->media; }
Game &Program::game() { return m->game; }

} // namespace fc
