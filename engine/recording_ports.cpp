#include "engine/recording_ports.h"

#include "engine/picture_file.h"

#include <QImageReader>

namespace fc {

void RecordingDialogs::information(const QString &title, const QString &text)
{
    shown.append({ShownMessage::Information, title, text});
}

Answer RecordingDialogs::question(const QString &title, const QString &text)
{
    shown.append({ShownMessage::Question, title, text});
    if (answers.empty())
        return defaultAnswer;
    const Answer a = answers.front();
    answers.pop_front();
    return a;
}

void RecordingDialogs::critical(const QString &title, const QString &text)
{
    shown.append({ShownMessage::Critical, title, text});
}

QString RecordingFileDialog::next(const FileDialogOptions &options)
{
    requests.append(options);
    if (names.empty())
        return {};
    const QString name = names.front();
    names.pop_front();
    return name;
}

QString RecordingFileDialog::openFile(const FileDialogOptions &options) { return next(options); }
QString RecordingFileDialog::saveFile(const FileDialogOptions &options) { return next(options); }

std::optional<QImage> RecordingPictureLoader::load(PictureSlot slot, const QString &path)
{
    m_log << (slot == PictureSlot::Battle ? QStringLiteral("battle-picture:") : QStringLiteral("picture:")) + path;
    if (path.isEmpty())
        return QImage();
    return LoadPictureFile(path);
}

RecordingMediaPlayer::RecordingMediaPlayer(MediaLog &log, const QString &kind, QObject *parent)
    : MediaPlayer(parent)
    , m_log(log)
    , m_kind(kind)
{
}

void RecordingMediaPlayer::play()
{
    m_log << m_kind + QLatin1Char(':') + m_file;
    const bool stopped = m_file.isEmpty();
    if (stopped != m_stopped) {
        m_stopped = stopped;
        Q_EMIT stoppedChanged(m_stopped);
    }
}

void RecordingMediaPlayer::stop()
{
    if (m_stopped)
        return;
    m_stopped = true;
    Q_EMIT stoppedChanged(true);
}

void RecordingMusicPlayer::stop() { m_log << QStringLiteral("midi-stop"); }
void RecordingMusicPlayer::start(const QString &file) { m_log << QStringLiteral("midi-start:") + file; }

bool RecordingLauncher::startProgram(const QString &name)
{
    started << name;
    return programFound;
}

bool RecordingLauncher::openFolder(const QString &path)
{
    launched << QStringLiteral("open-folder:") + path;
    return !launchFails;
}

bool RecordingLauncher::startDetached(const QString &program)
{
    launched << QStringLiteral("run:") + program;
    return !launchFails;
}

} // namespace fc
