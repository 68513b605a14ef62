#include "engine/media/fluidsynth_sequencer.h"
#include "engine/soundfont.h"

#include "storage/regular_file.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QLoggingCategory>
#include <QStandardPaths>

#include <fluidsynth.h>

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <cstring>
#include <functional>
#include <mutex>

Q_LOGGING_CATEGORY(lcFluidSynth, "fablecraft.media.fluidsynth", QtWarningMsg)

namespace fc {

namespace {

// FluidSynth renders in blocks of 64 frames and runs the MIDI player once per
// block; rendering block by block lets us see the song's end within 1.5 ms
// and start the next play at the very next block.
constexpr int kBlock = 64;
// A MIDI file larger than this is no music for a page (and would only cost
// the user-interface thread time to read).
constexpr qint64 kMaxMidiBytes = filelimit::kMidiSong;
// Reverb and chorus ring on after the last voice; after this long without a
// player or a voice the synthesizer is not run at all, so silence costs
// nothing.
constexpr double kIdleSeconds = 3.0;

void logToCategory(int level, const char *message, void *)
{
    qCDebug(lcFluidSynth, "[%d] %s", level, message);
}

void routeLog()
{
    static std::once_flag once;
    std::call_once(once, [] {
        for (int level = FLUID_PANIC; level < LAST_LOG_LEVEL; ++level)
            fluid_set_log_function(level, logToCategory, nullptr);
    });
}

} // namespace

// The part that runs where audio is rendered: the audio driver's thread, or
// the caller of renderS16(). It owns the FluidSynth objects. The user-interface
// thread only hands it commands through `pending`; players are created and
// deleted here alone, between two rendered blocks, since FluidSynth forbids
// doing that while the synthesizer renders.
struct FluidSynthSequencer::Engine
{
    struct Command
    {
        enum Kind { None, Play, Stop } kind = None;
        quint64 id = 0;
        std::shared_ptr<const QByteArray> bytes;
        int fromTick = 0;
        int endTick = 0;
        bool seamless = false; // continues a play that just ended
    };

    Options options;
    fluid_settings_t *settings = nullptr;
    fluid_synth_t *synth = nullptr;
    fluid_audio_driver_t *driver = nullptr;
    QString driverName;
    double loadMs = 0;

    std::atomic<int> state{int(State::Loading)};
    std::mutex loadMutex;
    std::condition_variable loadDone;

    std::mutex commandMutex;
    Command pending;
    std::atomic<bool> hasPending{false};

    // Set before rendering starts; called on the render thread.
    std::function<void(quint64, MidiNotifyCode)> report;

    // Render thread only.
    fluid_player_t *player = nullptr;
    quint64 playId = 0;
    int endTick = 0;
    qint64 idleFrames = 0;

    ~Engine()
    {
        if (driver)
            delete_fluid_audio_driver(driver); // joins the audio thread
        if (player)
            delete_fluid_player(player);
        if (synth)
            delete_fluid_synth(synth);
        if (settings)
            delete_fluid_settings(settings);
    }

    void load()
    {
        routeLog();
        QElapsedTimer clock;
        clock.start();
        bool ok = false;
        settings = new_fluid_settings();
        if (settings) {
            fluid_settings_setnum(settings, "synth.sample-rate", options.sampleRate);
            // The player must follow the rendered samples, not a system timer,
            // so its position is exact offline and under any audio driver.
            fluid_settings_setstr(settings, "player.timing-source", "sample");
            // Left on, the player resets the synthesizer when its song ends,
            // cutting the last notes' release.
            fluid_settings_setint(settings, "player.reset-synth", 0);
            fluid_settings_setint(settings, "synth.lock-memory", 0);
            synth = new_fluid_synth(settings);
        }
        if (synth && !options.soundFont.isEmpty()) {
            const QByteArray path = QFile::encodeName(options.soundFont);
            ok = fluid_synth_sfload(synth, path.constData(), 1) != FLUID_FAILED;
        }
        loadMs = double(clock.nsecsElapsed()) / 1e6;
        if (ok && options.output == Output::Speakers)
            openAudio();
        {
            std::lock_guard lock(loadMutex);
            state.store(int(ok ? State::Ready : State::Failed), std::memory_order_release);
        }
        loadDone.notify_all();
    }

    void openAudio()
    {
        // Music needs no short latency; periods of 512 frames (four of them,
        // 46 ms) wake the audio thread 86 times a second instead of 690, and
        // a restart still lands within one period of the song's end.
        fluid_settings_setint(settings, "audio.period-size", 512);
        fluid_settings_setint(settings, "audio.periods", 4);
        // JACK and SDL are left out: JACK may start a server of its own, and
        // SDL needs its audio subsystem set up by the program. ALSA and OSS
        // are only tried where their devices exist, since libasound reports
        // a missing card on stderr.
        struct Candidate { const char *name; const char *device; };
        const Candidate candidates[] = {
            {"pulseaudio", nullptr},
            {"alsa", "/dev/snd"},
            {"oss", "/dev/dsp"},
        };
        for (const Candidate &c : candidates) {
            if (c.device && !QFileInfo::exists(QString::fromLatin1(c.device)))
                continue;
            fluid_settings_setstr(settings, "audio.driver", c.name);
            driver = new_fluid_audio_driver2(settings, &Engine::audioCallback, this);
            if (driver) {
                driverName = QString::fromLatin1(c.name);
                return;
            }
        }
    }

