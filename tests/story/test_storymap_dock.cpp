// The story map in the editor window: opened by F6 in "View", following the
// page selected in the form and the other way round, and never squeezing the
// form's fields.
#include "bench/generated_quest.h"
#include "editor/story_find.h"
#include "editor/ui/checkpanel.h"
#include "editor/ui/createquest.h"
#include "editor/ui/formbinding.h"
#include "editor/ui/storymap.h"
#include "editor/ui/storymapdock.h"
#include "tests/editor/editor_fixture.h"

#include <QAction>
#include <QApplication>
#include <QDockWidget>
#include <QFile>
#include <QTest>
#include <QUndoStack>

#include <functional>

using namespace fc;

namespace {

class StoryMapDockTest : public fc::test::EditorTest
{
protected:
    void SetUp() override
    {
        const QString quest = writeQuest(QStringLiteral("map.qst"),
                                         {QStringLiteral("[Quest Data]"), QStringLiteral("Number Of Pages=3"),
                                          QStringLiteral("[Story Info]"), QStringLiteral("Title=The Iron Gate"),
                                          QStringLiteral("[1]"), QStringLiteral("Location=Gate"), QStringLiteral("Option One=In"),
                                          QStringLiteral("Option One Destination Page=2"), QStringLiteral("[2]"),
                                          QStringLiteral("Location=Hall"), QStringLiteral("[3]"), QStringLiteral("Location=Attic")});
        editor->show();
        load(quest);
        window = std::make_unique<CreateQuest>(*editor);
        window->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(window.get()));
        dock = window->findChild<StoryMapDock *>(QStringLiteral("StoryMapDock"));
        ASSERT_NE(dock, nullptr);
    }
    void TearDown() override { window.reset(); }
    std::unique_ptr<CreateQuest> window;
    StoryMapDock *dock = nullptr;
};

} // namespace

TEST_F(StoryMapDockTest, F6OpensTheMapThatFollowsTheForm)
{
    auto *action = window->findChild<QAction *>(QStringLiteral("mnustorymap"));
    ASSERT_NE(action, nullptr);
    EXPECT_EQ(action->shortcut(), QKeySequence(Qt::Key_F6));
    EXPECT_EQ(action->text(), QStringLiteral("Story Map"));
    EXPECT_FALSE(dock->isVisible());
    action->trigger();
    ASSERT_TRUE(QTest::qWaitFor([&] { return dock->isVisible(); }));
    StoryMap *map = dock->map();
    ASSERT_EQ(map->graph().pages.size(), 3);
    EXPECT_EQ(map->graph().links.size(), 1);
    EXPECT_EQ(map->sideFile(), editor->questFile() + QStringLiteral(".map"));

    // The map selects in the form ...
    map->setCurrentPageName(QStringLiteral("3"));
    EXPECT_EQ(state.currentPage(), QStringLiteral("3"));
    EXPECT_EQ(text(QStringLiteral("Text19")), QStringLiteral("Attic"));
    // ... and the form in the map.
    ASSERT_TRUE(editor->selectEntry(QStringLiteral("2")));
    EXPECT_EQ(map->currentPageName(), QStringLiteral("2"));
    // Enter opens the card's page in the form.
    map->setFocus();
    map->setCurrentPageName(QStringLiteral("1"));
    QTest::keyClick(map, Qt::Key_Return);
    EXPECT_EQ(state.currentPage(), QStringLiteral("1"));
    // ... and the author goes on in its text.
    EXPECT_TRUE(QTest::qWaitFor([&] { return QApplication::focusWidget() == window->binding().widget(QStringLiteral("Text1")); }));

}

