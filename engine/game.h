#pragma once
// The game engine: the operations of the game screen, on its state and ports.
// Every user event of the game screen (and every step of the text-mode player)
// is one call here; the form only forwards events and shows GameScreen.

#include "engine/game_screen.h"
#include "engine/ports.h"

#include <QDateTime>
#include <QRandomGenerator>
#include <QString>

#include <functional>

namespace fc {

// The picture buttons the game presses by itself.
enum class PressedButton { Choose /* Picture1 */, Inventory /* Picture3 */ };

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
    // Plays a quest file as the load menu does once a file is chosen (a quest
    // named on the command line, or opened from the file manager).
    void openQuest(const QString &path);
    // Where "&New Game" finds the default adventure: VellumAdventure.qst in
    // the program directory, else in the data folder of an installation
    // (program directory/../share/fablecraft).
    QString defaultAdventure() const;

    // --- choices -----------------------------------------------------------
    bool selectOption(int i); // 0..3; false when that option is hidden
    void pressPlayTurn();     // press animation, then PlayTurn
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

    // --- battle ------------------------------------------------------------
    void Battle();        // opens the battle of the current page
    void clickAttack();   // Command3
    void clickEscape();   // Command4
    void clickItem();     // Command5: the inventory panel

    // --- saved games -------------------------------------------------------
    void menuSave();          // mnusave and Image6
    void menuLoad();          // mnuload: restores the inventory too
    void clickLoadGame();     // Image2: without the inventory, hides the menu panel

    // --- shell -------------------------------------------------------------
    // The close request (close box, mnuexit, Image10). Returns true when the
    // program is to end.
    bool closeRequest();
    // mnuauto and Label15. Returns true when the updater started and the
    // program is to end at once.
    bool menuAutoUpdate();
    void openWebSite();           // Label14
    void menuAbout();             // mnuabout and Image7
    void clickResume();           // Image5
    void clickMenu();             // Image4 and Label16
    void openInventory();         // Command6 and Picture3 (after its press animation)
    void pressInventory();         // press animation, then the inventory panel
    void closeInventory();        // Command8
    void closeCharacterPanel();   // Esc on the character panel: the quest's own values stand
    void reRollCharacter();       // Command10; fills the character panel's numbers
    void createCharacter();       // Command9: takes the panel's values, or says why not

    // --- endings: a page without choices offers these ----------------------
    void clickPlayAgain();        // the quest again from page 1, as loading it starts it
    void clickEndingLoadGame();   // the saved-game load of the menu
    void clickEndingMenu();       // the menu panel

    // Test play of the editor's working copy.
    void LoadTmpGame();

    // The maker's web-site address (caption of Label14).
    static const QString kWebSite;

    // Fixes the fight's random numbers (tests and the text player's --seed).
    void setSeed(quint32 seed);

    // Reads the quest's values from elsewhere than the file named in questfil
    // (a checker's snapshot of it); an empty reader goes back to the file.
    using QuestReader = std::function<QString(const QString &section, const QString &key)>;
    void setQuestReader(QuestReader reader);

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

protected:
    QString questRead(const QString &section, const QString &key) const;
    QString pageRead(const QString &key) const; // key of the page in pg
    // A media path as the ports get it: relative paths are taken from the
    // quest file's folder, so a quest and its media travel together.
    QString mediaPath(const QString &value) const;
    void loadPagePicture(const QString &value);
    // Media requests, each skipped silently when it fails. The values are as
    // read from the quest; startMusic runs the start sequence also for "".
    void playSound(const QString &value);
    void playMovie(const QString &value); // "" leaves the movie panel alone
    void stopMusic();
    void startMusic(const QString &value);
    void startQuestAt1(); // BeginQuest then PlayTurn, the common start of a turn-based entry
    void pressAnimation(PressedButton button);
    QString launchFileRead(const QString &section, const QString &key) const;
    void packagedStart(bool clearInventory);
    // The load of a saved game; true when the game was restored.
    bool loadSavedGame(bool withInventory);
    // The fight.
    void startCharacter();
    void showPlayerHp();
    void leaveBattleTo(const QString &page);
    void enterPageFromBattle(const QString &page);

    GameScreen &m_screen;
    Ports m_ports;
    QString m_programDir;
    bool m_packaged = false;
    QRandomGenerator m_random{quint32(QDateTime::currentMSecsSinceEpoch())};
    // The fight: the player's hit points carry over from battle to battle.
    int m_playerHp = 0;
    int m_playerMaxHp = 0;
    int m_monsterHp = 0;
    bool m_characterCreated = false;
    QuestReader m_questReader;
    // The created character's values; they stand for the quest's.
    int m_characterHp = 0;
    int m_characterAtk = 0;
    int m_characterDef = 0;
};

} // namespace fc
