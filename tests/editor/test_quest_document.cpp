// The quest document against the profile store: the same bytes back after a
// load, the same reads, the same bytes after a write or a section removal, in
// Windows-1252, UTF-8 and UTF-16; undo and redo byte for byte.
#include "editor/quest_document.h"
#include "storage/ini_file.h"
#include "storage/ini_sections.h"
#include "storage/profile_store.h"
#include "tests/support/testsupport.h"

#include <QSignalSpy>
#include <QStringEncoder>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace fc {
namespace {

using ini::IniFile;

struct Encoded
{
    const char *name;
    QByteArray (*encode)(const QString &);
};

// A quest with what real files hold: a comment before the first section,
// LF and CR LF line ends, a duplicate section, unknown keys and sections,
// quoted values, and no line break at the end.
const QString kQuest = QStringLiteral("; made by hand\r\n"
                                      "[Quest Data]\r\nNumber Of Pages=3\r\n\r\n"
                                      "[1]\nPage Text=Caf\u00e9 door\nOption One=North\nOption One Destination Page=2\n"
                                      "Secret=kept \"as is\"\n; a note\n\n"
                                      "[Story Info]\r\nTitle=\"  spaced  \"\r\n"
                                      "[Mod Data]\r\nAnything=goes\r\n"
                                      "[2]\r\nLocation=Hall\r\nBattleWin=3\r\n"
                                      "[1]\r\nPage Text=never read\r\n"
                                      "[3]\r\nPage Text=end");

QByteArray asCp1252(const QString &s) { return QStringEncoder(QStringEncoder::Latin1).encode(s); }
QByteArray asUtf8(const QString &s) { return s.toUtf8(); }
QByteArray asUtf16(const QString &s)
{
    return QByteArray("\xFF\xFE", 2) + QByteArray(QStringEncoder(QStringEncoder::Utf16LE).encode(s));
}

class QuestDocumentTest : public ::testing::TestWithParam<Encoded>
{
protected:
    QByteArray original() const { return GetParam().encode(kQuest); }
};

TEST_P(QuestDocumentTest, LoadsReadsAndWritesAsTheProfileStore)
{
    const QByteArray bytes = original();
    const IniFile file = IniFile::parse(bytes);
    QuestDocument doc;
    doc.setBytes(bytes);
    EXPECT_EQ(doc.toBytes(), bytes) << "an unchanged document writes the file's bytes";
    EXPECT_EQ(doc.sectionNames(), file.sectionNames());
    EXPECT_EQ(doc.pages(), (QStringList{"1", "2", "3", "Mod Data"}));
    const std::pair<const char *, const char *> reads[] = {
        {"1", "Page Text"}, {" 1 ", "secret"}, {"story info", "Title"}, {"2", "Location"}, {"3", "Page Text"},
        {"9", "Page Text"}, {"Mod Data", "Anything"}};
    for (const auto &[section, key] : reads)
        EXPECT_EQ(doc.value(QString::fromUtf8(section), QString::fromUtf8(key)),
                  file.readValue(QString::fromUtf8(section), QString::fromUtf8(key)))
            << section << "/" << key;
    EXPECT_EQ(doc.page(QStringLiteral("1")).choices[0].destination, QStringLiteral("2"));
    EXPECT_EQ(doc.page(QStringLiteral("2")).exits(), QStringList{QStringLiteral("3")});

    // Writes: an existing key, a new key, a new section, a value that must be
    // quoted, a character Windows-1252 has, and one it has not.
    const std::tuple<const char *, const char *, QString> writes[] = {
        {"1", "Page Text", QStringLiteral("Chang\u00e9d")},
        {"2", "Image", QStringLiteral("hall.png")},
        {"Story Info", "Author", QStringLiteral(" Ann ")},
        {"4", "Page Text", QStringLiteral("new page")},
        {"3", "Location", QStringLiteral("\u20ac cellar")},
        {"2", "Page Text", QStringLiteral("\u6771 east")},
    };
    QByteArray expected = bytes;
    doc.beginRecord();
    for (const auto &[section, key, value] : writes) {
        const auto next = IniFile::parse(expected).withValue(QString::fromUtf8(section), QString::fromUtf8(key), value);
        ASSERT_TRUE(next);
        expected = *next;
        ASSERT_TRUE(doc.setValue(QString::fromUtf8(section), QString::fromUtf8(key), value));
        EXPECT_EQ(doc.toBytes(), expected) << "after writing " << section << "/" << key;
        EXPECT_EQ(doc.value(QString::fromUtf8(section), QString::fromUtf8(key)), value);
    }
    EXPECT_FALSE(doc.setValue(QStringLiteral("2"), QStringLiteral("Image"), QStringLiteral("hall.png")));
    EXPECT_FALSE(doc.setValue(QStringLiteral("9"), QStringLiteral("Image"), QString())) << "missing reads as empty";
    EXPECT_FALSE(doc.setValue(QStringLiteral("9"), QStringLiteral("a=b"), QStringLiteral("x")));

    // Section removal: every section of the name, as the storage function.
    const auto removed = IniFile::parse(expected).withoutSection(QStringLiteral("1"));
    ASSERT_TRUE(removed);
    ASSERT_TRUE(doc.removeSection(QStringLiteral("1")));
    EXPECT_EQ(doc.toBytes(), *removed);
    const auto delta = doc.endRecord();
    ASSERT_TRUE(delta);

    doc.undo(*delta);
    EXPECT_EQ(doc.toBytes(), bytes) << "undo gives back the bytes before";
    doc.redo(*delta);
    EXPECT_EQ(doc.toBytes(), *removed) << "redo gives back the bytes after";
}

TEST_P(QuestDocumentTest, StorageListsAndRemovesSectionsInEveryEncoding)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("q.qst"));
    ASSERT_TRUE(test::writeFile(path, original()));
    EXPECT_EQ(IniSectionNames(path),
              (QStringList{"Quest Data", "1", "Story Info", "Mod Data", "2", "3"}));
    ASSERT_TRUE(RemoveIniSection(path, QStringLiteral("2")));
    EXPECT_EQ(IniSectionNames(path), (QStringList{"Quest Data", "1", "Story Info", "Mod Data", "3"}));
    EXPECT_EQ(ReadIni(path, QStringLiteral("3"), QStringLiteral("Page Text")), QStringLiteral("end"));
    EXPECT_EQ(ReadIni(path, QStringLiteral("1"), QStringLiteral("Page Text")), QStringLiteral("Caf\u00e9 door"));
    ASSERT_TRUE(RemoveIniSection(path, QStringLiteral("1")));
    EXPECT_EQ(ReadIni(path, QStringLiteral("1"), QStringLiteral("Page Text")), QString()) << "both sections named 1 go";
    EXPECT_TRUE(RemoveIniSection(dir.filePath(QStringLiteral("missing.qst")), QStringLiteral("1")));
    QString error;
    EXPECT_TRUE(IniSectionNames(dir.filePath(QStringLiteral("missing.qst")), &error).isEmpty());
    EXPECT_TRUE(error.isEmpty());
}

