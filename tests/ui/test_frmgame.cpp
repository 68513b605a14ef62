// The game screen driven offscreen through its real controls: quests loaded
// through the menu, choices clicked, panels opened and closed, hover help,
// the close request and the credits scroll.
#include "engine/game.h"
#include "engine/recording_ports.h"
#include "engine/ui/frmcredits.h"
#include "engine/ui/frmgame.h"
#include "engine/ui/picturebutton.h"
#include "engine/ui/qt_ports.h"
#include "engine/ui/twips.h"
#include "storage/user_folders.h"
#include "tests/support/testsupport.h"

#include <QAccessible>
#include <QAction>
#include <QApplication>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QScreen>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpression>
#include <QScrollBar>
#include <QSet>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <algorithm>
#include <cmath>
#include <functional>
#include <memory>

#include <gtest/gtest.h>

using namespace fc;

namespace {

// A small tale: page 1 offers four choices, page 2 two (the second is empty),
// page 3 ends; page 4 is a battle without escape, page 5 a battle whose
// escape leads to page 4.
const char kTale[] =
    "[Story Info]\r\nTitle=The Test Tale\r\nAuthor=A Tester\r\nVersion=2\r\n\r\n"
    "[1]\r\nLocation=The Gate\r\nPage Text=You stand at the gate.\r\n"
    "Option One=Enter the keep\r\nOption One Destination Page=2\r\nOption One Score=+2\r\n"
    "Option Two=Walk away\r\nOption Two Destination Page=3\r\nOption Two Score=-1\r\n"
    "Option Three=Fight the guard\r\nOption Three Destination Page=4\r\n"
    "Option Four=Sneak past the wolf\r\nOption Four Destination Page=5\r\n\r\n"
    "[2]\r\nLocation=The Hall\r\nPage Text=A long hall.\r\nImage=hall.png\r\n"
    "Option One=Go on\r\nOption One Destination Page=3\r\nOption One Score=5\r\n"
    "Option Three=Back to the gate\r\nOption Three Destination Page=1\r\n\r\n"
    "[3]\r\nLocation=The End\r\nPage Text=Home again.\r\n\r\n"
    "[4]\r\nLocation=The Guard\r\nPage Text=He draws his sword.\r\nBattle=1\r\n"
    "BattleMonName=Troll\r\nBattleMonHp=25\r\nBattleEscapecheck=0\r\nBattleEscape=3\r\n\r\n"
    "[5]\r\nLocation=The Den\r\nPage Text=A wolf wakes.\r\nBattle=1\r\n"
    "BattleMonName=Wolf\r\nBattleMonHp=9\r\nBattleEscapecheck=1\r\nBattleEscape=4\r\n";

const char kOtherTale[] =
    "[Story Info]\r\nTitle=Another Tale\r\nAuthor=B\r\nVersion=1\r\n\r\n"
    "[1]\r\nLocation=Elsewhere\r\nPage Text=Somewhere new.\r\nOption One=Wait\r\nOption One Destination Page=1\r\n";

// A clock that runs a probe at every pause, so a test can look at the screen
// in the middle of a press animation.
class ProbeClock : public Clock
{
public:
    std::function<void()> probe;
    int pauses = 0;
    void pause(double) override
    {
        ++pauses;
        if (probe)
            probe();
    }
};

using test::waitFor;

QString plain(QString log)
{
    return log.replace(QLatin1String("\r\n"), QLatin1String("\n"));
}

class GameScreenTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(programDir.isValid());
        tale = programDir.filePath(QStringLiteral("tale.qst"));
        ASSERT_TRUE(test::writeFile(tale, kTale));
        QImage hall(12, 9, QImage::Format_RGB32);
        hall.fill(Qt::darkGreen);
        ASSERT_TRUE(hall.save(programDir.filePath(QStringLiteral("hall.png"))));
        ports = portsOf(*this);
        test::failOnUnansweredModals(modalWatch);
    }

    void TearDown() override
    {
        form.reset();
        game.reset();
    }

    void start()
    {
        game = std::make_unique<Game>(screen, ports, programDir.path());
        form = std::make_unique<FrmGame>(*game);
        game->questStart().startUp();
        form->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(form.get()));
    }

    template <typename T = QWidget> T *child(const char *name)
    {
        T *found = form->centralWidget()->findChild<T *>(QString::fromLatin1(name));
        EXPECT_NE(found, nullptr) << "no control " << name;
        return found;
    }

    QAction *action(const char *name)
    {
        auto *found = form->findChild<QAction *>(QString::fromLatin1(name));
        EXPECT_NE(found, nullptr) << "no menu entry " << name;
        return found;
    }

    // The menu "&Load A Quest File" with the file chosen in advance.
    void loadTale()
    {
        files.setNextFileName(tale);
        if (screen.state().questLoaded())
            dialogs.setNextAnswer(Answer::Yes);
        QAction *load = action("mnuloadquest");
        ASSERT_TRUE(load && load->isEnabled());
        load->trigger();
    }

    void clickOption(int n)
    {
        const QByteArray name = "Option" + QByteArray::number(n);
        auto *option = child<QRadioButton>(name.constData());
        ASSERT_TRUE(option && option->isVisible()) << name.constData() << " is not offered";
        QTest::mouseClick(option, Qt::LeftButton, {}, QPoint(8, option->height() / 2));
    }

    void pressPlayTurn()
    {
        QWidget *picture1 = child("Picture1");
        ASSERT_TRUE(picture1 && picture1->isVisible());
        QTest::mouseClick(picture1, Qt::LeftButton);
    }

    void pointAt(QWidget *widget, QPoint at = {})
    {
        if (at.isNull())
            at = widget->rect().center();
        QTest::mouseMove(widget, at);
        QMouseEvent move(QEvent::MouseMove, at, widget->mapToGlobal(at), Qt::NoButton, Qt::NoButton, Qt::NoModifier);
        QCoreApplication::sendEvent(widget, &move);
    }

    QTimer modalWatch;
    QTemporaryDir programDir;
    QString tale;
    GameScreen screen;

public: // the port set, read by portsOf
    MediaLog media;
    QtDialogs dialogs;
    QtFileDialog files;
    QtPictureLoader pictures;
    RecordingMediaPlayer sound{media, QStringLiteral("sound")};
    RecordingMediaPlayer movie{media, QStringLiteral("movie")};
    RecordingMusicPlayer music{media};
    RecordingLauncher launcher;
    ProbeClock clock;
    Ports ports;
    std::unique_ptr<Game> game;
    std::unique_ptr<FrmGame> form;
};

} // namespace

