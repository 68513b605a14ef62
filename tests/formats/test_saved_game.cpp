#include "storage/profile_store.h"
#include "storage/saved_game.h"
#include "tests/support/testsupport.h"

#include <QFileInfo>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

using fc::SavedGame;
using fc::SavedGameError;
using fc::test::readFile;
using fc::test::writeFile;

class SavedGameTest : public ::testing::Test {
protected:
    QString path(const char *name) const { return m_dir.filePath(QLatin1String(name)); }

    static SavedGame sample()
    {
        SavedGame g;
        g.room = QStringLiteral("abc");
        g.options = {QStringLiteral("Go"), QStringLiteral("Run"), QString(), QString()};
        g.page = QStringLiteral("12");
        g.score = QStringLiteral("-5");
        g.inventory = {QStringLiteral("Sword"), QStringLiteral("Key"), QStringLiteral("Rope")};
        return g;
    }

    QTemporaryDir m_dir;
};

TEST_F(SavedGameTest, WritesTheLayoutByteForByte)
{
    const QString file = path("game.sav");
    ASSERT_TRUE(fc::WriteSavedGame(file, sample()).ok());
    EXPECT_EQ(readFile(file), QByteArray("[saved game]\r\n"
                                         "room=]^_\r\n"
                                         "option 1=Ck\r\n"
                                         "option 2=Nqj\r\n"
                                         "option 3=\r\n"
                                         "option 4=\r\n"
                                         "page=-.\r\n"
                                         "Poo=)1\r\n"
                                         "HowMuchInList=3\r\n"
                                         "[List Data]\r\n"
                                         "0=Sword\r\n"
                                         "1=Key\r\n"
                                         "2=Rope\r\n"));
}

TEST_F(SavedGameTest, EmptyInventoryEntryLeavesAGapAndCountsIn)
{
    const QString file = path("gap.sav");
    SavedGame g = sample();
    g.inventory = {QStringLiteral("Sword"), QString(), QStringLiteral("Key")};
    g.score = QStringLiteral("0");
    ASSERT_TRUE(fc::WriteSavedGame(file, g).ok());
    const QByteArray bytes = readFile(file);
    EXPECT_TRUE(bytes.contains("Poo=,\r\nHowMuchInList=3\r\n[List Data]\r\n0=Sword\r\n2=Key\r\n")) << bytes.constData();
    EXPECT_FALSE(bytes.contains("\r\n1="));

    const auto load = fc::ReadSavedGame(file, true);
    ASSERT_TRUE(load.ok());
    EXPECT_EQ(load.game.inventory, QStringList({QStringLiteral("Sword"), QStringLiteral("Key")}));
}

