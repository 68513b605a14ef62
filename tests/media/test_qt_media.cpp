// Sound and movie players on Qt Multimedia, headless: files play to their
// end in real time (into a silent sink where there is no sound device) and
// the stopped state is reported without polling.

#include "engine/media/qt_media_player.h"
#include "tests/media/media_files.h"
#include "tests/support/testsupport.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QMediaPlayer>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QVideoFrame>
#include <QVideoSink>
#include <gtest/gtest.h>

namespace fc {
namespace {

// Generous: playback is real time on a loaded machine.
constexpr int kWaitMs = 8000;

void runEvents(int ms)
{
    QElapsedTimer t;
    t.start();
    while (t.elapsed() < ms)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
}

std::vector<bool> values(const QSignalSpy &spy)
{
    std::vector<bool> v;
    for (const QList<QVariant> &args : spy)
        v.push_back(args.at(0).toBool());
    return v;
}

class QtMediaTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        wav = dir.filePath(QStringLiteral("tone.wav"));
        ASSERT_TRUE(test::writeFile(wav, test::wavTone(22050, 300, 440)));
    }

    // Waits until the spy has `count` signals.
    static bool waitFor(QSignalSpy &spy, int count)
    {
        QElapsedTimer t;
        t.start();
        while (spy.count() < count && t.elapsed() < kWaitMs)
            spy.wait(100);
        return spy.count() >= count;
    }

    QTemporaryDir dir;
    QString wav;
};

TEST_F(QtMediaTest, ASoundPlaysToItsEndAndReportsIt)
{
    QtMediaPlayer sound;
    QSignalSpy spy(&sound, &MediaPlayer::stoppedChanged);
    EXPECT_TRUE(sound.isStopped());
    sound.setFileName(wav);
    EXPECT_EQ(sound.fileName(), wav);
    sound.play();
    EXPECT_FALSE(sound.isStopped());
    ASSERT_TRUE(waitFor(spy, 2)) << "the end was never reported";
    EXPECT_EQ(values(spy), std::vector<bool>({false, true}));
    EXPECT_TRUE(sound.isStopped());

    // The same file again plays again from its beginning.
    sound.setFileName(wav);
    sound.play();
    ASSERT_TRUE(waitFor(spy, 4));
    EXPECT_EQ(values(spy), std::vector<bool>({false, true, false, true}));
}

TEST_F(QtMediaTest, AnEmptyFileNamePlaysNothing)
{
    QtMediaPlayer sound;
    QSignalSpy spy(&sound, &MediaPlayer::stoppedChanged);
    sound.setFileName(QString());
    sound.play();
    EXPECT_TRUE(sound.isStopped());
    runEvents(100);
    EXPECT_EQ(spy.count(), 0);
}

TEST_F(QtMediaTest, AnEmptyFileNameStopsWhatPlays)
{
    QtMediaPlayer sound;
    QSignalSpy spy(&sound, &MediaPlayer::stoppedChanged);
    sound.setFileName(wav);
    sound.play();
    ASSERT_TRUE(waitFor(spy, 1));
    sound.setFileName(QString()); // the next page has no sound
    sound.play();
    ASSERT_TRUE(waitFor(spy, 2));
    EXPECT_EQ(values(spy), std::vector<bool>({false, true}));
    EXPECT_TRUE(sound.isStopped());
}

TEST_F(QtMediaTest, UnplayableFilesEndStopped)
{
    const QString garbage = dir.filePath(QStringLiteral("noise.mp3"));
    ASSERT_TRUE(test::writeFile(garbage, QByteArray(5000, 'x')));
    for (const QString &file : {garbage, dir.filePath(QStringLiteral("missing.wav"))}) {
        QtMediaPlayer sound;
        QSignalSpy spy(&sound, &MediaPlayer::stoppedChanged);
        sound.setFileName(file);
        sound.play();
        QElapsedTimer t;
        t.start();
        while (!sound.isStopped() && t.elapsed() < kWaitMs)
            runEvents(20);
        runEvents(50);
        EXPECT_TRUE(sound.isStopped()) << file.toStdString();
        // Either it never reported playing, or it reported its end.
        if (!spy.isEmpty()) {
            EXPECT_TRUE(spy.last().at(0).toBool()) << file.toStdString();
        }
        // The failed file holds nothing up: the next one plays at once.
        QElapsedTimer next;
        next.start();
        sound.setFileName(wav);
        sound.play();
        EXPECT_LT(next.elapsed(), 300) << file.toStdString();
        EXPECT_FALSE(sound.isStopped());
        ASSERT_TRUE(waitFor(spy, spy.count() + 2)) << file.toStdString();
        EXPECT_TRUE(sound.isStopped());
    }
}

TEST_F(QtMediaTest, StopReportsTheStoppedState)
{
    const QString longer = dir.filePath(QStringLiteral("long.wav"));
    ASSERT_TRUE(test::writeFile(longer, test::wavTone(22050, 3000, 440)));
    QtMediaPlayer sound;
    QSignalSpy spy(&sound, &MediaPlayer::stoppedChanged);
    sound.setFileName(longer);
    sound.play();
    ASSERT_TRUE(waitFor(spy, 1));
    sound.stop();
    ASSERT_TRUE(waitFor(spy, 2));
    EXPECT_EQ(values(spy), std::vector<bool>({false, true}));

    // Played again after the stop, the same file starts over.
    sound.play();
    EXPECT_FALSE(sound.isStopped());
    sound.stop();
    EXPECT_TRUE(sound.isStopped());
}

