// The adventure the program ships: the checker finds nothing to fix in it,
// every ending has a bounded score, and random play agrees with both and puts
// the monsters' rewards to use.
#include "engine/check/checker.h"
#include "engine/check/playtest.h"
#include "engine/check/quest_snapshot.h"
#include "storage/quest_format.h"

#include <QHash>
#include <QSet>

#include <gtest/gtest.h>

namespace {

using namespace fc;

const QString kAdventure = QStringLiteral(FABLECRAFT_DEFAULT_ADVENTURE);

struct ItemUse
{
    QString item, page;
    int choice = 0; // 1..4
    QString destination;
};

// The choices that need an item some monster of the quest gives.
QList<ItemUse> usesOfMonsterRewards(const check::QuestSnapshot &quest)
{
    using namespace quest;
    QSet<QString> rewards;
    for (const QString &page : quest.pages())
        if (quest.read(page, kBattle) == QLatin1String("1") && !quest.read(page, kBattleMonKeyItem).isEmpty())
            rewards.insert(quest.read(page, kBattleMonKeyItem));
    QList<ItemUse> uses;
    for (const QString &page : quest.pages())
        for (int i = 1; i <= kOptionCount; ++i) {
            const QString item = quest.read(page, keyItemKey(i));
            if (!quest.read(page, optionKey(i)).isEmpty() && quest.read(page, requiredKey(i)) == QLatin1String("1")
                && rewards.contains(item))
                uses.append({item, page, i, quest.read(page, destinationKey(i))});
        }
    return uses;
}

TEST(DefaultAdventure, ChecksCleanWithABoundedScoreAtEveryEnding)
{
    const check::CheckReport report = check::checkQuest(kAdventure);
    ASSERT_TRUE(report.error.isEmpty()) << report.error.toStdString();
    for (const check::Finding &f : report.findings)
        ADD_FAILURE() << f.kind.toStdString() << " page " << f.page.toStdString() << " " << f.key.toStdString()
                      << ": " << f.message.toStdString() << " (steps: " << f.steps.join(QLatin1Char(' ')).toStdString()
                      << ")";
    EXPECT_FALSE(report.needsFixing());
    ASSERT_FALSE(report.endings.isEmpty());
    for (const check::Ending &e : report.endings) {
        ASSERT_TRUE(e.minScore && e.maxScore) << "page " << e.page.toStdString() << ": score unbounded";
        EXPECT_LE(*e.minScore, *e.maxScore) << "page " << e.page.toStdString();
        EXPECT_GT(e.states, 0) << "page " << e.page.toStdString();
    }
}

// A few hundred seeded games: none loops, sticks or leaves the quest; each
// ending's scores lie within the checker's range for it; every monster's
// reward is needed by a choice that some game takes, to a page it reaches.
TEST(DefaultAdventure, RandomPlayAgreesWithTheCheckAndUsesTheMonstersRewards)
{
    check::PlaytestOptions options;
    options.runs = 400;
    options.seed = 7;
    const check::PlaytestReport play = check::playtestQuest(kAdventure, options);
    ASSERT_TRUE(play.error.isEmpty()) << play.error.toStdString();
    EXPECT_EQ(play.runs, 400);
    EXPECT_EQ(play.loops, 0);
    EXPECT_EQ(play.stuck, 0);
    EXPECT_EQ(play.nowhere, 0);

    const check::CheckReport check = check::checkQuest(kAdventure);
    QHash<QString, check::Ending> checked;
    for (const check::Ending &e : check.endings)
        checked.insert(e.page, e);
    qint64 ended = 0;
    for (const auto &e : play.endings) {
        ended += e.runs;
        ASSERT_TRUE(checked.contains(e.page)) << "runs ended on page " << e.page.toStdString()
                                              << ", which the check does not count as an ending";
        const check::Ending &bound = checked[e.page];
        ASSERT_TRUE(bound.minScore && bound.maxScore);
        EXPECT_GE(e.minScore, *bound.minScore) << "page " << e.page.toStdString();
        EXPECT_LE(e.maxScore, *bound.maxScore) << "page " << e.page.toStdString();
    }
    EXPECT_EQ(ended, play.runs);

    check::QuestSnapshot quest;
    ASSERT_TRUE(quest.load(kAdventure));
    const QList<ItemUse> uses = usesOfMonsterRewards(quest);
    QSet<QString> used;
    for (const ItemUse &u : uses)
        used.insert(u.item);
    for (const QString &page : quest.pages()) {
        const QString reward = quest.read(page, quest::kBattleMonKeyItem);
        if (quest.read(page, quest::kBattle) == QLatin1String("1") && !reward.isEmpty()) {
            EXPECT_TRUE(used.contains(reward)) << "no choice needs \"" << reward.toStdString() << "\"";
        }
    }
    ASSERT_FALSE(uses.isEmpty());

    QHash<QString, qint64> taken, reached;
    for (const auto &c : play.choices)
        taken.insert(c.page + QLatin1Char('/') + QString::number(c.choice), c.taken);
    for (const auto &p : play.pages)
        reached.insert(p.page, p.runs);
    for (const ItemUse &u : uses) {
        EXPECT_GT(taken.value(u.page + QLatin1Char('/') + QString::number(u.choice)), 0)
            << "page " << u.page.toStdString() << " choice " << u.choice << " (needs \"" << u.item.toStdString()
            << "\") was never taken";
        EXPECT_GT(reached.value(u.destination), 0) << "page " << u.destination.toStdString() << " was never reached";
    }
}

} // namespace
