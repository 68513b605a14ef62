// The profile store on real files: encodings, atomic replacement, the parse
// cache seeing every change, file name resolution and Pause.
#include "engine/ui/pause.h"
#include "storage/cp1252.h"
#include "storage/profile_store.h"
#include "storage/user_folders.h"
#include "tests/support/testsupport.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QThread>
#include <QTimer>

#include <gtest/gtest.h>

#include <csignal>
#include <ctime>
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

using fc::test::readFile;
using fc::test::writeFile;

namespace {

QString S(const char16_t *s) { return QString::fromUtf16(s); }

class IniFiles : public ::testing::Test
{
protected:
    void SetUp() override { ASSERT_TRUE(m_dir.isValid()); }
    QString path(const QString &name) const { return m_dir.filePath(name); }
    QTemporaryDir m_dir;
};

// ---- encodings -------------------------------------------------------------

TEST_F(IniFiles, AllByteValuesRoundTripInWindows1252)
{
    QByteArray value;
    for (int b = 1; b < 256; ++b) {
        if (b != '\r' && b != '\n')
            value += char(b);
    }
    value = "x" + value + "x"; // no blank or quote at either end
    const QString file = path("bytes.ini");
    ASSERT_TRUE(writeFile(file, "[S]\r\nk=" + value + "\r\n"));
    const QString read = fc::ReadIni(file, "S", "k");
    EXPECT_EQ(read, fc::cp1252::decode(value));
    EXPECT_TRUE(read.contains(S(u"\u201C\u201D"))); // curly quotes from bytes 0x93 0x94

    // Writing the text back stores the very same bytes.
    ASSERT_TRUE(fc::WriteIniChecked(file, "S", "copy", read));
    EXPECT_EQ(readFile(file), "[S]\r\nk=" + value + "\r\ncopy=" + value + "\r\n");
}

TEST_F(IniFiles, Windows1252TextStaysWindows1252)
{
    const QString file = path("cp.ini");
    ASSERT_TRUE(writeFile(file, "[S]\r\na=caf\xE9\r\n"));
    ASSERT_TRUE(fc::WriteIniChecked(file, "S", "b", S(u"\u20AC \u201Cq\u201D \u00FF")));
    EXPECT_EQ(readFile(file), QByteArray("[S]\r\na=caf\xE9\r\nb=\x80 \x93q\x94 \xFF\r\n"));
    EXPECT_EQ(fc::ReadIni(file, "S", "a"), S(u"caf\u00E9"));
}

TEST_F(IniFiles, TextWindows1252CannotHoldSwitchesTheFileToUtf8)
{
    const QString file = path("switch.ini");
    ASSERT_TRUE(writeFile(file, "; caf\xE9\r\n[S]\r\na=\x93q\x94\r\n"));
    ASSERT_TRUE(fc::WriteIniChecked(file, "S", "b", S(u"\u03A9 \u4E2D")));
    EXPECT_EQ(readFile(file), QByteArray("\xEF\xBB\xBF\r\n; caf\xC3\xA9\r\n[S]\r\na=\xE2\x80\x9Cq\xE2\x80\x9D\r\n"
                                         "b=\xCE\xA9 \xE4\xB8\xAD\r\n"));
    EXPECT_EQ(fc::ReadIni(file, "S", "a"), S(u"\u201Cq\u201D"));
    EXPECT_EQ(fc::ReadIni(file, "S", "b"), S(u"\u03A9 \u4E2D"));
    // Later writes keep UTF-8 and its byte-order mark.
    ASSERT_TRUE(fc::WriteIniChecked(file, "S", "a", S(u"\u00E9")));
    EXPECT_TRUE(readFile(file).startsWith("\xEF\xBB\xBF\r\n; caf\xC3\xA9\r\n[S]\r\na=\xC3\xA9\r\n"));
}

// Only the mark at the head of the file is a byte-order mark: a value or a
// name that starts with U+FEFF keeps it.
TEST_F(IniFiles, LeadingZeroWidthNoBreakSpaceInUtf8TextIsKept)
{
    const QString file = path("feff.ini");
    const QString value = QChar(0xFEFF) + QStringLiteral("x");
    ASSERT_TRUE(fc::WriteIniChecked(file, "S", "k", value));
    ASSERT_TRUE(fc::WriteIniChecked(file, "S", value, "named"));
    EXPECT_EQ(fc::ReadIni(file, "S", "k"), value);
    EXPECT_EQ(fc::ReadIni(file, "S", value), "named");
    EXPECT_EQ(fc::ReadIni(file, "S", "x"), "");
}

TEST_F(IniFiles, NewFileForTextWindows1252CannotHold)
{
    const QString file = path("new-utf8.ini");
    ASSERT_TRUE(fc::WriteIniChecked(file, "S", "k", S(u"\u03A9")));
    EXPECT_EQ(readFile(file), QByteArray("\xEF\xBB\xBF\r\n[S]\r\nk=\xCE\xA9\r\n"));
    EXPECT_EQ(fc::ReadIni(file, "S", "k"), S(u"\u03A9"));
}

TEST_F(IniFiles, SectionNameWindows1252CannotHoldAlsoSwitches)
{
    const QString file = path("section.ini");
    ASSERT_TRUE(writeFile(file, "[S]\r\nk=\xE9\r\n"));
    ASSERT_TRUE(fc::WriteIniChecked(file, S(u"\u0394"), "k", "v"));
    EXPECT_EQ(readFile(file), QByteArray("\xEF\xBB\xBF\r\n[S]\r\nk=\xC3\xA9\r\n[\xCE\x94]\r\nk=v\r\n"));
    EXPECT_EQ(fc::ReadIni(file, S(u"\u03B4"), "K"), "v"); // lower-case delta finds the section
    EXPECT_EQ(fc::ReadIni(file, "s", "k"), S(u"\u00E9"));
}

TEST_F(IniFiles, Utf8WithoutMarkStaysSo)
{
    const QString file = path("utf8.ini");
    ASSERT_TRUE(writeFile(file, "[S]\r\na=\xC3\xA9\r\n"));
    ASSERT_TRUE(fc::WriteIniChecked(file, "S", "b", S(u"\u00FC\u20AC")));
    EXPECT_EQ(readFile(file), QByteArray("[S]\r\na=\xC3\xA9\r\nb=\xC3\xBC\xE2\x82\xAC\r\n"));
}

TEST_F(IniFiles, Windows1252BytesThatWouldLookLikeUtf8AreNotMisread)
{
    // "Ã©" in Windows-1252 is C3 A9, which is also UTF-8 for "é".
    const QString file = path("lookalike.ini");
    ASSERT_TRUE(writeFile(file, "[S]\r\na=plain\r\n"));
    const QString tricky = S(u"\u00C3\u00A9");
    ASSERT_TRUE(fc::WriteIniChecked(file, "S", "b", tricky));
    EXPECT_EQ(fc::ReadIni(file, "S", "b"), tricky);
    EXPECT_EQ(fc::ReadIni(file, "S", "a"), "plain");
    EXPECT_TRUE(readFile(file).startsWith("\xEF\xBB\xBF\r\n"));
}

TEST_F(IniFiles, ForcedWindows1252ForSavedGames)
{
    const QString file = path("game.sav");
    ASSERT_TRUE(writeFile(file, "[S]\r\nk=\xC3\xA9\r\n"));
    EXPECT_EQ(fc::ReadIni(file, "S", "k", fc::IniEncoding::Windows1252), S(u"\u00C3\u00A9"));
    EXPECT_EQ(fc::ReadIni(file, "S", "k"), S(u"\u00E9"));

    // Text that looks like UTF-8 stays as its Windows-1252 bytes.
    ASSERT_TRUE(fc::WriteIniChecked(file, "S", "j", S(u"\u00C3\u00A9"), fc::IniEncoding::Windows1252));
    EXPECT_EQ(readFile(file), QByteArray("[S]\r\nk=\xC3\xA9\r\nj=\xC3\xA9\r\n"));

    // Text it cannot hold fails and leaves the file as it was.
    QString error;
    EXPECT_FALSE(fc::WriteIniChecked(file, "S", "k", S(u"\u03A9"), fc::IniEncoding::Windows1252, &error));
    EXPECT_FALSE(error.isEmpty());
    EXPECT_EQ(readFile(file), QByteArray("[S]\r\nk=\xC3\xA9\r\nj=\xC3\xA9\r\n"));
}

// ---- atomic replacement ----------------------------------------------------

TEST_F(IniFiles, WriteIntoAFolderThatCannotExistFails)
{
    ASSERT_TRUE(writeFile(path("plain"), "not a folder"));
    QString error;
    EXPECT_FALSE(fc::WriteIniChecked(path("plain/x.ini"), "S", "k", "v", &error));
    EXPECT_FALSE(error.isEmpty());
    EXPECT_EQ(readFile(path("plain")), "not a folder");
    EXPECT_EQ(fc::ReadIni(path("plain/x.ini"), "S", "k"), "");
}

TEST_F(IniFiles, WriteOverAFolderFailsAndKeepsIt)
{
    ASSERT_TRUE(QDir(m_dir.path()).mkdir("dir.ini"));
    QString error;
    EXPECT_FALSE(fc::WriteIniChecked(path("dir.ini"), "S", "k", "v", &error));
    EXPECT_FALSE(error.isEmpty());
    EXPECT_TRUE(QFileInfo(path("dir.ini")).isDir());
}

// A disk that fills up in the middle of the write: the file size limit makes
// the write fail after part of the bytes, even for the superuser.
TEST_F(IniFiles, FailedWriteLeavesOldFileIntact)
{
    const QString file = path("quest.qst");
    const QByteArray old = "[1]\r\nPage Text=old text\r\n; note\r\n";
    ASSERT_TRUE(writeFile(file, old));
    EXPECT_EQ(fc::ReadIni(file, "1", "Page Text"), "old text");

    struct rlimit saved;
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &saved), 0);
    auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    struct rlimit small = saved;
    small.rlim_cur = 4096;
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
    QString error;
    const bool ok = fc::WriteIniChecked(file, "1", "Page Text", QString(100000, QLatin1Char('n')), &error);
    setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, oldHandler);

    EXPECT_FALSE(ok);
    EXPECT_FALSE(error.isEmpty());
    EXPECT_EQ(readFile(file), old);
    EXPECT_EQ(fc::ReadIni(file, "1", "Page Text"), "old text");
    EXPECT_EQ(QDir(m_dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList{"quest.qst"});
    // And the next write works.
    EXPECT_TRUE(fc::WriteIniChecked(file, "1", "Page Text", "new text"));
    EXPECT_EQ(fc::ReadIni(file, "1", "Page Text"), "new text");
}

