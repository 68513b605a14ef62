// The MIDI player's state machine against a sequencer that records the
// command strings it is given.

#include "engine/media/midi_api.h"
#include "engine/media/midi_music_player.h"
#include "engine/media/midi_song.h"
#include "tests/media/media_files.h"
#include "tests/support/testsupport.h"

#include <QCoreApplication>
#include <QDir>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <memory>

namespace fc {
namespace {

// Opens any existing file; records every command as its command string, the
// name quoted when it holds blanks.
class RecordingMidiDevice : public MidiDevice
{
public:
    QStringList commands;
    bool playSucceeds = true;
    QPointer<QObject> lastNotify;
    QString lastDevice;

    static QString name(const QString &device)
    {
        return device.contains(QLatin1Char(' ')) ? QLatin1Char('"') + device + QLatin1Char('"') : device;
    }

    bool open(const QString &device) override
    {
        commands << QStringLiteral("open %1 type sequencer").arg(name(device));
        return !device.isEmpty() && QFileInfo(device).isFile();
    }
    bool play(const QString &device, qint32 from, qint32 to, QObject *notify) override
    {
        if (from == 0 && to == 0)
            commands << QStringLiteral("play %1 from 0 notify").arg(name(device));
        else
            commands << QStringLiteral("play %1 from %2 to %3 notify").arg(name(device)).arg(from).arg(to);
        lastNotify = notify;
        lastDevice = device;
        return playSucceeds;
    }
    void close(const QString &device) override
    {
        commands << QStringLiteral("close %1").arg(name(device));
    }

    // The device's end-of-play notice for the last play, as the sequencer
    // posts it; delivered by the next event processing.
    void notify(MidiNotifyCode code)
    {
        if (lastNotify)
            QCoreApplication::postEvent(lastNotify, new MidiNotifyEvent(code, lastDevice));
        QCoreApplication::processEvents();
    }
};

// A window that counts the notices reaching its own event handling.
class Window : public QObject
{
public:
    int notices = 0;

protected:
    bool event(QEvent *e) override
    {
        if (e->type() == MidiNotifyEvent::eventType())
            ++notices;
        return QObject::event(e);
    }
};

class MidiApiTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        songA = makeFile(QStringLiteral("a.mid"));
        songB = makeFile(QStringLiteral("b.mid"));
    }

    QString makeFile(const QString &relative)
    {
        const QString path = dir.filePath(relative);
        QDir().mkpath(QFileInfo(path).absolutePath());
        EXPECT_TRUE(test::writeFile(path, test::midiSong(96, 500000, 0, {{0, 96}}, 96)));
        return QFileInfo(path).canonicalFilePath();
    }

    QTemporaryDir dir;
    QString songA;
    QString songB;
    RecordingMidiDevice device;
    MidiApi api{device};
    Window screen;
};

TEST_F(MidiApiTest, StartOpensAndPlaysTheWholeFileAndHooksTheWindow)
{
    api.startSequence(&screen, songA);
    EXPECT_EQ(device.commands, QStringList({"open " + songA + " type sequencer", "play " + songA + " from 0 notify"}));
    EXPECT_TRUE(api.midiIsOpen());
    EXPECT_EQ(api.midiDevice(), songA);
    EXPECT_EQ(api.midiWindow(), &screen);
    EXPECT_EQ(api.midiHookWindow(), &screen);
    EXPECT_TRUE(api.midiRepeat());
    EXPECT_EQ(device.lastNotify, &screen);
}

TEST_F(MidiApiTest, OnlyASuccessfulEndPlaysAgainFromTheBeginning)
{
    api.startSequence(&screen, songA);
    device.commands.clear();

    device.notify(MidiNotifyCode::Successful);
    EXPECT_EQ(device.commands, QStringList({"play " + songA + " from 0 notify"}));

    device.commands.clear();
    device.notify(MidiNotifyCode::Superseded);
    device.notify(MidiNotifyCode::Aborted);
    device.notify(MidiNotifyCode::Failure);
    EXPECT_TRUE(device.commands.isEmpty()) << device.commands.join(" | ").toStdString();
    // Every notice, handled or not, still reaches the window's own handling.
    EXPECT_EQ(screen.notices, 4);

    device.notify(MidiNotifyCode::Successful);
    device.notify(MidiNotifyCode::Successful);
    EXPECT_EQ(device.commands, QStringList({"play " + songA + " from 0 notify", "play " + songA + " from 0 notify"}));
}

