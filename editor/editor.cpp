// The editor's events: each finds its control and hands it to the topic
// class that serves it.
#include "editor/editor.h"

#include "editor/editor_parts.h"

#include "engine/game.h"
#include "storage/profile_store.h"
#include "storage/quest_format.h"

#include <QElapsedTimer>
#include <QFileInfo>
#include <QHash>
#include <QUndoStack>

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
    QUndoStack undo;
    ScriptedSaveQuestions noQuestions{}; // answers Discard when nobody asks
    int editDepth = 0;
    // Typing merges into the step before while it goes on in one field.
    QString typingKey;
    QElapsedTimer typingClock;
    bool discarded = false; // "Discard" answered; cleared by the next change
};

SaveAnswer ScriptedSaveQuestions::saveChanges(const QString &text)
{
    asked << text;
    if (answers.empty())
        return answer;
    const SaveAnswer a = answers.front();
    answers.pop_front();
    return a;
}

bool ScriptedSaveQuestions::recover(const QString &text)
{
    asked << text;
    return recoverAnswer;
}

// One step of the history: what one user event did to the document.
class EditCommand : public QUndoCommand
{
public:
    EditCommand(Editor &editor, const QString &text, std::shared_ptr<QuestDocument::Delta> delta, QString mergeKey,
                QString page, bool mayMerge)
        : QUndoCommand(text)
        , m_editor(editor)
        , m_delta(std::move(delta))
        , m_mergeKey(std::move(mergeKey))
        , m_page(std::move(page))
        , m_mayMerge(mayMerge)
    {
    }
    int id() const override { return m_mergeKey.isEmpty() ? -1 : 1; }
    bool mergeWith(const QUndoCommand *other) override
    {
        const auto *o = static_cast<const EditCommand *>(other);
        if (!o->m_mayMerge || o->m_mergeKey != m_mergeKey)
            return false;
        QuestDocument::merge(*m_delta, *o->m_delta);
        return true;
    }
    void redo() override
    {
        if (m_done) // the change happened before the step was pushed
            m_editor.applyStep(*this, true);
        m_done = true;
    }
    void undo() override { m_editor.applyStep(*this, false); }

    const QuestDocument::Delta &delta() const { return *m_delta; }
    const QString &page() const { return m_page; }

private:
    Editor &m_editor;
    std::shared_ptr<QuestDocument::Delta> m_delta;
    QString m_mergeKey, m_page;
    bool m_mayMerge;
    bool m_done = false;
};

// Every change of one user event is one step, and its writes go to the
// working copy together.
class EditEvent
{
public:
    explicit EditEvent(Editor &e, QString text = {}, QString mergeKey = {}, QString page = {}, bool endsHistory = false)
        : m_e(e), m_text(std::move(text)), m_mergeKey(std::move(mergeKey)), m_page(std::move(page)),
          m_endsHistory(endsHistory)
    {
        m_e.beginEdit();
    }
    ~EditEvent() { m_e.endEdit(m_text, m_mergeKey, m_page, m_endsHistory); }
    void setText(const QString &text) { m_text = text; }
    void setPage(const QString &page) { m_page = page; }
    void endHistory() { m_endsHistory = true; }

private:
    Editor &m_e;
    QString m_text, m_mergeKey, m_page;
    bool m_endsHistory;
};

