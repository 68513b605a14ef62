// Find and replace (Ctrl+F) and Go to page (Ctrl+G) in the editor window:
// results open their page with the match selected, Replace All is one step
// with its report, Go to lists the best matches as the author types.
#include "editor/ui/createquest.h"
#include "editor/ui/formbinding.h"
#include "editor/ui/editordialogs.h"
#include "editor/ui/storymap.h"
#include "editor/ui/storymapdock.h"
#include "editor/ui/findpanel.h"
#include "tests/editor/editor_fixture.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPainter>
#include <QPushButton>
#include <QTest>
#include <QUndoStack>

using namespace fc;

namespace {

class FindPanelTest : public fc::test::EditorTest
{
protected:
    void SetUp() override
    {
        const QString quest = writeQuest(
            QStringLiteral("find.qst"),
            {QStringLiteral("[Quest Data]"), QStringLiteral("Number Of Pages=3"), QStringLiteral("[Story Info]"),
             QStringLiteral("Title=The Iron Gate"), QStringLiteral("[1]"), QStringLiteral("Location=Gate"),
             QStringLiteral("Page Text=An iron gate."), QStringLiteral("Option One=In"),
             QStringLiteral("Option One Destination Page=2"), QStringLiteral("[2]"), QStringLiteral("Location=Mill"),
             QStringLiteral("Page Text=Ironwork and iron dust."), QStringLiteral("[3]"),
             QStringLiteral("Location=Attic")});
        editor->show();
        load(quest);
        window = std::make_unique<CreateQuest>(*editor);
        window->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(window.get()));
        find = window->findChild<FindPanel *>(QStringLiteral("FindPanel"));
        go = window->findChild<GoToPanel *>(QStringLiteral("GoToPanel"));
        ASSERT_NE(find, nullptr);
        ASSERT_NE(go, nullptr);
    }
    void TearDown() override { window.reset(); }
    template <typename T> T *w(const char *name) { return window->findChild<T *>(QLatin1String(name)); }
    QStringList listed(const char *name)
    {
        QStringList out;
        auto *list = w<QListWidget>(name);
        for (int i = 0; i < list->count(); ++i)
            out << list->item(i)->text();
        return out;
    }
    std::unique_ptr<CreateQuest> window;
    FindPanel *find = nullptr;
    GoToPanel *go = nullptr;
};

} // namespace

TEST_F(FindPanelTest, EveryControlHasANameAndCtrlFOpensTheFind)
{
    for (const char *name : {"txtFind", "txtReplace", "chkFindCase", "chkFindWholeWord", "chkFindRegex", "cmdFind",
                             "cmdReplace", "cmdReplaceAll", "lstFindResults", "txtGoTo", "lstGoTo"}) {
        auto *widget = w<QWidget>(name);
        ASSERT_NE(widget, nullptr) << name;
        EXPECT_FALSE(widget->accessibleName().isEmpty()) << name;
        EXPECT_NE(widget->focusPolicy() & Qt::TabFocus, 0) << name;
    }
    auto *findAction = w<QAction>("mnufind");
    ASSERT_NE(findAction, nullptr);
    EXPECT_EQ(findAction->shortcut(), QKeySequence(QKeySequence::Find));
    findAction->trigger();
    ASSERT_TRUE(QTest::qWaitFor([&] { return find->isVisible(); }));
    EXPECT_EQ(w<QAction>("mnugoto")->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_G));
}

