#include "engine/ui/qt_ports.h"

#include "engine/picture_file.h"
#include "engine/ui/pause.h"

#include "storage/profile_store.h"

#include <QCoreApplication>
#include <QDesktopServices>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QGuiApplication>
#include <QImageReader>
#include <QMessageBox>
#include <QProcess>
#include <QStandardPaths>
#include <QUrl>

namespace fc {

// --- message boxes -----------------------------------------------------------

QString QtDialogs::shownTitle(const QString &title)
{
    if (!title.isEmpty())
        return title;
    const QString name = QGuiApplication::applicationDisplayName();
    return name.isEmpty() ? QCoreApplication::applicationName() : name;
}

std::optional<Answer> QtDialogs::takeNext(const QString &title, const QString &text)
{
    ++m_count;
    m_lastTitle = title;
    m_lastText = text;
    if (m_next.empty())
        return std::nullopt;
    const Answer next = m_next.front();
    m_next.pop_front();
    return next;
}

namespace {
// Message texts use CR LF; a box shows plain line breaks.
QString boxText(const QString &text)
{
    QString t = text;
    t.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    return t;
}

QMessageBox::StandardButton showBox(QWidget *parent, QMessageBox::Icon icon, const QString &title,
                                    const QString &text, QMessageBox::StandardButtons buttons,
                                    QMessageBox::StandardButton defaultButton)
{
    QMessageBox box(icon, QtDialogs::shownTitle(title), boxText(text), buttons, parent);
    box.setDefaultButton(defaultButton);
    return QMessageBox::StandardButton(box.exec());
}
} // namespace

void QtDialogs::information(const QString &title, const QString &text)
{
    if (takeNext(title, text))
        return;
    showBox(m_parent, QMessageBox::NoIcon, title, text, QMessageBox::Ok, QMessageBox::Ok);
}

Answer QtDialogs::question(const QString &title, const QString &text)
{
    if (auto next = takeNext(title, text))
        return *next;
    const auto button = showBox(m_parent, QMessageBox::Warning, title, text, QMessageBox::Yes | QMessageBox::No,
                                QMessageBox::Yes);
    return button == QMessageBox::Yes ? Answer::Yes : Answer::No;
}

Answer QtDialogs::questionDefaultNo(const QString &title, const QString &text)
{
    if (auto next = takeNext(title, text))
        return *next;
    const auto button = showBox(m_parent, QMessageBox::Warning, title, text, QMessageBox::Yes | QMessageBox::No,
                                QMessageBox::No);
    return button == QMessageBox::Yes ? Answer::Yes : Answer::No;
}

void QtDialogs::critical(const QString &title, const QString &text)
{
    if (takeNext(title, text))
        return;
    showBox(m_parent, QMessageBox::Critical, title, text, QMessageBox::Ok, QMessageBox::Ok);
}

// --- file dialog -------------------------------------------------------------

QStringList QtFileDialog::nameFilters(const QString &filter)
{
    QStringList result;
    const QStringList parts = filter.split(QLatin1Char('|'));
    for (int i = 0; i + 1 < parts.size(); i += 2) {
        const QString desc = parts[i].trimmed();
        QString patterns = parts[i + 1].trimmed();
        patterns.replace(QLatin1Char(';'), QLatin1Char(' '));
        // QFileDialog takes the patterns from the parentheses.
        result << (desc.contains(QLatin1Char('(')) ? desc : desc + QStringLiteral(" (") + patterns + QLatin1Char(')'));
    }
    return result;
}

QString QtFileDialog::run(const FileDialogOptions &options, bool save)
{
    m_lastOptions = options;
    if (m_next) {
        const QString name = *m_next;
        m_next.reset();
        return name;
    }
    QFileDialog dialog(m_parent);
    dialog.setAcceptMode(save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
    dialog.setFileMode(save ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
    // Choosing a file to save to is the whole question: the game asks no
    // second one before replacing it.
    dialog.setOption(QFileDialog::DontConfirmOverwrite, save);
    // A folder the caller chose on purpose (the editor's quest folder) comes
    // first; the program folder and the plain documents fallback give way to
    // the folder last used for this kind of file.
    const QString asked = options.initialDir.isEmpty() ? QString() : QDir::cleanPath(options.initialDir);
    const bool onPurpose = !asked.isEmpty() && QFileInfo(asked).isDir()
                        && asked != QDir::cleanPath(QCoreApplication::applicationDirPath())
                        && asked != QDir::cleanPath(QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation));
    dialog.setDirectory(onPurpose ? asked : startFolder(options.filter));
    const QStringList filters = nameFilters(options.filter);
    if (!filters.isEmpty())
        dialog.setNameFilters(filters);
    if (!options.defaultExt.isEmpty())
        dialog.setDefaultSuffix(options.defaultExt);
    if (!options.fileName.isEmpty())
        dialog.selectFile(options.fileName);
    if (dialog.exec() != QDialog::Accepted)
        return {};
    const QStringList chosen = dialog.selectedFiles();
    if (chosen.isEmpty())
        return {};
    rememberFolder(options.filter, chosen.first());
    return QDir::toNativeSeparators(chosen.first());
}

namespace {
const QString kFoldersSection = QStringLiteral("Folders");

// The kind of file a dialog is for: its filter, or "any" without one.
QString folderKey(const QString &filter)
{
    return filter.isEmpty() ? QStringLiteral("any") : filter;
}
} // namespace

QString QtFileDialog::foldersFile()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation)
           + QStringLiteral("/fablecraft/folders.ini");
}

