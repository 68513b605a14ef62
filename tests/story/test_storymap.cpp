// The story map view driven by keys and the pointer, offscreen: the keyboard
// way through the cards, zoom, accessible names, moving a card into the side
// file, and the level of detail.
#include "editor/ui/storymap.h"
#include "tests/support/testsupport.h"

#include <QImage>
#include <QLineEdit>
#include <QPainter>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QVBoxLayout>
#include <gtest/gtest.h>

using namespace fc;
using namespace fc::story;

namespace {

StoryPageInput page(const QString &name, const QString &location, const QStringList &choices)
{
    StoryPageInput p;
    p.name = name;
    p.location = location;
    p.text = QStringLiteral("Words of page ") + name;
    for (int i = 0; i < choices.size(); ++i) {
        p.captions[size_t(i)] = QStringLiteral("Go");
        p.destinations[size_t(i)] = choices[i];
    }
    return p;
}

// Page 1 leads to 2, 3 and 4 (one column, 3 level with 1); 3 to 5; 6 is
// reached from nowhere.
StoryGraph smallStory()
{
    return buildStoryGraph({page(QStringLiteral("1"), QStringLiteral("Gate"), {QStringLiteral("2"), QStringLiteral("3"), QStringLiteral("4")}),
                            page(QStringLiteral("2"), QStringLiteral("Tower"), {}),
                            page(QStringLiteral("3"), QStringLiteral("The Mill"), {QStringLiteral("5")}),
                            page(QStringLiteral("4"), QStringLiteral("Cellar"), {}),
                            page(QStringLiteral("5"), QStringLiteral("Field"), {}),
                            page(QStringLiteral("6"), QStringLiteral("Island"), {})});
}

class StoryMapTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        auto *layout = new QVBoxLayout(&window);
        map = new StoryMap(&window);
        after = new QLineEdit(&window);
        after->setObjectName(QStringLiteral("after"));
        layout->addWidget(map);
        layout->addWidget(after);
        window.resize(900, 600);
        window.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
        map->setStory(smallStory(), dir.filePath(QStringLiteral("small.qst.map")));
        map->setFocus();
        ASSERT_TRUE(QTest::qWaitForWindowActive(&window) || map->hasFocus());
    }
    void key(int k, Qt::KeyboardModifiers mods = Qt::NoModifier) { QTest::keyClick(QApplication::focusWidget(), Qt::Key(k), mods); }

    QTemporaryDir dir;
    QWidget window;
    StoryMap *map = nullptr;
    QLineEdit *after = nullptr;
};

} // namespace

TEST_F(StoryMapTest, ArrowsTabAndEnterWalkTheCards)
{
    ASSERT_TRUE(map->hasFocus());
    EXPECT_EQ(map->currentPageName(), QStringLiteral("1"));
    const struct
    {
        int key;
        Qt::KeyboardModifiers mods;
        const char *page;
    } steps[] = {
        {Qt::Key_Right, Qt::NoModifier, "3"}, // level with page 1
        {Qt::Key_Up, Qt::NoModifier, "2"},    {Qt::Key_Down, Qt::NoModifier, "3"},
        {Qt::Key_Down, Qt::NoModifier, "4"},  {Qt::Key_Down, Qt::NoModifier, "4"}, // nothing below
        {Qt::Key_Left, Qt::NoModifier, "1"},  {Qt::Key_Left, Qt::NoModifier, "1"},
        {Qt::Key_Tab, Qt::NoModifier, "2"},   {Qt::Key_Tab, Qt::NoModifier, "3"},
        {Qt::Key_Backtab, Qt::ShiftModifier, "2"}, {Qt::Key_Home, Qt::NoModifier, "1"},
    };
    for (const auto &s : steps) {
        key(s.key, s.mods);
        EXPECT_EQ(map->currentPageName(), QLatin1String(s.page)) << "after key " << s.key;
    }
    QSignalSpy opened(map, &StoryMap::pageActivated);
    map->setCurrentPageName(QStringLiteral("5"));
    key(Qt::Key_Return);
    ASSERT_EQ(opened.size(), 1);
    EXPECT_EQ(opened.first().first().toString(), QStringLiteral("5"));

    // Tab past the last page leaves the map.
    key(Qt::Key_Tab);
    EXPECT_EQ(map->currentPageName(), QStringLiteral("6"));
    key(Qt::Key_Tab);
    EXPECT_TRUE(after->hasFocus());
}

TEST_F(StoryMapTest, CardsHaveNamesAScreenReaderSays)
{
    map->setCurrentPageName(QStringLiteral("3"));
    EXPECT_EQ(map->accessibleName(), QStringLiteral("Page 3, The Mill, 1 choice"));
    EXPECT_EQ(map->cardAccessibleName(0), QStringLiteral("Page 1, Gate, 3 choices, start"));
    EXPECT_EQ(map->cardAccessibleName(3), QStringLiteral("Page 4, Cellar, 0 choices, ending"));
    EXPECT_EQ(map->cardAccessibleName(5), QStringLiteral("Page 6, Island, 0 choices, ending, not reached from page 1"));
    map->setFindings({{QStringLiteral("4"), {{QStringLiteral("soft-lock"), QStringLiteral("the player is stuck")}}}});
    map->setMatches({{QStringLiteral("4"), 2}});
    EXPECT_EQ(map->cardAccessibleName(3), QStringLiteral("Page 4, Cellar, 0 choices, ending, 1 finding, 2 matches"));
    EXPECT_TRUE(map->cardToolTip(3).contains(QStringLiteral("the player is stuck")));
}