TEST_F(GameScreenTest, EveryControlExistsWithItsCaption)
{
    start();
    const std::pair<const char *, const char *> buttons[] = {
        {"Command1", "Choose"}, {"Command3", "Attack"}, {"Command4", "Escape"}, {"Command5", "Item"},
        {"Command6", "Inventory"}, {"Command8", "Close"}, {"Command9", "Create"}, {"Command10", "Re-Roll"},
        {"Command11", "Load Character"}};
    for (const auto &[name, caption] : buttons) {
        if (auto *b = child<QPushButton>(name)) {
            EXPECT_EQ(b->text(), QString::fromLatin1(caption)) << name;
        }
    }
    const std::pair<const char *, const char *> labels[] = {
        {"Label3", "Your Hp:"}, {"Label4", "Enemy Hp:"}, {"Label6", "00"}, {"Label7", "Your items:"},
        {"Label8", "HP:"}, {"Label9", "Exp:"}, {"Label10", "Defence:"}, {"Label11", "Strength:"},
        {"Label12", "Hit Points:"}, {"Label13", "Name:"}, {"Label15", "Auto Update"}, {"Label16", "Menu"},
        {"questfil", "No Quest Loaded."}, {"pg", "1"}, {"score", "0"}};
    for (const auto &[name, caption] : labels) {
        if (auto *l = child<QLabel>(name)) {
            EXPECT_EQ(l->text(), QString::fromLatin1(caption)) << name;
        }
    }
    EXPECT_EQ(child<QLabel>("Label14")->text(), Shell::kWebSite);
    for (const char *name : {"Text1", "Text2", "room"})
        child<QPlainTextEdit>(name);
    for (const char *name : {"Text3", "Text4", "Text5", "Text6"})
        child<QLineEdit>(name);
    for (const char *name : {"ProgressBar1", "ProgressBar2", "ProgressBar4", "HPPlay"})
        child<QProgressBar>(name);
    for (const char *name : {"Picture1", "Picture2", "Picture3", "Picture4", "Image1", "Image2", "Image3", "Image4",
                             "Image5", "Image6", "Image7", "Image8", "Image9", "Image10", "Image11", "MovBox",
                             "Command2", "Command7", "BattleBox", "InvBox", "CharCreate", "Label2", "List1"})
        child(name);
    EXPECT_FALSE(child("Command2")->isVisible());

    const std::pair<const char *, const char *> menus[] = {
        {"mnufile", "&File"}, {"mnuhelp", "&Help"}, {"mnupdate", "&Update"}};
    for (const auto &[name, caption] : menus) {
        auto *menu = form->findChild<QMenu *>(QString::fromLatin1(name));
        ASSERT_NE(menu, nullptr) << name;
        EXPECT_EQ(menu->title(), QString::fromLatin1(caption));
    }
    const std::pair<const char *, const char *> entries[] = {
        {"mnunewgame", "&New Game"}, {"mnucreatequest", "&Create 'A' Quest"}, {"mnuloadquest", "&Load A Quest File"},
        {"mnuload", "&Load Saved Game"}, {"mnusave", "&Save Current Game"}, {"mnuexit", "&Exit"},
        {"mnuabout", "&About"}, {"mnucredits", "&Credits"}, {"mnuauto", "&Run Auto-Update"},
        {"mnunew", "&What's New"}};
    for (const auto &[name, caption] : entries) {
        if (QAction *a = action(name)) {
            EXPECT_EQ(a->text(), QString::fromLatin1(caption));
        }
    }

    // The empty screen: the menu panel over it, no panel open, no choice.
    EXPECT_EQ(form->windowTitle(), QStringLiteral("Fablecraft 2004 BETA TEST VERSION 5.6"));
    EXPECT_EQ(child<QPlainTextEdit>("Text1")->toPlainText(), QStringLiteral("No Quest Loaded.\n"));
    EXPECT_TRUE(child("Picture2")->isVisible());
    for (const char *name : {"BattleBox", "InvBox", "MovBox", "CharCreate", "Label16"})
        EXPECT_FALSE(child(name)->isVisible()) << name;
    for (const char *name : {"Option1", "Option2", "Option3", "Option4"})
        EXPECT_FALSE(child(name)->isVisible()) << name;
}

TEST_F(GameScreenTest, PlaysTwoTurnsByClickingTheForm)
{
    start();
    loadTale();
    EXPECT_FALSE(child("Picture2")->isVisible()) << "loading a quest hides the menu panel";
    EXPECT_EQ(child<QLabel>("questfil")->text(), tale);
    auto *text1 = child<QPlainTextEdit>("Text1");
    EXPECT_TRUE(text1->toPlainText().endsWith(QStringLiteral("\n>\nThe Gate\n>\nYou stand at the gate.")));
    EXPECT_EQ(child<QRadioButton>("Option1")->text(), QStringLiteral("Enter the keep"));
    EXPECT_TRUE(child("Option3")->isVisible());
    EXPECT_TRUE(child("Option4")->isVisible());

    // Turn 1: the picture button moves 50 twips right and down while the
    // game pauses, and back afterwards.
    QWidget *picture1 = child("Picture1");
    const QPoint rest = picture1->pos();
    QPoint during;
    clock.probe = [&] { during = picture1->pos(); };
    clickOption(1);
    EXPECT_TRUE(screen.state().option(0).selected);
    pressPlayTurn();
    EXPECT_EQ(during, rest + QPoint(twipsToPixelsX(form.get(), 50), twipsToPixelsY(form.get(), 50)));
    EXPECT_NE(during, rest);
    EXPECT_EQ(picture1->pos(), rest);
    EXPECT_EQ(child<QLabel>("pg")->text(), QStringLiteral("2"));
    EXPECT_EQ(child<QLabel>("score")->text(), QStringLiteral("2"));
    EXPECT_TRUE(text1->toPlainText().endsWith(QStringLiteral("\n>\nThe Hall\n>\nA long hall.")));
    EXPECT_TRUE(child("Option1")->isVisible());
    EXPECT_FALSE(child("Option2")->isVisible()) << "an empty caption hides its choice";
    EXPECT_EQ(child<QRadioButton>("Option3")->text(), QStringLiteral("Back to the gate"));
    EXPECT_FALSE(child<QRadioButton>("Option1")->isChecked()) << "the selection is cleared after a turn";
    auto *image3 = child<PictureView>("Image3");
    EXPECT_EQ(image3->image().size(), QSize(12, 9)) << "the page picture is shown beside the log";

    // Turn 2.
    clickOption(1);
    pressPlayTurn();
    EXPECT_EQ(child<QLabel>("pg")->text(), QStringLiteral("3"));
    EXPECT_EQ(child<QLabel>("score")->text(), QStringLiteral("7"));
    EXPECT_EQ(child<QPlainTextEdit>("room")->toPlainText(), QStringLiteral("Home again."));
    for (const char *name : {"Option1", "Option2", "Option3", "Option4"})
        EXPECT_FALSE(child(name)->isVisible()) << name;

    // The log shows exactly the story the game holds, and its end is in view.
    EXPECT_EQ(text1->toPlainText(), plain(screen.state().log()));
    EXPECT_EQ(text1->verticalScrollBar()->value(), text1->verticalScrollBar()->maximum());
    EXPECT_EQ(clock.pauses, 2);
}

TEST_F(GameScreenTest, ChooseButtonTakesTheReducedStep)
{
    start();
    loadTale();
    clickOption(2);
    QTest::mouseClick(child("Command1"), Qt::LeftButton);
    EXPECT_EQ(child<QLabel>("pg")->text(), QStringLiteral("3"));
    EXPECT_EQ(child<QLabel>("score")->text(), QStringLiteral("-1"));
    EXPECT_TRUE(child<QPlainTextEdit>("Text1")->toPlainText().endsWith(QStringLiteral("\n>\nHome again.")));
    EXPECT_EQ(clock.pauses, 0) << "the Choose button has no press animation";
}

TEST_F(GameScreenTest, OptionsAreShownExactlyWhileTheirCaptionIsNotEmpty)
{
    start();
    auto *option3 = child<QRadioButton>("Option3");
    screen.state().setCaption(2, QStringLiteral("Climb & hide"));
    EXPECT_TRUE(option3->isVisible());
    EXPECT_EQ(option3->text(), QStringLiteral("Climb && hide")) << "an ampersand is shown, not an access key";
    screen.state().select(2);
    EXPECT_TRUE(option3->isChecked());
    screen.state().setCaption(2, QString());
    EXPECT_FALSE(option3->isVisible());
    EXPECT_FALSE(option3->isChecked());
    EXPECT_EQ(screen.state().chosenOption(), -1);

    // A caption longer than the screen is wide is cut short on screen, not
    // by widening the window; the whole caption stays available.
    const int width = form->width();
    const QString longCaption = QStringLiteral("Follow the river ").repeated(40);
    screen.state().setCaption(0, longCaption);
    QCoreApplication::processEvents();
    EXPECT_EQ(form->width(), width);
    EXPECT_EQ(child<QRadioButton>("Option1")->toolTip(), longCaption);
    EXPECT_EQ(child<QRadioButton>("Option1")->accessibleName(), longCaption);
}

