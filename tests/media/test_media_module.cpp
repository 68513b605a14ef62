// The media back-ends loaded from their module: not before the game screen's
// first frame unless a sound, movie or song is asked for first, playing
// through the module, and a game that goes on silently when the module cannot
// be loaded.

#include "app/program.h"
#include "engine/game.h"
#include "engine/media_module.h"
#include "engine/ui/frmgame.h"
#include "tests/media/media_files.h"
#include "tests/support/testsupport.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QLibraryInfo>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QWidget>
#include <gtest/gtest.h>

#include <functional>
#include <vector>

namespace fc {
namespace {

// Generous: playback is real time on a loaded machine.
constexpr int kWaitMs = 8000;

bool waitUntil(const std::function<bool()> &done)
{
    QElapsedTimer t;
    t.start();
    while (!done() && t.elapsed() < kWaitMs)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    return done();
}

std::vector<bool> values(const QSignalSpy &spy)
{
    std::vector<bool> v;
    for (const QList<QVariant> &args : spy)
        v.push_back(args.at(0).toBool());
    return v;
}

// Collects the warnings of the media category logged while it lives.
class Warnings
{
public:
    Warnings() { s_lines.clear(), s_previous = qInstallMessageHandler(handler); }
    ~Warnings() { qInstallMessageHandler(s_previous); }
    const QStringList &lines() const { return s_lines; }

private:
    static void handler(QtMsgType type, const QMessageLogContext &context, const QString &text)
    {
        if (type == QtWarningMsg && context.category && QLatin1String(context.category) == QLatin1String("fablecraft.media"))
            s_lines << text;
    }
    static inline QStringList s_lines;
    static inline QtMessageHandler s_previous = nullptr;
};

// Calls `seen` at each paint of a control of `window`.
class PaintWatch : public QObject
{
public:
    PaintWatch(QWidget *window, std::function<void()> seen) : m_window(window), m_seen(std::move(seen))
    {
        qApp->installEventFilter(this);
    }
    ~PaintWatch() override { qApp->removeEventFilter(this); }
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() == QEvent::Paint && watched->isWidgetType()
            && static_cast<QWidget *>(watched)->window() == m_window)
            m_seen();
        return false;
    }

private:
    QWidget *m_window;
    std::function<void()> m_seen;
};

class MediaModuleTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        ASSERT_TRUE(test::writeFile(dir.filePath("tone.wav"), test::wavTone(22050, 300, 440)));
        ASSERT_TRUE(test::writeFile(dir.filePath("clip.avi"), test::aviMovie(16, 16, 3, 10)));
        ASSERT_TRUE(test::writeFile(dir.filePath("song.mid"), test::midiSong(480, 500000, 0, {{0, 240, 60, 120}}, 960)));
    }

    // A quest of two pages; the first names `media` ("Mp3=tone.wav", ...).
    QString writeQuest(const QString &media)
    {
        const QString quest = dir.filePath("module.qst");
        const QString text = QStringLiteral(
            "[Story Info]\r\nTitle=Module\r\n[Quest Data]\r\nNumber Of Pages=2\r\n"
            "[1]\r\nLocation=Gate\r\nPage Text=The first page.\r\nOption One=Go on\r\n"
            "Option One Destination Page=2\r\nOption One Score=0\r\nBattle=0\r\n%1"
            "[2]\r\nLocation=Hall\r\nPage Text=The second page.\r\nBattle=0\r\n").arg(media);
        EXPECT_TRUE(test::writeFile(quest, text.toUtf8()));
        return quest;
    }

    QString file(const char *name) const { return dir.filePath(QLatin1String(name)); }

    QTemporaryDir dir;
    QTemporaryDir programDir; // no game.dat: the empty game screen
};

