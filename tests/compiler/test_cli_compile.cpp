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

#include <cstring>

#include <csignal>
#include <sys/resource.h>
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

// Every file under dir, as paths relative to it.
QStringList filesUnder(const QString &dir)
{
    QStringList files;
    QDirIterator it(dir, QDir::Files | QDir::Hidden | QDir::System, QDirIterator::Subdirectories);
    while (it.hasNext())
        files << QDir(dir).relativeFilePath(it.next());
    files.sort();
    return files;
}

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
    // Without --runtime the only library is the player's media module.
    EXPECT_EQ(QDir(tmp.path() + "/Vellum/lib").entryList(QDir::NoDotAndDotDot | QDir::AllEntries | QDir::Hidden),
              QStringList({"fablecraft-media.so"}));

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

// A stranger's quest naming private and system files as its media: none of
// them is copied, each is listed with the reason, and the game is written.
TEST(CliCompile, HostileQuestGetsNoPrivateOrSystemFileIntoTheGame)
{
    QTemporaryDir tmp;
    const QString home = tmp.filePath("home");
    QDir().mkpath(home + "/.ssh");
    QDir().mkpath(tmp.filePath("keys"));
    QDir().mkpath(tmp.filePath("proj"));
    fc::test::writeFile(home + "/.ssh/id_rsa", "PRIVATE KEY SECRET-1");
    fc::test::writeFile(tmp.filePath("keys/deploy"), "PRIVATE KEY SECRET-2");
    fc::test::writeFile(tmp.filePath("secret.txt"), "SECRET-3");
    QFile::link(tmp.filePath("keys/deploy"), tmp.filePath("proj/pic.png"));
    const QString quest = tmp.filePath("proj/q.qst");
    fc::test::writeFile(quest, "[Story Info]\r\nTitle=Trap\r\n"
                               "[1]\r\nImage=/etc/passwd\r\nMp3=" + home.toUtf8() + "/.ssh/id_rsa\r\n"
                               "Movie=/proc/self/environ\r\n"
                               "[2]\r\nImage=../secret.txt\r\nBattleImage=pic.png\r\n");
    const ProcessRun r = compile({quest, "G", "--into", tmp.filePath("out"), "--media"});
    EXPECT_EQ(r.status, 0) << r.err.toStdString();
    EXPECT_TRUE(r.out.contains("These files could not be copied:\n"
                               "/etc/passwd (page 1, Image): system file\n"
                               "/proc/self/environ (page 1, Movie): system file\n"
                               + home + "/.ssh/id_rsa (page 1, Mp3): hidden file\n"
                               "../secret.txt (page 2, Image): not a picture\n"
                               "pic.png (page 2, BattleImage): not a picture\n"))
        << r.out.toStdString();
    const QString game = tmp.filePath("out/G");
    EXPECT_EQ(filesUnder(game), QStringList({".fablecraft-game", "G", "G.qst", "game.dat", "lib/fablecraft-media.so"}));
    EXPECT_EQ(fc::test::readFile(game + "/G.qst"), fc::test::readFile(quest)); // values left as they were
}