TEST_F(StoryMapTest, ZoomKeysAndDetail)
{
    map->fit();
    const double fitted = map->zoom();
    key(Qt::Key_Plus, Qt::ControlModifier);
    EXPECT_NEAR(map->zoom(), fitted * 1.25, 1e-9);
    key(Qt::Key_Minus, Qt::ControlModifier);
    key(Qt::Key_Minus, Qt::ControlModifier);
    EXPECT_NEAR(map->zoom(), fitted / 1.25, 1e-9);
    key(Qt::Key_0, Qt::ControlModifier);
    EXPECT_NEAR(map->zoom(), fitted, 1e-9);
    // Every card of a small quest is in view after Fit.
    const QRectF view(map->origin(), QSizeF(map->viewport()->size()) / map->zoom());
    EXPECT_TRUE(view.contains(QRectF(map->layout().bounds)));

    // Shift+arrow pans without changing the card.
    const QPointF before = map->origin();
    key(Qt::Key_Right, Qt::ShiftModifier);
    EXPECT_GT(map->origin().x(), before.x());
    EXPECT_EQ(map->currentPageName(), QStringLiteral("1"));

    EXPECT_EQ(StoryMap::detailAt(0.05), StoryMap::Detail::Dots);
    EXPECT_EQ(StoryMap::detailAt(0.3), StoryMap::Detail::Boxes);
    EXPECT_EQ(StoryMap::detailAt(1.0), StoryMap::Detail::Cards);
    // Each detail paints cards where they are: the card of page 1 is not
    // background.
    for (double z : {0.05, 0.3, 1.0}) {
        map->setZoom(z);
        map->centerOn(QRectF(map->layout().cardRect(0)).center());
        QImage image(map->viewport()->size(), QImage::Format_ARGB32_Premultiplied);
        QPainter p(&image);
        map->paintView(p, image.rect());
        p.end();
        const QPoint centre = map->toView(QRectF(map->layout().cardRect(0)).center()).toPoint();
        EXPECT_NE(image.pixel(centre), image.pixel(2, 2)) << "zoom " << z;
    }
}

TEST_F(StoryMapTest, DraggedCardIsKeptInTheSideFile)
{
    map->setZoom(1.0);
    map->centerOn(QRectF(map->layout().cardRect(0)).center());
    QSignalSpy moved(map, &StoryMap::cardMoved);
    const QPoint from = map->toView(QPointF(map->layout().cardRect(0).topLeft()) + QPointF(30, 30)).toPoint();
    QTest::mousePress(map->viewport(), Qt::LeftButton, {}, from);
    QTest::mouseMove(map->viewport(), from + QPoint(10, 40));
    QTest::mouseMove(map->viewport(), from + QPoint(20, 90));
    QTest::mouseRelease(map->viewport(), Qt::LeftButton, {}, from + QPoint(20, 90));
    ASSERT_EQ(moved.size(), 1);
    const QPoint at = moved.first().at(1).toPoint();
    EXPECT_EQ(map->layout().positions[0], at);
    PinnedPositions saved;
    ASSERT_TRUE(readSideFile(map->sideFile(), &saved));
    EXPECT_EQ(saved.value(QStringLiteral("1")), at);
    // The card made way: it overlaps no other.
    for (int p = 1; p < map->graph().pages.size(); ++p)
        EXPECT_FALSE(map->layout().cardRect(0).intersects(map->layout().cardRect(p)));

    // Shown again from the side file, the card stays where it was put.
    map->setStory(smallStory(), map->sideFile());
    EXPECT_EQ(map->layout().positions[0], at);
}

