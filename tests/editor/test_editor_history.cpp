// Undo and redo of every author action, the page list's rules, saving
// without surprises, recovery, the lock and the write-failure banner.
#include "tests/editor/editor_fixture.h"

#include "storage/profile_store.h"
#include "storage/quest_format.h"
#include "tests/support/testsupport.h"

#include <QDir>
#include <QProcess>
#include <QTest>
#include <QFile>
#include <QRandomGenerator>
#include <QUndoStack>

#include <csignal>
#include <cstdio>

#include <sys/resource.h>

namespace fc::test {
namespace {

using namespace quest;

class EditorHistory : public EditorTest
{
protected:
    QuestDocument &doc() { return editor->document(); }
    QString undoText() const { return editor->undoStack().undoText(); }
    // Five pages, with ways into page 4 from choices and battle ends.
    QString fivePages()
    {
        return writeQuest(QStringLiteral("five.qst"),
                          {"[Quest Data]", "Number Of Pages=5", "[1]", "Page Text=one", "Option One Destination Page=4",
                           "[2]", "Location=Hall", "BattleWin=4", "BattleEscape=4", "[3]", "Page Text=three",
                           "; kept as it is", "[4]", "Page Text=four", "Unknown Key=stays", "[5]",
                           "Option Two Destination Page=4", "[Mod]", "Anything=goes"});
    }
};

TEST_F(EditorHistory, RandomEditsUndoneAndRedoneGiveTheWorkingCopyBackByteForByte)
{
    quint32 seed = QRandomGenerator::global()->generate();
    if (const QByteArray env = qgetenv("FC_SEED"); !env.isEmpty())
        seed = env.toUInt();
    std::printf("FC_SEED=%u\n", seed);
    QRandomGenerator random(seed);
    load(fivePages());
    ASSERT_EQ(entries().size(), 6);
    const QByteArray before = workingCopyBytes();
    dialogs.defaultAnswer = Answer::Yes; // Delete's question
    editor->click(cq(), QStringLiteral("Command7")); // the battle dialog may be closed: reopened below
    int steps = 0;
    for (int i = 0; i < 300; ++i) {
        const int kind = int(random.bounded(9));
        const QStringList &list = entries();
        if (!list.isEmpty())
            editor->selectPage(int(random.bounded(int(list.size()))));
        const QString word = QStringLiteral("w%1\u00e9").arg(i);
        switch (kind) {
        case 0: editor->typeText(cq(), QStringLiteral("Text%1").arg(1 + int(random.bounded(9))), word); break;
        case 1: editor->setText(cq(), QStringLiteral("Text%1").arg(10 + int(random.bounded(3))), word); break;
        case 2: editor->click(cq(), QStringLiteral("Check%1").arg(1 + int(random.bounded(9)))); break;
        case 3:
            if (random.bounded(2))
                editor->setText(cq(), QStringLiteral("Text13"), QString::number(random.bounded(12)));
            editor->click(cq(), QStringLiteral("Command1"));
            break;
        case 4:
            if (list.size() > 2)
                editor->click(cq(), QStringLiteral("Command2"));
            break;
        case 5:
            files.names = {dir.filePath(QStringLiteral("pic%1.jpg").arg(i))};
            editor->click(cq(), QStringLiteral("Command6"));
            files.names.clear();
            break;
        case 6:
            if (!state.battle().visible() && checked(cq(), QStringLiteral("Check9")) == 1)
                editor->click(cq(), QStringLiteral("Command7"));
            editor->setText(fb(), QStringLiteral("Text%1").arg(1 + int(random.bounded(14))), word);
            editor->click(fb(), QStringLiteral("Check1"));
            break;
        case 7:
            if (!state.character().visible())
                editor->click(cq(), QStringLiteral("Command8"));
            editor->typeText(fch(), QStringLiteral("Text%1").arg(1 + int(random.bounded(4))), word);
            editor->click(fch(), QStringLiteral("Check%1").arg(1 + int(random.bounded(2))));
            break;
        case 8: editor->clearPickedFile(cq(), QStringLiteral("Text25")); editor->fieldLeft(); break;
        }
        ++steps;
    }
    const QByteArray after = workingCopyBytes();
    ASSERT_NE(after, before);
    const int count = editor->undoStack().count();
    ASSERT_GT(count, 50) << "seed " << seed;
    while (editor->undoStack().canUndo())
        editor->undo();
    EXPECT_EQ(workingCopyBytes(), before) << "undo all, seed " << seed;
    EXPECT_EQ(entries(), doc().pages());
    EXPECT_EQ(entries().size(), 6);
    while (editor->undoStack().canRedo())
        editor->redo();
    EXPECT_EQ(workingCopyBytes(), after) << "redo all, seed " << seed;
    EXPECT_EQ(entries(), doc().pages());
}

TEST_F(EditorHistory, StepsAreNamedMergedAndSelectTheirPage)
{
    load(fivePages());
    editor->selectEntry(QStringLiteral("3"));
    editor->typeText(cq(), QStringLiteral("Text1"), QStringLiteral(" more"));
    EXPECT_EQ(undoText(), QStringLiteral("Typing in Page 3 Text"));
    EXPECT_EQ(editor->undoStack().count(), 1) << "typing in one field is one step";
    editor->focus(cq(), QStringLiteral("Text19"));
    editor->typeText(cq(), QStringLiteral("Text1"), QStringLiteral("!"));
    EXPECT_EQ(editor->undoStack().count(), 2) << "leaving the field ends the step";
    EXPECT_EQ(state.text(cq(), QStringLiteral("mnuundo")), QStringLiteral("&Undo Typing in Page 3 Text"));
    editor->setText(cq(), QStringLiteral("Text10"), QStringLiteral("My Tale"));
    EXPECT_EQ(undoText(), QStringLiteral("Typing in Title"));
    editor->click(cq(), QStringLiteral("Check5"));
    EXPECT_EQ(undoText(), QStringLiteral("Check Page 3 Required 1"));

    editor->selectEntry(QStringLiteral("1"));
    editor->undo(); // the check box, on page 3
    EXPECT_EQ(state.currentPage(), QStringLiteral("3")) << "undo selects the page it changed";
    EXPECT_EQ(checked(cq(), QStringLiteral("Check5")), 0);
    editor->undo();
    EXPECT_EQ(text(QStringLiteral("Text10")), QString());
    editor->undo();
    editor->undo();
    EXPECT_EQ(text(QStringLiteral("Text1")), QStringLiteral("three"));
    EXPECT_FALSE(editor->undoStack().canUndo());
    EXPECT_FALSE(enabled(cq(), QStringLiteral("mnuundo")));
    editor->redo();
    EXPECT_EQ(text(QStringLiteral("Text1")), QStringLiteral("three more"));
    EXPECT_EQ(state.text(cq(), QStringLiteral("mnuredo")), QStringLiteral("&Redo Typing in Page 3 Text"));
    EXPECT_GE(editor->undoStack().undoLimit(), 1000);
}

TEST_F(EditorHistory, ALinkFromTheMapFillsTheFirstFreeChoiceAsOneStep)
{
    load(fivePages());
    editor->selectEntry(QStringLiteral("1"));
    // Page 1 has choice one's destination set: the link takes choice two,
    // with a caption so that it is offered, shown in the form.
    EXPECT_EQ(editor->linkChoice(QStringLiteral("1"), QStringLiteral("3")), Editor::LinkResult::Linked);
    EXPECT_EQ(doc().value(QStringLiteral("1"), destinationKey(2)), QStringLiteral("3"));
    EXPECT_EQ(text(QStringLiteral("Text7")), QStringLiteral("3"));
    EXPECT_EQ(text(QStringLiteral("Text3")), QStringLiteral("Go to page 3"));
    EXPECT_EQ(editor->undoStack().count(), 1);
    EXPECT_EQ(undoText(), QStringLiteral("Link page 1 to 3"));
    for (int i = 0; i < 2; ++i)
        EXPECT_EQ(editor->linkChoice(QStringLiteral("1"), QStringLiteral("5")), Editor::LinkResult::Linked);
    EXPECT_EQ(doc().value(QStringLiteral("1"), destinationKey(4)), QStringLiteral("5"));
    // A written choice without a destination is taken before an unused one.
    editor->selectEntry(QStringLiteral("5"));
    editor->setText(cq(), QStringLiteral("Text4"), QStringLiteral("Climb"));
    EXPECT_EQ(editor->linkChoice(QStringLiteral("5"), QStringLiteral("2")), Editor::LinkResult::Linked);
    EXPECT_EQ(text(QStringLiteral("Text8")), QStringLiteral("2"));
    EXPECT_EQ(text(QStringLiteral("Text4")), QStringLiteral("Climb"));
    EXPECT_EQ(editor->linkChoice(QStringLiteral("5"), QStringLiteral("2")), Editor::LinkResult::Linked);
    EXPECT_EQ(text(QStringLiteral("Text2")), QStringLiteral("Hall")) << "the target's location as caption";
    editor->undo();
    editor->undo();
    editor->undo();
    editor->selectEntry(QStringLiteral("1"));

    // Four destinations: the author is told, nothing changes.
    const int steps = editor->undoStack().count();
    EXPECT_EQ(editor->linkChoice(QStringLiteral("1"), QStringLiteral("2")), Editor::LinkResult::PageFull);
    EXPECT_EQ(lastMessage(), QStringLiteral("Page 1 already has four choices."));
    EXPECT_EQ(editor->undoStack().count(), steps);
    EXPECT_EQ(editor->linkChoice(QStringLiteral("1"), QStringLiteral("77")), Editor::LinkResult::NoPage);

    editor->undo();
    editor->undo();
    editor->undo();
    EXPECT_EQ(doc().value(QStringLiteral("1"), destinationKey(2)), QString());
    EXPECT_EQ(text(QStringLiteral("Text7")), QString());
    EXPECT_FALSE(editor->undoStack().canUndo());
}

TEST_F(EditorHistory, FollowingADestinationOpensItsPage)
{
    load(fivePages());
    editor->selectEntry(QStringLiteral("1"));
    EXPECT_TRUE(editor->follow(cq(), QStringLiteral("Text6")));
    EXPECT_EQ(state.currentPage(), QStringLiteral("4"));
    EXPECT_FALSE(editor->follow(cq(), QStringLiteral("Text7"))) << "empty destination";
    EXPECT_FALSE(editor->follow(cq(), QStringLiteral("Text1"))) << "no destination field";
    EXPECT_TRUE(editor->openPage(QStringLiteral(" 2 ")));
    EXPECT_EQ(state.currentPage(), QStringLiteral("2"));
}

TEST_F(EditorHistory, DeleteComesBackInItsPlaceWithItsEntryAndCount)
{
    load(fivePages());
    const QByteArray before = workingCopyBytes();
    editor->selectEntry(QStringLiteral("4"));
    dialogs.answers = {Answer::Yes};
    editor->click(cq(), QStringLiteral("Command2"));
    EXPECT_EQ(lastMessage(), QStringLiteral("Are you sure you want to delete page \"4\"? 4 choices or battle ends of "
                                            "other pages lead to it."));
    EXPECT_EQ(undoText(), QStringLiteral("Delete Page 4"));
    EXPECT_EQ(entries(), (QStringList{"1", "2", "3", "5", "Mod"}));
    EXPECT_EQ(stored(QStringLiteral("Quest Data"), QStringLiteral("Number Of Pages")), QStringLiteral("5"));
    editor->undo();
    EXPECT_EQ(workingCopyBytes(), before);
    EXPECT_EQ(entries(), (QStringList{"1", "2", "3", "4", "5", "Mod"}));
    EXPECT_EQ(state.currentPage(), QStringLiteral("4"));
    EXPECT_EQ(text(QStringLiteral("Text1")), QStringLiteral("four"));
}

TEST_F(EditorHistory, AddPageNeverListsAPageTwice)
{
    load(fivePages());
    editor->selectEntry(QStringLiteral("3"));
    dialogs.answers = {Answer::Yes};
    editor->click(cq(), QStringLiteral("Command2")); // 1 2 4 5 Mod
    editor->click(cq(), QStringLiteral("Command1"));
    EXPECT_EQ(entries(), (QStringList{"1", "2", "4", "5", "Mod", "6"})) << "count plus one (6) is free";
    EXPECT_EQ(state.currentPage(), QStringLiteral("6")) << "the new page is selected";
    editor->selectEntry(QStringLiteral("Mod"));
    dialogs.answers = {Answer::Yes};
    editor->click(cq(), QStringLiteral("Command2")); // 1 2 4 5 6: count plus one is 6, listed
    editor->click(cq(), QStringLiteral("Command1"));
    EXPECT_EQ(entries(), (QStringList{"1", "2", "4", "5", "6", "7"})) << "the lowest free number above it";
    editor->setText(cq(), QStringLiteral("Text13"), QStringLiteral("4"));
    editor->click(cq(), QStringLiteral("Command1"));
    EXPECT_EQ(entries().size(), 6) << "a listed number selects that page";
    EXPECT_EQ(state.currentPage(), QStringLiteral("4"));
    EXPECT_EQ(text(QStringLiteral("Text13")), QString());
    editor->setText(cq(), QStringLiteral("Text13"), QStringLiteral("10"));
    editor->click(cq(), QStringLiteral("Command1"));
    EXPECT_EQ(entries().last(), QStringLiteral("10"));
    EXPECT_EQ(state.currentPage(), QStringLiteral("10"));
    EXPECT_EQ(undoText(), QStringLiteral("Add Page 10"));
}

TEST_F(EditorHistory, AddPageSaysWhenTheListIsFull)
{
    QStringList lines{"[Quest Data]", QStringLiteral("Number Of Pages=%1").arg(QuestDocument::kMaxPages)};
    load(writeQuest(QStringLiteral("full.qst"), lines));
    ASSERT_EQ(entries().size(), QuestDocument::kMaxPages);
    const int shown = int(dialogs.shown.size());
    editor->click(cq(), QStringLiteral("Command1"));
    EXPECT_EQ(entries().size(), QuestDocument::kMaxPages);
    ASSERT_EQ(dialogs.shown.size(), shown + 1) << "Add Page says why it adds nothing";
    EXPECT_TRUE(lastMessage().contains(QStringLiteral("at most 32,767 pages"))) << qPrintable(lastMessage());
    EXPECT_FALSE(editor->undoStack().canUndo());
}

TEST_F(EditorHistory, NewLeavesPageOneAndEmptyFieldsAndEndsTheHistory)
{
    load(fivePages());
    editor->selectEntry(QStringLiteral("3"));
    editor->setText(cq(), QStringLiteral("Text19"), QStringLiteral("Cellar"));
    dialogs.answers = {Answer::Yes};
    editor->menuNew();
    EXPECT_EQ(entries(), QStringList{QStringLiteral("1")});
    EXPECT_EQ(state.currentPage(), QStringLiteral("1"));
    for (const char *field : {"Text1", "Text19", "Text10", "Text13"})
        EXPECT_EQ(text(QString::fromLatin1(field)), QString()) << field;
    EXPECT_FALSE(editor->undoStack().canUndo());
    EXPECT_FALSE(editor->modified());
}

TEST_F(EditorHistory, EscapeIsAllowedUnlessTheQuestSaysZero)
{
    load(writeQuest(QStringLiteral("b.qst"), {"[Quest Data]", "Number Of Pages=3", "[1]", "Battle=1", "[2]", "Battle=1",
                                              "BattleEscapecheck=0", "[3]", "Battle=1", "BattleEscapecheck="}));
    const QByteArray before = workingCopyBytes();
    editor->click(cq(), QStringLiteral("Command7"));
    for (const auto &[page, shown] : {std::pair{"1", 1}, {"2", 0}, {"3", 1}, {"1", 1}}) {
        editor->selectEntry(QString::fromLatin1(page));
        EXPECT_EQ(checked(fb(), QStringLiteral("Check1")), shown) << "page " << page;
    }
    EXPECT_EQ(workingCopyBytes(), before) << "showing the box writes nothing";
}

TEST_F(EditorHistory, SaveAsksAndRefusesAsItShould)
{
    ScriptedSaveQuestions questions;
    editor->setSaveQuestions(&questions);
    EXPECT_EQ(state.createquest().caption(), QStringLiteral("Untitled - Create 'A' Quest"));
    editor->typeText(cq(), QStringLiteral("Text1"), QStringLiteral("Once"));
    EXPECT_TRUE(editor->modified());
    EXPECT_EQ(state.createquest().caption(), QStringLiteral("Untitled* - Create 'A' Quest"));

    // Load with unsaved work: Cancel keeps everything.
    const QString other = fivePages();
    questions.answers = {SaveAnswer::Cancel};
    load(other);
    EXPECT_EQ(questions.asked.last(), QStringLiteral("Save changes to Untitled?"));
    EXPECT_EQ(text(QStringLiteral("Text1")), QStringLiteral("Once"));
    EXPECT_TRUE(files.requests.isEmpty()) << "no file dialog after Cancel";

    // Save without a file is Save As.
    const QString saved = dir.filePath(QStringLiteral("tale.qst"));
    save(saved);
    EXPECT_FALSE(editor->modified());
    EXPECT_EQ(ReadIni(saved, QStringLiteral("1"), QStringLiteral("Page Text")), QStringLiteral("Once"));
    EXPECT_EQ(state.createquest().caption(), QStringLiteral("tale.qst - Create 'A' Quest"));
    // Save with a file asks nothing.
    editor->typeText(cq(), QStringLiteral("Text1"), QStringLiteral(" upon"));
    const int requests = int(files.requests.size());
    EXPECT_TRUE(editor->save());
    EXPECT_EQ(files.requests.size(), requests);
    EXPECT_EQ(ReadIni(saved, QStringLiteral("1"), QStringLiteral("Page Text")), QStringLiteral("Once upon"));
    EXPECT_EQ(workingCopyBytes(), readFile(saved));

    // A read-only quest file is refused with its cause.
    editor->typeText(cq(), QStringLiteral("Text1"), QStringLiteral(" a time"));
    QFile::setPermissions(saved, QFileDevice::ReadOwner | QFileDevice::ReadGroup);
    if (!QFileInfo(saved).isWritable()) { // root may write anyway
        EXPECT_FALSE(editor->save());
        EXPECT_EQ(dialogs.shown.last().title, QStringLiteral("Error!"));
        EXPECT_TRUE(lastMessage().contains(QStringLiteral("read-only"))) << qPrintable(lastMessage());
        EXPECT_TRUE(editor->modified());
    }
    QFile::setPermissions(saved, QFileDevice::ReadOwner | QFileDevice::WriteOwner);

    // A failed load keeps "Error!" and names the cause.
    questions.answers = {SaveAnswer::Discard};
    load(dir.filePath(QStringLiteral("missing.qst")));
    EXPECT_EQ(dialogs.shown.last().title, QStringLiteral("Error!"));
    EXPECT_TRUE(lastMessage().contains(QStringLiteral("missing.qst"))) << qPrintable(lastMessage());

    // Save answered in the question saves, then loads.
    questions.answers = {SaveAnswer::Save};
    load(other);
    EXPECT_EQ(ReadIni(saved, QStringLiteral("1"), QStringLiteral("Page Text")), QStringLiteral("Once upon a time"));
    EXPECT_EQ(text(QStringLiteral("Text1")), QStringLiteral("one"));
    EXPECT_FALSE(editor->undoStack().canUndo()) << "a load ends the history";
}

TEST_F(EditorHistory, WorkLeftByACrashIsOfferedBack)
{
    editor->typeText(cq(), QStringLiteral("Text1"), QStringLiteral("unsaved"));
    // A crash: the program ends without its quit question.
    editor.reset();
    wc.reset();
    for (const bool recover : {true, false}) {
        ScriptedSaveQuestions questions;
        questions.recoverAnswer = recover;
        EditorState fresh;
        WorkingCopy copy(QStringLiteral("tmpquest.ini"), WorkingCopy::Mode::Synchronous);
        Editor again(fresh, copy, ports(), dir.path());
        again.setSaveQuestions(&questions);
        ASSERT_TRUE(again.show());
        ASSERT_EQ(questions.asked.size(), 1) << "recover " << recover;
        EXPECT_TRUE(questions.asked[0].startsWith(QStringLiteral("Recover unsaved work on Untitled from ")))
            << qPrintable(questions.asked[0]);
        EXPECT_EQ(fresh.text(cq(), QStringLiteral("Text1")), recover ? QStringLiteral("unsaved") : QString());
        EXPECT_EQ(again.modified(), recover);
        EXPECT_EQ(fresh.createquest().caption().contains(QLatin1Char('*')), recover);
        if (!recover)
            continue; // discarded: the copy is gone, as at a normal start
        // Left again without quitting: the next start asks again.
    }
    // A normal end leaves nothing to recover.
    {
        ScriptedSaveQuestions questions;
        EditorState fresh;
        WorkingCopy copy(QStringLiteral("tmpquest.ini"), WorkingCopy::Mode::Synchronous);
        Editor again(fresh, copy, ports(), dir.path());
        again.setSaveQuestions(&questions);
        ASSERT_TRUE(again.show());
        again.typeText(cq(), QStringLiteral("Text1"), QStringLiteral("more"));
        EXPECT_TRUE(again.quitRequest());
        EXPECT_EQ(questions.asked, QStringList{QStringLiteral("Save changes to Untitled?")});
    }
    ScriptedSaveQuestions questions;
    EditorState fresh;
    WorkingCopy copy(QStringLiteral("tmpquest.ini"), WorkingCopy::Mode::Synchronous);
    Editor again(fresh, copy, ports(), dir.path());
    again.setSaveQuestions(&questions);
    ASSERT_TRUE(again.show());
    EXPECT_TRUE(questions.asked.isEmpty());
    EXPECT_FALSE(again.modified());
}

TEST_F(EditorHistory, OneEditorPerWorkingCopy)
{
    // In this process: a second editor does not start and touches nothing.
    editor->typeText(cq(), QStringLiteral("Text1"), QStringLiteral("mine"));
    const QByteArray mine = workingCopyBytes();
    {
        EditorState other;
        WorkingCopy copy(QStringLiteral("tmpquest.ini"), WorkingCopy::Mode::Synchronous);
        Editor second(other, copy, ports(), dir.path());
        EXPECT_FALSE(second.show());
        EXPECT_EQ(lastMessage(), QStringLiteral("The quest editor is already open in another Fablecraft window."));
    }
    EXPECT_EQ(workingCopyBytes(), mine);
    // In another process.
    QProcess cli;
    cli.start(QStringLiteral(FABLECRAFT_CLI), {QStringLiteral("edit"), QStringLiteral("type:Text1:theirs")});
    ASSERT_TRUE(cli.waitForFinished(30000));
    EXPECT_EQ(cli.exitCode(), 1);
    EXPECT_TRUE(cli.readAllStandardError().contains("The quest editor is already open in another Fablecraft window."));
    EXPECT_EQ(workingCopyBytes(), mine);
    // Test play from the editor that holds the lock reads the copy, edits
    // made a moment ago included.
    editor->typeText(cq(), QStringLiteral("Text1"), QStringLiteral(" and new"));
    editor->click(cq(), QStringLiteral("Command13"));
    EXPECT_EQ(screen.state().room(), QStringLiteral("mine and new"));
}

TEST(EditorBanner, AFailedWriteIsShownUntilAWriteSucceedsAndSaveStillWorks)
{
    QTemporaryDir dir;
    const QString folder = dir.filePath(QStringLiteral("copies"));
    ASSERT_TRUE(QDir().mkpath(folder));
    RecordingPortSet ports;
    EditorState state;
    WorkingCopy wc(folder + QStringLiteral("/tmpquest.ini"), WorkingCopy::Mode::Synchronous);
    Editor editor(state, wc, ports.ports(), dir.path());
    ASSERT_TRUE(editor.show());
    const QString cq = QString::fromLatin1(kCreateQuest);
    // The folder of the working copy goes away and a file takes its name.
    ASSERT_TRUE(QDir().rename(folder, dir.filePath(QStringLiteral("gone"))));
    ASSERT_TRUE(test::writeFile(folder, "not a folder"));
    editor.typeText(cq, QStringLiteral("Text1"), QStringLiteral("kept"));
    ASSERT_TRUE(QTest::qWaitFor([&] { return state.ctl(cq, QStringLiteral("banner")).visible; }, 5000));
    const QString banner = editor.banner();
    EXPECT_TRUE(banner.startsWith(QStringLiteral("Changes are not being saved: "))) << qPrintable(banner);
    EXPECT_TRUE(banner.contains(QStringLiteral("Not a directory"))) << qPrintable(banner);
    EXPECT_EQ(editor.document().value(QStringLiteral("1"), QStringLiteral("Page Text")), QStringLiteral("kept"));
    // Saving elsewhere works all the same.
    const QString saved = dir.filePath(QStringLiteral("saved.qst"));
    ports.files.names = {saved};
    editor.menuSave();
    EXPECT_EQ(ReadIni(saved, QStringLiteral("1"), QStringLiteral("Page Text")), QStringLiteral("kept"));
    EXPECT_FALSE(editor.modified());
    // The folder is back: the next change is written and the banner goes.
    ASSERT_TRUE(QFile::remove(folder));
    ASSERT_TRUE(QDir().mkpath(folder));
    editor.typeText(cq, QStringLiteral("Text1"), QStringLiteral("!"));
    ASSERT_TRUE(QTest::qWaitFor([&] { return !state.ctl(cq, QStringLiteral("banner")).visible; }, 5000));
    EXPECT_EQ(editor.banner(), QString());
    EXPECT_EQ(ReadIni(folder + QStringLiteral("/tmpquest.ini"), QStringLiteral("1"), QStringLiteral("Page Text")),
              QStringLiteral("kept!"));
}

TEST(EditorBanner, AFileSizeLimitIsNamedAndTheWritesComeLater)
{
    QTemporaryDir dir;
    RecordingPortSet ports;
    EditorState state;
    WorkingCopy wc(dir.filePath(QStringLiteral("tmpquest.ini")), WorkingCopy::Mode::Synchronous);
    Editor editor(state, wc, ports.ports(), dir.path());
    ASSERT_TRUE(editor.show());
    const QString cq = QString::fromLatin1(kCreateQuest);
    // Files of this process may not grow past 200 bytes, as on a full disk.
    struct rlimit old{};
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &old), 0);
    const auto previousHandler = std::signal(SIGXFSZ, SIG_IGN);
    struct rlimit small = old;
    small.rlim_cur = 200;
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
    editor.setText(cq, QStringLiteral("Text1"), QString(300, QLatin1Char('a')));
    const bool shown = QTest::qWaitFor([&] { return state.ctl(cq, QStringLiteral("banner")).visible; }, 5000);
    const QString banner = editor.banner();
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &old), 0);
    std::signal(SIGXFSZ, previousHandler);
    ASSERT_TRUE(shown);
    EXPECT_TRUE(banner.contains(QStringLiteral("File too large"))) << qPrintable(banner);
    EXPECT_TRUE(banner.contains(QStringLiteral("tmpquest.ini"))) << qPrintable(banner);
    // The next change writes everything.
    editor.setText(cq, QStringLiteral("Text19"), QStringLiteral("Hall"));
    ASSERT_TRUE(QTest::qWaitFor([&] { return !state.ctl(cq, QStringLiteral("banner")).visible; }, 5000));
    EXPECT_EQ(ReadIni(wc.path(), QStringLiteral("1"), QStringLiteral("Page Text")), QString(300, QLatin1Char('a')));
}

} // namespace
} // namespace fc::test
