#pragma once
// The shell around play: the close request, auto update, the web site, About
// and What's New, the menu panel and the inventory panel.

#include "engine/game_part.h"

#include <QObject>
#include <QString>

namespace fc {

class GameContext;
class GameScreen;
struct Ports;

class Shell : public GamePart
{
    Q_OBJECT
public:
    explicit Shell(GameContext &context, QObject *parent = nullptr);

    // The close request (close box, mnuexit, Image10). Returns true when the
    // program is to end.
    bool closeRequest();
    // mnuauto and Label15. Returns true when the updater started and the
    // program is to end at once.
    bool menuAutoUpdate();
    void openWebSite();  // Label14
    void menuAbout();    // mnuabout and Image7
    void menuWhatsNew(); // mnunew

    void clickResume();     // Image5
    void clickMenu();       // Image4 and Label16
    void clickEndingMenu(); // the ending's offer of the menu panel

    void openInventory();  // Command6 and Picture3 (after its press animation)
    void pressInventory(); // press animation, then the inventory panel
    void closeInventory(); // Command8

    // The maker's web-site address (caption of Label14).
    static const QString kWebSite;

Q_SIGNALS:
    // The program is to end (close request answered, auto update started).
    void quitRequested();

private:
};

} // namespace fc