// Whatever keeps the module from loading, the ports play nothing, report
// nothing and throw nothing, the cause names the file, it is logged once,
// and loading is not tried again.
TEST_F(MediaModuleTest, WithoutTheModuleThePortsAreSilentAndTheCauseIsNamed)
{
    ASSERT_TRUE(QDir().mkpath(file("text")));
    ASSERT_TRUE(test::writeFile(file("text/fablecraft-media.so"), "not a library"));
    const QString otherLibrary = QLibraryInfo::path(QLibraryInfo::LibrariesPath) + QStringLiteral("/libQt6Core.so.6");
    const struct
    {
        QStringList files;
        QString cause;
    } cases[] = {
        {{file("none/fablecraft-media.so"), file("neither/fablecraft-media.so")},
         "the media module fablecraft-media.so was not found (looked for " + file("none/fablecraft-media.so") + ", "
             + file("neither/fablecraft-media.so") + ")"},
        {{file("none/fablecraft-media.so"), file("text/fablecraft-media.so")},
         "the media module " + file("text/fablecraft-media.so") + " could not be loaded: "},
        {{otherLibrary}, otherLibrary + " is not a media module of this program: "},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.files.join(", ").toStdString());
        Warnings warnings;
        MediaModule module(c.files);
        ModuleMediaPlayer sound(module);
        ModuleMusicPlayer music(module);
        QObject window;
        music.setWindow(&window);
        QSignalSpy spy(&sound, &MediaPlayer::stoppedChanged);
        sound.setFileName(file("tone.wav"));
        sound.play();
        EXPECT_TRUE(sound.isStopped());
        EXPECT_EQ(sound.fileName(), file("tone.wav"));
        music.start(file("song.mid"));
        music.stop();
        sound.stop();
        QCoreApplication::processEvents();
        EXPECT_EQ(spy.count(), 0);
        EXPECT_TRUE(module.attempted());
        EXPECT_EQ(module.backends(), nullptr);
        EXPECT_TRUE(module.failure().startsWith(c.cause)) << module.failure().toStdString();
        EXPECT_FALSE(module.load());
        ASSERT_EQ(warnings.lines().size(), 1);
        EXPECT_EQ(warnings.lines().first(), "Sound, music and movies are off: " + module.failure());
    }
}

// Nothing that plays nothing loads the module: no file, a stop, a held song.
TEST_F(MediaModuleTest, OnlyAFileToPlayLoadsTheModule)
{
    MediaModule module({QStringLiteral(FABLECRAFT_MEDIA_MODULE)});
    ModuleMediaPlayer sound(module);
    ModuleMusicPlayer music(module);
    sound.setFileName(QString());
    sound.play();
    sound.stop();
    music.stop();
    music.start(QString());
    music.hold();
    music.start(file("song.mid"));
    music.stop(); // drops the held song
    music.release();
    EXPECT_FALSE(module.attempted());

    music.hold();
    music.start(file("song.mid"));
    EXPECT_FALSE(module.attempted());
    music.release();
    EXPECT_TRUE(module.attempted());
    ASSERT_NE(module.backends(), nullptr) << module.failure().toStdString();
    music.stop();
}

// Loading soon maps the libraries on a thread, makes the back-ends on this
// one and then calls on; a load() meanwhile waits for it; a missing module
// calls on too.
TEST_F(MediaModuleTest, LoadingSoonFinishesOnThisThreadAndCallsOn)
{
    const QStringList real = {QStringLiteral(FABLECRAFT_MEDIA_MODULE)};
    const QStringList missing = {file("none/fablecraft-media.so")};
    for (const bool loadAtOnce : {false, true})
        for (const QStringList &files : {real, missing}) {
            SCOPED_TRACE(files.first().toStdString() + (loadAtOnce ? ", then loaded at once" : ""));
            MediaModule module(files);
            int called = 0;
            bool madeBeforeCall = false;
            module.loadSoon([&] {
                ++called;
                madeBeforeCall = module.attempted();
            });
            EXPECT_FALSE(module.attempted());
            if (loadAtOnce)
                EXPECT_EQ(module.load(), files == real) << module.failure().toStdString();
            ASSERT_TRUE(waitUntil([&] { return called > 0; }));
            EXPECT_TRUE(madeBeforeCall);
            EXPECT_EQ(module.backends() != nullptr, files == real) << module.failure().toStdString();
            QCoreApplication::processEvents();
            EXPECT_EQ(called, 1);
        }
}