TEST_F(FindPanelTest, ResultsOpenTheirPageWithTheMatchSelected)
{
    find->startFind();
    QTest::keyClicks(w<QLineEdit>("txtFind"), QStringLiteral("iron"));
    QTest::keyClick(w<QLineEdit>("txtFind"), Qt::Key_Return);
    EXPECT_EQ(listed("lstFindResults"),
              (QStringList{QStringLiteral("Page 1, Page Text, An iron gate."),
                           QStringLiteral("Page 2, Page Text, Ironwork and iron dust."),
                           QStringLiteral("Page 2, Page Text, Ironwork and iron dust."),
                           QStringLiteral("Story info, Title, The Iron Gate")}));
    w<QListWidget>("lstFindResults")->setCurrentRow(2);
    EXPECT_EQ(state.currentPage(), QStringLiteral("2"));
    auto *text1 = window->findChild<QWidget *>(QStringLiteral("Text1"));
    ASSERT_NE(text1, nullptr);
    const QString selected = text1->inputMethodQuery(Qt::ImCurrentSelection).toString();
    EXPECT_EQ(selected, QStringLiteral("iron"));
    EXPECT_EQ(text1->inputMethodQuery(Qt::ImCursorPosition).toInt(), 17) << "the second match, not the first";

    // Options narrow the search.
    w<QCheckBox>("chkFindWholeWord")->setChecked(true);
    EXPECT_EQ(w<QListWidget>("lstFindResults")->count(), 3);
    w<QCheckBox>("chkFindCase")->setChecked(true);
    EXPECT_EQ(w<QListWidget>("lstFindResults")->count(), 2);
    w<QCheckBox>("chkFindRegex")->setChecked(true);
    w<QLineEdit>("txtFind")->setText(QStringLiteral("iron ("));
    find->find();
    EXPECT_EQ(w<QListWidget>("lstFindResults")->count(), 0);
    EXPECT_FALSE(w<QLabel>("lblFindReport")->text().isEmpty()) << "a broken expression says why";
}

TEST_F(FindPanelTest, ReplaceAllIsOneStepWithItsReport)
{
    find->startFind();
    w<QLineEdit>("txtFind")->setText(QStringLiteral("iron"));
    w<QLineEdit>("txtReplace")->setText(QStringLiteral("brass"));
    const int steps = editor->undoStack().count();
    w<QPushButton>("cmdReplaceAll")->click();
    EXPECT_EQ(w<QLabel>("lblFindReport")->text(), QStringLiteral("Replaced 4 times in 3 pages."));
    EXPECT_EQ(editor->undoStack().count(), steps + 1);
    EXPECT_EQ(editor->document().value(QStringLiteral("2"), QStringLiteral("Page Text")),
              QStringLiteral("brasswork and brass dust."));
    EXPECT_EQ(w<QListWidget>("lstFindResults")->count(), 0);
    editor->undo();
    EXPECT_EQ(editor->document().value(QStringLiteral("Story Info"), QStringLiteral("Title")),
              QStringLiteral("The Iron Gate"));

    // Replace changes the selected result only; a destination that now names no page is listed.
    w<QLineEdit>("txtFind")->setText(QStringLiteral("2"));
    w<QLineEdit>("txtReplace")->setText(QStringLiteral("9"));
    find->find();
    ASSERT_EQ(w<QListWidget>("lstFindResults")->count(), 1);
    w<QListWidget>("lstFindResults")->setCurrentRow(0);
    w<QPushButton>("cmdReplace")->click();
    EXPECT_TRUE(w<QLabel>("lblFindReport")->text().contains(QStringLiteral("1: Option One Destination Page = 9")))
        << w<QLabel>("lblFindReport")->text().toStdString();
    EXPECT_EQ(editor->undoStack().undoText(), QStringLiteral("Replace"));
}

TEST_F(FindPanelTest, GoToListsTheBestMatchesAsTheAuthorTypes)
{
    w<QAction>("mnugoto")->trigger();
    ASSERT_TRUE(QTest::qWaitFor([&] { return go->isVisible(); }));
    QTest::keyClicks(w<QLineEdit>("txtGoTo"), QStringLiteral("mil"));
    EXPECT_EQ(go->candidates(), QStringList{QStringLiteral("2")});
    EXPECT_EQ(listed("lstGoTo"), QStringList{QStringLiteral("Page 2, Mill")});
    QTest::keyClick(w<QLineEdit>("txtGoTo"), Qt::Key_Return);
    EXPECT_EQ(state.currentPage(), QStringLiteral("2"));
    EXPECT_TRUE(QTest::qWaitFor([&] { return QApplication::focusWidget() == window->binding().widget(QStringLiteral("Text1")); }));
    w<QLineEdit>("txtGoTo")->setText(QStringLiteral("3"));
    EXPECT_EQ(go->candidates().value(0), QStringLiteral("3"));
    EXPECT_TRUE(go->openCandidate());
    EXPECT_EQ(state.currentPage(), QStringLiteral("3"));
    w<QLineEdit>("txtGoTo")->setText(QStringLiteral("nowhere at all"));
    EXPECT_TRUE(go->candidates().isEmpty());
    EXPECT_FALSE(go->openCandidate());
}