TEST_F(GameScreenTest, LogKeepsItsEndInViewAfterEveryChangeAndResize)
{
    start();
    auto *text1 = child<QPlainTextEdit>("Text1");
    for (int i = 0; i < 200; ++i)
        screen.state().appendLog(QStringLiteral("\r\n>\r\nLine %1").arg(i));
    QScrollBar *bar = text1->verticalScrollBar();
    ASSERT_GT(bar->maximum(), 0);
    EXPECT_EQ(bar->value(), bar->maximum());
    bar->setValue(0);
    form->resize(form->width() + 40, form->height() + 30);
    QCoreApplication::processEvents();
    EXPECT_EQ(bar->value(), bar->maximum());
    EXPECT_TRUE(text1->toPlainText().endsWith(QStringLiteral("\n>\nLine 199")));

    // A line end split over two additions is one line break.
    screen.state().appendLog(QStringLiteral("\r"));
    screen.state().appendLog(QStringLiteral("\nlast"));
    EXPECT_TRUE(text1->toPlainText().endsWith(QStringLiteral("Line 199\nlast")));
    EXPECT_EQ(text1->toPlainText(), plain(screen.state().log()));
}

TEST_F(GameScreenTest, PackagedStartHidesTheAuthoringMenus)
{
    ASSERT_TRUE(test::writeFile(programDir.filePath(QStringLiteral("game.dat")),
                                "[loaddat]\r\nQuestFile=tale.qst\r\n[Game Data]\r\nTitle=The Test Game\r\n"));
    start();
    EXPECT_EQ(form->windowTitle(), QStringLiteral("The Test Game"));
    for (const char *name : {"mnufile", "mnuhelp", "mnupdate"})
        EXPECT_FALSE(form->findChild<QMenu *>(QString::fromLatin1(name))->menuAction()->isVisible()) << name;
    EXPECT_FALSE(form->menuBar()->isVisible());
    for (const char *name : {"Image1", "Image8", "Label15"})
        EXPECT_FALSE(child(name)->isVisibleTo(child("Picture2"))) << name;
    EXPECT_TRUE(child("Image11")->isVisibleTo(child("Picture2")));
    const QList<QLabel *> panelLabels = child("Picture2")->findChildren<QLabel *>();
    EXPECT_TRUE(std::any_of(panelLabels.begin(), panelLabels.end(),
                            [](QLabel *l) { return l->text() == QLatin1String("The Test Game"); }))
        << "the menu panel greets the player with the game's title";
    EXPECT_FALSE(child("Picture2")->isVisible());
    // The packaged game opens at the window's normal size, not squashed to
    // the original form's 6600 twips.
    const int normal = std::min(680, form->screen()->availableSize().height() - 48);
    EXPECT_EQ(form->height(), normal);
    EXPECT_GT(form->frameGeometry().height(), twipsToPixelsY(form.get(), 6600));
    // The player's own size survives hiding and showing the window again.
    form->resize(form->width(), 600);
    form->hide();
    form->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(form.get()));
    EXPECT_EQ(form->height(), 600);
    EXPECT_EQ(child<QRadioButton>("Option1")->text(), QStringLiteral("Enter the keep"));
    EXPECT_TRUE(child<QPlainTextEdit>("Text1")->toPlainText().contains(QStringLiteral("The Test Tale\n")));

    // The book on the menu panel starts the game again.
    QTest::mouseClick(child("Image4"), Qt::LeftButton);
    ASSERT_TRUE(child("Picture2")->isVisible());
    clickOption(1);
    pressPlayTurn();
    QTest::mouseClick(child("Image4"), Qt::LeftButton);
    QTest::mouseClick(child("Image11"), Qt::LeftButton);
    EXPECT_EQ(child<QLabel>("pg")->text(), QStringLiteral("1"));
    EXPECT_EQ(child<QLabel>("score")->text(), QStringLiteral("0"));
    EXPECT_FALSE(child("Picture2")->isVisible());
}

TEST_F(GameScreenTest, CloseRequestAnsweredNoKeepsTheGameYesEndsIt)
{
    start();
    loadTale();
    QSignalSpy quit(game.get(), &Game::quitRequested);
    const int boxes = dialogs.count();

    dialogs.setNextAnswer(Answer::No);
    form->close();
    QCoreApplication::processEvents();
    EXPECT_EQ(dialogs.count(), boxes + 1);
    EXPECT_EQ(dialogs.lastTitle(), QStringLiteral("WARNING!!!!"));
    EXPECT_EQ(dialogs.lastText(), QStringLiteral("Are you sure? This will end the current game without saving!"));
    EXPECT_TRUE(form->isVisible());
    EXPECT_EQ(quit.count(), 0);
    EXPECT_EQ(screen.state().questFile(), tale);

    // The picture button "Quit" asks the same question.
    dialogs.setNextAnswer(Answer::Yes);
    QTest::mouseClick(child("Image4"), Qt::LeftButton);
    QTest::mouseClick(child("Image10"), Qt::LeftButton);
    EXPECT_EQ(dialogs.count(), boxes + 2);
    EXPECT_EQ(quit.count(), 1);
    EXPECT_TRUE(waitFor([&] { return !form->isVisible(); }));
    EXPECT_TRUE(media.contains(QStringLiteral("midi-stop")));
}

TEST_F(GameScreenTest, ExitWithoutAQuestEndsWithoutAQuestion)
{
    start();
    QSignalSpy quit(game.get(), &Game::quitRequested);
    action("mnuexit")->trigger();
    EXPECT_EQ(dialogs.count(), 0);
    EXPECT_EQ(quit.count(), 1);
    EXPECT_TRUE(waitFor([&] { return !form->isVisible(); }));
}

TEST_F(GameScreenTest, HoverHelpOfTheMenuPanel)
{
    start();
    auto *label2 = child<QLabel>("Label2");
    const std::pair<const char *, const char *> help[] = {
        {"Image11", "New Game"}, {"Image1", "Load Quest"}, {"Image2", "Load Game"}, {"Image5", "Resume Game"},
        {"Image6", "Save Game"}, {"Image7", "About"}, {"Image8", "Create A Quest"}, {"Image9", "Credits"},
        {"Image10", "Quit"}, {"Label14", "Web Site"}, {"Label15", "Run Auto update"}};
    QWidget *panel = child("Picture2");
    for (const auto &[name, text] : help) {
        pointAt(child(name));
        EXPECT_EQ(label2->text(), QString::fromLatin1(text)) << name;
        pointAt(panel, QPoint(3, 3));
        EXPECT_EQ(label2->text(), QString()) << "bare panel after " << name;
    }
}

TEST_F(GameScreenTest, MenuLabelShowsOnPointingAtTheMenuPicture)
{
    start();
    QTest::mouseClick(child("Image5"), Qt::LeftButton); // "Resume Game"
    ASSERT_FALSE(child("Picture2")->isVisible());
    QWidget *label16 = child("Label16");
    pointAt(child("Image4"));
    EXPECT_TRUE(label16->isVisible());
    pointAt(child<QPlainTextEdit>("Text1")->viewport());
    EXPECT_FALSE(label16->isVisible());
    pointAt(child("Image4"));
    ASSERT_TRUE(label16->isVisible());
    pointAt(form->centralWidget(), QPoint(2, form->centralWidget()->height() - 2));
    EXPECT_FALSE(label16->isVisible());
    pointAt(child("Image4"));
    QTest::mouseClick(label16, Qt::LeftButton);
    EXPECT_TRUE(child("Picture2")->isVisible());
}

TEST_F(GameScreenTest, InventoryFromTheBattleBoxLeavesTheBattleOpen)
{
    start();
    loadTale();
    clickOption(3);
    pressPlayTurn();
    QWidget *battle = child("BattleBox");
    ASSERT_TRUE(battle->isVisible());
    EXPECT_EQ(child<QLabel>("Label4")->text(), QStringLiteral("Troll's HP:"));
    EXPECT_EQ(child<QLabel>("Label6")->text(), QStringLiteral("25"));
    EXPECT_EQ(child<QProgressBar>("ProgressBar2")->maximum(), 25);
    EXPECT_EQ(child<QProgressBar>("ProgressBar2")->value(), 25);
    EXPECT_EQ(child<QPlainTextEdit>("Text2")->toPlainText(), QStringLiteral("You are under attack from Troll!"));
    EXPECT_FALSE(child("Command4")->isEnabled()) << "this battle allows no escape";

    QTest::mouseClick(child("Command5"), Qt::LeftButton);
    QWidget *inventory = child("InvBox");
    EXPECT_TRUE(inventory->isVisible());
    EXPECT_GT(inventory->parentWidget()->children().indexOf(inventory),
              battle->parentWidget()->children().indexOf(battle))
        << "the inventory lies over the battle box";
    QTest::mouseClick(child("Command8"), Qt::LeftButton);
    EXPECT_FALSE(inventory->isVisible());
    EXPECT_TRUE(battle->isVisible());
}