TEST_F(MidiApiTest, WithRepeatOffASuccessfulEndClosesTheDevice)
{
    api.startSequence(&screen, songA);
    api.setMidiRepeat(false);
    device.commands.clear();
    device.notify(MidiNotifyCode::Successful);
    EXPECT_EQ(device.commands, QStringList({"close " + songA}));
    EXPECT_FALSE(api.midiIsOpen());
}

TEST_F(MidiApiTest, ASecondStartClosesTheFirstDeviceBeforeOpening)
{
    api.startSequence(&screen, songA);
    api.startSequence(&screen, songB);
    EXPECT_EQ(device.commands, QStringList({
                                   "open " + songA + " type sequencer",
                                   "play " + songA + " from 0 notify",
                                   "close " + songA,
                                   "open " + songB + " type sequencer",
                                   "play " + songB + " from 0 notify",
                               }));
    EXPECT_EQ(api.midiDevice(), songB);

    // The same file on the next page starts it over.
    device.commands.clear();
    api.startSequence(&screen, songB);
    EXPECT_EQ(device.commands, QStringList({"close " + songB, "open " + songB + " type sequencer",
                                            "play " + songB + " from 0 notify"}));
}

TEST_F(MidiApiTest, StoppingWhenNothingPlaysDoesNothing)
{
    api.stopSequence();
    api.unhookMidiNotify();
    api.closeMidi();
    EXPECT_TRUE(device.commands.isEmpty());
    EXPECT_EQ(api.midiHookWindow(), nullptr);

    // After a stop the window is left as it was: a notice there restarts nothing.
    api.startSequence(&screen, songA);
    api.stopSequence();
    EXPECT_EQ(device.commands.last(), "close " + songA);
    EXPECT_EQ(api.midiHookWindow(), nullptr);
    device.commands.clear();
    device.notify(MidiNotifyCode::Successful);
    api.stopSequence();
    EXPECT_TRUE(device.commands.isEmpty());
    EXPECT_EQ(screen.notices, 1);
}

TEST_F(MidiApiTest, TheHookIsInstalledAndRemovedInPairs)
{
    api.startSequence(&screen, songA);
    api.startSequence(&screen, songB);
    api.startSequence(&screen, songA);
    EXPECT_EQ(api.midiHookWindow(), &screen);
    // Hooked once: one notice, one restart.
    device.commands.clear();
    device.notify(MidiNotifyCode::Successful);
    EXPECT_EQ(device.commands.size(), 1);

    api.hookMidiNotify(); // hooking again replaces the hook
    device.commands.clear();
    device.notify(MidiNotifyCode::Successful);
    EXPECT_EQ(device.commands.size(), 1);

    api.unhookMidiNotify();
    EXPECT_EQ(api.midiHookWindow(), nullptr);
    device.commands.clear();
    device.notify(MidiNotifyCode::Successful);
    EXPECT_TRUE(device.commands.isEmpty());
}

TEST_F(MidiApiTest, TheHookFollowsTheWindowItWasInstalledOn)
{
    Window editor;
    api.startSequence(&editor, songA); // the editor's preview
    EXPECT_EQ(api.midiHookWindow(), &editor);

    // A later caller sets the window first; unhooking still frees the editor.
    api.setMidiWindow(&screen);
    api.unhookMidiNotify();
    EXPECT_EQ(api.midiHookWindow(), nullptr);
    device.commands.clear();
    QCoreApplication::postEvent(&editor, new MidiNotifyEvent(MidiNotifyCode::Successful, songA));
    QCoreApplication::processEvents();
    EXPECT_TRUE(device.commands.isEmpty());

    // Test play after a preview: the game screen is hooked, the editor is not.
    api.startSequence(&editor, songA);
    api.startSequence(&screen, songB);
    EXPECT_EQ(api.midiHookWindow(), &screen);
    device.commands.clear();
    QCoreApplication::postEvent(&editor, new MidiNotifyEvent(MidiNotifyCode::Successful, songA));
    QCoreApplication::processEvents();
    EXPECT_TRUE(device.commands.isEmpty());
    device.notify(MidiNotifyCode::Successful);
    EXPECT_EQ(device.commands, QStringList({"play " + songB + " from 0 notify"}));
}