// Each edit reaches the map through the document's notice that reports it:
// every check below follows its edit directly, with no event or timer run
// in between, and the cards the edit did not touch stay where they were.
TEST_F(StoryMapDockTest, EditsChangeTheirCardsAndLinksAtOnce)
{
    dock->show();
    ASSERT_TRUE(QTest::qWaitFor([&] { return dock->isVisible() && dock->map()->graph().pages.size() == 3; }));
    StoryMap *map = dock->map();
    auto cards = [&] {
        QStringList out;
        for (const story::StoryPage &p : map->graph().pages)
            out << QStringLiteral("%1 %2%3").arg(p.name, p.location, p.ending ? QStringLiteral(" (end)") : QString());
        return out;
    };
    auto links = [&] {
        QStringList out;
        for (const story::StoryLink &l : map->graph().links)
            out << QStringLiteral("%1>%2 %3").arg(map->graph().pages[l.from].name, map->graph().pages[l.to].name,
                                                 story::linkKindName(l.kind));
        for (const story::BrokenLink &b : map->graph().broken)
            out << QStringLiteral("%1>%2? %3").arg(map->graph().pages[b.from].name, b.destination,
                                                  story::linkKindName(b.kind));
        out.sort();
        return out;
    };
    const QPoint attic = map->layout().positions[map->graph().indexOf(QStringLiteral("3"))];
    ASSERT_TRUE(editor->selectEntry(QStringLiteral("1")));
    const struct
    {
        const char *what;
        std::function<bool()> edit;
        QStringList cards, links;
    } steps[] = {
        {"a location", [&] { return editor->setText(cq(), QStringLiteral("Text19"), QStringLiteral("Iron Gate")); },
         {"1 Iron Gate", "2 Hall (end)", "3 Attic (end)"}, {"1>2 choice1"}},
        {"a destination", [&] { return editor->setText(cq(), QStringLiteral("Text6"), QStringLiteral("3")); },
         {"1 Iron Gate", "2 Hall (end)", "3 Attic (end)"}, {"1>3 choice1"}},
        {"undone", [&] { editor->undo(); return true; },
         {"1 Iron Gate", "2 Hall (end)", "3 Attic (end)"}, {"1>2 choice1"}},
        {"a choice to a page not yet there",
         [&] {
             return editor->setText(cq(), QStringLiteral("Text3"), QStringLiteral("Up"))
                    && editor->setText(cq(), QStringLiteral("Text7"), QStringLiteral("4"));
         },
         {"1 Iron Gate", "2 Hall (end)", "3 Attic (end)"}, {"1>2 choice1", "1>4? choice2"}},
        {"the page added", [&] { return editor->click(cq(), QStringLiteral("Command1")); },
         {"1 Iron Gate", "2 Hall (end)", "3 Attic (end)", "4  (end)"}, {"1>2 choice1", "1>4 choice2"}},
        {"a page deleted",
         [&] { return editor->selectEntry(QStringLiteral("2")) && editor->click(cq(), QStringLiteral("Command2")); },
         {"1 Iron Gate", "3 Attic (end)", "4  (end)"}, {"1>2? choice1", "1>4 choice2"}},
        {"its deletion undone", [&] { editor->undo(); return true; },
         {"1 Iron Gate", "3 Attic (end)", "4  (end)", "2 Hall (end)"}, {"1>2 choice1", "1>4 choice2"}},
    };
    for (const auto &step : steps) {
        SCOPED_TRACE(step.what);
        ASSERT_TRUE(step.edit());
        EXPECT_EQ(cards(), step.cards);
        EXPECT_EQ(links(), step.links);
        EXPECT_EQ(map->layout().positions[map->graph().indexOf(QStringLiteral("3"))], attic);
    }
    EXPECT_TRUE(map->cardAccessibleName(0).startsWith(QStringLiteral("Page 1, Iron Gate, 2 choices")));

    // A new quest is drawn anew, as soon as its loading is done.
    load(QStringLiteral(FABLECRAFT_DEFAULT_ADVENTURE));
    ASSERT_TRUE(QTest::qWaitFor([&] { return map->graph().pages.size() == 40; }));

    // A Replace All over many pages is drawn anew once, not page by page.
    QFile many(dir.filePath(QStringLiteral("many.qst")));
    ASSERT_TRUE(many.open(QIODevice::WriteOnly));
    many.write(bench::generateQuest(300, bench::QuestMix::Varied));
    many.close();
    load(many.fileName());
    ASSERT_TRUE(QTest::qWaitFor([&] { return map->graph().pages.size() == 300; }));
    const story::ReplaceReport r =
        editor->replaceAll(story::Finder(QStringLiteral("^1$"), {false, false, true}), QStringLiteral("7"));
    ASSERT_GT(r.pages.size(), 64);
    const story::StoryGraph rebuilt = story::buildStoryGraph(story::storyPagesOf(editor->document()));
    auto linksOf = [](const story::StoryGraph &g) {
        QStringList out;
        for (const story::StoryLink &l : g.links)
            out << g.pages[l.from].name + QLatin1Char('>') + g.pages[l.to].name;
        return out;
    };
    EXPECT_TRUE(QTest::qWaitFor([&] { return linksOf(map->graph()) == linksOf(rebuilt); }));
}