TEST_F(GameScreenTest, InventoryOpenersShowTheItemsHeld)
{
    start();
    screen.state().addItem(QStringLiteral("Lamp"));
    screen.state().addItem(QStringLiteral("Key"));
    QTest::mouseClick(child("Image5"), Qt::LeftButton);
    QTest::mouseClick(child("Command6"), Qt::LeftButton);
    QWidget *inventory = child("InvBox");
    EXPECT_TRUE(inventory->isVisible());
    auto *list1 = child<QListWidget>("List1");
    ASSERT_EQ(list1->count(), 2);
    EXPECT_EQ(list1->item(0)->text(), QStringLiteral("Lamp"));
    EXPECT_EQ(list1->item(1)->text(), QStringLiteral("Key"));
    QTest::mouseClick(child("Command8"), Qt::LeftButton);
    ASSERT_FALSE(inventory->isVisible());

    // The inventory picture opens it after its press animation.
    clock.probe = [&] { EXPECT_FALSE(inventory->isVisible()); };
    QTest::mouseClick(child("Picture3"), Qt::LeftButton);
    EXPECT_EQ(clock.pauses, 1);
    EXPECT_TRUE(inventory->isVisible());
}

TEST_F(GameScreenTest, CharacterPanelRollsAndCreates)
{
    start();
    screen.view().setCharacterPanelVisible(true);
    QWidget *panel = child("CharCreate");
    ASSERT_TRUE(panel->isVisible());
    QTest::mouseClick(child("Command10"), Qt::LeftButton);
    const int hp = child<QLineEdit>("Text5")->text().toInt();
    EXPECT_GE(hp, 26);
    EXPECT_LE(hp, 49);
    EXPECT_GE(child<QLineEdit>("Text3")->text().toInt(), 11);
    EXPECT_GE(child<QLineEdit>("Text4")->text().toInt(), 6);

    // What the player types is what Create uses.
    auto *text5 = child<QLineEdit>("Text5");
    text5->clear();
    QTest::keyClicks(text5, QStringLiteral("31"));
    QTest::mouseClick(child("Command9"), Qt::LeftButton);
    EXPECT_FALSE(panel->isVisible());
    EXPECT_EQ(child<QProgressBar>("HPPlay")->maximum(), 31);
    EXPECT_EQ(child<QProgressBar>("HPPlay")->value(), 31);
}

TEST_F(GameScreenTest, MenuEntriesReachTheGame)
{
    start();
    QSignalSpy editor(form.get(), &FrmGame::editorRequested);
    action("mnucreatequest")->trigger();
    QTest::mouseClick(child("Image8"), Qt::LeftButton);
    EXPECT_EQ(editor.count(), 2);

    dialogs.setNextAnswer(Answer::Yes);
    action("mnunew")->trigger();
    EXPECT_EQ(dialogs.lastTitle(), QStringLiteral("What's New:"));

    // Auto update with no updater to start: the question, then the message,
    // and the program goes on.
    dialogs.setNextAnswer(Answer::Yes);
    dialogs.setNextAnswer(Answer::Yes);
    QSignalSpy quit(game.get(), &Game::quitRequested);
    action("mnuauto")->trigger();
    EXPECT_EQ(launcher.started, QStringList{QStringLiteral("autoupdate.exe")});
    EXPECT_EQ(dialogs.lastText(), QStringLiteral("Could not locate the autoupdate.exe!"));
    EXPECT_EQ(quit.count(), 0);
    EXPECT_TRUE(form->isVisible());
    EXPECT_FALSE(dialogs.hasNextAnswer());

    // Answered No, nothing is started.
    dialogs.setNextAnswer(Answer::No);
    QTest::mouseClick(child("Label15"), Qt::LeftButton);
    EXPECT_EQ(launcher.started.size(), 1);

    QTest::mouseClick(child("Label14"), Qt::LeftButton);
    EXPECT_EQ(launcher.opened, QStringList{Shell::kWebSite});
}

TEST_F(GameScreenTest, CreditsScrollAndHideAfterPassingTheEnd)
{
    start();
    action("mnucredits")->trigger();
    FrmCredits *credits = form->credits();
    ASSERT_TRUE(credits->isVisible());
    EXPECT_EQ(credits->windowTitle(), QStringLiteral("Credits"));
    EXPECT_TRUE(credits->timer()->isActive());
    EXPECT_EQ(credits->timer()->interval(), 25);
    QWidget *picture1 = credits->findChild<QWidget *>(QStringLiteral("Picture1"));
    ASSERT_NE(picture1, nullptr);

    // 409 ticks bring the top to -10225 twips; the 410th finds it past
    // -10200 and hides the form.
    int ticks = 0;
    while (credits->isVisible() && ticks < 1000) {
        credits->tick();
        ++ticks;
    }
    EXPECT_EQ(ticks, 410);
    EXPECT_EQ(credits->topTwips(), -10250);
    EXPECT_EQ(picture1->y(), twipsToPixelsY(credits, -10250));
    EXPECT_FALSE(credits->timer()->isActive()) << "a hidden form wakes nothing";

    // Shown again (by the picture button this time), it hides at once.
    QTest::mouseClick(child("Image9"), Qt::LeftButton);
    ASSERT_TRUE(credits->isVisible());
    EXPECT_TRUE(credits->timer()->isActive());
    credits->tick();
    EXPECT_FALSE(credits->isVisible());
}

TEST_F(GameScreenTest, LoadWarningAnsweredNoKeepsTheGameYesLoadsTheOtherQuest)
{
    start();
    loadTale();
    clickOption(1);
    pressPlayTurn();
    screen.state().addItem(QStringLiteral("Lamp"));
    const QString other = programDir.filePath(QStringLiteral("other.qst"));
    ASSERT_TRUE(test::writeFile(other, kOtherTale));

    files.setNextFileName(other);
    dialogs.setNextAnswer(Answer::No);
    action("mnuloadquest")->trigger();
    EXPECT_EQ(dialogs.lastText(), QStringLiteral("Are you sure? This will end the current game without saving!"));
    EXPECT_TRUE(files.hasNextFileName()) << "no file dialog after No";
    EXPECT_EQ(child<QLabel>("questfil")->text(), tale);
    EXPECT_EQ(child<QLabel>("pg")->text(), QStringLiteral("2"));

    dialogs.setNextAnswer(Answer::Yes);
    action("mnuloadquest")->trigger();
    EXPECT_FALSE(files.hasNextFileName());
    EXPECT_EQ(child<QLabel>("questfil")->text(), other);
    EXPECT_EQ(child<QLabel>("pg")->text(), QStringLiteral("1"));
    EXPECT_EQ(child<QListWidget>("List1")->count(), 0) << "a new quest starts with empty pockets";
    const QString log = child<QPlainTextEdit>("Text1")->toPlainText();
    EXPECT_GT(log.indexOf(QStringLiteral("Another Tale\n")), log.indexOf(QStringLiteral("A long hall.")))
        << "the new story follows the old one";
}

TEST_F(GameScreenTest, PictureButtonClicksOnlyWhenReleasedOverIt)
{
    start();
    loadTale();
    clickOption(1);
    QWidget *picture1 = child("Picture1");
    QTest::mousePress(picture1, Qt::LeftButton);
    QTest::mouseRelease(picture1, Qt::LeftButton, {}, QPoint(picture1->width() + 20, picture1->height() + 20));
    EXPECT_EQ(clock.pauses, 0);
    EXPECT_EQ(child<QLabel>("pg")->text(), QStringLiteral("1"));
}

