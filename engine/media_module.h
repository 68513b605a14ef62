#pragma once
// Loading the media module (media_backends.h) and the ports that play through
// it. The ports exist from the start; the game program has the module's
// libraries loaded on a thread once its first frame is out (loadSoon), and
// the first port call that needs it (a sound, a movie or a song requested
// earlier) loads it at once (load), waiting for that thread if it runs.
//
// Where the module is missing or cannot be loaded, the program goes on
// without sound, music and movies, as it does without a sound device: the
// ports play nothing and report nothing, and the cause is logged once under
// "fablecraft.media" and kept in failure().

#include "engine/media_backends.h"
#include "engine/ports.h"

#include <QObject>
#include <QPointer>
#include <QStringList>

#include <functional>
#include <memory>
#include <optional>

class QThread;

namespace fc {

// File name of the module.
inline constexpr char kMediaModuleFileName[] = "fablecraft-media.so";

class MediaModule
{
public:
    // files: where the module is looked for, in order (candidates()).
    explicit MediaModule(const QStringList &files);
    // The back-ends go first; the module itself stays loaded.
    ~MediaModule();
    MediaModule(const MediaModule &) = delete;
    MediaModule &operator=(const MediaModule &) = delete;

    // Where a program in programDir looks for the module: beside itself (a
    // build), in lib/ (a game folder), then in ../lib/fablecraft (an
    // installation).
    static QStringList candidates(const QString &programDir);
    // The first candidate that is a file, or "".
    static QString find(const QString &programDir);

    // Loads the module and makes its back-ends, the first time only; true
    // when they are there. A failure is not tried again.
    bool load();
    // Has the dynamic loader load the module and its libraries on a thread
    // of its own, then finishes load() on this thread and calls `then`
    // (from the event loop). A load() meanwhile waits for the thread.
    void loadSoon(std::function<void()> then = {});
    bool attempted() const { return m_attempted; }
    // The back-ends, or nullptr before load() or when it failed.
    MediaBackends *backends() const { return m_backends.get(); }
    // Why there are no back-ends after load(): names the file and the cause.
    QString failure() const { return m_failure; }

private:
    QString findFile() const;
    // Waits for the thread of loadSoon(), if one runs.
    void joinLoader();

    QStringList m_files;
    QObject m_context; // receives the loader thread's end
    QThread *m_loader = nullptr;
    bool m_attempted = false;
    std::unique_ptr<MediaBackends> m_backends;
    QString m_failure;
};

// The sound or movie port over the module. Setting a file name loads the
// module when it is not loaded yet; with no module the player stays stopped.
class ModuleMediaPlayer : public MediaPlayer
{
    Q_OBJECT
public:
    explicit ModuleMediaPlayer(MediaModule &module, QObject *parent = nullptr);
    ~ModuleMediaPlayer() override;

    // Where pictures go: a surface made by MediaBackends::createVideoSurface.
    void setVideoOutput(QObject *surface);

    void setFileName(const QString &path) override;
    QString fileName() const override { return m_fileName; }
    void play() override;
    void stop() override;
    bool isStopped() const override;

private:
    // The back-ends' player, made (and the module loaded) on first need.
    MediaChannel *channel();

    MediaModule &m_module;
    std::unique_ptr<MediaChannel> m_channel;
    QPointer<QObject> m_surface;
    QString m_fileName;
};

// The music port over the module's MIDI player. start() of a file loads the
// module when it is not loaded yet.
class ModuleMusicPlayer : public MusicPlayer
{
public:
    explicit ModuleMusicPlayer(MediaModule &module);
    ~ModuleMusicPlayer() override;

    // The window the end-of-song notices go to (the game screen); set before
    // the first start.
    void setWindow(QObject *window) { m_window = window; }

    void stop() override;
    void start(const QString &file) override;

    // While held, a start is remembered instead of run (a later stop drops
    // it), so that the synthesizer does not compete with the first frame;
    // release() runs the remembered start.
    void hold();
    void release();

private:
    MusicPlayer *player(bool make);

    MediaModule &m_module;
    QPointer<QObject> m_window;
    std::unique_ptr<MusicPlayer> m_player;
    bool m_held = false;
    std::optional<QString> m_heldStart;
};

} // namespace fc
