// FluidSynth with the real SoundFont, rendered offline: the music is heard
// while it plays, starts again at its length, falls silent when stopped, and
// what is no MIDI file is refused.

#include "engine/media/fluidsynth_sequencer.h"
#include "engine/media/midi_api.h"
#include "engine/media/midi_song.h"
#include "engine/media/qt_media_backends.h"
#include "tests/media/media_files.h"
#include "tests/support/testsupport.h"

#include <QCoreApplication>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <memory>
#include <vector>
#include <sys/stat.h>

namespace fc {
namespace {

constexpr int kRate = 44100;
// Rendered silence is dither of one step either way.
constexpr int kSilence = 2;
// A note of the test songs peaks far above this.
constexpr int kAudible = 800;

// Collects the notices reaching it.
class Listener : public QObject
{
public:
    std::vector<MidiNotifyCode> codes;

protected:
    bool event(QEvent *e) override
    {
        if (e->type() == MidiNotifyEvent::eventType()) {
            codes.push_back(static_cast<MidiNotifyEvent *>(e)->code());
            return true;
        }
        return QObject::event(e);
    }
};

// Renders the sequencer's output block by block, handling events between
// blocks as the program's event loop would, and keeps the louder channel.
class Tape
{
public:
    explicit Tape(FluidSynthSequencer &seq) : m_seq(seq) {}

    void record(double ms)
    {
        const int frames = int(ms * kRate / 1000);
        qint16 block[2 * 64];
        for (int done = 0; done < frames; done += 64) {
            m_seq.renderS16(block, 64);
            for (int i = 0; i < 64; ++i)
                m_samples.push_back(std::max(std::abs(int(block[2 * i])), std::abs(int(block[2 * i + 1]))));
            QCoreApplication::processEvents();
        }
    }

    double nowMs() const { return m_samples.size() * 1000.0 / kRate; }

    int peak(double fromMs, double toMs) const
    {
        int p = 0;
        for (size_t i = index(fromMs); i < index(toMs); ++i)
            p = std::max(p, m_samples[i]);
        return p;
    }

    // Time of the first sample above `level` at or after fromMs, or -1.
    double onset(double fromMs, int level = kAudible) const
    {
        for (size_t i = index(fromMs); i < m_samples.size(); ++i)
            if (m_samples[i] > level)
                return i * 1000.0 / kRate;
        return -1;
    }

private:
    size_t index(double ms) const { return std::min(m_samples.size(), size_t(std::max(0.0, ms) * kRate / 1000)); }

    FluidSynthSequencer &m_seq;
    std::vector<int> m_samples;
};

class FluidSynthTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        if (FluidSynthSequencer::findSoundFont().isEmpty())
            GTEST_SKIP() << "the General MIDI SoundFont TimGM6mb.sf2 is not installed";
        ASSERT_TRUE(dir.isValid());
        // 120 beats a minute, 480 ticks a quarter: one loud note of 250 ms,
        // then a rest to the end of the song at 1500 ms.
        song = writeSong(QStringLiteral("loop.mid"), test::midiSong(480, 500000, 0, {{0, 240, 60, 120}}, 1440));
    }

    QString writeSong(const QString &name, const QByteArray &bytes)
    {
        const QString path = dir.filePath(name);
        QDir().mkpath(QFileInfo(path).absolutePath());
        EXPECT_TRUE(test::writeFile(path, bytes));
        return path;
    }

    std::unique_ptr<FluidSynthSequencer> offline(const QString &soundFont = {})
    {
        FluidSynthSequencer::Options options;
        options.output = FluidSynthSequencer::Output::Offline;
        options.soundFont = soundFont;
        return std::make_unique<FluidSynthSequencer>(options);
    }

    QTemporaryDir dir;
    QString song;
};

