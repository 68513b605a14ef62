// The quest editor driven offscreen through its real widgets, as an author
// uses it: typing into the fields, choosing pages, opening the battle and
// character dialogs by their buttons, picking files, the help line, and
// "Test Game" showing the game screen. What the editor wrote is read back from
// the working copy on disk.
#include "app/program.h"
#include "compiler/ui/frmcompile.h"
#include "editor/editor.h"
#include "editor/ui/checkpanel.h"
#include "editor/ui/createquest.h"
#include "editor/ui/editordialogs.h"
#include "editor/ui/editorports.h"
#include "editor/ui/findpanel.h"
#include "editor/ui/formbinding.h"
#include "engine/game.h"
#include "engine/recording_ports.h"
#include "engine/ui/frmgame.h"
#include "engine/ui/qt_ports.h"
#include "storage/profile_store.h"
#include "storage/user_folders.h"
#include "tests/support/testsupport.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QElapsedTimer>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QListView>
#include <QMenu>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <memory>

#include <gtest/gtest.h>

using namespace fc;

namespace {

const QString kWc = QStringLiteral("tmpquest.ini");

using test::waitFor;

class EditorFormsTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(programDir.isValid());
        QFile::remove(QDir(GetWindowsDir()).filePath(kWc));
        wiring = std::make_unique<ProgramParts>(set.ports(), programDir.path());
        window = &wiring->window();
        wiring->game().questStart().startUp();
        window->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(window));
        test::failOnUnansweredModals(modalWatch);
    }

    void TearDown() override
    {
        modalWatch.stop();
        wiring.reset(); // the game screen and the editor
    }

    // "&Create 'A' Quest" on the game screen.
    void openEditor()
    {
        auto *menu = window->findChild<QAction *>(QStringLiteral("mnucreatequest"));
        ASSERT_NE(menu, nullptr);
        menu->trigger();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&editorWindow()));
    }

    CreateQuest &editorWindow() { return wiring->createquest(); }
    Editor &editor() { return wiring->editor(); }

    template <typename T = QWidget> T *control(QWidget &form, const char *name)
    {
        T *found = form.findChild<T *>(QString::fromLatin1(name));
        EXPECT_NE(found, nullptr) << "no control " << name;
        return found;
    }
    template <typename T = QWidget> T *cq(const char *name) { return control<T>(editorWindow(), name); }

    // Types into a control as a user does: focus, then keys.
    void type(QWidget *field, const QString &text)
    {
        ASSERT_TRUE(field && field->isVisible() && field->isEnabled());
        field->activateWindow();
        field->setFocus(Qt::MouseFocusReason);
        QTest::keyClick(field, Qt::Key_End);
        QTest::keyClicks(field, text);
    }

    void click(QWidget *button)
    {
        ASSERT_TRUE(button && button->isVisible() && button->isEnabled());
        // A check box takes clicks on its box and caption, at its left.
        const int x = qobject_cast<QCheckBox *>(button) ? 8 : button->width() / 2;
        QTest::mouseClick(button, Qt::LeftButton, {}, QPoint(x, button->height() / 2));
    }

    void clickEntry(const QString &text)
    {
        auto *pg = cq<QListView>("pg");
        ASSERT_TRUE(pg);
        // Rows show "N  Location"; the entry itself is the page name.
        const auto found = pg->model()->match(pg->model()->index(0, 0), Qt::UserRole, text, 1, Qt::MatchExactly);
        ASSERT_EQ(found.size(), 1) << "no entry " << text.toStdString();
        pg->scrollTo(found.first());
        QTest::mouseClick(pg->viewport(), Qt::LeftButton, {}, pg->visualRect(found.first()).center());
    }

    // The working copy as it is on disk once the editor has written it out.
    QString onDisk(const QString &section, const QString &key)
    {
        EXPECT_TRUE(editor().flush());
        return ReadIni(kWc, section, key);
    }

    QString textOf(QWidget *w)
    {
        if (auto *line = qobject_cast<QLineEdit *>(w))
            return line->text();
        if (auto *box = qobject_cast<QPlainTextEdit *>(w))
            return box->toPlainText();
        if (auto *label = qobject_cast<QLabel *>(w))
            return label->text();
        return {};
    }

    QTimer modalWatch;
    QTemporaryDir programDir;
    RecordingPortSet set;
    std::unique_ptr<ProgramParts> wiring;
    FrmGame *window = nullptr;
};

} // namespace

