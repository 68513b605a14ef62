#pragma once
// One form of the editor as widgets: a widget per control of the form's
// EditorState, named by the control, kept in step with the state and
// forwarding every user event to the Editor. The form classes only arrange
// these widgets in layouts; nothing here knows a rule of the editor.

#include <QHash>
#include <QObject>
#include <QString>
#include <QWidget>

class QListView;

namespace fc {

class Editor;
class EditorState;
class EntryListModel;
class HelpTracker;
class HistoryKeys;
struct Control;

// The preview picture Image1 of the battle and character dialogs.
class PreviewView : public QWidget
{
    Q_OBJECT
public:
    explicit PreviewView(QWidget *parent = nullptr);
    // kind as Picture::Kind; image for a picture loaded from a file.
    void show(int kind, const QImage &image);
    int kind() const { return m_kind; }
    const QImage &image() const { return m_image; }
    QSize sizeHint() const override { return {195, 102}; }

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    int m_kind = 0;
    QImage m_image;
};

class FormBinding : public QObject
{
    Q_OBJECT
public:
    // Builds a widget for every control of form (menus excepted), children of
    // parent. The editor must outlive the binding.
    FormBinding(Editor &editor, const QString &form, QWidget *parent);

    const QString &form() const { return m_form; }
    Editor &editor() { return m_editor; }

    // The widget of a control; nullptr for a name the form does not have.
    QWidget *widget(const QString &name) const { return m_widgets.value(name); }
    template <typename T> T *get(const QString &name) const { return qobject_cast<T *>(widget(name)); }
    QWidget *operator[](const char *name) const { return widget(QString::fromLatin1(name)); }

    // The accessible name of a control (its description is its help text).
    void name(const QString &control, const QString &accessibleName);
    void name(const char *control, const QString &accessibleName) { name(QString::fromLatin1(control), accessibleName); }
    // Makes label the buddy of control and, unless one was set, takes its
    // caption (without a trailing colon) as the control's accessible name.
    void label(const char *labelName, const char *control);

    // Tab order: the widgets of these controls, one after the other.
    void tabOrder(const QStringList &controls);

    // Shows the state of every control.
    void refreshAll();

Q_SIGNALS:
    // The form's visibility or caption changed in the state.
    void formChanged();
    // The button `name` was clicked; the Editor has taken the click.
    void buttonClicked(const QString &name);

private:
    QWidget *create(const Control &c, QWidget *parent);
    void refresh(const QString &name);
    void refreshPages();
    void refreshPicture();

    Editor &m_editor;
    EditorState &m_state;
    QString m_form;
    QHash<QString, QWidget *> m_widgets;
    HelpTracker *m_help = nullptr;
    HistoryKeys *m_historyKeys = nullptr;
    EntryListModel *m_pages = nullptr;
    QListView *m_pageView = nullptr;
    bool m_refreshing = false;
};

} // namespace fc
