#pragma once
// The game screen's state: every value the game rules read and change, and the
// screen-level view state they switch. The form FrmGame shows it and forwards
// user events; the text-mode player and the tests drive the same object.

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
};

class GameScreen : public QObject
{
    Q_OBJECT
public:
    explicit GameScreen(QObject *parent = nullptr);

    // --- game state -------------------------------------------------------
    const QString &questFile() const { return m_questFile; }
    void setQuestFile(const QString &v);
    bool questLoaded() const { return m_questFile != QLatin1String(kNoQuestLoaded); }

    const QString &pg() const { return m_pg; }
    void setPg(const QString &v);

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
    // The choices can be taken: no fight is going on.
    bool choicesAvailable() const { return !m_battleBox; }
    // A page of a loaded quest that offers no choice and no fight: the end
    // of the story.
    bool isEnding() const;

    // --- view state -------------------------------------------------------
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
    bool inventoryPanelVisible() const { return m_invBox; } // InvBox
    void setInventoryPanelVisible(bool v);
    bool moviePanelVisible() const { return m_movBox; } // MovBox
    void setMoviePanelVisible(bool v);
    bool battleBoxVisible() const { return m_battleBox; } // BattleBox
    void setBattleBoxVisible(bool v);
    bool characterPanelVisible() const { return m_charCreate; } // CharCreate
    void setCharacterPanelVisible(bool v);
    const CharacterRoll &characterRoll() const { return m_roll; }
    void setCharacterRoll(const CharacterRoll &v);

    // Window height in twips; 0 while the layout's own height stands.
    int heightTwips() const { return m_heightTwips; }
    void setHeightTwips(int v);

    const QImage &pagePicture() const { return m_image3; } // Image3
    void setPagePicture(const QImage &v);

    // --- battle box -------------------------------------------------------
    const QString &battleText() const { return m_text2; } // Text2
    void appendBattleText(const QString &text);
    void clearBattleText(); // a test play starts afresh
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
    const Bar &experienceBar() const { return m_experienceBar; } // ProgressBar4
    void setExperienceBar(const Bar &v);
    const Bar &characterHp() const { return m_hpPlay; } // HPPlay
    void setCharacterHp(const Bar &v);
    bool escapeEnabled() const { return m_escapeEnabled; } // Command4
    void setEscapeEnabled(bool v);
    const QImage &battlePicture() const { return m_picture4; } // Picture4
    void setBattlePicture(const QImage &v);

Q_SIGNALS:
    // Text was added at the end of the story log.
    void logAppended(const QString &added);
    // Text was added at the end of the battle text.
    void battleTextAppended(const QString &added);
    // Any other value changed.
    void changed();

private:
    template <typename T> void set(T &field, const T &value);

    QString m_questFile = QString::fromLatin1(kNoQuestLoaded);
    QString m_pg = QStringLiteral("1");
    QString m_score = QStringLiteral("0");
    QString m_room;
    QString m_log = QString::fromLatin1(kNoQuestLoaded) + QStringLiteral("\r\n");
    QStringList m_inventory;
    std::array<OptionButton, 4> m_options;

    QString m_title = QString::fromLatin1(kEngineTitle);
    bool m_menusVisible = true;
    bool m_authoringVisible = true;
    bool m_bookVisible = false; // the book is shown by a packaged game only
    bool m_menuPanel = true;
    bool m_invBox = false;
    bool m_movBox = false;
    bool m_battleBox = false;
    bool m_charCreate = false;
    CharacterRoll m_roll;
    int m_heightTwips = 0;
    QImage m_image3;

    QString m_text2;
    QString m_enemyLabel = QStringLiteral("Enemy Hp:");
    QString m_enemyHpText = QStringLiteral("00");
    QString m_playerHpText;
    Bar m_playerBar, m_enemyBar, m_experienceBar, m_hpPlay;
    bool m_escapeEnabled = true;
    QImage m_picture4;
};

} // namespace fc