TEST_F(MidiApiTest, ADestroyedWindowLeavesNoHookBehind)
{
    auto window = std::make_unique<Window>();
    api.startSequence(window.get(), songA);
    QCoreApplication::postEvent(window.get(), new MidiNotifyEvent(MidiNotifyCode::Successful, songA));
    window.reset(); // with a notice still queued for it
    EXPECT_EQ(api.midiHookWindow(), nullptr);
    EXPECT_EQ(api.midiWindow(), nullptr);
    device.commands.clear();
    QCoreApplication::processEvents();
    device.notify(MidiNotifyCode::Successful);
    EXPECT_TRUE(device.commands.isEmpty());

    // The stop sequence still closes the device; a new window works as before.
    api.stopSequence();
    EXPECT_EQ(device.commands, QStringList({"close " + songA}));
    api.startSequence(&screen, songB);
    EXPECT_EQ(api.midiHookWindow(), &screen);
}

TEST_F(MidiApiTest, AMissingFileOpensNothingAndALaterStartTriesAgain)
{
    api.startSequence(&screen, dir.filePath(QStringLiteral("missing.mid")));
    EXPECT_EQ(device.commands, QStringList({"open  type sequencer"}));
    EXPECT_FALSE(api.midiIsOpen());
    EXPECT_EQ(api.midiFile(), QString());

    device.commands.clear();
    api.stopSequence();
    EXPECT_TRUE(device.commands.isEmpty());
    api.startSequence(&screen, songA);
    EXPECT_TRUE(api.midiIsOpen());
}

TEST_F(MidiApiTest, AFailedPlayLeavesTheDeviceOpenUntilTheNextStart)
{
    device.playSucceeds = false;
    api.startSequence(&screen, songA);
    EXPECT_TRUE(api.midiIsOpen());
    device.playSucceeds = true;
    device.commands.clear();
    api.startSequence(&screen, songB);
    EXPECT_EQ(device.commands.first(), "close " + songA);
}

TEST_F(MidiApiTest, APathWithBlanksIsOneDeviceName)
{
    const QString spaced = makeFile(QStringLiteral("my music/page one.mid"));
    api.startSequence(&screen, dir.filePath(QStringLiteral("my music/../my music/page one.mid")));
    EXPECT_EQ(api.midiDevice(), spaced);
    EXPECT_EQ(device.commands, QStringList({"open \"" + spaced + "\" type sequencer",
                                            "play \"" + spaced + "\" from 0 notify"}));
}

TEST_F(MidiApiTest, ARangeIsPlayedWithItsBounds)
{
    api.setMidiWindow(&screen);
    api.setMidiFile(songA);
    api.setMidiFrom(250);
    api.setMidiTo(1500);
    api.playMidi();
    EXPECT_EQ(device.commands.last(), "play " + songA + " from 250 to 1500 notify");
    // The start sequence always plays the whole file.
    api.startSequence(&screen, songA);
    EXPECT_EQ(device.commands.last(), "play " + songA + " from 0 notify");
}

TEST_F(MidiApiTest, NoticesOfAClosedDeviceQueuedBeforeTheStartCannotRestartTheNewMusic)
{
    api.startSequence(&screen, songA);
    // The old song's end is already queued when the page changes.
    QCoreApplication::postEvent(&screen, new MidiNotifyEvent(MidiNotifyCode::Successful, songA));
    device.commands.clear();
    api.startSequence(&screen, songB);
    QCoreApplication::processEvents();
    EXPECT_EQ(device.commands, QStringList({"close " + songA, "open " + songB + " type sequencer",
                                            "play " + songB + " from 0 notify"}));
}

TEST_F(MidiApiTest, TheMusicPortRunsTheSequencesForItsWindow)
{
    MidiMusicPlayer music(&screen, api);
    music.start(songA);
    EXPECT_EQ(api.midiHookWindow(), &screen);
    EXPECT_TRUE(api.midiIsOpen());
    music.stop();
    EXPECT_FALSE(api.midiIsOpen());
    EXPECT_EQ(api.midiHookWindow(), nullptr);
    EXPECT_EQ(device.commands.last(), "close " + songA);
}

