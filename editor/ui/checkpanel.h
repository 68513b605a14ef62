#pragma once
// The editor's "Check Quest": checks a flushed copy of the working copy off
// the UI thread and lists the findings in a panel beside the form; activating
// a finding (double click, Enter) selects its page in the page list.

#include "engine/check/check_runner.h"

#include <QDockWidget>

class QLabel;
class QListWidget;
class QTimer;

namespace fc {

class Editor;

class CheckPanel : public QDockWidget
{
    Q_OBJECT
public:
    explicit CheckPanel(Editor &editor, QWidget *parent = nullptr);

    // Shows the panel and checks the working copy as it stands now. Typing
    // goes on meanwhile; a check asked for while one runs follows it, and only
    // the newest check's findings are shown.
    void checkQuest();
    // Checks again kDelayMs after the last of a burst of changes (each call
    // starts the wait anew), without raising the panel.
    void scheduleCheck();
    // Forgets the findings shown and any check under way (a Load, "&New").
    void clear();

    static constexpr int kDelayMs = 1000;

    QListWidget *findings() const { return m_list; }
    QLabel *status() const { return m_status; }
    bool checking() const { return m_runner.running(); }
    bool scheduled() const;
    // Checks started since the panel was made (for tests and measurements).
    int checksStarted() const { return m_started; }
    const check::CheckReport &lastReport() const { return m_report; }

Q_SIGNALS:
    // The findings of a check are shown.
    void checked();

private:
    void startCheck();
    void showReport(const check::CheckReport &report);
    void activate(int row);

    Editor &m_editor;
    check::CheckRunner m_runner;
    QTimer *m_delay = nullptr;
    QString m_latest; // the copy of the newest check; other results are stale
    int m_started = 0;
    check::CheckReport m_report;
    QLabel *m_status = nullptr;
    QListWidget *m_list = nullptr;
};

} // namespace fc
