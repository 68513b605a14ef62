// Find, Replace All with its report and undo, Go to page and "Links here" on
// a quest document.
#include "bench/generated_quest.h"
#include "editor/story_find.h"

#include <QElapsedTimer>
#include <QFile>
#include <gtest/gtest.h>

using namespace fc;
using namespace fc::story;

namespace {

const QByteArray kQuest =
    "[Quest Data]\r\nNumber Of Pages=4\r\n"
    "[Story Info]\r\nTitle=The Iron Gate\r\nAuthor=Ann Iron\r\n"
    "[1]\r\nLocation=The Iron Gate\r\nPage Text=An iron gate, irony of ironworks.\r\n"
    "Option One=Open the gate\r\nOption One Destination Page=2\r\nOption Two=Climb\r\nOption Two Destination Page=3\r\n"
    "[2]\r\nLocation=The Mill\r\nPage Text=The mill wheel turns.\r\nBattle=1\r\nBattleMonName=Iron Golem\r\nBattleWin=4\r\n"
    "[3]\r\nLocation=Tower top\r\nPage Text=Wind.\r\nOption One=Back\r\nOption One Destination Page=2\r\n"
    "[4]\r\nLocation=Mill pond\r\nPage Text=The end.\r\n";

QStringList describe(const QList<FindMatch> &ms)
{
    QStringList out;
    for (const FindMatch &m : ms)
        out << QStringLiteral("%1/%2@%3").arg(m.page.isEmpty() ? QStringLiteral("-") : m.page, m.key).arg(m.start);
    return out;
}

} // namespace

TEST(StoryFind, FindsByCaseWordAndExpressionInEveryField)
{
    QuestDocument doc;
    doc.setBytes(kQuest);
    const struct
    {
        const char *text;
        FindOptions options;
        QStringList expected;
    } cases[] = {
        {"iron", {}, {"1/Location@4", "1/Page Text@3", "1/Page Text@14", "1/Page Text@23", "2/BattleMonName@0", "-/Title@4", "-/Author@4"}},
        {"Iron", {true, false, false}, {"1/Location@4", "2/BattleMonName@0", "-/Title@4", "-/Author@4"}},
        {"iron", {false, true, false}, {"1/Location@4", "1/Page Text@3", "2/BattleMonName@0", "-/Title@4", "-/Author@4"}},
        {"^The (Mill|End)", {false, false, true}, {"2/Location@0", "2/Page Text@0", "4/Page Text@0"}},
        {"2", {false, true, false}, {"1/Option One Destination Page@0", "3/Option One Destination Page@0"}},
        {"nowhere", {}, {}},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.text);
        const Finder finder(QString::fromLatin1(c.text), c.options);
        ASSERT_TRUE(finder.isValid());
        EXPECT_EQ(describe(findInQuest(doc, finder)), c.expected);
    }
    const QList<FindMatch> m = findInQuest(doc, Finder(QStringLiteral("golem"), {}));
    ASSERT_EQ(m.size(), 1);
    EXPECT_EQ(m.first().line, QStringLiteral("Iron Golem"));
    EXPECT_EQ(m.first().line.mid(m.first().start, m.first().length), QStringLiteral("Golem"));
    EXPECT_FALSE(Finder(QStringLiteral("(unclosed"), {false, false, true}).isValid());
    EXPECT_FALSE(Finder(QString(), {}).isValid());
}

