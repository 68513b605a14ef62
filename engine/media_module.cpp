#include "engine/media_module.h"

#include <QDir>
#include <QFileInfo>
#include <QLibrary>
#include <QLoggingCategory>
#include <QThread>

#include <utility>

Q_LOGGING_CATEGORY(lcMedia, "fablecraft.media", QtWarningMsg)

namespace fc {

namespace {
// The first of files that is a file, "" when none is.
QString firstFile(const QStringList &files)
{
    for (const QString &file : files)
        if (QFileInfo(file).isFile())
            return file;
    return {};
}
} // namespace

MediaModule::MediaModule(const QStringList &files) : m_files(files) {}

MediaModule::~MediaModule()
{
    joinLoader();
    m_backends.reset();
}

QString MediaModule::findFile() const
{
    return firstFile(m_files);
}

void MediaModule::joinLoader()
{
    if (!m_loader)
        return;
    m_loader->wait();
    delete m_loader;
    m_loader = nullptr;
}

void MediaModule::loadSoon(std::function<void()> then)
{
    const auto finish = [this, then = std::move(then)] {
        load();
        if (then)
            then();
    };
    const QString file = findFile();
    if (m_attempted || m_loader || file.isEmpty()) {
        QMetaObject::invokeMethod(&m_context, finish, Qt::QueuedConnection);
        return;
    }
    // Mapping the libraries is most of the cost and needs no event loop; the
    // back-ends are made here, on this thread, once it is done.
    m_loader = QThread::create([file] { QLibrary(file).load(); });
    QObject::connect(m_loader, &QThread::finished, &m_context, finish);
    m_loader->start(QThread::LowPriority);
}

QStringList MediaModule::candidates(const QString &programDir)
{
    const QDir dir(programDir);
    const QString name = QLatin1String(kMediaModuleFileName);
    return {dir.filePath(name), dir.filePath(QStringLiteral("lib/") + name),
            QDir::cleanPath(dir.filePath(QStringLiteral("../lib/fablecraft/") + name))};
}

QString MediaModule::find(const QString &programDir)
{
    return firstFile(candidates(programDir));
}

bool MediaModule::load()
{
    if (m_attempted)
        return m_backends != nullptr;
    joinLoader();
    m_attempted = true;
    const QString file = findFile();
    if (file.isEmpty()) {
        m_failure = QStringLiteral("the media module %1 was not found (looked for %2)")
                        .arg(QLatin1String(kMediaModuleFileName), m_files.join(QStringLiteral(", ")));
    } else {
        // Never unloaded: the media libraries keep threads and state until
        // the program ends.
        QLibrary library(file);
        if (!library.load()) {
            m_failure = QStringLiteral("the media module %1 could not be loaded: %2").arg(file, library.errorString());
        } else if (auto entry = reinterpret_cast<MediaModuleEntry>(library.resolve(kMediaModuleEntry)); !entry) {
            m_failure = QStringLiteral("%1 is not a media module of this program: %2").arg(file, library.errorString());
        } else if (m_backends.reset(entry(kMediaInterfaceVersion)); !m_backends) {
            m_failure = QStringLiteral("the media module %1 belongs to another version of this program").arg(file);
        }
    }
    if (!m_backends)
        qCWarning(lcMedia, "Sound, music and movies are off: %s", qUtf8Printable(m_failure));
    return m_backends != nullptr;
}

// --- sound and movie --------------------------------------------------------

ModuleMediaPlayer::ModuleMediaPlayer(MediaModule &module, QObject *parent) : MediaPlayer(parent), m_module(module) {}

ModuleMediaPlayer::~ModuleMediaPlayer() = default;

MediaChannel *ModuleMediaPlayer::channel()
{
    if (!m_channel && m_module.load()) {
        m_channel = m_module.backends()->createPlayer();
        m_channel->setStoppedHandler([this](bool stopped) { Q_EMIT stoppedChanged(stopped); });
        if (m_surface)
            m_channel->setVideoOutput(m_surface);
    }
    return m_channel.get();
}

void ModuleMediaPlayer::setVideoOutput(QObject *surface)
{
    m_surface = surface;
    if (m_channel)
        m_channel->setVideoOutput(surface);
}

void ModuleMediaPlayer::setFileName(const QString &path)
{
    m_fileName = path;
    // Unloading needs no player where none was made.
    if (MediaChannel *c = path.isEmpty() ? m_channel.get() : channel())
        c->setFileName(path);
}

void ModuleMediaPlayer::play()
{
    if (m_fileName.isEmpty())
        return;
    if (MediaChannel *c = channel())
        c->play();
}

void ModuleMediaPlayer::stop()
{
    if (m_channel)
        m_channel->stop();
}

bool ModuleMediaPlayer::isStopped() const
{
    return !m_channel || m_channel->isStopped();
}

// --- music ------------------------------------------------------------------

ModuleMusicPlayer::ModuleMusicPlayer(MediaModule &module) : m_module(module) {}

ModuleMusicPlayer::~ModuleMusicPlayer() = default;

MusicPlayer *ModuleMusicPlayer::player(bool make)
{
    if (!m_player && make && m_module.load())
        m_player = m_module.backends()->createMusicPlayer(m_window);
    return m_player.get();
}

void ModuleMusicPlayer::stop()
{
    m_heldStart.reset();
    // Before the first song there is nothing to stop.
    if (MusicPlayer *p = player(false))
        p->stop();
}

void ModuleMusicPlayer::start(const QString &file)
{
    if (m_held) {
        m_heldStart = file;
        return;
    }
    // No file replaces nothing where nothing plays yet.
    if (MusicPlayer *p = player(!file.isEmpty()))
        p->start(file);
}

void ModuleMusicPlayer::hold()
{
    m_held = true;
}

void ModuleMusicPlayer::release()
{
    m_held = false;
    if (std::optional<QString> file = std::exchange(m_heldStart, std::nullopt))
        start(*file);
}

} // namespace fc
