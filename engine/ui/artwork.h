#pragma once
// The game screen's artwork: each picture is ":/art/<name>.png" in the
// program's resources.

#include <QColor>
#include <QIcon>
#include <QPixmap>
#include <QString>

namespace fc::art {

// Names of the pictures the screen uses.
inline constexpr char kMenuBackground[] = "menu_background"; // the menu panel
inline constexpr char kBook[] = "book";                        // Image11
inline constexpr char kLoadQuest[] = "load_quest";             // Image1
inline constexpr char kLoadGame[] = "load_game";               // Image2
inline constexpr char kMenu[] = "menu";                        // Image4
inline constexpr char kResume[] = "resume";                    // Image5
inline constexpr char kSave[] = "save";                        // Image6
inline constexpr char kAbout[] = "about";                      // Image7
inline constexpr char kCreate[] = "create";                    // Image8
inline constexpr char kCredits[] = "credits";                  // Image9
inline constexpr char kQuit[] = "quit";                        // Image10
inline constexpr char kChoose[] = "choose";                    // Picture1
inline constexpr char kInventory[] = "inventory";              // Picture3
inline constexpr char kCreditsRoll[] = "credits_roll";         // FrmCredits Image1
inline constexpr char kNoPicture[] = "no_picture";             // empty picture frame

// The picture of that name at its own size; a transparent one of
// fallbackSize when it is missing. Never null.
QPixmap pixmap(const QString &name, const QSize &fallbackSize);

// Starts decoding these pictures on a thread of their own, so that the
// first paint finds them ready; pixmap() waits for one still under way.
void preload(const QStringList &names);

// True when the resource of that name is present.
bool hasResource(const QString &name);

QIcon windowIcon();

// Colours shared by the forms.
inline const QColor kParchment(0xf3, 0xe7, 0xc9);
inline const QColor kInk(0x3b, 0x2a, 0x1a);
inline const QColor kGold(0xd8, 0xb0, 0x5a);
inline const QColor kWood(0x4a, 0x2f, 0x1c);

} // namespace fc::art