TEST_F(EditorFormsTest, EveryControlIsAWidgetByItsNameWithNameHelpAndKeyboardAccess)
{
    openEditor();
    click(cq("Check9"));
    click(cq("Command7"));
    click(cq("Command8"));
    const std::pair<QWidget *, const FormState *> forms[] = {
        {&wiring->createquest(), &editor().state().createquest()},
        {&wiring->battle(), &editor().state().battle()},
        {&wiring->character(), &editor().state().character()}};
    for (const auto &[form, state] : forms) {
        EXPECT_TRUE(form->isVisible()) << state->name().toStdString();
        EXPECT_EQ(form->windowTitle(), state->caption());
        EXPECT_FALSE(form->isModal());
        for (const Control &c : state->controls()) {
            const std::string where = (state->name() + QLatin1Char('.') + c.name).toStdString();
            if (c.kind == ControlKind::Menu) {
                EXPECT_NE(form->findChild<QObject *>(c.name), nullptr) << where;
                continue;
            }
            QWidget *w = form->findChild<QWidget *>(c.name);
            ASSERT_NE(w, nullptr) << where;
            if (c.kind == ControlKind::TextBox || c.kind == ControlKind::Label) {
                EXPECT_EQ(textOf(w), c.text) << where;
            } else if (c.kind == ControlKind::Button) {
                EXPECT_EQ(static_cast<QPushButton *>(w)->text(), c.text) << where;
            } else if (c.kind == ControlKind::CheckBox) {
                EXPECT_EQ(static_cast<QCheckBox *>(w)->text(), c.text) << where;
            }
            EXPECT_EQ(w->accessibleDescription(), c.help) << where;
            const bool input = c.kind == ControlKind::TextBox || c.kind == ControlKind::CheckBox
                               || c.kind == ControlKind::Button || c.kind == ControlKind::PageList;
            if (input) {
                EXPECT_FALSE(w->accessibleName().isEmpty()) << where;
                EXPECT_TRUE(w->focusPolicy() & Qt::TabFocus) << where;
            }
        }
    }
    // Modeless: the game screen stays usable beside the editor.
    EXPECT_FALSE(QApplication::activeModalWidget());
    EXPECT_TRUE(window->isEnabled());
}

// A dialog that is open already comes to the front when its button on the
// editor form is clicked again.
TEST_F(EditorFormsTest, AnOpenDialogComesToTheFrontWhenItsButtonIsClickedAgain)
{
    openEditor();
    click(cq("Check9"));
    const std::pair<const char *, QWidget *> buttons[] = {{"Command7", &wiring->battle()},
                                                          {"Command8", &wiring->character()}};
    for (const auto &[button, dialog] : buttons) {
        click(cq(button));
        ASSERT_TRUE(QTest::qWaitForWindowExposed(dialog)) << button;
        editorWindow().activateWindow();
        ASSERT_TRUE(waitFor([&] { return editorWindow().isActiveWindow(); })) << button;
        click(cq(button));
        EXPECT_TRUE(waitFor([&] { return dialog->isActiveWindow(); })) << button;
    }
}

