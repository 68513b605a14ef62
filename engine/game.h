#pragma once
// The game engine: the operations of the game screen, on its state and ports.
// Every user event of the game screen (and every step of the text-mode player)
// is one call here; the form only forwards events and shows GameScreen.

#include "engine/game_screen.h"
#include "engine/ports.h"

#include <QString>

namespace fc {

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

class Game : public QObject
{
    Q_OBJECT
public:
    // programDir: folder of the running executable, without a trailing separator.
    Game(GameScreen &screen, const Ports &ports, const QString &programDir, QObject *parent = nullptr);

    GameScreen &screen() { return m_screen; }
    const QString &programDir() const { return m_programDir; }
    // True while the program runs as a packaged game (launch file names a quest).
    bool packaged() const { return m_packaged; }

    // --- start-up and quest loading ----------------------------------------
    void startUp();        // the screen is loaded: reads game.dat
    void menuLoadQuest();  // mnuloadquest
    void clickLoadQuest(); // Image1: as the menu, then hide the menu panel
    void menuNewGame();    // mnunewgame: the default adventure, reduced start
    void clickBook();      // Image11: restart a packaged game
    void menuWhatsNew();   // mnunew

    // --- choices -----------------------------------------------------------
    bool selectOption(int i); // 0..3; false when that option is hidden
    void clickPicture1();     // press animation, then PlayTurn
    void clickChoose();       // Command1: the reduced choice step

    // --- page presenter ----------------------------------------------------
    void AppendStoryHeader();
    void AppendPage(const QString &page);
    void ShowOptions(const QString &page);
    void BeginQuest();
    void PresentPage();
    void PlayTurn();
    void ApplyChoice();
    static QString FindItem(const QStringList &list, const QString &item);

    // Hook for the battle: called when a battle page is presented.
    virtual void Battle();

Q_SIGNALS:
    // The press animation of a picture button: offset in twips (0 when back).
    void pictureButtonPressed(const QString &objectName, bool pressed);

protected:
    QString questRead(const QString &section, const QString &key) const;
    QString pageRead(const QString &key) const; // key of the page in pg
    void playMusic(const QString &file);
    void stopMusic();

    GameScreen &m_screen;
    Ports m_ports;
    QString m_programDir;
    bool m_packaged = false;
};

} // namespace fc