TEST_F(QtMediaTest, ReplacingOrStoppingAFileStillLoadingDoesNotWait)
{
    // A movie: its pipeline is the one that makes a stop wait.
    const QString movie = dir.filePath(QStringLiteral("clip.avi"));
    ASSERT_TRUE(test::writeFile(movie, test::aviMovie(16, 16, 3, 10)));
    const QString other = dir.filePath(QStringLiteral("other.avi"));
    ASSERT_TRUE(test::writeFile(other, test::aviMovie(16, 16, 2, 10)));
    QtMediaPlayer sound;
    QVideoSink sink;
    sound.setVideoOutput(&sink);
    QSignalSpy spy(&sound, &MediaPlayer::stoppedChanged);
    QElapsedTimer t;
    t.start();
    sound.setFileName(movie);
    sound.play();
    sound.setFileName(other); // while the first still loads
    sound.play();
    sound.stop();
    sound.setFileName(movie);
    sound.play();
    EXPECT_LT(t.elapsed(), 250) << "a GStreamer state change was waited for";
    ASSERT_TRUE(waitFor(spy, 2));
    EXPECT_EQ(values(spy), std::vector<bool>({false, true}));
}

TEST_F(QtMediaTest, ANewFileReplacingAPlayingOneReportsNoStopBetween)
{
    const QString longer = dir.filePath(QStringLiteral("long.wav"));
    ASSERT_TRUE(test::writeFile(longer, test::wavTone(22050, 3000, 440)));
    QtMediaPlayer movie;
    QSignalSpy spy(&movie, &MediaPlayer::stoppedChanged);
    movie.setFileName(longer);
    movie.play();
    ASSERT_TRUE(waitFor(spy, 1));
    runEvents(50);
    // The next page's movie, in one handler: the panel must not be hidden.
    movie.setFileName(wav);
    movie.play();
    runEvents(100);
    EXPECT_EQ(values(spy), std::vector<bool>({false}));
    ASSERT_TRUE(waitFor(spy, 2));
    EXPECT_EQ(values(spy), std::vector<bool>({false, true}));
}

TEST_F(QtMediaTest, AMovieShowsItsFramesAndReportsItsEnd)
{
    const QString avi = dir.filePath(QStringLiteral("clip.avi"));
    ASSERT_TRUE(test::writeFile(avi, test::aviMovie(16, 16, 3, 10)));
    QtMediaPlayer movie;
    QVideoSink sink;
    int frames = 0;
    QObject::connect(&sink, &QVideoSink::videoFrameChanged, [&](const QVideoFrame &f) {
        if (f.isValid())
            ++frames;
    });
    movie.setVideoOutput(&sink);
    EXPECT_EQ(movie.videoOutput(), &sink);
    QSignalSpy spy(&movie, &MediaPlayer::stoppedChanged);
    movie.setFileName(avi);
    movie.play();
    ASSERT_TRUE(waitFor(spy, 2)) << "the movie's end was never reported";
    EXPECT_EQ(values(spy), std::vector<bool>({false, true}));
    EXPECT_GT(frames, 0);
    EXPECT_TRUE(movie.isStopped());
}

TEST_F(QtMediaTest, AVideoOutputDestroyedFirstIsHarmless)
{
    const QString avi = dir.filePath(QStringLiteral("clip.avi"));
    ASSERT_TRUE(test::writeFile(avi, test::aviMovie(16, 16, 3, 10)));
    QtMediaPlayer movie;
    QSignalSpy spy(&movie, &MediaPlayer::stoppedChanged);
    {
        QVideoSink sink;
        movie.setVideoOutput(&sink);
    }
    EXPECT_EQ(movie.videoOutput(), nullptr);
    movie.setFileName(avi);
    movie.play();
    ASSERT_TRUE(waitFor(spy, 2));
    EXPECT_TRUE(movie.isStopped());
}

TEST_F(QtMediaTest, TheDefaultAdventuresMovieAndSoundPlayToTheirEnd)
{
    const QDir media(QStringLiteral(FABLECRAFT_DATA_DIR "/media"));
    const QStringList movies = media.entryList({QStringLiteral("*.avi")}, QDir::Files);
    const QStringList sounds = media.entryList({QStringLiteral("*.mp3")}, QDir::Files);
    if (movies.isEmpty() || sounds.isEmpty())
        GTEST_SKIP() << "the default adventure has no movie or no MP3 sound";

    // Both at once, as on a page with a movie and a sound.
    QtMediaPlayer movie, sound;
    QVideoSink sink;
    int frames = 0;
    QObject::connect(&sink, &QVideoSink::videoFrameChanged, [&](const QVideoFrame &f) {
        if (f.isValid())
            ++frames;
    });
    movie.setVideoOutput(&sink);
    QSignalSpy movieSpy(&movie, &MediaPlayer::stoppedChanged);
    QSignalSpy soundSpy(&sound, &MediaPlayer::stoppedChanged);
    movie.setFileName(media.filePath(movies.first()));
    sound.setFileName(media.filePath(sounds.first()));
    movie.play();
    sound.play();
    QElapsedTimer t;
    t.start();
    while ((movieSpy.count() < 2 || soundSpy.count() < 2) && t.elapsed() < 20000)
        runEvents(50);
    EXPECT_EQ(values(movieSpy), std::vector<bool>({false, true}));
    EXPECT_EQ(values(soundSpy), std::vector<bool>({false, true}));
    EXPECT_GT(frames, 1);
}

} // namespace
} // namespace fc