TEST_F(MediaModuleTest, SoundsAndMoviesPlayToTheirEndThroughTheModule)
{
    MediaModule module({QStringLiteral(FABLECRAFT_MEDIA_MODULE)});
    ModuleMediaPlayer sound(module);
    QSignalSpy soundSpy(&sound, &MediaPlayer::stoppedChanged);
    sound.setFileName(file("tone.wav"));
    ASSERT_NE(module.backends(), nullptr) << module.failure().toStdString();
    sound.play();
    EXPECT_FALSE(sound.isStopped());
    ASSERT_TRUE(waitUntil([&] { return soundSpy.count() >= 2; })) << "the end was never reported";
    EXPECT_EQ(values(soundSpy), std::vector<bool>({false, true}));

    QWidget place;
    QWidget *surface = module.backends()->createVideoSurface(&place);
    ASSERT_NE(surface, nullptr);
    EXPECT_EQ(surface->parent(), &place);
    ModuleMediaPlayer movie(module);
    movie.setVideoOutput(surface);
    QSignalSpy movieSpy(&movie, &MediaPlayer::stoppedChanged);
    movie.setFileName(file("clip.avi"));
    movie.play();
    ASSERT_TRUE(waitUntil([&] { return movieSpy.count() >= 2; })) << "the movie's end was never reported";
    EXPECT_EQ(values(movieSpy), std::vector<bool>({false, true}));
    movie.setVideoOutput(nullptr);
}

// The game program: the module is loaded once the first frame is out, not
// before, when nothing asks for it earlier.
TEST_F(MediaModuleTest, TheProgramLoadsTheModuleAfterItsFirstFrame)
{
    const QString quest = writeQuest(QStringLiteral("Image=\r\nMusic=song.mid\r\n"));
    for (const QString &start : {QString(), quest}) {
        SCOPED_TRACE(start.toStdString());
        Program program(programDir.path(), {QStringLiteral(FABLECRAFT_MEDIA_MODULE)});
        bool attemptedAtFirstPaint = true;
        bool painted = false;
        PaintWatch watch(&program.window(), [&] {
            if (!painted)
                attemptedAtFirstPaint = program.media().attempted();
            painted = true;
        });
        program.start(start);
        EXPECT_FALSE(program.media().attempted());
        ASSERT_TRUE(waitUntil([&] { return program.media().attempted(); }));
        EXPECT_TRUE(painted);
        EXPECT_FALSE(attemptedAtFirstPaint);
        EXPECT_NE(program.media().backends(), nullptr) << program.media().failure().toStdString();
    }
}

// ... and at once when the first page plays a sound or a movie.
TEST_F(MediaModuleTest, TheProgramLoadsTheModuleAtOnceForASoundOrMovieBeforeItsFirstFrame)
{
    for (const QString &media : {QStringLiteral("Mp3=tone.wav\r\n"), QStringLiteral("Movie=clip.avi\r\n")}) {
        SCOPED_TRACE(media.toStdString());
        Program program(programDir.path(), {QStringLiteral(FABLECRAFT_MEDIA_MODULE)});
        program.start(writeQuest(media));
        EXPECT_NE(program.media().backends(), nullptr) << program.media().failure().toStdString();
    }
}

// Without the module the game plays on, silently: the page is shown, the
// movie panel closes again, the choice leads on, and the cause is logged.
TEST_F(MediaModuleTest, TheGameGoesOnWhenTheModuleCannotBeLoaded)
{
    Warnings warnings;
    Program program(programDir.path(), {file("none/fablecraft-media.so")});
    program.start(writeQuest(QStringLiteral("Mp3=tone.wav\r\nMusic=song.mid\r\nMovie=clip.avi\r\n")));
    GameScreen &screen = program.game().screen();
    EXPECT_EQ(screen.state().page(), "1");
    EXPECT_FALSE(screen.view().moviePanelVisible());
    EXPECT_TRUE(program.media().attempted());
    EXPECT_EQ(program.media().backends(), nullptr);
    ASSERT_TRUE(waitUntil([&] { return program.window().isVisible(); }));
    ASSERT_TRUE(program.game().pages().selectOption(0));
    program.game().pages().PlayTurn();
    EXPECT_EQ(screen.state().page(), "2");
    EXPECT_EQ(warnings.lines(), QStringList({"Sound, music and movies are off: " + program.media().failure()}));
}

} // namespace
} // namespace fc
