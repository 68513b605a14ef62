// Every file of the fuzz corpus, crashes found earlier included, through the
// same entry functions the fuzzers run.
#include "fuzz/fuzz_entries.h"
#include "storage/ini_file.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSet>

#include <gtest/gtest.h>

namespace {

void replay(const char *target, const char *(*entry)(const std::uint8_t *, std::size_t))
{
    const QDir dir(QStringLiteral(FABLECRAFT_FUZZ_CORPUS "/") + QLatin1String(target));
    const QStringList names = dir.entryList(QDir::Files, QDir::Name);
    ASSERT_FALSE(names.isEmpty()) << "no corpus in " << dir.path().toStdString();
    for (const QString &name : names) {
        QFile f(dir.filePath(name));
        ASSERT_TRUE(f.open(QIODevice::ReadOnly)) << name.toStdString();
        const QByteArray bytes = f.readAll();
        const char *failure = entry(reinterpret_cast<const std::uint8_t *>(bytes.constData()), std::size_t(bytes.size()));
        EXPECT_EQ(failure, nullptr) << name.toStdString() << ": " << failure;
    }
}

TEST(FuzzCorpus, IniReader)
{
    replay("ini_reader", fc::fuzz::iniReader);
}

TEST(FuzzCorpus, SavedGameReader)
{
    replay("saved_game_reader", fc::fuzz::savedGameReader);
}

// How each file of the corpus and the default adventure is read: as UTF-8
// (without a byte-order mark) only these; every other file, Windows-1252 text
// among them, keeps being read as Windows-1252. The two marked files mix a
// Windows-1252 letter with a UTF-8 character, one of each: as many
// well-formed characters as stray bytes reads as UTF-8.
TEST(FuzzCorpus, EachFileKeepsItsEncoding)
{
    const QSet<QString> utf8 = {
        QStringLiteral("ini_reader/ascii_file_utf8_value"),
        QStringLiteral("ini_reader/cp1252_file_cjk_value"), // mixed
        QStringLiteral("ini_reader/fuzzed-01c4360d5827"),
        QStringLiteral("ini_reader/fuzzed-05e453a0c115"),
        QStringLiteral("ini_reader/leading-bom-in-key"),
        QStringLiteral("ini_reader/leading-bom-in-value"),
        QStringLiteral("ini_reader/looks_utf8"),
        QStringLiteral("ini_reader/utf8_bom"),
        QStringLiteral("saved_game_reader/fuzzed-01aca5555586"), // mixed
        QStringLiteral("saved_game_reader/quoted_utf8_like"),
    };
    QStringList files{QStringLiteral(FABLECRAFT_DEFAULT_ADVENTURE)};
    for (const char *target : {"ini_reader", "saved_game_reader"}) {
        const QDir dir(QStringLiteral(FABLECRAFT_FUZZ_CORPUS "/") + QLatin1String(target));
        for (const QString &name : dir.entryList(QDir::Files, QDir::Name))
            files << dir.filePath(name);
    }
    int read = 0;
    for (const QString &path : std::as_const(files)) {
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::ReadOnly)) << path.toStdString();
        const QByteArray bytes = f.readAll();
        if (bytes.startsWith("\xEF\xBB\xBF") || bytes.startsWith("\xFF\xFE") || bytes.startsWith("\xFE\xFF"))
            continue; // a byte-order mark says what the file is
        const QString name = QFileInfo(QFileInfo(path).path()).fileName() + QLatin1Char('/') + QFileInfo(path).fileName();
        const fc::ini::FileEncoding want =
            utf8.contains(name) ? fc::ini::FileEncoding::Utf8 : fc::ini::FileEncoding::Windows1252;
        EXPECT_EQ(int(fc::ini::IniFile::parse(bytes).encoding()), int(want)) << name.toStdString();
        ++read;
    }
    EXPECT_GT(read, 50);
}

} // namespace
