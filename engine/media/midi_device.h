#pragma once
// The sequencer device behind the MIDI player: open a file by name, play it
// with a notice at its end, close it. The notice travels as an event posted to
// a notification target, the way a window receives a device message, so it is
// always handled on the target's (the user-interface) thread between other
// events.

#include <QEvent>
#include <QObject>
#include <QString>

namespace fc {

// Why a play ended. Only Successful means the music reached its end.
enum class MidiNotifyCode {
    Successful = 1, // played to its end
    Superseded = 2, // replaced by a newer play of the same device
    Aborted = 4,    // stopped by a close
    Failure = 8,    // the device could not go on playing
};

// The end-of-play notice, posted to the target given to MidiDevice::play().
class MidiNotifyEvent : public QEvent
{
public:
    MidiNotifyEvent(MidiNotifyCode code, const QString &device)
        : QEvent(eventType()), m_code(code), m_device(device)
    {
    }
    static QEvent::Type eventType();

    MidiNotifyCode code() const { return m_code; }
    const QString &device() const { return m_device; }

private:
    MidiNotifyCode m_code;
    QString m_device;
};

// A sequencer. A device is named by the file it plays; at most one is open.
// Every call is made on the user-interface thread and returns at once; none
// shows a message or throws.
class MidiDevice
{
public:
    virtual ~MidiDevice() = default;

    // Opens the MIDI file named `device` ("open <device> type sequencer").
    // False when the file is missing or is no playable MIDI file, when the
    // synthesizer cannot play at all, or when another device is open.
    virtual bool open(const QString &device) = 0;

    // Plays the open device ("play <device> from <from> [to <to>] notify"),
    // positions in milliseconds; from = to = 0 plays the whole file from its
    // beginning. For each play that returned true at most one MidiNotifyEvent
    // is posted to `notify` (none once `notify` is destroyed): Successful when
    // the last event of the range has played, Superseded when a newer play
    // replaces it, Aborted when close() stops it, Failure when the
    // synthesizer cannot play it after all. A device that cannot sound (no
    // audio output) plays silently and never ends. A play issued in answer to
    // a Successful notice continues the music without a gap. False when
    // `device` is not the open device or the range is empty or outside the
    // file.
    virtual bool play(const QString &device, qint32 from, qint32 to, QObject *notify) = 0;

    // Stops and closes the device ("close <device>"); nothing when `device`
    // is not open.
    virtual void close(const QString &device) = 0;
};

} // namespace fc