TEST_F(GameScreenTest, ChoicesCanBeSelectedWithTheKeyboard)
{
    start();
    loadTale();
    auto *option1 = child<QRadioButton>("Option1");
    clickOption(1);
    ASSERT_TRUE(option1->hasFocus());
    QTest::keyClick(option1, Qt::Key_Down);
    EXPECT_EQ(screen.state().chosenOption(), 1);
    EXPECT_TRUE(child<QRadioButton>("Option2")->isChecked());
    EXPECT_FALSE(option1->isChecked());
}

TEST_F(GameScreenTest, WindowFollowsTheScreenState)
{
    start();
    screen.view().setTitle(QStringLiteral("Another Title"));
    EXPECT_EQ(form->windowTitle(), QStringLiteral("Another Title"));
    screen.view().setMenusVisible(false);
    EXPECT_FALSE(form->menuBar()->isVisible());
    screen.view().setMenusVisible(true);
    EXPECT_TRUE(form->menuBar()->isVisible());
    EXPECT_TRUE(form->findChild<QMenu *>(QStringLiteral("mnupdate"))->menuAction()->isVisible());

    // The place of the video surface is made with the first movie and handed
    // out then; the movie plays over the picture frame.
    QWidget *movBox = child("MovBox");
    EXPECT_EQ(form->movieWidget(), nullptr);
    QSignalSpy created(form.get(), &FrmGame::movieWidgetCreated);
    screen.view().setMoviePanelVisible(true);
    EXPECT_TRUE(movBox->isVisible());
    ASSERT_EQ(created.size(), 1);
    EXPECT_EQ(child("Movie"), static_cast<QWidget *>(form->movieWidget()));
    EXPECT_TRUE(child("Movie")->isVisible());
    QWidget *image3 = child("Image3");
    EXPECT_EQ(movBox->geometry(), QRect(image3->mapTo(form->centralWidget(), QPoint()), image3->size()));
    screen.view().setMoviePanelVisible(false);
    screen.view().setMoviePanelVisible(true);
    EXPECT_EQ(created.size(), 1); // made once
    screen.view().setMoviePanelVisible(false);
    EXPECT_FALSE(movBox->isVisible());

    screen.view().setHeightTwips(10800); // taller than the normal window
    EXPECT_EQ(form->frameGeometry().height(), twipsToPixelsY(form.get(), 10800));
    EXPECT_EQ(twipsToPixelsX(form.get(), 1440), form->logicalDpiX());
}

TEST_F(GameScreenTest, BattleTextRunsOnAndEscapeFollowsEachBattle)
{
    start();
    loadTale();
    clickOption(4);
    pressPlayTurn();
    ASSERT_TRUE(child("BattleBox")->isVisible());
    EXPECT_TRUE(child("Command4")->isEnabled());
    EXPECT_EQ(child<QLabel>("Label4")->text(), QStringLiteral("Wolf's HP:"));

    // Escape leads to a battle page that allows no escape.
    QTest::mouseClick(child("Command4"), Qt::LeftButton);
    EXPECT_TRUE(child("BattleBox")->isVisible());
    EXPECT_FALSE(child("Command4")->isEnabled());
    EXPECT_EQ(child<QLabel>("pg")->text(), QStringLiteral("4"));
    EXPECT_EQ(child<QPlainTextEdit>("Text2")->toPlainText(),
              QStringLiteral("You are under attack from Wolf!You are under attack from Troll!"));
    EXPECT_TRUE(child<QPlainTextEdit>("Text1")->toPlainText().endsWith(QStringLiteral("\n>\nHe draws his sword.")));
}

TEST_F(GameScreenTest, SaveAndLoadThroughTheMenusAndPictures)
{
    start();
    loadTale();
    clickOption(1);
    pressPlayTurn(); // page 2, score 2
    screen.state().addItem(QStringLiteral("Lamp"));
    const QString saved = programDir.filePath(QStringLiteral("game.sav"));

    // Save through the menu panel's picture.
    QTest::mouseClick(child("Image4"), Qt::LeftButton);
    files.setNextFileName(saved);
    QTest::mouseClick(child("Image6"), Qt::LeftButton);
    EXPECT_EQ(files.lastOptions().filter, QStringLiteral("*.sav|*.sav"));
    EXPECT_TRUE(child<QPlainTextEdit>("Text1")->toPlainText().endsWith(
        QStringLiteral("\n>\nGame: ") + saved + QStringLiteral("\nSaved Successfully.\n>\nA long hall.")));
    QTest::mouseClick(child("Image5"), Qt::LeftButton);

    clickOption(1);
    pressPlayTurn(); // page 3, score 7, no choices
    ASSERT_EQ(child<QLabel>("pg")->text(), QStringLiteral("3"));

    // The menu load restores the page, the choices and the score, and adds
    // the saved items to those held.
    files.setNextFileName(saved);
    action("mnuload")->trigger();
    EXPECT_EQ(child<QLabel>("pg")->text(), QStringLiteral("2"));
    EXPECT_EQ(child<QLabel>("score")->text(), QStringLiteral("2"));
    EXPECT_EQ(child<QPlainTextEdit>("room")->toPlainText(), QStringLiteral("A long hall."));
    EXPECT_TRUE(child("Option1")->isVisible());
    EXPECT_FALSE(child("Option2")->isVisible());
    EXPECT_EQ(child<QRadioButton>("Option3")->text(), QStringLiteral("Back to the gate"));
    EXPECT_EQ(child<QListWidget>("List1")->count(), 2);
    EXPECT_TRUE(child<QPlainTextEdit>("Text1")->toPlainText().endsWith(QStringLiteral("\nLoaded Successfully.\n>\nA long hall.")));

    // The picture load leaves the inventory alone and closes the menu panel.
    QTest::mouseClick(child("Image4"), Qt::LeftButton);
    files.setNextFileName(saved);
    QTest::mouseClick(child("Image2"), Qt::LeftButton);
    EXPECT_EQ(child<QListWidget>("List1")->count(), 2);
    EXPECT_FALSE(child("Picture2")->isVisible());

    // A file that is no saved game is refused with a message; the screen stays.
    const QString notSaved = programDir.filePath(QStringLiteral("notes.sav"));
    ASSERT_TRUE(test::writeFile(notSaved, "[other]\r\nx=1\r\n"));
    files.setNextFileName(notSaved);
    dialogs.setNextAnswer(Answer::Yes);
    action("mnuload")->trigger();
    EXPECT_EQ(dialogs.lastTitle(), QStringLiteral("Error Loading Game:"));
    EXPECT_EQ(child<QLabel>("pg")->text(), QStringLiteral("2"));
    EXPECT_EQ(child<QListWidget>("List1")->count(), 2);
}

namespace {

// Sends one key to whatever has the keyboard focus, as a keyboard does.
void press(FrmGame &form, int key, Qt::KeyboardModifiers modifiers = Qt::NoModifier)
{
    QWidget *target = QApplication::focusWidget();
    QTest::keyClick(target ? target : &form, Qt::Key(key), modifiers);
}

QString focusName()
{
    const QWidget *w = QApplication::focusWidget();
    return w ? w->objectName() : QStringLiteral("(none)");
}

} // namespace

