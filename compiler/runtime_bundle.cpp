#include "compiler/runtime_bundle.h"

#include "engine/media_module.h"
#include "engine/soundfont.h"

#include <QDir>
#include <QFileInfo>
#include <QLibraryInfo>
#include <QProcess>
#include <QRegularExpression>

namespace fc {

namespace {

// Qt plugins the player loads: a folder and the file names in it ("" = all).
struct PluginGroup
{
    const char *folder;
    QStringList files;
};

QList<PluginGroup> qtPluginGroups()
{
    return {
        {"platforms", {QStringLiteral("libqxcb.so"), QStringLiteral("libqoffscreen.so"),
                       QStringLiteral("libqwayland-generic.so"), QStringLiteral("libqwayland-egl.so")}},
        {"xcbglintegrations", {}},
        {"wayland-shell-integration", {}},
        {"wayland-decoration-client", {}},
        {"wayland-graphics-integration-client", {}},
        {"platforminputcontexts", {}},
        {"imageformats", {}},
        {"iconengines", {}},
        {"multimedia", {QStringLiteral("libgstreamermediaplugin.so")}},
    };
}

// GStreamer plugins that play the quests' sounds: reading files, finding the
// type, WAV and MP3, conversion, audio output, and the video conversion the
// media back-end builds into every pipeline.
QStringList soundPlugins()
{
    return {QStringLiteral("coreelements"), QStringLiteral("playback"), QStringLiteral("typefindfunctions"),
            QStringLiteral("app"), QStringLiteral("pbtypes"), QStringLiteral("gio"),
            QStringLiteral("audioconvert"), QStringLiteral("audioresample"), QStringLiteral("audiorate"),
            QStringLiteral("volume"), QStringLiteral("autodetect"), QStringLiteral("pulseaudio"),
            QStringLiteral("alsa"), QStringLiteral("wavparse"), QStringLiteral("audioparsers"),
            QStringLiteral("id3demux"), QStringLiteral("apetag"), QStringLiteral("icydemux"),
            QStringLiteral("mpg123"), QStringLiteral("videoconvertscale"), QStringLiteral("videoconvert"),
            QStringLiteral("videoscale")};
}

// ... and its movies: the containers the media rules admit (AVI, MP4,
// Matroska, Ogg), their decoders (MPEG-4 and most others through libav),
// and video output.
QStringList moviePlugins()
{
    return {QStringLiteral("avi"),        QStringLiteral("isomp4"),      QStringLiteral("matroska"),
            QStringLiteral("ogg"),        QStringLiteral("theora"),      QStringLiteral("vorbis"),
            QStringLiteral("vpx"),        QStringLiteral("libav"),       QStringLiteral("videorate"),
            QStringLiteral("deinterlace"), QStringLiteral("videofilter"), QStringLiteral("opengl"),
            QStringLiteral("ximagesink"), QStringLiteral("xvimagesink")};
}

} // namespace

QStringList legacyRuntimeFiles()
{
    return {QStringLiteral("olepro32.dll"), QStringLiteral("oleaut32.dll"), QStringLiteral("MSWINSCK.OCX"),
            QStringLiteral("MSINET.OCX"),   QStringLiteral("msdxm.OCX"),    QStringLiteral("MSCOMCTL.OCX"),
            QStringLiteral("COMDLG32.OCX"), QStringLiteral("COMCAT.dll"),   QStringLiteral("asycfilt.dll")};
}

bool isBaseSystemLibrary(const QString &soname)
{
    // The C library and the loader, the compiler's runtime, and what talks
    // to the kernel, the X server, the GPU driver and the font setup.
    static const QRegularExpression base(QStringLiteral(
        "^(ld-linux.*|libc|libm|libmvec|libdl|libpthread|librt|libresolv|libutil|libnsl|libanl|libcrypt"
        "|libstdc\\+\\+|libgcc_s|libatomic"
        "|libGL|libGLX|libGLX_mesa|libGLdispatch|libEGL|libEGL_mesa|libOpenGL|libGLESv2|libglapi|libgbm"
        "|libdrm|libdrm_.*|libvulkan"
        "|libX11|libX11-xcb|libxcb|libXau|libXdmcp"
        "|libfontconfig|libfreetype|libexpat|libz|libudev|libsystemd|libselinux|libcap)\\.so(\\..*)?$"));
    return base.match(soname).hasMatch();
}

QMap<QString, QString> resolveLibraries(const QStringList &elfFiles, QStringList *unresolved)
{
    QMap<QString, QString> found;
    if (elfFiles.isEmpty())
        return found;
    QProcess ldd;
    ldd.setProcessChannelMode(QProcess::SeparateChannels);
    // The loader must resolve as the player would at run time, not with the
    // caller's search path.
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.remove(QStringLiteral("LD_LIBRARY_PATH"));
    env.remove(QStringLiteral("LD_PRELOAD"));
    ldd.setProcessEnvironment(env);
    ldd.start(QStringLiteral("ldd"), elfFiles);
    if (!ldd.waitForFinished(60000)) {
        if (unresolved)
            *unresolved << QStringLiteral("ldd: %1").arg(ldd.errorString());
        return found;
    }
    static const QRegularExpression line(QStringLiteral("^\\s*(\\S+)\\s*=>\\s*(.*?)\\s*(\\(0x[0-9a-f]+\\))?\\s*$"));
    const QString out = QString::fromLocal8Bit(ldd.readAllStandardOutput());
    for (const QString &l : out.split(QLatin1Char('\n'))) {
        const QRegularExpressionMatch m = line.match(l);
        if (!m.hasMatch())
            continue;
        const QString soname = m.captured(1);
        const QString path = m.captured(2);
        if (path == QLatin1String("not found") || path.isEmpty()) {
            if (unresolved && !unresolved->contains(soname + QStringLiteral(": not found")))
                *unresolved << soname + QStringLiteral(": not found");
            continue;
        }
        if (!found.contains(soname))
            found.insert(soname, path);
    }
    return found;
}

RuntimeBundle collectRuntime(const QString &programFile, const QString &programDir, const RuntimeNeeds &needs)
{
    RuntimeBundle bundle;
    QStringList elfFiles{programFile};
    // The media back-ends' module, which the packager copies beside the
    // program, brings Qt Multimedia and FluidSynth.
    const QString mediaModule = MediaModule::find(QFileInfo(programFile).absolutePath());
    if (!mediaModule.isEmpty())
        elfFiles << mediaModule;

    // Qt plugins.
    const QString qtPlugins = QLibraryInfo::path(QLibraryInfo::PluginsPath);
    for (const PluginGroup &group : qtPluginGroups()) {
        const QDir dir(qtPlugins + QLatin1Char('/') + QLatin1String(group.folder));
        if (QLatin1String(group.folder) == QLatin1String("multimedia") && !needs.sound && !needs.movie)
            continue; // nothing to play but music, which does not go through it
        const QStringList names = group.files.isEmpty() ? dir.entryList({QStringLiteral("*.so")}, QDir::Files)
                                                        : group.files;
        for (const QString &name : names) {
            const QString source = dir.filePath(name);
            if (!QFileInfo(source).isFile())
                continue; // a plugin this system does not have (wayland, ...)
            bundle.files.append({source, QStringLiteral("lib/qt6/plugins/%1/%2").arg(QLatin1String(group.folder), name)});
            elfFiles << source;
        }
    }
    bundle.generated.insert(QStringLiteral("qt.conf"), QByteArrayLiteral("[Paths]\nPrefix=.\nPlugins=lib/qt6/plugins\n"));

    // GStreamer plugins, from the folder beside the GStreamer library the
    // multimedia plugin uses.
    const QMap<QString, QString> first = resolveLibraries(elfFiles);
    const QString gstCore = first.value(QStringLiteral("libgstreamer-1.0.so.0"));
    QStringList plugins;
    if (needs.sound || needs.movie)
        plugins = soundPlugins();
    if (needs.movie)
        plugins += moviePlugins();
    if (plugins.isEmpty()) {
        // No GStreamer at all.
    } else if (!gstCore.isEmpty()) {
        const QDir gstDir(QFileInfo(gstCore).absolutePath() + QStringLiteral("/gstreamer-1.0"));
        for (const QString &plugin : plugins) {
            const QString name = QStringLiteral("libgst%1.so").arg(plugin);
            const QString source = gstDir.filePath(name);
            if (!QFileInfo(source).isFile())
                continue;
            bundle.files.append({source, QStringLiteral("lib/gstreamer-1.0/") + name});
            elfFiles << source;
        }
    } else {
        bundle.missing << QStringLiteral("GStreamer: not found; sounds and movies will not play");
    }

    // The libraries of the program and of every plugin.
    const QMap<QString, QString> libs = resolveLibraries(elfFiles, &bundle.missing);
    for (auto it = libs.cbegin(); it != libs.cend(); ++it) {
        if (isBaseSystemLibrary(it.key()))
            continue;
        bundle.files.append({it.value(), QStringLiteral("lib/") + it.key()});
    }

    // The SoundFont, found as the player finds it.
    const QString soundFont = findSoundFont(programDir);
    if (soundFont.isEmpty())
        bundle.missing << QStringLiteral("%1: not found; music will not play").arg(QLatin1String(kSoundFontFileName));
    else
        bundle.files.append({soundFont, QLatin1String(kSoundFontFileName)});

    for (const QString &name : legacyRuntimeFiles()) {
        const QString source = QDir(programDir).filePath(name);
        if (QFileInfo(source).isFile())
            bundle.files.append({source, name});
    }
    return bundle;
}

} // namespace fc