TEST_F(FluidSynthTest, LoopsTheSongAtItsLengthAndFallsSilentWhenStopped)
{
    auto seq = offline();
    ASSERT_TRUE(seq->waitForLoad(10000));
    MidiApi api(*seq);
    Listener screen;
    Tape tape(*seq);

    api.startSequence(&screen, song);
    ASSERT_TRUE(api.midiIsOpen());
    tape.record(4700);
    const double length = 1500;

    EXPECT_GT(tape.peak(0, 250), kAudible) << "audible while the note plays";
    // The note's own attack sets where a loop is first heard.
    const double first = tape.onset(0);
    ASSERT_GE(first, 0);
    ASSERT_LT(first, 20);
    for (int loop = 1; loop <= 3; ++loop) {
        const double end = loop * length;
        EXPECT_LE(tape.peak(end - 300, end - 2), kSilence) << "the rest before the end of loop " << loop;
        const double gap = tape.onset(end - 2) - (end + first);
        EXPECT_GE(gap, 0) << "loop " << loop;
        EXPECT_LT(gap, 50) << "restarted late in loop " << loop;
    }

    api.stopSequence();
    const double stopped = tape.nowMs();
    tape.record(600);
    EXPECT_LE(tape.peak(stopped + 30, stopped + 600), kSilence) << "silent after stop";
    EXPECT_FALSE(api.midiIsOpen());
}

TEST_F(FluidSynthTest, StopCutsANoteThatIsStillSounding)
{
    const QString held = writeSong(QStringLiteral("held.mid"), test::midiSong(480, 500000, 48, {{0, 3840}}, 3840));
    auto seq = offline();
    ASSERT_TRUE(seq->waitForLoad(10000));
    MidiApi api(*seq);
    Listener screen;
    Tape tape(*seq);
    api.startSequence(&screen, held);
    tape.record(500);
    EXPECT_GT(tape.peak(100, 500), kAudible);
    api.stopSequence();
    tape.record(1000);
    // What is left at once is the last of the reverb, more than 55 dB down,
    // and gone within a few tenths of a second.
    EXPECT_LE(tape.peak(530, 1500), kAudible / 20);
    EXPECT_LE(tape.peak(1200, 1500), kSilence);
}

TEST_F(FluidSynthTest, NoticesReachTheirTargetOnce)
{
    auto seq = offline();
    ASSERT_TRUE(seq->waitForLoad(10000));
    Listener a, b, c;
    Tape tape(*seq);
    ASSERT_TRUE(seq->open(song));
    ASSERT_TRUE(seq->play(song, 0, 0, &a));
    tape.record(100);
    ASSERT_TRUE(seq->play(song, 0, 0, &b)); // supersedes the play for a
    tape.record(1600);
    QCoreApplication::processEvents();
    EXPECT_EQ(a.codes, std::vector<MidiNotifyCode>({MidiNotifyCode::Superseded}));
    EXPECT_EQ(b.codes, std::vector<MidiNotifyCode>({MidiNotifyCode::Successful}));

    ASSERT_TRUE(seq->play(song, 0, 0, &c));
    tape.record(100);
    seq->close(song);
    tape.record(2000);
    QCoreApplication::processEvents();
    EXPECT_EQ(c.codes, std::vector<MidiNotifyCode>({MidiNotifyCode::Aborted}));
    EXPECT_EQ(b.codes.size(), 1u);
    EXPECT_FALSE(seq->play(song, 0, 0, &c)) << "closed";
}

