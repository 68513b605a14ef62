// The runtime files found for the real player program.
#include "compiler/runtime_bundle.h"
#include "engine/media_module.h"
#include "engine/soundfont.h"
#include "tests/support/testsupport.h"

#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QSet>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <gtest/gtest.h>

TEST(RuntimeBundle, CarriesQtFluidSynthGStreamerPluginsAndSoundFont)
{
    QTemporaryDir programDir;
    fc::test::writeFile(programDir.filePath("COMCAT.dll"), "legacy");
    const fc::RuntimeBundle bundle = fc::collectRuntime(QStringLiteral(FABLECRAFT_PLAYER), programDir.path());
    QSet<QString> targets;
    for (const fc::BundleFile &f : bundle.files) {
        EXPECT_TRUE(QFileInfo(f.source).isFile()) << f.source.toStdString();
        targets.insert(f.target);
    }
    for (const char *needed : {"lib/libQt6Core.so.6", "lib/libQt6Widgets.so.6", "lib/libQt6Multimedia.so.6",
                               "lib/libfluidsynth.so.3", "lib/libgstreamer-1.0.so.0",
                               "lib/qt6/plugins/platforms/libqxcb.so", "lib/qt6/plugins/imageformats/libqjpeg.so",
                               "lib/qt6/plugins/multimedia/libgstreamermediaplugin.so",
                               "lib/gstreamer-1.0/libgstwavparse.so", "lib/gstreamer-1.0/libgstavi.so",
                               "lib/gstreamer-1.0/libgstplayback.so", "COMCAT.dll"})
        EXPECT_TRUE(targets.contains(QString::fromLatin1(needed))) << needed;
    // Libraries the plugins need come along (the xcb platform's own xcb helpers).
    EXPECT_TRUE(targets.contains("lib/libxcb-icccm.so.4"));
    for (const QString &t : targets)
        EXPECT_FALSE(fc::isBaseSystemLibrary(QFileInfo(t).fileName())) << t.toStdString();
    if (!fc::findSoundFont({}).isEmpty()) {
        EXPECT_TRUE(targets.contains(fc::kSoundFontFileName));
    }
    EXPECT_EQ(bundle.generated.value("qt.conf"), "[Paths]\nPrefix=.\nPlugins=lib/qt6/plugins\n");
    EXPECT_TRUE(bundle.missing.isEmpty()) << bundle.missing.join(", ").toStdString();

    // The program itself loads none of the media libraries: they come with
    // its media module.
    const QMap<QString, QString> own = fc::resolveLibraries({QStringLiteral(FABLECRAFT_PLAYER)});
    for (const char *media : {"libQt6Multimedia.so.6", "libQt6MultimediaWidgets.so.6", "libfluidsynth.so.3",
                              "libsndfile.so.1", "libpulse.so.0"})
        EXPECT_FALSE(own.contains(QString::fromLatin1(media))) << media;
}

TEST(RuntimeBundle, BaseSystemLibrariesStayOut)
{
    const struct
    {
        const char *soname;
        bool base;
    } cases[] = {
        {"libc.so.6", true},         {"ld-linux-x86-64.so.2", true}, {"libstdc++.so.6", true},
        {"libGL.so.1", true},        {"libGLX_mesa.so.0", true},     {"libdrm.so.2", true},
        {"libX11.so.6", true},       {"libxcb.so.1", true},          {"libfontconfig.so.1", true},
        {"libQt6Core.so.6", false},  {"libxcb-icccm.so.4", false},   {"libfluidsynth.so.3", false},
        {"libgstreamer-1.0.so.0", false}, {"libcapstone.so.4", false}, {"libmp3lame.so.0", false},
    };
    for (const auto &c : cases)
        EXPECT_EQ(fc::isBaseSystemLibrary(QString::fromLatin1(c.soname)), c.base) << c.soname;
}

TEST(RuntimeBundle, LoaderResolutionListsUnresolvedNames)
{
    QStringList unresolved;
    const QMap<QString, QString> libs = fc::resolveLibraries({QStringLiteral(FABLECRAFT_PLAYER)}, &unresolved);
    EXPECT_TRUE(libs.value("libQt6Gui.so.6").endsWith("/libQt6Gui.so.6"));
    EXPECT_TRUE(unresolved.isEmpty());
}

