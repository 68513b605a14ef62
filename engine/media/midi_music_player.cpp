#include "engine/media/midi_music_player.h"

#include "engine/media/midi_api.h"

#include <utility>

namespace fc {

MidiMusicPlayer::MidiMusicPlayer(QObject *window) : m_window(window) {}

MidiMusicPlayer::MidiMusicPlayer(QObject *window, MidiApi &api) : m_window(window), m_api(&api) {}

void MidiMusicPlayer::stop()
{
    m_heldStart.reset();
    // Before the first song there is nothing to stop, and no reason to
    // start the synthesizer.
    if (MidiApi *api = m_api ? m_api : MidiApi::existing())
        api->stopSequence();
}

void MidiMusicPlayer::start(const QString &file)
{
    if (m_held) {
        m_heldStart = file;
        return;
    }
    (m_api ? *m_api : MidiApi::instance()).startSequence(m_window, file);
}

void MidiMusicPlayer::hold()
{
    m_held = true;
}

void MidiMusicPlayer::release()
{
    m_held = false;
    if (std::optional<QString> file = std::exchange(m_heldStart, std::nullopt))
        start(*file);
}

} // namespace fc