TEST_F(FluidSynthTest, RefusesWhatIsNoPlayableMidiFile)
{
    auto seq = offline();
    ASSERT_TRUE(seq->waitForLoad(10000));
    QByteArray noHeader = test::midiSong(480, 500000, 0, {{0, 240}}, 1440);
    noHeader.replace(0, 4, "RIFF");
    const QString riff = writeSong(QStringLiteral("riff.mid"), noHeader);
    const QString text = writeSong(QStringLiteral("text.mid"), "This is not music.\n");
    const QString silent = writeSong(QStringLiteral("empty.mid"), test::midiSong(480, 500000, 0, {}, 0));
    EXPECT_FALSE(seq->open(riff));
    EXPECT_FALSE(seq->open(text));
    EXPECT_FALSE(seq->open(silent)) << "a song of no length";
    EXPECT_FALSE(seq->open(dir.filePath(QStringLiteral("missing.mid"))));
    EXPECT_FALSE(seq->open(QString()));
    // Files that never end or block on open are not read at all.
    EXPECT_FALSE(seq->open(QStringLiteral("/dev/zero")));
    const QString fifo = dir.filePath(QStringLiteral("fifo.mid"));
    ASSERT_EQ(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    EXPECT_FALSE(seq->open(fifo));

    // Nothing was opened: the real song opens, a second one does not.
    EXPECT_TRUE(seq->open(song));
    EXPECT_FALSE(seq->open(song));
    EXPECT_FALSE(seq->play(riff, 0, 0, nullptr));
    EXPECT_FALSE(seq->play(song, 2000, 0, nullptr)) << "beyond the end";
    EXPECT_FALSE(seq->play(song, 800, 400, nullptr)) << "empty range";
}

TEST_F(FluidSynthTest, APathWithBlanksPlays)
{
    const QString spaced = writeSong(QStringLiteral("my songs/page one.mid"),
                                     test::midiSong(480, 500000, 0, {{0, 240}}, 480));
    auto seq = offline();
    ASSERT_TRUE(seq->waitForLoad(10000));
    MidiApi api(*seq);
    Listener screen;
    Tape tape(*seq);
    api.startSequence(&screen, spaced);
    EXPECT_EQ(api.midiDevice(), QFileInfo(spaced).canonicalFilePath());
    tape.record(300);
    EXPECT_GT(tape.peak(0, 300), kAudible);
}

TEST_F(FluidSynthTest, ARangePlaysFromItsStartToItsEnd)
{
    // Notes at 0 ms and 1000 ms; the range 750..1500 hears only the second,
    // 250 ms in, and ends after 750 ms.
    const QString two = writeSong(QStringLiteral("two.mid"),
                                  test::midiSong(480, 500000, 0, {{0, 240}, {960, 240}}, 2880));
    auto seq = offline();
    ASSERT_TRUE(seq->waitForLoad(10000));
    Listener screen;
    Tape tape(*seq);
    ASSERT_TRUE(seq->open(two));
    ASSERT_TRUE(seq->play(two, 750, 1500, &screen));
    tape.record(700);
    EXPECT_TRUE(screen.codes.empty());
    tape.record(100);
    EXPECT_EQ(screen.codes, std::vector<MidiNotifyCode>({MidiNotifyCode::Successful}));
    const double heard = tape.onset(0);
    EXPECT_GE(heard, 240);
    EXPECT_LE(heard, 270);
}

TEST_F(FluidSynthTest, APlayRequestedWhileLoadingStartsOnceLoaded)
{
    auto seq = offline();
    Listener screen;
    ASSERT_TRUE(seq->open(song));
    ASSERT_TRUE(seq->play(song, 0, 0, &screen));
    ASSERT_TRUE(seq->waitForLoad(10000));
    Tape tape(*seq);
    tape.record(300);
    EXPECT_GT(tape.peak(0, 300), kAudible);
}

TEST_F(FluidSynthTest, APlayReplacedWhileLoadingNeverSounds)
{
    auto seq = offline();
    Listener screen;
    ASSERT_TRUE(seq->open(song));
    ASSERT_TRUE(seq->play(song, 0, 0, &screen));
    seq->close(song);
    ASSERT_TRUE(seq->waitForLoad(10000));
    Tape tape(*seq);
    tape.record(400);
    EXPECT_LE(tape.peak(0, 400), kSilence);
    EXPECT_EQ(screen.codes, std::vector<MidiNotifyCode>({MidiNotifyCode::Aborted}));
}

TEST_F(FluidSynthTest, WithoutASoundFontNothingOpens)
{
    auto seq = offline(dir.filePath(QStringLiteral("none.sf2")));
    EXPECT_FALSE(seq->waitForLoad(10000));
    EXPECT_EQ(seq->state(), FluidSynthSequencer::State::Failed);
    EXPECT_FALSE(seq->open(song));

    const QString broken = writeSong(QStringLiteral("broken.sf2"), QByteArray(4096, 'x'));
    auto seq2 = offline(broken);
    EXPECT_FALSE(seq2->waitForLoad(10000));
    MidiApi api(*seq2);
    Listener screen;
    api.startSequence(&screen, song);
    EXPECT_FALSE(api.midiIsOpen());
}

TEST_F(FluidSynthTest, SpeakerOutputWithoutADeviceIsSilentAndHarmless)
{
    auto seq = std::make_unique<FluidSynthSequencer>();
    ASSERT_TRUE(seq->waitForLoad(10000));
    MidiApi api(*seq);
    Listener screen;
    api.startSequence(&screen, song);
    EXPECT_TRUE(api.midiIsOpen());
    qint16 buffer[128];
    EXPECT_FALSE(seq->renderS16(buffer, 64)) << "only offline output is pulled";
    if (seq->audioDriver().isEmpty()) {
        QElapsedTimer t;
        t.start();
        while (t.elapsed() < 200)
            QCoreApplication::processEvents();
        EXPECT_TRUE(screen.codes.empty()) << "no output, so no end";
    }
    api.stopSequence();
    seq.reset();
}

TEST_F(FluidSynthTest, TheDefaultAdventuresMidiFilesPlayAndLoop)
{
    QStringList files;
    QDirIterator it(QStringLiteral(FABLECRAFT_DATA_DIR), {QStringLiteral("*.mid"), QStringLiteral("*.MID")},
                    QDir::Files, QDirIterator::Subdirectories);
    while (it.hasNext())
        files << it.next();
    if (files.isEmpty())
        GTEST_SKIP() << "the default adventure has no MIDI file";
    files.sort();

    auto seq = offline();
    ASSERT_TRUE(seq->waitForLoad(10000));
    QString shortest;
    double shortestMs = 1e12;
    for (const QString &file : files) {
        const auto parsed = MidiSong::parse(test::readFile(file));
        ASSERT_TRUE(parsed) << file.toStdString();
        EXPECT_GT(parsed->lengthMs(), 500) << file.toStdString();
        ASSERT_TRUE(seq->open(file)) << file.toStdString();
        seq->close(file);
        if (parsed->lengthMs() < shortestMs) {
            shortestMs = parsed->lengthMs();
            shortest = file;
        }
    }

    // The shortest one, heard through its end and into its second round.
    MidiApi api(*seq);
    Listener screen;
    Tape tape(*seq);
    api.startSequence(&screen, shortest);
    ASSERT_TRUE(api.midiIsOpen());
    tape.record(std::min(shortestMs, 20000.0) + 500);
    EXPECT_GT(tape.peak(0, shortestMs), kAudible) << shortest.toStdString();
    if (shortestMs <= 20000) {
        EXPECT_GT(tape.peak(shortestMs, shortestMs + 500), kAudible / 4) << "plays again after its end";
    }
    api.stopSequence();
}

// The back-ends make one sequencer and one player, with the first music
// port, and every port plays through them; they stop it when they go.
TEST_F(FluidSynthTest, TheBackEndsMakeOnePlayerForEveryMusicPort)
{
    auto backends = std::make_unique<QtMediaBackends>();
    Listener screen, editor;
    std::unique_ptr<MusicPlayer> game = backends->createMusicPlayer(&screen);
    std::unique_ptr<MusicPlayer> preview = backends->createMusicPlayer(&editor);
    MidiApi &api = backends->midi();
    EXPECT_EQ(&api, &backends->midi());
    game->start(song);
    EXPECT_TRUE(api.midiIsOpen());
    EXPECT_EQ(api.midiHookWindow(), &screen);
    preview->start(song); // the editor's preview takes over the one player
    EXPECT_TRUE(api.midiIsOpen());
    EXPECT_EQ(api.midiHookWindow(), &editor);
    game->stop();
    EXPECT_FALSE(api.midiIsOpen());
    EXPECT_EQ(api.midiHookWindow(), nullptr);
    // Left playing on purpose: the back-ends stop it when they go.
    game->start(song);
    game.reset();
    preview.reset();
    backends.reset();
}

} // namespace
} // namespace fc
