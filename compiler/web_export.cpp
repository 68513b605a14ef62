#include "compiler/web_export.h"

#include "compiler/media_rules.h"
#include "compiler/packager.h"
#include "engine/media_module.h"
#include "engine/soundfont.h"
#include "storage/profile_store.h"
#include "storage/quest_format.h"

#include <QBuffer>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QImage>
#include <QImageReader>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRegularExpression>
#include <QSaveFile>
#include <QStandardPaths>
#include <QTemporaryDir>


static void initWebPlayerResources()
{
    Q_INIT_RESOURCE(webplayer);
}

namespace fc {

namespace {

constexpr qint64 kMaxQuestBytes = 64 * 1024 * 1024;
// A page must stay loadable: larger media files are left out.
constexpr qint64 kMaxMediaBytes = 256 * 1024 * 1024;
const QByteArray kGeneratorMark = QByteArrayLiteral("<meta name=\"generator\" content=\"Fablecraft 2004\">");

// The player's modules in the order they depend on each other.
const char *const kModules[] = {"lib/ini.js", "lib/random.js", "lib/rules.js", "lib/savedgame.js", "lib/game.js",
                                "player/player.js"};

QByteArray resource(const QString &name)
{
    initWebPlayerResources();
    QFile f(QStringLiteral(":/web/") + name);
    if (!f.open(QIODevice::ReadOnly))
        return {};
    return f.readAll();
}

QString dataUrl(const char *mime, const QByteArray &bytes)
{
    return QStringLiteral("data:") + QLatin1String(mime) + QStringLiteral(";base64,") + QString::fromLatin1(bytes.toBase64());
}

std::optional<QString> pictureData(const QString &path, QString *why)
{
    QImageReader reader(path);
    const QByteArray format = reader.format().toLower();
    static const QHash<QByteArray, const char *> asIs = {
        {"png", "image/png"}, {"jpeg", "image/jpeg"}, {"jpg", "image/jpeg"}, {"gif", "image/gif"}, {"webp", "image/webp"}};
    if (asIs.contains(format)) {
        QFile f(path);
        if (!f.open(QIODevice::ReadOnly)) {
            *why = f.errorString();
            return std::nullopt;
        }
        return dataUrl(asIs.value(format), f.readAll());
    }
    const QImage image = reader.read();
    if (image.isNull()) {
        *why = reader.errorString();
        return std::nullopt;
    }
    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    if (!image.save(&buffer, "PNG")) {
        *why = QStringLiteral("could not convert it to PNG");
        return std::nullopt;
    }
    return dataUrl("image/png", png);
}

// A movie converted to WebM (VP8 with Vorbis sound, or VP8 alone for a
// silent movie) by GStreamer's command-line tool.
std::optional<QByteArray> movieToWebm(const QString &path, const QString &tempDir, QString *why)
{
    const QString tool = QStandardPaths::findExecutable(QStringLiteral("gst-launch-1.0"));
    if (tool.isEmpty()) {
        *why = QStringLiteral("left out: the movie converter gst-launch-1.0 (Debian package gstreamer1.0-tools) is not installed");
        return std::nullopt;
    }
    const QString out = tempDir + QStringLiteral("/movie.webm");
    const QString src = QStringLiteral("location=") + path;
    const QString sink = QStringLiteral("location=") + out;
    const QStringList video = {QStringLiteral("d."), QStringLiteral("!"), QStringLiteral("queue"), QStringLiteral("!"),
                               QStringLiteral("videoconvert"), QStringLiteral("!"), QStringLiteral("vp8enc"),
                               QStringLiteral("deadline=1"), QStringLiteral("!"), QStringLiteral("m.")};
    const QStringList audio = {QStringLiteral("d."), QStringLiteral("!"), QStringLiteral("queue"), QStringLiteral("!"),
                               QStringLiteral("audioconvert"), QStringLiteral("!"), QStringLiteral("audioresample"),
                               QStringLiteral("!"), QStringLiteral("vorbisenc"), QStringLiteral("!"), QStringLiteral("m.")};
    const QStringList head = {QStringLiteral("-q"), QStringLiteral("filesrc"), src, QStringLiteral("!"),
                              QStringLiteral("decodebin"), QStringLiteral("name=d"), QStringLiteral("webmmux"),
                              QStringLiteral("name=m"), QStringLiteral("!"), QStringLiteral("filesink"), sink};
    for (const QStringList &args : {head + video + audio, head + video}) {
        QFile::remove(out);
        QProcess p;
        p.setProcessChannelMode(QProcess::MergedChannels);
        p.start(tool, args);
        if (!p.waitForStarted(10000)) {
            *why = QStringLiteral("the movie converter could not be started: %1").arg(p.errorString());
            return std::nullopt;
        }
        if (!p.waitForFinished(180000)) {
            p.kill();
            p.waitForFinished(5000);
            *why = QStringLiteral("the movie conversion took longer than three minutes");
            continue;
        }
        QFile f(out);
        if (p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0 && f.open(QIODevice::ReadOnly) && f.size() > 0)
            return f.readAll();
        *why = QStringLiteral("GStreamer could not convert it: %1").arg(QString::fromLocal8Bit(p.readAll()).simplified().left(200));
    }
    return std::nullopt;
}

QString htmlEscape(const QString &s)
{
    return s.toHtmlEscaped();
}

// JSON for a script element: no "<" can end the element early.
QString scriptJson(const QJsonObject &o)
{
    return QString::fromUtf8(QJsonDocument(o).toJson(QJsonDocument::Compact)).replace(QLatin1Char('<'), QStringLiteral("\\u003c"));
}

} // namespace

QString webPlayerScript()
{
    static const QRegularExpression exported(QStringLiteral("^export (?:async )?(?:function\\*?|class|const|let) (\\w+)"),
                                             QRegularExpression::MultilineOption);
    static const QRegularExpression importAll(QStringLiteral("^import \\* as (\\w+) from '[^']*?([\\w.-]+)';$"),
                                              QRegularExpression::MultilineOption);
    static const QRegularExpression importSome(QStringLiteral("^import \\{([^}]*)\\} from '[^']*?([\\w.-]+)';$"),
                                               QRegularExpression::MultilineOption);
    static const QRegularExpression exportWord(QStringLiteral("^export "), QRegularExpression::MultilineOption);
    QString script = QStringLiteral("'use strict';\nconst fcModules = {};\n");
    for (const char *name : kModules) {
        QString text = QString::fromUtf8(resource(QLatin1String(name)));
        if (text.isEmpty())
            return {};
        QStringList names;
        for (auto it = exported.globalMatch(text); it.hasNext();)
            names << it.next().captured(1);
        text.replace(importAll, QStringLiteral("const \\1 = fcModules['\\2'];"));
        text.replace(importSome, QStringLiteral("const {\\1} = fcModules['\\2'];"));
        text.replace(exportWord, QString());
        const QString base = QFileInfo(QLatin1String(name)).fileName();
        script += QStringLiteral("fcModules['%1'] = (() => {\n%2\nreturn { %3 };\n})();\n").arg(base, text, names.join(QStringLiteral(", ")));
    }
    return script;
}

QString webPlayerStyle()
{
    return QString::fromUtf8(resource(QStringLiteral("player/player.css")));
}

WebExportResult exportWebPage(const WebExportRequest &request)
{
    WebExportResult result;
    auto fail = [&result](const QString &why) {
        result.error = why;
        return result;
    };

    // The quest, byte for byte.
    const QFileInfo questInfo(request.questFile);
    if (!questInfo.exists())
        return fail(QStringLiteral("the quest %1 does not exist").arg(request.questFile));
    if (!questInfo.isFile())
        return fail(QStringLiteral("the quest %1 is not a regular file").arg(request.questFile));
    if (questInfo.size() > kMaxQuestBytes)
        return fail(QStringLiteral("the quest %1 is larger than 64 MiB").arg(request.questFile));
    QFile questFile(request.questFile);
    if (!questFile.open(QIODevice::ReadOnly))
        return fail(QStringLiteral("the quest %1 cannot be read: %2").arg(request.questFile, questFile.errorString()));
    const QByteArray questBytes = questFile.readAll();
    questFile.close();
    const QString questPath = questInfo.absoluteFilePath();

    // Where the page goes: never through a link, never over a file that is
    // not a page exported before.
    const QFileInfo outInfo(request.outFile);
    if (outInfo.isSymLink())
        return fail(QStringLiteral("%1 is a symbolic link; the page is not written through it").arg(request.outFile));
    if (outInfo.exists()) {
        if (!outInfo.isFile())
            return fail(QStringLiteral("%1 exists and is not a regular file").arg(request.outFile));
        QFile old(request.outFile);
        if (!old.open(QIODevice::ReadOnly) || !old.read(4096).contains(kGeneratorMark))
            return fail(QStringLiteral("%1 exists and is not a web page exported by Fablecraft; choose another name or remove it")
                            .arg(request.outFile));
    }
    if (!outInfo.absoluteDir().exists())
        return fail(QStringLiteral("the folder %1 does not exist").arg(outInfo.absolutePath()));

    const QString script = webPlayerScript();
    const QString style = webPlayerStyle();
    QString page = QString::fromUtf8(resource(QStringLiteral("player/template.html")));
    if (script.isEmpty() || style.isEmpty() || page.isEmpty())
        return fail(QStringLiteral("the web player is missing from this program"));

    QTemporaryDir temp;
    if (!temp.isValid())
        return fail(QStringLiteral("no temporary folder: %1").arg(temp.errorString()));
    const QString soundFont = findSoundFont(request.programDir);
    // Music goes through the caller's encoder, else through the media
    // module found beside this program, loaded with the first song.
    std::optional<MediaModule> module;
    const MusicEncoder encodeMusic = request.encodeMusic
        ? request.encodeMusic
        : MusicEncoder([&module](const QString &midi, const QString &soundFont, const QString &tempDir, QString *why) {
              if (!module)
                  module.emplace(MediaModule::candidates(QCoreApplication::applicationDirPath()));
              if (!module->load()) {
                  *why = QStringLiteral("music cannot be rendered: ") + module->failure();
                  return std::optional<QByteArray>();
              }
              return module->backends()->renderMusic(midi, soundFont, tempDir, why);
          });

    // Media: each file embedded once, each value pointing at it.
    QJsonObject values;
    QJsonArray files;
    QHash<QString, int> fileIndex; // resolved path and kind -> index in files
    QHash<QString, bool> valueDone;
    for (const MediaReference &ref : questMediaReferences(questPath)) {
        if (valueDone.contains(ref.value))
            continue; // the page finds a file by its value, whatever the key
        const std::optional<MediaKind> kindOf = mediaKindForKey(ref.key);
        if (!kindOf)
            continue;
        const MediaKind kind = *kindOf;
        const MediaAdmission a = admitMediaFile(kind, ref.value, questInfo.absolutePath(), request.programDir);
        const QString where = QStringLiteral("%1 (page %2, %3)").arg(ref.value, ref.section, ref.key);
        if (!a.admitted) {
            result.warnings << QStringLiteral("%1: left out: %2").arg(where, a.reason);
            continue;
        }
        if (a.outsideQuestFolder && !request.allowOutside) {
            result.warnings << QStringLiteral("%1: left out: outside the quest's folder (--allow-outside embeds it)").arg(where);
            continue;
        }
        if (QFileInfo(a.resolvedPath).size() > kMaxMediaBytes) {
            result.warnings << QStringLiteral("%1: left out: larger than 256 MiB").arg(where);
            continue;
        }
        const QString id = QString::number(int(kind)) + QLatin1Char(':') + a.resolvedPath;
        if (auto known = fileIndex.constFind(id); known != fileIndex.cend()) {
            valueDone.insert(ref.value, true);
            values[ref.value] = *known;
            continue;
        }
        QString why;
        std::optional<QString> data;
        switch (kind) {
        case MediaKind::Picture:
            data = pictureData(a.resolvedPath, &why);
            break;
        case MediaKind::Music:
            if (soundFont.isEmpty()) {
                why = QStringLiteral("no SoundFont %1 is installed to render the music").arg(QLatin1String(kSoundFontFileName));
            } else if (auto ogg = encodeMusic(a.resolvedPath, soundFont, temp.path(), &why)) {
                data = dataUrl("audio/ogg", *ogg);
            }
            break;
        case MediaKind::Sound: {
            QFile f(a.resolvedPath);
            if (f.open(QIODevice::ReadOnly)) {
                const QByteArray bytes = f.readAll();
                data = dataUrl(bytes.startsWith("RIFF") ? "audio/wav" : "audio/mpeg", bytes);
            } else {
                why = f.errorString();
            }
            break;
        }
        case MediaKind::Movie:
            if (auto webm = movieToWebm(a.resolvedPath, temp.path(), &why))
                data = dataUrl("video/webm", *webm);
            break;
        }
        if (!data) {
            result.warnings << QStringLiteral("%1: left out: %2").arg(where, why);
            continue;
        }
        valueDone.insert(ref.value, true);
        fileIndex.insert(id, int(files.size()));
        values[ref.value] = int(files.size());
        files.append(*data);
        ++result.mediaEmbedded;
    }

    QString title = ReadIni(questPath, quest::kStoryInfoSection, quest::kTitle);
    if (title.isEmpty())
        title = questInfo.completeBaseName();
    const QJsonObject questJson{{QStringLiteral("name"), questInfo.fileName()},
                                {QStringLiteral("data"), QString::fromLatin1(questBytes.toBase64())}};
    const QJsonObject mediaJson{{QStringLiteral("v"), values}, {QStringLiteral("f"), files}};
    // One pass over the template: no inserted text is searched again.
    const QHash<QString, QString> fills = {{QStringLiteral("TITLE"), htmlEscape(title)},
                                           {QStringLiteral("STYLE"), style},
                                           {QStringLiteral("QUEST"), scriptJson(questJson)},
                                           {QStringLiteral("MEDIA"), scriptJson(mediaJson)},
                                           {QStringLiteral("SCRIPT"), script}};
    static const QRegularExpression placeholder(QStringLiteral("\\{\\{(\\w+)\\}\\}"));
    QString filled;
    qsizetype from = 0;
    for (auto it = placeholder.globalMatch(page); it.hasNext();) {
        const QRegularExpressionMatch m = it.next();
        filled += QStringView(page).mid(from, m.capturedStart() - from);
        filled += fills.value(m.captured(1));
        from = m.capturedEnd();
    }
    filled += QStringView(page).mid(from);
    const QByteArray bytes = filled.toUtf8();

    QSaveFile out(request.outFile);
    if (!out.open(QIODevice::WriteOnly))
        return fail(QStringLiteral("%1 cannot be written: %2").arg(request.outFile, out.errorString()));
    if (out.write(bytes) != bytes.size() || !out.commit())
        return fail(QStringLiteral("%1 could not be written: %2").arg(request.outFile, out.errorString()));
    result.ok = true;
    result.pageBytes = bytes.size();
    result.playerBytes = script.toUtf8().size() + style.toUtf8().size();
    return result;
}

} // namespace fc
