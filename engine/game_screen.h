#pragma once
// The game screen's state: every value the game rules read and change, and the
// screen-level view state they switch. The form FrmGame shows it and forwards
// user events; the text-mode player and the tests drive the same object.
//
// It is made of four parts: the game's state (quest, page, score, story,
// inventory, choices), the screen's view (title, menus, panels, picture,
// height), the battle box and the character (its roll, hit points and
// experience). Every change of any part is also announced by the screen.

#include <QImage>
#include <QObject>
#include <QString>
#include <QStringList>

#include <array>

namespace fc {

inline constexpr char kNoQuestLoaded[] = "No Quest Loaded.";
inline constexpr char kEngineTitle[] = "Fablecraft 2004 BETA TEST VERSION 5.6";

// A choice button: its caption and whether it is selected. A button is shown
// exactly while its caption is not empty.
struct OptionButton
{
    QString caption;
    bool selected = false;
    bool visible() const { return !caption.isEmpty(); }
};

// The character panel's four boxes (Text6, Text5, Text3, Text4) as typed or
// rolled.
struct CharacterRoll
{
    QString name, hitPoints, strength, defence;
    bool operator==(const CharacterRoll &) const = default;
};

// A progress bar: maximum and value.
struct Bar
{
    double maximum = 100;
    double value = 0;
    bool operator==(const Bar &) const = default;
};

// A part of the game screen: announces every change of its values.
class ScreenPart : public QObject
{
    Q_OBJECT
public:
    using QObject::QObject;

Q_SIGNALS:
    void changed();

protected:
    // Sets field to value and announces the change; nothing happens when the
    // value stands.
    template <typename T> void set(T &field, const T &value)
    {
        if (field == value)
            return;
        field = value;
        Q_EMIT changed();
    }
};

// The game's state: what a saved game keeps and the rules decide on.
class GameState : public ScreenPart
{
    Q_OBJECT
public:
    using ScreenPart::ScreenPart;

    const QString &questFile() const { return m_questFile; } // questfil
    void setQuestFile(const QString &v);
    bool questLoaded() const { return m_questFile != QLatin1String(kNoQuestLoaded); }

    const QString &page() const { return m_page; } // pg: the current page's name
    void setPage(const QString &v);

    const QString &score() const { return m_score; }
    void setScore(const QString &v);

    const QString &room() const { return m_room; }
    void setRoom(const QString &v);

    // The story log (Text1): appended to only.
    const QString &log() const { return m_log; }
    void appendLog(const QString &text);

    // Inventory (List1), in the order gained; duplicates allowed.
    const QStringList &inventory() const { return m_inventory; }
    void addItem(const QString &item);
    void clearInventory();

    // Option1..Option4, index 0..3.
    const OptionButton &option(int i) const { return m_options[size_t(i)]; }
    void setCaption(int i, const QString &caption);
    // Selects option i (0..3) as a radio button does; a hidden option cannot be
    // selected and the call is then ignored. Returns whether it took effect.
    bool select(int i);
    void clearSelection();
    // First option that is both visible and selected, or -1.
    int chosenOption() const;

Q_SIGNALS:
    // Text was added at the end of the story log.
    void logAppended(const QString &added);

private:
    QString m_questFile = QString::fromLatin1(kNoQuestLoaded);
    QString m_page = QStringLiteral("1");
    QString m_score = QStringLiteral("0");
    QString m_room;
    QString m_log = QString::fromLatin1(kNoQuestLoaded) + QStringLiteral("\r\n");
    QStringList m_inventory;
    std::array<OptionButton, 4> m_options;
};

// The screen's view state: title, menus and buttons, the panels over the
// screen, the page picture and the window height.
class ScreenView : public ScreenPart
{
    Q_OBJECT
public:
    using ScreenPart::ScreenPart;

    const QString &title() const { return m_title; }
    void setTitle(const QString &v);

    // Packaged-game mode hides the authoring menus and picture buttons.
    bool menusVisible() const { return m_menusVisible; } // mnufile, mnuhelp, mnupdate
    void setMenusVisible(bool v);
    bool authoringButtonsVisible() const { return m_authoringVisible; } // Image1, Image8, Label15
    void setAuthoringButtonsVisible(bool v);
    bool bookVisible() const { return m_bookVisible; } // Image11
    void setBookVisible(bool v);