TEST_F(SavedGameTest, NothingIsWrittenWhenAValueCannotBeStored)
{
    const QString existing = path("old.sav");
    const QByteArray before("[saved game]\r\nroom=old\r\n; note\r\n");
    ASSERT_TRUE(writeFile(existing, before));

    struct Case {
        const char *what;
        void (*spoil)(SavedGame &);
        const char *detail;
    };
    const Case cases[] = {
        {"code 3 in the score (last scrambled value)", [](SavedGame &g) { g.score = QStringLiteral("1\x03"); }, "Poo"},
        {"CJK in the room text", [](SavedGame &g) { g.room = QStringLiteral("\u4E00"); }, "room"},
        {"CJK in an inventory entry", [](SavedGame &g) { g.inventory.append(QStringLiteral("\u4E00")); }, "List Data/3"},
        // Code 14 and 17 scramble to LF and CR: the file would cut the value.
        {"code 17 in option 4", [](SavedGame &g) { g.options[3] = QStringLiteral("a\x11"); }, "option 4"},
        {"code 4 in the page", [](SavedGame &g) { g.page = QStringLiteral("\x04"); }, "page"},
        {"line break in an inventory entry", [](SavedGame &g) { g.inventory[0] = QStringLiteral("a\nb"); }, "List Data/0"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        SavedGame g = sample();
        c.spoil(g);
        const auto result = fc::WriteSavedGame(existing, g);
        EXPECT_EQ(result.error, SavedGameError::Unconvertible);
        EXPECT_EQ(result.detail, QLatin1String(c.detail));
        EXPECT_EQ(readFile(existing), before);

        const QString fresh = path("fresh.sav");
        EXPECT_EQ(fc::WriteSavedGame(fresh, g).error, SavedGameError::Unconvertible);
        EXPECT_FALSE(QFileInfo::exists(fresh));
    }
}

TEST_F(SavedGameTest, RoundTripsThroughTheFile)
{
    const QString file = path("trip.sav");
    SavedGame g;
    // Line breaks, blanks and quotes that scramble to characters the INI
    // syntax cares about ("$" -> blank, "&" -> '"', "+" -> "'", "?" -> ";",
    // "A" -> "="), and Windows-1252 punctuation.
    g.room = QStringLiteral("$You stand in a hall.\r\nA door leads \u201Cnorth\u201D; &exit& $");
    g.options = {QStringLiteral("?Open"), QStringLiteral("+Look+"), QStringLiteral("Caf\u00E9 \u2026"), QString()};
    g.page = QStringLiteral("10");
    g.score = QStringLiteral("-32768");
    g.inventory = {QStringLiteral("Brass Key"), QStringLiteral(" spaced "), QStringLiteral("\u00C6ther")};
    ASSERT_TRUE(fc::WriteSavedGame(file, g).ok());

    const auto load = fc::ReadSavedGame(file, true);
    ASSERT_TRUE(load.ok()) << load.detail.toStdString();
    EXPECT_EQ(load.game.room, g.room);
    EXPECT_EQ(load.game.options, g.options);
    EXPECT_EQ(load.game.page, g.page);
    EXPECT_EQ(load.game.score, g.score);
    EXPECT_EQ(load.game.inventory, g.inventory);

    const auto noInventory = fc::ReadSavedGame(file, false);
    ASSERT_TRUE(noInventory.ok());
    EXPECT_EQ(noInventory.game.room, g.room);
    EXPECT_TRUE(noInventory.game.inventory.isEmpty());
}

TEST_F(SavedGameTest, SavingOverAShorterInventoryKeepsOldKeysButReadsOnlyTheCount)
{
    const QString file = path("twice.sav");
    ASSERT_TRUE(fc::WriteSavedGame(file, sample()).ok());
    SavedGame shorter = sample();
    shorter.inventory = {QStringLiteral("Lamp")};
    ASSERT_TRUE(fc::WriteSavedGame(file, shorter).ok());
    EXPECT_EQ(fc::ReadIni(file, QStringLiteral("List Data"), QStringLiteral("2")), QStringLiteral("Rope"));
    const auto load = fc::ReadSavedGame(file, true);
    ASSERT_TRUE(load.ok());
    EXPECT_EQ(load.game.inventory, QStringList{QStringLiteral("Lamp")});
}

// A file saved on Windows holds the scrambled bytes as Windows-1252, and those
// bytes may happen to form valid UTF-8 ("\xC3\xA9" is "é" in UTF-8).
TEST_F(SavedGameTest, ReadsScrambledBytesAsWindows1252)
{
    const QString file = path("windows.sav");
    ASSERT_TRUE(writeFile(file, "[saved game]\r\nroom=\xC3\xA9\x80\r\noption 1=\r\npage=-.\r\nPoo=,\r\n"
                                "HowMuchInList=1\r\n[List Data]\r\n0=M\xE4nnchen\r\n"));
    const auto load = fc::ReadSavedGame(file, true);
    ASSERT_TRUE(load.ok());
    EXPECT_EQ(load.game.room, QStringLiteral("\u00C7\u00AD\u201E"));
    EXPECT_EQ(load.game.page, QStringLiteral("12"));
    EXPECT_EQ(load.game.score, QStringLiteral("0"));
    EXPECT_EQ(load.game.inventory, QStringList{QStringLiteral("M\u00E4nnchen")});
}

TEST_F(SavedGameTest, RefusesFilesThatAreNotSavedGames)
{
    EXPECT_EQ(fc::ReadSavedGame(path("missing.sav"), true).error, SavedGameError::NotSavedGame);
    EXPECT_FALSE(QFileInfo::exists(path("missing.sav")));

    const QString empty = path("empty.sav");
    ASSERT_TRUE(writeFile(empty, QByteArray()));
    EXPECT_EQ(fc::ReadSavedGame(empty, false).error, SavedGameError::NotSavedGame);

    // A quest, or a saved game whose first two values are empty.
    const QString quest = path("quest.qst");
    ASSERT_TRUE(writeFile(quest, "[1]\r\nPage Text=Hello\r\n[saved game]\r\nroom=\r\npage=-.\r\n"));
    const auto load = fc::ReadSavedGame(quest, true);
    EXPECT_EQ(load.error, SavedGameError::NotSavedGame);
    EXPECT_TRUE(load.game.page.isEmpty());

    // Only option 1 set is still a saved game.
    const QString optionOnly = path("option.sav");
    ASSERT_TRUE(writeFile(optionOnly, "[saved game]\r\noption 1=Ck\r\nHowMuchInList=0\r\n"));
    const auto taken = fc::ReadSavedGame(optionOnly, true);
    ASSERT_TRUE(taken.ok());
    EXPECT_EQ(taken.game.options[0], QStringLiteral("Go"));
}

TEST_F(SavedGameTest, RefusesUnconvertibleValues)
{
    // Byte 0xFC (252) would decode past 255.
    for (const char *key : {"room", "option 1", "option 4", "page", "Poo"}) {
        SCOPED_TRACE(key);
        const QString file = path(key) + QLatin1String(".sav");
        const QByteArray start = qstrcmp(key, "room") == 0 ? "option 1=Ck\r\n" : "room=]^_\r\n";
        ASSERT_TRUE(writeFile(file, "[saved game]\r\n" + start + "HowMuchInList=0\r\n" + key + "=ab\xFC\r\n"));
        const auto load = fc::ReadSavedGame(file, true);
        EXPECT_EQ(load.error, SavedGameError::Unconvertible);
        EXPECT_EQ(load.detail, QLatin1String(key));
        EXPECT_TRUE(load.game.room.isEmpty());
        EXPECT_TRUE(load.game.options[0].isEmpty());
    }
}

TEST_F(SavedGameTest, InventoryCountMustBeAPlainDecimal)
{
    // A fresh file per variant: every read must see the new contents.
    QString file;
    int variant = 0;
    auto withCount = [&](const QByteArray &line) {
        file = path("count") + QString::number(++variant) + QLatin1String(".sav");
        EXPECT_TRUE(writeFile(file, "[saved game]\r\nroom=]^_\r\n" + line + "[List Data]\r\n0=Sword\r\n1=Key\r\n"));
    };
    for (const char *bad : {"02", "-1", "+1", "1x", "0x1", "1.0", "99999999999", "32768", "\xB2"}) {
        SCOPED_TRACE(bad);
        withCount(QByteArray("HowMuchInList=") + bad + "\r\n");
        const auto load = fc::ReadSavedGame(file, true);
        EXPECT_EQ(load.error, SavedGameError::BadCount);
        EXPECT_TRUE(load.game.inventory.isEmpty());
        EXPECT_TRUE(load.game.room.isEmpty());
        // Without the inventory the count is not looked at.
        EXPECT_TRUE(fc::ReadSavedGame(file, false).ok());
    }
    withCount("HowMuchInList=\r\n");
    EXPECT_EQ(fc::ReadSavedGame(file, true).error, SavedGameError::BadCount);
    withCount(QByteArray());
    EXPECT_EQ(fc::ReadSavedGame(file, true).error, SavedGameError::BadCount);

    withCount("HowMuchInList=0\r\n");
    auto load = fc::ReadSavedGame(file, true);
    ASSERT_TRUE(load.ok());
    EXPECT_TRUE(load.game.inventory.isEmpty());

    withCount("HowMuchInList=1\r\n");
    load = fc::ReadSavedGame(file, true);
    ASSERT_TRUE(load.ok());
    EXPECT_EQ(load.game.inventory, QStringList{QStringLiteral("Sword")});

    withCount("HowMuchInList=5\r\n");
    load = fc::ReadSavedGame(file, true);
    ASSERT_TRUE(load.ok());
    EXPECT_EQ(load.game.inventory, QStringList({QStringLiteral("Sword"), QStringLiteral("Key")}));
    EXPECT_EQ(fc::ReadSavedGame(file, true, 4).error, SavedGameError::BadCount);
}

} // namespace