// From start-up to an ending of the default adventure with keys alone: the
// menu panel's picture buttons, the character panel, choices by number, the
// fight by Enter on Attack, and Play Again at the end.
TEST_F(GameScreenTest, DefaultAdventureToAnEndingWithTheKeyboardAlone)
{
    const QString adventure = QStringLiteral(FABLECRAFT_DATA_DIR "/VellumAdventure.qst");
    ASSERT_TRUE(QFileInfo::exists(adventure));
    start();
    game->setSeed(1);
    form->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(form.get()));

    // The menu panel is open at start and has the focus: Tab reaches Load
    // Quest, Enter presses it.
    EXPECT_TRUE(waitFor([] { return QApplication::focusWidget() != nullptr; }));
    EXPECT_TRUE(child("Picture2")->isAncestorOf(QApplication::focusWidget())) << focusName().toStdString();
    for (int tabs = 0; focusName() != QLatin1String("Image1") && tabs < 20; ++tabs)
        press(*form, Qt::Key_Tab);
    ASSERT_EQ(focusName(), "Image1");
    files.setNextFileName(adventure);
    press(*form, Qt::Key_Return);
    ASSERT_EQ(screen.state().questFile(), adventure);
    EXPECT_FALSE(child("Picture2")->isVisible());

    // The character panel takes the focus; Esc keeps the quest's own values.
    ASSERT_TRUE(child("CharCreate")->isVisible());
    EXPECT_EQ(focusName(), "Text6");
    press(*form, Qt::Key_Escape);
    EXPECT_FALSE(child("CharCreate")->isVisible());
    EXPECT_FALSE(child("Picture2")->isVisible());

    const QList<int> route = {1, 1, 2, 3, 4, 4, 2, 2, 0, 2}; // 0: the fight
    for (int choice : route) {
        if (choice == 0) {
            ASSERT_TRUE(child("BattleBox")->isVisible());
            EXPECT_EQ(focusName(), "Command3"); // Attack first
            EXPECT_FALSE(child("Option1")->isEnabled());
            EXPECT_FALSE(child("Picture1")->isEnabled());
            // Enter and Space both strike while Attack has the focus.
            for (int blows = 0; child("BattleBox")->isVisible() && blows < 60; ++blows)
                press(*form, blows % 2 ? Qt::Key_Space : Qt::Key_Return);
            ASSERT_FALSE(child("BattleBox")->isVisible());
            // The deciding blow stays readable in the story log.
            const qsizetype outcome = screen.state().log().lastIndexOf(QStringLiteral("\r\n>\r\nYou strike "));
            ASSERT_GE(outcome, 0);
            EXPECT_TRUE(screen.state().log().indexOf(QStringLiteral("You defeat the "), outcome) > 0
                        || screen.state().log().indexOf(QStringLiteral(" defeats you."), outcome) > 0);
            // The focus is back on the first choice offered, so a number and
            // Enter take the next turn at once.
            int first = 1;
            while (first < 4 && !screen.state().option(first - 1).visible())
                ++first;
            EXPECT_EQ(focusName(), QStringLiteral("Option%1").arg(first)) << "page " << screen.state().page().toStdString();
            continue;
        }
        ASSERT_FALSE(child("BattleBox")->isVisible()) << "a fight is going on";
        const QString page = screen.state().page();
        press(*form, Qt::Key_0 + choice);
        ASSERT_EQ(screen.state().chosenOption(), choice - 1) << "page " << page.toStdString();
        EXPECT_EQ(focusName(), QStringLiteral("Option%1").arg(choice));
        press(*form, Qt::Key_Return);
        ASSERT_NE(screen.state().page(), page);
    }
    ASSERT_TRUE(screen.isEnding()) << "page " << screen.state().page().toStdString();
    EXPECT_TRUE(child("ending")->isVisible());
    EXPECT_EQ(focusName(), "PlayAgain");
    press(*form, Qt::Key_Return);
    EXPECT_EQ(screen.state().page(), "1");
    EXPECT_FALSE(child("ending")->isVisible());
    EXPECT_TRUE(child("Option1")->isVisible());
}

// The default adventure's battle pages offer their choices (fight again, or
// give in) after a defeat and after loading a game saved during the fight:
// never the ending offer, and the keyboard takes the fight up again.
TEST_F(GameScreenTest, DefaultAdventureBattlePagesGoOnAfterADefeatAndAfterLoading)
{
    const QString adventure = QStringLiteral(FABLECRAFT_DATA_DIR "/VellumAdventure.qst");
    start();
    form->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(form.get()));
    files.setNextFileName(adventure);
    action("mnuloadquest")->trigger();
    ASSERT_EQ(screen.state().questFile(), adventure);
    game->fight().closeCharacterPanel();
    auto take = [&](int choice) {
        clickOption(choice);
        pressPlayTurn();
    };
    auto expectChoicesOffered = [&](const char *first) {
        EXPECT_FALSE(child("BattleBox")->isVisible());
        EXPECT_FALSE(screen.isEnding());
        EXPECT_FALSE(child("ending")->isVisible());
        EXPECT_EQ(child<QRadioButton>("Option1")->text(), QString::fromLatin1(first));
        EXPECT_TRUE(child("Option1")->isVisible() && child("Option1")->isEnabled());
        EXPECT_TRUE(child("Option2")->isVisible() && child("Option2")->isEnabled());
        EXPECT_TRUE(child("Picture1")->isEnabled());
        EXPECT_NE(focusName(), "PlayAgain");
        EXPECT_FALSE(child("BattleBox")->isAncestorOf(QApplication::focusWidget())) << focusName().toStdString();
    };

    // The swarm in the lectern room: struck and escaped from until the hero,
    // worn down, loses (the dice are fixed).
    for (int choice : {1, 2, 1, 2, 3, 1, 1}) // workshop, letter, key, green, hill, door, stair
        take(choice);
    ASSERT_EQ(screen.state().page(), "19");
    ASSERT_TRUE(child("BattleBox")->isVisible());
    game->setSeed(1);
    for (int round = 0; round < 40 && child("BattleBox")->isVisible(); ++round) {
        QTest::mouseClick(child("Command3"), Qt::LeftButton);
        if (child("BattleBox")->isVisible() && screen.battle().enemyBar().value < 14) {
            QTest::mouseClick(child("Command4"), Qt::LeftButton); // back to the hall
            ASSERT_EQ(screen.state().page(), "17");
            take(1);
        }
    }
    ASSERT_TRUE(screen.state().log().endsWith(QStringLiteral("The Ink-Moth Swarm defeats you."))) << "the dice changed";
    EXPECT_EQ(screen.state().page(), "19");
    expectChoicesOffered("Face the swarm");
    press(*form, Qt::Key_1);
    press(*form, Qt::Key_Return);
    EXPECT_TRUE(child("BattleBox")->isVisible());
    EXPECT_EQ(focusName(), "Command3");
    EXPECT_EQ(screen.battle().enemyBar().value, 18); // a new fight

    // The Blotwyrm, saved as the fight opens, then fought to an ending.
    game->questStart().clickPlayAgain();
    game->fight().closeCharacterPanel();
    for (int choice : {1, 1, 2, 3, 4, 4, 2, 2}) // lantern, green, hill, cave, tunnel, lake, Hesper
        take(choice);
    ASSERT_EQ(screen.state().page(), "27");
    ASSERT_TRUE(child("BattleBox")->isVisible());
    const QString saved = programDir.filePath(QStringLiteral("fight.sav"));
    files.setNextFileName(saved);
    action("mnusave")->trigger();
    for (int blows = 0; child("BattleBox")->isVisible() && blows < 60; ++blows)
        QTest::mouseClick(child("Command3"), Qt::LeftButton);
    ASSERT_EQ(screen.state().page(), "35");
    take(2);
    ASSERT_TRUE(screen.isEnding());
    EXPECT_EQ(focusName(), "PlayAgain");

    files.setNextFileName(saved);
    action("mnuload")->trigger();
    EXPECT_EQ(screen.state().page(), "27");
    expectChoicesOffered("Stand and fight");
    press(*form, Qt::Key_1);
    press(*form, Qt::Key_Return);
    EXPECT_TRUE(child("BattleBox")->isVisible());
    EXPECT_EQ(focusName(), "Command3");
}

// Focus goes into each panel as it opens and back where it was as it closes;
// Esc closes the inventory and toggles the menu panel.
TEST_F(GameScreenTest, FocusFollowsThePanels)
{
    start();
    form->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(form.get()));
    loadTale();
    ASSERT_FALSE(child("Picture2")->isVisible());
    child("Option4")->setFocus();
    press(*form, Qt::Key_4);
    press(*form, Qt::Key_Return); // the wolf's den: a fight
    ASSERT_TRUE(child("BattleBox")->isVisible());
    EXPECT_EQ(focusName(), "Command3");

    child("Command5")->setFocus();
    press(*form, Qt::Key_Space); // Item: the inventory over the battle
    ASSERT_TRUE(child("InvBox")->isVisible());
    EXPECT_TRUE(child("InvBox")->isAncestorOf(QApplication::focusWidget())) << focusName().toStdString();
    press(*form, Qt::Key_Escape);
    EXPECT_FALSE(child("InvBox")->isVisible());
    EXPECT_EQ(focusName(), "Command5");

    // Keys 1-4 wait while the fight goes on.
    press(*form, Qt::Key_1);
    EXPECT_EQ(screen.state().chosenOption(), -1);

    press(*form, Qt::Key_Escape); // the menu panel
    ASSERT_TRUE(child("Picture2")->isVisible());
    EXPECT_TRUE(child("Picture2")->isAncestorOf(QApplication::focusWidget())) << focusName().toStdString();
    press(*form, Qt::Key_Escape); // Resume Game
    EXPECT_FALSE(child("Picture2")->isVisible());
    EXPECT_EQ(focusName(), "Command5");
}