    bool menuPanelVisible() const { return m_menuPanel; } // Picture2
    void setMenuPanelVisible(bool v);
    bool inventoryPanelVisible() const { return m_inventoryPanel; } // InvBox
    void setInventoryPanelVisible(bool v);
    bool moviePanelVisible() const { return m_moviePanel; } // MovBox
    void setMoviePanelVisible(bool v);
    bool battleBoxVisible() const { return m_battleBox; } // BattleBox
    void setBattleBoxVisible(bool v);
    bool characterPanelVisible() const { return m_characterPanel; } // CharCreate
    void setCharacterPanelVisible(bool v);

    // Window height in twips; 0 while the layout's own height stands.
    int heightTwips() const { return m_heightTwips; }
    void setHeightTwips(int v);

    const QImage &pagePicture() const { return m_pagePicture; } // Image3
    void setPagePicture(const QImage &v);

private:
    QString m_title = QString::fromLatin1(kEngineTitle);
    bool m_menusVisible = true;
    bool m_authoringVisible = true;
    bool m_bookVisible = false; // the book is shown by a packaged game only
    bool m_menuPanel = true;
    bool m_inventoryPanel = false;
    bool m_moviePanel = false;
    bool m_battleBox = false;
    bool m_characterPanel = false;
    int m_heightTwips = 0;
    QImage m_pagePicture;
};

// The battle box's contents.
class BattleView : public ScreenPart
{
    Q_OBJECT
public:
    using ScreenPart::ScreenPart;

    const QString &text() const { return m_text; } // Text2
    void appendText(const QString &text);
    void clearText(); // a test play starts afresh
    const QString &enemyLabel() const { return m_enemyLabel; } // Label4
    void setEnemyLabel(const QString &v);
    const QString &enemyHpText() const { return m_enemyHpText; } // Label6
    void setEnemyHpText(const QString &v);
    const QString &playerHpText() const { return m_playerHpText; } // Label5
    void setPlayerHpText(const QString &v);
    const Bar &enemyBar() const { return m_enemyBar; } // ProgressBar2
    void setEnemyBar(const Bar &v);
    const Bar &playerBar() const { return m_playerBar; } // ProgressBar1
    void setPlayerBar(const Bar &v);
    bool escapeEnabled() const { return m_escapeEnabled; } // Command4
    void setEscapeEnabled(bool v);
    const QImage &picture() const { return m_picture; } // Picture4
    void setPicture(const QImage &v);

Q_SIGNALS:
    // Text was added at the end of the battle text.
    void textAppended(const QString &added);

private:
    QString m_text;
    QString m_enemyLabel = QStringLiteral("Enemy Hp:");
    QString m_enemyHpText = QStringLiteral("00");
    QString m_playerHpText;
    Bar m_playerBar, m_enemyBar;
    bool m_escapeEnabled = true;
    QImage m_picture;
};

// The player's character as the screen shows it: the character panel's roll,
// the hit points (HPPlay) and the experience (ProgressBar4).
class CharacterView : public ScreenPart
{
    Q_OBJECT
public:
    using ScreenPart::ScreenPart;

    const CharacterRoll &roll() const { return m_roll; }
    void setRoll(const CharacterRoll &v);
    const Bar &hitPoints() const { return m_hitPoints; } // HPPlay
    void setHitPoints(const Bar &v);
    const Bar &experience() const { return m_experience; } // ProgressBar4
    void setExperience(const Bar &v);

private:
    CharacterRoll m_roll;
    Bar m_hitPoints, m_experience;
};

class GameScreen : public QObject
{
    Q_OBJECT
public:
    explicit GameScreen(QObject *parent = nullptr);

    GameState &state() { return m_state; }
    const GameState &state() const { return m_state; }
    ScreenView &view() { return m_view; }
    const ScreenView &view() const { return m_view; }
    BattleView &battle() { return m_battle; }
    const BattleView &battle() const { return m_battle; }
    CharacterView &character() { return m_character; }
    const CharacterView &character() const { return m_character; }

    // The choices can be taken: no fight is going on.
    bool choicesAvailable() const { return !m_view.battleBoxVisible(); }
    // A page of a loaded quest that offers no choice and no fight: the end
    // of the story.
    bool isEnding() const;

Q_SIGNALS:
    // Text was added at the end of the story log.
    void logAppended(const QString &added);
    // Text was added at the end of the battle text.
    void battleTextAppended(const QString &added);
    // Any other value changed.
    void changed();

private:
    GameState m_state;
    ScreenView m_view;
    BattleView m_battle;
    CharacterView m_character;
};

} // namespace fc
