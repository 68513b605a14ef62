// Costs of media playback: the user-interface thread's share of a page turn
// that changes the music, the SoundFont load, and the processor time taken
// while MIDI music plays and while nothing plays.

#include "engine/media/fluidsynth_sequencer.h"
#include "engine/media/midi_api.h"
#include "engine/media/qt_media_player.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>

#include <sys/resource.h>

#include <cstdio>
#include <vector>

namespace {

void be(QByteArray &b, quint32 v, int bytes)
{
    for (int i = bytes - 1; i >= 0; --i)
        b.append(char((v >> (8 * i)) & 0xFF));
}

void varlen(QByteArray &b, quint32 v)
{
    QByteArray rev(1, char(v & 0x7F));
    while (v >>= 7)
        rev.prepend(char(0x80 | (v & 0x7F)));
    b += rev;
}

// A busy song: `tracks` channels of eighth notes with three-note chords for
// `seconds` at 120 beats a minute (about the size of a page's MIDI file).
QByteArray busySong(int tracks, int seconds)
{
    QByteArray file("MThd");
    be(file, 6, 4);
    be(file, 1, 2);
    be(file, quint32(tracks), 2);
    be(file, 480, 2);
    for (int t = 0; t < tracks; ++t) {
        QByteArray ev;
        const int channel = t == 9 ? 10 : t; // leave the drum channel alone
        varlen(ev, 0);
        ev += char(0xC0 | channel);
        ev += char((t * 8) % 128);
        const int eighths = seconds * 4;
        for (int n = 0; n < eighths; ++n) {
            const int key = 48 + (n * 5 + t * 7) % 24;
            for (int k = 0; k < 3; ++k) {
                varlen(ev, 0);
                ev += char(0x90 | channel);
                ev += char(key + 4 * k);
                ev += char(90);
            }
            for (int k = 0; k < 3; ++k) {
                varlen(ev, k == 0 ? 220 : 0);
                ev += char(0x80 | channel);
                ev += char(key + 4 * k);
                ev += char(0);
            }
            varlen(ev, 20);
            ev += QByteArray("\xFF\x01\x00", 3); // empty text event: keeps the eighth-note grid
        }
        varlen(ev, 0);
        ev += QByteArray("\xFF\x2F\x00", 3);
        file += "MTrk";
        be(file, quint32(ev.size()), 4);
        file += ev;
    }
    return file;
}

struct Songs
{
    QTemporaryDir dir;
    QString a, b;
    Songs()
    {
        a = dir.filePath(QStringLiteral("page a.mid"));
        b = dir.filePath(QStringLiteral("page b.mid"));
        for (const QString &path : {a, b}) {
            QFile f(path);
            f.open(QIODevice::WriteOnly);
            f.write(busySong(8, 60));
        }
    }
};

double cpuSeconds()
{
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return u.ru_utime.tv_sec + u.ru_stime.tv_sec + (u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

// Runs the event loop for `ms` and returns the process's processor time as a
// share of one core.
double cpuShareWhileRunning(int ms)
{
    const double before = cpuSeconds();
    QElapsedTimer t;
    t.start();
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
    return (cpuSeconds() - before) / (t.elapsed() / 1000.0);
}

// The start sequence of a page turn that changes the music, as the user-
// interface thread runs it: close, unhook, pending events, open and parse the
// file, hand the play to the audio side, hook.
void BM_MusicChange(benchmark::State &state)
{
    static Songs songs;
    fc::FluidSynthSequencer seq;
    seq.waitForLoad(10000);
    fc::MidiApi api(seq);
    QObject screen;
    int i = 0;
    for (auto _ : state)
        api.startSequence(&screen, (i++ % 2) ? songs.a : songs.b);
    api.stopSequence();
    state.counters["file_kB"] = QFileInfo(songs.a).size() / 1024.0;
    state.SetLabel(seq.audioDriver().isEmpty() ? "no audio driver" : seq.audioDriver().toStdString());
}
BENCHMARK(BM_MusicChange)->Unit(benchmark::kMillisecond);

// The page sound of a page turn: a new file name and play while the last
// page's sound still plays.
void BM_SoundChange(benchmark::State &state)
{
    static Songs songs;
    const QString wav = songs.dir.filePath(QStringLiteral("tone.wav"));
    {
        const int rate = 22050, frames = rate * 2;
        QByteArray pcm(frames * 2, '\0');
        QByteArray w("RIFF");
        auto le = [&w](quint32 v, int n) { for (int i = 0; i < n; ++i) w.append(char((v >> (8 * i)) & 0xFF)); };
        le(quint32(36 + pcm.size()), 4);
        w += "WAVEfmt ";
        le(16, 4); le(1, 2); le(1, 2); le(quint32(rate), 4); le(quint32(rate * 2), 4); le(2, 2); le(16, 2);
        w += "data";
        le(quint32(pcm.size()), 4);
        w += pcm;
        QFile f(wav);
        f.open(QIODevice::WriteOnly);
        f.write(w);
    }
    fc::QtMediaPlayer sound;
    for (auto _ : state) {
        sound.setFileName(wav);
        sound.play();
        state.PauseTiming();
        QEventLoop loop;
        QTimer::singleShot(30, &loop, &QEventLoop::quit); // let it load and start
        loop.exec();
        state.ResumeTiming();
    }
}
BENCHMARK(BM_SoundChange)->Unit(benchmark::kMillisecond)->Iterations(20);

// Same, while the SoundFont is still loading: the page turn does not wait.
void BM_MusicChangeDuringLoad(benchmark::State &state)
{
    static Songs songs;
    for (auto _ : state) {
        state.PauseTiming();
        auto seq = std::make_unique<fc::FluidSynthSequencer>();
        fc::MidiApi api(*seq);
        QObject screen;
        state.ResumeTiming();
        api.startSequence(&screen, songs.a);
        state.PauseTiming();
        api.stopSequence();
        seq.reset();
        state.ResumeTiming();
    }
}
BENCHMARK(BM_MusicChangeDuringLoad)->Unit(benchmark::kMillisecond)->Iterations(5);

void BM_SoundFontLoad(benchmark::State &state)
{
    double total = 0;
    for (auto _ : state) {
        fc::FluidSynthSequencer::Options options;
        options.output = fc::FluidSynthSequencer::Output::Offline;
        fc::FluidSynthSequencer seq(options);
        if (!seq.waitForLoad(10000))
            state.SkipWithError("SoundFont not found");
        total += seq.soundFontLoadMs();
    }
    state.counters["sfload_ms"] = total / double(state.iterations());
}
BENCHMARK(BM_SoundFontLoad)->Unit(benchmark::kMillisecond)->Iterations(5);

// Rendering one second of the busy song offline is the audio thread's work
// for one second of playback: the time taken is its share of one core.
void BM_RenderOneSecondOfMusic(benchmark::State &state)
{
    static Songs songs;
    fc::FluidSynthSequencer::Options options;
    options.output = fc::FluidSynthSequencer::Output::Offline;
    fc::FluidSynthSequencer seq(options);
    seq.waitForLoad(10000);
    QObject screen;
    seq.open(songs.a);
    seq.play(songs.a, 0, 0, &screen);
    std::vector<qint16> buffer(size_t(2 * seq.sampleRate()));
    const double before = cpuSeconds();
    for (auto _ : state)
        seq.renderS16(buffer.data(), seq.sampleRate());
    state.counters["core_share_pct"] = 100.0 * (cpuSeconds() - before) / double(state.iterations());
}
BENCHMARK(BM_RenderOneSecondOfMusic)->Unit(benchmark::kMillisecond)->MinTime(3.0);

// The same for each MIDI file of the default adventure found beside the
// program.
void BM_RenderOneSecondOfAdventureMusic(benchmark::State &state)
{
    const QString file = QCoreApplication::applicationDirPath() + QStringLiteral("/media/battle.mid");
    if (!QFileInfo::exists(file)) {
        state.SkipWithError("media/battle.mid is not beside the program");
        return;
    }
    fc::FluidSynthSequencer::Options options;
    options.output = fc::FluidSynthSequencer::Output::Offline;
    fc::FluidSynthSequencer seq(options);
    seq.waitForLoad(10000);
    fc::MidiApi api(seq);
    QObject screen;
    api.startSequence(&screen, file);
    std::vector<qint16> buffer(size_t(2 * seq.sampleRate()));
    const double before = cpuSeconds();
    for (auto _ : state) {
        seq.renderS16(buffer.data(), seq.sampleRate());
        QCoreApplication::processEvents(); // lets the song restart at its end
    }
    state.counters["core_share_pct"] = 100.0 * (cpuSeconds() - before) / double(state.iterations());
    api.stopSequence();
}
BENCHMARK(BM_RenderOneSecondOfAdventureMusic)->Unit(benchmark::kMillisecond)->MinTime(3.0);

// Rendering with nothing playing: after the effects' tail the synthesizer
// is not run at all.
void BM_RenderOneSecondOfSilence(benchmark::State &state)
{
    fc::FluidSynthSequencer::Options options;
    options.output = fc::FluidSynthSequencer::Output::Offline;
    fc::FluidSynthSequencer seq(options);
    seq.waitForLoad(10000);
    std::vector<qint16> buffer(size_t(2 * seq.sampleRate()));
    for (int i = 0; i < 4; ++i)
        seq.renderS16(buffer.data(), seq.sampleRate());
    const double before = cpuSeconds();
    for (auto _ : state)
        seq.renderS16(buffer.data(), seq.sampleRate());
    state.counters["core_share_pct"] = 100.0 * (cpuSeconds() - before) / double(state.iterations());
}
BENCHMARK(BM_RenderOneSecondOfSilence)->Unit(benchmark::kMicrosecond);

// Real playback through the audio driver for three seconds, measured with
// getrusage; and the same with nothing playing (the program idle, players
// created). Without an audio driver the first shows the idle cost only.
void BM_ProcessCpuWhilePlaying(benchmark::State &state)
{
    static Songs songs;
    fc::FluidSynthSequencer seq;
    seq.waitForLoad(10000);
    fc::MidiApi api(seq);
    fc::QtMediaPlayer sound, movie;
    QObject screen;
    double share = 0;
    for (auto _ : state) {
        if (state.range(0))
            api.startSequence(&screen, songs.a);
        share = cpuShareWhileRunning(3000);
        api.stopSequence();
    }
    state.counters["core_share_pct"] = 100.0 * share;
    state.SetLabel((state.range(0) ? "playing, " : "idle, ")
                   + (seq.audioDriver().isEmpty() ? std::string("no audio driver") : seq.audioDriver().toStdString()));
}
BENCHMARK(BM_ProcessCpuWhilePlaying)->Arg(1)->Arg(0)->Iterations(1)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char **argv)
{
    QGuiApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