TEST_F(IniFiles, WriteKeepsPermissionsAndReplacesTheFile)
{
    const QString file = path("perm.ini");
    ASSERT_TRUE(writeFile(file, "[S]\r\nk=1\r\n"));
    ASSERT_EQ(::chmod(QFile::encodeName(file).constData(), 0640), 0);
    struct stat before, after;
    ASSERT_EQ(::stat(QFile::encodeName(file).constData(), &before), 0);
    ASSERT_TRUE(fc::WriteIniChecked(file, "S", "k", "2"));
    ASSERT_EQ(::stat(QFile::encodeName(file).constData(), &after), 0);
    EXPECT_EQ(after.st_mode & 07777, 0640u);
    EXPECT_NE(after.st_ino, before.st_ino); // a new file renamed into place
    EXPECT_EQ(QDir(m_dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList{"perm.ini"});
}

TEST_F(IniFiles, StoringTheValueAlreadyThereLeavesTheFileAlone)
{
    const QString file = path("same.ini");
    ASSERT_TRUE(writeFile(file, "[S]\r\nk=v\r\n"));
    struct stat before, after;
    ASSERT_EQ(::stat(QFile::encodeName(file).constData(), &before), 0);
    EXPECT_TRUE(fc::WriteIniChecked(file, "s", "K", "v"));
    ASSERT_EQ(::stat(QFile::encodeName(file).constData(), &after), 0);
    EXPECT_EQ(after.st_ino, before.st_ino);
    EXPECT_EQ(after.st_mtim.tv_nsec, before.st_mtim.tv_nsec);
    // Not the same bytes once the value differs in case.
    EXPECT_TRUE(fc::WriteIniChecked(file, "S", "k", "V"));
    EXPECT_EQ(readFile(file), "[S]\r\nk=V\r\n");
}

TEST_F(IniFiles, ReadOfMissingFileCreatesNothing)
{
    EXPECT_EQ(fc::ReadIni(path("sub/none.ini"), "S", "k"), "");
    EXPECT_EQ(fc::ReadIni(path("none.ini"), "S", "k"), "");
    EXPECT_TRUE(QDir(m_dir.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden).isEmpty());
}

TEST_F(IniFiles, EmptyValueReadsLikeMissingKey)
{
    const QString file = path("empty.ini");
    fc::WriteIni(file, "S", "k", "text");
    fc::WriteIni(file, "S", "k", "");
    EXPECT_EQ(fc::ReadIni(file, "S", "k"), "");
    EXPECT_EQ(readFile(file), "[S]\r\nk=\r\n");
}

// ---- the cache sees every change -------------------------------------------

void overwriteInPlace(const QString &file, const QByteArray &bytes)
{
    // Same inode, no truncation: what an editor that saves in place does.
    QFile f(file);
    ASSERT_TRUE(f.open(QIODevice::ReadWrite));
    ASSERT_EQ(f.write(bytes), bytes.size());
}

TEST_F(IniFiles, SameSizeChangeRightAfterAReadIsSeen)
{
    const QString file = path("fast.ini");
    ASSERT_TRUE(writeFile(file, "[S]\r\nk=aaa\r\n"));
    EXPECT_EQ(fc::ReadIni(file, "S", "k"), "aaa");
    overwriteInPlace(file, "[S]\r\nk=bbb\r\n");
    EXPECT_EQ(fc::ReadIni(file, "S", "k"), "bbb");
    overwriteInPlace(file, "[S]\r\nk=ccc\r\n");
    EXPECT_EQ(fc::ReadIni(file, "S", "k"), "ccc");
}

TEST_F(IniFiles, SameSizeChangeWithRestoredModificationTimeIsSeen)
{
    const QString file = path("sneaky.ini");
    const QByteArray native = QFile::encodeName(file);
    const struct timespec fixed[2] = {{1600000000, 0}, {1600000000, 0}};
    ASSERT_TRUE(writeFile(file, "[S]\r\nk=aaa\r\n"));
    ASSERT_EQ(utimensat(AT_FDCWD, native.constData(), fixed, 0), 0);
    QThread::msleep(150); // let the copy read next count as settled
    EXPECT_EQ(fc::ReadIni(file, "S", "k"), "aaa");
    EXPECT_EQ(fc::ReadIni(file, "S", "k"), "aaa");
    overwriteInPlace(file, "[S]\r\nk=bbb\r\n");
    ASSERT_EQ(utimensat(AT_FDCWD, native.constData(), fixed, 0), 0);
    // Size, inode and modification time are as before; the change time is not.
    EXPECT_EQ(fc::ReadIni(file, "S", "k"), "bbb");
}

TEST_F(IniFiles, ReplacedAndDeletedFilesAreSeen)
{
    const QString file = path("gone.ini");
    ASSERT_TRUE(writeFile(file, "[S]\r\nk=1\r\n"));
    EXPECT_EQ(fc::ReadIni(file, "S", "k"), "1");
    ASSERT_TRUE(writeFile(path("other.ini"), "[S]\r\nk=2\r\n"));
    ASSERT_EQ(::rename(QFile::encodeName(path("other.ini")).constData(), QFile::encodeName(file).constData()), 0);
    EXPECT_EQ(fc::ReadIni(file, "S", "k"), "2");
    ASSERT_TRUE(QFile::remove(file));
    EXPECT_EQ(fc::ReadIni(file, "S", "k"), "");
}

TEST_F(IniFiles, WritesAreSeenByReadsAndOtherModes)
{
    const QString file = path("both.ini");
    fc::WriteIni(file, "S", "k", "1");
    EXPECT_EQ(fc::ReadIni(file, "S", "k", fc::IniEncoding::Windows1252), "1");
    fc::WriteIni(file, "S", "k", "2");
    EXPECT_EQ(fc::ReadIni(file, "S", "k"), "2");
    EXPECT_EQ(fc::ReadIni(file, "S", "k", fc::IniEncoding::Windows1252), "2");
    QThread::msleep(120);
    fc::WriteIni(file, "S", "k", "3");
    EXPECT_EQ(fc::ReadIni(file, "S", "k"), "3");
    EXPECT_EQ(fc::ReadIni(file, "S", "k", fc::IniEncoding::Windows1252), "3");
}

// ---- file names ------------------------------------------------------------

TEST(IniNames, BareNamesResolveToTheWindowsDirectory)
{
    const QString data = qEnvironmentVariable("XDG_DATA_HOME");
    ASSERT_FALSE(data.isEmpty());
    const QString dir = data + "/Fablecraft";
    QDir(dir).removeRecursively();
    EXPECT_EQ(fc::ResolveIniPath("tmpquest.ini"), dir + "/tmpquest.ini");
    EXPECT_EQ(fc::ReadIni("tmpquest.ini", "1", "Page Text"), "");
    EXPECT_FALSE(QFileInfo::exists(dir)); // a read creates nothing

    EXPECT_EQ(fc::GetWindowsDir(), dir);
    EXPECT_TRUE(QFileInfo(dir).isDir());

    QDir(dir).removeRecursively();
    fc::WriteIni("tmpquest.ini", "1", "Page Text", "hello");
    EXPECT_EQ(readFile(dir + "/tmpquest.ini"), "[1]\r\nPage Text=hello\r\n");
    EXPECT_EQ(fc::ReadIni("tmpquest.ini", "1", "Page Text"), "hello");
    // The Windows way of naming the same file.
    const QString windowsStyle = fc::GetWindowsDir() + "\\tmpquest.ini";
    EXPECT_EQ(fc::ReadIni(windowsStyle, "1", "Page Text"), "hello");
    fc::WriteIni(windowsStyle, "1", "Location", "cave");
    EXPECT_EQ(fc::ReadIni("tmpquest.ini", "1", "Location"), "cave");
    EXPECT_EQ(QDir(dir).entryList(QDir::Files | QDir::Hidden), QStringList{"tmpquest.ini"});
}

TEST(IniNames, PathsKeepTheirFolders)
{
    EXPECT_EQ(fc::ResolveIniPath("/a/b.ini"), "/a/b.ini");
    EXPECT_EQ(fc::ResolveIniPath("sub/b.ini"), "sub/b.ini");
    EXPECT_EQ(fc::ResolveIniPath("\\a\\b.ini"), "/a/b.ini");
    EXPECT_EQ(fc::ReadIni("", "S", "k"), "");
    EXPECT_FALSE(fc::WriteIniChecked("", "S", "k", "v"));
}

// ---- Pause -----------------------------------------------------------------

TEST(Pause, WaitsWhileHandlingEvents)
{
    bool fired = false;
    QTimer::singleShot(50, [&] { fired = true; });
    QElapsedTimer clock;
    clock.start();
    const std::clock_t cpuBefore = std::clock();
    fc::Pause(0.2);
    const double cpuSeconds = double(std::clock() - cpuBefore) / CLOCKS_PER_SEC;
    EXPECT_TRUE(fired);
    EXPECT_GE(clock.elapsed(), 190);
    EXPECT_LT(clock.elapsed(), 2000);
    EXPECT_LT(cpuSeconds, 0.1); // waited, did not spin
}

TEST(Pause, ZeroOrNegativeReturnsAtOnce)
{
    QElapsedTimer clock;
    clock.start();
    fc::Pause(0);
    fc::Pause(-1);
    EXPECT_LT(clock.elapsed(), 100);
}

} // namespace