TEST_F(EditorFormsTest, TypingWritesThePageKeysLineBreaksBecomeBlanksAndLimitsHold)
{
    openEditor();
    type(cq("Text19"), QStringLiteral("The Mill"));
    type(cq("Text1"), QStringLiteral("Wheels"));
    QTest::keyClick(cq("Text1"), Qt::Key_Return); // no line break in the page text
    QTest::keyClicks(cq("Text1"), QStringLiteral(" turn."));
    type(cq("Text2"), QStringLiteral("Climb the stair"));
    type(cq("Text6"), QStringLiteral("2"));
    type(cq("Text17"), QStringLiteral("+12345")); // a score holds three characters
    type(cq("Text10"), QStringLiteral("Millstone"));

    EXPECT_EQ(onDisk(QStringLiteral("1"), QStringLiteral("Location")), QStringLiteral("The Mill"));
    EXPECT_EQ(onDisk(QStringLiteral("1"), QStringLiteral("Page Text")), QStringLiteral("Wheels turn."));
    EXPECT_EQ(onDisk(QStringLiteral("1"), QStringLiteral("Option One")), QStringLiteral("Climb the stair"));
    EXPECT_EQ(onDisk(QStringLiteral("1"), QStringLiteral("Option One Destination Page")), QStringLiteral("2"));
    EXPECT_EQ(onDisk(QStringLiteral("1"), QStringLiteral("Option One Score")), QStringLiteral("+12"));
    EXPECT_EQ(cq<QLineEdit>("Text17")->text(), QStringLiteral("+12"));
    EXPECT_EQ(onDisk(QStringLiteral("Story Info"), QStringLiteral("Title")), QStringLiteral("Millstone"));

    // A pasted line break becomes a blank; the page text takes at most 1000 characters.
    auto *text1 = cq<QPlainTextEdit>("Text1");
    text1->selectAll();
    QApplication::clipboard()->setText(QStringLiteral("Line one\nline two\r\nthree"));
    text1->paste();
    EXPECT_EQ(text1->toPlainText(), QStringLiteral("Line one line two three"));
    EXPECT_EQ(onDisk(QStringLiteral("1"), QStringLiteral("Page Text")), QStringLiteral("Line one line two three"));
    auto *text3 = cq<QLineEdit>("Text3");
    text3->setFocus();
    QApplication::clipboard()->setText(QStringLiteral("North\ngate"));
    text3->paste();
    EXPECT_EQ(text3->text(), QStringLiteral("North gate"));
    EXPECT_EQ(onDisk(QStringLiteral("1"), QStringLiteral("Option Two")), QStringLiteral("North gate"));
    text1->selectAll();
    QApplication::clipboard()->setText(QString(1200, QLatin1Char('x')));
    text1->paste();
    EXPECT_EQ(onDisk(QStringLiteral("1"), QStringLiteral("Page Text")).size(), 1000);
    QTest::keyClicks(text1, QStringLiteral("yz"));
    EXPECT_EQ(text1->toPlainText().size(), 1000);

    // Without a flush, the file follows within the promised lag.
    type(cq("Text19"), QStringLiteral("!"));
    EXPECT_TRUE(waitFor([] { return ReadIni(kWc, QStringLiteral("1"), QStringLiteral("Location")) == QStringLiteral("The Mill!"); },
                        WorkingCopy::kMaxLagMs + 500));
}

TEST_F(EditorFormsTest, AddingAndSelectingPagesFillsTheFieldsFromTheirSections)
{
    openEditor();
    type(cq("Text19"), QStringLiteral("Gate"));
    type(cq("Text13"), QStringLiteral("7"));
    click(cq("Command1"));
    click(cq("Command1")); // no number: the count plus one
    auto *pg = cq<QListView>("pg");
    ASSERT_EQ(pg->model()->rowCount(), 3);
    EXPECT_EQ(pg->model()->index(1, 0).data().toString(), QStringLiteral("7"));
    EXPECT_EQ(pg->model()->index(2, 0).data().toString(), QStringLiteral("3"));
    EXPECT_TRUE(cq<QLineEdit>("Text13")->text().isEmpty());
    EXPECT_EQ(onDisk(QStringLiteral("Quest Data"), QStringLiteral("Number Of Pages")), QStringLiteral("3"));

    clickEntry(QStringLiteral("7"));
    EXPECT_EQ(pg->currentIndex().row(), 1);
    EXPECT_TRUE(cq<QLineEdit>("Text19")->text().isEmpty());
    type(cq("Text19"), QStringLiteral("Tower"));
    click(cq("Check1"));
    EXPECT_EQ(onDisk(QStringLiteral("7"), QStringLiteral("Location")), QStringLiteral("Tower"));
    EXPECT_EQ(onDisk(QStringLiteral("7"), QStringLiteral("Add1")), QStringLiteral("1"));

    clickEntry(QStringLiteral("1"));
    EXPECT_EQ(cq<QLineEdit>("Text19")->text(), QStringLiteral("Gate"));
    EXPECT_FALSE(cq<QCheckBox>("Check1")->isChecked());
    // The keyboard selects too.
    pg->setFocus();
    QTest::keyClick(pg, Qt::Key_Down);
    EXPECT_EQ(cq<QLineEdit>("Text19")->text(), QStringLiteral("Tower"));
    EXPECT_TRUE(cq<QCheckBox>("Check1")->isChecked());
}

