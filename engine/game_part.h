#pragma once
// A part of the game (the page flow, the fight, saved games, the quest's
// start, the shell): what each works on, taken from the context they share.

#include <QObject>

namespace fc {

class GameContext;
class GameScreen;
struct Ports;

class GamePart : public QObject
{
public:
    GamePart(GameContext &context, QObject *parent);

protected:
    GameContext &m_ctx;
    GameScreen &m_screen;
    const Ports &m_ports;
};

} // namespace fc
