#pragma once
// Saved games (*.sav): where the player stands in a quest, as a small INI
// file. The file does not name its quest; it only makes sense with the same
// quest loaded.
//
// Layout, in the order the writer stores it (one batch of profile-store writes,
// committed as one replacement of the file):
//   [saved game] room, option 1..option 4, page, Poo   scrambled (EncodeText)
//   [saved game] HowMuchInList                          plain decimal count
//   [List Data]  0, 1, ... count-1                      plain inventory entries;
//                                                       an empty entry is not written
// Nothing is deleted first: saving over a file overwrites the keys written
// this time, and "List Data" keys beyond the new count stay, unread.
// Saved games are always Windows-1252 files.

#include "storage/profile_store.h"

#include <QLatin1String>
#include <QString>
#include <QStringList>

#include <array>

namespace fc {

namespace savedgame {
inline constexpr QLatin1String kSection("saved game");
inline constexpr QLatin1String kRoom("room");
inline constexpr std::array<QLatin1String, 4> kOptions = {
    QLatin1String("option 1"), QLatin1String("option 2"), QLatin1String("option 3"), QLatin1String("option 4")};
inline constexpr QLatin1String kPage("page");
inline constexpr QLatin1String kScore("Poo");
inline constexpr QLatin1String kCount("HowMuchInList");
inline constexpr QLatin1String kListSection("List Data");

// The inventory list holds at most this many entries; a larger count in a
// file is refused rather than read key by key.
inline constexpr int kMaxInventoryCount = 32767;
} // namespace savedgame

// What a saved game records: the game screen's values as shown.
struct SavedGame {
    QString room;                  // text of the current page (`room`)
    std::array<QString, 4> options; // captions of Option1..Option4; "" = choice not in use
    QString page;                  // caption of `pg`
    QString score;                 // caption of `score`
    QStringList inventory;         // `List1`, in list order
};

enum class SavedGameError {
    None,
    NotSavedGame,  // read: "room" and "option 1" both missing or empty (any other INI file, no file)
    Unconvertible, // a value the scrambler cannot convert; nothing was written / nothing is returned
    BadCount,      // read: "HowMuchInList" is not the plain decimal form of a count (e.g. "", "02", "-1")
    WriteFailed,   // write: the file could not be written (it is left as it was)
};

struct SavedGameResult {
    SavedGameError error = SavedGameError::None;
    QString detail; // for failures: the key concerned or the store's error text; not for the player
    bool ok() const { return error == SavedGameError::None; }
};

struct SavedGameLoad : SavedGameResult {
    SavedGame game; // filled only when ok()
};

// Writes game to file (a bare name resolves like every profile call).
// Every value is converted before the first key is written: when one cannot
// be stored (the scrambler fails, a character Windows-1252 cannot hold, or a
// control character that would become a line break or NUL in the file) the
// result is Unconvertible and the file is not touched.
SavedGameResult WriteSavedGame(const QString &file, const SavedGame &game);

// Reads a saved game. "room" and "option 1" are checked raw first (both
// empty: NotSavedGame); then the seven scrambled values are decoded
// (Unconvertible if one cannot be). With withInventory, "HowMuchInList" must
// be a plain decimal count no larger than maxCount (else BadCount) and the
// non-empty entries at positions 0..count-1 become game.inventory; without
// it, the count and the list are not read and game.inventory stays empty.
// On failure game is left empty: callers change nothing on screen.
SavedGameLoad ReadSavedGame(const QString &file, bool withInventory,
                            int maxCount = savedgame::kMaxInventoryCount);

} // namespace fc