namespace {

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

// How a step names a field: "Page 3 Text", "Title", "Page 3 Monster Name".
QString fieldName(const QString &form, const QString &control, const QString &page)
{
    static const QHash<QString, QString> names = [] {
        QHash<QString, QString> n;
        const QString cq = QString::fromLatin1(kCreateQuest), fb = QString::fromLatin1(kFrmBattle),
                      fc = QString::fromLatin1(kFrmCharCreate);
        auto put = [&n](const QString &form, const QString &control, const QString &name) {
            n.insert(form + QLatin1Char('.') + control, name);
        };
        put(cq, QStringLiteral("Text1"), QStringLiteral("Text"));
        for (int i = 1; i <= 4; ++i) {
            put(cq, QStringLiteral("Text%1").arg(1 + i), QStringLiteral("Option %1").arg(i));
            put(cq, QStringLiteral("Text%1").arg(5 + i), QStringLiteral("Destination %1").arg(i));
            put(cq, QStringLiteral("Text%1").arg(18 - i), QStringLiteral("Score %1").arg(i));
            put(cq, QStringLiteral("Text%1").arg(20 + i), QStringLiteral("Key Item %1").arg(i));
            put(cq, QStringLiteral("Check%1").arg(i), QStringLiteral("Add %1").arg(i));
            put(cq, QStringLiteral("Check%1").arg(4 + i), QStringLiteral("Required %1").arg(i));
        }
        put(cq, QStringLiteral("Check9"), QStringLiteral("Battle Page"));
        put(cq, QStringLiteral("Text10"), QStringLiteral("Title"));
        put(cq, QStringLiteral("Text11"), QStringLiteral("Author"));
        put(cq, QStringLiteral("Text12"), QStringLiteral("Version"));
        put(cq, QStringLiteral("Text13"), QStringLiteral("Page #"));
        put(cq, QStringLiteral("Text18"), QStringLiteral("Music"));
        put(cq, QStringLiteral("Command3"), QStringLiteral("Music"));
        put(cq, QStringLiteral("Text19"), QStringLiteral("Location"));
        put(cq, QStringLiteral("Text20"), QStringLiteral("Image"));
        put(cq, QStringLiteral("Command6"), QStringLiteral("Image"));
        put(cq, QStringLiteral("Text25"), QStringLiteral("Movie"));
        put(cq, QStringLiteral("Command9"), QStringLiteral("Movie"));
        put(cq, QStringLiteral("Text26"), QStringLiteral("Mp3"));
        put(cq, QStringLiteral("Command10"), QStringLiteral("Mp3"));
        const char *const battle[][2] = {
            {"Text1", "Monster Name"}, {"Text2", "Monster HP"}, {"Text3", "Monster ATK"}, {"Text4", "Monster DEF"},
            {"Text5", "Battle Image"}, {"Command6", "Battle Image"}, {"Text6", "Battle Music"},
            {"Command1", "Battle Music"}, {"Text7", "Battle Key Item"}, {"Text8", "Battle EXP"},
            {"Text9", "Success Page"}, {"Text10", "Failure Page"}, {"Text11", "Escape Page"},
            {"Text12", "Attack Message"}, {"Text13", "Alt. Attack"}, {"Text14", "Alt. Attack Damage"},
            {"Check1", "Allow Escape"}};
        for (const auto &b : battle)
            put(fb, QString::fromLatin1(b[0]), QString::fromLatin1(b[1]));
        const char *const character[][2] = {
            {"Text1", "Character Name"}, {"Text2", "Character HP"}, {"Text3", "Character ATK"},
            {"Text4", "Character DEF"}, {"Text5", "Character Image"}, {"Command1", "Character Image"},
            {"Check1", "Allow Load Saved Characters"}, {"Check2", "Allow Character Creation"}};
        for (const auto &c : character)
            put(fc, QString::fromLatin1(c[0]), QString::fromLatin1(c[1]));
        return n;
    }();
    const QString name = names.value(form + QLatin1Char('.') + control, control);
    const bool onPage = form == QLatin1String(kFrmBattle)
                        || (form == QLatin1String(kCreateQuest) && !PageEditor::isStoryField(control)
                            && control != QLatin1String("Text13"));
    return onPage && !page.isEmpty() ? QStringLiteral("Page %1 %2").arg(page, name) : name;
}

} // namespace