TEST_F(EditorFormsTest, BattleAndCharacterDialogsOpenByTheirButtonsAndWriteAtOnce)
{
    openEditor();
    QPushButton *open = cq<QPushButton>("Command7");
    EXPECT_FALSE(open->isEnabled());
    click(cq("Check9"));
    EXPECT_TRUE(open->isEnabled()); // follows "Battle Page" at once
    click(open);
    FrmBattle &battle = wiring->battle();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&battle));
    EXPECT_TRUE(editorWindow().isEnabled()); // modeless
    type(control(battle, "Text1"), QStringLiteral("Wyrm"));
    type(control(battle, "Text9"), QStringLiteral("5"));
    click(control(battle, "Check1"));
    EXPECT_EQ(onDisk(QStringLiteral("1"), QStringLiteral("Battle")), QStringLiteral("1"));
    EXPECT_EQ(onDisk(QStringLiteral("1"), QStringLiteral("BattleMonName")), QStringLiteral("Wyrm"));
    EXPECT_EQ(onDisk(QStringLiteral("1"), QStringLiteral("BattleWin")), QStringLiteral("5"));
    // Escape was allowed (no "BattleEscapecheck"): the click forbids it.
    EXPECT_EQ(onDisk(QStringLiteral("1"), QStringLiteral("BattleEscapecheck")), QStringLiteral("0"));

    // Another page refills the open dialog from its own section.
    click(cq("Command1"));
    clickEntry(QStringLiteral("2"));
    EXPECT_TRUE(control<QLineEdit>(battle, "Text1")->text().isEmpty());
    clickEntry(QStringLiteral("1"));
    EXPECT_EQ(control<QLineEdit>(battle, "Text1")->text(), QStringLiteral("Wyrm"));

    // Its close box hides it; Esc does as well.
    battle.close();
    EXPECT_TRUE(waitFor([&] { return !battle.isVisible(); }));
    EXPECT_FALSE(editor().state().battle().visible());

    // Find shows a match in a battle's key in this dialog, opened again.
    FindPanel &find = editorWindow().findPanel();
    find.startFind();
    QTest::keyClicks(control(find, "txtFind"), QStringLiteral("wyr"));
    find.find();
    ASSERT_EQ(find.results().size(), 1);
    QWidget *field = find.openResult(0);
    ASSERT_EQ(field, control(battle, "Text1"));
    EXPECT_TRUE(waitFor([&] { return battle.isVisible(); }));
    EXPECT_EQ(field->inputMethodQuery(Qt::ImCurrentSelection).toString(), QStringLiteral("Wyr"));

    click(cq("Command8"));
    FrmCharCreate &character = wiring->character();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&character));
    click(control(character, "Check2"));
    type(control(character, "Text2"), QStringLiteral("40"));
    EXPECT_EQ(onDisk(QStringLiteral("CharacterData"), QStringLiteral("CharCreateAllow")), QStringLiteral("1"));
    EXPECT_EQ(onDisk(QStringLiteral("CharacterData"), QStringLiteral("CharHp")), QStringLiteral("40"));
    // The picture field takes no typing: only its picker (or Clear) writes it.
    auto *image = control<QLineEdit>(character, "Text5");
    EXPECT_TRUE(image->isReadOnly());
    QTest::keyClick(&character, Qt::Key_Escape);
    EXPECT_TRUE(waitFor([&] { return !character.isVisible(); }));
}