TEST_F(StoryMapDockTest, ALinkDrawnOnTheMapSetsAFreeChoice)
{
    window->findChild<QAction *>(QStringLiteral("mnustorymap"))->trigger();
    ASSERT_TRUE(QTest::qWaitFor([&] { return dock->isVisible(); }));
    StoryMap *map = dock->map();
    Q_EMIT map->linkRequested(QStringLiteral("1"), QStringLiteral("3"));
    EXPECT_EQ(editor->document().value(QStringLiteral("1"), QStringLiteral("Option Two Destination Page")),
              QStringLiteral("3"));
    EXPECT_EQ(map->graph().links.size(), 2) << "the map shows the new link at once";
    EXPECT_EQ(editor->undoStack().undoText(), QStringLiteral("Link page 1 to 3"));
    Q_EMIT map->linkRequested(QStringLiteral("1"), QStringLiteral("2"));
    Q_EMIT map->linkRequested(QStringLiteral("1"), QStringLiteral("2"));
    const int steps = editor->undoStack().count();
    Q_EMIT map->linkRequested(QStringLiteral("1"), QStringLiteral("2"));
    EXPECT_EQ(editor->undoStack().count(), steps);
    EXPECT_EQ(lastMessage(), QStringLiteral("Page 1 already has four choices."));
}

TEST_F(StoryMapDockTest, DocksNeverSqueezeTheFormsFields)
{
    window->resize(900, 600);
    dock->show();
    window->checkPanel().show();
    QApplication::processEvents();
    ASSERT_TRUE(QTest::qWaitFor([&] { return window->checkPanel().isVisible() && dock->isVisible(); }));
    QWidget *content = window->centralWidget();
    EXPECT_GE(content->width(), content->sizeHint().width());
    auto *title = window->findChild<QWidget *>(QStringLiteral("Text10"));
    ASSERT_NE(title, nullptr);
    EXPECT_GE(title->width(), title->sizeHint().width());
}

TEST_F(StoryMapDockTest, TheDefaultAdventuresMap)
{
    load(QStringLiteral(FABLECRAFT_DEFAULT_ADVENTURE));
    window->resize(1280, 900);
    dock->show();
    ASSERT_TRUE(QTest::qWaitFor([&] { return dock->isVisible(); }));
    dock->refresh();
    StoryMap *map = dock->map();
    EXPECT_EQ(map->graph().pages.size(), 40);
    EXPECT_EQ(map->graph().start, map->graph().indexOf(QStringLiteral("1")));
    map->setCurrentPageName(QStringLiteral("19"));
    EXPECT_EQ(state.currentPage(), QStringLiteral("19"));
    if (const QString shots = qEnvironmentVariable("FABLECRAFT_SCREENSHOT_DIR"); !shots.isEmpty()) {
        map->setZoom(0.6);
        map->setCurrentPageName(QStringLiteral("19"));
        QTest::qWait(100);
        window->grab().save(shots + QStringLiteral("/editor-storymap.png"));
    }
}