// The battle box leaves the newest lines of the story log in view, and the
// outcome of the fight is read in the log after the box closes.
TEST_F(GameScreenTest, BattleBoxKeepsTheNewestStoryInView)
{
    start();
    loadTale();
    clickOption(4);
    pressPlayTurn();
    QWidget *box = child("BattleBox");
    ASSERT_TRUE(box->isVisible());
    auto *text1 = child<QPlainTextEdit>("Text1");
    QTextCursor end(text1->document());
    end.movePosition(QTextCursor::End);
    const QRect lastLine = text1->cursorRect(end).translated(text1->viewport()->mapTo(form->centralWidget(), QPoint()));
    EXPECT_FALSE(box->geometry().intersects(lastLine))
        << "box " << box->geometry().y() << "+" << box->geometry().height() << ", last line at " << lastLine.y();
    EXPECT_FALSE(child("Command1")->isEnabled());

    for (int blows = 0; box->isVisible() && blows < 60; ++blows)
        QTest::mouseClick(child("Command3"), Qt::LeftButton);
    ASSERT_FALSE(box->isVisible());
    EXPECT_TRUE(text1->toPlainText().contains(QRegularExpression(QStringLiteral("\n>\nYou strike Wolf for \\d+ damage.\nYou defeat the Wolf."))));
    EXPECT_TRUE(child("Command1")->isEnabled());
}

// On a screen smaller than the window would like, the window keeps within it
// and every control of the game screen lies inside the window.
TEST_F(GameScreenTest, WindowFitsASmallScreen)
{
    start();
    loadTale();
    const QRect available = form->screen()->availableGeometry();
    EXPECT_LE(form->frameGeometry().width(), available.width());
    EXPECT_LE(form->frameGeometry().height(), available.height());
    const QRect inside = form->centralWidget()->rect();
    for (const char *name : {"Image4", "pg", "score", "Text1", "Image3", "HPPlay", "ProgressBar4", "Picture3",
                             "Command6", "Option1", "Option4", "Picture1", "Command1"}) {
        QWidget *w = child(name);
        const QRect r(w->mapTo(form->centralWidget(), QPoint()), w->size());
        EXPECT_TRUE(inside.contains(r)) << name << " lies outside the window";
    }
}

// A screen reader hears page and score by name, the bars and picture buttons
// by what they show.
TEST_F(GameScreenTest, ScreenReaderNamesFollowTheGame)
{
    start();
    loadTale();
    EXPECT_EQ(child("pg")->accessibleName(), "Page 1");
    EXPECT_EQ(child("score")->accessibleName(), "Score 0");
    EXPECT_EQ(child("HPPlay")->accessibleName(), "Hit points");
    EXPECT_EQ(child("HPPlay")->accessibleDescription(), "30 of 30");
    EXPECT_EQ(child("Image4")->accessibleName(), "Menu");
    EXPECT_EQ(child("Image6")->accessibleName(), "Save Game");
    EXPECT_NE(qobject_cast<QAbstractButton *>(child("Picture1")), nullptr);
    clickOption(1);
    pressPlayTurn();
    EXPECT_EQ(child("pg")->accessibleName(), "Page 2");
    EXPECT_EQ(child("score")->accessibleName(), "Score 2");
    EXPECT_EQ(child("Option1")->accessibleName(), "Go on");
}

namespace {

// Three fights from page 1: won with one blow (page 2), lost at once
// (page 3), escaped (page 4). Each leads to a page whose first offered
// choice goes home; the won page's first choice is hidden (a missing item).
const char kFights[] =
    "[Story Info]\r\nTitle=Three Fights\r\nAuthor=T\r\nVersion=1\r\n\r\n"
    "[CharacterData]\r\nCharHp=5\r\nCharAtk=5\r\n\r\n"
    "[1]\r\nLocation=Yard\r\nPage Text=Pick a fight.\r\n"
    "Option One=Fight the rat\r\nOption One Destination Page=2\r\n"
    "Option Two=Fight the dragon\r\nOption Two Destination Page=3\r\n"
    "Option Three=Fight the wolf\r\nOption Three Destination Page=4\r\n\r\n"
    "[2]\r\nLocation=Rat\r\nPage Text=A rat.\r\nBattle=1\r\nBattleMonName=Rat\r\nBattleMonHp=1\r\n"
    "BattleEscapecheck=0\r\nBattleWin=5\r\n\r\n"
    "[3]\r\nLocation=Dragon\r\nPage Text=A dragon.\r\nBattle=1\r\nBattleMonName=Dragon\r\nBattleMonHp=900000\r\n"
    "BattleMonAtk=900\r\nBattleEscapecheck=0\r\nBattleLose=6\r\n\r\n"
    "[4]\r\nLocation=Wolf\r\nPage Text=A wolf.\r\nBattle=1\r\nBattleMonName=Wolf\r\nBattleMonHp=500\r\n"
    "BattleMonAtk=1\r\nBattleEscape=7\r\n\r\n"
    "[5]\r\nLocation=Won\r\nPage Text=The rat is gone.\r\n"
    "Option One=Use the crown\r\nOption One Destination Page=1\r\nKey Item1=Crown\r\nRequired1=1\r\n"
    "Option Two=Walk home\r\nOption Two Destination Page=1\r\n\r\n"
    "[6]\r\nLocation=Lost\r\nPage Text=You wake up.\r\nOption One=Crawl home\r\nOption One Destination Page=1\r\n\r\n"
    "[7]\r\nLocation=Fled\r\nPage Text=You got away.\r\nOption One=Run home\r\nOption One Destination Page=1\r\n";

} // namespace

// However a fight ends (won with one blow, lost, escaped), the focus lands
// on the first choice the next page offers, and its number and Enter take
// the turn at once; the deciding blow is read in the story log.
TEST_F(GameScreenTest, FocusReturnsToTheChoicesWhenAFightEnds)
{
    const QString fights = programDir.filePath(QStringLiteral("fights.qst"));
    ASSERT_TRUE(test::writeFile(fights, kFights));
    start();
    form->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(form.get()));
    files.setNextFileName(fights);
    action("mnuloadquest")->trigger();
    ASSERT_EQ(screen.state().page(), "1");

    struct Case
    {
        int choice;            // on page 1
        bool escape;           // Tab to Escape and press Space, else Enter on Attack
        const char *page;      // where the fight leads
        const char *focus;     // the first choice offered there
        const char *logged;    // the end of the log entry of the fight
    };
    const Case cases[] = {
        {1, false, "5", "Option2", "You defeat the Rat."},
        {2, false, "6", "Option1", "The Dragon defeats you."},
        {3, true, "7", "Option1", nullptr},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.page);
        press(*form, Qt::Key_0 + c.choice);
        press(*form, Qt::Key_Return);
        ASSERT_TRUE(child("BattleBox")->isVisible());
        ASSERT_EQ(focusName(), "Command3");
        if (c.escape) {
            press(*form, Qt::Key_Tab);
            ASSERT_EQ(focusName(), "Command4");
            press(*form, Qt::Key_Space);
        } else {
            press(*form, Qt::Key_Return);
        }
        ASSERT_FALSE(child("BattleBox")->isVisible());
        ASSERT_EQ(screen.state().page(), c.page);
        EXPECT_EQ(focusName(), c.focus);
        if (c.logged) {
            const QString log = screen.state().log();
            const qsizetype entry = log.lastIndexOf(QStringLiteral("\r\n>\r\nYou strike "));
            ASSERT_GE(entry, 0);
            EXPECT_GT(log.indexOf(QString::fromLatin1(c.logged), entry), entry);
        }
        // The number of the focused choice and Enter: home at once.
        press(*form, Qt::Key_0 + QString::fromLatin1(c.focus).right(1).toInt());
        press(*form, Qt::Key_Return);
        EXPECT_EQ(screen.state().page(), "1");
        EXPECT_FALSE(child("Picture2")->isVisible());
    }
}

