// A killed editor leaves a well-formed working copy that holds every edit
// made half a second or more before the kill.
#include "storage/ini_file.h"
#include "storage/profile_store.h"
#include "storage/user_folders.h"
#include "tests/support/testsupport.h"

#include <QElapsedTimer>
#include <QProcess>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

// Every line of the file is a section header, a key line or empty, and ends
// with CR LF.
bool wellFormed(const QByteArray &bytes)
{
    if (!bytes.endsWith("\r\n"))
        return false;
    const QList<QByteArray> lines = bytes.split('\n');
    for (qsizetype i = 0; i + 1 < lines.size(); ++i) {
        if (!lines[i].endsWith('\r'))
            return false;
        const QByteArray line = lines[i].trimmed();
        if (!line.isEmpty() && !(line.startsWith('[') && line.endsWith(']')) && !line.contains('='))
            return false;
    }
    return true;
}

TEST(CrashLag, KillAtARandomMomentKeepsEveryEditOlderThanHalfASecond)
{
    QTemporaryDir dir;
    const QString quest = dir.filePath(QStringLiteral("big.qst"));
    const QString wc = fc::ResolveIniPath(QStringLiteral("tmpquest.ini"));
    const quint32 seed = fc::test::randomSeed();
    SCOPED_TRACE(testing::Message() << "random seed " << seed);
    QRandomGenerator random(seed);
    for (int run = 0; run < 4; ++run) {
        QProcess child;
        child.start(QStringLiteral(EDITOR_CRASH_CHILD), {quest, QStringLiteral("3000")});
        ASSERT_TRUE(child.waitForStarted());
        QByteArray pending;
        auto nextLine = [&](int timeoutMs) -> QByteArray {
            QElapsedTimer t;
            t.start();
            while (!pending.contains('\n')) {
                if (t.elapsed() > timeoutMs || !child.waitForReadyRead(int(timeoutMs - t.elapsed())))
                    return {};
                pending += child.readAllStandardOutput();
            }
            const qsizetype nl = pending.indexOf('\n');
            const QByteArray line = pending.left(nl);
            pending.remove(0, nl + 1);
            return line;
        };
        ASSERT_EQ(nextLine(30000), QByteArray("ready"));
        QElapsedTimer clock;
        clock.start();
        const qint64 killAt = 600 + qint64(random.bounded(1500));
        QList<QPair<qint64, int>> seen; // when each edit was reported done
        while (clock.elapsed() < killAt) {
            const QByteArray line = nextLine(int(killAt - clock.elapsed()) + 1);
            if (!line.isEmpty())
                seen.append({clock.elapsed(), line.toInt()});
        }
        child.kill(); // SIGKILL
        const qint64 killed = clock.elapsed();
        ASSERT_TRUE(child.waitForFinished(10000));
        int mustHave = 0;
        for (const auto &[when, edit] : seen)
            if (when <= killed - 500)
                mustHave = edit;
        ASSERT_GT(seen.size(), 10) << "the child made too few edits to tell";

        const QByteArray bytes = fc::test::readFile(wc);
        EXPECT_TRUE(wellFormed(bytes)) << "run " << run;
        const QString text = fc::ReadIni(QStringLiteral("tmpquest.ini"), QStringLiteral("1"), QStringLiteral("Page Text"));
        ASSERT_TRUE(text.startsWith(QLatin1String("edit "))) << qPrintable(text);
        EXPECT_GE(text.mid(5).toInt(), mustHave) << "run " << run << ", killed after " << killed << " ms";
        const QString a = fc::ReadIni(QStringLiteral("tmpquest.ini"), QStringLiteral("Probe"), QStringLiteral("A"));
        EXPECT_EQ(a, fc::ReadIni(QStringLiteral("tmpquest.ini"), QStringLiteral("Probe"), QStringLiteral("B")));
        EXPECT_GE(a.toInt(), mustHave);
        EXPECT_EQ(fc::ReadIni(QStringLiteral("tmpquest.ini"), QStringLiteral("3000"), QStringLiteral("Location")),
                  QStringLiteral("Room"));
    }
}

} // namespace