TEST_F(EditorFormsTest, PickersTakeTheScriptedFileAndACancelChangesNothing)
{
    openEditor();
    const QString picture = programDir.filePath(QStringLiteral("a hall.png"));
    QImage hall(40, 30, QImage::Format_RGB32);
    hall.fill(Qt::darkGreen);
    ASSERT_TRUE(hall.save(picture));
    const QString movie = programDir.filePath(QStringLiteral("dawn.avi"));
    ASSERT_TRUE(test::writeFile(movie, "RIFF"));

    wiring->editorFileDialog().setNextFileName(picture);
    click(cq("Command6"));
    EXPECT_EQ(cq<QLineEdit>("Text20")->text(), picture);
    EXPECT_EQ(onDisk(QStringLiteral("1"), QStringLiteral("Image")), picture);
    wiring->editorFileDialog().setNextFileName(QString()); // cancelled
    click(cq("Command6"));
    EXPECT_EQ(cq<QLineEdit>("Text20")->text(), picture);
    EXPECT_EQ(onDisk(QStringLiteral("1"), QStringLiteral("Image")), picture);

    wiring->editorFileDialog().setNextFileName(movie);
    click(cq("Command9"));
    EXPECT_EQ(onDisk(QStringLiteral("1"), QStringLiteral("Movie")), movie);
    auto *text25 = cq<QLineEdit>("Text25");
    EXPECT_TRUE(text25->isReadOnly());
    QTest::keyClicks(text25, QStringLiteral("typed"));
    EXPECT_EQ(text25->text(), movie);
    click(cq("Text25Clear"));
    EXPECT_TRUE(text25->text().isEmpty());
    EXPECT_EQ(onDisk(QStringLiteral("1"), QStringLiteral("Movie")), QString());
    EXPECT_FALSE(cq("Text25Clear")->isEnabled());
    // The Delete key in the field clears it as well.
    wiring->editorFileDialog().setNextFileName(movie);
    click(cq("Command9"));
    EXPECT_TRUE(cq("Text25Clear")->isEnabled());
    text25->setFocus();
    QTest::keyClick(text25, Qt::Key_Delete);
    EXPECT_TRUE(text25->text().isEmpty());
    EXPECT_EQ(onDisk(QStringLiteral("1"), QStringLiteral("Movie")), QString());

    // The battle picture: picked in the dialog, previewed there.
    click(cq("Check9"));
    click(cq("Command7"));
    FrmBattle &battle = wiring->battle();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&battle));
    auto *preview = control<PreviewView>(battle, "Image1");
    EXPECT_NE(preview->kind(), int(Picture::File));
    wiring->editorFileDialog().setNextFileName(picture);
    click(control(battle, "Command6"));
    EXPECT_EQ(control<QLineEdit>(battle, "Text5")->text(), picture);
    EXPECT_EQ(preview->kind(), int(Picture::File));
    EXPECT_EQ(preview->image().size(), QSize(40, 30));
    EXPECT_EQ(onDisk(QStringLiteral("1"), QStringLiteral("BattleImage")), picture);
}

TEST_F(EditorFormsTest, CtrlZInAOneLineBoxUndoesTheEditorsStepNotTheBoxs)
{
    auto textOf = [](QWidget *w) {
        if (auto *line = qobject_cast<QLineEdit *>(w))
            return line->text();
        if (auto *box = qobject_cast<QPlainTextEdit *>(w))
            return box->toPlainText();
        return QStringLiteral("(not a text box)");
    };
    openEditor();
    auto *location = cq<QLineEdit>("Text19");
    type(location, QStringLiteral("Gate"));
    type(cq("Text10"), QStringLiteral("Tale"));
    auto *undo = editorWindow().findChild<QAction *>(QStringLiteral("mnuundo"));
    auto *redo = editorWindow().findChild<QAction *>(QStringLiteral("mnuredo"));
    ASSERT_TRUE(undo && redo);
    EXPECT_EQ(undo->text(), QStringLiteral("&Undo Typing in Title"));
    EXPECT_EQ(editorWindow().windowTitle(), QStringLiteral("Untitled* - Create 'A' Quest"));
    // Ctrl+Z with the focus in the location box takes back the title, the
    // editor's last step, not the box's own typing.
    location->setFocus(Qt::MouseFocusReason);
    QTest::keyClick(location, Qt::Key_Z, Qt::ControlModifier);
    EXPECT_EQ(textOf(cq("Text10")), QString());
    EXPECT_EQ(location->text(), QStringLiteral("Gate"));
    QTest::keyClick(location, Qt::Key_Z, Qt::ControlModifier);
    EXPECT_EQ(location->text(), QString());
    EXPECT_FALSE(undo->isEnabled());
    EXPECT_EQ(editorWindow().windowTitle(), QStringLiteral("Untitled - Create 'A' Quest"));
    QTest::keyClick(location, Qt::Key_Y, Qt::ControlModifier);
    EXPECT_EQ(location->text(), QStringLiteral("Gate"));
    QTest::keyClick(location, Qt::Key_Z, Qt::ControlModifier | Qt::ShiftModifier);
    EXPECT_EQ(textOf(cq("Text10")), QStringLiteral("Tale"));
    EXPECT_EQ(onDisk(QStringLiteral("Story Info"), QStringLiteral("Title")), QStringLiteral("Tale"));

    // The battle dialog's fields are steps of the same history.
    click(cq("Check9"));
    click(cq("Command7"));
    FrmBattle &battle = wiring->battle();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&battle));
    QWidget *name = control(battle, "Text1");
    type(name, QStringLiteral("Orc"));
    EXPECT_EQ(undo->text(), QStringLiteral("&Undo Typing in Page 1 Monster Name"));
    QTest::keyClick(name, Qt::Key_Z, Qt::ControlModifier);
    EXPECT_EQ(textOf(name), QString());
    EXPECT_EQ(undo->text(), QStringLiteral("&Undo Check Page 1 Battle Page"));
}

