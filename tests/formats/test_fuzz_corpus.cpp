// Every file of the fuzz corpus, crashes found earlier included, through the
// same entry functions the fuzzers run.
#include "fuzz/fuzz_entries.h"

#include <QDir>
#include <QFile>

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

} // namespace