// While the battle box, the inventory, the character panel or the menu panel
// is open, Tab and Shift+Tab go round its own controls only.
TEST_F(GameScreenTest, TabStaysInsideTheOpenPanel)
{
    const QString rolled = programDir.filePath(QStringLiteral("rolled.qst"));
    ASSERT_TRUE(test::writeFile(rolled, QByteArray(kTale).replace("[Story Info]\r\n",
                                                                  "[CharacterData]\r\nCharCreateAllow=1\r\n\r\n"
                                                                  "[Story Info]\r\n")));
    start();
    form->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(form.get()));

    auto goRound = [&](const char *panelName, int least) {
        SCOPED_TRACE(panelName);
        QWidget *panel = child(panelName);
        ASSERT_TRUE(panel && panel->isVisible());
        ASSERT_TRUE(panel->isAncestorOf(QApplication::focusWidget())) << focusName().toStdString();
        for (Qt::KeyboardModifiers modifiers : {Qt::KeyboardModifiers(), Qt::KeyboardModifiers(Qt::ShiftModifier)}) {
            QSet<QString> visited;
            for (int tab = 0; tab < 40; ++tab) {
                press(*form, modifiers ? Qt::Key_Backtab : Qt::Key_Tab, modifiers);
                ASSERT_TRUE(panel->isAncestorOf(QApplication::focusWidget())) << "left for " << focusName().toStdString();
                visited << focusName();
            }
            EXPECT_GE(visited.size(), least) << "Tab goes nowhere";
        }
    };

    goRound("Picture2", 8); // open at start
    files.setNextFileName(rolled);
    action("mnuloadquest")->trigger();
    goRound("CharCreate", 6); // four boxes and at least Re-Roll and Create
    press(*form, Qt::Key_Escape);
    ASSERT_FALSE(child("CharCreate")->isVisible());

    press(*form, Qt::Key_4);
    press(*form, Qt::Key_Return); // the wolf's den
    goRound("BattleBox", 3); // Attack, Escape, Item (and the battle text)
    child("Command5")->setFocus();
    press(*form, Qt::Key_Space); // Item
    goRound("InvBox", 2); // the list and Close
    press(*form, Qt::Key_Escape);
    EXPECT_TRUE(child("BattleBox")->isAncestorOf(QApplication::focusWidget()));
}

// "Test Game" twice over a game in the middle of a fight: nothing of the old
// game shows but the story log, and each header starts on a line of its own.
TEST_F(GameScreenTest, TestPlayStartsFresh)
{
    start();
    loadTale();
    clickOption(1);
    pressPlayTurn(); // the hall: a picture
    ASSERT_FALSE(child<PictureView>("Image3")->image().isNull());
    clickOption(3);
    pressPlayTurn(); // back to the gate
    clickOption(4);
    pressPlayTurn(); // the wolf's den: a fight
    ASSERT_TRUE(child("BattleBox")->isVisible());
    QTest::mouseClick(child("Command3"), Qt::LeftButton);
    ASSERT_FALSE(child<QPlainTextEdit>("Text2")->toPlainText().isEmpty());
    QTest::mouseClick(child("Command5"), Qt::LeftButton); // the inventory over the fight
    ASSERT_TRUE(child("InvBox")->isVisible());
    screen.character().setExperience({20, 12});
    screen.view().setMoviePanelVisible(true);
    movie.setFileName(QStringLiteral("old.avi"));
    movie.play();

    const QString workingCopy = GetWindowsDir() + QStringLiteral("/tmpquest.ini");
    ASSERT_TRUE(test::writeFile(workingCopy, "[Story Info]\r\nTitle=Draft Tale\r\nAuthor=Me\r\nVersion=0\r\n\r\n"
                                             "[1]\r\nLocation=Draft Gate\r\nPage Text=Drafty.\r\n"
                                             "Option One=On\r\nOption One Destination Page=1\r\n"));
    for (int run = 1; run <= 2; ++run) {
        SCOPED_TRACE(run);
        const QString before = screen.state().log();
        game->questStart().LoadTmpGame();
        EXPECT_FALSE(child("BattleBox")->isVisible());
        EXPECT_TRUE(child<QPlainTextEdit>("Text2")->toPlainText().isEmpty());
        EXPECT_TRUE(child<PictureView>("Image3")->image().isNull());
        EXPECT_FALSE(child("MovBox")->isVisible());
        EXPECT_TRUE(movie.isStopped());
        EXPECT_EQ(child<QProgressBar>("ProgressBar4")->value(), 0);
        EXPECT_EQ(child<QProgressBar>("HPPlay")->value(), child<QProgressBar>("HPPlay")->maximum());
        EXPECT_FALSE(child("InvBox")->isVisible());
        EXPECT_FALSE(child("CharCreate")->isVisible());
        EXPECT_FALSE(child("Picture2")->isVisible());
        EXPECT_TRUE(screen.state().inventory().isEmpty());
        EXPECT_EQ(screen.state().score(), "0");
        EXPECT_TRUE(child("Option1")->isVisible() && child("Option1")->isEnabled());
        // The story so far stays; the new header begins a line.
        ASSERT_TRUE(screen.state().log().startsWith(before));
        EXPECT_TRUE(screen.state().log().mid(before.size()).startsWith(QStringLiteral("\r\nDraft Tale\r\n")))
            << screen.state().log().mid(before.size() - 20, 60).toStdString();
        EXPECT_TRUE(child<QPlainTextEdit>("Text1")->toPlainText().contains(QStringLiteral("Drafty.\nDraft Tale\n"))
                    || run == 1);
    }
}

namespace {
double luminance(QColor c)
{
    auto channel = [](double v) { return v <= 0.03928 ? v / 12.92 : std::pow((v + 0.055) / 1.055, 2.4); };
    return 0.2126 * channel(c.redF()) + 0.7152 * channel(c.greenF()) + 0.0722 * channel(c.blueF());
}
} // namespace

// "The story ends here." is a heading: large, bold, at least 4.5:1 against
// its background, a heading to screen readers, and said with Play Again,
// which takes the focus.
TEST_F(GameScreenTest, EndingIsAReadableHeading)
{
    start();
    form->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(form.get()));
    loadTale();
    press(*form, Qt::Key_2);
    press(*form, Qt::Key_Return); // walk away: the end
    ASSERT_TRUE(screen.isEnding());
    auto *heading = child<QLabel>("endingText");
    ASSERT_TRUE(heading->isVisible());
    EXPECT_EQ(heading->text(), "The story ends here.");
    EXPECT_TRUE(heading->font().bold());
    EXPECT_GT(heading->font().pointSizeF(), child("Option1")->font().pointSizeF());

    // The darkest and lightest pixels of the drawn label: ink and paper.
    const QImage drawn = child("ending")->grab(heading->geometry()).toImage();
    double darkest = 1, lightest = 0;
    for (int y = 0; y < drawn.height(); ++y)
        for (int x = 0; x < drawn.width(); ++x) {
            const double l = luminance(drawn.pixelColor(x, y));
            darkest = std::min(darkest, l);
            lightest = std::max(lightest, l);
        }
    EXPECT_GE((lightest + 0.05) / (darkest + 0.05), 4.5);

    QAccessibleInterface *spoken = QAccessible::queryAccessibleInterface(heading);
    ASSERT_NE(spoken, nullptr);
    EXPECT_EQ(spoken->role(), QAccessible::Heading);
    EXPECT_EQ(spoken->text(QAccessible::Name), "The story ends here.");
    EXPECT_EQ(focusName(), "PlayAgain");
    EXPECT_EQ(child("PlayAgain")->accessibleDescription(), "The story ends here.");
}