TEST(CliCompile, FilesFromOutsideTheQuestsFolderNeedAllowOutside)
{
    QTemporaryDir tmp;
    QDir().mkpath(tmp.filePath("proj"));
    QDir().mkpath(tmp.filePath("shared"));
    const QString outside = tmp.filePath("shared/bell.mp3");
    QFile::copy(programDir() + "/media/bell.mp3", outside);
    QFile::copy(programDir() + "/media/cave.png", tmp.filePath("proj/cave.png"));
    const QString quest = tmp.filePath("proj/q.qst");
    fc::test::writeFile(quest, "[1]\r\nImage=cave.png\r\nMp3=../shared/bell.mp3\r\n");
    ProcessRun r = compile({quest, "G", "--into", tmp.filePath("out"), "--media"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "These files from outside the quest's folder will be copied into the game: \n" + outside
                         + "\n\nNothing was written: copying them needs the author's consent.\n"
                           "Give --allow-outside to copy them.\n");
    EXPECT_FALSE(QFileInfo::exists(tmp.filePath("out")));

    r = compile({quest, "G", "--into", tmp.filePath("out"), "--media", "--allow-outside"});
    EXPECT_EQ(r.status, 0) << r.err.toStdString();
    EXPECT_EQ(filesUnder(tmp.filePath("out/G")),
              QStringList({".fablecraft-game", "G", "G.qst", "game.dat", "lib/fablecraft-media.so", "media/bell.mp3",
                           "media/cave.png"}));
}

// Compiling into the quest's own folder is refused before anything is
// written: the author's media keep their names and contents.
TEST(CliCompile, QuestsOwnFolderIsRefused)
{
    QTemporaryDir tmp;
    QDir().mkpath(tmp.filePath("proj/media"));
    QDir().mkpath(tmp.filePath("elsewhere"));
    QFile::copy(programDir() + "/media/cave.png", tmp.filePath("proj/media/pic.png"));
    QFile::copy(programDir() + "/media/hut.png", tmp.filePath("elsewhere/pic.png"));
    const QString quest = tmp.filePath("proj/story.qst");
    fc::test::writeFile(quest, "[1]\r\nImage=media/pic.png\r\n[2]\r\nImage=../elsewhere/pic.png\r\n");
    const QStringList before = filesUnder(tmp.filePath("proj"));
    const ProcessRun r = compile({quest, "proj", "--into", tmp.path(), "--media", "--allow-outside", "--replace"});
    EXPECT_EQ(r.status, 1);
    EXPECT_TRUE(r.err.startsWith("Could not write the game folder " + tmp.path() + "/proj: it is the quest's own folder"))
        << r.err.toStdString();
    EXPECT_EQ(filesUnder(tmp.filePath("proj")), before);
    EXPECT_EQ(fc::test::readFile(tmp.filePath("proj/media/pic.png")), fc::test::readFile(programDir() + "/media/cave.png"));
}

// The quest inside the game folder is never overwritten or deleted, and
// links in the game folder are never written through.
TEST(CliCompile, QuestInTheGameFolderAndLinksInIt)
{
    const QByteArray questBytes = fc::test::readFile(defaultAdventure());
    for (const char *questName : {"N", "game.dat", ".N.qst.part"}) {
        SCOPED_TRACE(questName);
        QTemporaryDir tmp;
        QDir().mkpath(tmp.filePath("N"));
        const QString quest = tmp.filePath("N/") + questName;
        fc::test::writeFile(quest, questBytes);
        const ProcessRun r = compile({quest, "N", "--into", tmp.path()});
        EXPECT_EQ(r.status, 1);
        EXPECT_TRUE(r.err.startsWith("Could not write the game folder " + tmp.path() + "/N: it is the quest's own folder"))
            << r.err.toStdString();
        EXPECT_EQ(fc::test::readFile(quest), questBytes);
    }

    QTemporaryDir tmp;
    const QString outside = tmp.filePath("outside.txt");
    fc::test::writeFile(outside, "precious");
    for (const char *name : {"N", "game.dat", "N.qst", ".fablecraft-game-link"}) {
        SCOPED_TRACE(name);
        QDir(tmp.filePath("G")).removeRecursively();
        QDir().mkpath(tmp.filePath("G/media"));
        QFile::link(outside, tmp.filePath("G/") + name);
        QFile::link(outside, tmp.filePath("G/media/dawn.png"));
        const ProcessRun r = compile({defaultAdventure(), "G", "--into", tmp.path(), "--replace"});
        EXPECT_EQ(r.status, 0) << r.err.toStdString();
        EXPECT_EQ(fc::test::readFile(outside), "precious");
        EXPECT_EQ(fc::test::readFile(tmp.filePath("G/G")), fc::test::readFile(FABLECRAFT_PLAYER));
    }
}

TEST(CliCompile, AFolderNotOursIsReplacedOnlyWithReplace)
{
    QTemporaryDir tmp;
    QDir().mkpath(tmp.filePath("G"));
    fc::test::writeFile(tmp.filePath("G/game.dat"), "someone's");
    ProcessRun r = compile({defaultAdventure(), "G", "--into", tmp.path()});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "Could not write the game folder " + tmp.path()
                         + "/G: it exists and is not a game made by Fablecraft\nGive --replace to replace it.\n");
    EXPECT_EQ(fc::test::readFile(tmp.filePath("G/game.dat")), "someone's");
    r = compile({defaultAdventure(), "G", "--into", tmp.path(), "--replace"});
    EXPECT_EQ(r.status, 0) << r.err.toStdString();
    EXPECT_EQ(filesUnder(tmp.filePath("G")), QStringList({".fablecraft-game", "G", "G.qst", "game.dat", "lib/fablecraft-media.so"}));
    r = compile({defaultAdventure(), "G", "--into", tmp.path()}); // ours now: replaced without asking
    EXPECT_EQ(r.status, 0) << r.err.toStdString();
}

