// The page list and the page fields: what each field writes, what a page
// selection shows, Add Page, Delete, the state without a page.
#include "tests/editor/editor_fixture.h"

#include "storage/profile_store.h"
#include "tests/support/testsupport.h"

namespace fc::test {
namespace {

using EditorPages = EditorTest;

TEST_F(EditorPages, EachFieldWritesItsKey)
{
    const struct
    {
        const char *control, *section, *key;
    } cases[] = {
        {"Text1", "1", "Page Text"},
        {"Text2", "1", "Option One"},
        {"Text5", "1", "Option Four"},
        {"Text6", "1", "Option One Destination Page"},
        {"Text9", "1", "Option Four Destination Page"},
        {"Text10", "Story Info", "Title"},
        {"Text11", "Story Info", "Author"},
        {"Text12", "Story Info", "Version"},
        {"Text14", "1", "Option Four Score"},
        {"Text17", "1", "Option One Score"},
        {"Text18", "1", "Music"},
        {"Text19", "1", "Location"},
        {"Text20", "1", "Image"},
        {"Text21", "1", "Key Item1"},
        {"Text24", "1", "Key Item4"},
    };
    for (const auto &c : cases) {
        const QString control = QLatin1String(c.control);
        EXPECT_TRUE(editor->typeText(cq(), control, QStringLiteral("+2"))) << c.control;
        EXPECT_EQ(stored(QLatin1String(c.section), QLatin1String(c.key)), QStringLiteral("+2")) << c.control;
        EXPECT_TRUE(editor->setText(cq(), control, QString()));
        EXPECT_EQ(stored(QLatin1String(c.section), QLatin1String(c.key)), QString()) << c.control;
    }
    const struct
    {
        int check;
        const char *key;
    } boxes[] = {{1, "Add1"}, {4, "Add4"}, {5, "Required1"}, {8, "Required4"}, {9, "Battle"}};
    for (const auto &b : boxes) {
        const QString control = QStringLiteral("Check%1").arg(b.check);
        editor->click(cq(), control);
        EXPECT_EQ(stored(QStringLiteral("1"), QLatin1String(b.key)), QStringLiteral("1"));
        editor->click(cq(), control);
        EXPECT_EQ(stored(QStringLiteral("1"), QLatin1String(b.key)), QStringLiteral("0"));
    }
    // Text13 (the page number to add), Text25 and Text26 write nothing when typed.
    editor->typeText(cq(), QStringLiteral("Text13"), QStringLiteral("7"));
    EXPECT_FALSE(editor->typeText(cq(), QStringLiteral("Text25"), QStringLiteral("m.avi")));
    EXPECT_FALSE(editor->setText(cq(), QStringLiteral("Text26"), QStringLiteral("s.mp3")));
    EXPECT_EQ(stored(QStringLiteral("1"), QStringLiteral("Movie")), QString());
    EXPECT_EQ(stored(QStringLiteral("1"), QStringLiteral("Mp3")), QString());
    EXPECT_EQ(workingCopyBytes().count("7"), 0);
}

TEST_F(EditorPages, TypingWritesTheWholeTextPerKeystroke)
{
    QStringList seen;
    QObject::connect(&state, &EditorState::controlChanged, [&](const QString &, const QString &name) {
        if (name == QLatin1String("Text1"))
            seen << ReadIni(QStringLiteral("tmpquest.ini"), QStringLiteral("1"), QStringLiteral("Page Text"));
    });
    editor->typeText(cq(), QStringLiteral("Text1"), QStringLiteral("abc"));
    // Each keystroke is on disk by the next one (synchronous working copy).
    EXPECT_EQ(seen, (QStringList{QString(), QStringLiteral("a"), QStringLiteral("ab")}));
    EXPECT_EQ(stored(QStringLiteral("1"), QStringLiteral("Page Text")), QStringLiteral("abc"));
}

TEST_F(EditorPages, BoxesHoldOneLineAndTheirMaximumLength)
{
    const struct
    {
        const char *control;
        int max;
    } cases[] = {{"Text1", 1000}, {"Text2", 60}, {"Text14", 3}, {"Text17", 3}, {"Text21", 60},
                 {"Text10", 1000}, {"Text19", 1000}, {"Text6", 0}, {"Text13", 0}};
    for (const auto &c : cases) {
        const QString control = QLatin1String(c.control);
        EXPECT_EQ(state.ctl(cq(), control).maxLength, c.max) << c.control;
        editor->setText(cq(), control, QStringLiteral("one\r\ntwo\nthree"));
        EXPECT_EQ(text(control), QStringLiteral("one two three").left(c.max ? c.max : 100)) << c.control;
        if (c.max) {
            editor->setText(cq(), control, QString(c.max + 5, QLatin1Char('z')));
            EXPECT_EQ(text(control).size(), c.max) << c.control;
            editor->typeText(cq(), control, QStringLiteral("y"));
            EXPECT_FALSE(text(control).contains(QLatin1Char('y'))) << c.control;
        }
    }
    EXPECT_TRUE(state.ctl(cq(), QStringLiteral("Text1")).wraps);
}

TEST_F(EditorPages, AnEditKeepsTheTailOfATextLongerThanItsBox)
{
    const QString longText = QString(1200, QLatin1Char('a')) + QStringLiteral("END");
    load(writeQuest(QStringLiteral("long.qst"), {QStringLiteral("[Quest Data]"), QStringLiteral("Number Of Pages=1"),
                                                 QStringLiteral("[1]"), QStringLiteral("Page Text=") + longText}));
    ASSERT_EQ(text(QStringLiteral("Text1")), longText);
    QString edited = longText;
    edited[0] = QLatin1Char('b');
    editor->setText(cq(), QStringLiteral("Text1"), edited);
    ASSERT_TRUE(editor->flush());
    EXPECT_EQ(stored(QStringLiteral("1"), QStringLiteral("Page Text")), edited);
    // Growing it further is still refused past what it already holds.
    editor->setText(cq(), QStringLiteral("Text1"), edited + QStringLiteral("more"));
    EXPECT_EQ(text(QStringLiteral("Text1")), edited);
}

TEST_F(EditorPages, SelectingAPageShowsItsValues)
{
    load(writeQuest(QStringLiteral("q.qst"),
                    {QStringLiteral("[Quest Data]"), QStringLiteral("Number Of Pages=4"), QStringLiteral("[1]"),
                     QStringLiteral("Page Text=One"), QStringLiteral("Add1=1"), QStringLiteral("Required2=1"),
                     QStringLiteral("Battle=1"), QStringLiteral("Movie=/m/a.avi"), QStringLiteral("Option One Score=+2"),
                     QStringLiteral("[2]"), QStringLiteral("Page Text=Two"), QStringLiteral("Add1=x"),
                     QStringLiteral("Required2=0"), QStringLiteral("[3]"), QStringLiteral("Add1=junk")}));
    const QByteArray before = workingCopyBytes();
    EXPECT_EQ(text(QStringLiteral("Text17")), QStringLiteral("+2"));
    EXPECT_EQ(text(QStringLiteral("Text25")), QStringLiteral("/m/a.avi"));
    EXPECT_TRUE(enabled(cq(), QStringLiteral("Command7")));
    const struct
    {
        const char *page, *pageText;
        int add1, required2, battle;
    } cases[] = {
        {"2", "Two", 1, 0, 0},  // "x" keeps Add1 as page 1 left it
        {"4", "", 0, 0, 0},     // no keys: empty and unchecked
        {"1", "One", 1, 1, 1},
        {"3", "", 1, 0, 0},     // "junk" keeps it again
    };
    for (const auto &c : cases) {
        ASSERT_TRUE(editor->selectEntry(QLatin1String(c.page)));
        EXPECT_EQ(text(QStringLiteral("Text1")), QLatin1String(c.pageText)) << c.page;
        EXPECT_EQ(checked(cq(), QStringLiteral("Check1")), c.add1) << c.page;
        EXPECT_EQ(checked(cq(), QStringLiteral("Check6")), c.required2) << c.page;
        EXPECT_EQ(checked(cq(), QStringLiteral("Check9")), c.battle) << c.page;
        EXPECT_EQ(enabled(cq(), QStringLiteral("Command7")), c.battle == 1) << c.page;
    }
    // Visiting pages writes nothing: every value shown is the value stored,
    // and a box cleared for an empty key means what the empty key means.
    EXPECT_EQ(workingCopyBytes(), before);
}

TEST_F(EditorPages, AddPage)
{
    const struct
    {
        QStringList quest; // after "Number Of Pages=2": more sections
        const char *number;
        QStringList expected;
        const char *selected;
    } cases[] = {
        {{"[10]"}, "", {"1", "2", "10", "4"}, "4"},       // the count plus one
        {{"[3]"}, "7", {"1", "2", "3", "7"}, "7"},        // the number typed
        {{"[4]", "[5]"}, "", {"1", "2", "4", "5", "6"}, "6"}, // 5 is listed: the lowest free above it
        {{}, "2", {"1", "2"}, "2"},                       // listed: selected, not listed twice
    };
    for (const auto &c : cases) {
        load(writeQuest(QStringLiteral("add.qst"), QStringList{"[Quest Data]", "Number Of Pages=2"} + c.quest));
        editor->setText(cq(), QStringLiteral("Text13"), QLatin1String(c.number));
        EXPECT_TRUE(editor->click(cq(), QStringLiteral("Command1")));
        EXPECT_EQ(entries(), c.expected);
        EXPECT_EQ(text(QStringLiteral("Text13")), QString());
        EXPECT_EQ(stored(QStringLiteral("Quest Data"), QStringLiteral("Number Of Pages")),
                  QString::number(c.expected.size()));
        EXPECT_EQ(state.currentPage(), QLatin1String(c.selected)) << "the new or found page is selected";
    }
}

TEST_F(EditorPages, DeleteAsksNamesTheLinksAndRemovesThePage)
{
    load(writeQuest(QStringLiteral("q.qst"),
                    {QStringLiteral("[Quest Data]"), QStringLiteral("Number Of Pages=3"), QStringLiteral("[1]"),
                     QStringLiteral("Page Text=One"), QStringLiteral("Option One Destination Page=2"),
                     QStringLiteral("Option Two Destination Page=2"), QStringLiteral("[2]"),
                     QStringLiteral("Page Text=Two"), QStringLiteral("Option One Destination Page=2"),
                     QStringLiteral("[3]"), QStringLiteral("Page Text=Three"), QStringLiteral("Option Three Destination Page=2")}));
    editor->selectEntry(QStringLiteral("2"));
    dialogs.answers = {Answer::No};
    editor->click(cq(), QStringLiteral("Command2"));
    ASSERT_EQ(dialogs.shown.size(), 1);
    EXPECT_EQ(dialogs.shown[0].title, QStringLiteral("WARNING!!!!"));
    EXPECT_EQ(dialogs.shown[0].text,
              QStringLiteral("Are you sure you want to delete page \"2\"? 3 choices or battle ends of other pages lead "
                             "to it."));
    EXPECT_EQ(entries().size(), 3);
    EXPECT_EQ(stored(QStringLiteral("2"), QStringLiteral("Page Text")), QStringLiteral("Two"));

    editor->click(cq(), QStringLiteral("Command2"));
    EXPECT_EQ(entries(), (QStringList{QStringLiteral("1"), QStringLiteral("3")}));
    EXPECT_EQ(state.currentPage(), QStringLiteral("3"));
    EXPECT_EQ(text(QStringLiteral("Text1")), QStringLiteral("Three"));
    EXPECT_FALSE(workingCopyBytes().contains("[2]"));
    EXPECT_EQ(stored(QStringLiteral("Quest Data"), QStringLiteral("Number Of Pages")), QStringLiteral("2"));

    editor->click(cq(), QStringLiteral("Command2")); // the last entry: the one before takes its place
    EXPECT_EQ(state.currentPage(), QStringLiteral("1"));
    EXPECT_EQ(dialogs.shown.last().text,
              QStringLiteral("Are you sure you want to delete page \"3\"? Nothing on another page leads to it."));
    editor->click(cq(), QStringLiteral("Command2"));
    EXPECT_TRUE(entries().isEmpty());
    EXPECT_FALSE(enabled(cq(), QStringLiteral("Command2")));
}

TEST_F(EditorPages, WithoutASelectedPageNothingIsWrittenUnderAnEmptyName)
{
    editor->click(cq(), QStringLiteral("Check9"));
    editor->click(cq(), QStringLiteral("Command7")); // battle dialog open
    editor->click(cq(), QStringLiteral("Command2")); // the only page: none is left
    const QStringList pageControls{QStringLiteral("Text1"), QStringLiteral("Text2"), QStringLiteral("Text14"),
                                   QStringLiteral("Text20"), QStringLiteral("Check1"), QStringLiteral("Check9"),
                                   QStringLiteral("Command2"), QStringLiteral("Command3"), QStringLiteral("Command6"),
                                   QStringLiteral("Command7"), QStringLiteral("Command9"), QStringLiteral("Command10")};
    for (const QString &c : pageControls) {
        EXPECT_FALSE(enabled(cq(), c)) << qPrintable(c);
        EXPECT_FALSE(editor->click(cq(), c)) << qPrintable(c);
        EXPECT_FALSE(editor->setText(cq(), c, QStringLiteral("x"))) << qPrintable(c);
    }
    EXPECT_FALSE(editor->setText(fb(), QStringLiteral("Text1"), QStringLiteral("Orc")));
    EXPECT_FALSE(enabled(fb(), QStringLiteral("Command6")));
    for (const char *c : {"Text10", "Text11", "Text12", "Text13", "Command1", "Command8", "Command13"})
        EXPECT_TRUE(enabled(cq(), QLatin1String(c))) << c;
    EXPECT_TRUE(editor->setText(cq(), QStringLiteral("Text10"), QStringLiteral("Title")));
    EXPECT_EQ(workingCopyBytes(), QByteArray("[Quest Data]\r\nNumber Of Pages=0\r\n[Story Info]\r\nTitle=Title\r\n"));

    // Adding a page selects it: the fields are usable again.
    editor->click(cq(), QStringLiteral("Command1"));
    EXPECT_EQ(state.currentPage(), QStringLiteral("1"));
    EXPECT_TRUE(enabled(cq(), QStringLiteral("Text1")));
    EXPECT_TRUE(enabled(fb(), QStringLiteral("Text1")));
}

TEST_F(EditorPages, BattleButtonFollowsBattlePage)
{
    EXPECT_FALSE(enabled(cq(), QStringLiteral("Command7")));
    editor->click(cq(), QStringLiteral("Check9"));
    EXPECT_TRUE(enabled(cq(), QStringLiteral("Command7")));
    editor->click(cq(), QStringLiteral("Check9"));
    EXPECT_FALSE(enabled(cq(), QStringLiteral("Command7")));
    EXPECT_FALSE(editor->click(cq(), QStringLiteral("Command7")));
}

TEST_F(EditorPages, PagesAddedUnderTheirOwnNumberSurviveSaveAndReload)
{
    editor->setText(cq(), QStringLiteral("Text13"), QStringLiteral("10"));
    editor->click(cq(), QStringLiteral("Command1"));
    editor->selectEntry(QStringLiteral("10"));
    editor->setText(cq(), QStringLiteral("Text1"), QStringLiteral("Ten"));
    const QString path = dir.filePath(QStringLiteral("t.qst"));
    save(path);
    editor->menuNew();
    load(path);
    EXPECT_EQ(entries(), (QStringList{QStringLiteral("1"), QStringLiteral("2"), QStringLiteral("10")}));
    editor->selectEntry(QStringLiteral("10"));
    EXPECT_EQ(text(QStringLiteral("Text1")), QStringLiteral("Ten"));
}

} // namespace
} // namespace fc::test
