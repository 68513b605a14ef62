// What `cmake --install` puts under a prefix, and the installed programs
// finding their data there.
#include "tests/support/testsupport.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

struct Result
{
    int status = -1;
    QByteArray out, err;
};

Result run(const QString &program, const QStringList &args, const QStringList &env = {})
{
    QProcess p;
    QProcessEnvironment e = QProcessEnvironment::systemEnvironment();
    for (const QString &kv : env)
        e.insert(kv.section('=', 0, 0), kv.section('=', 1));
    p.setProcessEnvironment(e);
    p.start(program, args);
    p.closeWriteChannel();
    EXPECT_TRUE(p.waitForFinished(60000)) << program.toStdString();
    return {p.exitCode(), p.readAllStandardOutput(), p.readAllStandardError()};
}

class Install : public ::testing::Test
{
protected:
    static void SetUpTestSuite()
    {
        prefix = new QTemporaryDir;
        const Result r = run(QStringLiteral(CMAKE_COMMAND),
                             {"--install", QStringLiteral(BUILD_DIR), "--prefix", prefix->path()});
        ASSERT_EQ(r.status, 0) << r.err.constData();
    }
    static void TearDownTestSuite() { delete prefix; }
    static QString at(const QString &relative) { return prefix->path() + QLatin1Char('/') + relative; }
    static QTemporaryDir *prefix;
};
QTemporaryDir *Install::prefix = nullptr;

} // namespace

TEST_F(Install, FilesGoToTheUsualPlaces)
{
    for (const char *file : {"bin/fablecraft", "bin/fablecraft-cli"})
        EXPECT_TRUE(QFileInfo(at(file)).isExecutable()) << file;
    for (const char *file :
         {"share/fablecraft/VellumAdventure.qst", "share/fablecraft/media/dawn.avi", "share/fablecraft/media/hero.png",
          "share/applications/fablecraft.desktop", "share/mime/packages/fablecraft.xml",
          "share/icons/hicolor/16x16/apps/fablecraft.png", "share/icons/hicolor/48x48/apps/fablecraft.png",
          "share/icons/hicolor/256x256/apps/fablecraft.png",
          "share/icons/hicolor/48x48/mimetypes/application-x-fablecraft-quest.png",
          "share/man/man6/fablecraft.6.gz", "share/doc/fablecraft/copyright", "share/doc/fablecraft/changelog.gz"})
        EXPECT_TRUE(QFileInfo(at(file)).isFile()) << file;
    const QByteArray desktop = fc::test::readFile(at("share/applications/fablecraft.desktop"));
    EXPECT_TRUE(desktop.contains("Exec=fablecraft %f\n"));
    EXPECT_TRUE(desktop.contains("MimeType=application/x-fablecraft-quest;\n"));
    const QByteArray mime = fc::test::readFile(at("share/mime/packages/fablecraft.xml"));
    EXPECT_TRUE(mime.contains("<glob pattern=\"*.qst\"/>"));
    EXPECT_TRUE(mime.contains("<glob pattern=\"*.sav\"/>"));
    const QString validate = QStandardPaths::findExecutable("desktop-file-validate");
    if (!validate.isEmpty()) {
        const Result r = run(validate, {at("share/applications/fablecraft.desktop")});
        EXPECT_EQ(r.status, 0) << r.out.constData() << r.err.constData();
    }
}

TEST_F(Install, InstalledProgramsFindTheDefaultAdventure)
{
    // "&New Game" of the installed player, through the text player.
    const Result r = run(at("bin/fablecraft-cli"), {"play", "--json", "-", "new-game"});
    ASSERT_EQ(r.status, 0) << r.err.constData();
    const QJsonObject game = QJsonDocument::fromJson(r.out).object();
    EXPECT_EQ(game["quest"].toString(), at("share/fablecraft/VellumAdventure.qst"));
    EXPECT_FALSE(game["room"].toString().isEmpty());
}

TEST_F(Install, HelpAndVersionNeedNoDisplay)
{
    const QStringList noDisplay = {"DISPLAY=", "WAYLAND_DISPLAY=", "QT_QPA_PLATFORM=xcb"};
    Result r = run(at("bin/fablecraft"), {"--version"}, noDisplay);
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, "Fablecraft 5.6\n");
    r = run(at("bin/fablecraft"), {"--help"}, noDisplay);
    EXPECT_EQ(r.status, 0);
    EXPECT_TRUE(r.out.contains("[QUEST.qst]")) << r.out.constData();
    EXPECT_TRUE(r.out.contains("--version"));
    EXPECT_TRUE(r.out.contains("--edit"));
}

// The installed player loads its media module from lib/fablecraft after its
// first frame; a copy of the player without the module plays on, silently,
// and says why.
TEST_F(Install, ThePlayerLoadsItsMediaModuleAndRunsWithoutIt)
{
    EXPECT_TRUE(QFileInfo(at("lib/fablecraft/fablecraft-media.so")).isFile());
    // The program quits a second after its first frame.
    const QStringList report = {"FABLECRAFT_FIRST_FRAME_REPORT=1", "QT_QPA_PLATFORM=offscreen"};
    Result r = run(at("bin/fablecraft"), {}, report);
    EXPECT_EQ(r.status, 0) << r.err.constData();
    EXPECT_TRUE(r.out.startsWith("first-frame ")) << r.out.constData();
    EXPECT_FALSE(r.err.contains("Sound, music and movies are off")) << r.err.constData();

    QTemporaryDir alone;
    const QString copy = alone.filePath(QStringLiteral("fablecraft"));
    ASSERT_TRUE(QFile::copy(at("bin/fablecraft"), copy));
    r = run(copy, {}, report);
    EXPECT_EQ(r.status, 0) << r.err.constData();
    EXPECT_TRUE(r.out.startsWith("first-frame ")) << r.out.constData();
    EXPECT_TRUE(r.err.contains("Sound, music and movies are off: the media module fablecraft-media.so was not found"))
        << r.err.constData();
}
