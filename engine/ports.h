#pragma once
// Ports: everything the engine asks of the platform. Each has a Qt
// implementation in the forms layer and a recording fake for the tests and the
// text-mode player. No port call may throw past the engine.

#include <QImage>
#include <QObject>
#include <QString>

#include <optional>

namespace fc {

enum class Answer { Yes, No };

// Modal message boxes. An empty title stands for a box without a title of its
// own (the platform then shows the program's name).
class Dialogs
{
public:
    virtual ~Dialogs() = default;
    // OK button, no icon.
    virtual void information(const QString &title, const QString &text) = 0;
    // Yes and No buttons, warning icon.
    virtual Answer question(const QString &title, const QString &text) = 0;
    // OK button, critical-stop icon.
    virtual void critical(const QString &title, const QString &text) = 0;
    // As question(), with No as the default button (the one Enter presses).
    virtual Answer questionDefaultNo(const QString &title, const QString &text) { return question(title, text); }
};

struct FileDialogOptions
{
    QString initialDir;
    QString filter;     // as "*.qst|*.qst": description|pattern pairs
    QString defaultExt; // without the dot; "" for none
    QString fileName;   // remembered name offered first
};

// The common file dialog. Each returns the chosen full path, or "" when the
// user cancelled.
class FileDialog
{
public:
    virtual ~FileDialog() = default;
    virtual QString openFile(const FileDialogOptions &options) = 0;
    virtual QString saveFile(const FileDialogOptions &options) = 0;
};

// Which image control a picture goes to.
enum class PictureSlot { Page /* Image3 */, Battle /* Picture4 */ };

// Loads a picture file. An empty path asks for "no picture" (a null image);
// nullopt means the file could not be loaded and the control keeps its picture.
class PictureLoader
{
public:
    virtual ~PictureLoader() = default;
    virtual std::optional<QImage> load(PictureSlot slot, const QString &path) = 0;
};

// A media player control (page sound, movie): file name, play, stop, state.
// stoppedChanged() is emitted whenever the player enters or leaves the stopped
// state, so observers need no polling.
class MediaPlayer : public QObject
{
    Q_OBJECT
public:
    using QObject::QObject;
    virtual void setFileName(const QString &path) = 0;
    virtual QString fileName() const = 0;
    virtual void play() = 0;
    virtual void stop() = 0;
    virtual bool isStopped() const = 0;
Q_SIGNALS:
    void stoppedChanged(bool stopped);
};

// Looping MIDI music: the program-wide player's start and stop sequences.
// start() replaces whatever plays; an empty or unplayable file plays nothing.
class MusicPlayer
{
public:
    virtual ~MusicPlayer() = default;
    virtual void stop() = 0;
    virtual void start(const QString &file) = 0;
};

// Starting other programs and opening addresses.
class Launcher
{
public:
    virtual ~Launcher() = default;
    // Starts a program found by bare name (program directory first, then the
    // search path), maximized; false when it cannot be started.
    virtual bool startProgram(const QString &name) = 0;
    virtual void openUrl(const QString &url) = 0;
    // Shows a folder in the desktop's file manager; false when none opens.
    virtual bool openFolder(const QString &path) { (void)path; return false; }
    // Starts the program at this full path on its own, not waiting for it
    // and not ending with this program; false when it cannot be started.
    virtual bool startDetached(const QString &program) { (void)program; return false; }
};

// Waiting while events go on being handled.
class Clock
{
public:
    virtual ~Clock() = default;
    virtual void pause(double seconds) = 0;
};

// The ports the engine works through. All must outlive the Game.
struct Ports
{
    Dialogs *dialogs = nullptr;
    FileDialog *fileDialog = nullptr;
    PictureLoader *pictures = nullptr;
    MediaPlayer *sound = nullptr; // playmp3
    MediaPlayer *movie = nullptr; // Movie in MovBox
    MusicPlayer *music = nullptr; // the program-wide MIDI player
    Launcher *launcher = nullptr;
    Clock *clock = nullptr;
};

// The Ports over a set that holds one of each port as its members dialogs,
// files, pictures, sound, movie, music, launcher and clock: the program's
// platform ports, the recording ports and the tests' mixed sets alike.
template <typename Set> Ports portsOf(Set &set)
{
    Ports p;
    p.dialogs = &set.dialogs;
    p.fileDialog = &set.files;
    p.pictures = &set.pictures;
    p.sound = &set.sound;
    p.movie = &set.movie;
    p.music = &set.music;
    p.launcher = &set.launcher;
    p.clock = &set.clock;
    return p;
}

} // namespace fc
