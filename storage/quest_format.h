#pragma once
// Names of the quest file format: sections, keys and well-known file names.
// Every caller that reads or writes a quest, the working copy or the launch
// file takes its names from here; nobody spells a key by hand.
//
// A quest is read key by key through ReadIni; there is no parsed quest object.
// Page sections are named by the page's name (normally "1", "2", ...), so
// they have no constant here.

#include <QLatin1String>
#include <QString>

namespace fc::quest {

// --- Sections -------------------------------------------------------------
inline constexpr QLatin1String kQuestDataSection("Quest Data");
inline constexpr QLatin1String kStoryInfoSection("Story Info");
inline constexpr QLatin1String kCharacterDataSection("CharacterData");

// The page every quest starts on.
inline constexpr QLatin1String kFirstPage("1");

// --- "Quest Data" ---------------------------------------------------------
inline constexpr QLatin1String kNumberOfPages("Number Of Pages");

// --- "Story Info" ---------------------------------------------------------
inline constexpr QLatin1String kTitle("Title");
inline constexpr QLatin1String kAuthor("Author");
inline constexpr QLatin1String kVersion("Version");

// --- Page keys (section = page name) --------------------------------------
inline constexpr QLatin1String kLocation("Location");
inline constexpr QLatin1String kPageText("Page Text");
inline constexpr QLatin1String kBattle("Battle");
inline constexpr QLatin1String kImage("Image");
inline constexpr QLatin1String kMovie("Movie");
inline constexpr QLatin1String kMusic("Music");
inline constexpr QLatin1String kMp3("Mp3");

// Number of choices on a page.
inline constexpr int kOptionCount = 4;

// Per-choice keys. The index is the choice number as the player sees it,
// 1 to kOptionCount (choice 1 is "Option One", "Key Item1", ...). Any other
// index yields an empty QString, which names no key.
QString optionKey(int i);      // "Option One" .. "Option Four"
QString destinationKey(int i); // "Option One Destination Page" .. "Option Four Destination Page"
QString scoreKey(int i);       // "Option One Score" .. "Option Four Score"
QString keyItemKey(int i);     // "Key Item1" .. "Key Item4"
QString addKey(int i);         // "Add1" .. "Add4"
QString requiredKey(int i);    // "Required1" .. "Required4"

// --- Battle keys (in the page section) ------------------------------------
inline constexpr QLatin1String kBattleEscapeCheck("BattleEscapecheck");
inline constexpr QLatin1String kBattleMonName("BattleMonName");
inline constexpr QLatin1String kBattleMonHp("BattleMonHp");
inline constexpr QLatin1String kBattleMonAtk("BattleMonAtk");
inline constexpr QLatin1String kBattleMonDef("BattleMonDef");
inline constexpr QLatin1String kBattleImage("BattleImage");
inline constexpr QLatin1String kBattleMusic("BattleMusic");
inline constexpr QLatin1String kBattleMonKeyItem("BattleMonKeyItem");
inline constexpr QLatin1String kBattleMonExp("BattleMonExp");
inline constexpr QLatin1String kBattleWin("BattleWin");
inline constexpr QLatin1String kBattleLose("BattleLose");
inline constexpr QLatin1String kBattleEscape("BattleEscape");
inline constexpr QLatin1String kAtkMessage("ATKMessage");
inline constexpr QLatin1String kAltAtk("AltAtk");
inline constexpr QLatin1String kAltAtkDam("AltAtkDam");

// --- "CharacterData" ------------------------------------------------------
inline constexpr QLatin1String kCharLoadAllow("CharLoadAllow");
inline constexpr QLatin1String kCharCreateAllow("CharCreateAllow");
inline constexpr QLatin1String kCharImage("CharImage");
inline constexpr QLatin1String kCharName("CharName");
inline constexpr QLatin1String kCharHp("CharHp");
inline constexpr QLatin1String kCharAtk("CharAtk");
inline constexpr QLatin1String kCharDef("CharDef");

// --- Well-known files -----------------------------------------------------
// The editor's working copy, always named by this bare name in profile calls.
inline constexpr QLatin1String kWorkingCopyFile("tmpquest.ini");
// The adventure started by "&New Game", in the program directory.
inline constexpr QLatin1String kDefaultAdventureFile("VellumAdventure.qst");
// Quest files carry this extension; the file dialogs filter on kQuestFilter.
inline constexpr QLatin1String kQuestExtension(".qst");
inline constexpr QLatin1String kQuestFilter("*.qst");

// Launch file of a packaged game, beside the executable.
inline constexpr QLatin1String kLaunchFile("game.dat");
inline constexpr QLatin1String kLaunchSection("loaddat");
inline constexpr QLatin1String kLaunchQuestFile("QuestFile");
inline constexpr QLatin1String kLaunchGameSection("Game Data");
inline constexpr QLatin1String kLaunchTitle("Title");

// Orders page names as a reader expects: numbers by value, then the others.
bool pageNameLess(const QString &a, const QString &b);

} // namespace fc::quest
