#pragma once
// The compile dialog FrmCompile: a thin view over CompileForm that forwards
// the user's events to Compiler. Not modal. "Close" (and Escape) hides it;
// the window's close box unloads it (the next open starts afresh).
//
// CompileWindow bundles everything the editor needs to offer the dialog:
// the state, the operations over the platform's message boxes and launcher,
// and the form.

#include "compiler/compiler.h"

#include <QDialog>

#include <memory>

class QCheckBox;
class QFileSystemModel;
class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;
class QTreeView;

namespace fc {

class QtDialogs;

class FrmCompile : public QDialog
{
    Q_OBJECT
public:
    FrmCompile(Compiler &compiler, QWidget *parent = nullptr);

    QTreeView *folderTree() const { return m_dir1; }

    // The choice "Web page (one HTML file)" (Check3): Compile then writes the
    // quest as one web page NAME.html into the chosen folder instead of a
    // game folder. Messages go to dialogs.
    void setWebPage(bool on);
    bool webPage() const;
    void setDialogs(Dialogs *dialogs) { m_dialogs = dialogs; }
    void setProgramDir(const QString &dir) { m_programDir = dir; }

protected:
    void closeEvent(QCloseEvent *event) override;
    void reject() override; // Escape: as "Close", or "Cancel" while compiling

private:
    void refresh();
    void selectFolderInTree(const QString &path);
    void newFolder();
    void compileClicked();
    void exportWebPage();

    Compiler &m_compiler;
    QLabel *m_label1;
    QLineEdit *m_text1, *m_text2;
    QTreeView *m_dir1;
    QFileSystemModel *m_folders;
    QLabel *m_label2, *m_label3;
    QPushButton *m_command1, *m_command3, *m_command2, *m_command4, *m_command5;
    QCheckBox *m_check1, *m_check2, *m_check3;
    QProgressBar *m_progressBar1;
    Dialogs *m_dialogs = nullptr;
    QString m_programDir;
    bool m_refreshing = false;
};

// The compile dialog with its own state and ports, for the editor's
// "&Compile". icon: the game screen's window icon, which the dialog takes.
class CompileWindow
{
public:
    CompileWindow(const QString &programDir, const QIcon &icon, QWidget *parent = nullptr);
    ~CompileWindow();

    // Opens the dialog on the quest file (loading it with its notice when it
    // is not loaded) and brings it to the front.
    void open(const QString &questFile);
    // The same with the choice "Web page (one HTML file)" made.
    void openForWeb(const QString &questFile);

    Compiler &compiler();
    FrmCompile &window();
    QtDialogs &dialogs(); // its message boxes (tests answer them in advance)

private:
    struct Parts;
    std::unique_ptr<Parts> m;
};

} // namespace fc
