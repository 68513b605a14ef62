// The editor's events: each finds its control and hands it to the topic
// class that serves it.
#include "editor/editor.h"

#include "editor/editor_parts.h"

#include <algorithm>

namespace fc {

struct Editor::Parts
{
    Parts(Editor &e, EditorState &s, WorkingCopy &wc, const Ports &ports, const QString &dir)
        : ctx(e, s, wc, ports, dir), battle(ctx), pages(ctx, battle), pickers(ctx), character(ctx), menus(ctx, pages)
    {
    }
    EditorContext ctx;
    BattleDialog battle;
    PageEditor pages;
    Pickers pickers;
    CharacterDialog character;
    Menus menus;
};

namespace {

// Every writes of one user event go to the working copy together.
class UserEvent
{
public:
    explicit UserEvent(WorkingCopy &wc) : m_wc(wc) {}
    ~UserEvent() { m_wc.endEvent(); }

private:
    WorkingCopy &m_wc;
};

QString oneLine(const QString &text)
{
    QString t = text;
    t.replace(QLatin1String("\r\n"), QLatin1String(" "));
    for (QChar &ch : t)
        if (ch == QLatin1Char('\r') || ch == QLatin1Char('\n') || ch == QChar(0x2028) || ch == QChar(0x2029)
            || ch == QChar(0x0085) || ch == QChar(0x000B) || ch == QChar(0x000C) || ch == QChar(0))
            ch = QLatin1Char(' ');
    return t;
}

QString cutTo(const QString &text, int maxLength)
{
    if (maxLength <= 0 || text.size() <= maxLength)
        return text;
    qsizetype n = maxLength;
    if (text.at(n - 1).isHighSurrogate())
        --n;
    return text.left(n);
}

bool isPickerOnlyField(const QString &form, const QString &control)
{
    if (form == QLatin1String(kCreateQuest))
        return control == QLatin1String("Text25") || control == QLatin1String("Text26");
    return form == QLatin1String(kFrmCharCreate) && control == QLatin1String("Text5");
}

} // namespace

Editor::Editor(EditorState &state, WorkingCopy &workingCopy, const Ports &ports, const QString &programDir,
               QObject *parent)
    : QObject(parent)
    , m_state(state)
    , m_wc(workingCopy)
    , m_parts(std::make_unique<Parts>(*this, state, workingCopy, ports, programDir))
{
}

Editor::~Editor() = default;

bool Editor::startedUp() const { return m_parts->ctx.startedUp; }
QString Editor::questFile() const { return m_parts->ctx.questFile; }

void Editor::show()
{
    UserEvent event(m_wc);
    if (!m_parts->ctx.startedUp)
        m_parts->menus.startUp();
    if (!m_state.createquest().visible()) {
        m_state.setFormVisible(EditorContext::cq(), true);
        Q_EMIT visibilityChanged(true);
    }
}

bool Editor::closeRequest()
{
    if (!m_state.createquest().visible())
        return true;
    UserEvent event(m_wc);
    return m_parts->menus.closeRequest();
}

bool Editor::closeDialog(const QString &form)
{
    const FormState *f = m_state.form(form);
    if (!f || !f->visible() || form == QLatin1String(kCreateQuest))
        return false;
    UserEvent event(m_wc);
    if (form == QLatin1String(kFrmBattle))
        m_parts->battle.close();
    else
        m_parts->character.close();
    return true;
}

void Editor::menuNew()
{
    UserEvent event(m_wc);
    m_parts->menus.menuNew();
}

void Editor::menuLoad()
{
    UserEvent event(m_wc);
    m_parts->menus.menuLoad();
}

void Editor::menuSave()
{
    UserEvent event(m_wc);
    m_parts->menus.menuSave();
}

void Editor::menuCompile()
{
    UserEvent event(m_wc);
    m_parts->menus.menuCompile();
}

void Editor::menuExportWeb()
{
    UserEvent event(m_wc);
    m_parts->menus.menuCompile(true);
}

void Editor::menuExit()
{
    UserEvent event(m_wc);
    m_parts->menus.hide();
}

bool Editor::menu(const QString &name)
{
    if (!available(EditorContext::cq(), name) || m_state.ctl(EditorContext::cq(), name).kind != ControlKind::Menu)
        return false;
    if (name == QLatin1String("mnunew"))
        menuNew();
    else if (name == QLatin1String("mnuload"))
        menuLoad();
    else if (name == QLatin1String("mnusave"))
        menuSave();
    else if (name == QLatin1String("mnuexit"))
        menuExit();
    else if (name == QLatin1String("mnucompile"))
        menuCompile();
    else
        return false; // mnufile only opens its menu
    return true;
}

bool Editor::available(const QString &form, const QString &control) const
{
    const FormState *f = m_state.form(form);
    if (!f || !f->visible())
        return false;
    const Control *c = f->control(control);
    if (!c || !c->visible || !c->enabled)
        return false;
    if (c->kind == ControlKind::PageList)
        return f->pageList().enabled;
    if (!c->menu.isEmpty()) {
        const Control *parent = f->control(c->menu);
        return parent && parent->visible && parent->enabled;
    }
    return true;
}

bool Editor::setText(const QString &form, const QString &control, const QString &text)
{
    if (!available(form, control))
        return false;
    const Control &c = m_state.ctl(form, control);
    if (c.kind != ControlKind::TextBox)
        return false;
    if (c.readOnly)
        return text.isEmpty() && clearPickedFile(form, control);
    // A text longer than the box allows can come from the file; an edit of it
    // may keep its length, so its untouched tail is not cut away.
    const int limit = c.maxLength > 0 ? std::max<int>(c.maxLength, int(c.text.size())) : 0;
    const QString value = cutTo(oneLine(text), limit);
    if (value == c.text)
        return true;
    UserEvent event(m_wc);
    m_state.setText(form, control, value);
    if (form == QLatin1String(kCreateQuest))
        m_parts->pages.fieldChanged(control);
    else if (form == QLatin1String(kFrmBattle))
        m_parts->battle.fieldChanged(control);
    else
        m_parts->character.fieldChanged(control);
    return true;
}

bool Editor::typeText(const QString &form, const QString &control, const QString &text)
{
    if (!available(form, control))
        return false;
    const Control &c = m_state.ctl(form, control);
    if (c.kind != ControlKind::TextBox || c.readOnly)
        return false;
    for (qsizetype i = 0; i < text.size(); ++i) {
        QString ch = text.mid(i, 1);
        if (text.at(i).isHighSurrogate() && i + 1 < text.size() && text.at(i + 1).isLowSurrogate())
            ch = text.mid(i++, 2);
        const Control &now = m_state.ctl(form, control);
        if (now.maxLength > 0 && now.text.size() + ch.size() > now.maxLength)
            break; // the box is full: further keys are refused
        setText(form, control, now.text + ch);
    }
    return true;
}

bool Editor::clearPickedFile(const QString &form, const QString &control)
{
    if (!available(form, control) || !isPickerOnlyField(form, control))
        return false;
    UserEvent event(m_wc);
    if (form == QLatin1String(kCreateQuest))
        m_parts->pickers.clear(control);
    else
        m_parts->character.clear();
    return true;
}

bool Editor::click(const QString &form, const QString &control)
{
    if (!available(form, control))
        return false;
    const Control &c = m_state.ctl(form, control);
    if (c.kind == ControlKind::Menu)
        return menu(control);
    if (c.kind != ControlKind::CheckBox && c.kind != ControlKind::Button)
        return false;
    UserEvent event(m_wc);
    if (c.kind == ControlKind::CheckBox) {
        m_state.setChecked(form, control, c.checked ? 0 : 1);
        if (form == QLatin1String(kCreateQuest))
            m_parts->pages.fieldChanged(control);
        else if (form == QLatin1String(kFrmBattle))
            m_parts->battle.fieldChanged(control);
        else
            m_parts->character.fieldChanged(control);
        return true;
    }
    const int n = control.mid(7).toInt(); // "CommandN"
    if (form == QLatin1String(kFrmBattle)) {
        m_parts->battle.pick(control);
        return true;
    }
    if (form == QLatin1String(kFrmCharCreate)) {
        m_parts->character.pick();
        return true;
    }
    switch (n) {
    case 1: m_parts->pages.addPage(); break;
    case 2: m_parts->pages.deletePage(); break;
    case 3: case 6: case 9: case 10: m_parts->pickers.pick(control); break;
    case 4: m_parts->pickers.playMidi(); break;
    case 5: m_parts->pickers.stopMidi(); break;
    case 7: m_parts->battle.open(); break;
    case 8: m_parts->character.open(); break;
    case 11: m_parts->pickers.playSound(); break;
    case 12: m_parts->pickers.stopSound(); break;
    case 13: m_parts->menus.testGame(); break;
    default: return false;
    }
    return true;
}

bool Editor::selectPage(int index)
{
    if (!available(EditorContext::cq(), QStringLiteral("pg")))
        return false;
    if (index < 0 || index >= m_state.createquest().pageList().entries.size())
        return false;
    UserEvent event(m_wc);
    m_parts->pages.select(index);
    return true;
}

bool Editor::selectEntry(const QString &text)
{
    const int index = int(m_state.createquest().pageList().entries.indexOf(text));
    return index >= 0 && selectPage(index);
}

bool Editor::hover(const QString &form, const QString &control)
{
    if (!available(form, control))
        return false;
    const QString help = m_state.ctl(form, control).help;
    if (!help.isEmpty())
        m_state.setText(EditorContext::cq(), QStringLiteral("info"), help);
    return true;
}

bool Editor::flush(QString *error)
{
    return m_wc.flush(error);
}

} // namespace fc
