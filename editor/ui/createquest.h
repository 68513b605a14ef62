#pragma once
// The quest editor's window (createquest): page list, page fields, media
// pickers, story fields, help line. A view of the Editor's state; every user
// event goes to the Editor. Closing the window asks the Editor, which hides
// it; it is never destroyed while the program runs.

#include <QHash>
#include <QMainWindow>

class QAction;

namespace fc {

class CheckPanel;
class Editor;
class FindPanel;
class FormBinding;

class CreateQuest : public QMainWindow
{
    Q_OBJECT
public:
    explicit CreateQuest(Editor &editor, QWidget *parent = nullptr);
    ~CreateQuest() override;

    FormBinding &binding() { return *m_binding; }
    CheckPanel &checkPanel() { return *m_checkPanel; }
    FindPanel &findPanel() { return *m_findPanel; }

Q_SIGNALS:
    // Command7 ("battle settings") and Command8 ("character settings") were
    // clicked; the Editor has opened their dialog.
    void battleButtonClicked();
    void characterButtonClicked();

protected:
    void closeEvent(QCloseEvent *event) override;

private:
    void buildMenus();
    void buildCheckPanel();
    void buildViewMenu();
    void buildStatusLine();
    QWidget *buildContent();
    void followState();

    Editor &m_editor;
    FormBinding *m_binding = nullptr;
    CheckPanel *m_checkPanel = nullptr;
    FindPanel *m_findPanel = nullptr;
    QHash<QString, QAction *> m_actions; // menu commands by control name
};

} // namespace fc