    bool ready() const { return state.load(std::memory_order_acquire) == int(State::Ready); }

    void submit(Command command)
    {
        std::lock_guard lock(commandMutex);
        pending = std::move(command);
        hasPending.store(true, std::memory_order_release);
    }

    static int audioCallback(void *data, int len, int nfx, float *fx[], int nout, float *out[])
    {
        auto *self = static_cast<Engine *>(data);
        if (nout < 2)
            return FLUID_OK;
        self->render(len, [&](int offset, int frames) {
            float *dry[2] = {out[0] + offset, out[1] + offset};
            if (nfx == 0) {
                // Drivers other than JACK give no effect buffers: mix reverb
                // and chorus into the dry output.
                float *mixed[4] = {dry[0], dry[1], dry[0], dry[1]};
                fluid_synth_process(self->synth, frames, 4, mixed, 2, dry);
            } else {
                float *effects[32];
                const int n = std::min(nfx, 32);
                for (int i = 0; i < n; ++i)
                    effects[i] = fx[i] + offset;
                fluid_synth_process(self->synth, frames, n, effects, 2, dry);
            }
        });
        return FLUID_OK;
    }

    // Runs `chunk(offset, frames)` block by block, applying commands before
    // and checking for the song's end after every block. Returns false when
    // nothing was rendered (the output stays as the caller cleared it).
    template<typename Chunk>
    bool render(int frames, Chunk &&chunk)
    {
        bool rendered = false;
        for (int done = 0; done < frames;) {
            applyPending();
            const int n = std::min(kBlock, frames - done);
            if (player || fluid_synth_get_active_voice_count(synth) > 0)
                idleFrames = 0;
            else
                idleFrames += n;
            if (idleFrames <= qint64(kIdleSeconds * options.sampleRate)) {
                chunk(done, n);
                rendered = true;
            }
            checkEnd();
            done += n;
        }
        return rendered;
    }

    void applyPending()
    {
        if (!hasPending.load(std::memory_order_acquire))
            return;
        Command command;
        {
            std::lock_guard lock(commandMutex);
            command = std::move(pending);
            pending = {};
            hasPending.store(false, std::memory_order_relaxed);
        }
        dropPlayer();
        idleFrames = 0;
        if (command.kind == Command::Stop || (command.kind == Command::Play && !command.seamless)) {
            // Give the next song the synthesizer's initial state (programs,
            // controllers, pitch bend, effects) and silence what plays at
            // once, release phase included. In this order: a reset after the
            // sounds-off brings the voices back to their release.
            fluid_synth_system_reset(synth);
            fluid_synth_all_sounds_off(synth, -1);
        }
        if (command.kind != Command::Play)
            return;
        playId = command.id;
        endTick = command.endTick;
        player = new_fluid_player(synth);
        if (!player || fluid_player_add_mem(player, command.bytes->constData(), size_t(command.bytes->size())) != FLUID_OK) {
            dropPlayer();
            report(command.id, MidiNotifyCode::Failure);
            return;
        }
        // Before play() the player takes any position; it is applied as the
        // file is loaded at the first block.
        if (command.fromTick > 0)
            fluid_player_seek(player, command.fromTick);
        fluid_player_play(player);
    }

    void checkEnd()
    {
        if (!player)
            return;
        const int tick = fluid_player_get_current_tick(player);
        if (tick >= endTick) {
            finish(MidiNotifyCode::Successful);
        } else if (fluid_player_get_status(player) == FLUID_PLAYER_DONE) {
            // The player gave up before our end tick: it could not read the
            // file, or its idea of the song's length is shorter than ours.
            finish(fluid_player_get_total_ticks(player) > 0 ? MidiNotifyCode::Successful
                                                             : MidiNotifyCode::Failure);
        }
    }

    void finish(MidiNotifyCode code)
    {
        const quint64 id = playId;
        dropPlayer();
        // A range may end in the middle of notes; a whole song has released
        // its notes already and keeps its release tails.
        fluid_synth_all_notes_off(synth, -1);
        report(id, code);
    }

