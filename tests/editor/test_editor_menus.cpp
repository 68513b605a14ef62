// The editor form around the working copy: start-up, the menus, closing,
// Test Game.
#include "tests/editor/editor_fixture.h"

#include "storage/profile_store.h"
#include "tests/support/testsupport.h"

#include <QFile>
#include <QSignalSpy>
#include <QStandardPaths>

namespace fc::test {
namespace {

using EditorMenus = EditorTest;

TEST_F(EditorMenus, StartUpDeletesTheWorkingCopyOnceAndSelectsPageOne)
{
    EXPECT_EQ(entries(), QStringList{QStringLiteral("1")});
    EXPECT_EQ(state.currentPage(), QStringLiteral("1"));
    EXPECT_EQ(stored(QStringLiteral("Quest Data"), QStringLiteral("Number Of Pages")), QStringLiteral("1"));
    EXPECT_EQ(state.info(), QStringLiteral("Note: There is a limit to how many characters can be in an option and on a page."));
    EXPECT_EQ(state.createquest().caption(), QStringLiteral("Untitled - Create 'A' Quest"));

    editor->setText(cq(), QStringLiteral("Text1"), QStringLiteral("kept"));
    editor->menuExit();
    EXPECT_FALSE(state.createquest().visible());
    editor->show();
    EXPECT_TRUE(state.createquest().visible());
    EXPECT_EQ(stored(QStringLiteral("1"), QStringLiteral("Page Text")), QStringLiteral("kept"));
}

TEST_F(EditorMenus, CloseRequestAsksOnlyAfterALoadOrSave)
{
    const struct
    {
        bool saved;
        Answer answer;
        bool hidden;
        int questions;
    } cases[] = {
        {false, Answer::No, true, 0},
        {true, Answer::No, false, 1},
        {true, Answer::Yes, true, 1},
    };
    for (const auto &c : cases) {
        editor->show();
        if (c.saved)
            save(dir.filePath(QStringLiteral("s.qst")));
        dialogs.shown.clear();
        dialogs.answers = {c.answer};
        EXPECT_EQ(editor->closeRequest(), c.hidden);
        EXPECT_EQ(!state.createquest().visible(), c.hidden);
        ASSERT_EQ(dialogs.shown.size(), c.questions);
        if (c.questions) {
            EXPECT_EQ(dialogs.shown[0].title, QStringLiteral("WARNING!!!!"));
            EXPECT_EQ(dialogs.shown[0].text, QStringLiteral("Are you sure you want to Close create A' Quest? Please make "
                                                            "sure you saved what you worked on first!"));
        }
    }
}

TEST_F(EditorMenus, NewAsksThenClearsEverything)
{
    editor->setText(cq(), QStringLiteral("Text1"), QStringLiteral("text"));
    editor->setText(cq(), QStringLiteral("Text10"), QStringLiteral("Title"));
    save(dir.filePath(QStringLiteral("a.qst")));

    dialogs.answers = {Answer::No};
    editor->menuNew();
    EXPECT_EQ(dialogs.shown.last().text, QStringLiteral("Are you sure you want to clear the previous quest data? Please "
                                                         "make sure you saved what you worked on first!"));
    EXPECT_EQ(text(QStringLiteral("Text1")), QStringLiteral("text"));

    editor->menuNew();
    // As at the start: page "1" listed and selected, every field empty.
    EXPECT_EQ(entries(), QStringList{QStringLiteral("1")});
    EXPECT_EQ(state.currentPage(), QStringLiteral("1"));
    EXPECT_EQ(text(QStringLiteral("Text1")), QString());
    EXPECT_EQ(text(QStringLiteral("Text10")), QString());
    EXPECT_EQ(state.filepath(), QString());
    EXPECT_EQ(workingCopyBytes(), QByteArray("[Quest Data]\r\nNumber Of Pages=1\r\n"));
    // "&Compile" still knows the file last saved.
    QSignalSpy compile(editor.get(), &Editor::compileRequested);
    editor->menuCompile();
    ASSERT_EQ(compile.size(), 1);
    EXPECT_EQ(compile[0][0].toString(), dir.filePath(QStringLiteral("a.qst")));
}

TEST_F(EditorMenus, LoadRebuildsThePageList)
{
    const struct
    {
        const char *count;
        QStringList sections;
        QStringList expected;
    } cases[] = {
        {"5", {}, {"1", "2", "3", "4", "5"}},
        {"3", {"[1]", "[10]", "[Story Info]", "[CharacterData]", "[2]", "[Cave]"}, {"1", "2", "3", "10", "Cave"}},
        {"", {"[1]", "[2]"}, {"1", "2"}},
        {"x7", {"[1]"}, {"1"}},
        {"40000", {"[1]", "[7]"}, {"1", "7"}},
        {"0", {}, {}},
        {"2", {"[cave]", "[CAVE]"}, {"1", "2", "cave"}},
    };
    for (const auto &c : cases) {
        QStringList lines{QStringLiteral("[Quest Data]"), QStringLiteral("Number Of Pages=") + QLatin1String(c.count)};
        for (const QString &s : c.sections)
            lines << s << QStringLiteral("Page Text=in ") + s;
        const QString path = writeQuest(QStringLiteral("q.qst"), lines);
        load(path);
        EXPECT_EQ(entries(), c.expected) << c.count;
        EXPECT_EQ(state.currentPage(), c.expected.value(0)) << c.count;
        // The load writes nothing to the working copy beyond the copy.
        EXPECT_EQ(workingCopyBytes(), readFile(path)) << c.count;
        EXPECT_EQ(state.filepath(), path);
    }
}

TEST_F(EditorMenus, LoadFillsTheFirstPage)
{
    load(writeQuest(QStringLiteral("q.qst"), {QStringLiteral("[Quest Data]"), QStringLiteral("Number Of Pages=2"),
                                              QStringLiteral("[Story Info]"), QStringLiteral("Title=Tale"),
                                              QStringLiteral("[1]"), QStringLiteral("Page Text=Start"),
                                              QStringLiteral("Add1=1")}));
    EXPECT_EQ(text(QStringLiteral("Text1")), QStringLiteral("Start"));
    EXPECT_EQ(text(QStringLiteral("Text10")), QStringLiteral("Tale"));
    EXPECT_EQ(checked(cq(), QStringLiteral("Check1")), 1);
}

TEST_F(EditorMenus, AQuestWithoutPagesShowsItsStoryAndNoPage)
{
    editor->setText(cq(), QStringLiteral("Text1"), QStringLiteral("old page"));
    editor->click(cq(), QStringLiteral("Check1"));
    load(writeQuest(QStringLiteral("empty.qst"), {QStringLiteral("[Quest Data]"), QStringLiteral("Number Of Pages=0"),
                                                  QStringLiteral("[Story Info]"), QStringLiteral("Title=Bare")}));
    EXPECT_TRUE(entries().isEmpty());
    EXPECT_EQ(text(QStringLiteral("Text1")), QString());
    EXPECT_EQ(checked(cq(), QStringLiteral("Check1")), 0);
    EXPECT_FALSE(enabled(cq(), QStringLiteral("Text1")));
    EXPECT_EQ(text(QStringLiteral("Text10")), QStringLiteral("Bare"));
    EXPECT_TRUE(enabled(cq(), QStringLiteral("Text10")));
}

TEST_F(EditorMenus, CancelledOrFailingDialogs)
{
    editor->setText(cq(), QStringLiteral("Text1"), QStringLiteral("unsaved"));
    const QString a = writeQuest(QStringLiteral("a.qst"), {QStringLiteral("[1]"), QStringLiteral("Page Text=A")});
    save(dir.filePath(QStringLiteral("mine.qst")));
    load(a);
    editor->setText(cq(), QStringLiteral("Text1"), QStringLiteral("edited"));
    // A cancelled load or Save As does nothing (no copy with the last file).
    load(QString());
    files.names = {QString()};
    editor->menuSaveAs();
    EXPECT_EQ(stored(QStringLiteral("1"), QStringLiteral("Page Text")), QStringLiteral("edited"));
    EXPECT_EQ(ReadIni(a, QStringLiteral("1"), QStringLiteral("Page Text")), QStringLiteral("A"));
    EXPECT_TRUE(dialogs.shown.isEmpty());
    // A failing copy says "Error!" with its cause and leaves the working copy.
    load(dir.filePath(QStringLiteral("missing.qst")));
    EXPECT_EQ(dialogs.shown.last().title, QStringLiteral("Error!"));
    EXPECT_TRUE(lastMessage().contains(QStringLiteral("missing.qst"))) << qPrintable(lastMessage());
    files.names = {dir.filePath(QStringLiteral("no/folder/x.qst"))};
    editor->menuSaveAs();
    EXPECT_EQ(dialogs.shown.last().title, QStringLiteral("Error!"));
    EXPECT_TRUE(lastMessage().contains(QStringLiteral("x.qst"))) << qPrintable(lastMessage());
    EXPECT_EQ(stored(QStringLiteral("1"), QStringLiteral("Page Text")), QStringLiteral("edited"));
    EXPECT_EQ(state.filepath(), a);
}

TEST_F(EditorMenus, SaveCopiesTheWorkingCopyWithEveryEdit)
{
    editor->typeText(cq(), QStringLiteral("Text1"), QStringLiteral("abc"));
    const QString path = dir.filePath(QStringLiteral("out.qst"));
    save(path);
    EXPECT_EQ(readFile(path), readFile(wc->path()));
    EXPECT_EQ(ReadIni(path, QStringLiteral("1"), QStringLiteral("Page Text")), QStringLiteral("abc"));
    EXPECT_EQ(state.filepath(), path);
    EXPECT_EQ(files.requests.last().filter, QStringLiteral("*.qst|*.qst"));
    EXPECT_EQ(files.requests.last().defaultExt, QStringLiteral("qst"));
}

TEST_F(EditorMenus, FileDialogsStartInTheQuestFolderElseDocuments)
{
    save(QString());
    EXPECT_EQ(files.requests.last().initialDir, QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation));
    load(writeQuest(QStringLiteral("q.qst"), {QStringLiteral("[1]")}));
    editor->click(cq(), QStringLiteral("Command6"));
    EXPECT_EQ(files.requests.last().initialDir, dir.path());
    EXPECT_EQ(files.requests.last().fileName, QString());
}

TEST_F(EditorMenus, CompileNeedsAQuestFile)
{
    QSignalSpy compile(editor.get(), &Editor::compileRequested);
    editor->menuCompile();
    EXPECT_EQ(compile.size(), 0);
    EXPECT_EQ(lastMessage(), QStringLiteral("You must load a quest file into memory first. If you were working on a "
                                            "quest file, save it to your hard disk and click compile again, because "
                                            "that file is needed by the compiler."));
    const QString path = dir.filePath(QStringLiteral("c.qst"));
    save(path);
    editor->menuCompile();
    ASSERT_EQ(compile.size(), 1);
    EXPECT_EQ(compile[0][0].toString(), path);
}

TEST_F(EditorMenus, TestGamePlaysTheWorkingCopyFromPageOne)
{
    editor->setText(cq(), QStringLiteral("Text10"), QStringLiteral("Tale"));
    editor->setText(cq(), QStringLiteral("Text1"), QStringLiteral("First page"));
    editor->setText(cq(), QStringLiteral("Text2"), QStringLiteral("Onwards"));
    editor->click(cq(), QStringLiteral("Check9")); // a battle page: not opened at the start
    QSignalSpy shown(editor.get(), &Editor::gameScreenShowRequested);
    for (int run = 1; run <= 2; ++run) {
        EXPECT_TRUE(editor->click(cq(), QStringLiteral("Command13")));
        EXPECT_EQ(shown.size(), run);
        EXPECT_FALSE(screen.view().menuPanelVisible());
        EXPECT_EQ(screen.state().questFile(), QStringLiteral("tmpquest.ini"));
        EXPECT_EQ(screen.state().room(), QStringLiteral("First page"));
        EXPECT_EQ(screen.state().option(0).caption, QStringLiteral("Onwards"));
        EXPECT_FALSE(screen.view().battleBoxVisible());
        EXPECT_EQ(screen.state().log().count(QStringLiteral("Tale\r\n")), run);
    }
    EXPECT_TRUE(state.createquest().visible()); // the editor stays open
}

TEST_F(EditorMenus, QuestionsDefaultToNo)
{
    // The recording dialog answers every question with its default answer;
    // the editor's questions go through the No-default box.
    struct NoDefault : RecordingDialogs
    {
        int noDefault = 0;
        Answer questionDefaultNo(const QString &t, const QString &x) override
        {
            ++noDefault;
            return question(t, x);
        }
    } probe;
    Ports p = ports();
    p.dialogs = &probe;
    EditorState s;
    Editor e(s, *wc, p, dir.path());
    e.show();
    e.menuNew();
    e.show();
    e.click(cq(), QStringLiteral("Command1"));
    e.selectPage(0);
    e.click(cq(), QStringLiteral("Command2"));
    EXPECT_EQ(probe.noDefault, 2);
    EXPECT_EQ(probe.noDefault, probe.shown.size());
}

} // namespace
} // namespace fc::test