// A disk that fills up: the system's reason is named and nothing is left.
// The child gets a file-size limit, which makes writes fail the way a full
// disk does (with "File too large" instead of "No space left on device").
TEST(CliCompile, FullDiskNamesTheCauseAndLeavesNothing)
{
    QTemporaryDir tmp;
    QProcess p;
    p.setChildProcessModifier([] {
        ::signal(SIGXFSZ, SIG_IGN); // a failing write instead of the end of the program
        struct rlimit limit = {512 * 1024, 512 * 1024};
        ::setrlimit(RLIMIT_FSIZE, &limit);
    });
    p.start(QStringLiteral(FABLECRAFT_CLI), {"compile", defaultAdventure(), "G", "--into", tmp.filePath("out")});
    ASSERT_TRUE(p.waitForFinished(120000));
    const QString err = QString::fromUtf8(p.readAllStandardError());
    EXPECT_EQ(p.exitCode(), 1);
    EXPECT_EQ(err, "Could not copy the program " + programDir() + "/fablecraft to " + tmp.filePath("out/G/G") + ": "
                       + QString::fromLocal8Bit(std::strerror(EFBIG)) + "\n");
    EXPECT_FALSE(QFileInfo::exists(tmp.filePath("out")));
}

// On a terminal the tool says each step on a line of its own.
TEST(CliCompile, StepsOnATerminal)
{
    const QString script = QStandardPaths::findExecutable("script");
    if (script.isEmpty())
        GTEST_SKIP() << "needs script (util-linux) for a terminal";
    QTemporaryDir tmp;
    const QString command = QStringLiteral("'%1' compile '%2' G --into '%3' --runtime 2>&1")
                                .arg(QStringLiteral(FABLECRAFT_CLI), defaultAdventure(), tmp.path());
    const ProcessRun r = run(script, {"-qec", command, "/dev/null"});
    EXPECT_EQ(r.status, 0) << r.out.toStdString();
    QStringList lines = r.out.split(QRegularExpression("\r?\n"), Qt::SkipEmptyParts);
    lines = lines.filter(QRegularExpression("\\.\\.\\.$"));
    EXPECT_EQ(lines, QStringList({"Finding the runtime files...", "Copying the program...", "Copying the quest...",
                                  "Writing game.dat...", "Copying the runtime files...", "Moving the game into place..."}))
        << r.out.toStdString();
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
exec xvfb-run -a -s "-screen 0 1280x1024x24" sh -c '
  cd /
  "$1/Vellum Tale" > "$2/game.log" 2>&1 &
  pid=$!
  for i in $(seq 1 100); do
    line=$(xwininfo -root -tree | grep -F "\"The Vellum Adventure: The Unwritten Morning\": (\"Vellum Tale\"")
    if [ -n "$line" ]; then echo "window found: $line"; break; fi
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
    // Titled with the quest's Title, at the window's normal size (at least
    // 1040x680; not squashed to 440 pixels).
    const QRegularExpressionMatch size = QRegularExpression(" (\\d+)x(\\d+)\\+").match(r.out);
    ASSERT_TRUE(size.hasMatch()) << r.out.toStdString();
    EXPECT_GE(size.captured(1).toInt(), 1040) << r.out.toStdString();
    EXPECT_EQ(size.captured(2).toInt(), 680) << r.out.toStdString();
    EXPECT_FALSE(r.out.contains("hidden 0")) << r.out.toStdString();
    std::printf("[ standalone ] %s in %lld ms\n", qPrintable(r.out.simplified()), timer.elapsed());
}
