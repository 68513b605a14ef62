#include "engine/media/midi_api.h"

#include <QCoreApplication>
#include <QFileInfo>

namespace fc {

QEvent::Type MidiNotifyEvent::eventType()
{
    static const QEvent::Type type = QEvent::Type(QEvent::registerEventType());
    return type;
}

class MidiApi::Hook : public QObject
{
public:
    explicit Hook(MidiApi &api) : m_api(api) {}

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() == MidiNotifyEvent::eventType())
            return m_api.midiNotifyProc(watched, event);
        return false;
    }

private:
    MidiApi &m_api;
};

MidiApi::MidiApi(MidiDevice &device) : m_device(device), m_hook(std::make_unique<Hook>(*this)) {}

MidiApi::~MidiApi()
{
    stopSequence();
}

void MidiApi::playMidi()
{
    // The device is named by the file's full path; a missing file has no
    // name, and the open below fails on it.
    const QFileInfo info(m_midiFile);
    m_midiFile = info.exists() ? info.canonicalFilePath() : QString();
    if (!m_midiIsOpen) {
        if (!m_device.open(m_midiFile))
            return;
        m_midiDevice = m_midiFile;
        m_midiIsOpen = true;
    }
    m_device.play(m_midiDevice, m_midiFrom, m_midiTo, m_midiWindow);
}

void MidiApi::closeMidi()
{
    if (!m_midiIsOpen)
        return;
    m_device.close(m_midiDevice);
    m_midiIsOpen = false;
}

void MidiApi::hookMidiNotify()
{
    unhookMidiNotify();
    QObject *window = m_midiWindow;
    if (!window)
        return;
    window->installEventFilter(m_hook.get());
    m_hookWindow = window;
    m_hookWatch = QObject::connect(window, &QObject::destroyed, m_hook.get(),
                                   [this](QObject *gone) { forgetHookWindow(gone); });
}

void MidiApi::unhookMidiNotify()
{
    if (!m_hookWindow)
        return;
    m_hookWindow->removeEventFilter(m_hook.get());
    QObject::disconnect(m_hookWatch);
    m_hookWindow = nullptr;
}

void MidiApi::forgetHookWindow(QObject *destroyed)
{
    // The window takes its event filters with it; only our record goes.
    if (destroyed == m_hookWindow) {
        QObject::disconnect(m_hookWatch);
        m_hookWindow = nullptr;
    }
}

bool MidiApi::midiNotifyProc(QObject *window, QEvent *event)
{
    Q_UNUSED(window);
    if (event->type() != MidiNotifyEvent::eventType())
        return false;
    if (static_cast<MidiNotifyEvent *>(event)->code() == MidiNotifyCode::Successful) {
        if (m_midiRepeat)
            playMidi();
        else
            closeMidi();
    }
    return false;
}

void MidiApi::startSequence(QObject *window, const QString &file)
{
    m_midiWindow = window;
    m_midiFile = file;
    m_midiRepeat = true;
    m_midiFrom = 0;
    m_midiTo = 0;
    closeMidi();
    unhookMidiNotify();
    // Notices of the closed device still queued arrive here, while no hook
    // listens, and so cannot restart anything.
    QCoreApplication::processEvents();
    playMidi();
    hookMidiNotify();
}

void MidiApi::stopSequence()
{
    closeMidi();
    unhookMidiNotify();
}

} // namespace fc