TEST_F(FindPanelTest, TheStatusLineFollowsEdits)
{
    auto *stats = w<QLabel>("lblStats");
    ASSERT_NE(stats, nullptr);
    EXPECT_FALSE(stats->accessibleName().isEmpty());
    EXPECT_TRUE(stats->text().startsWith(QStringLiteral("3 pages, 7 words, 1 choice"))) << stats->text().toStdString();
    ASSERT_TRUE(editor->selectEntry(QStringLiteral("3")));
    ASSERT_TRUE(editor->setText(cq(), QStringLiteral("Text1"), QStringLiteral("Dust and more dust")));
    EXPECT_TRUE(stats->text().startsWith(QStringLiteral("3 pages, 11 words"))) << stats->text().toStdString();
    editor->undo();
    EXPECT_TRUE(stats->text().startsWith(QStringLiteral("3 pages, 7 words"))) << stats->text().toStdString();
}

TEST_F(FindPanelTest, LinksHereAndFollowingADestination)
{
    // Ctrl+click and Ctrl+Enter in a destination field open its page.
    ASSERT_TRUE(editor->selectEntry(QStringLiteral("1")));
    auto *dest = window->findChild<QWidget *>(QStringLiteral("Text6"));
    ASSERT_NE(dest, nullptr);
    QTest::mouseClick(dest, Qt::LeftButton, Qt::ControlModifier, QPoint(5, 5));
    EXPECT_EQ(state.currentPage(), QStringLiteral("2"));
    ASSERT_TRUE(editor->selectEntry(QStringLiteral("1")));
    QTest::mouseClick(dest, Qt::LeftButton, Qt::NoModifier, QPoint(5, 5));
    EXPECT_EQ(state.currentPage(), QStringLiteral("1")) << "a plain click only edits";
    QTest::keyClick(dest, Qt::Key_Return, Qt::ControlModifier);
    EXPECT_EQ(state.currentPage(), QStringLiteral("2"));

    // Links Here lists what leads to the selected page, and follows the selection.
    auto *links = window->findChild<LinksHerePanel *>(QStringLiteral("LinksHerePanel"));
    ASSERT_NE(links, nullptr);
    w<QAction>("mnulinkshere")->trigger();
    ASSERT_TRUE(QTest::qWaitFor([&] { return links->isVisible(); }));
    EXPECT_EQ(listed("lstLinksHere"), QStringList{QStringLiteral("Page 1, Option One Destination Page")});
    ASSERT_TRUE(editor->selectEntry(QStringLiteral("3")));
    ASSERT_TRUE(QTest::qWaitFor([&] { return links->sources().value(0).isNull() && listed("lstLinksHere").size() == 1
                                             && listed("lstLinksHere").first().contains(QStringLiteral("Nothing")); }));
    ASSERT_TRUE(editor->selectEntry(QStringLiteral("2")));
    ASSERT_TRUE(QTest::qWaitFor([&] { return links->sources() == QStringList{QStringLiteral("1")}; }));
    EXPECT_TRUE(links->openSource(0));
    EXPECT_EQ(state.currentPage(), QStringLiteral("1"));
}

