#include "engine/media/midi_music_player.h"

#include "engine/media/midi_api.h"

namespace fc {

MidiMusicPlayer::MidiMusicPlayer(QObject *window, MidiApi &api) : m_window(window), m_api(api) {}

void MidiMusicPlayer::stop()
{
    m_api.stopSequence();
}

void MidiMusicPlayer::start(const QString &file)
{
    m_api.startSequence(m_window, file);
}

} // namespace fc
