// The live "Check Quest" panel: a burst of changes makes one check, only the
// newest check's findings are shown, Load and "&New" clear it, and media are
// looked for beside the quest file the author loaded.
#include "editor/ui/checkpanel.h"
#include "tests/editor/editor_fixture.h"
#include "tests/support/testsupport.h"

#include <QLabel>
#include <QListWidget>
#include <QSignalSpy>
#include <QTest>

using namespace fc;

namespace {

class CheckPanelTest : public fc::test::EditorTest
{
protected:
    void SetUp() override
    {
        editor->show();
        panel = std::make_unique<CheckPanel>(*editor);
    }
    bool hasFinding(const char *kind) const
    {
        for (const check::Finding &f : panel->lastReport().findings)
            if (f.kind == QLatin1String(kind))
                return true;
        return false;
    }
    // Waits until no check runs or waits and one was shown.
    bool settled(QSignalSpy &checked) const
    {
        return QTest::qWaitFor([&] { return !panel->checking() && !panel->scheduled() && checked.size() > 0; }, 20000);
    }
    std::unique_ptr<CheckPanel> panel;
};

} // namespace

TEST_F(CheckPanelTest, ABurstOfChangesMakesOneCheck)
{
    QSignalSpy checked(panel.get(), &CheckPanel::checked);
    for (int i = 0; i < 5; ++i)
        panel->scheduleCheck();
    EXPECT_TRUE(panel->scheduled());
    EXPECT_EQ(panel->checksStarted(), 0); // nothing before the pause
    ASSERT_TRUE(settled(checked));
    EXPECT_EQ(panel->checksStarted(), 1);
    EXPECT_EQ(checked.size(), 1);
}

TEST_F(CheckPanelTest, OnlyTheNewestCheckIsShown)
{
    QSignalSpy checked(panel.get(), &CheckPanel::checked);
    ASSERT_TRUE(editor->setText(cq(), QStringLiteral("Text2"), QStringLiteral("Onward")));
    ASSERT_TRUE(editor->setText(cq(), QStringLiteral("Text6"), QStringLiteral("99")));
    panel->checkQuest(); // finds the broken destination ...
    ASSERT_TRUE(editor->setText(cq(), QStringLiteral("Text6"), QStringLiteral("1")));
    panel->checkQuest(); // ... but this one is the one shown
    ASSERT_TRUE(settled(checked));
    EXPECT_EQ(checked.size(), 1);
    EXPECT_FALSE(hasFinding("broken-destination"));

    // A check cleared away reports nothing.
    ASSERT_TRUE(editor->setText(cq(), QStringLiteral("Text6"), QStringLiteral("99")));
    panel->checkQuest();
    panel->clear();
    ASSERT_TRUE(QTest::qWaitFor([&] { return !panel->checking(); }, 20000));
    QCoreApplication::processEvents();
    EXPECT_EQ(checked.size(), 1);
    EXPECT_EQ(panel->findings()->count(), 0);
    EXPECT_EQ(panel->status()->text(), QStringLiteral("Not checked yet."));
}

TEST_F(CheckPanelTest, MediaAreLookedForBesideTheLoadedQuest)
{
    ASSERT_TRUE(fc::test::writeFile(dir.filePath(QStringLiteral("hall.bmp")), "BM"));
    const struct
    {
        const char *image;
        bool missing;
    } cases[] = {{"hall.bmp", false}, {"gone.bmp", true}};
    for (const auto &c : cases) {
        SCOPED_TRACE(c.image);
        const QString quest = writeQuest(QStringLiteral("media.qst"),
                                         {QStringLiteral("[Quest Data]"), QStringLiteral("Number Of Pages=1"),
                                          QStringLiteral("[1]"), QStringLiteral("Location=Hall"),
                                          QStringLiteral("Image=") + QLatin1String(c.image)});
        load(quest);
        ASSERT_EQ(editor->questFile(), quest);
        QSignalSpy checked(panel.get(), &CheckPanel::checked);
        panel->checkQuest();
        ASSERT_TRUE(settled(checked));
        EXPECT_EQ(hasFinding("missing-media"), c.missing);
    }
}

TEST_F(CheckPanelTest, LongStepListsAreShortenedInTheTooltip)
{
    // A line of 60 pages whose last choice leads nowhere: the finding's steps
    // from the start are 59 choices, shown as the first and last ten.
    QStringList lines{QStringLiteral("[Quest Data]"), QStringLiteral("Number Of Pages=60")};
    for (int page = 1; page <= 60; ++page)
        lines << QStringLiteral("[%1]").arg(page) << QStringLiteral("Location=Room %1").arg(page)
              << QStringLiteral("Option One=On") << QStringLiteral("Option One Destination Page=%1").arg(page + 1);
    load(writeQuest(QStringLiteral("line.qst"), lines));
    QSignalSpy checked(panel.get(), &CheckPanel::checked);
    panel->checkQuest();
    ASSERT_TRUE(settled(checked));
    QString tip;
    for (int row = 0; row < panel->findings()->count(); ++row)
        if (panel->findings()->item(row)->toolTip().contains(QStringLiteral("Steps from the start")))
            tip = panel->findings()->item(row)->toolTip();
    EXPECT_TRUE(tip.contains(QStringLiteral("\u2026 39 steps \u2026"))) << tip.toStdString();
}