// The map highlights the pages with matches, with their counts, until the
// find is cleared; a match in a battle's field opens the battle dialog with
// the match selected, on a battle page (other pages say why they cannot).
TEST_F(FindPanelTest, TheMapHighlightsMatchesAndBattleFieldsOpenTheirDialog)
{
    QuestDocument &doc = editor->document();
    doc.setValue(QStringLiteral("3"), QStringLiteral("Battle"), QStringLiteral("1"));
    doc.setValue(QStringLiteral("3"), QStringLiteral("BattleMonName"), QStringLiteral("Iron golem"));
    doc.setValue(QStringLiteral("1"), QStringLiteral("BattleMonName"), QStringLiteral("Iron guard"));
    FrmBattle battle(*editor, window.get());
    window->findPanel().setBattleForm(&battle.binding());
    auto *dock = window->findChild<StoryMapDock *>();
    ASSERT_NE(dock, nullptr);
    dock->show();
    StoryMap *map = dock->map();
    ASSERT_TRUE(QTest::qWaitFor([&] { return map->graph().pages.size() == 3; }));

    auto badges = [&](const QString &page) {
        // The count's badge at the card's lower right corner, at zoom 1.
        const int i = map->graph().indexOf(page);
        map->setZoom(1.0);
        map->centerOn(QRectF(map->layout().cardRect(i)).center());
        QImage image(map->viewport()->size(), QImage::Format_ARGB32_Premultiplied);
        QPainter p(&image);
        map->paintView(p, image.rect());
        p.end();
        const QPointF corner = map->toView(QPointF(map->layout().cardRect(i).bottomRight()));
        int marked = 0;
        for (int dx = -24; dx <= 0; dx += 3)
            for (int dy = -14; dy <= 0; dy += 2)
                marked += image.pixelColor((corner + QPointF(dx, dy)).toPoint()) == QColor(0xf9, 0xa8, 0x25);
        return marked;
    };
    EXPECT_EQ(badges(QStringLiteral("2")), 0);
    find->startFind();
    w<QLineEdit>("txtFind")->setText(QStringLiteral("iron"));
    find->find();
    const struct
    {
        const char *page, *name;
    } cards[] = {
        {"1", "Page 1, Gate, 1 choice, start, 2 matches"},
        {"2", "Page 2, Mill, 0 choices, ending, 2 matches"},
        {"3", "Page 3, Attic, 0 choices, ending, battle, not reached from page 1, 1 match"},
    };
    for (const auto &c : cards)
        EXPECT_EQ(map->cardAccessibleName(map->graph().indexOf(QLatin1String(c.page))).toStdString(), c.name);
    EXPECT_GT(badges(QStringLiteral("2")), 10) << "the count is drawn on the card";
    EXPECT_GT(badges(QStringLiteral("3")), 0);

    const QStringList results = listed("lstFindResults");
    const qsizetype guard = results.indexOf(QStringLiteral("Page 1, BattleMonName, Iron guard"));
    const qsizetype golem = results.indexOf(QStringLiteral("Page 3, BattleMonName, Iron golem"));
    ASSERT_GE(guard, 0);
    ASSERT_GE(golem, 0);
    EXPECT_EQ(find->openResult(int(guard)), nullptr);
    EXPECT_TRUE(w<QLabel>("lblFindReport")->text().contains(QStringLiteral("battle settings of page 1")));
    EXPECT_FALSE(battle.isVisible());
    QWidget *field = find->openResult(int(golem));
    ASSERT_NE(field, nullptr);
    EXPECT_EQ(state.currentPage(), QStringLiteral("3"));
    EXPECT_EQ(field->window(), &battle);
    EXPECT_EQ(field->objectName(), QStringLiteral("Text1"));
    EXPECT_TRUE(QTest::qWaitFor([&] { return battle.isVisible(); }));
    EXPECT_EQ(field->inputMethodQuery(Qt::ImCurrentSelection).toString(), QStringLiteral("Iron"));

    // Cleared: no highlight.
    w<QLineEdit>("txtFind")->clear();
    EXPECT_EQ(map->cardAccessibleName(map->graph().indexOf(QStringLiteral("2"))),
              QStringLiteral("Page 2, Mill, 0 choices, ending"));
    EXPECT_EQ(badges(QStringLiteral("2")), 0);
}
