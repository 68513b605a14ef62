#include "compiler/compiler.h"

#include <QDir>
#include <QEventLoop>
#include <QFileInfo>
#include <QPointer>
#include <QStandardPaths>
#include <QThread>

#include <cerrno>
#include <cstring>
#include <sys/stat.h>
#include <unistd.h>

namespace fc {

const QString Compiler::kNotice = QStringLiteral(
    "This compiler does not yet understand how to locate files used in your quest file such as images and audio. "
    "To add your images and audio for the time being go through your quest file and remove the file paths to each "
    "of the media used and leave ONLY the filename of the media. Then copy these files to the directory for your "
    "game.");

Compiler::Compiler(CompileForm &form, Dialogs *dialogs, Launcher *launcher, const QString &programDir,
                   const QString &programName, QObject *parent)
    : QObject(parent)
    , m_form(form)
    , m_dialogs(dialogs)
    , m_launcher(launcher)
    , m_programDir(programDir)
    , m_programName(programName)
{
}

void Compiler::open(const QString &questFile)
{
    m_questFile = questFile;
    if (!m_form.loaded())
        load();
    m_form.setVisible(true);
}

QString Compiler::startFolder(const QString &questFile, const std::function<bool(const QString &)> &writable)
{
    const QString questDir = QFileInfo(questFile).absolutePath();
    if (writable(questDir))
        return questDir;
    const QString documents = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    if (!documents.isEmpty() && QFileInfo(documents).isDir())
        return documents;
    return QDir::homePath();
}

void Compiler::load()
{
    m_form.reset();
    m_form.setText(QStringLiteral("Text1"), QFileInfo(m_questFile).completeBaseName());
    selectFolder(startFolder(m_questFile, [](const QString &dir) {
        return ::access(QFile::encodeName(dir).constData(), W_OK | X_OK) == 0;
    }));
    m_form.setLoaded(true);
    if (m_dialogs)
        m_dialogs->information(QString(), kNotice);
}

void Compiler::typeGameName(const QString &text) { m_form.setText(QStringLiteral("Text1"), text); }
void Compiler::selectFolder(const QString &path)
{
    m_form.setText(QStringLiteral("Dir1"), path);
    m_form.setText(QStringLiteral("Text2"), path);
}

void Compiler::typeFolderPath(const QString &text)
{
    m_form.setText(QStringLiteral("Text2"), text);
    if (!text.isEmpty() && QFileInfo(text).isDir())
        m_form.setText(QStringLiteral("Dir1"), QDir::cleanPath(QFileInfo(text).absoluteFilePath()));
}

QString Compiler::clickNewFolder()
{
    const QString parent = m_form.folder();
    if (parent.isEmpty())
        return {};
    QString path = QDir(parent).filePath(QStringLiteral("New Folder"));
    for (int i = 2; QFileInfo::exists(path) || QFileInfo(path).isSymLink(); ++i)
        path = QDir(parent).filePath(QStringLiteral("New Folder %1").arg(i));
    if (::mkdir(QFile::encodeName(path).constData(), 0777) != 0) {
        const QString cause = QString::fromLocal8Bit(std::strerror(errno));
        if (m_dialogs)
            m_dialogs->critical(QString(), QStringLiteral("Could not create a folder in %1: %2").arg(parent, cause));
        return {};
    }
    selectFolder(path);
    return path;
}

void Compiler::presetAnswers(std::optional<bool> allowOutside, std::optional<bool> replace)
{
    m_presetOutside = allowOutside;
    m_presetReplace = replace;
}

void Compiler::clickCancel()
{
    m_cancel = true; // read by the packaging thread; cleared when a compile starts
}
void Compiler::setIncludeRuntime(bool on) { m_form.setChecked(QStringLiteral("Check1"), on); }
void Compiler::setCopyMedia(bool on) { m_form.setChecked(QStringLiteral("Check2"), on); }

void Compiler::clickCompile()
{
    const QString name = m_form.gameName();
    if (name.isEmpty()) {
        if (m_dialogs)
            m_dialogs->information(QString(), QStringLiteral("You must enter a game name!"));
        return;
    }
    if (m_form.folder().isEmpty()) {
        if (m_dialogs)
            m_dialogs->information(QString(), QStringLiteral("You must select a directory path!"));
        return;
    }
    if (const QString problem = gameNameProblem(name); !problem.isEmpty()) {
        if (m_dialogs)
            m_dialogs->information(QString(), problem);
        return;
    }

    if (m_form.busy())
        return;

    PackageRequest request;
    request.questFile = m_questFile;
    request.gameName = name;
    request.targetDir = m_form.folder();
    request.programDir = m_programDir;
    request.programName = m_programName;
    request.runtime = m_form.includeRuntime();
    request.media = m_form.copyMedia();
    const PackagePlan plan = planPackage(request);
    m_lastResult = PackageResult();
    m_lastResult.gameDir = QDir(request.targetDir).filePath(name);
    if (plan.refused()) {
        m_lastResult.failedStep = plan.failedStep;
        m_lastResult.cause = plan.cause;
        if (m_dialogs)
            m_dialogs->critical(QString(), m_lastResult.failureMessage());
        return;
    }

    // Files from outside the quest's folder, and a folder that is not ours,
    // only with the author's consent; without it nothing is written.
    if (!plan.outside.isEmpty()) {
        const QString list = QStringLiteral("These files from outside the quest's folder will be copied into the game: ")
                             + QStringLiteral("\r\n") + plan.outside.join(QStringLiteral("\r\n"));
        if (m_presetOutside) {
            request.allowOutside = *m_presetOutside;
            if (!request.allowOutside) {
                m_lastResult.failedStep = QStringLiteral("copy files from outside the quest's folder");
                m_lastResult.cause = QStringLiteral("not allowed");
                if (m_dialogs)
                    m_dialogs->critical(QString(), list + QStringLiteral("\r\n\r\nNothing was written: copying them needs the author's consent."));
                return;
            }
        } else {
            request.allowOutside = m_dialogs
                                   && m_dialogs->questionDefaultNo(QStringLiteral("Question:"),
                                                                   list + QStringLiteral("\r\n\r\nCopy them?"))
                                          == Answer::Yes;
            if (!request.allowOutside)
                return;
        }
    }
    if (plan.needsReplaceConfirmation()) {
        const QString question = QStringLiteral("Replace the folder %1?").arg(m_lastResult.gameDir);
        if (m_presetReplace) {
            request.replace = *m_presetReplace;
            if (!request.replace) {
                m_lastResult.failedStep = QStringLiteral("write the game folder %1").arg(m_lastResult.gameDir);
                m_lastResult.cause = QStringLiteral("it exists and is not a game made by Fablecraft");
                if (m_dialogs)
                    m_dialogs->critical(QString(), m_lastResult.failureMessage());
                return;
            }
        } else {
            request.replace = m_dialogs
                              && m_dialogs->questionDefaultNo(QStringLiteral("Question:"), question) == Answer::Yes;
            if (!request.replace)
                return;
        }
    }

    // The game is written on a thread of its own; its steps come back as
    // queued calls, and events go on being handled until it ends.
    const int run = ++m_run;
    m_cancel = false;
    m_lastStep.clear();
    m_form.setProgress(0, 0);
    m_form.setText(QStringLiteral("Label3"), QString());
    m_form.setBusy(true);
    PackageProgress progress;
    const QPointer<Compiler> self(this);
    const std::function<void(const QString &)> hook = m_stepHook;
    progress.step = [self, run, hook](const QString &step, int done, int total) {
        if (hook)
            hook(step);
        QMetaObject::invokeMethod(
            self.data(),
            [self, run, step, done, total] {
                if (!self || self->m_run != run || !self->m_form.busy())
                    return;
                self->m_form.setProgress(done, total);
                self->m_form.setText(QStringLiteral("Label3"), step);
                if (step != self->m_lastStep) {
                    self->m_lastStep = step;
                    Q_EMIT self->stepStarted(step);
                }
            },
            Qt::QueuedConnection);
    };
    progress.canceled = [this] { return m_cancel.load(); };
    PackageResult result;
    QEventLoop loop;
    QThread *worker = QThread::create([&] { result = packageGame(request, plan, progress); });
    connect(worker, &QThread::finished, &loop, &QEventLoop::quit);
    worker->start();
    loop.exec();
    worker->wait();
    delete worker;
    ++m_run; // notices still queued belong to the ended compile
    m_lastResult = result;
    m_form.setBusy(false);
    m_form.setProgress(result.ok ? 1 : 0, result.ok ? 1 : 0);
    m_form.setText(QStringLiteral("Label3"), result.ok         ? QStringLiteral("Done.")
                                             : result.canceled ? QStringLiteral("Canceled: nothing was written.")
                                                               : QStringLiteral("Failed: nothing was written."));
    Q_EMIT m_form.changed(); // the folder tree shows the new game folder

    if (result.canceled)
        return;
    if (!m_lastResult.ok) {
        if (m_dialogs)
            m_dialogs->critical(QString(), m_lastResult.failureMessage());
        return;
    }
    QString text = QStringLiteral("You game should be compiled within the directoy as: ") + m_lastResult.executable;
    if (request.runtime)
        text += QStringLiteral("\r\n\r\nRuntime files: %1 (%2 files); the whole game: %3.")
                    .arg(megabytes(m_lastResult.runtimeBytes))
                    .arg(m_lastResult.runtimeCopied)
                    .arg(megabytes(m_lastResult.gameBytes));
    if (!m_lastResult.notCopied.isEmpty())
        text += QStringLiteral("\r\n\r\nThese files could not be copied:\r\n") + m_lastResult.notCopied.join(QStringLiteral("\r\n"));
    if (!m_dialogs)
        return;
    m_dialogs->information(QString(), text);
    if (m_dialogs->question(QStringLiteral("Question:"), QStringLiteral("Run compiled program now?")) != Answer::Yes)
        return;
    if (m_launcher)
        m_launcher->startDetached(m_lastResult.executable); // a failure to start is ignored
}

void Compiler::clickOpenDirectory()
{
    if (m_launcher && !m_form.folder().isEmpty())
        m_launcher->openFolder(m_form.folder());
}

void Compiler::clickClose() { m_form.setVisible(false); }

void Compiler::closeBox()
{
    clickCancel();
    m_form.setVisible(false);
    m_form.setLoaded(false);
}

bool Compiler::usable(const QString &name) const
{
    if (!m_form.visible() || !m_form.hasControl(name))
        return false;
    const CompileControl &c = m_form.control(name);
    return c.enabled && c.visible;
}

bool Compiler::setControlText(const QString &name, const QString &text)
{
    if (!usable(name))
        return false;
    if (name == QLatin1String("Text1"))
        typeGameName(text);
    else if (name == QLatin1String("Dir1"))
        selectFolder(text);
    else if (name == QLatin1String("Text2"))
        typeFolderPath(text);
    else
        return false;
    return true;
}

bool Compiler::clickControl(const QString &name)
{
    if (!usable(name))
        return false;
    if (name == QLatin1String("Command1"))
        clickCompile();
    else if (name == QLatin1String("Command2"))
        clickClose();
    else if (name == QLatin1String("Command3"))
        clickOpenDirectory();
    else if (name == QLatin1String("Command4"))
        clickNewFolder();
    else if (name == QLatin1String("Command5"))
        clickCancel();
    else if (name == QLatin1String("Check1"))
        setIncludeRuntime(!m_form.includeRuntime());
    else if (name == QLatin1String("Check2"))
        setCopyMedia(!m_form.copyMedia());
    else
        return false;
    return true;
}

} // namespace fc
