#include "engine/media/qt_media_backends.h"

#include "engine/media/fluidsynth_sequencer.h"
#include "engine/media/midi_api.h"
#include "engine/media/midi_music_player.h"
#include "engine/media/midi_render.h"
#include "engine/media/qt_media_player.h"

#include <QVideoWidget>

namespace fc {

namespace {

class QtMediaChannel : public MediaChannel
{
public:
    QtMediaChannel()
    {
        QObject::connect(&m_player, &MediaPlayer::stoppedChanged, &m_player, [this](bool stopped) {
            if (m_handler)
                m_handler(stopped);
        });
    }
    void setFileName(const QString &path) override { m_player.setFileName(path); }
    void play() override { m_player.play(); }
    void stop() override { m_player.stop(); }
    bool isStopped() const override { return m_player.isStopped(); }
    void setVideoOutput(QObject *surface) override { m_player.setVideoOutput(surface); }
    void setStoppedHandler(std::function<void(bool)> handler) override { m_handler = std::move(handler); }

private:
    QtMediaPlayer m_player;
    std::function<void(bool)> m_handler;
};

} // namespace

QtMediaBackends::QtMediaBackends() = default;

QtMediaBackends::~QtMediaBackends()
{
    m_midi.reset(); // its stop sequence still talks to the sequencer
    m_sequencer.reset();
}

std::unique_ptr<MediaChannel> QtMediaBackends::createPlayer()
{
    return std::make_unique<QtMediaChannel>();
}

QWidget *QtMediaBackends::createVideoSurface(QWidget *parent)
{
    auto *surface = new QVideoWidget(parent);
    surface->setAspectRatioMode(Qt::KeepAspectRatio);
    return surface;
}

MidiApi &QtMediaBackends::midi()
{
    if (!m_midi) {
        m_sequencer = std::make_unique<FluidSynthSequencer>();
        m_midi = std::make_unique<MidiApi>(*m_sequencer);
    }
    return *m_midi;
}

std::unique_ptr<MusicPlayer> QtMediaBackends::createMusicPlayer(QObject *window)
{
    return std::make_unique<MidiMusicPlayer>(window, midi());
}

std::optional<QByteArray> QtMediaBackends::renderMusic(const QString &midi, const QString &soundFont,
                                                       const QString &tempDir, QString *why)
{
    return renderMidiAsVorbis(midi, soundFont, tempDir, why);
}

} // namespace fc
