#pragma once
// Widgets shared by the editor's forms: the page-text box that wraps but
// takes no line break, the page list's model, and the tracker that sends the
// pointer and the keyboard focus to the help line.

#include <QAbstractListModel>
#include <QPlainTextEdit>
#include <QStringList>

#include <functional>

class QKeyEvent;

namespace fc {

// A text box for one long line: it wraps on screen, Enter adds nothing, a
// pasted line break becomes a blank, and it holds at most maxLength()
// characters (0: no limit). Tab moves the focus on. edited() reports every
// change the user makes, never one made by setText().
class OneLineTextEdit : public QPlainTextEdit
{
    Q_OBJECT
public:
    explicit OneLineTextEdit(QWidget *parent = nullptr);

    int maxLength() const { return m_maxLength; }
    void setMaxLength(int n) { m_maxLength = n; }

    QString text() const { return toPlainText(); }
    // Shows text without reporting it; the cursor stays where it was as far
    // as the new text allows.
    void setText(const QString &text);

    // Line breaks as blanks.
    static QString flattened(QString text);

Q_SIGNALS:
    void edited(const QString &text);

protected:
    void keyPressEvent(QKeyEvent *event) override;
    void insertFromMimeData(const QMimeData *source) override;
    bool canInsertFromMimeData(const QMimeData *source) const override;

private:
    int room() const; // characters that may still be inserted
    int m_maxLength = 0;
    bool m_setting = false;
};

// The entries of a list as a read-only model; replaced whole when the list
// changes (a list of thousands of pages is set once per load, not per key).
class EntryListModel : public QAbstractListModel
{
    Q_OBJECT
public:
    using QAbstractListModel::QAbstractListModel;
    void setEntries(const QStringList &entries);
    const QStringList &entries() const { return m_entries; }
    // What a row shows after the entry itself (a page's location); the
    // entry alone when not set.
    void setDetail(std::function<QString(const QString &entry)> detail) { m_detail = std::move(detail); }
    // The detail of the entry named entry changed.
    void entryChanged(const QString &entry);
    int rowCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role) const override;

private:
    QStringList m_entries;
    std::function<QString(const QString &)> m_detail;
};

// Keys the editor's history serves in every text box: Ctrl+Z, Ctrl+Shift+Z and
// Ctrl+Y reach the window's Undo and Redo, never the box's own undo; leaving
// the box ends the merging of typing in it.
class HistoryKeys : public QObject
{
public:
    HistoryKeys(std::function<void()> left, QObject *parent) : QObject(parent), m_left(std::move(left)) {}
    static bool isHistoryKey(const QKeyEvent *event);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    std::function<void()> m_left;
};

// Calls onHelp(control) when the pointer enters or moves over a watched
// control, or when the user moves the keyboard focus to it. Compound controls (a list's
// viewport, a text box's viewport) report for the control they belong to.
class HelpTracker : public QObject
{
    Q_OBJECT
public:
    explicit HelpTracker(std::function<void(const QString &objectName)> onHelp, QObject *parent = nullptr);
    // Watches the control (and its viewport, for scroll areas).
    void watch(QWidget *control);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    std::function<void(const QString &)> m_onHelp;
};

} // namespace fc
