#pragma once
// The editor's "Check Quest": checks a flushed copy of the working copy off
// the UI thread and lists the findings in a panel beside the form; activating
// a finding (double click, Enter) selects its page in the page list.

#include "engine/check/check_runner.h"

#include <QDockWidget>

class QLabel;
class QListWidget;

namespace fc {

class Editor;

class CheckPanel : public QDockWidget
{
    Q_OBJECT
public:
    explicit CheckPanel(Editor &editor, QWidget *parent = nullptr);

    // Shows the panel and checks the working copy as it stands now. Typing
    // goes on meanwhile; a check asked for while one runs follows it.
    void checkQuest();

    QListWidget *findings() const { return m_list; }
    bool checking() const { return m_runner.running(); }

Q_SIGNALS:
    // The findings of a check are shown.
    void checked();

private:
    void showReport(const check::CheckReport &report);
    void activate(int row);

    Editor &m_editor;
    check::CheckRunner m_runner;
    QLabel *m_status = nullptr;
    QListWidget *m_list = nullptr;
};

} // namespace fc