// find reads the stored text directly: it must list exactly what reading
// every field with QuestDocument::value() lists, and the story graph's input
// exactly what QuestDocument::page() gives, on quests written every odd way.
TEST(StoryFind, ReadsStoredTextAsAProfileReadDoes)
{
    const QString longValue = QString(9000, QLatin1Char('x')) + QStringLiteral(" iron");
    const QString text =
        QStringLiteral("[Quest Data]\r\nNumber Of Pages=5\r\n"
                       "[Story Info]\r\nTitle=\"  Iron Crown  \"\r\nAuthor=   iron smith\t\r\n"
                       "[1]\r\nLocation=Gate of IRON\r\n ; Page Text=commented iron\r\n"
                       "Page Text = first iron text \r\nPAGE TEXT=second iron text\r\n"
                       "Option One='iron'\r\noption one destination page=2\r\n"
                       "Key Item1=iron key\rKey Item2=Café of iron\n[abc=iron\r\n"
                       "BattleMonName=\tIron golem \"x\"\r\nBattle=1\r\nBattleWin= 4 \r\n"
                       "[2] trailing\nLocation=ironironiron\nOption Two=\"\"\nOption Two Destination Page=missing\n"
                       "[cave]\r\nLocation=Cave; iron ore\r\nPage Text=%1\r\n"
                       "[1]\r\nLocation=a later iron section\r\n"
                       "[4]\r\nATKMessage=Ironclad attack\r\nAltAtk=iron=iron\r\n")
            .arg(longValue);
    const QString utf8Only = QStringLiteral("[5]\r\nLocation=Ｉron \u212Aey\r\n\u212Aey Item3=iron in a folded name\r\n"
                                            "Page Text=\u00C9cole d'iron \U0001F5DD iron\r\n");
    const struct
    {
        const char *name;
        QByteArray bytes;
    } quests[] = {
        {"Windows-1252", text.toLatin1()},
        {"UTF-8", QByteArray("\xEF\xBB\xBF") + (text + utf8Only).toUtf8()},
    };
    const struct
    {
        const char *text;
        FindOptions options;
    } finds[] = {
        {"iron", {}},           {"IRON", {true, false, false}}, {"iron", {false, true, false}},
        {"key", {}},            {"'", {}},                      {" ", {}},
        {"iron=", {}},          {"café", {}},                   {"École", {true, false, false}},
        {"^[a-z]+ iron", {false, false, true}},                 {"\\biron\\b|Crown", {false, false, true}},
    };
    for (const auto &q : quests) {
        QuestDocument doc;
        doc.setBytes(q.bytes);
        for (const auto &f : finds) {
            SCOPED_TRACE(std::string(q.name) + ": " + f.text);
            const Finder finder(QString::fromUtf8(f.text), f.options);
            QList<FindMatch> expected;
            auto read = [&](const QString &page, const QString &section, const QStringList &keys) {
                for (const QString &key : keys) {
                    const QString v = doc.value(section, key);
                    for (const auto &[start, length] : finder.matches(v))
                        expected.append({page, section, key, v, start, length});
                }
            };
            for (const QString &p : {QStringLiteral("1"), QStringLiteral("2"), QStringLiteral("3"), QStringLiteral("4"),
                                     QStringLiteral("5"), QStringLiteral("cave")})
                read(p, p, searchedPageKeys());
            read(QString(), QStringLiteral("Story Info"),
                 {QStringLiteral("Title"), QStringLiteral("Author"), QStringLiteral("Version")});
            QStringList want, got;
            for (const FindMatch &m : expected)
                want << QStringLiteral("%1/%2/%3@%4+%5").arg(m.page, m.key, m.line).arg(m.start).arg(m.length);
            for (const FindMatch &m : findInQuest(doc, finder))
                got << QStringLiteral("%1/%2/%3@%4+%5").arg(m.page, m.key, m.line).arg(m.start).arg(m.length);
            EXPECT_EQ(got.join(QLatin1Char('\n')).toStdString(), want.join(QLatin1Char('\n')).toStdString());
        }
        ASSERT_EQ(doc.pages().size(), 6) << q.name;
        for (const StoryPageInput &in : storyPagesOf(doc)) {
            const QuestPage p = doc.page(in.name);
            QStringList a{in.location, in.text, in.battle, in.win, in.lose, in.escape, in.escapeCheck};
            QStringList b{p.location, p.text, p.battle, p.fight.win, p.fight.lose, p.fight.escape, p.fight.escapeCheck};
            for (int c = 0; c < 4; ++c) {
                a << in.captions[size_t(c)] << in.destinations[size_t(c)];
                b << p.choices[size_t(c)].caption << p.choices[size_t(c)].destination;
            }
            EXPECT_EQ(a.join(QLatin1Char('|')).toStdString(), b.join(QLatin1Char('|')).toStdString())
                << q.name << " page " << qPrintable(in.name);
        }
    }
}

