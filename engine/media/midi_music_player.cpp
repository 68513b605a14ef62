#include "engine/media/midi_music_player.h"

#include "engine/media/midi_api.h"

namespace fc {

MidiMusicPlayer::MidiMusicPlayer(QObject *window) : m_window(window) {}

MidiMusicPlayer::MidiMusicPlayer(QObject *window, MidiApi &api) : m_window(window), m_api(&api) {}

void MidiMusicPlayer::stop()
{
    // Before the first song there is nothing to stop, and no reason to
    // start the synthesizer.
    if (MidiApi *api = m_api ? m_api : MidiApi::existing())
        api->stopSequence();
}

void MidiMusicPlayer::start(const QString &file)
{
    (m_api ? *m_api : MidiApi::instance()).startSequence(m_window, file);
}

} // namespace fc
