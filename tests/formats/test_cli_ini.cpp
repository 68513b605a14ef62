// fablecraft-cli ini get/set, run as a separate process.
#include "storage/profile_store.h"
#include "storage/user_folders.h"
#include "tests/support/testsupport.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

struct CliRun {
    int exitCode = -1;
    QByteArray out;
    QByteArray err;
};

CliRun cli(const QStringList &args)
{
    QProcess p;
    p.start(QStringLiteral(FABLECRAFT_CLI), args);
    CliRun r;
    if (!p.waitForFinished(30000) || p.exitStatus() != QProcess::NormalExit)
        return r;
    r.exitCode = p.exitCode();
    r.out = p.readAllStandardOutput();
    r.err = p.readAllStandardError();
    return r;
}

TEST(CliIni, SetThenGetThroughAFullPath)
{
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("quest.qst"));

    CliRun set = cli({QStringLiteral("ini"), QStringLiteral("set"), file, QStringLiteral("1"), QStringLiteral("Page Text"),
                   QStringLiteral("Caf\u00E9 \u201Cnoir\u201D")});
    EXPECT_EQ(set.exitCode, 0) << set.err.constData();
    EXPECT_TRUE(set.out.isEmpty());
    // The same store the program uses: the value is there for ReadIni, in
    // Windows-1252 on disk.
    EXPECT_EQ(fc::ReadIni(file, QStringLiteral("1"), QStringLiteral("Page Text")), QStringLiteral("Caf\u00E9 \u201Cnoir\u201D"));
    EXPECT_TRUE(fc::test::readFile(file).contains("Page Text=Caf\xE9 \x93noir\x94"));

    // Names match case-insensitively; output is UTF-8 with one newline.
    CliRun get = cli({QStringLiteral("ini"), QStringLiteral("get"), file, QStringLiteral("1"), QStringLiteral("page text")});
    EXPECT_EQ(get.exitCode, 0);
    EXPECT_EQ(get.out, QByteArray("Caf\xC3\xA9 \xE2\x80\x9Cnoir\xE2\x80\x9D\n"));
    EXPECT_TRUE(get.err.isEmpty());

    CliRun missing = cli({QStringLiteral("ini"), QStringLiteral("get"), file, QStringLiteral("2"), QStringLiteral("Page Text")});
    EXPECT_EQ(missing.exitCode, 0);
    EXPECT_EQ(missing.out, QByteArray("\n"));
    CliRun noFile = cli({QStringLiteral("ini"), QStringLiteral("get"), dir.filePath(QStringLiteral("none.ini")),
                      QStringLiteral("a"), QStringLiteral("b")});
    EXPECT_EQ(noFile.exitCode, 0);
    EXPECT_EQ(noFile.out, QByteArray("\n"));
    EXPECT_FALSE(QFile::exists(dir.filePath(QStringLiteral("none.ini"))));
}

TEST(CliIni, BareNameResolvesToTheWindowsDirectory)
{
    // The child inherits this test's XDG_DATA_HOME, so both see one folder.
    const QString name = QStringLiteral("cli-bare-%1.ini").arg(QCoreApplication::applicationPid());
    CliRun set = cli({QStringLiteral("ini"), QStringLiteral("set"), name, QStringLiteral("Story Info"), QStringLiteral("Title"),
                   QStringLiteral("The Cave")});
    ASSERT_EQ(set.exitCode, 0) << set.err.constData();
    const QString full = QDir(fc::GetWindowsDir()).filePath(name);
    EXPECT_TRUE(QFile::exists(full));
    EXPECT_EQ(fc::ReadIni(full, QStringLiteral("Story Info"), QStringLiteral("Title")), QStringLiteral("The Cave"));
    CliRun get = cli({QStringLiteral("ini"), QStringLiteral("get"), name, QStringLiteral("Story Info"), QStringLiteral("Title")});
    EXPECT_EQ(get.out, QByteArray("The Cave\n"));
    QFile::remove(full);
}

TEST(CliIni, UsageErrorsExitWithTwo)
{
    const QStringList cases[] = {
        {QStringLiteral("ini")},
        {QStringLiteral("ini"), QStringLiteral("get"), QStringLiteral("f"), QStringLiteral("s")},
        {QStringLiteral("ini"), QStringLiteral("get"), QStringLiteral("f"), QStringLiteral("s"), QStringLiteral("k"),
         QStringLiteral("extra")},
        {QStringLiteral("ini"), QStringLiteral("set"), QStringLiteral("f"), QStringLiteral("s"), QStringLiteral("k")},
        {QStringLiteral("ini"), QStringLiteral("delete"), QStringLiteral("f"), QStringLiteral("s"), QStringLiteral("k")},
    };
    for (const QStringList &args : cases) {
        SCOPED_TRACE(args.join(u' ').toStdString());
        CliRun r = cli(args);
        EXPECT_EQ(r.exitCode, 2);
        EXPECT_TRUE(r.out.isEmpty());
        EXPECT_TRUE(r.err.startsWith("usage: fablecraft-cli ini get FILE SECTION KEY")) << r.err.constData();
    }
}

TEST(CliIni, FailedWriteIsNotReportedAsSuccess)
{
    QTemporaryDir dir;
    const QString notADir = dir.filePath(QStringLiteral("plain"));
    ASSERT_TRUE(fc::test::writeFile(notADir, "x"));
    CliRun r = cli({QStringLiteral("ini"), QStringLiteral("set"), notADir + QStringLiteral("/q.ini"), QStringLiteral("s"),
                 QStringLiteral("k"), QStringLiteral("v")});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_TRUE(r.err.contains("cannot write")) << r.err.constData();
    EXPECT_EQ(fc::test::readFile(notADir), QByteArray("x"));
}

// A quest nobody may write is refused, not replaced by a writable copy; the
// same holds through a link to it.
TEST(CliIni, ReadOnlyFileIsRefused)
{
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("q.qst"));
    const QByteArray before = "[1]\r\nPage Text=Old\r\n";
    ASSERT_TRUE(fc::test::writeFile(file, before));
    ASSERT_TRUE(QFile::setPermissions(file, QFile::ReadOwner | QFile::ReadGroup | QFile::ReadOther));
    const QString link = dir.filePath(QStringLiteral("link.qst"));
    ASSERT_TRUE(QFile::link(file, link));
    for (const QString &target : {file, link}) {
        SCOPED_TRACE(target.toStdString());
        CliRun r = cli({QStringLiteral("ini"), QStringLiteral("set"), target, QStringLiteral("1"),
                        QStringLiteral("Page Text"), QStringLiteral("New")});
        EXPECT_EQ(r.exitCode, 1);
        EXPECT_TRUE(r.err.contains("is read-only")) << r.err.constData();
        EXPECT_EQ(fc::test::readFile(file), before);
        EXPECT_EQ(QFileInfo(file).permissions() & (QFile::WriteOwner | QFile::WriteGroup | QFile::WriteOther),
                  QFileDevice::Permissions());
    }
    // Writable again, the same write goes through.
    ASSERT_TRUE(QFile::setPermissions(file, QFile::ReadOwner | QFile::WriteOwner));
    CliRun r = cli({QStringLiteral("ini"), QStringLiteral("set"), file, QStringLiteral("1"), QStringLiteral("Page Text"),
                    QStringLiteral("New")});
    EXPECT_EQ(r.exitCode, 0) << r.err.constData();
    EXPECT_EQ(fc::ReadIni(file, QStringLiteral("1"), QStringLiteral("Page Text")), QStringLiteral("New"));
}

} // namespace