TEST_F(MidiApiTest, DestroyingThePlayerStopsTheMusicAndUnhooks)
{
    auto own = std::make_unique<MidiApi>(device);
    own->startSequence(&screen, songA);
    own.reset();
    EXPECT_EQ(device.commands.last(), "close " + songA);
    device.commands.clear();
    device.notify(MidiNotifyCode::Successful);
    EXPECT_TRUE(device.commands.isEmpty());
}

// --- the MIDI file reader ---------------------------------------------------

TEST(MidiSong, TimesASongThroughItsTempoChanges)
{
    // 480 ticks a quarter at 120 bpm, then at tick 960 a tempo of 60 bpm.
    QByteArray track;
    track += QByteArray("\x00\xFF\x51\x03\x07\xA1\x20", 7);          // 500000 us
    track += QByteArray("\x00\x90\x3C\x64", 4);                       // note on
    track += QByteArray("\x87\x40\x3C\x00", 4);                       // +960, running status note off
    track += QByteArray("\x00\xFF\x51\x03\x0F\x42\x40", 7);          // 1000000 us
    track += QByteArray("\x83\x60\xFF\x2F\x00", 5);                   // +480, end of track
    const auto song = MidiSong::parse(test::midiHeader(0, 1, 480) + test::midiTrack(track));
    ASSERT_TRUE(song);
    EXPECT_EQ(song->lengthTicks(), 1440);
    EXPECT_DOUBLE_EQ(song->ticksToMs(960), 1000.0);
    EXPECT_DOUBLE_EQ(song->lengthMs(), 2000.0);
    EXPECT_EQ(song->msToTicks(1500), 1200);
    EXPECT_EQ(song->msToTicks(99999), 1440);
}

TEST(MidiSong, TheLongestTrackGivesTheLengthAndUnknownChunksAreSkipped)
{
    const QByteArray t1 = test::midiTrack(QByteArray("\x60\xFF\x2F\x00", 4));
    const QByteArray t2 = test::midiTrack(QByteArray("\x00\x90\x3C\x64\x81\x00\x80\x3C\x00\x00\xFF\x2F\x00", 13));
    QByteArray alien("XTRA\x00\x00\x00\x02zz", 10);
    const auto song = MidiSong::parse(test::midiHeader(1, 2, 96) + t1 + alien + t2);
    ASSERT_TRUE(song);
    EXPECT_EQ(song->lengthTicks(), 128);
    EXPECT_EQ(song->trackCount(), 2);
}

TEST(MidiSong, RefusesWhatTheSynthesizerCannotPlay)
{
    const QByteArray good = test::midiSong(96, 500000, 0, {{0, 96}}, 192);
    ASSERT_TRUE(MidiSong::parse(good));
    EXPECT_FALSE(MidiSong::parse(QByteArray()));
    EXPECT_FALSE(MidiSong::parse("RIFF" + good.mid(4))) << "no MThd";
    EXPECT_FALSE(MidiSong::parse(good.left(good.size() - 2))) << "track cut short";
    EXPECT_FALSE(MidiSong::parse(test::midiHeader(3, 1, 96) + good.mid(14))) << "format 3";
    EXPECT_FALSE(MidiSong::parse(test::midiHeader(0, 2, 96) + good.mid(14))) << "missing track";
    EXPECT_FALSE(MidiSong::parse(test::midiHeader(0, 1, 0xE728) + good.mid(14))) << "SMPTE time";
    EXPECT_FALSE(MidiSong::parse(test::midiHeader(0, 1, 96) + test::midiTrack(QByteArray("\x00\x3C\x64", 3))))
        << "data byte without status";
    EXPECT_FALSE(MidiSong::parse(test::midiHeader(0, 1, 96) + test::midiTrack(QByteArray("\xFF\xFF\xFF\xFF\x7F\x90\x3C\x64", 8))))
        << "delta time longer than four bytes";
    EXPECT_FALSE(MidiSong::parse(test::midiHeader(0, 1, 96) + test::midiTrack(QByteArray("\x00\xFF\x01\x10zz", 6))))
        << "meta event longer than its track";
}

} // namespace
} // namespace fc
