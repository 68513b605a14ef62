#include "engine/game_context.h"
#include "engine/game_part.h"
#include "engine/rules.h"
#include "engine/skip.h"
#include "storage/profile_store.h"
#include "storage/quest_format.h"

namespace fc {

GamePart::GamePart(GameContext &context, QObject *parent)
    : QObject(parent)
    , m_ctx(context)
    , m_screen(context.screen())
    , m_ports(context.ports())
{
}

GameContext::GameContext(GameScreen &screen, const Ports &ports, const QString &programDir, QObject *parent)
    : QObject(parent)
    , m_screen(screen)
    , m_ports(ports)
    , m_programDir(programDir)
{
    // The movie panel shows only while the movie plays: follow the player's
    // state instead of polling it.
    if (m_ports.movie)
        connect(m_ports.movie, &MediaPlayer::stoppedChanged, this, [this](bool stopped) {
            if (stopped)
                m_screen.view().setMoviePanelVisible(false);
        });
}

QString GameContext::questRead(const QString &section, const QString &key) const
{
    if (m_questReader)
        return m_questReader(section, key);
    return ReadIni(m_screen.state().questFile(), section, key);
}

void GameContext::setQuestReader(QuestReader reader)
{
    m_questReader = std::move(reader);
}

QString GameContext::pageRead(const QString &key) const
{
    return questRead(m_screen.state().page(), key);
}

QString GameContext::launchFileRead(const QString &section, const QString &key) const
{
    return ReadIni(m_programDir + QLatin1Char('/') + quest::kLaunchFile, section, key);
}

QString GameContext::mediaPath(const QString &value) const
{
    return rules::mediaPath(m_screen.state().questFile(), value);
}

void GameContext::loadPagePicture(const QString &value)
{
    if (value.isEmpty() || !m_ports.pictures)
        return;
    if (auto image = m_ports.pictures->load(PictureSlot::Page, mediaPath(value)))
        m_screen.view().setPagePicture(*image);
}

void GameContext::playSound(const QString &value)
{
    skipOnFailure([&] {
        if (!m_ports.sound)
            return;
        m_ports.sound->setFileName(mediaPath(value));
        m_ports.sound->play();
    });
}

void GameContext::playMovie(const QString &value)
{
    skipOnFailure([&] {
        if (value.isEmpty() || !m_ports.movie)
            return;
        m_screen.view().setMoviePanelVisible(true);
        m_ports.movie->setFileName(mediaPath(value));
        m_ports.movie->play();
        if (m_ports.movie->isStopped()) // nothing to play: the panel hides again
            m_screen.view().setMoviePanelVisible(false);
    });
}

bool GameContext::mayEndGame() const
{
    return !m_screen.state().questLoaded()
           || (m_ports.dialogs
               && m_ports.dialogs->question(QStringLiteral("WARNING!!!!"),
                                            QStringLiteral("Are you sure? This will end the current game without saving!"))
                      == Answer::Yes);
}

void GameContext::stopMusic()
{
    skipOnFailure([&] {
        if (m_ports.music)
            m_ports.music->stop();
    });
}

void GameContext::startMusic(const QString &value)
{
    skipOnFailure([&] {
        if (m_ports.music)
            m_ports.music->start(mediaPath(value));
    });
}

void GameContext::pressAnimation(PressedButton button)
{
    Q_EMIT pictureButtonPressed(button, true);
    if (m_ports.clock)
        m_ports.clock->pause(0.2);
    Q_EMIT pictureButtonPressed(button, false);
}

} // namespace fc
