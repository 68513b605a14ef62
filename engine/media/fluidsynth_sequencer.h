#pragma once
// The sequencer on FluidSynth: plays standard MIDI files with the General MIDI
// SoundFont through FluidSynth's own audio driver.
//
// Construction returns at once: the SoundFont is loaded and the audio output
// opened on a thread of their own. A play requested before that is done
// starts as soon as it is; one replaced or closed before then never sounds.
// Where no SoundFont is found every open() fails; where no audio output opens
// the device plays silently and nothing else differs. FluidSynth's log lines
// go to the logging category "fablecraft.media.fluidsynth" (off by default),
// never straight to the terminal.

#include "engine/media/midi_device.h"
#include "engine/media/midi_song.h"

#include <QObject>
#include <QPointer>
#include <QStringList>

#include <memory>
#include <optional>
#include <thread>

namespace fc {

class FluidSynthSequencer : public QObject, public MidiDevice
{
    Q_OBJECT
public:
    enum class Output {
        Speakers, // FluidSynth's audio driver: PulseAudio (also PipeWire's), then ALSA, then OSS
        Offline,  // no driver; the owner pulls samples with renderS16()
    };
    struct Options
    {
        QString soundFont; // empty: findSoundFont()
        Output output = Output::Speakers;
        int sampleRate = 44100;
    };

    enum class State { Loading, Ready, Failed };

    explicit FluidSynthSequencer(QObject *parent = nullptr);
    explicit FluidSynthSequencer(const Options &options, QObject *parent = nullptr);
    // Waits for a load in progress, then stops the audio output.
    ~FluidSynthSequencer() override;

    // Where the General MIDI SoundFont "TimGM6mb.sf2" is looked for, in order:
    // the program's own folder (a packaged game), an installation's data
    // folder, the system's SoundFont folders, then those of the XDG data
    // folders (see engine/soundfont.h).
    static QStringList soundFontCandidates();
    // The first candidate that exists, or "".
    static QString findSoundFont();

    State state() const;
    // Blocks until the load has finished or timeoutMs passed; true when the
    // synthesizer is ready. For tests and tools: the program never waits.
    bool waitForLoad(int timeoutMs);
    // Milliseconds the SoundFont took to load (valid once ready).
    double soundFontLoadMs() const;
    // Name of the FluidSynth audio driver in use, "" when none opened.
    QString audioDriver() const;
    int sampleRate() const;

    // Offline output only: renders `frames` stereo frames into `interleaved`
    // (2 * frames samples, left first) exactly as the audio driver would,
    // ends and restarts included. Returns false, leaving silence in the
    // buffer, when the sequencer is not offline or not ready.
    bool renderS16(qint16 *interleaved, int frames);

    // MidiDevice
    bool open(const QString &device) override;
    bool play(const QString &device, qint32 from, qint32 to, QObject *notify) override;
    void close(const QString &device) override;

Q_SIGNALS:
    // Emitted once, on this object's thread, when loading has finished.
    void loaded(bool ok);

private:
    struct Engine;
    struct PlayState
    {
        quint64 id = 0;
        QPointer<QObject> notify;
        QString device;
        bool pending = false; // no notice sent for this play yet
        bool ended = false;   // it played to its end
    };

    void deliver(quint64 id, MidiNotifyCode code);
    void noticeTo(PlayState &play, MidiNotifyCode code);

    std::unique_ptr<Engine> m_engine;
    std::thread m_loader;

    QString m_openDevice;
    std::shared_ptr<const QByteArray> m_openBytes;
    std::optional<MidiSong> m_openSong;
    PlayState m_current;
    quint64 m_nextId = 1;
};

} // namespace fc