TEST(SoundFont, GameFolderComesFirst)
{
    QTemporaryDir dir;
    const QStringList candidates = fc::soundFontCandidates(dir.path());
    ASSERT_GE(candidates.size(), 3);
    EXPECT_EQ(candidates[0], dir.filePath(fc::kSoundFontFileName));
    fc::test::writeFile(dir.filePath(fc::kSoundFontFileName), "sf2");
    EXPECT_EQ(fc::findSoundFont(dir.path()), dir.filePath(fc::kSoundFontFileName));
}

// Only what the quest's media need comes along: no GStreamer without sounds
// and movies, no video demuxers and decoders without movies.
TEST(RuntimeBundle, CarriesOnlyWhatTheMediaNeed)
{
    QTemporaryDir programDir;
    const struct
    {
        fc::RuntimeNeeds needs;
        bool gstreamer, mp3, video;
    } cases[] = {
        {{false, false}, false, false, false},
        {{true, false}, true, true, false},
        {{true, true}, true, true, true},
        {{false, true}, true, true, true},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(testing::Message() << "sound " << c.needs.sound << ", movie " << c.needs.movie);
        const fc::RuntimeBundle bundle =
            fc::collectRuntime(QStringLiteral(FABLECRAFT_PLAYER), programDir.path(), c.needs);
        QSet<QString> targets;
        for (const fc::BundleFile &f : bundle.files)
            targets.insert(f.target);
        EXPECT_TRUE(targets.contains("lib/libQt6Widgets.so.6"));
        EXPECT_TRUE(targets.contains("lib/libfluidsynth.so.3")); // music always plays
        EXPECT_EQ(targets.contains("lib/libgstreamer-1.0.so.0"), c.gstreamer);
        EXPECT_EQ(targets.contains("lib/qt6/plugins/multimedia/libgstreamermediaplugin.so"), c.gstreamer);
        EXPECT_EQ(targets.contains("lib/gstreamer-1.0/libgstmpg123.so"), c.mp3);
        EXPECT_EQ(targets.contains("lib/gstreamer-1.0/libgstavi.so"), c.video);
        EXPECT_EQ(targets.contains("lib/gstreamer-1.0/libgstlibav.so"), c.video);
        EXPECT_EQ(targets.contains("lib/libavcodec.so.59") || targets.contains("lib/libavcodec.so.60")
                      || targets.contains("lib/libavcodec.so.58"),
                  c.video);
        EXPECT_TRUE(bundle.missing.isEmpty()) << bundle.missing.join(", ").toStdString();
    }
}

// The run paths of the program and its media module name the game folder's
// lib/ only: an empty entry would make the loader look in the working folder.
TEST(RuntimeBundle, RunPathsNameTheGameFolderOnly)
{
    const QString readelf = QStandardPaths::findExecutable(QStringLiteral("readelf"));
    if (readelf.isEmpty())
        GTEST_SKIP() << "needs readelf (binutils)";
    const QString player = QStringLiteral(FABLECRAFT_PLAYER);
    const struct
    {
        QString file;
        QString runPath;
    } cases[] = {
        {player, QStringLiteral("$ORIGIN/lib")},
        {fc::MediaModule::find(QFileInfo(player).absolutePath()), QStringLiteral("$ORIGIN")},
    };
    for (const auto &c : cases) {
        ASSERT_FALSE(c.file.isEmpty());
        QProcess p;
        p.start(readelf, {QStringLiteral("-d"), c.file});
        ASSERT_TRUE(p.waitForFinished(30000));
        const QString out = QString::fromLocal8Bit(p.readAllStandardOutput());
        const QRegularExpressionMatch m = QRegularExpression(QStringLiteral("\\((?:RPATH|RUNPATH)\\).*\\[(.*)\\]")).match(out);
        ASSERT_TRUE(m.hasMatch()) << out.toStdString();
        EXPECT_EQ(m.captured(1), c.runPath) << c.file.toStdString();
    }
}