    void dropPlayer()
    {
        if (!player)
            return;
        delete_fluid_player(player);
        player = nullptr;
        playId = 0;
    }
};

FluidSynthSequencer::FluidSynthSequencer(QObject *parent)
    : FluidSynthSequencer(Options{}, parent)
{
}

FluidSynthSequencer::FluidSynthSequencer(const Options &options, QObject *parent)
    : QObject(parent), m_engine(std::make_unique<Engine>())
{
    m_engine->options = options;
    if (m_engine->options.soundFont.isEmpty())
        m_engine->options.soundFont = findSoundFont();
    m_engine->report = [this](quint64 id, MidiNotifyCode code) {
        QMetaObject::invokeMethod(this, [this, id, code] { deliver(id, code); }, Qt::QueuedConnection);
    };
    Engine *engine = m_engine.get();
    m_loader = std::thread([this, engine] {
        engine->load();
        const bool ok = engine->ready();
        QMetaObject::invokeMethod(this, [this, ok] { Q_EMIT loaded(ok); }, Qt::QueuedConnection);
    });
}

FluidSynthSequencer::~FluidSynthSequencer()
{
    if (m_loader.joinable())
        m_loader.join();
    m_engine.reset(); // stops the audio thread before this object goes
}

QStringList FluidSynthSequencer::soundFontCandidates()
{
    return fc::soundFontCandidates(QCoreApplication::applicationDirPath());
}

QString FluidSynthSequencer::findSoundFont()
{
    return fc::findSoundFont(QCoreApplication::applicationDirPath());
}

FluidSynthSequencer::State FluidSynthSequencer::state() const
{
    return State(m_engine->state.load(std::memory_order_acquire));
}

bool FluidSynthSequencer::waitForLoad(int timeoutMs)
{
    std::unique_lock lock(m_engine->loadMutex);
    m_engine->loadDone.wait_for(lock, std::chrono::milliseconds(timeoutMs),
                                [this] { return state() != State::Loading; });
    return state() == State::Ready;
}

double FluidSynthSequencer::soundFontLoadMs() const
{
    return state() == State::Loading ? 0.0 : m_engine->loadMs;
}

QString FluidSynthSequencer::audioDriver() const
{
    return state() == State::Loading ? QString() : m_engine->driverName;
}

int FluidSynthSequencer::sampleRate() const
{
    return m_engine->options.sampleRate;
}

bool FluidSynthSequencer::renderS16(qint16 *interleaved, int frames)
{
    std::memset(interleaved, 0, size_t(frames) * 2 * sizeof(qint16));
    if (m_engine->options.output != Output::Offline || !m_engine->ready())
        return false;
    fluid_synth_t *synth = m_engine->synth;
    m_engine->render(frames, [&](int offset, int n) {
        fluid_synth_write_s16(synth, n, interleaved, 2 * offset, 2, interleaved, 2 * offset + 1, 2);
    });
    return true;
}

bool FluidSynthSequencer::open(const QString &device)
{
    if (!m_openDevice.isEmpty() || device.isEmpty() || state() == State::Failed)
        return false;
    // Only a regular file of song size: a FIFO or a device would block or
    // never end.
    FileRead read = ReadRegularFile(device, kMaxMidiBytes);
    if (!read.ok())
        return false;
    auto bytes = std::make_shared<const QByteArray>(std::move(read.bytes));
    std::optional<MidiSong> song = MidiSong::parse(*bytes);
    if (!song || song->lengthTicks() <= 0)
        return false; // FluidSynth's player takes any bytes; a song with no length would loop on the spot
    m_openDevice = device;
    m_openBytes = std::move(bytes);
    m_openSong = std::move(song);
    return true;
}

bool FluidSynthSequencer::play(const QString &device, qint32 from, qint32 to, QObject *notify)
{
    if (m_openDevice.isEmpty() || device != m_openDevice || from < 0 || to < 0)
        return false;
    const int fromTick = m_openSong->msToTicks(from);
    const int endTick = to > 0 ? m_openSong->msToTicks(to) : m_openSong->lengthTicks();
    if (endTick <= fromTick)
        return false;

    const bool seamless = m_current.ended && m_current.device == device && fromTick == 0;
    noticeTo(m_current, MidiNotifyCode::Superseded);
    m_current = PlayState{m_nextId++, notify, device, true, false};

    Engine::Command command;
    command.kind = Engine::Command::Play;
    command.id = m_current.id;
    command.bytes = m_openBytes;
    command.fromTick = fromTick;
    command.endTick = endTick;
    command.seamless = seamless;
    m_engine->submit(std::move(command));
    return true;
}

void FluidSynthSequencer::close(const QString &device)
{
    if (m_openDevice.isEmpty() || device != m_openDevice)
        return;
    noticeTo(m_current, MidiNotifyCode::Aborted);
    m_current = PlayState{};
    Engine::Command command;
    command.kind = Engine::Command::Stop;
    m_engine->submit(std::move(command));
    m_openDevice.clear();
    m_openBytes.reset();
    m_openSong.reset();
}

void FluidSynthSequencer::deliver(quint64 id, MidiNotifyCode code)
{
    // Notices of plays already replaced or closed were answered then.
    if (id == 0 || id != m_current.id || !m_current.pending)
        return;
    noticeTo(m_current, code);
    m_current.ended = code == MidiNotifyCode::Successful;
}

void FluidSynthSequencer::noticeTo(PlayState &play, MidiNotifyCode code)
{
    if (!play.pending)
        return;
    play.pending = false;
    if (play.notify)
        QCoreApplication::postEvent(play.notify, new MidiNotifyEvent(code, play.device));
}

} // namespace fc
