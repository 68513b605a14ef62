#pragma once
// The engine's music port over the MIDI player: stop() is the stop sequence,
// start() the start sequence with this player's notification window.

#include "engine/ports.h"

#include <QPointer>

namespace fc {

class MidiApi;

class MidiMusicPlayer : public MusicPlayer
{
public:
    // `window` receives the end-of-play notices (the game screen, or the
    // editor window for its preview); it may be destroyed before this object.
    // The player must outlive this object.
    MidiMusicPlayer(QObject *window, MidiApi &api);

    // The window for the next start; a window made after its engine is set
    // here once it exists.
    void setWindow(QObject *window) { m_window = window; }

    void stop() override;
    void start(const QString &file) override;

private:
    QPointer<QObject> m_window;
    MidiApi &m_api;
};

} // namespace fc
