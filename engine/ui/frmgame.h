#pragma once
// The game screen's window (FrmGame). It shows the game state of the Game it
// is given and forwards every user event to it; it holds no game state of
// its own. Each control carries its name as objectName.

#include <QMainWindow>
#include <QPointer>

#include <map>

class QAction;
class QLabel;
class QLayout;
class QMenu;
class QPlainTextEdit;
class QProgressBar;
class QPushButton;

namespace fc {

enum class PressedButton;
class BattleBox;
class CharacterPanel;
class ChoiceButton;
class FrmCredits;
class Game;
class GameScreen;
class InventoryPanel;
class MenuPanel;
class MoviePanel;
class PictureButton;
class PictureView;
class ClickLabel;

class FrmGame : public QMainWindow
{
    Q_OBJECT
public:
    // game must outlive the window.
    explicit FrmGame(Game &game, QWidget *parent = nullptr);
    ~FrmGame() override;

    // Where the movie player's video surface goes (the player Movie in
    // MovBox); null until the first movie, when movieWidgetCreated() hands
    // it out.
    QWidget *movieWidget() const;
    // The credits form, created on first use.
    FrmCredits *credits();

public Q_SLOTS:
    // The close request of the close box, mnuexit and Image10.
    void requestClose();
    void showCredits();

Q_SIGNALS:
    // "Create 'A' Quest" (mnucreatequest, Image8): the editor is to be shown.
    void editorRequested();
    // The movie's place was made: the movie player's video surface goes there.
    void movieWidgetCreated(QWidget *movie);

protected:
    void closeEvent(QCloseEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void showEvent(QShowEvent *event) override;
    void changeEvent(QEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;
    // Tab and Shift+Tab go round the open panel only.
    bool focusNextPrevChild(bool next) override;

private:
    void buildMenus();
    QWidget *buildScreen();
    // The parts of the screen, each made on screen and returned for its
    // place in the layout.
    QLayout *buildHeader(QWidget *screen);
    QWidget *buildStoryLog(QWidget *screen);
    QLayout *buildSideColumn(QWidget *screen);
    QLayout *buildStatusBars(QWidget *screen);
    QLayout *buildInventoryButtons(QWidget *screen);
    QWidget *buildChoices(QWidget *screen);
    QWidget *buildEnding(QWidget *choices);
    QLayout *buildConfirm(QWidget *screen);
    void buildPanels(QWidget *screen);
    void connectScreen();
    void refresh();
    void refreshHeader();
    void refreshChoices();
    void refreshMenus();
    void refreshPanels();
    void appendLog(const QString &added);
    void scrollLogToEnd();
    void applyHeight();
    void placeOverlays();
    void movePictureButton(PressedButton which, bool pressed);
    void quit();
    void buildKeys();
    void pressEnter();
    void pressEscape();
    void selectByKey(int i);
    // Focus goes into a panel when it opens and back where it was when it
    // closes.
    void followPanel(QWidget *panel, bool visible, QWidget *first, QWidget *focusBefore);
    bool panelOpen() const;
    // The open panel that holds Tab, the uppermost; null when none is open.
    QWidget *trappingPanel() const;
    // The first choice offered, else the ending's Play Again, else the log.
    QWidget *choiceFocus() const;

    Game &m_game;
    GameScreen &m_screen;
    bool m_refreshing = false;
    bool m_quitting = false;
    bool m_logEndsWithCr = false;
    int m_appliedHeightTwips = 0;
    bool m_heightNeedsFrame = false; // set while hidden: applied again when shown

    QMenu *m_fileMenu = nullptr, *m_helpMenu = nullptr, *m_updateMenu = nullptr;

    QWidget *m_central = nullptr;
    QPlainTextEdit *m_storyLog = nullptr;
    QPlainTextEdit *m_roomText = nullptr;
    QLabel *m_questLabel = nullptr, *m_pageLabel = nullptr, *m_scoreLabel = nullptr;
    ChoiceButton *m_options[4] = {};
    QPushButton *m_chooseButton = nullptr, *m_inventoryButton = nullptr;
    QWidget *m_ending = nullptr; // the choice area's offer at the end of a story
    QLabel *m_endingText = nullptr;
    QPushButton *m_playAgain = nullptr;
    struct PanelFocus
    {
        bool open = false;
        QPointer<QWidget> returnTo;
    };
    std::map<QWidget *, PanelFocus> m_panelFocus;
    PictureButton *m_choosePicture = nullptr, *m_inventoryPicture = nullptr, *m_menuButton = nullptr;
    ClickLabel *m_menuLabel = nullptr;
    PictureView *m_pagePicture = nullptr;
    QProgressBar *m_hitPointsBar = nullptr, *m_experienceBar = nullptr;

    MenuPanel *m_menuPanel = nullptr;
    BattleBox *m_battleBox = nullptr;
    InventoryPanel *m_inventoryPanel = nullptr;
    MoviePanel *m_movBox = nullptr;
    CharacterPanel *m_characterPanel = nullptr;
    FrmCredits *m_credits = nullptr;
};

} // namespace fc
