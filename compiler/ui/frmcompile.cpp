#include "compiler/ui/frmcompile.h"

#include "compiler/packager.h"
#include "compiler/web_export.h"
#include "engine/ui/qt_ports.h"

#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QDir>
#include <QFileInfo>
#include <QFileSystemModel>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTreeView>

namespace fc {

namespace {

template <typename W> W *named(W *w, const QString &name, const QString &accessibleName)
{
    w->setObjectName(name);
    w->setAccessibleName(accessibleName);
    return w;
}

} // namespace

FrmCompile::FrmCompile(Compiler &compiler, QWidget *parent)
    : QDialog(parent)
    , m_compiler(compiler)
{
    setObjectName(QStringLiteral("FrmCompile"));
    setModal(false);
    const CompileForm &form = compiler.form();
    setWindowTitle(form.caption());

    m_label1 = named(new QLabel(form.control(QStringLiteral("Label1")).text, this), QStringLiteral("Label1"),
                     QStringLiteral("Game Name"));
    m_text1 = named(new QLineEdit(this), QStringLiteral("Text1"), QStringLiteral("Game Name"));
    m_label1->setBuddy(m_text1);

    m_text2 = named(new QLineEdit(this), QStringLiteral("Text2"), QStringLiteral("Folder path"));
    m_text2->setPlaceholderText(QStringLiteral("Type a folder's path and press Enter"));
    m_command4 = named(new QPushButton(form.control(QStringLiteral("Command4")).text, this), QStringLiteral("Command4"),
                       QStringLiteral("New Folder"));
    m_command4->setAutoDefault(false);

    m_folders = new QFileSystemModel(this);
    m_folders->setReadOnly(false); // a new folder is named in place
    m_folders->setFilter(QDir::AllDirs | QDir::NoDotAndDotDot | QDir::Drives);
    m_folders->setRootPath(QStringLiteral("/"));
    m_dir1 = named(new QTreeView(this), QStringLiteral("Dir1"), QStringLiteral("Folder"));
    m_dir1->setModel(m_folders);
    for (int column = 1; column < m_folders->columnCount(); ++column)
        m_dir1->hideColumn(column);
    m_dir1->setHeaderHidden(true);
    m_dir1->setMinimumSize(320, 240);

    m_label2 = named(new QLabel(form.control(QStringLiteral("Label2")).text, this), QStringLiteral("Label2"),
                     QStringLiteral("Where the game goes"));
    m_label2->setWordWrap(true);
    m_check1 = named(new QCheckBox(form.control(QStringLiteral("Check1")).text, this), QStringLiteral("Check1"),
                     QStringLiteral("Include all runtime files"));
    m_check2 = named(new QCheckBox(form.control(QStringLiteral("Check2")).text, this), QStringLiteral("Check2"),
                     QStringLiteral("Copy the media files"));
    m_check3 = named(new QCheckBox(tr("Web page (one HTML file)"), this), QStringLiteral("Check3"),
                     QStringLiteral("Web page (one HTML file)"));
    m_check3->setAccessibleDescription(tr("Write the quest with its media as one web page NAME.html into the folder"));
    m_command1 = named(new QPushButton(form.control(QStringLiteral("Command1")).text, this), QStringLiteral("Command1"),
                       QStringLiteral("Compile"));
    m_command3 = named(new QPushButton(form.control(QStringLiteral("Command3")).text, this), QStringLiteral("Command3"),
                       QStringLiteral("Open Directory"));
    m_command2 = named(new QPushButton(form.control(QStringLiteral("Command2")).text, this), QStringLiteral("Command2"),
                       QStringLiteral("Close"));
    m_progressBar1 = named(new QProgressBar(this), QStringLiteral("ProgressBar1"), QStringLiteral("Compile progress"));
    m_progressBar1->setTextVisible(true);
    m_label3 = named(new QLabel(this), QStringLiteral("Label3"), QStringLiteral("Compile step"));
    m_progressBar1->setAccessibleDescription(QStringLiteral("Compile step"));
    m_command5 = named(new QPushButton(form.control(QStringLiteral("Command5")).text, this), QStringLiteral("Command5"),
                       QStringLiteral("Cancel the compile"));
    m_command5->setAutoDefault(false);
    m_command1->setDefault(true);
    m_check1->setAccessibleDescription(m_check1->text());
    m_check2->setAccessibleDescription(m_check2->text());

    auto *buttons = new QHBoxLayout;
    buttons->addWidget(m_command1);
    buttons->addWidget(m_command3);
    buttons->addStretch(1);
    buttons->addWidget(m_command2);
    auto *pathRow = new QHBoxLayout;
    pathRow->addWidget(m_text2, 1);
    pathRow->addWidget(m_command4);
    auto *progressRow = new QHBoxLayout;
    progressRow->addWidget(m_progressBar1, 1);
    progressRow->addWidget(m_command5);
    auto *grid = new QGridLayout(this);
    grid->addWidget(m_label1, 0, 0);
    grid->addWidget(m_text1, 0, 1);
    grid->addLayout(pathRow, 1, 0, 1, 2);
    grid->addWidget(m_dir1, 2, 0, 1, 2);
    grid->addWidget(m_label2, 3, 0, 1, 2);
    grid->addWidget(m_check1, 4, 0, 1, 2);
    grid->addWidget(m_check2, 5, 0, 1, 2);
    grid->addWidget(m_check3, 6, 0, 1, 2);
    grid->addLayout(buttons, 7, 0, 1, 2);
    grid->addWidget(m_label3, 8, 0, 1, 2);
    grid->addLayout(progressRow, 9, 0, 1, 2);
    setTabOrder(m_text1, m_text2);
    setTabOrder(m_text2, m_command4);
    setTabOrder(m_command4, m_dir1);
    setTabOrder(m_dir1, m_check1);
    setTabOrder(m_check1, m_check2);
    setTabOrder(m_check2, m_check3);
    setTabOrder(m_check3, m_command1);
    setTabOrder(m_command1, m_command3);
    setTabOrder(m_command3, m_command2);
    setTabOrder(m_command2, m_command5);

    connect(m_text1, &QLineEdit::textEdited, &compiler, &Compiler::typeGameName);
    connect(m_dir1->selectionModel(), &QItemSelectionModel::currentChanged, this, [this](const QModelIndex &current) {
        if (!m_refreshing && current.isValid())
            m_compiler.selectFolder(m_folders->filePath(current));
    });
    connect(m_check1, &QCheckBox::toggled, this, [this](bool on) {
        if (!m_refreshing)
            m_compiler.setIncludeRuntime(on);
    });
    connect(m_check2, &QCheckBox::toggled, this, [this](bool on) {
        if (!m_refreshing)
            m_compiler.setCopyMedia(on);
    });
    connect(m_text2, &QLineEdit::returnPressed, this, [this] { m_compiler.typeFolderPath(m_text2->text()); });
    connect(m_text2, &QLineEdit::textEdited, this, [this](const QString &text) {
        if (QFileInfo(text).isDir()) // follow as the path is typed, without the Enter
            m_compiler.typeFolderPath(text);
    });
    connect(m_command4, &QPushButton::clicked, this, &FrmCompile::newFolder);
    connect(m_folders, &QFileSystemModel::fileRenamed, this,
            [this](const QString &dir, const QString &oldName, const QString &newName) {
                if (QDir(dir).filePath(oldName) == m_compiler.form().folder())
                    m_compiler.selectFolder(QDir(dir).filePath(newName));
            });
    // Folders are listed as they load: the selected one is shown once its
    // parents are there.
    connect(m_folders, &QFileSystemModel::directoryLoaded, this, [this](const QString &dir) {
        const QString selected = m_compiler.form().folder();
        if (selected.startsWith(dir) && m_dir1->currentIndex().isValid())
            m_dir1->scrollTo(m_dir1->currentIndex(), QAbstractItemView::PositionAtCenter);
    });
    connect(m_command5, &QPushButton::clicked, &compiler, &Compiler::clickCancel);
    connect(m_check3, &QCheckBox::toggled, this, [this](bool on) {
        m_check1->setEnabled(!on); // a web page has no runtime; its media are always inside
        m_check2->setEnabled(!on);
    });
    connect(m_command1, &QPushButton::clicked, this, &FrmCompile::compileClicked);
    connect(m_command3, &QPushButton::clicked, &compiler, &Compiler::clickOpenDirectory);
    connect(m_command2, &QPushButton::clicked, &compiler, &Compiler::clickClose);
    connect(&compiler.form(), &CompileForm::changed, this, &FrmCompile::refresh);
    refresh();
}

void FrmCompile::refresh()
{
    if (m_refreshing)
        return;
    m_refreshing = true;
    const CompileForm &form = m_compiler.form();
    if (m_text1->text() != form.gameName())
        m_text1->setText(form.gameName());
    if (m_text2->text() != form.control(QStringLiteral("Text2")).text)
        m_text2->setText(form.control(QStringLiteral("Text2")).text);
    m_check1->setChecked(form.includeRuntime());
    m_check2->setChecked(form.copyMedia());
    selectFolderInTree(form.folder());
    const CompileControl &bar = form.control(QStringLiteral("ProgressBar1"));
    // Busy until the first step is counted; empty when no compile runs.
    m_progressBar1->setRange(0, bar.maximum > 0 || form.busy() ? bar.maximum : 1);
    m_progressBar1->setValue(bar.value);
    m_label3->setText(form.control(QStringLiteral("Label3")).text);
    const QList<QWidget *> inputs = {m_text1, m_text2, m_command4, m_dir1, m_check1, m_check2,
                                     m_command1, m_command3, m_command2, m_command5};
    QWidget *focused = focusWidget();
    for (QWidget *w : inputs)
        w->setEnabled(form.control(w->objectName()).enabled);
    if (form.busy() && focused != m_command5 && isVisible())
        m_command5->setFocus(Qt::OtherFocusReason); // Cancel is the one thing to press while compiling
    else if (!form.busy() && focused == m_command5)
        m_command1->setFocus(Qt::OtherFocusReason);
    m_refreshing = false;
    if (form.visible() != isVisible()) {
        if (form.visible()) {
            show();
            raise();
            activateWindow();
            m_text1->setFocus();
        } else {
            hide();
        }
    }
}

void FrmCompile::setWebPage(bool on) { m_check3->setChecked(on); }
bool FrmCompile::webPage() const { return m_check3->isChecked(); }

void FrmCompile::compileClicked()
{
    if (m_check3->isChecked())
        exportWebPage();
    else
        m_compiler.clickCompile();
}

// The quest as NAME.html in the chosen folder; says where it went, what was
// left out, or why nothing was written.
void FrmCompile::exportWebPage()
{
    const CompileForm &form = m_compiler.form();
    const QString title = tr("Web page (one HTML file)");
    auto say = [this, &title](const QString &text, bool failed) {
        if (!m_dialogs)
            return;
        if (failed)
            m_dialogs->critical(title, text);
        else
            m_dialogs->information(title, text);
    };
    const QString name = form.gameName().trimmed();
    QString problem = name.isEmpty() ? tr("Type a name for the web page.") : gameNameProblem(name);
    if (problem.isEmpty() && form.folder().isEmpty())
        problem = tr("Choose the folder the web page goes into.");
    if (problem.isEmpty() && m_compiler.questFile().isEmpty())
        problem = tr("Load or save a quest first.");
    if (!problem.isEmpty()) {
        say(problem, true);
        return;
    }
    WebExportRequest request;
    request.questFile = m_compiler.questFile();
    request.outFile = QDir(form.folder()).filePath(name + QStringLiteral(".html"));
    request.programDir = m_programDir;
    QApplication::setOverrideCursor(Qt::WaitCursor);
    const WebExportResult r = fc::exportWebPage(request);
    QApplication::restoreOverrideCursor();
    if (!r.ok) {
        say(tr("The web page could not be written: %1").arg(r.error), true);
        return;
    }
    QString text = tr("The web page was written to %1 (%2 KB).").arg(request.outFile).arg((r.pageBytes + 1023) / 1024);
    if (!r.warnings.isEmpty())
        text += QStringLiteral("\n\n") + tr("Left out:") + QStringLiteral("\n") + r.warnings.join(QLatin1Char('\n'));
    say(text, false);
}

void FrmCompile::selectFolderInTree(const QString &path)
{
    if (path.isEmpty())
        return;
    const QModelIndex index = m_folders->index(path);
    if (!index.isValid() || m_dir1->currentIndex() == index)
        return;
    m_dir1->setCurrentIndex(index);
    m_dir1->scrollTo(index);
}

void FrmCompile::newFolder()
{
    const QString path = m_compiler.clickNewFolder();
    if (path.isEmpty())
        return;
    // The folder model learns of the new folder from the file system; its
    // name is edited in place once it is listed.
    const QModelIndex index = m_folders->index(path);
    if (index.isValid()) {
        m_dir1->setFocus(Qt::OtherFocusReason);
        m_dir1->edit(index);
    }
}

void FrmCompile::closeEvent(QCloseEvent *event)
{
    m_compiler.closeBox();
    event->accept();
}

void FrmCompile::reject()
{
    if (m_compiler.form().busy())
        m_compiler.clickCancel(); // Escape while compiling: as "Cancel"
    else
        m_compiler.clickClose();
}

struct CompileWindow::Parts
{
    Parts(const QString &programDir, QWidget *parent)
        : compiler(form, &dialogs, &launcher, programDir)
        , window(compiler, parent)
    {
        dialogs.setParent(&window);
        window.setDialogs(&dialogs);
        window.setProgramDir(programDir);
    }
    CompileForm form;
    QtDialogs dialogs;
    QtLauncher launcher;
    Compiler compiler;
    FrmCompile window;
};

CompileWindow::CompileWindow(const QString &programDir, const QIcon &icon, QWidget *parent)
    : m(std::make_unique<Parts>(programDir, parent))
{
    m->window.setWindowIcon(icon);
}

CompileWindow::~CompileWindow() = default;

void CompileWindow::open(const QString &questFile)
{
    m->window.setWebPage(false);
    m->compiler.open(questFile);
    m->window.raise();
    m->window.activateWindow();
}

void CompileWindow::openForWeb(const QString &questFile)
{
    open(questFile);
    m->window.setWebPage(true);
}

Compiler &CompileWindow::compiler() { return m->compiler; }
FrmCompile &CompileWindow::window() { return m->window; }
QtDialogs &CompileWindow::dialogs() { return m->dialogs; }

} // namespace fc