Editor::Editor(EditorState &state, WorkingCopy &workingCopy, const Ports &ports, const QString &programDir,
               QObject *parent)
    : QObject(parent)
    , m_state(state)
    , m_wc(workingCopy)
    , m_parts(std::make_unique<Parts>(*this, state, workingCopy, ports, programDir))
{
    m_parts->noQuestions.recoverAnswer = false;
    m_parts->ctx.questions = &m_parts->noQuestions;
    m_parts->undo.setUndoLimit(kUndoLimit);
    auto menus = [this] {
        const QString cq = EditorContext::cq();
        const QUndoStack &u = m_parts->undo;
        m_state.setText(cq, QStringLiteral("mnuundo"), u.canUndo() ? QStringLiteral("&Undo ") + u.undoText() : QStringLiteral("&Undo"));
        m_state.setText(cq, QStringLiteral("mnuredo"), u.canRedo() ? QStringLiteral("&Redo ") + u.redoText() : QStringLiteral("&Redo"));
        m_state.setEnabled(cq, QStringLiteral("mnuundo"), u.canUndo());
        m_state.setEnabled(cq, QStringLiteral("mnuredo"), u.canRedo());
    };
    connect(&m_parts->undo, &QUndoStack::indexChanged, this, menus);
    connect(&m_parts->undo, &QUndoStack::cleanChanged, this, [this] { updateTitle(); });
    // The banner names the cause while the working copy cannot be written.
    connect(&m_wc, &WorkingCopy::writeFailed, this, [this](const QString &error) {
        const QString cq = EditorContext::cq();
        m_state.setText(cq, QStringLiteral("banner"), QStringLiteral("Changes are not being saved: ") + error);
        m_state.setVisible(cq, QStringLiteral("banner"), true);
    });
    connect(&m_wc, &WorkingCopy::writeRecovered, this, [this] {
        const QString cq = EditorContext::cq();
        m_state.setVisible(cq, QStringLiteral("banner"), false);
        m_state.setText(cq, QStringLiteral("banner"), QString());
    });
    updateTitle();
}

Editor::~Editor()
{
    // The history goes with the editor; that is no save (a crash neither).
    disconnect(&m_parts->undo, nullptr, this, nullptr);
}

void Editor::setSaveQuestions(SaveQuestions *questions)
{
    m_parts->ctx.questions = questions ? questions : &m_parts->noQuestions;
}

void Editor::setGame(Game *game)
{
    m_game = game;
    if (!game)
        return;
    // Test play reads the document itself, so a choice taken right after an
    // edit already sees it, whatever the file's lag.
    game->setQuestReader([this, game](const QString &section, const QString &key) {
        const QString file = game->screen().state().questFile();
        if (file == QLatin1String(quest::kWorkingCopyFile))
            return m_wc.read(section, key);
        return ReadIni(file, section, key);
    });
}

bool Editor::startedUp() const { return m_parts->ctx.startedUp; }
QString Editor::questFile() const { return m_parts->ctx.questFile; }
QUndoStack &Editor::undoStack() { return m_parts->undo; }

bool Editor::modified() const { return !m_parts->undo.isClean() || m_parts->ctx.recovered; }

QString Editor::documentName() const
{
    const QString file = m_parts->ctx.questFile;
    return file.isEmpty() || m_state.filepath().isEmpty() ? QStringLiteral("Untitled") : QFileInfo(file).fileName();
}

QString Editor::banner() const { return m_state.text(EditorContext::cq(), QStringLiteral("banner")); }

void Editor::updateTitle()
{
    const QString caption = documentName() + (modified() ? QStringLiteral("*") : QString())
                            + QStringLiteral(" - Create 'A' Quest");
    m_state.setCaption(EditorContext::cq(), caption);
    m_parts->menus.writeSession(modified());
    Q_EMIT modifiedChanged(modified());
}

void Editor::beginEdit()
{
    if (m_parts->editDepth++ == 0)
        document().beginRecord();
}

void Editor::endEdit(const QString &text, const QString &mergeKey, const QString &page, bool endsHistory)
{
    if (--m_parts->editDepth > 0)
        return;
    std::shared_ptr<QuestDocument::Delta> delta = document().endRecord();
    Parts &p = *m_parts;
    if (endsHistory) {
        // "&New", a load, the start-up: what came before is no longer undoable.
        p.undo.clear();
        p.typingKey.clear();
    } else if (delta) {
        const bool mayMerge = !mergeKey.isEmpty() && mergeKey == p.typingKey && p.typingClock.isValid()
                              && p.typingClock.elapsed() < kTypingPauseMs;
        p.discarded = false;
        p.undo.push(new EditCommand(*this, text.isEmpty() ? QStringLiteral("Edit") : text, std::move(delta), mergeKey,
                                    page, mayMerge));
        p.typingKey = mergeKey;
        p.typingClock.start();
    }
    m_wc.endEvent();
    updateTitle();
}

