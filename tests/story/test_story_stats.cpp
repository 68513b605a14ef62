// The status line's statistics follow every kind of change made to the
// document and always equal a count from scratch.
#include "editor/story_stats.h"
#include "storage/quest_format.h"

#include <QRandomGenerator>
#include <gtest/gtest.h>

using namespace fc;
using namespace fc::story;

TEST(StoryStatistics, FollowChangesAsACountFromScratchWould)
{
    QuestDocument doc;
    doc.setBytes("[Quest Data]\r\nNumber Of Pages=3\r\n[Story Info]\r\nTitle=T\r\n"
                 "[1]\r\nPage Text=Two words\r\nOption One=Go\r\nOption One Destination Page=2\r\n"
                 "[2]\r\nPage Text=  three  more words \r\nBattle=1\r\nBattleWin=3\r\n[3]\r\nPage Text=The end.\r\n");
    StoryStatistics stats(doc);
    EXPECT_EQ(stats.counts(), (StoryCounts{3, 7, 1, 1, 0}));
    stats.setFindings(2);
    EXPECT_EQ(stats.text(), QStringLiteral("3 pages, 7 words, 1 choice, 1 ending, 2 findings"));

    const quint32 seed = qEnvironmentVariableIsSet("FC_SEED") ? quint32(qEnvironmentVariableIntValue("FC_SEED"))
                                                              : QRandomGenerator::global()->generate();
    std::printf("statistics seed: FC_SEED=%u\n", seed);
    QRandomGenerator rng(seed);
    const QStringList texts{QString(), QStringLiteral("one"), QStringLiteral("a b c"), QStringLiteral("  x  y ")};
    QList<std::shared_ptr<QuestDocument::Delta>> steps;
    for (int i = 0; i < 300; ++i) {
        const QString page = QString::number(1 + rng.bounded(5));
        doc.beginRecord();
        switch (rng.bounded(6)) {
        case 0: doc.setValue(page, QString(quest::kPageText), texts[rng.bounded(int(texts.size()))]); break;
        case 1: doc.setValue(page, quest::optionKey(1 + rng.bounded(4)), rng.bounded(2) ? QStringLiteral("Go") : QString()); break;
        case 2: doc.setValue(page, QString(quest::kBattle), rng.bounded(2) ? QStringLiteral("1") : QStringLiteral("0")); break;
        case 3: doc.setValue(page, QString(quest::kBattleWin), rng.bounded(2) ? QStringLiteral("1") : QString()); break;
        case 4: if (doc.pageIndex(page) < 0) doc.addPage(page); break;
        case 5: if (doc.pages().size() > 1) doc.removePageAt(int(rng.bounded(int(doc.pages().size())))); break;
        }
        if (auto d = doc.endRecord())
            steps.append(d);
        if (!steps.isEmpty() && rng.bounded(5) == 0) {
            doc.undo(*steps.takeLast());
        }
        StoryStatistics fresh(doc);
        StoryCounts expected = fresh.counts();
        expected.findings = 2;
        ASSERT_EQ(stats.counts(), expected) << "after step " << i;
    }
    doc.clear();
    EXPECT_EQ(stats.counts(), (StoryCounts{0, 0, 0, 0, 2}));
}