QString QtFileDialog::startFolder(const QString &filter)
{
    const QString remembered = ReadIni(foldersFile(), kFoldersSection, folderKey(filter));
    if (!remembered.isEmpty() && QFileInfo(remembered).isDir())
        return remembered;
    const QString documents = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    if (!documents.isEmpty() && QFileInfo(documents).isDir())
        return documents;
    return QDir::homePath();
}

void QtFileDialog::rememberFolder(const QString &filter, const QString &chosenFile)
{
    const QString folder = QFileInfo(chosenFile).absolutePath();
    if (folder.isEmpty() || ReadIni(foldersFile(), kFoldersSection, folderKey(filter)) == folder)
        return;
    QDir().mkpath(QFileInfo(foldersFile()).absolutePath());
    WriteIni(foldersFile(), kFoldersSection, folderKey(filter), folder);
}

QString QtFileDialog::openFile(const FileDialogOptions &options) { return run(options, false); }
QString QtFileDialog::saveFile(const FileDialogOptions &options) { return run(options, true); }

// --- pictures ----------------------------------------------------------------

std::optional<QImage> QtPictureLoader::load(PictureSlot, const QString &path)
{
    if (path.isEmpty())
        return QImage();
    return LoadPictureFile(path, true);
}

// --- programs and addresses --------------------------------------------------

QString QtLauncher::findProgram(const QString &name)
{
    if (name.isEmpty())
        return {};
    const QFileInfo beside(QDir(QCoreApplication::applicationDirPath()).filePath(name));
    if (beside.isFile() && beside.isExecutable())
        return beside.absoluteFilePath();
    return QStandardPaths::findExecutable(name);
}

bool QtLauncher::startProgram(const QString &name)
{
    const QString program = findProgram(name);
    if (program.isEmpty())
        return false;
    return QProcess::startDetached(program, {}, QFileInfo(program).absolutePath());
}

void QtLauncher::openUrl(const QString &url)
{
    QDesktopServices::openUrl(QUrl::fromUserInput(url));
}

bool QtLauncher::openFolder(const QString &path)
{
    return QFileInfo(path).isDir() && QDesktopServices::openUrl(QUrl::fromLocalFile(path));
}

bool QtLauncher::startDetached(const QString &program)
{
    const QFileInfo info(program);
    if (!info.isFile() || !info.isExecutable())
        return false;
    return QProcess::startDetached(info.absoluteFilePath(), {}, info.absolutePath());
}

// --- waiting -----------------------------------------------------------------

void QtClock::pause(double seconds)
{
    Pause(seconds);
}

} // namespace fc