void Editor::applyStep(const EditCommand &command, bool redo)
{
    EditorContext &c = m_parts->ctx;
    c.applying = true;
    m_parts->typingKey.clear();
    if (redo)
        document().redo(command.delta());
    else
        document().undo(command.delta());
    const QStringList &pages = document().pages();
    const QString cq = EditorContext::cq();
    if (!QuestDocument::touchedPages(command.delta()).isEmpty())
        m_state.setPageEntries(pages, -1);
    // The step's page is selected, as it was when the step was made; else the
    // selection stays where it can.
    int index = command.page().isEmpty() ? -1 : document().pageIndex(command.page());
    if (index < 0) {
        const int was = m_state.createquest().pageList().selected;
        index = pages.isEmpty() ? -1 : std::clamp(was, 0, int(pages.size()) - 1);
    }
    if (index >= 0)
        m_parts->pages.select(index);
    else
        m_parts->pages.rebuild({});
    if (m_parts->character.loaded())
        m_parts->character.refill();
    c.applying = false;
    m_wc.endEvent();
    updateTitle();
    Q_UNUSED(cq);
}

void Editor::undo()
{
    if (!m_parts->undo.canUndo())
        return;
    m_parts->undo.undo();
}

void Editor::redo()
{
    if (!m_parts->undo.canRedo())
        return;
    m_parts->undo.redo();
}

void Editor::fieldLeft() { m_parts->typingKey.clear(); }

bool Editor::confirmDiscard()
{
    if (!modified())
        return true;
    switch (m_parts->ctx.questions->saveChanges(QStringLiteral("Save changes to %1?").arg(documentName()))) {
    case SaveAnswer::Save:
        menuSave();
        return !modified();
    case SaveAnswer::Discard:
        m_parts->discarded = true;
        return true;
    case SaveAnswer::Cancel:
        break;
    }
    return false;
}

bool Editor::show()
{
    if (!m_parts->ctx.startedUp) {
        QString error;
        if (!m_wc.lock(&error)) {
            m_parts->ctx.message(error);
            return false;
        }
        EditEvent event(*this, {}, {}, {}, true);
        m_parts->menus.startUp();
    }
    if (!m_state.createquest().visible()) {
        m_state.setFormVisible(EditorContext::cq(), true);
        Q_EMIT visibilityChanged(true);
    }
    return true;
}

bool Editor::closeRequest()
{
    if (!m_state.createquest().visible())
        return true;
    if (!confirmDiscard())
        return false;
    EditEvent event(*this);
    return m_parts->menus.closeRequest();
}

bool Editor::quitRequest()
{
    if (!m_parts->ctx.startedUp || !m_wc.locked())
        return true;
    // Asked once: Discard answered on the way out (Exit, the close box) holds.
    if (!m_parts->discarded && !confirmDiscard())
        return false;
    // A normal end: nothing is left to recover. The working copy itself stays
    // (scripts and the Part's later start-up expect it); the next start
    // deletes it without asking.
    (void)m_wc.flush(); // a failure was shown in the banner
    m_parts->menus.writeSession(false);
    m_wc.unlock();
    return true;
}

bool Editor::closeDialog(const QString &form)
{
    const FormState *f = m_state.form(form);
    if (!f || !f->visible() || form == QLatin1String(kCreateQuest))
        return false;
    EditEvent event(*this);
    if (form == QLatin1String(kFrmBattle))
        m_parts->battle.close();
    else
        m_parts->character.close();
    return true;
}

void Editor::menuNew()
{
    if (!confirmDiscard())
        return;
    EditEvent event(*this, {}, {}, {}, true);
    m_parts->menus.menuNew();
    m_parts->ctx.recovered = false;
    m_parts->discarded = false;
}

