// The working copy: reads see writes at once, writes reach the file grouped
// by event, whole-file operations.
#include "editor/working_copy.h"
#include "engine/ui/pause.h"
#include "storage/profile_store.h"
#include "storage/user_folders.h"
#include "tests/support/testsupport.h"

#include <QFile>
#include <QFileInfo>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace fc {
namespace {

const QString kFile = QStringLiteral("tmpquest.ini");

class WorkingCopyTest : public ::testing::TestWithParam<WorkingCopy::Mode>
{
protected:
    void SetUp() override { QFile::remove(ResolveIniPath(kFile)); }
    QByteArray bytes() { return test::readFile(ResolveIniPath(kFile)); }
};

TEST_P(WorkingCopyTest, ReadsSeeWritesAtOnceAndFlushPutsThemOnDisk)
{
    WorkingCopy wc(kFile, GetParam());
    wc.write(QStringLiteral("1"), QStringLiteral("Page Text"), QStringLiteral("Hello"));
    wc.write(QStringLiteral("1"), QStringLiteral("Location"), QStringLiteral("Hall"));
    // Names compare as the profile store compares them.
    EXPECT_EQ(wc.read(QStringLiteral(" 1 "), QStringLiteral("page text")), QStringLiteral("Hello"));
    wc.endEvent();
    ASSERT_TRUE(wc.flush());
    EXPECT_EQ(wc.pendingWrites(), 0);
    EXPECT_EQ(ReadIni(kFile, QStringLiteral("1"), QStringLiteral("Page Text")), QStringLiteral("Hello"));
    EXPECT_EQ(bytes(), QByteArray("[1]\r\nPage Text=Hello\r\nLocation=Hall\r\n"));
}

TEST_P(WorkingCopyTest, AValueIsStoredAsAReadReturnsIt)
{
    WorkingCopy wc(kFile, GetParam());
    const struct
    {
        QString written, read;
    } cases[] = {
        {QStringLiteral("one\r\ntwo"), QStringLiteral("one")},
        {QStringLiteral("a\nb"), QStringLiteral("a")},
        {QStringLiteral("  padded  "), QStringLiteral("  padded  ")},
        {QString(9100, QLatin1Char('x')), QString(8999, QLatin1Char('x'))},
    };
    for (const auto &c : cases) {
        wc.write(QStringLiteral("S"), QStringLiteral("K"), c.written);
        EXPECT_EQ(wc.read(QStringLiteral("S"), QStringLiteral("K")), c.read);
        ASSERT_TRUE(wc.flush());
        EXPECT_EQ(ReadIni(kFile, QStringLiteral("S"), QStringLiteral("K")), c.read);
    }
}

TEST_P(WorkingCopyTest, AnUnchangedValueIsNotWritten)
{
    WorkingCopy wc(kFile, GetParam());
    wc.write(QStringLiteral("1"), QStringLiteral("Page Text"), QString()); // missing reads as empty
    EXPECT_EQ(wc.pendingWrites(), 0);
    ASSERT_TRUE(wc.flush());
    EXPECT_FALSE(QFile::exists(wc.path()));

    wc.write(QStringLiteral("1"), QStringLiteral("Page Text"), QStringLiteral("x"));
    ASSERT_TRUE(wc.flush());
    struct stat before{};
    ASSERT_EQ(stat(QFile::encodeName(wc.path()).constData(), &before), 0);
    wc.write(QStringLiteral("1"), QStringLiteral("Page Text"), QStringLiteral("x"));
    EXPECT_EQ(wc.pendingWrites(), 0);
    ASSERT_TRUE(wc.flush());
    struct stat after{};
    ASSERT_EQ(stat(QFile::encodeName(wc.path()).constData(), &after), 0);
    EXPECT_EQ(before.st_ino, after.st_ino); // not replaced
}

TEST_P(WorkingCopyTest, WholeFileOperations)
{
    QTemporaryDir dir;
    const QString source = dir.filePath(QStringLiteral("q.qst"));
    test::writeFile(source, "; kept\r\n[Quest Data]\r\nNumber Of Pages=2\r\n[1]\r\nPage Text=one\r\n"
                            "[2]\r\nPage Text=two\r\n[story info]\r\nTitle=T\r\n[ 2 ]\r\nLocation=dup\r\n");
    WorkingCopy wc(kFile, GetParam());
    wc.write(QStringLiteral("9"), QStringLiteral("Page Text"), QStringLiteral("pending"));
    wc.endEvent();
    ASSERT_TRUE(wc.replaceWith(source));
    EXPECT_EQ(wc.read(QStringLiteral("9"), QStringLiteral("Page Text")), QString()); // dropped by the copy
    ASSERT_TRUE(wc.flush());
    EXPECT_EQ(bytes(), test::readFile(source));
    EXPECT_EQ(wc.sectionNames(),
              (QStringList{QStringLiteral("Quest Data"), QStringLiteral("1"), QStringLiteral("2"),
                           QStringLiteral("story info")}));

    // Removing a section removes every section of that name, and nothing else.
    ASSERT_TRUE(wc.removeSection(QStringLiteral("2")));
    ASSERT_TRUE(wc.flush());
    EXPECT_EQ(bytes(), QByteArray("; kept\r\n[Quest Data]\r\nNumber Of Pages=2\r\n[1]\r\nPage Text=one\r\n"
                                  "[story info]\r\nTitle=T\r\n"));

    // A copy holds every write; a failing copy changes nothing.
    wc.write(QStringLiteral("1"), QStringLiteral("Location"), QStringLiteral("Gate"));
    const QString copy = dir.filePath(QStringLiteral("out.qst"));
    ASSERT_TRUE(wc.copyTo(copy));
    EXPECT_EQ(ReadIni(copy, QStringLiteral("1"), QStringLiteral("Location")), QStringLiteral("Gate"));
    QString error;
    EXPECT_FALSE(wc.replaceWith(dir.filePath(QStringLiteral("missing.qst")), &error));
    EXPECT_FALSE(error.isEmpty());
    ASSERT_TRUE(wc.flush());
    EXPECT_EQ(ReadIni(kFile, QStringLiteral("1"), QStringLiteral("Location")), QStringLiteral("Gate"));
    EXPECT_FALSE(wc.copyTo(dir.filePath(QStringLiteral("no/such/folder/x.qst"))));

    ASSERT_TRUE(wc.remove());
    EXPECT_FALSE(QFile::exists(wc.path()));
}

// Opening and saving a quest treat the user's file as every other write
// does: a FIFO is refused rather than waited on, a link stays a link, the
// file keeps its permissions, and a save waits for another writer's lock.
TEST_P(WorkingCopyTest, OpeningAndSavingTreatTheQuestFileWithCare)
{
    QTemporaryDir dir;
    WorkingCopy wc(kFile, GetParam());
    wc.write(QStringLiteral("1"), QStringLiteral("Page Text"), QStringLiteral("saved"));

    const QString fifo = dir.filePath(QStringLiteral("pipe.qst"));
    ASSERT_EQ(mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    QString error;
    EXPECT_FALSE(wc.replaceWith(fifo, &error));
    EXPECT_TRUE(error.contains(QLatin1String("FIFO"))) << error.toStdString();
    EXPECT_FALSE(wc.copyTo(fifo, &error));
    EXPECT_EQ(wc.read(QStringLiteral("1"), QStringLiteral("Page Text")), QStringLiteral("saved"));

    const QString target = dir.filePath(QStringLiteral("real.qst"));
    const QString link = dir.filePath(QStringLiteral("link.qst"));
    test::writeFile(target, "[1]\r\nPage Text=old\r\n");
    ASSERT_EQ(chmod(QFile::encodeName(target).constData(), 0640), 0);
    ASSERT_TRUE(QFile::link(target, link));
    ASSERT_TRUE(wc.copyTo(link, &error)) << error.toStdString();
    EXPECT_TRUE(QFileInfo(link).isSymLink());
    EXPECT_EQ(ReadIni(target, QStringLiteral("1"), QStringLiteral("Page Text")), QStringLiteral("saved"));
    struct stat st{};
    ASSERT_EQ(stat(QFile::encodeName(target).constData(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0640u);

    // Another writer holds the quest's lock: the save waits for it.
    const int held = ::open(QFile::encodeName(target).constData(), O_RDONLY);
    ASSERT_GE(held, 0);
    ASSERT_EQ(::flock(held, LOCK_EX), 0);
    wc.write(QStringLiteral("1"), QStringLiteral("Page Text"), QStringLiteral("after the lock"));
    std::atomic<bool> saved{false};
    std::thread saver([&] { saved = wc.copyTo(target); });
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    EXPECT_FALSE(saved.load()) << "the save did not wait for the lock";
    EXPECT_EQ(ReadIni(target, QStringLiteral("1"), QStringLiteral("Page Text")), QStringLiteral("saved"));
    ::flock(held, LOCK_UN);
    ::close(held);
    saver.join();
    EXPECT_TRUE(saved.load());
    EXPECT_EQ(ReadIni(target, QStringLiteral("1"), QStringLiteral("Page Text")), QStringLiteral("after the lock"));
}

INSTANTIATE_TEST_SUITE_P(Modes, WorkingCopyTest,
                         ::testing::Values(WorkingCopy::Mode::Synchronous, WorkingCopy::Mode::Background));

TEST(WorkingCopyBackground, WritesReachTheFileWithoutAFlush)
{
    QFile::remove(ResolveIniPath(kFile));
    WorkingCopy wc(kFile, WorkingCopy::Mode::Background);
    wc.write(QStringLiteral("1"), QStringLiteral("Page Text"), QStringLiteral("later"));
    wc.endEvent();
    for (int i = 0; i < 100 && ReadIni(kFile, QStringLiteral("1"), QStringLiteral("Page Text")).isEmpty(); ++i)
        Pause(0.01);
    EXPECT_EQ(ReadIni(kFile, QStringLiteral("1"), QStringLiteral("Page Text")), QStringLiteral("later"));
    for (int i = 0; i < 100 && wc.pendingWrites() > 0; ++i)
        Pause(0.01);
    EXPECT_EQ(wc.pendingWrites(), 0);
}

TEST(WorkingCopyBackground, AFailedCommitKeepsTheWritesAndSaysWhy)
{
    QTemporaryDir dir;
    // The working copy's folder is a plain file: no write can succeed.
    const QString folder = dir.filePath(QStringLiteral("blocked"));
    ASSERT_TRUE(test::writeFile(folder, "not a folder"));
    const QString file = folder + QStringLiteral("/wc.ini");
    WorkingCopy wc(file, WorkingCopy::Mode::Background);
    QSignalSpy failed(&wc, &WorkingCopy::writeFailed);
    wc.write(QStringLiteral("1"), QStringLiteral("K"), QStringLiteral("v"));
    wc.endEvent();
    EXPECT_TRUE(failed.wait(2000)); // the worker reports it
    QString error;
    EXPECT_FALSE(wc.flush(&error));
    EXPECT_FALSE(error.isEmpty());
    EXPECT_EQ(wc.read(QStringLiteral("1"), QStringLiteral("K")), QStringLiteral("v"));
    ASSERT_TRUE(QFile::remove(folder));
    ASSERT_TRUE(QDir().mkpath(folder));
    EXPECT_TRUE(wc.flush());
    EXPECT_EQ(ReadIni(file, QStringLiteral("1"), QStringLiteral("K")), QStringLiteral("v"));
}

} // namespace
} // namespace fc
