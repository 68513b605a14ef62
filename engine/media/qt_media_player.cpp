#include "engine/media/qt_media_player.h"

#include <QAudioDevice>
#include <QAudioOutput>
#include <QFileInfo>
#include <QMediaDevices>
#include <QMediaPlayer>
#include <QTimer>
#include <QUrl>

namespace fc {

QtMediaPlayer::QtMediaPlayer(QObject *parent)
    : MediaPlayer(parent),
      m_player(nullptr),
      m_audio(new QAudioOutput(this)),
      m_devices(new QMediaDevices(this)),
      m_publish(new QTimer(this))
{
    createPlayer();
    m_publish->setSingleShot(true);
    m_publish->setInterval(0);
    connect(m_publish, &QTimer::timeout, this, &QtMediaPlayer::publish);
    // A sound device that appears or changes while the program runs is used
    // from then on.
    connect(m_devices, &QMediaDevices::audioOutputsChanged, this,
            [this] { m_audio->setDevice(QMediaDevices::defaultAudioOutput()); });
}

QtMediaPlayer::~QtMediaPlayer() = default;

void QtMediaPlayer::createPlayer()
{
    m_player = new QMediaPlayer(this);
    m_player->setAudioOutput(m_audio);
    if (m_videoOutput)
        m_player->setVideoOutput(m_videoOutput.data());
    connect(m_player, &QMediaPlayer::playbackStateChanged, this, &QtMediaPlayer::stateChanged);
    connect(m_player, &QMediaPlayer::errorOccurred, this, &QtMediaPlayer::failed);
    connect(m_player, &QMediaPlayer::mediaStatusChanged, this, [this](QMediaPlayer::MediaStatus status) {
        if (status == QMediaPlayer::InvalidMedia)
            failed();
    });
}

void QtMediaPlayer::failed()
{
    // GStreamer reports an unreadable file but leaves the player "playing",
    // and its pipeline then blocks stop() and setSource() for a second each.
    // So the file counts as ended, and the player is replaced, not reused,
    // at the next file name.
    if (m_failed)
        return;
    m_failed = true;
    stateChanged();
}

void QtMediaPlayer::setVideoOutput(QObject *output)
{
    m_videoOutput = output;
    if (!m_failed)
        m_player->setVideoOutput(output);
}

void QtMediaPlayer::setFileName(const QString &path)
{
    m_fileName = path;
    if (m_failed) {
        delete m_player;
        createPlayer();
        m_failed = false;
    } else {
        m_player->stop();
    }
    if (!path.isEmpty() && !QFileInfo(path).isFile()) {
        // Nothing to hand to GStreamer: a missing file is a failed one.
        m_player->setSource(QUrl());
        failed();
        return;
    }
    m_player->setSource(path.isEmpty() ? QUrl() : QUrl::fromLocalFile(path));
    stateChanged();
}

void QtMediaPlayer::play()
{
    if (m_fileName.isEmpty() || m_failed)
        return;
    if (m_player->mediaStatus() == QMediaPlayer::EndOfMedia)
        m_player->setPosition(0);
    m_player->play();
}

void QtMediaPlayer::stop()
{
    if (!m_failed)
        m_player->stop();
}

bool QtMediaPlayer::isStopped() const
{
    return m_failed || m_player->playbackState() == QMediaPlayer::StoppedState;
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