void Editor::menuLoad()
{
    if (!confirmDiscard())
        return;
    const QString before = m_parts->ctx.questFile;
    const quint64 generation = m_wc.lastWrite();
    EditEvent event(*this);
    m_parts->menus.menuLoad();
    if (m_wc.lastWrite() != generation || m_parts->ctx.questFile != before) {
        event.endHistory();
        m_parts->ctx.recovered = false;
        m_parts->discarded = false;
    }
}

void Editor::menuSave()
{
    EditEvent event(*this);
    m_parts->menus.menuSave();
}

void Editor::menuSaveAs()
{
    EditEvent event(*this);
    m_parts->menus.menuSaveAs();
}

bool Editor::save()
{
    if (m_parts->ctx.questFile.isEmpty() || m_state.filepath().isEmpty())
        return false;
    EditEvent event(*this);
    return m_parts->menus.saveTo(m_parts->ctx.questFile);
}

void Editor::menuCompile()
{
    EditEvent event(*this);
    m_parts->menus.menuCompile();
}

void Editor::menuExportWeb()
{
    EditEvent event(*this);
    m_parts->menus.menuCompile(true);
}

void Editor::menuExit()
{
    if (!confirmDiscard())
        return;
    EditEvent event(*this);
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
    else if (name == QLatin1String("mnusaveas"))
        menuSaveAs();
    else if (name == QLatin1String("mnuexit"))
        menuExit();
    else if (name == QLatin1String("mnucompile"))
        menuCompile();
    else if (name == QLatin1String("mnuundo"))
        undo();
    else if (name == QLatin1String("mnuredo"))
        redo();
    else
        return false; // mnufile and mnuedit only open their menu
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
    const QString page = m_state.currentPage();
    EditEvent event(*this, QStringLiteral("Typing in ") + fieldName(form, control, page),
                    form + QLatin1Char('.') + control + QLatin1Char('.') + page, page);
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
    const QString page = m_state.currentPage();
    EditEvent event(*this, QStringLiteral("Clear ") + fieldName(form, control, page), {}, page);
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
    const QString page = m_state.currentPage();
    EditEvent event(*this, {}, {}, page);
    m_parts->typingKey.clear();
    if (c.kind == ControlKind::CheckBox) {
        event.setText((c.checked ? QStringLiteral("Uncheck ") : QStringLiteral("Check ")) + fieldName(form, control, page));
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
        event.setText(QStringLiteral("Choose ") + fieldName(form, control, page));
        m_parts->battle.pick(control);
        return true;
    }
    if (form == QLatin1String(kFrmCharCreate)) {
        event.setText(QStringLiteral("Choose ") + fieldName(form, control, page));
        m_parts->character.pick();
        return true;
    }
    switch (n) {
    case 1: {
        m_parts->pages.addPage();
        const QString added = m_state.currentPage();
        event.setText(QStringLiteral("Add Page ") + added);
        event.setPage(added);
        break;
    }
    case 2: event.setText(QStringLiteral("Delete Page ") + page); m_parts->pages.deletePage(); break;
    case 3: case 6: case 9: case 10:
        event.setText(QStringLiteral("Choose ") + fieldName(form, control, page));
        m_parts->pickers.pick(control);
        break;
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
    EditEvent event(*this);
    m_parts->typingKey.clear();
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

// --- find, replace and links ------------------------------------------------

namespace {

// The page list index of the page named name, or -1.
int pageNamed(const QuestDocument &doc, const QString &name)
{
    const QString n = name.trimmed();
    if (n.isEmpty())
        return -1;
    const int exact = doc.pageIndex(n);
    if (exact >= 0)
        return exact;
    const QStringList &pages = doc.pages();
    for (int i = 0; i < pages.size(); ++i)
        if (pages[i].trimmed().compare(n, Qt::CaseInsensitive) == 0)
            return i;
    return -1;
}

} // namespace

story::ReplaceReport Editor::replaceAll(const story::Finder &finder, const QString &with)
{
    story::ReplaceReport report;
    {
        EditEvent event(*this, QStringLiteral("Replace All"), {}, m_parts->ctx.page());
        report = story::replaceAll(document(), finder, with);
        // The fields show the page's new values without writing them again.
        if (!report.pages.isEmpty()) {
            EditorContext &c = m_parts->ctx;
            const int selected = m_state.createquest().pageList().selected;
            c.applying = true;
            if (selected >= 0)
                m_parts->pages.select(selected);
            if (m_parts->character.loaded())
                m_parts->character.refill();
            c.applying = false;
        }
    }
    return report;
}

story::ReplaceReport Editor::replaceMatch(const story::Finder &finder, const story::FindMatch &m, const QString &with)
{
    story::ReplaceReport report;
    {
        EditEvent event(*this, QStringLiteral("Replace"), {}, m.page);
        report = story::replaceMatch(document(), finder, m, with);
        if (!report.pages.isEmpty()) {
            EditorContext &c = m_parts->ctx;
            const int selected = m_state.createquest().pageList().selected;
            c.applying = true;
            if (selected >= 0)
                m_parts->pages.select(selected);
            c.applying = false;
        }
    }
    return report;
}

QString Editor::controlOf(const QString &key)
{
    for (int n = 1; n <= 26; ++n) {
        const QString control = QStringLiteral("Text%1").arg(n);
        if (PageEditor::keyOf(control) == key)
            return control;
    }
    return {};
}

bool Editor::openPage(const QString &name)
{
    const int index = pageNamed(document(), name);
    return index >= 0 && selectPage(index);
}

QString Editor::destinationIn(const QString &form, const QString &control) const
{
    static const QStringList pageFields{QStringLiteral("Text6"), QStringLiteral("Text7"), QStringLiteral("Text8"),
                                        QStringLiteral("Text9")};
    static const QStringList battleFields{QStringLiteral("Text9"), QStringLiteral("Text10"),
                                          QStringLiteral("Text11")};
    const bool page = form == EditorContext::cq() && pageFields.contains(control);
    const bool battle = form == EditorContext::fb() && battleFields.contains(control);
    if (!page && !battle)
        return {};
    const QString text = m_state.text(form, control);
    return text.isNull() ? QStringLiteral("") : text;
}

bool Editor::follow(const QString &form, const QString &control)
{
    const QString to = destinationIn(form, control);
    if (to.isNull() || !available(form, control))
        return false;
    return openPage(to);
}

Editor::LinkResult Editor::linkChoice(const QString &from, const QString &to)
{
    QuestDocument &doc = document();
    const int fromIndex = pageNamed(doc, from);
    const int toIndex = pageNamed(doc, to);
    if (fromIndex < 0 || toIndex < 0)
        return LinkResult::NoPage;
    const QString source = doc.pages().at(fromIndex);
    const QString target = doc.pages().at(toIndex);
    // A written choice without a destination first, then an unused slot,
    // which gets a caption so that the game offers it.
    int slot = 0;
    bool caption = false;
    for (int pass = 0; pass < 2 && slot == 0; ++pass)
        for (int i = 1; i <= quest::kOptionCount && slot == 0; ++i) {
            const bool written = !doc.value(source, quest::optionKey(i)).trimmed().isEmpty();
            if (doc.value(source, quest::destinationKey(i)).trimmed().isEmpty() && written == (pass == 0)) {
                slot = i;
                caption = !written;
            }
        }
    if (slot > 0) {
        EditEvent event(*this, QStringLiteral("Link page %1 to %2").arg(source, target), {}, source);
        if (caption) {
            const QString location = doc.value(target, QString(quest::kLocation)).trimmed();
            doc.setValue(source, quest::optionKey(slot),
                         location.isEmpty() ? QStringLiteral("Go to page %1").arg(target) : location);
        }
        doc.setValue(source, quest::destinationKey(slot), target);
        EditorContext &c = m_parts->ctx;
        const int selected = m_state.createquest().pageList().selected;
        c.applying = true;
        if (selected >= 0)
            m_parts->pages.select(selected);
        c.applying = false;
        return LinkResult::Linked;
    }
    m_parts->ctx.message(QStringLiteral("Page %1 already has four choices.").arg(source));
    return LinkResult::PageFull;
}

} // namespace fc
