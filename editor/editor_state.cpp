#include "editor/editor_state.h"

#include "editor/help_texts.h"

namespace fc {

namespace {

struct Layout
{
    FormState &form;
    QList<Control> &controls;

    Control &add(const QString &name, ControlKind kind, const QString &text = {})
    {
        Control c;
        c.name = name;
        c.kind = kind;
        c.text = text;
        c.help = helpText(form.name(), name);
        controls.append(c);
        return controls.last();
    }
    Control &label(int n, const char *caption)
    {
        return add(QStringLiteral("Label%1").arg(n), ControlKind::Label, QString::fromLatin1(caption));
    }
    Control &box(const QString &name, int maxLength = 0)
    {
        Control &c = add(name, ControlKind::TextBox);
        c.maxLength = maxLength;
        c.help = withLimit(c.help, maxLength);
        return c;
    }
    Control &box(int n, int maxLength = 0) { return box(QStringLiteral("Text%1").arg(n), maxLength); }
    Control &check(int n, const char *caption)
    {
        return add(QStringLiteral("Check%1").arg(n), ControlKind::CheckBox, QString::fromLatin1(caption));
    }
    Control &button(int n, const char *caption)
    {
        return add(QStringLiteral("Command%1").arg(n), ControlKind::Button, QString::fromLatin1(caption));
    }
    Control &menu(const char *name, const char *caption, const char *parent = "")
    {
        Control &c = add(QString::fromLatin1(name), ControlKind::Menu, QString::fromLatin1(caption));
        c.menu = QString::fromLatin1(parent);
        return c;
    }
};

// createquest, in tab order: page list and page number, then the page, row by
// row for the four choices, the media, the story and the status lines.
void layoutCreateQuest(FormState &f, QList<Control> &controls)
{
    Layout l{f, controls};
    l.menu("mnufile", "&File");
    l.menu("mnunew", "&New", "mnufile");
    l.menu("mnuload", "&Load A Quest File", "mnufile");
    l.menu("mnusave", "&Save A Quest File", "mnufile");
    l.menu("mnusaveas", "Save &As...", "mnufile");
    l.menu("mnuexit", "&Exit", "mnufile");
    l.menu("mnuedit", "&Edit");
    l.menu("mnuundo", "&Undo", "mnuedit").enabled = false;
    l.menu("mnuredo", "&Redo", "mnuedit").enabled = false;
    l.menu("mnucompile", "&Compile");

    l.add(QStringLiteral("pg"), ControlKind::PageList);
    l.label(1, "Page #");
    l.box(13);
    l.button(1, "Add Page");
    l.button(2, "Delete");
    l.label(5, "Player Location:");
    l.box(19, 1000);
    l.label(2, "Page Text:");
    l.box(1, 1000).wraps = true;
    l.label(3, "Players Options:");
    l.label(4, "Score:");
    l.label(7, "Key Item:");
    for (int i = 1; i <= 4; ++i) {
        l.box(1 + i, 60);      // option
        l.box(5 + i);          // destination
        l.box(18 - i, 3);      // score: Text17 is option one
        l.box(20 + i, 60);     // key item
        l.check(i, "Add");
        l.check(4 + i, "Required");
    }
    l.check(9, "Battle Page");
    l.button(7, "Open Battle Window").enabled = false;
    l.button(8, "Character Window");
    l.label(6, "Image:");
    l.box(20, 1000);
    l.button(6, "X");
    l.label(8, "Play MIDI:");
    l.box(18, 1000);
    l.button(3, "X");
    l.button(4, ">");
    l.button(5, "[=]");
    l.label(9, "Play Movie:");
    l.box(25, 1000).readOnly = true;
    l.button(9, "X");
    l.label(10, "Play Mp3:");
    l.box(26, 1000).readOnly = true;
    l.button(10, "X");
    l.button(11, ">");
    l.button(12, "[=]");
    l.label(11, "Title:");
    l.box(10, 1000);
    l.label(12, "Author:");
    l.box(11, 1000);
    l.label(13, "Version:");
    l.box(12, 1000);
    l.button(13, "Test Game");
    l.add(QStringLiteral("filepath"), ControlKind::Label);
    // Shown while the working copy cannot be written, naming the cause.
    l.add(QStringLiteral("banner"), ControlKind::Label).visible = false;
    l.add(QStringLiteral("info"), ControlKind::Label,
          QStringLiteral("Note: There is a limit to how many characters can be in an option and on a page."));
}

void layoutBattle(FormState &f, QList<Control> &controls)
{
    Layout l{f, controls};
    l.add(QStringLiteral("Frame1"), ControlKind::Frame, QStringLiteral("Monster"));
    l.label(1, "Name:");
    l.box(1);
    l.label(2, "HP:");
    l.box(2);
    l.label(3, "ATK:");
    l.box(3);
    l.label(4, "DEF:");
    l.box(4);
    l.label(5, "Image:");
    l.box(5);
    l.button(6, "X");
    l.label(6, "Music:");
    l.box(6);
    l.button(1, "X");
    l.label(7, "Attack Message:");
    l.box(12);
    l.label(8, "Alt. Atk or spell:");
    l.box(13);
    l.label(9, "Damage:");
    l.box(14);
    l.add(QStringLiteral("Image1"), ControlKind::Picture);
    l.add(QStringLiteral("Frame2"), ControlKind::Frame, QStringLiteral("After Battle"));
    l.check(1, "Allow escape");
    l.label(10, "Recieve Key Item:");
    l.box(7);
    l.label(11, "Recieve EXP:");
    l.box(8);
    l.label(12, "On success go to page:");
    l.box(9);
    l.label(13, "On failure go to page:");
    l.box(10);
    l.label(14, "Escape Page:");
    l.box(11);
}

void layoutCharacter(FormState &f, QList<Control> &controls)
{
    Layout l{f, controls};
    l.check(1, "Allow Load Saved Characters");
    l.check(2, "Allow Player to create / name character");
    l.label(1, "Character Name:");
    l.box(1);
    l.label(2, "Hp:");
    l.box(2);
    l.label(3, "Atk:");
    l.box(3);
    l.label(4, "Def:");
    l.box(4);
    l.label(5, "Image:");
    l.box(5).readOnly = true;
    l.button(1, "X");
    l.add(QStringLiteral("Image1"), ControlKind::Picture);
}

} // namespace

FormState::FormState(QString name, QString caption)
    : m_name(std::move(name))
    , m_caption(std::move(caption))
{
}

const Control *FormState::control(const QString &name) const
{
    const auto it = m_index.constFind(name);
    return it == m_index.cend() ? nullptr : &m_controls[*it];
}

Control *FormState::mut(const QString &name)
{
    const auto it = m_index.constFind(name);
    return it == m_index.cend() ? nullptr : &m_controls[*it];
}

EditorState::EditorState(QObject *parent)
    : QObject(parent)
{
    m_forms.append(FormState(QString::fromLatin1(kCreateQuest), QStringLiteral("Create 'A' Quest")));
    m_forms.append(FormState(QString::fromLatin1(kFrmBattle), QStringLiteral("Battle Creation")));
    m_forms.append(FormState(QString::fromLatin1(kFrmCharCreate), QStringLiteral("Character Creation")));
    layoutCreateQuest(m_forms[0], m_forms[0].m_controls);
    layoutBattle(m_forms[1], m_forms[1].m_controls);
    layoutCharacter(m_forms[2], m_forms[2].m_controls);
    for (FormState &f : m_forms)
        for (int i = 0; i < f.m_controls.size(); ++i)
            f.m_index.insert(f.m_controls[i].name, i);
    m_forms[0].m_pages.entries = QStringList{QStringLiteral("1")};
    m_forms[1].m_picture.kind = Picture::Placeholder;
}

const FormState *EditorState::form(const QString &name) const
{
    for (const FormState &f : m_forms)
        if (f.name() == name)
            return &f;
    return nullptr;
}

const Control &EditorState::ctl(const QString &form, const QString &name) const
{
    const FormState *f = this->form(form);
    const Control *c = f ? f->control(name) : nullptr;
    Q_ASSERT_X(c, "EditorState::ctl", qPrintable(form + QLatin1Char('.') + name));
    static const Control none;
    return c ? *c : none;
}

FormState *EditorState::mutForm(const QString &name)
{
    for (FormState &f : m_forms)
        if (f.name() == name)
            return &f;
    return nullptr;
}

Control *EditorState::mutControl(const QString &form, const QString &name)
{
    FormState *f = mutForm(form);
    return f ? f->mut(name) : nullptr;
}

void EditorState::emitControl(const QString &form, const QString &name)
{
    Q_EMIT controlChanged(form, name);
    Q_EMIT changed();
}

template <typename T>
void EditorState::assign(const QString &form, const QString &name, T Control::*field, const T &value)
{
    Control *c = mutControl(form, name);
    if (!c || c->*field == value)
        return;
    c->*field = value;
    emitControl(form, name);
}

void EditorState::setText(const QString &form, const QString &name, const QString &text)
{
    assign(form, name, &Control::text, text);
}

void EditorState::setChecked(const QString &form, const QString &name, int checked)
{
    assign(form, name, &Control::checked, checked);
}

void EditorState::setEnabled(const QString &form, const QString &name, bool enabled)
{
    if (name == QLatin1String("pg") && form == QLatin1String(kCreateQuest)) {
        setPageListEnabled(enabled);
        return;
    }
    assign(form, name, &Control::enabled, enabled);
}

void EditorState::setVisible(const QString &form, const QString &name, bool visible)
{
    assign(form, name, &Control::visible, visible);
}

void EditorState::setCaption(const QString &form, const QString &caption)
{
    FormState *f = mutForm(form);
    if (!f || f->m_caption == caption)
        return;
    f->m_caption = caption;
    Q_EMIT formChanged(form);
    Q_EMIT changed();
}

void EditorState::setFormVisible(const QString &form, bool visible)
{
    FormState *f = mutForm(form);
    if (!f || f->m_visible == visible)
        return;
    f->m_visible = visible;
    Q_EMIT formChanged(form);
    Q_EMIT changed();
}

void EditorState::setPageEntries(const QStringList &entries, int selected)
{
    PageList &p = m_forms[0].m_pages;
    p.entries = entries;
    p.selected = selected >= 0 && selected < entries.size() ? selected : -1;
    Q_EMIT pageListChanged();
    Q_EMIT changed();
}

void EditorState::appendPageEntry(const QString &entry)
{
    m_forms[0].m_pages.entries.append(entry);
    Q_EMIT pageListChanged();
    Q_EMIT changed();
}

void EditorState::removePageEntry(int index, int selectedAfter)
{
    PageList &p = m_forms[0].m_pages;
    if (index < 0 || index >= p.entries.size())
        return;
    p.entries.removeAt(index);
    p.selected = selectedAfter >= 0 && selectedAfter < p.entries.size() ? selectedAfter : -1;
    Q_EMIT pageListChanged();
    Q_EMIT changed();
}

void EditorState::setSelectedPage(int index)
{
    PageList &p = m_forms[0].m_pages;
    const int s = index >= 0 && index < p.entries.size() ? index : -1;
    if (p.selected == s)
        return;
    p.selected = s;
    Q_EMIT pageListChanged();
    Q_EMIT changed();
}

void EditorState::setPageListEnabled(bool enabled)
{
    PageList &p = m_forms[0].m_pages;
    if (p.enabled == enabled)
        return;
    p.enabled = enabled;
    Q_EMIT pageListChanged();
    Q_EMIT changed();
}

void EditorState::setPicture(const QString &form, const Picture &picture)
{
    FormState *f = mutForm(form);
    if (!f)
        return;
    f->m_picture = picture;
    Q_EMIT pictureChanged(form);
    Q_EMIT changed();
}

} // namespace fc
