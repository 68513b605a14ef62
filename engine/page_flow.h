#pragma once
// The page flow: presenting the current page of the quest (the captions gated
// by the items held, picture, movie, sound, music, battle) and taking the
// chosen option to its destination page.

#include "engine/game_part.h"

#include <QObject>
#include <QString>
#include <QStringList>

namespace fc {

class Fight;
class GameContext;
class GameScreen;

class PageFlow : public GamePart
{
    Q_OBJECT
public:
    // fight opens the battles of battle pages and starts the character; it
    // may be constructed after this object.
    PageFlow(GameContext &context, Fight &fight, QObject *parent = nullptr);

    // --- choices -----------------------------------------------------------
    bool selectOption(int i); // 0..3; false when that option is hidden
    void pressPlayTurn();     // press animation, then PlayTurn
    void clickChoose();       // Command1: the reduced choice step

    // --- the turn ------------------------------------------------------------
    void BeginQuest(); // the current quest at page 1
    void PlayTurn();   // ApplyChoice, then PresentPage
    // The entry from a battle: the page goes to the log and is presented in
    // full, a new battle included.
    void enterFromBattle(const QString &page);

    // The inventory test: "found" when item is in list, else "".
    static QString FindItem(const QStringList &list, const QString &item);

private:
    void AppendStoryHeader();
    void AppendPage(const QString &page);
    void ShowOptions(const QString &page);
    void PresentPage();
    void ApplyChoice();

    Fight &m_fight;
};

} // namespace fc
