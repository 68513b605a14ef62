#include "engine/media/qt_media_player.h"

#include <QAudioDevice>
#include <QAudioOutput>
#include <QMediaDevices>
#include <QMediaPlayer>
#include <QTimer>
#include <QUrl>

namespace fc {

QtMediaPlayer::QtMediaPlayer(QObject *parent)
    : MediaPlayer(parent),
      m_player(new QMediaPlayer(this)),
      m_audio(new QAudioOutput(this)),
      m_devices(new QMediaDevices(this)),
      m_publish(new QTimer(this))
{
    m_player->setAudioOutput(m_audio);
    m_publish->setSingleShot(true);
    m_publish->setInterval(0);
    connect(m_publish, &QTimer::timeout, this, &QtMediaPlayer::publish);
    connect(m_player, &QMediaPlayer::playbackStateChanged, this, &QtMediaPlayer::stateChanged);
    // GStreamer reports a missing or unreadable file as an error but leaves
    // the player in the playing state; such a file has ended.
    connect(m_player, &QMediaPlayer::mediaStatusChanged, this, [this](QMediaPlayer::MediaStatus status) {
        if (status == QMediaPlayer::InvalidMedia)
            m_player->stop();
    });
    connect(m_player, &QMediaPlayer::errorOccurred, this, [this] {
        if (m_player->playbackState() != QMediaPlayer::StoppedState)
            m_player->stop();
    });
    // A sound device that appears or changes while the program runs is used
    // from the next play on.
    connect(m_devices, &QMediaDevices::audioOutputsChanged, this,
            [this] { m_audio->setDevice(QMediaDevices::defaultAudioOutput()); });
}

QtMediaPlayer::~QtMediaPlayer() = default;

void QtMediaPlayer::setVideoOutput(QObject *output)
{
    m_videoOutput = output;
    m_player->setVideoOutput(output);
}

void QtMediaPlayer::setFileName(const QString &path)
{
    m_fileName = path;
    m_player->stop();
    m_player->setSource(path.isEmpty() ? QUrl() : QUrl::fromLocalFile(path));
}

void QtMediaPlayer::play()
{
    if (m_fileName.isEmpty())
        return;
    if (m_player->mediaStatus() == QMediaPlayer::InvalidMedia)
        return; // already known unplayable: it would only report its error again
    if (m_player->mediaStatus() == QMediaPlayer::EndOfMedia)
        m_player->setPosition(0);
    m_player->play();
}

void QtMediaPlayer::stop()
{
    m_player->stop();
}

bool QtMediaPlayer::isStopped() const
{
    return m_player->playbackState() == QMediaPlayer::StoppedState;
}

void QtMediaPlayer::stateChanged()
{
    // Collapse the changes of one handler into one report.
    m_publish->start();
}

void QtMediaPlayer::publish()
{
    const bool stopped = isStopped();
    if (stopped == m_reportedStopped)
        return;
    m_reportedStopped = stopped;
    Q_EMIT stoppedChanged(stopped);
}

} // namespace fc
