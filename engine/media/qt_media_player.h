#pragma once
// A media player control on Qt Multimedia, for the page sound (`playmp3`) and
// the movie (`Movie`). MP3, WAV and AVI play through Qt's GStreamer backend;
// without a sound device GStreamer plays into a silent sink in real time and
// still reports the end.
//
// Contracts beyond MediaPlayer's:
// - setFileName() stops what plays and loads the file; "" unloads. play() then
//   starts it from its beginning (also the same file again); with no file it
//   does nothing.
// - A file that cannot be played ends in the stopped state; nothing is shown.
// - No call waits for GStreamer, except one: replacing or stopping a movie
//   while its pictures are being shown waits up to 0.3 s for Qt's video sink
//   (Qt 6.4). Sounds, loading files and failed files cost milliseconds.
// - stoppedChanged() reports the state once control is back in the event
//   loop, like a control whose state is read by a timer: a stop immediately
//   followed by a play in the same handler (a new file replacing a playing
//   one) reports nothing. isStopped() gives the state at any time.

#include "engine/ports.h"

#include <QPointer>

class QAudioOutput;
class QMediaDevices;
class QMediaPlayer;
class QTimer;

namespace fc {

class QtMediaPlayer : public MediaPlayer
{
    Q_OBJECT
public:
    explicit QtMediaPlayer(QObject *parent = nullptr);
    ~QtMediaPlayer() override;

    // Where pictures go: a QVideoWidget, a QVideoSink or a QGraphicsVideoItem;
    // nullptr plays the sound only. May be set or changed at any time.
    void setVideoOutput(QObject *output);
    QObject *videoOutput() const { return m_videoOutput; }

    void setFileName(const QString &path) override;
    QString fileName() const override { return m_fileName; }
    void play() override;
    void stop() override;
    bool isStopped() const override;

    // Null until the first file.
    QMediaPlayer *mediaPlayer() const { return m_player; }

private:
    void createPlayer();
    bool idle() const;
    void replacePlayer();
    void failed();
    void stateChanged();
    void publish();

    QMediaPlayer *m_player;
    QAudioOutput *m_audio;
    QMediaDevices *m_devices;
    QTimer *m_publish;
    QPointer<QObject> m_videoOutput;
    QString m_fileName;
    bool m_failed = false; // the file cannot be played; m_player must not be used again
    bool m_reportedStopped = true;
};

} // namespace fc