INSTANTIATE_TEST_SUITE_P(Encodings, QuestDocumentTest,
                         ::testing::Values(Encoded{"Windows1252", &asCp1252}, Encoded{"Utf8", &asUtf8},
                                           Encoded{"Utf16", &asUtf16}),
                         [](const auto &info) { return std::string(info.param.name); });

TEST(QuestDocument, TellsItsViewsWhatChanged)
{
    QuestDocument doc;
    doc.clear();
    QSignalSpy values(&doc, &QuestDocument::valueChanged);
    QSignalSpy added(&doc, &QuestDocument::pageAdded);
    QSignalSpy removed(&doc, &QuestDocument::pageRemoved);
    doc.beginRecord();
    ASSERT_TRUE(doc.addPage(QStringLiteral("1")));
    ASSERT_TRUE(doc.addPage(QStringLiteral("2")));
    ASSERT_TRUE(doc.setValue(QStringLiteral("2"), QStringLiteral("Location"), QStringLiteral("Hall")));
    doc.removePageAt(0);
    const auto delta = doc.endRecord();
    ASSERT_TRUE(delta);
    EXPECT_EQ(added.count(), 2);
    ASSERT_EQ(values.count(), 1);
    EXPECT_EQ(values.at(0).at(0).toString(), QStringLiteral("2"));
    ASSERT_EQ(removed.count(), 1);
    EXPECT_EQ(removed.at(0).at(0).toString(), QStringLiteral("1"));
    EXPECT_EQ(doc.pages(), QStringList{QStringLiteral("2")});
    EXPECT_EQ(QuestDocument::touchedPages(*delta), (QStringList{"1", "2", "1"}));
    doc.undo(*delta);
    EXPECT_TRUE(doc.pages().isEmpty());
    EXPECT_TRUE(doc.toBytes().isEmpty());
    EXPECT_EQ(removed.count(), 3) << "undoing two additions removes two entries";
    EXPECT_EQ(added.count(), 3) << "undoing the removal adds its entry back";

    QuestDocument full;
    full.clear();
    for (int i = 1; i <= QuestDocument::kMaxPages; ++i)
        ASSERT_TRUE(full.addPage(QString::number(i)));
    EXPECT_FALSE(full.addPage(QStringLiteral("x")));
    EXPECT_EQ(full.pages().size(), QuestDocument::kMaxPages);
}

} // namespace
} // namespace fc
