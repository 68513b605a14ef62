#pragma once
// The editor's two settings dialogs, both modeless and without OK or Cancel:
// every change is written at once by the Editor. FrmBattle edits the battle
// of the selected page, FrmCharCreate the quest's character settings. The
// close box and Esc ask the Editor to close the dialog; the dialog shows and
// hides itself as the Editor's state says.

#include <QDialog>

namespace fc {

class Editor;
class FormBinding;

class EditorDialog : public QDialog
{
    Q_OBJECT
public:
    FormBinding &binding() { return *m_binding; }

public Q_SLOTS:
    void reject() override;

protected:
    EditorDialog(Editor &editor, const char *form, QWidget *parent);
    // The content widget, styled as the editor; layouts go on it.
    QWidget *content() const { return m_content; }
    void closeEvent(QCloseEvent *event) override;
    void finish();

    Editor &m_editor;
    FormBinding *m_binding = nullptr;

private:
    void followState();
    QWidget *m_content = nullptr;
    bool m_placed = false;
};

class FrmBattle : public EditorDialog
{
    Q_OBJECT
public:
    explicit FrmBattle(Editor &editor, QWidget *parent = nullptr);
};

class FrmCharCreate : public EditorDialog
{
    Q_OBJECT
public:
    explicit FrmCharCreate(Editor &editor, QWidget *parent = nullptr);
};

} // namespace fc
