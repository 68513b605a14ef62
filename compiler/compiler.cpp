#include "compiler/compiler.h"

#include <QFileInfo>

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

void Compiler::load()
{
    m_form.reset();
    m_form.setText(QStringLiteral("Dir1"), QFileInfo(m_questFile).absolutePath());
    m_form.setLoaded(true);
    if (m_dialogs)
        m_dialogs->information(QString(), kNotice);
}

void Compiler::typeGameName(const QString &text) { m_form.setText(QStringLiteral("Text1"), text); }
void Compiler::selectFolder(const QString &path) { m_form.setText(QStringLiteral("Dir1"), path); }
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

    PackageRequest request;
    request.questFile = m_questFile;
    request.gameName = name;
    request.targetDir = m_form.folder();
    request.programDir = m_programDir;
    request.programName = m_programName;
    request.runtime = m_form.includeRuntime();
    request.media = m_form.copyMedia();
    m_lastResult = packageGame(request);
    Q_EMIT m_form.changed(); // the folder tree shows the new game folder

    if (!m_lastResult.ok) {
        if (m_dialogs)
            m_dialogs->critical(QString(), m_lastResult.failureMessage());
        return;
    }
    QString text = QStringLiteral("You game should be compiled within the directoy as: ") + m_lastResult.executable;
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
    else if (name == QLatin1String("Check1"))
        setIncludeRuntime(!m_form.includeRuntime());
    else if (name == QLatin1String("Check2"))
        setCopyMedia(!m_form.copyMedia());
    else
        return false;
    return true;
}

} // namespace fc
