#include "compiler/packager.h"

#include "compiler/runtime_bundle.h"
#include "engine/media_module.h"
#include "engine/soundfont.h"
#include "storage/ini_sections.h"
#include "storage/profile_store.h"
#include "storage/quest_format.h"
#include "storage/regular_file.h"
#include "storage/user_folders.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QDirIterator>
#include <QSet>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace fc {

namespace {

const QLatin1String kMediaFolder("media");

QString errnoText(int err) { return QString::fromLocal8Bit(std::strerror(err)); }

QByteArray encoded(const QString &path) { return QFile::encodeName(path); }

// A file name for media/ not yet given to another file (names compared
// without case, so the folder also works where case does not count):
// "name.ext", "name-2.ext", ... Control characters become "_".
QString distinctName(QString fileName, QSet<QString> &taken)
{
    for (QChar &c : fileName) {
        if (c.category() == QChar::Other_Control)
            c = QLatin1Char('_');
    }
    const QFileInfo info(fileName);
    const QString base = info.completeBaseName();
    const QString suffix = info.suffix().isEmpty() ? QString() : QLatin1Char('.') + info.suffix();
    QString candidate = fileName;
    for (int i = 2; taken.contains(candidate.toCaseFolded()); ++i)
        candidate = base + QLatin1Char('-') + QString::number(i) + suffix;
    taken.insert(candidate.toCaseFolded());
    return candidate;
}

bool isInsideOrSame(const QString &path, const QString &folder)
{
    return !path.isEmpty() && !folder.isEmpty() && (path == folder || path.startsWith(folder + QLatin1Char('/')));
}

// Copies source into target, a file that must not exist yet (so no link and
// no file of someone else is ever written through), with the source's
// permissions (less the umask) and modification time. Checks canceled()
// between blocks. False with *error, the system's reason, on failure; a
// partly written target is removed.
bool copyIntoNewFile(const QString &source, const QString &target, QString *error, qint64 *bytes,
                     const std::function<bool()> &canceled)
{
    const int in = ::open(encoded(source).constData(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (in < 0) {
        *error = errnoText(errno);
        return false;
    }
    struct stat st{};
    if (::fstat(in, &st) != 0 || !S_ISREG(st.st_mode)) {
        *error = S_ISREG(st.st_mode) ? errnoText(errno) : notRegularReason(st.st_mode);
        ::close(in);
        return false;
    }
    const int out = ::open(encoded(target).constData(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC,
                           st.st_mode & 0777);
    if (out < 0) {
        *error = errnoText(errno);
        ::close(in);
        return false;
    }
    const auto fail = [&](int err) {
        *error = err ? errnoText(err) : QStringLiteral("canceled");
        ::close(in);
        ::close(out);
        ::unlink(encoded(target).constData());
        return false;
    };
    QByteArray buffer(1 << 20, Qt::Uninitialized);
    qint64 total = 0;
    for (;;) {
        if (canceled && canceled())
            return fail(0);
        const ssize_t n = ::read(in, buffer.data(), size_t(buffer.size()));
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return fail(errno);
        if (n == 0)
            break;
        for (ssize_t written = 0; written < n;) {
            const ssize_t w = ::write(out, buffer.constData() + written, size_t(n - written));
            if (w < 0 && errno == EINTR)
                continue;
            if (w < 0)
                return fail(errno);
            written += w;
        }
        total += n;
    }
    const struct timespec times[2] = {st.st_atim, st.st_mtim};
    ::futimens(out, times);
    ::close(in);
    if (::close(out) != 0) { // a delayed write error (quota, network file system)
        const int err = errno;
        *error = errnoText(err);
        ::unlink(encoded(target).constData());
        return false;
    }
    if (bytes)
        *bytes += total;
    return true;
}

// Creates a folder (and the folders before it) inside the game being built.
bool makeFolders(const QString &root, const QString &relative, QString *error)
{
    QString path = root;
    for (const QString &part : relative.split(QLatin1Char('/'), Qt::SkipEmptyParts)) {
        path += QLatin1Char('/') + part;
        if (::mkdir(encoded(path).constData(), 0777) != 0 && errno != EEXIST) {
            *error = errnoText(errno);
            return false;
        }
    }
    return true;
}

// Makes a folder and the folders before it that are missing.
bool makeFolderPath(const QString &path, QString *error)
{
    if (::mkdir(encoded(path).constData(), 0777) == 0 || errno == EEXIST)
        return true;
    if (errno == ENOENT) {
        const QString parent = QFileInfo(path).absolutePath();
        if (parent == path || !makeFolderPath(parent, error)) {
            if (error->isEmpty())
                *error = errnoText(ENOENT);
            return false;
        }
        if (::mkdir(encoded(path).constData(), 0777) == 0 || errno == EEXIST)
            return true;
    }
    *error = errnoText(errno);
    return false;
}

// Removes a folder this compile made, or the old game folder it replaced;
// links inside are removed, never followed.
void removeTree(const QString &path)
{
    struct stat st{};
    if (::lstat(encoded(path).constData(), &st) != 0)
        return;
    if (S_ISDIR(st.st_mode))
        QDir(path).removeRecursively();
    else
        ::unlink(encoded(path).constData());
}

// Swaps the complete new folder with the old D/N in one step where the file
// system allows, else moves the old one aside first. The old one is removed
// afterwards.
bool replaceFolder(const QString &built, const QString &gameDir, const QString &targetDir, QString *error)
{
#ifdef RENAME_EXCHANGE
    if (::renameat2(AT_FDCWD, encoded(built).constData(), AT_FDCWD, encoded(gameDir).constData(), RENAME_EXCHANGE)
        == 0) {
        removeTree(built); // now the old folder
        return true;
    }
    if (errno != EINVAL && errno != ENOSYS && errno != ENOTSUP) {
        *error = errnoText(errno);
        return false;
    }
#endif
    QByteArray aside = encoded(targetDir + QStringLiteral("/.fablecraft-old-XXXXXX"));
    if (!::mkdtemp(aside.data())) {
        *error = errnoText(errno);
        return false;
    }
    const QByteArray oldPlace = aside + "/old";
    if (::rename(encoded(gameDir).constData(), oldPlace.constData()) != 0) {
        *error = errnoText(errno);
        ::rmdir(aside.constData());
        return false;
    }
    if (::rename(encoded(built).constData(), encoded(gameDir).constData()) != 0) {
        *error = errnoText(errno);
        ::rename(oldPlace.constData(), encoded(gameDir).constData()); // put the old one back
        ::rmdir(aside.constData());
        return false;
    }
    removeTree(QFile::decodeName(aside));
    return true;
}

qint64 treeBytes(const QString &dir)
{
    qint64 total = 0;
    QDirIterator it(dir, QDir::Files | QDir::Hidden | QDir::System, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        it.next();
        total += it.fileInfo().size();
    }
    return total;
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
                                         QStringLiteral("qt.conf"), QString::fromLatin1(kSoundFontFileName),
                                         QString(kGameFolderMarker)};
    if (reserved.contains(name))
        return QStringLiteral("A game name cannot be \"%1\": the game folder holds a file or folder of that name.")
            .arg(name);
    return {};
}

QList<MediaReference> questMediaReferences(const QString &questFile)
{
    using namespace quest;
    static const QLatin1String pageKeys[] = {kImage, kMovie, kMusic, kMp3, kBattleImage, kBattleMusic};
    QList<MediaReference> refs;
    for (const QString &section : IniSectionNames(questFile)) {
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

QString MediaReference::describe() const
{
    return QStringLiteral("%1 (page %2, %3)").arg(value, section, key);
}

QString megabytes(qint64 bytes)
{
    return QStringLiteral("%1 MB").arg(double(bytes) / 1e6, 0, 'f', 1);
}

PackagePlan planPackage(const PackageRequest &request)
{
    PackagePlan plan;
    const QString gameDir = QDir(request.targetDir).filePath(request.gameName);
    const auto refuse = [&](const QString &step, const QString &cause) {
        plan.failedStep = step;
        plan.cause = cause;
        return plan;
    };
    const QString writeStep = QStringLiteral("write the game folder %1").arg(gameDir);
    if (!QFileInfo(request.questFile).isFile())
        return refuse(QStringLiteral("copy the quest %1").arg(request.questFile), QStringLiteral("it is not found"));

    // The quest and the program must survive the replacement of D/N.
    struct stat st{};
    plan.targetExists = ::lstat(encoded(gameDir).constData(), &st) == 0;
    if (plan.targetExists) {
        const QString realTarget = QFileInfo(gameDir).canonicalFilePath();
        const QString realQuest = QFileInfo(request.questFile).canonicalFilePath();
        const QString realQuestDir = QFileInfo(realQuest).absolutePath();
        if (realQuestDir == realTarget)
            return refuse(writeStep, QStringLiteral("it is the quest's own folder, which the game would replace; "
                                                    "choose another folder or game name"));
        if (isInsideOrSame(realQuest, realTarget))
            return refuse(writeStep, QStringLiteral("the quest %1 lies in it, and the game would replace it; "
                                                    "choose another folder or game name")
                                         .arg(request.questFile));
        const QString realProgramDir = QFileInfo(request.programDir).canonicalFilePath();
        if (isInsideOrSame(realProgramDir, realTarget))
            return refuse(writeStep, QStringLiteral("the program's own folder %1 lies in it, and the game would "
                                                    "replace it; choose another folder or game name")
                                         .arg(request.programDir));
        struct stat marker{};
        plan.targetIsGame = S_ISDIR(st.st_mode)
                            && ::lstat(encoded(gameDir + QLatin1Char('/') + kGameFolderMarker).constData(), &marker) == 0
                            && S_ISREG(marker.st_mode);
    }

    plan.title = ReadIni(request.questFile, quest::kStoryInfoSection, quest::kTitle);
    if (plan.title.isEmpty())
        plan.title = request.gameName;

    const QString questDir = QFileInfo(request.questFile).absolutePath();
    const QList<MediaReference> refs = (request.media || request.runtime) ? questMediaReferences(request.questFile)
                                                                            : QList<MediaReference>();
    plan.runtimeNeeds.sound = false;
    plan.runtimeNeeds.movie = false;
    QSet<QString> outsideSeen;
    for (const MediaReference &ref : refs) {
        const std::optional<MediaKind> kind = mediaKindForKey(ref.key);
        if (!kind)
            continue;
        if (!request.media) {
            // The author copies the media; the runtime still plays what is named.
            plan.runtimeNeeds.sound |= *kind == MediaKind::Sound;
            plan.runtimeNeeds.movie |= *kind == MediaKind::Movie;
            continue;
        }
        PackagePlan::Media item{ref, admitMediaFile(*kind, ref.value, questDir, request.programDir)};
        if (!item.admission.admitted) {
            plan.notAdmitted << QStringLiteral("%1: %2").arg(ref.describe(), item.admission.reason);
        } else {
            plan.runtimeNeeds.sound |= *kind == MediaKind::Sound;
            plan.runtimeNeeds.movie |= *kind == MediaKind::Movie;
            if (item.admission.outsideQuestFolder && !outsideSeen.contains(item.admission.resolvedPath)) {
                outsideSeen.insert(item.admission.resolvedPath);
                plan.outside << item.admission.resolvedPath;
            }
        }
        plan.media << item;
    }
    return plan;
}

PackageResult packageGame(const PackageRequest &request)
{
    return packageGame(request, planPackage(request));
}

PackageResult packageGame(const PackageRequest &request, const PackagePlan &plan, const PackageProgress &progress)
{
    PackageResult result;
    const QString &name = request.gameName;
    const QString gameDir = QDir(request.targetDir).filePath(name);
    result.gameDir = gameDir;
    result.executable = gameDir + QLatin1Char('/') + name;
    const auto fail = [&result](const QString &step, const QString &cause) {
        result.failedStep = step;
        result.cause = cause;
        return result;
    };
    if (plan.refused())
        return fail(plan.failedStep, plan.cause);
    if (!plan.outside.isEmpty() && !request.allowOutside)
        return fail(QStringLiteral("copy files from outside the quest's folder"),
                    QStringLiteral("not allowed: ") + plan.outside.join(QStringLiteral(", ")));
    if (plan.needsReplaceConfirmation() && !request.replace)
        return fail(QStringLiteral("write the game folder %1").arg(gameDir),
                    QStringLiteral("it exists and is not a game made by Fablecraft"));
    result.notCopied = plan.notAdmitted;

    // The runtime files are found first, so that the steps can be counted.
    const QString program = QDir(request.programDir).filePath(request.programName);
    const auto canceled = [&progress] { return progress.canceled && progress.canceled(); };
    int done = 0;
    int total = 4 + int(plan.media.size());
    const auto step = [&](const QString &what) {
        if (progress.step)
            progress.step(what, done, total);
    };
    RuntimeBundle bundle;
    if (request.runtime) {
        step(QStringLiteral("Finding the runtime files"));
        bundle = collectRuntime(program, request.programDir, plan.runtimeNeeds);
        total += int(bundle.files.size() + bundle.generated.size()) + 1;
        ++done;
    }
    if (canceled()) {
        result.canceled = true;
        return fail(QStringLiteral("compile"), QStringLiteral("canceled"));
    }

    // D is made when missing (and removed again when the compile fails).
    QString madeTarget;
    for (QString dir = QDir::cleanPath(QDir(request.targetDir).absolutePath()); !dir.isEmpty();) {
        struct stat st{};
        if (::lstat(encoded(dir).constData(), &st) == 0)
            break;
        madeTarget = dir;
        const QString parent = QFileInfo(dir).absolutePath();
        if (parent == dir)
            break;
        dir = parent;
    }
    QString error;
    if (!madeTarget.isEmpty() && !makeFolderPath(QDir::cleanPath(QDir(request.targetDir).absolutePath()), &error)) {
        removeTree(madeTarget);
        return fail(QStringLiteral("create the game folder %1").arg(gameDir), error);
    }

    // A new folder beside D/N, in the same file system, so that it can be
    // renamed into place.
    QByteArray buildTemplate = encoded(QDir(request.targetDir).filePath(QStringLiteral(".fablecraft-build-XXXXXX")));
    if (!::mkdtemp(buildTemplate.data())) {
        const int err = errno;
        if (!madeTarget.isEmpty())
            removeTree(madeTarget);
        return fail(QStringLiteral("create the game folder %1").arg(gameDir),
                    err == ENOENT ? QStringLiteral("the folder %1 does not exist").arg(request.targetDir)
                                  : errnoText(err));
    }
    const QString built = QFile::decodeName(buildTemplate);
    const auto abandon = [&](const QString &what, const QString &cause) {
        removeTree(madeTarget.isEmpty() ? built : madeTarget);
        result.canceled = cause == QLatin1String("canceled");
        return fail(what, cause);
    };

    // The program.
    step(QStringLiteral("Copying the program"));
    const QString g = built + QLatin1Char('/') + name;
    if (!copyIntoNewFile(program, g, &error, nullptr, canceled))
        return abandon(QStringLiteral("copy the program %1 to %2").arg(program, result.executable), error);
    // ... and its media back-ends, in lib/ where the program looks for them.
    const QString mediaModule = MediaModule::find(request.programDir);
    const QString moduleTarget = QStringLiteral("lib/") + QLatin1String(kMediaModuleFileName);
    if (mediaModule.isEmpty()) {
        result.notCopied << QStringLiteral("%1: not found beside %2; the game will play without sound, music and movies")
                                .arg(QLatin1String(kMediaModuleFileName), program);
    } else if (!makeFolders(built, QStringLiteral("lib"), &error)) {
        return abandon(QStringLiteral("create the folder %1/lib").arg(gameDir), error);
    } else if (!copyIntoNewFile(mediaModule, built + QLatin1Char('/') + moduleTarget, &error, nullptr, canceled)) {
        return abandon(QStringLiteral("copy the media module %1 to %2/%3").arg(mediaModule, gameDir, moduleTarget), error);
    }
    ++done;

    // The quest, and its media when asked for.
    step(QStringLiteral("Copying the quest"));
    const QString questTarget = result.executable + QLatin1String(quest::kQuestExtension);
    const QString builtQuest = g + QLatin1String(quest::kQuestExtension);
    if (!copyIntoNewFile(request.questFile, builtQuest, &error, nullptr, canceled))
        return abandon(QStringLiteral("copy the quest %1 to %2").arg(request.questFile, questTarget), error);
    ++done;
    if (request.media && !plan.media.isEmpty()) {
        IniBatch batch(builtQuest);
        QHash<QString, QString> nameOfFile; // source file -> name in media/
        QSet<QString> taken;
        bool folderMade = false;
        for (const PackagePlan::Media &item : plan.media) {
            step(QStringLiteral("Copying the media"));
            ++done;
            if (!item.admission.admitted)
                continue;
            if (canceled())
                return abandon(QStringLiteral("compile"), QStringLiteral("canceled"));
            const QString &source = item.admission.resolvedPath;
            QString fileName = nameOfFile.value(source);
            if (fileName.isEmpty()) {
                if (!folderMade && !(folderMade = makeFolders(built, kMediaFolder, &error)))
                    return abandon(QStringLiteral("create the folder %1/%2").arg(gameDir, kMediaFolder), error);
                const QString candidate = distinctName(QFileInfo(source).fileName(), taken);
                if (!copyIntoNewFile(source, built + QLatin1Char('/') + kMediaFolder + QLatin1Char('/') + candidate,
                                     &error, nullptr, canceled)) {
                    if (canceled())
                        return abandon(QStringLiteral("compile"), QStringLiteral("canceled"));
                    result.notCopied << QStringLiteral("%1: %2").arg(item.ref.describe(), error);
                    continue;
                }
                fileName = candidate;
                nameOfFile.insert(source, fileName);
                ++result.mediaCopied;
            }
            batch.write(item.ref.section, item.ref.key, QString(kMediaFolder) + QLatin1Char('/') + fileName);
        }
        if (!batch.isEmpty() && !batch.commit(&error))
            return abandon(QStringLiteral("write the media names into %1").arg(questTarget), error);
    }

    // The launch file and the marker, fresh files in the new folder.
    step(QStringLiteral("Writing game.dat"));
    const QString launchFile = gameDir + QLatin1Char('/') + quest::kLaunchFile;
    IniBatch launch(built + QLatin1Char('/') + quest::kLaunchFile);
    launch.write(quest::kLaunchSection, quest::kLaunchQuestFile, name + QLatin1String(quest::kQuestExtension));
    launch.write(quest::kLaunchGameSection, quest::kLaunchTitle, plan.title);
    if (!launch.commit(&error))
        return abandon(QStringLiteral("write %1").arg(launchFile), error);
    {
        QFile marker(built + QLatin1Char('/') + kGameFolderMarker);
        const QByteArray text = "This folder is a game made by Fablecraft. Compiling the game again replaces it whole.\n";
        if (!marker.open(QIODevice::NewOnly | QIODevice::WriteOnly) || marker.write(text) != text.size()
            || !marker.flush()) {
            const QString why = marker.errorString();
            return abandon(QStringLiteral("write %1/%2").arg(gameDir, kGameFolderMarker), why);
        }
    }
    ++done;

    if (request.runtime) {
        for (const QString &missing : bundle.missing)
            result.notCopied << missing;
        for (const BundleFile &file : bundle.files) {
            step(QStringLiteral("Copying the runtime files"));
            ++done;
            if (canceled())
                return abandon(QStringLiteral("compile"), QStringLiteral("canceled"));
            const QString folder = QFileInfo(file.target).path();
            if (folder != QLatin1String(".") && !makeFolders(built, folder, &error))
                return abandon(QStringLiteral("create the folder %1/%2").arg(gameDir, folder), error);
            if (copyIntoNewFile(file.source, built + QLatin1Char('/') + file.target, &error, &result.runtimeBytes,
                                canceled)) {
                ++result.runtimeCopied;
            } else if (canceled()) {
                return abandon(QStringLiteral("compile"), QStringLiteral("canceled"));
            } else if (error == errnoText(ENOSPC) || error == errnoText(EFBIG) || error == errnoText(EDQUOT)) {
                // The disk is full: no later file fits either.
                return abandon(QStringLiteral("copy %1 to %2/%3").arg(file.source, gameDir, file.target), error);
            } else {
                result.notCopied << QStringLiteral("%1: %2").arg(file.source, error);
            }
        }
        for (auto it = bundle.generated.cbegin(); it != bundle.generated.cend(); ++it) {
            ++done;
            QFile out(built + QLatin1Char('/') + it.key());
            if (!out.open(QIODevice::NewOnly | QIODevice::WriteOnly) || out.write(it.value()) != it.value().size()
                || !out.flush())
                return abandon(QStringLiteral("write %1/%2").arg(gameDir, it.key()), out.errorString());
            result.runtimeBytes += it.value().size();
        }
    }

    // Into place: the folder gets the permissions a folder made here would.
    step(QStringLiteral("Moving the game into place"));
    if (canceled())
        return abandon(QStringLiteral("compile"), QStringLiteral("canceled"));
    const mode_t mask = ::umask(0);
    ::umask(mask);
    ::chmod(buildTemplate.constData(), 0777 & ~mask);
    result.gameBytes = treeBytes(built);
    struct stat st{};
    const bool exists = ::lstat(encoded(gameDir).constData(), &st) == 0;
    if (exists && !plan.targetExists)
        return abandon(QStringLiteral("write the game folder %1").arg(gameDir),
                       QStringLiteral("it was made by someone else while the game was compiled"));
    if (exists ? !replaceFolder(built, gameDir, request.targetDir, &error)
               : ::rename(buildTemplate.constData(), encoded(gameDir).constData()) != 0) {
        if (!exists)
            error = errnoText(errno);
        return abandon(QStringLiteral("move the game into %1").arg(gameDir), error);
    }
    result.ok = true;
    return result;
}

} // namespace fc
