#pragma once
// The engine's music port over the MIDI player: stop() is the stop sequence,
// start() the start sequence with this player's notification window.

#include "engine/ports.h"

#include <QPointer>

#include <optional>

namespace fc {

class MidiApi;

class MidiMusicPlayer : public MusicPlayer
{
public:
    // `window` receives the end-of-play notices (the game screen, or the
    // editor window for its preview); it may be destroyed before this object.
    // The default player is MidiApi::instance(), made (and its SoundFont
    // loaded) when music is first started.
    explicit MidiMusicPlayer(QObject *window);
    MidiMusicPlayer(QObject *window, MidiApi &api);

    // The window for the next start; a window made after its engine is set
    // here once it exists.
    void setWindow(QObject *window) { m_window = window; }

    void stop() override;
    void start(const QString &file) override;

    // While held, a start is remembered instead of run (a later stop drops
    // it), so that the synthesizer does not compete with the first frame;
    // release() runs the remembered start.
    void hold();
    void release();

private:
    QPointer<QObject> m_window;
    MidiApi *m_api = nullptr; // null: the program-wide player, once it exists
    bool m_held = false;
    std::optional<QString> m_heldStart;
};

} // namespace fc
