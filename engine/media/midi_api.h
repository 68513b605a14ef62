#pragma once
// MidiAPI: the MIDI player. The media back-ends make one over their one
// sequencer, and every music port of the program plays through it: looping
// page and battle music goes through its start and stop sequences; every
// caller (page presenter, battle, test play, the game screen's stop and
// close, the editor's preview) uses them.
//
// The end of a play arrives as a MidiNotifyEvent posted to the notification
// window (MidiWindow, any QObject: the game screen or the editor window). The
// player hooks that window's event handling to catch it; the hook is an event
// filter, so the window's own handling still receives the event afterwards
// (the "old procedure" is the rest of the filter chain). Guarantees:
// - a window is never hooked twice;
// - UnhookMidiNotify removes the hook from the window it was installed on,
//   even when MidiWindow has been changed since;
// - when a hooked window is destroyed the hook is dropped with it, so nothing
//   refers to a dead window; a notice is never delivered to one.
// Only a Successful notice restarts the music; the others are passed on and
// cause nothing. Everything runs on the user-interface thread.

#include "engine/media/midi_device.h"

#include <QMetaObject>
#include <QObject>
#include <QPointer>
#include <QString>

#include <memory>

namespace fc {

class MidiApi
{
public:
    // A player over any sequencer (tests use a recording one). The device
    // must outlive the player.
    explicit MidiApi(MidiDevice &device);
    // Runs the stop sequence.
    ~MidiApi();
    MidiApi(const MidiApi &) = delete;
    MidiApi &operator=(const MidiApi &) = delete;

    // --- module state -------------------------------------------------------
    QObject *midiWindow() const { return m_midiWindow; }
    void setMidiWindow(QObject *window) { m_midiWindow = window; }
    const QString &midiFile() const { return m_midiFile; }
    void setMidiFile(const QString &file) { m_midiFile = file; }
    const QString &midiDevice() const { return m_midiDevice; }
    bool midiRepeat() const { return m_midiRepeat; }
    void setMidiRepeat(bool on) { m_midiRepeat = on; }
    // The part to play, in milliseconds (0, 0: the whole file).
    void setMidiFrom(qint32 ms) { m_midiFrom = ms; }
    void setMidiTo(qint32 ms) { m_midiTo = ms; }
    bool midiIsOpen() const { return m_midiIsOpen; }
    // The window the hook is installed on, nullptr while none is.
    QObject *midiHookWindow() const { return m_hookWindow; }

    // --- operations ---------------------------------------------------------
    // Plays MidiFile: replaces it by its device name (the absolute path with
    // links resolved; "" for a missing file), opens it unless a device is
    // open, then plays MidiFrom..MidiTo (0, 0: the whole file) with its notice
    // going to MidiWindow. Failures end it silently; a failed play leaves the
    // device open until the next CloseMidi.
    void playMidi();
    // Closes the open device, if any.
    void closeMidi();
    // Installs the hook on MidiWindow (removing any hook first).
    void hookMidiNotify();
    // Removes the hook from the window it is on; nothing when none is.
    void unhookMidiNotify();
    // Start sequence: MidiWindow := window, MidiFile := file, repeat on, whole
    // file; CloseMidi; UnhookMidiNotify; let pending events run once;
    // PlayMidi; HookMidiNotify.
    void startSequence(QObject *window, const QString &file);
    // Stop sequence: CloseMidi, then UnhookMidiNotify.
    void stopSequence();

private:
    class Hook;

    // The hook's handler: on a Successful notice, plays again (MidiRepeat on)
    // or closes. Returns false: the event always goes on to the window.
    bool midiNotifyProc(QObject *window, QEvent *event);
    void forgetHookWindow(QObject *destroyed);

    MidiDevice &m_device;
    std::unique_ptr<Hook> m_hook;

    QPointer<QObject> m_midiWindow;
    QString m_midiFile;
    QString m_midiDevice;
    bool m_midiRepeat = false;
    qint32 m_midiFrom = 0;
    qint32 m_midiTo = 0;
    bool m_midiIsOpen = false;
    // The hook's saved state: the hooked window and the connection that
    // drops the hook when that window is destroyed.
    QObject *m_hookWindow = nullptr;
    QMetaObject::Connection m_hookWatch;
};

} // namespace fc
