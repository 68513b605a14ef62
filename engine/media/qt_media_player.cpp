#include "engine/media/qt_media_player.h"

#include "storage/regular_file.h"

#include <limits>

#include <QAudioDevice>
#include <QAudioOutput>
#include <QFileInfo>
#include <QLoggingCategory>
#include <QMediaDevices>
#include <QMediaPlayer>
#include <QTimer>
#include <QUrl>

Q_LOGGING_CATEGORY(lcMediaPlayer, "fablecraft.media.player", QtWarningMsg)

namespace fc {

QtMediaPlayer::QtMediaPlayer(QObject *parent)
    : MediaPlayer(parent),
      m_player(nullptr),
      m_audio(nullptr),
      m_devices(nullptr),
      m_publish(new QTimer(this))
{
    // The player and its outputs are made with the first file: a game whose
    // pages have no sound or movie never starts the media framework.
    m_publish->setSingleShot(true);
    m_publish->setInterval(0);
    connect(m_publish, &QTimer::timeout, this, &QtMediaPlayer::publish);
}

QtMediaPlayer::~QtMediaPlayer() = default;

void QtMediaPlayer::createPlayer()
{
    if (!m_audio) {
        m_audio = new QAudioOutput(this);
        m_devices = new QMediaDevices(this);
        // A sound device that appears or changes while the program runs is
        // used from then on.
        connect(m_devices, &QMediaDevices::audioOutputsChanged, this,
                [this] { m_audio->setDevice(QMediaDevices::defaultAudioOutput()); });
    }
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
    // GStreamer reports an unreadable file but leaves the player "playing".
    // The file counts as ended; the player is replaced at the next call.
    if (m_failed)
        return;
    m_failed = true;
    stateChanged();
}

bool QtMediaPlayer::idle() const
{
    return !m_failed
        && (!m_player
            || (m_player->playbackState() == QMediaPlayer::StoppedState
                && m_player->mediaStatus() != QMediaPlayer::LoadingMedia));
}

void QtMediaPlayer::replacePlayer()
{
    // Stopping a GStreamer pipeline that is loading or has failed waits a
    // second for its state change on this thread; dropping the player and
    // making a new one costs milliseconds. The old one lets go of the audio
    // and video outputs before the new one takes them.
    if (m_player) {
        m_player->disconnect(this);
        delete m_player;
    }
    createPlayer();
    m_failed = false;
}

void QtMediaPlayer::setVideoOutput(QObject *output)
{
    m_videoOutput = output;
    if (m_player)
        m_player->setVideoOutput(output);
}

void QtMediaPlayer::setFileName(const QString &path)
{
    qCDebug(lcMediaPlayer) << this << "file name" << path;
    m_fileName = path;
    if (path.isEmpty() && !m_player) {
        stateChanged();
        return;
    }
    if (!m_player || !idle())
        replacePlayer();
    // Streamed, so no size limit; but a FIFO or device would stall the
    // back-end. Nothing to hand to it: a missing file is a failed one.
    if (!path.isEmpty() && CheckRegularFile(path, std::numeric_limits<qint64>::max()) != FileStatus::Ok) {
        m_player->setSource(QUrl());
        failed();
        return;
    }
    m_player->setSource(path.isEmpty() ? QUrl() : QUrl::fromLocalFile(path));
    stateChanged();
}

void QtMediaPlayer::play()
{
    qCDebug(lcMediaPlayer) << this << "play" << m_fileName;
    if (m_fileName.isEmpty() || m_failed)
        return;
    if (!m_player)
        createPlayer();
    if (m_player->source().isEmpty())
        m_player->setSource(QUrl::fromLocalFile(m_fileName));
    else if (m_player->mediaStatus() == QMediaPlayer::EndOfMedia)
        m_player->setPosition(0);
    m_player->play();
}

void QtMediaPlayer::stop()
{
    qCDebug(lcMediaPlayer) << this << "stop";
    if (m_failed || idle())
        return;
    replacePlayer(); // the file is loaded again by the next play()
    stateChanged();
}

bool QtMediaPlayer::isStopped() const
{
    return m_failed || !m_player || m_player->playbackState() == QMediaPlayer::StoppedState;
}

void QtMediaPlayer::stateChanged()
{
    // Collapse the changes of one handler into one report.
    m_publish->start();
}

void QtMediaPlayer::publish()
{
    const bool stopped = isStopped();
    qCDebug(lcMediaPlayer) << this << "state" << (m_player ? m_player->playbackState() : QMediaPlayer::StoppedState)
                           << (m_failed ? "failed" : "");
    if (stopped == m_reportedStopped)
        return;
    m_reportedStopped = stopped;
    Q_EMIT stoppedChanged(stopped);
}

} // namespace fc
