#include "app/program.h"

#include "compiler/ui/frmcompile.h"
#include "editor/editor.h"
#include "editor/ui/createquest.h"
#include "editor/ui/editordialogs.h"
#include "editor/ui/editorports.h"
#include "editor/ui/findpanel.h"
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

namespace {

// A window that is open already comes to the front.
void toFront(QWidget *window)
{
    if (window->isVisible()) {
        window->raise();
        window->activateWindow();
    }
}

} // namespace

struct ProgramParts::Parts
{
    Parts(const Ports &gamePorts, const QString &programDir)
        : programDir(programDir)
        , game(screen, gamePorts, programDir)
        , window(game)
        , editorPorts(gamePorts)
    {
        editorPorts.dialogs = &editorBoxes;
        editorPorts.fileDialog = &editorFiles;
        editor = std::make_unique<Editor>(editorState, workingCopy, editorPorts, programDir);
        editor->setSaveQuestions(&saveQuestions);
        editor->setGame(&game);
    }

    QString programDir;
    GameScreen screen;
    Game game;
    FrmGame window;
    // The editor, with message boxes and file dialogs of its own.
    EditorBoxes editorBoxes;
    EditorFiles editorFiles;
    QtSaveQuestions saveQuestions;
    Ports editorPorts;
    EditorState editorState;
    WorkingCopy workingCopy;
    std::unique_ptr<Editor> editor;
    // The editor's windows: the dialogs are children of the editor form.
    std::unique_ptr<CreateQuest> form;
    FrmBattle *battle = nullptr;
    FrmCharCreate *character = nullptr;
    // A window of its own, above whichever window asked for it.
    std::unique_ptr<CompileWindow> compile;
};

ProgramParts::ProgramParts(const Ports &ports, const QString &programDir)
    : m(std::make_unique<Parts>(ports, programDir))
{
    FrmGame &window = m->window;
    Editor &editor = *m->editor;
    // "&Create 'A' Quest" and Image8 show the editor.
    QObject::connect(&window, &FrmGame::editorRequested, &window, [this] { showEditor(); });
    // "Test Game": the game screen comes to the front, playing the working copy.
    QObject::connect(&editor, &Editor::gameScreenShowRequested, &window, [&window] {
        window.show();
        window.raise();
        window.activateWindow();
    });
    // A form the editor shows must exist.
    QObject::connect(&m->editorState, &EditorState::formChanged, &editor, [this](const QString &) { createquest(); });
    // "&Compile" and "Export for &Web…" open the compile dialog on the editor's quest file.
    QObject::connect(&editor, &Editor::compileRequested, &window,
                     [this](const QString &questFile) { compileWindow().open(questFile); });
    QObject::connect(&editor, &Editor::webExportRequested, &window,
                     [this](const QString &questFile) { compileWindow().openForWeb(questFile); });
    // Writes still on their way reach the file before the program ends.
    QObject::connect(qApp, &QCoreApplication::aboutToQuit, &editor,
                     [&editor] { (void)editor.flush(); /* failures: banner */ });
}

ProgramParts::~ProgramParts()
{
    (void)m->editor->flush(); // a failure was shown in the banner
    m->compile.reset();
    m->form.reset(); // the dialogs go with it
}

GameScreen &ProgramParts::screen() { return m->screen; }
Game &ProgramParts::game() { return m->game; }
FrmGame &ProgramParts::window() { return m->window; }
Editor &ProgramParts::editor() { return *m->editor; }

CreateQuest &ProgramParts::createquest()
{
    if (!m->form) {
        m->form = std::make_unique<CreateQuest>(*m->editor);
        m->editorBoxes.editorWindow = m->form.get();
        m->saveQuestions.editorWindow = m->form.get();
        m->editorFiles.editorWindow = m->form.get();
        m->battle = new FrmBattle(*m->editor, m->form.get());
        m->character = new FrmCharCreate(*m->editor, m->form.get());
        // Find shows a match in a battle's keys in the battle dialog.
        m->form->findPanel().setBattleForm(&m->battle->binding());
        // A dialog that is open already comes to the front when its button is
        // clicked again.
        QObject::connect(m->form.get(), &CreateQuest::battleButtonClicked, m->battle, [b = m->battle] { toFront(b); });
        QObject::connect(m->form.get(), &CreateQuest::characterButtonClicked, m->character,
                         [c = m->character] { toFront(c); });
    }
    return *m->form;
}

FrmBattle &ProgramParts::battle()
{
    createquest();
    return *m->battle;
}

FrmCharCreate &ProgramParts::character()
{
    createquest();
    return *m->character;
}

QtDialogs &ProgramParts::editorDialogs() { return m->editorBoxes.boxes; }
QtFileDialog &ProgramParts::editorFileDialog() { return m->editorFiles.files; }
QtSaveQuestions &ProgramParts::saveQuestions() { return m->saveQuestions; }

CompileWindow &ProgramParts::compileWindow()
{
    if (!m->compile)
        m->compile = std::make_unique<CompileWindow>(m->programDir, m->window.windowIcon(), nullptr);
    return *m->compile;
}

void ProgramParts::showEditor()
{
    CreateQuest &form = createquest();
    m->editor->show();
    // Shown already (perhaps behind the game screen): to the front.
    toFront(&form);
}

void ProgramParts::editQuest(const QString &quest)
{
    createquest();
    m->editor->show();
    m->editorFiles.files.setNextFileName(quest);
    m->editor->menuLoad();
}

struct Program::Parts
{
    Parts(const QString &programDir, const QStringList &mediaModuleFiles)
        : media(mediaModuleFiles)
        , program(portsOf(*this), programDir)
    {
    }

    QtDialogs dialogs;
    QtFileDialog files;
    QtPictureLoader pictures;
    // The media back-ends are loaded after the first frame, or by the first
    // sound, movie or song asked for before.
    MediaModule media;
    ModuleMediaPlayer sound{media};
    ModuleMediaPlayer movie{media};
    ModuleMusicPlayer music{media}; // its window, the game screen, follows the engine
    QtLauncher launcher;
    QtClock clock;
    ProgramParts program;
};

Program::Program(const QString &programDir)
    : Program(programDir, MediaModule::candidates(QCoreApplication::applicationDirPath()))
{
}

Program::Program(const QString &programDir, const QStringList &mediaModuleFiles)
{
    m = std::make_unique<Parts>(programDir, mediaModuleFiles);
    FrmGame &window = m->program.window();
    m->dialogs.setParent(&window);
    m->files.setParent(&window);
    // The video surface is made with the first movie, not at start.
    QObject::connect(&window, &FrmGame::movieWidgetCreated, &m->movie, [this](QWidget *place) {
        if (!m->media.load())
            return;
        QWidget *surface = m->media.backends()->createVideoSurface(place);
        place->layout()->addWidget(surface);
        m->movie.setVideoOutput(surface);
    });
    m->music.setWindow(&window);
    // Quitting asks the editor about unsaved work first; Cancel keeps the program running.
    QObject::connect(
        &m->program.game(), &Game::quitRequested, qApp,
        [this] {
            if (m->program.editor().quitRequest())
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
    new FirstPaint(&window(), [this] { m->media.loadSoon([this] { m->music.release(); }); });
    game().questStart().startUp();
    // A quest named at start is on the screen in the first frame.
    if (!quest.isEmpty())
        game().questStart().openQuest(quest);
    window().show();
}

FrmGame &Program::window() { return m->program.window(); }
Game &Program::game() { return m->program.game(); }
ProgramParts &Program::parts() { return m->program; }
MediaModule &Program::media() { return m->media; }

} // namespace fc
