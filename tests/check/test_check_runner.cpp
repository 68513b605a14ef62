// The checker off the caller's thread: the event loop keeps running, results
// come back in order, a burst of requests is folded into the newest.
#include "engine/check/check_runner.h"
#include "tests/support/testsupport.h"

#include <QFileInfo>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QThread>
#include <gtest/gtest.h>

namespace {

TEST(CheckRunner, ChecksOffTheCallersThreadAndFoldsBursts)
{
    QTemporaryDir dir;
    auto quest = [&](const char *name, const QByteArray &text) {
        const QString path = dir.filePath(QString::fromLatin1(name));
        EXPECT_TRUE(fc::test::writeFile(path, text));
        return path;
    };
    const QString clean = quest("a.qst", "[1]\r\nOption One=Go\r\nOption One Destination Page=2\r\n[2]\r\nPage Text=End\r\n");
    const QString broken = quest("b.qst", "[1]\r\nOption One=Go\r\nOption One Destination Page=7\r\n");
    const QString middle = quest("c.qst", "[1]\r\nPage Text=Only\r\n");

    fc::check::CheckRunner runner;
    QSignalSpy spy(&runner, &fc::check::CheckRunner::finished);
    const Qt::HANDLE caller = QThread::currentThreadId();
    Qt::HANDLE reportedOn = nullptr;
    QObject::connect(&runner, &fc::check::CheckRunner::finished, [&] { reportedOn = QThread::currentThreadId(); });

    runner.start(clean);
    EXPECT_TRUE(runner.running());
    runner.start(middle, true); // replaced before it starts: removed unchecked
    runner.start(broken);
    ASSERT_TRUE(spy.wait(10000));
    if (spy.size() < 2) {
        ASSERT_TRUE(spy.wait(10000));
    }
    ASSERT_EQ(spy.size(), 2);
    EXPECT_EQ(spy[0][0].toString(), clean);
    EXPECT_FALSE(spy[0][1].value<fc::check::CheckReport>().needsFixing());
    EXPECT_EQ(spy[1][0].toString(), broken);
    const auto report = spy[1][1].value<fc::check::CheckReport>();
    ASSERT_EQ(report.findings.size(), 1);
    EXPECT_EQ(report.findings[0].kind, "broken-destination");
    EXPECT_EQ(reportedOn, caller);
    EXPECT_FALSE(QFileInfo::exists(middle));
    EXPECT_FALSE(runner.running());

    // A copy handed over for removal is gone once checked.
    runner.start(quest("d.qst", "[1]\r\nPage Text=End\r\n"), true);
    ASSERT_TRUE(spy.wait(10000));
    EXPECT_FALSE(QFileInfo::exists(dir.filePath(QStringLiteral("d.qst"))));
}

} // namespace
