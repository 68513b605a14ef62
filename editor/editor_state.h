#pragma once
// The editor's state: every control of the editor form createquest and its two
// dialogs FrmBattle and FrmCharCreate, by name, with exactly what a view shows
// of it. The forms in editor/ui show this state and forward user events to
// Editor (editor/editor.h); the text-mode editor and the tests drive the same
// object. Nothing here reads or writes a file.
//
// Contract for views:
// - Every control is found by its objectName: form("createquest")->control("Text1").
//   The set of controls of a form is fixed at construction; only their values
//   change.
// - controlChanged(form, name) follows every change of one control's values
//   (text, checked, enabled, visible, readOnly); pageListChanged() follows the
//   page list's entries or selection; pictureChanged(form) the Image1 preview
//   of a dialog; formChanged(form) its visibility or caption. changed() follows
//   each of them, for views that simply redraw everything.
// - A view compares before it assigns: after forwarding a user's edit, the
//   state already holds the new text, so the widget must not be set again
//   (that would move the caret).

#include <QHash>
#include <QImage>
#include <QList>
#include <QObject>
#include <QString>
#include <QStringList>

namespace fc {

// Form names.
inline constexpr char kCreateQuest[] = "createquest";
inline constexpr char kFrmBattle[] = "FrmBattle";
inline constexpr char kFrmCharCreate[] = "FrmCharCreate";

enum class ControlKind {
    TextBox,  // text, maxLength, readOnly, wraps
    Label,    // text is the caption (info and filepath are labels too)
    CheckBox, // text is the caption, checked 0 or 1
    Button,   // text is the caption
    Frame,    // a captioned group box; text is the caption
    Menu,     // a menu bar entry or menu command; text is the caption with "&"
    PageList, // pg: see PageList
    Picture,  // Image1 of the dialogs: see Picture
};

struct Control
{
    QString name;
    ControlKind kind = ControlKind::Label;
    QString text;
    int checked = 0;
    bool enabled = true;
    bool visible = true;
    // The user cannot type into it (fields that only their picker fills).
    bool readOnly = false;
    // Most characters the user can enter; 0 for no limit. Text set by the
    // program (a page being filled) is never cut.
    int maxLength = 0;
    // The box wraps its text on screen (the page text); it still holds one
    // line: no text box of the editor takes a line break.
    bool wraps = false;
    // The help line's text for this control, also its accessible description;
    // empty when it has none.
    QString help;
    // Name of the menu this menu command belongs to ("" for top-level entries
    // and for every other kind).
    QString menu;
};

// The page list pg of createquest.
struct PageList
{
    static constexpr int kMaxEntries = 32767;
    QStringList entries;
    int selected = -1; // index into entries, -1 when none
    bool enabled = true;
    QString selectedText() const { return selected >= 0 && selected < entries.size() ? entries[selected] : QString(); }
};

// The Image1 preview of FrmBattle and FrmCharCreate.
struct Picture
{
    enum Kind {
        Empty,       // nothing shown
        Placeholder, // the built-in battle placeholder picture
        Icon,        // the editor form's icon
        File,        // the picture loaded from path
    };
    Kind kind = Empty;
    QString path;  // the file shown when kind == File
    QImage image;  // its decoded picture when kind == File
};

class FormState
{
public:
    FormState(QString name, QString caption);

    const QString &name() const { return m_name; }
    const QString &caption() const { return m_caption; }
    bool visible() const { return m_visible; }

    // Controls in their order on the form (tab order).
    const QList<Control> &controls() const { return m_controls; }
    // nullptr for a name the form does not have.
    const Control *control(const QString &name) const;

    // createquest only; empty elsewhere.
    const PageList &pageList() const { return m_pages; }
    // FrmBattle and FrmCharCreate only.
    const Picture &picture() const { return m_picture; }

private:
    friend class EditorState;
    Control *mut(const QString &name);

    QString m_name;
    QString m_caption;
    bool m_visible = false;
    QList<Control> m_controls;
    QHash<QString, int> m_index;
    PageList m_pages;
    Picture m_picture;
};

class EditorState : public QObject
{
    Q_OBJECT
public:
    explicit EditorState(QObject *parent = nullptr);

    const FormState &createquest() const { return m_forms[0]; }
    const FormState &battle() const { return m_forms[1]; }
    const FormState &character() const { return m_forms[2]; }
    // nullptr for an unknown form name.
    const FormState *form(const QString &name) const;
    const QList<FormState> &forms() const { return m_forms; }

    // Shorthands for the most used values.
    const Control &ctl(const QString &form, const QString &name) const; // the control must exist
    QString text(const QString &form, const QString &name) const { return ctl(form, name).text; }
    int checked(const QString &form, const QString &name) const { return ctl(form, name).checked; }
    QString currentPage() const { return createquest().pageList().selectedText(); }
    QString info() const { return text(QString::fromLatin1(kCreateQuest), QStringLiteral("info")); }
    QString filepath() const { return text(QString::fromLatin1(kCreateQuest), QStringLiteral("filepath")); }

    // --- changes (the editor's operations call these; views only read) ------
    // Each emits its signals only when something changed.
    void setText(const QString &form, const QString &name, const QString &text);
    void setChecked(const QString &form, const QString &name, int checked);
    void setEnabled(const QString &form, const QString &name, bool enabled);
    void setVisible(const QString &form, const QString &name, bool visible);
    void setFormVisible(const QString &form, bool visible);
    void setCaption(const QString &form, const QString &caption);
    void setPageEntries(const QStringList &entries, int selected);
    void appendPageEntry(const QString &entry);
    void removePageEntry(int index, int selectedAfter);
    void setSelectedPage(int index);
    void setPageListEnabled(bool enabled);
    void setPicture(const QString &form, const Picture &picture);

Q_SIGNALS:
    void controlChanged(const QString &form, const QString &name);
    void pageListChanged();
    void pictureChanged(const QString &form);
    void formChanged(const QString &form);
    void changed();

private:
    FormState *mutForm(const QString &name);
    Control *mutControl(const QString &form, const QString &name);
    void emitControl(const QString &form, const QString &name);
    // Sets one field of a control and tells the views, unless it holds the value already.
    template <typename T> void assign(const QString &form, const QString &name, T Control::*field, const T &value);

    QList<FormState> m_forms;
};

} // namespace fc
