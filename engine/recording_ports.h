#pragma once
// Ports that record what the engine asks of them and answer from a script:
// the text-mode player and the tests play through these instead of windows,
// dialogs and devices.

#include "engine/ports.h"

#include <QList>
#include <QStringList>

#include <deque>

namespace fc {

// Every request made to a picture, media or MIDI port, in order, as
// "picture:PATH", "battle-picture:PATH", "movie:PATH", "sound:PATH",
// "midi-stop", "midi-start:PATH".
using MediaLog = QStringList;

struct ShownMessage
{
    enum Kind { Information, Question, Critical };
    Kind kind;
    QString title;
    QString text;
};

class RecordingDialogs : public Dialogs
{
public:
    // Questions take the next queued answer, else the default answer.
    Answer defaultAnswer = Answer::Yes;
    std::deque<Answer> answers;
    QList<ShownMessage> shown;

    void information(const QString &title, const QString &text) override;
    Answer question(const QString &title, const QString &text) override;
    void critical(const QString &title, const QString &text) override;
};

class RecordingFileDialog : public FileDialog
{
public:
    // Each dialog takes the next queued name; "" (also when the queue is
    // empty) stands for a cancelled dialog.
    std::deque<QString> names;
    QList<FileDialogOptions> requests;

    QString openFile(const FileDialogOptions &options) override;
    QString saveFile(const FileDialogOptions &options) override;

private:
    QString next(const FileDialogOptions &options);
};

// Loads the picture for real (so a broken file still fails as on screen) and
// records the request.
class RecordingPictureLoader : public PictureLoader
{
public:
    explicit RecordingPictureLoader(MediaLog &log) : m_log(log) {}
    std::optional<QImage> load(PictureSlot slot, const QString &path) override;

private:
    MediaLog &m_log;
};

// A player that records each play request under its kind ("sound" or
// "movie"). It counts as playing from play() with a file name until
// finish() or stop().
class RecordingMediaPlayer : public MediaPlayer
{
    Q_OBJECT
public:
    RecordingMediaPlayer(MediaLog &log, const QString &kind, QObject *parent = nullptr);
    void setFileName(const QString &path) override { m_file = path; }
    QString fileName() const override { return m_file; }
    void play() override;
    void stop() override;
    bool isStopped() const override { return m_stopped; }
    // The media reached its end.
    void finish() { stop(); }

private:
    MediaLog &m_log;
    QString m_kind;
    QString m_file;
    bool m_stopped = true;
};

class RecordingMusicPlayer : public MusicPlayer
{
public:
    explicit RecordingMusicPlayer(MediaLog &log) : m_log(log) {}
    void stop() override;
    void start(const QString &file) override;

private:
    MediaLog &m_log;
};

class RecordingLauncher : public Launcher
{
public:
    bool programFound = false;
    QStringList started;
    QStringList opened;
    // Folders shown and programs started detached, in order, as
    // "open-folder:PATH" and "run:PATH". Both succeed unless launchFails.
    QStringList launched;
    bool launchFails = false;
    bool startProgram(const QString &name) override;
    void openUrl(const QString &url) override { opened << url; }
    bool openFolder(const QString &path) override;
    bool startDetached(const QString &program) override;
};

// Returns at once: scripted play does not wait out animations.
class InstantClock : public Clock
{
public:
    int pauses = 0;
    void pause(double) override { ++pauses; }
};

// One of each recording port, all media requests going to one log.
struct RecordingPortSet
{
    MediaLog media;
    RecordingDialogs dialogs;
    RecordingFileDialog files;
    RecordingPictureLoader pictures{media};
    RecordingMediaPlayer sound{media, QStringLiteral("sound")};
    RecordingMediaPlayer movie{media, QStringLiteral("movie")};
    RecordingMusicPlayer music{media};
    RecordingLauncher launcher;
    InstantClock clock;

    Ports ports() { return portsOf(*this); }
};

} // namespace fc