TEST_F(EditorFormsTest, HelpLineFollowsPointerAndKeyboardFocus)
{
    openEditor();
    auto *info = cq<QLabel>("info");
    EXPECT_EQ(info->text(),
              QStringLiteral("Note: There is a limit to how many characters can be in an option and on a page."));
    QWidget *text2 = cq("Text2");
    QTest::mouseMove(text2);
    QMouseEvent move(QEvent::MouseMove, QPointF(5, 5), text2->mapToGlobal(QPointF(5, 5)), Qt::NoButton, Qt::NoButton,
                     Qt::NoModifier);
    QCoreApplication::sendEvent(text2, &move);
    const QString option = QStringLiteral("The text for an option or choice the user get's in the story (up to 60 characters)");
    EXPECT_EQ(info->text(), option);
    // A label has no help text and leaves the line as it is.
    QWidget *label = cq("Label2");
    QMouseEvent over(QEvent::MouseMove, QPointF(5, 5), label->mapToGlobal(QPointF(5, 5)), Qt::NoButton,
                     Qt::NoButton, Qt::NoModifier);
    QCoreApplication::sendEvent(label, &over);
    EXPECT_EQ(info->text(), option);
    // Tab from Text12 (Version) lands on Test Game; Shift+Tab back on Version.
    editorWindow().activateWindow();
    cq("Text11")->setFocus(Qt::TabFocusReason);
    EXPECT_EQ(info->text(), QStringLiteral("Author of the story. (up to 1,000 characters)"));
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    EXPECT_EQ(QApplication::focusWidget(), cq("Text12"));
    EXPECT_EQ(info->text(), QStringLiteral("Version of the story. (up to 1,000 characters)"));
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    EXPECT_EQ(QApplication::focusWidget(), cq("Command13"));
    // The page list is reached from the page number field backwards.
    cq("Text13")->setFocus(Qt::TabFocusReason);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Backtab);
    EXPECT_EQ(QApplication::focusWidget(), cq("pg"));
    EXPECT_EQ(info->text(), QStringLiteral("This is the page you are working on."));
}

TEST_F(EditorFormsTest, TestGameShowsTheGameScreenPlayingTheWorkingCopyAndTheEditorStays)
{
    openEditor();
    type(cq("Text19"), QStringLiteral("Start"));
    type(cq("Text1"), QStringLiteral("Hello from the editor."));
    type(cq("Text2"), QStringLiteral("Onward"));
    window->hide();
    ASSERT_TRUE(wiring->screen().view().menuPanelVisible());
    click(cq("Command13"));
    EXPECT_TRUE(window->isVisible());
    EXPECT_FALSE(wiring->screen().view().menuPanelVisible());
    EXPECT_FALSE(window->centralWidget()->findChild<QWidget *>(QStringLiteral("Picture2"))->isVisible());
    EXPECT_EQ(wiring->screen().state().questFile(), kWc);
    EXPECT_TRUE(wiring->screen().state().log().contains(QStringLiteral("Hello from the editor.")));
    EXPECT_EQ(wiring->screen().state().option(0).caption, QStringLiteral("Onward"));
    EXPECT_TRUE(editorWindow().isVisible());

    // Closing hides the editor (unsaved work: the question is answered
    // Discard); "&Create 'A' Quest" shows it again as it was.
    wiring->saveQuestions().queued = {SaveAnswer::Discard};
    editorWindow().close();
    EXPECT_TRUE(waitFor([&] { return !editorWindow().isVisible(); }));
    openEditor();
    EXPECT_EQ(cq<QLineEdit>("Text19")->text(), QStringLiteral("Start"));
}

