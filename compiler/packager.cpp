#include "compiler/packager.h"

#include "compiler/runtime_bundle.h"
#include "engine/soundfont.h"
#include "storage/aohider.h"
#include "storage/cp1252.h"
#include "storage/quest_format.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QSet>

#include <cerrno>
#include <cstdio>
#include <cstring>

namespace fc {

namespace {

const QLatin1String kMediaFolder("media");

// Section names of an INI file in file order, duplicates (by case-insensitive
// name) once, decoded the way the profile store decodes the file.
QStringList sectionNames(const QString &file)
{
    QFile f(ResolveIniPath(file));
    if (!f.open(QIODevice::ReadOnly))
        return {};
    QByteArray bytes = f.readAll();
    bool utf8 = false;
    if (bytes.startsWith("\xEF\xBB\xBF")) {
        utf8 = true;
        bytes.remove(0, 3);
    } else {
        bool multiByte = false;
        utf8 = utf8::isValid(bytes.constData(), bytes.size(), &multiByte) && multiByte;
    }
    QStringList names;
    QSet<QString> seen;
    for (const QByteArray &rawLine : bytes.split('\n')) {
        QByteArray line = rawLine;
        if (line.endsWith('\r'))
            line.chop(1);
        qsizetype i = 0;
        while (i < line.size() && (line[i] == ' ' || line[i] == '\t'))
            ++i;
        if (i >= line.size() || line[i] != '[')
            continue;
        const qsizetype close = line.indexOf(']', i);
        if (close < 0)
            continue;
        const QByteArray raw = line.mid(i + 1, close - i - 1);
        const QString name = (utf8 ? QString::fromUtf8(raw) : cp1252::decode(raw)).trimmed();
        if (seen.contains(name.toCaseFolded()))
            continue;
        seen.insert(name.toCaseFolded());
        names << name;
    }
    return names;
}

QString errnoText() { return QString::fromLocal8Bit(std::strerror(errno)); }

bool renameOver(const QString &from, const QString &to, QString *error)
{
    if (std::rename(QFile::encodeName(from).constData(), QFile::encodeName(to).constData()) == 0)
        return true;
    if (error)
        *error = errnoText();
    QFile::remove(from);
    return false;
}

// A file name not yet given to another file: "name.ext", "name-2.ext", ...
QString distinctName(const QString &fileName, const QSet<QString> &taken)
{
    if (!taken.contains(fileName))
        return fileName;
    const QFileInfo info(fileName);
    const QString base = info.completeBaseName();
    const QString suffix = info.suffix().isEmpty() ? QString() : QLatin1Char('.') + info.suffix();
    for (int i = 2;; ++i) {
        const QString candidate = base + QLatin1Char('-') + QString::number(i) + suffix;
        if (!taken.contains(candidate))
            return candidate;
    }
}

bool sameFile(const QString &a, const QString &b)
{
    const QFileInfo fa(a), fb(b);
    return fa.exists() && fb.exists() && fa.canonicalFilePath() == fb.canonicalFilePath();
}

} // namespace

QString PackageResult::failureMessage() const
{
    return QStringLiteral("Could not %1: %2").arg(failedStep, cause);
}

QString gameNameProblem(const QString &name)
{
    if (name.contains(QLatin1Char('/')) || name.contains(QLatin1Char('\\')))
        return QStringLiteral("A game name cannot hold \"/\" or \"\\\": it becomes the name of one folder.");
    if (name == QLatin1String(".") || name == QLatin1String(".."))
        return QStringLiteral("A game name cannot be \".\" or \"..\": it becomes the name of one folder.");
    for (const QChar c : name) {
        if (c.category() == QChar::Other_Control)
            return QStringLiteral("A game name cannot hold line breaks, tabs or other control characters.");
    }
    // The program is written as D/N/N: it must not take the place of another
    // file or folder of the game.
    static const QStringList reserved = {QString(quest::kLaunchFile), QString(kMediaFolder), QStringLiteral("lib"),
                                         QStringLiteral("qt.conf"), QString::fromLatin1(kSoundFontFileName)};
    if (reserved.contains(name))
        return QStringLiteral("A game name cannot be \"%1\": the game folder holds a file or folder of that name.")
            .arg(name);
    return {};
}

bool copyFileAtomically(const QString &source, const QString &target, QString *error)
{
    const auto fail = [error](const QString &why) {
        if (error)
            *error = why;
        return false;
    };
    if (sameFile(source, target))
        return fail(QStringLiteral("it would be copied onto itself"));
    QFile in(source);
    if (!in.open(QIODevice::ReadOnly))
        return fail(in.errorString());
    QSaveFile out(target);
    if (!out.open(QIODevice::WriteOnly))
        return fail(out.errorString());
    QByteArray buffer(1 << 20, Qt::Uninitialized);
    for (;;) {
        const qint64 n = in.read(buffer.data(), buffer.size());
        if (n < 0) {
            out.cancelWriting();
            return fail(in.errorString());
        }
        if (n == 0)
            break;
        if (out.write(buffer.constData(), n) != n) {
            out.cancelWriting();
            return fail(out.errorString());
        }
    }
    if (!out.commit())
        return fail(out.errorString());
    QFile::setPermissions(target, QFileInfo(source).permissions());
    QFile done(target);
    if (done.open(QIODevice::ReadWrite))
        done.setFileTime(QFileInfo(source).lastModified(), QFileDevice::FileModificationTime);
    return true;
}

QList<MediaReference> questMediaReferences(const QString &questFile)
{
    using namespace quest;
    static const QLatin1String pageKeys[] = {kImage, kMovie, kMusic, kMp3, kBattleImage, kBattleMusic};
    QList<MediaReference> refs;
    for (const QString &section : sectionNames(questFile)) {
        if (section.compare(kCharacterDataSection, Qt::CaseInsensitive) == 0) {
            const QString value = ReadIni(questFile, section, kCharImage);
            if (!value.isEmpty())
                refs.append({section, kCharImage, value});
            continue;
        }
        if (section.compare(kQuestDataSection, Qt::CaseInsensitive) == 0
            || section.compare(kStoryInfoSection, Qt::CaseInsensitive) == 0)
            continue;
        for (const QLatin1String key : pageKeys) {
            const QString value = ReadIni(questFile, section, key);
            if (!value.isEmpty())
                refs.append({section, key, value});
        }
    }
    return refs;
}

QString resolveMediaFile(const QString &questFile, const QString &value)
{
    if (value.isEmpty())
        return {};
    QString path = value;
    if (!QDir::isAbsolutePath(value))
        path = QFileInfo(ResolveIniPath(questFile)).dir().filePath(value);
    const QFileInfo info(path);
    return info.isFile() ? info.absoluteFilePath() : QString();
}

PackageResult packageGame(const PackageRequest &request)
{
    PackageResult result;
    const QString &name = request.gameName;
    const QString gameDir = QDir(request.targetDir).filePath(name);
    const QString g = gameDir + QLatin1Char('/') + name;
    result.gameDir = gameDir;
    result.executable = g;
    const auto fail = [&result](const QString &step, const QString &cause) {
        result.failedStep = step;
        result.cause = cause;
        return result;
    };

    if (!QDir().mkpath(gameDir))
        return fail(QStringLiteral("create the game folder %1").arg(gameDir),
                    QFileInfo(request.targetDir).isDir() ? QStringLiteral("permission denied or not a folder")
                                                         : QStringLiteral("the folder %1 does not exist").arg(request.targetDir));

    // The program.
    QString error;
    const QString program = QDir(request.programDir).filePath(request.programName);
    if (!copyFileAtomically(program, g, &error))
        return fail(QStringLiteral("copy the program %1 to %2").arg(program, g), error);

    // The quest, with its media when asked for: written under a temporary
    // name, then renamed into place.
    const QString questTarget = g + QLatin1String(quest::kQuestExtension);
    if (sameFile(request.questFile, questTarget))
        return fail(QStringLiteral("copy the quest %1 to %2").arg(request.questFile, questTarget),
                    QStringLiteral("it is the quest file itself; choose another folder or game name"));
    const QString questPart = gameDir + QStringLiteral("/.") + name + QStringLiteral(".qst.part");
    QFile::remove(questPart);
    if (!copyFileAtomically(request.questFile, questPart, &error))
        return fail(QStringLiteral("copy the quest %1 to %2").arg(request.questFile, questTarget), error);
    if (request.media) {
        IniBatch batch(questPart);
        QHash<QString, QString> nameOfFile; // source file -> name in media/
        QSet<QString> taken;
        const QString mediaDir = gameDir + QLatin1Char('/') + kMediaFolder;
        for (const MediaReference &ref : questMediaReferences(request.questFile)) {
            const QString source = resolveMediaFile(request.questFile, ref.value);
            if (source.isEmpty()) {
                result.notCopied << QStringLiteral("%1 (page %2, %3): not found").arg(ref.value, ref.section, ref.key);
                continue;
            }
            QString fileName = nameOfFile.value(source);
            if (fileName.isEmpty()) {
                fileName = distinctName(QFileInfo(source).fileName(), taken);
                QString why;
                if (!QDir().mkpath(mediaDir)) {
                    why = QStringLiteral("cannot create %1").arg(mediaDir);
                } else if (copyFileAtomically(source, mediaDir + QLatin1Char('/') + fileName, &why)) {
                    taken.insert(fileName);
                    nameOfFile.insert(source, fileName);
                    ++result.mediaCopied;
                }
                if (!nameOfFile.contains(source)) {
                    result.notCopied << QStringLiteral("%1: %2").arg(source, why);
                    continue;
                }
            }
            batch.write(ref.section, ref.key, QString(kMediaFolder) + QLatin1Char('/') + fileName);
        }
        if (!batch.isEmpty() && !batch.commit(&error)) {
            QFile::remove(questPart);
            return fail(QStringLiteral("write the media names into %1").arg(questTarget), error);
        }
    }
    if (!renameOver(questPart, questTarget, &error))
        return fail(QStringLiteral("copy the quest %1 to %2").arg(request.questFile, questTarget), error);

    // The launch file: a fresh file written in one go, then renamed over the
    // old one, so it is never half-written and holds exactly these keys.
    const QString launchFile = gameDir + QLatin1Char('/') + quest::kLaunchFile;
    const QString launchPart = gameDir + QStringLiteral("/.game.dat.part");
    QFile::remove(launchPart);
    IniBatch launch(launchPart);
    launch.write(quest::kLaunchSection, quest::kLaunchQuestFile, name + QLatin1String(quest::kQuestExtension));
    launch.write(quest::kLaunchGameSection, quest::kLaunchTitle, name);
    if (!launch.commit(&error)) {
        QFile::remove(launchPart);
        return fail(QStringLiteral("write %1").arg(launchFile), error);
    }
    if (!renameOver(launchPart, launchFile, &error))
        return fail(QStringLiteral("write %1").arg(launchFile), error);

    if (request.runtime) {
        const RuntimeBundle bundle = collectRuntime(program, request.programDir);
        for (const QString &missing : bundle.missing)
            result.notCopied << missing;
        for (const BundleFile &file : bundle.files) {
            const QString target = gameDir + QLatin1Char('/') + file.target;
            QString why;
            const QFileInfo src(file.source), dst(target);
            if (dst.isFile() && dst.size() == src.size() && dst.lastModified() == src.lastModified()) {
                ++result.runtimeCopied; // already there from an earlier compile
                continue;
            }
            if (!QDir().mkpath(QFileInfo(target).absolutePath()))
                why = QStringLiteral("cannot create %1").arg(QFileInfo(target).absolutePath());
            else if (copyFileAtomically(file.source, target, &why))
                ++result.runtimeCopied;
            if (!why.isEmpty())
                result.notCopied << QStringLiteral("%1: %2").arg(file.source, why);
        }
        for (auto it = bundle.generated.cbegin(); it != bundle.generated.cend(); ++it) {
            QSaveFile out(gameDir + QLatin1Char('/') + it.key());
            if (!out.open(QIODevice::WriteOnly) || out.write(it.value()) != it.value().size() || !out.commit())
                result.notCopied << QStringLiteral("%1: %2").arg(out.fileName(), out.errorString());
        }
    }
    result.ok = true;
    return result;
}

} // namespace fc
