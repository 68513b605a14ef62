#include "engine/game.h"

namespace fc {

Game::Game(GameScreen &screen, const Ports &ports, const QString &programDir, QObject *parent)
    : QObject(parent)
    , m_context(screen, ports, programDir)
    , m_pages(m_context, m_fight)
    , m_fight(m_context, m_pages)
    , m_saved(m_context)
    , m_start(m_context, m_pages)
    , m_shell(m_context)
{
    connect(&m_context, &GameContext::pictureButtonPressed, this, &Game::pictureButtonPressed);
    connect(&m_fight, &Fight::fightDecided, this, &Game::fightDecided);
    connect(&m_fight, &Fight::battleLeft, this, &Game::battleLeft);
    connect(&m_shell, &Shell::quitRequested, this, &Game::quitRequested);
}

} // namespace fc