TEST_F(EditorFormsTest, ClosingAfterASaveAsksWithNoAsDefault)
{
    openEditor();
    type(cq("Text19"), QStringLiteral("Saved"));
    const QString quest = programDir.filePath(QStringLiteral("mine.qst"));
    wiring->editorFileDialog().setNextFileName(quest);
    auto *save = editorWindow().findChild<QAction *>(QStringLiteral("mnusave"));
    ASSERT_NE(save, nullptr);
    save->trigger();
    EXPECT_EQ(ReadIni(quest, QStringLiteral("1"), QStringLiteral("Location")), QStringLiteral("Saved"));
    EXPECT_EQ(cq<QLabel>("filepath")->text(), quest);

    wiring->editorDialogs().setNextAnswer(Answer::No);
    editorWindow().close();
    QCoreApplication::processEvents();
    EXPECT_TRUE(editorWindow().isVisible());
    EXPECT_EQ(wiring->editorDialogs().lastTitle(), QStringLiteral("WARNING!!!!"));
    wiring->editorDialogs().setNextAnswer(Answer::Yes);
    editorWindow().close();
    EXPECT_TRUE(waitFor([&] { return !editorWindow().isVisible(); }));
}

TEST_F(EditorFormsTest, FormsKeepEveryControlInsideAndApartAtTheirSmallestSize)
{
    openEditor();
    click(cq("Check9"));
    click(cq("Command7"));
    click(cq("Command8"));
    const QString shots = qEnvironmentVariable("FABLECRAFT_SHOT_DIR");
    for (QWidget *form : {static_cast<QWidget *>(&wiring->createquest()), static_cast<QWidget *>(&wiring->battle()),
                          static_cast<QWidget *>(&wiring->character())}) {
        ASSERT_TRUE(QTest::qWaitForWindowExposed(form));
        for (const QSize size : {form->minimumSizeHint(), form->size()}) {
            form->resize(size.expandedTo(form->minimumSizeHint()));
            QCoreApplication::processEvents();
            QList<QWidget *> shown;
            const FormState *state = editor().state().form(form->objectName());
            for (const Control &c : state->controls()) {
                QWidget *w = c.kind == ControlKind::Menu ? nullptr : form->findChild<QWidget *>(c.name);
                if (!w || !w->isVisible() || c.kind == ControlKind::Frame)
                    continue;
                const QRect r(w->mapTo(form, QPoint()), w->size());
                EXPECT_TRUE(form->rect().contains(r)) << c.name.toStdString() << " lies outside its form";
                EXPECT_GE(w->width(), qMin(w->minimumSizeHint().width(), 40)) << c.name.toStdString();
                for (QWidget *other : shown) {
                    const QRect o(other->mapTo(form, QPoint()), other->size());
                    EXPECT_FALSE(r.intersects(o)) << c.name.toStdString() << " overlaps "
                                                  << other->objectName().toStdString();
                }
                shown << w;
            }
        }
        if (!shots.isEmpty())
            form->grab().save(QDir(shots).filePath(form->objectName() + QStringLiteral(".png")));
    }
}