TEST(StoryFind, ReplaceAllIsOneStepWithItsReport)
{
    QuestDocument doc;
    doc.setBytes(kQuest);
    const QByteArray before = doc.toBytes();
    const ReplaceReport r = replaceAll(doc, Finder(QStringLiteral("iron"), {false, true, false}), QStringLiteral("Copper"));
    EXPECT_EQ(r.replacements, 5);
    EXPECT_EQ(r.pages, (QStringList{QStringLiteral("1"), QStringLiteral("2"), QString()}));
    EXPECT_EQ(r.summary(), QStringLiteral("Replaced 5 times in 3 pages."));
    EXPECT_EQ(doc.value(QStringLiteral("1"), QStringLiteral("Page Text")), QStringLiteral("An Copper gate, irony of ironworks."));
    EXPECT_EQ(doc.title(), QStringLiteral("The Copper Gate"));
    ASSERT_TRUE(r.delta);
    const QByteArray after = doc.toBytes();
    doc.undo(*r.delta);
    EXPECT_EQ(doc.toBytes(), before);
    doc.redo(*r.delta);
    EXPECT_EQ(doc.toBytes(), after);

    // A destination turned into a name of no page is listed.
    const ReplaceReport d = replaceAll(doc, Finder(QStringLiteral("^2$"), {false, false, true}), QStringLiteral("2b"));
    EXPECT_EQ(d.replacements, 2);
    EXPECT_EQ(d.brokenDestinations, (QStringList{QStringLiteral("1: Option One Destination Page = 2b"),
                                                 QStringLiteral("3: Option One Destination Page = 2b")}));
    // Captures in an expression.
    replaceAll(doc, Finder(QStringLiteral("(\\w+) pond"), {false, false, true}), QStringLiteral("pond of the \\1"));
    EXPECT_EQ(doc.value(QStringLiteral("4"), QStringLiteral("Location")), QStringLiteral("pond of the Mill"));
    // Nothing found: nothing recorded.
    EXPECT_FALSE(replaceAll(doc, Finder(QStringLiteral("zebra"), {}), QStringLiteral("x")).delta);
}

TEST(StoryFind, ReplaceOneMatchOnlyWhereItStillIs)
{
    QuestDocument doc;
    doc.setBytes(kQuest);
    const Finder finder(QStringLiteral("iron"), {});
    const QList<FindMatch> ms = findInQuest(doc, finder);
    ASSERT_GE(ms.size(), 3);
    const ReplaceReport r = replaceMatch(doc, finder, ms[2], QStringLiteral("IRON"));
    EXPECT_EQ(r.replacements, 1);
    EXPECT_EQ(doc.value(QStringLiteral("1"), QStringLiteral("Page Text")), QStringLiteral("An iron gate, IRONy of ironworks."));
    // The field changed since the search: the stale match is not replaced.
    EXPECT_EQ(replaceMatch(doc, finder, ms[1], QStringLiteral("x")).replacements, 0);
}

TEST(StoryFind, GoToAndLinksHere)
{
    QuestDocument doc;
    doc.setBytes(kQuest);
    const struct
    {
        const char *text;
        QStringList expected;
    } cases[] = {
        {"3", {"3"}},
        {"mill", {"2", "4"}},
        {"mill wheel", {"2"}},
        {"end", {"4"}},
        {"", {"1", "2", "3", "4"}},
    };
    for (const auto &c : cases)
        EXPECT_EQ(goToCandidates(doc, QString::fromLatin1(c.text)), c.expected) << c.text;

    const StoryGraph g = buildStoryGraph(storyPagesOf(doc));
    QStringList here;
    for (const LinkHere &l : linksHere(g, QStringLiteral("2")))
        here << l.from + QLatin1Char(' ') + l.key;
    EXPECT_EQ(here, (QStringList{QStringLiteral("1 Option One Destination Page"), QStringLiteral("3 Option One Destination Page")}));
    ASSERT_EQ(linksHere(g, QStringLiteral("4")).size(), 1);
    EXPECT_EQ(linksHere(g, QStringLiteral("4")).first().kind, LinkKind::Win);
}

TEST(StoryFind, PlainWordOverTwentyThousandPages)
{
    QuestDocument doc;
    doc.setBytes(fc::bench::generateQuest(20000, fc::bench::QuestMix::Varied));
    // Not a time limit (bench_story_map measures that): every page is searched.
    const QList<FindMatch> ms = findInQuest(doc, Finder(QStringLiteral("Goblin"), {}));
    EXPECT_EQ(ms.size(), 20000);
}

TEST(StoryFind, ReplaceAWordAcrossTheDefaultAdventure)
{
    QFile file(QStringLiteral(FABLECRAFT_DEFAULT_ADVENTURE));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    QuestDocument doc;
    doc.setBytes(file.readAll());
    const QByteArray before = doc.toBytes();
    const Finder finder(QStringLiteral("Bramble"), {true, true, false});
    const QList<FindMatch> found = findInQuest(doc, finder);
    ASSERT_FALSE(found.isEmpty());
    const ReplaceReport r = replaceAll(doc, finder, QStringLiteral("Thistle"));
    EXPECT_EQ(r.replacements, found.size());
    EXPECT_TRUE(r.brokenDestinations.isEmpty());
    EXPECT_TRUE(findInQuest(doc, finder).isEmpty());
    EXPECT_EQ(findInQuest(doc, Finder(QStringLiteral("Thistle"), {true, true, false})).size(), found.size());
    std::printf("%s\n", qPrintable(r.summary()));
    doc.undo(*r.delta);
    EXPECT_EQ(doc.toBytes(), before);
}
