#pragma once
// The game engine: the operations of the game screen, on its state and ports.
// Every user event of the game screen (and every step of the text-mode player)
// is one call on one of the game's parts; the form only forwards events and
// shows GameScreen.

#include "engine/fight.h"
#include "engine/game_context.h"
#include "engine/game_screen.h"
#include "engine/page_flow.h"
#include "engine/ports.h"
#include "engine/quest_start.h"
#include "engine/saved_games.h"
#include "engine/shell.h"

#include <QObject>
#include <QString>

namespace fc {

class Game : public QObject
{
    Q_OBJECT
public:
    // programDir: folder of the running executable, without a trailing separator.
    Game(GameScreen &screen, const Ports &ports, const QString &programDir, QObject *parent = nullptr);

    GameScreen &screen() { return m_context.screen(); }

    // The parts, each the operations of one concern of the player.
    PageFlow &pages() { return m_pages; }           // presenting pages, taking choices
    Fight &fight() { return m_fight; }              // the battle box and the character
    SavedGames &savedGames() { return m_saved; }    // save and load a game
    QuestStart &questStart() { return m_start; }    // start-up and loading a quest
    Shell &shell() { return m_shell; }              // close, update, About, the panels

    // Fixes the fight's random numbers (tests and the text player's --seed).
    void setSeed(quint32 seed) { m_fight.setSeed(seed); }
    // Reads the quest's values from elsewhere than the quest file (a
    // checker's snapshot of it); an empty reader goes back to the file.
    void setQuestReader(GameContext::QuestReader reader) { m_context.setQuestReader(std::move(reader)); }

Q_SIGNALS:
    // The program is to end (close request answered, auto update started).
    void quitRequested();
    // The press animation of a picture button: pressed moves it 50 twips right
    // and down, released moves it back.
    void pictureButtonPressed(fc::PressedButton button, bool pressed);
    // The deciding blow of a fight fell: won is true when the monster fell.
    void fightDecided(bool won);
    // A fight ended (won, lost or escaped) and the page it led to has been
    // presented; the battle box is open again only if that page is a battle.
    void battleLeft();

private:
    GameContext m_context;
    PageFlow m_pages;
    Fight m_fight;
    SavedGames m_saved;
    QuestStart m_start;
    Shell m_shell;
};

} // namespace fc
