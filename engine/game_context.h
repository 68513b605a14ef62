#pragma once
// What every part of the game works on: the screen, the ports, the program
// folder and the quest being played, with the reads and media requests the
// parts share.

#include "engine/game_screen.h"
#include "engine/ports.h"

#include <QObject>
#include <QString>

#include <functional>

namespace fc {

// The picture buttons the game presses by itself.
enum class PressedButton { Choose /* Picture1 */, Inventory /* Picture3 */ };

class GameContext : public QObject
{
    Q_OBJECT
public:
    // programDir: folder of the running executable, without a trailing separator.
    GameContext(GameScreen &screen, const Ports &ports, const QString &programDir, QObject *parent = nullptr);

    GameScreen &screen() const { return m_screen; }
    const Ports &ports() const { return m_ports; }
    const QString &programDir() const { return m_programDir; }

    // Reads the quest's values from elsewhere than the file named in the
    // screen's quest file (a checker's snapshot of it); an empty reader goes
    // back to the file.
    using QuestReader = std::function<QString(const QString &section, const QString &key)>;
    void setQuestReader(QuestReader reader);

    QString questRead(const QString &section, const QString &key) const;
    QString pageRead(const QString &key) const; // key of the current page
    // A value of the launch file beside the program (a packaged game's).
    QString launchFileRead(const QString &section, const QString &key) const;
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
    // Asks before the game in play is given up (a close, another quest):
    // true when no quest is loaded or the player answers Yes; false without
    // dialogs to ask with.
    bool mayEndGame() const;
    // Presses a picture button and lets it go again a moment later.
    void pressAnimation(PressedButton button);

Q_SIGNALS:
    // The press animation of a picture button: pressed moves it 50 twips right
    // and down, released moves it back.
    void pictureButtonPressed(fc::PressedButton button, bool pressed);

private:
    GameScreen &m_screen;
    Ports m_ports;
    QString m_programDir;
    QuestReader m_questReader;
};

} // namespace fc