// Changing pages in place gives the graph a rebuild from the same pages
// gives, leaves the other cards where they were, gives a new card a free
// place the pointer finds, and keeps Tab's order by number.
TEST_F(StoryMapTest, PagesChangedInPlaceMatchARebuild)
{
    QList<StoryPageInput> inputs{page(QStringLiteral("1"), QStringLiteral("Gate"), {QStringLiteral("2"), QStringLiteral("3"), QStringLiteral("4")}),
                                 page(QStringLiteral("2"), QStringLiteral("Tower"), {}),
                                 page(QStringLiteral("3"), QStringLiteral("The Mill"), {QStringLiteral("5")}),
                                 page(QStringLiteral("4"), QStringLiteral("Cellar"), {}),
                                 page(QStringLiteral("5"), QStringLiteral("Field"), {}),
                                 page(QStringLiteral("6"), QStringLiteral("Island"), {})};
    StoryPageInput battle = page(QStringLiteral("4"), QStringLiteral("Crypt"), {QStringLiteral("9")});
    battle.battle = QStringLiteral("1");
    battle.win = QStringLiteral("6");
    battle.lose = QStringLiteral("1");
    const struct
    {
        const char *what;
        StoryPageInput change; // an empty location with no choices: the page is removed
        bool remove;
    } steps[] = {
        {"a location and a choice", page(QStringLiteral("3"), QStringLiteral("The Old Mill"), {QStringLiteral("6"), QStringLiteral("5")}), false},
        {"a battle and a choice to a page not there", battle, false},
        {"choices taken back", page(QStringLiteral("3"), QStringLiteral("The Old Mill"), {QStringLiteral("5")}), false},
        {"the missing page added", page(QStringLiteral("9"), QStringLiteral("Vault"), {QStringLiteral("1")}), false},
        {"another added, before it by number", page(QStringLiteral("10"), QStringLiteral("Hall"), {}), false},
        {"a page linked to removed", page(QStringLiteral("6"), {}, {}), true},
        {"the start removed", page(QStringLiteral("1"), {}, {}), true},
        {"the start added again", page(QStringLiteral("1"), QStringLiteral("New gate"), {QStringLiteral("9")}), false},
    };
    auto linksOf = [](const StoryGraph &g) {
        QStringList out;
        for (const StoryLink &l : g.links)
            out << QStringLiteral("%1>%2 %3").arg(g.pages[l.from].name, g.pages[l.to].name, linkKindName(l.kind));
        for (const BrokenLink &b : g.broken)
            out << QStringLiteral("%1>%2? %3").arg(g.pages[b.from].name, b.destination, linkKindName(b.kind));
        out.sort();
        return out;
    };
    auto cardsOf = [](const StoryGraph &g) {
        QStringList out;
        for (const StoryPage &p : g.pages)
            out << QStringLiteral("%1|%2|%3|%4|%5%6%7").arg(p.name, p.location, p.firstWords).arg(p.choices)
                       .arg(p.battle).arg(p.ending).arg(p.start);
        return out;
    };
    for (const auto &step : steps) {
        SCOPED_TRACE(step.what);
        QHash<QString, QPoint> before;
        for (int i = 0; i < map->graph().pages.size(); ++i)
            before.insert(map->graph().pages[i].name, map->layout().positions[i]);
        const qsizetype at = std::find_if(inputs.begin(), inputs.end(), [&](const StoryPageInput &p) {
                                 return p.name == step.change.name;
                             }) - inputs.begin();
        if (step.remove) {
            inputs.removeAt(at);
            map->removePage(step.change.name);
        } else {
            if (at < inputs.size())
                inputs[at] = step.change;
            else
                inputs.append(step.change);
            map->updatePage(step.change);
        }
        const StoryGraph rebuilt = buildStoryGraph(inputs);
        EXPECT_EQ(cardsOf(map->graph()).join(QLatin1Char(' ')).toStdString(), cardsOf(rebuilt).join(QLatin1Char(' ')).toStdString());
        EXPECT_EQ(linksOf(map->graph()).join(QLatin1Char(' ')).toStdString(), linksOf(rebuilt).join(QLatin1Char(' ')).toStdString());
        EXPECT_EQ(map->graph().start, rebuilt.start);
        EXPECT_EQ(map->layout().reached, layoutStory(rebuilt).reached);
        const int n = int(map->graph().pages.size());
        for (int i = 0; i < n; ++i) {
            const QString &name = map->graph().pages[i].name;
            if (before.contains(name))
                EXPECT_EQ(map->layout().positions[i], before.value(name)) << qPrintable(name);
            for (int j = i + 1; j < n; ++j)
                EXPECT_FALSE(map->layout().cardRect(i).intersects(map->layout().cardRect(j)));
            map->setZoom(1.0);
            map->centerOn(QRectF(map->layout().cardRect(i)).center());
            EXPECT_EQ(map->cardAt(map->toView(QRectF(map->layout().cardRect(i)).center())), i) << qPrintable(name);
        }
        // The whole-map picture, changed in place, is the picture drawn anew.
        auto picture = [&] {
            map->setZoom(0.149); // the picture about pixel for pixel
            map->centerOn(QRectF(map->layout().bounds).center());
            QImage image(map->viewport()->size(), QImage::Format_ARGB32_Premultiplied);
            QPainter p(&image);
            map->paintView(p, image.rect());
            return image;
        };
        const QImage changed = picture();
        map->moveCard(0, map->layout().positions[0]); // where it is: the picture is drawn anew
        EXPECT_TRUE(changed == picture());
        // Tab walks the pages by number.
        QStringList tabbed;
        map->setFocus();
        map->setCurrentPage(-1);
        for (int i = 0; i < n; ++i) {
            key(Qt::Key_Tab);
            tabbed << map->currentPageName();
        }
        QStringList names;
        for (int i : rebuilt.byNumber())
            names << rebuilt.pages[i].name;
        EXPECT_EQ(tabbed.join(QLatin1Char(' ')).toStdString(), names.join(QLatin1Char(' ')).toStdString());
    }
}