// "Check Quest" (F7): the working copy is checked off the UI thread, the
// findings are listed beside the form, and Enter on a finding selects its
// page.
TEST_F(EditorFormsTest, CheckQuestListsFindingsAndSelectsTheirPage)
{
    openEditor();
    type(cq("Text2"), QStringLiteral("Onward"));
    type(cq("Text6"), QStringLiteral("7"));
    click(cq("Command1")); // "Add Page": page 2, which nothing leads to
    clickEntry(QStringLiteral("2"));
    type(cq("Text1"), QStringLiteral("Far away."));
    clickEntry(QStringLiteral("1"));

    auto *check = editorWindow().findChild<QAction *>(QStringLiteral("mnucheck"));
    ASSERT_NE(check, nullptr);
    EXPECT_EQ(check->shortcut(), QKeySequence(Qt::Key_F7));
    CheckPanel &panel = editorWindow().checkPanel();
    bool checked = false;
    QObject::connect(&panel, &CheckPanel::checked, [&] { checked = true; });
    check->trigger();
    EXPECT_TRUE(panel.isVisible());
    EXPECT_TRUE(panel.checking()); // the check runs while the form takes keys
    type(cq("Text19"), QStringLiteral("Hall"));
    ASSERT_TRUE(waitFor([&] { return checked; }, 10000));

    QListWidget *list = panel.findings();
    QString shown;
    for (int i = 0; i < list->count(); ++i)
        shown += list->item(i)->text() + QLatin1Char('\n');
    ASSERT_EQ(list->count(), 2) << shown.toStdString();
    EXPECT_TRUE(list->item(0)->text().startsWith(QLatin1String("Broken destination\nPage 1: ")));
    EXPECT_TRUE(list->item(1)->text().startsWith(QLatin1String("Unreachable page\nPage 2: ")));
    EXPECT_FALSE(list->accessibleName().isEmpty());
    if (const QString shots = qEnvironmentVariable("FABLECRAFT_SCREENSHOT_DIR"); !shots.isEmpty())
        editorWindow().grab().save(QDir(shots).filePath(QStringLiteral("check_quest.png")));
    list->setFocus();
    list->setCurrentRow(1);
    QTest::keyClick(list, Qt::Key_Return);
    EXPECT_EQ(editor().state().currentPage(), "2");
    EXPECT_EQ(onDisk(QStringLiteral("1"), QStringLiteral("Location")), "Hall");
    // The copy that was checked is gone.
    EXPECT_TRUE(QDir(GetWindowsDir()).entryList({QStringLiteral("tmpquest-check-*")}, QDir::Files).isEmpty());
}

// The whole game program over the platform's ports, driven by keys through
// its menus: File, "&Create 'A' Quest" opens the editor; the editor's
// "&Compile", "&Compile Game…" opens the compile dialog on the quest loaded.
TEST(GameProgramTest, MenusOpenTheEditorAndItsCompileDialogByKeys)
{
    QTemporaryDir programDir;
    ASSERT_TRUE(programDir.isValid());
    QFile::remove(QDir(GetWindowsDir()).filePath(kWc));
    const QString quest = programDir.filePath(QStringLiteral("tale.qst"));
    ASSERT_TRUE(test::writeFile(quest, "[Story Info]\r\nTitle=Tale\r\n[1]\r\nLocation=Gate\r\nPage Text=Hello.\r\n"));
    QTimer modalWatch;
    Program program(programDir.path());
    program.start();
    test::failOnUnansweredModals(modalWatch);
    FrmGame &window = program.window();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    // Picks an entry of the menu bar by Alt and its mnemonic, then a command
    // of the menu that opened by its mnemonic.
    auto pick = [](QWidget &w, Qt::Key menuKey, Qt::Key commandKey) {
        w.activateWindow();
        ASSERT_TRUE(waitFor([&] { return w.isActiveWindow(); }));
        QTest::keyClick(&w, menuKey, Qt::AltModifier);
        ASSERT_TRUE(waitFor([] { return qobject_cast<QMenu *>(QApplication::activePopupWidget()); }));
        QTest::keyClick(QApplication::activePopupWidget(), commandKey);
    };

    pick(window, Qt::Key_F, Qt::Key_C);
    CreateQuest &editorWindow = program.parts().createquest();
    ASSERT_TRUE(waitFor([&] { return editorWindow.isVisible(); }));
    program.parts().editorFileDialog().setNextFileName(quest);
    pick(editorWindow, Qt::Key_F, Qt::Key_L); // "&Load A Quest File"
    ASSERT_TRUE(waitFor([&] { return program.parts().editor().questFile() == quest; }));

    CompileWindow &compile = program.parts().compileWindow();
    compile.dialogs().setNextAnswer(Answer::Yes); // the compiler's notice
    pick(editorWindow, Qt::Key_C, Qt::Key_C);
    EXPECT_TRUE(waitFor([&] { return compile.window().isVisible(); }));
    EXPECT_EQ(compile.compiler().questFile(), quest);
}
