// fablecraft-cli compile, and the game folder it makes running on its own.
#include "tests/support/testsupport.h"

#include <QDir>
#include <QDirIterator>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <unistd.h>

namespace {

struct ProcessRun
{
    int status = -1;
    QString out;
    QString err;
};

ProcessRun run(const QString &program, const QStringList &args, int timeoutMs = 120000)
{
    QProcess p;
    p.start(program, args);
    p.closeWriteChannel();
    EXPECT_TRUE(p.waitForFinished(timeoutMs)) << program.toStdString();
    return {p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1, QString::fromUtf8(p.readAllStandardOutput()),
            QString::fromUtf8(p.readAllStandardError())};
}

ProcessRun compile(const QStringList &args) { return run(QStringLiteral(FABLECRAFT_CLI), QStringList{"compile"} + args); }

QString programDir() { return QFileInfo(QStringLiteral(FABLECRAFT_PLAYER)).absolutePath(); }
QString defaultAdventure() { return programDir() + QStringLiteral("/VellumAdventure.qst"); }

qint64 folderSize(const QString &dir)
{
    qint64 total = 0;
    QDirIterator it(dir, QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
    while (it.hasNext())
        total += QFileInfo(it.next()).size();
    return total;
}

} // namespace

TEST(CliCompile, ExitStatusAndMessages)
{
    QTemporaryDir tmp;
    // Written: exit 0 with the closing message.
    ProcessRun r = compile({defaultAdventure(), "Vellum", "--into", tmp.path()});
    EXPECT_EQ(r.status, 0) << r.err.toStdString();
    EXPECT_EQ(r.out, "You game should be compiled within the directoy as: " + tmp.path() + "/Vellum/Vellum\n");
    EXPECT_EQ(fc::test::readFile(tmp.path() + "/Vellum/Vellum"), fc::test::readFile(FABLECRAFT_PLAYER));
    EXPECT_FALSE(QFileInfo::exists(tmp.path() + "/Vellum/lib"));

    // Refused or failed: exit 1 with the message.
    const struct
    {
        QStringList args;
        QString message;
    } failures[] = {
        {{defaultAdventure(), "", "--into", tmp.path()}, "You must enter a game name!\n"},
        {{defaultAdventure(), "Vellum", "--into", ""}, "You must select a directory path!\n"},
        {{defaultAdventure(), "a/b", "--into", tmp.path()}, "A game name cannot hold"},
        {{tmp.path() + "/none.qst", "Lost", "--into", tmp.path()}, "Could not copy the quest " + tmp.path() + "/none.qst"},
        {{defaultAdventure(), "Elsewhere", "--into", tmp.path(), "--program-dir", tmp.path()},
         "Could not copy the program " + tmp.path() + "/fablecraft"},
    };
    for (const auto &f : failures) {
        r = compile(f.args);
        EXPECT_EQ(r.status, 1) << f.args.join(' ').toStdString();
        EXPECT_TRUE(r.err.startsWith(f.message)) << r.err.toStdString();
        EXPECT_EQ(r.out, "");
    }
    EXPECT_FALSE(QFileInfo::exists(tmp.path() + "/Lost/game.dat"));
    EXPECT_FALSE(QFileInfo::exists(tmp.path() + "/Elsewhere/game.dat"));
    // Usage errors: 2.
    EXPECT_EQ(compile({defaultAdventure(), "Vellum"}).status, 2);
    EXPECT_EQ(compile({defaultAdventure(), "--into", tmp.path()}).status, 2);
}

// The default adventure with runtime files and media, moved elsewhere, with
// the system's Qt, FluidSynth and GStreamer hidden, opens its window.
TEST(CliCompile, StandaloneGameRunsWithoutTheSystemLibraries)
{
    const QString xvfbRun = QStandardPaths::findExecutable("xvfb-run");
    const QString xwininfo = QStandardPaths::findExecutable("xwininfo");
    const QString unshare = QStandardPaths::findExecutable("unshare");
    if (xvfbRun.isEmpty() || xwininfo.isEmpty() || unshare.isEmpty())
        GTEST_SKIP() << "needs xvfb-run, xwininfo (x11-utils) and unshare";
    // A private mount namespace: as root, or as a user mapped to root where
    // the kernel allows unprivileged user namespaces.
    const QStringList ns = geteuid() == 0 ? QStringList{"-m"} : QStringList{"-r", "-m"};
    if (run(unshare, ns + QStringList{"true"}).status != 0)
        GTEST_SKIP() << "no private mount namespace allowed here (unshare " << ns.join(' ').toStdString() << " failed)";

    QTemporaryDir tmp;
    QElapsedTimer timer;
    timer.start();
    ProcessRun r = compile({defaultAdventure(), "Vellum Tale", "--into", tmp.path(), "--runtime", "--media"});
    const qint64 compileMs = timer.elapsed();
    ASSERT_EQ(r.status, 0) << r.err.toStdString();
    EXPECT_FALSE(r.out.contains("could not be copied")) << r.out.toStdString();
    const QString built = tmp.path() + "/Vellum Tale";
    std::printf("[ compile ] --runtime --media: %lld ms, folder %.1f MB\n", compileMs, folderSize(built) / 1e6);

    // Moved to another place and name of the parent folder.
    ASSERT_TRUE(QDir().mkpath(tmp.path() + "/moved/away"));
    const QString game = tmp.path() + "/moved/away/Vellum Tale";
    ASSERT_TRUE(QDir().rename(built, game));
    ASSERT_TRUE(QFileInfo(game + "/media/dawn.avi").isFile());
    ASSERT_TRUE(QFileInfo(game + "/TimGM6mb.sf2").isFile());

    // Hide every system copy of the libraries and plugins the game carries.
    const QRegularExpressionMatch qtCore = QRegularExpression("libQt6Core\\.so\\.6 => (\\S+)")
                                               .match(run("ldd", {QStringLiteral(FABLECRAFT_PLAYER)}).out);
    ASSERT_TRUE(qtCore.hasMatch());
    const QString libDir = QFileInfo(QFileInfo(qtCore.captured(1)).canonicalFilePath()).absolutePath();
    const QString script = QStringLiteral(R"(
set -e
empty="$1"; game="$2"; libdir="$3"
: > "$empty/none"; mkdir -p "$empty/dir"
hidden=0
for f in $(find "$libdir" -maxdepth 1 -type f \( -name 'libQt6*.so*' -o -name 'libfluidsynth*.so*' -o -name 'libgst*.so*' \)); do
  mount --bind "$empty/none" "$f"; hidden=$((hidden+1))
done
for d in "$libdir/qt6/plugins" "$libdir/gstreamer-1.0" /usr/share/sounds/sf2; do
  [ -d "$d" ] && mount --bind "$empty/dir" "$d"
done
echo "hidden $hidden"
export HOME="$empty" XDG_CACHE_HOME="$empty/cache" XDG_RUNTIME_DIR="$empty"
unset QT_QPA_PLATFORM QT_PLUGIN_PATH LD_LIBRARY_PATH
exec xvfb-run -a -s "-screen 0 1024x768x24" sh -c '
  cd /
  "$1/Vellum Tale" > "$2/game.log" 2>&1 &
  pid=$!
  for i in $(seq 1 100); do
    if xwininfo -root -tree | grep -q "\"Vellum Tale\""; then echo "window found"; break; fi
    kill -0 $pid 2>/dev/null || { echo "game ended"; break; }
    sleep 0.2
  done
  kill $pid 2>/dev/null || true
  wait $pid 2>/dev/null || true
' sh "$game" "$empty"
)");
    QTemporaryDir scratch;
    timer.restart();
    r = run(unshare, ns + QStringList{"sh", "-c", script, "sh", scratch.path(), game, libDir}, 60000);
    const QString log = QString::fromUtf8(fc::test::readFile(scratch.path() + "/game.log"));
    EXPECT_TRUE(r.out.contains("window found")) << r.out.toStdString() << r.err.toStdString() << log.toStdString();
    EXPECT_FALSE(r.out.contains("hidden 0")) << r.out.toStdString();
    std::printf("[ standalone ] %s in %lld ms\n", qPrintable(r.out.simplified()), timer.elapsed());
}
