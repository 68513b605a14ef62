#include "editor/ui/editorwiring.h"

#include "editor/editor.h"
#include "editor/ui/createquest.h"
#include "editor/ui/editordialogs.h"
#include "engine/game.h"
#include "engine/ui/frmgame.h"
#include "engine/ui/qt_ports.h"

#include <QApplication>
#include <QPointer>
#include <QMessageBox>
#include <QPushButton>

namespace fc {

namespace {

// The window of the editor the user works in: the active one of the three,
// else the editor form.
QWidget *ownerWindow(QWidget *fallback)
{
    QWidget *active = QApplication::activeWindow();
    for (QWidget *w = active; w; w = w->parentWidget())
        if (w == fallback)
            return active;
    return fallback;
}

// Message boxes over the editor window in use.
class EditorBoxes : public Dialogs
{
public:
    QtDialogs boxes;
    QPointer<QWidget> editorWindow;

    void information(const QString &title, const QString &text) override
    {
        place();
        boxes.information(title, text);
    }
    Answer question(const QString &title, const QString &text) override
    {
        place();
        return boxes.question(title, text);
    }
    Answer questionDefaultNo(const QString &title, const QString &text) override
    {
        place();
        return boxes.questionDefaultNo(title, text);
    }
    void critical(const QString &title, const QString &text) override
    {
        place();
        boxes.critical(title, text);
    }

private:
    void place() { boxes.setParent(editorWindow ? ownerWindow(editorWindow) : nullptr); }
};

// File dialogs over the editor window in use.
class EditorFiles : public FileDialog
{
public:
    QtFileDialog files;
    QPointer<QWidget> editorWindow;

    QString openFile(const FileDialogOptions &options) override
    {
        place();
        return files.openFile(options);
    }
    QString saveFile(const FileDialogOptions &options) override
    {
        place();
        return files.saveFile(options);
    }

private:
    void place() { files.setParent(editorWindow ? ownerWindow(editorWindow) : nullptr); }
};

} // namespace

SaveAnswer QtSaveQuestions::saveChanges(const QString &text)
{
    if (!queued.empty()) {
        const SaveAnswer a = queued.front();
        queued.pop_front();
        return a;
    }
    QMessageBox box(QMessageBox::Warning, QStringLiteral("Create 'A' Quest"), text,
                    QMessageBox::Save | QMessageBox::Discard | QMessageBox::Cancel,
                    editorWindow ? editorWindow->window() : nullptr);
    box.setObjectName(QStringLiteral("saveChangesQuestion"));
    box.setDefaultButton(QMessageBox::Cancel);
    box.setEscapeButton(QMessageBox::Cancel);
    switch (box.exec()) {
    case QMessageBox::Save: return SaveAnswer::Save;
    case QMessageBox::Discard: return SaveAnswer::Discard;
    default: return SaveAnswer::Cancel;
    }
}

bool QtSaveQuestions::recover(const QString &text)
{
    if (!queuedRecover.empty()) {
        const bool a = queuedRecover.front();
        queuedRecover.pop_front();
        return a;
    }
    QMessageBox box(QMessageBox::Question, QStringLiteral("Create 'A' Quest"), text, QMessageBox::NoButton,
                    editorWindow ? editorWindow->window() : nullptr);
    box.setObjectName(QStringLiteral("recoverQuestion"));
    QPushButton *recover = box.addButton(QStringLiteral("&Recover"), QMessageBox::AcceptRole);
    QPushButton *discard = box.addButton(QStringLiteral("&Discard"), QMessageBox::DestructiveRole);
    box.setDefaultButton(recover);
    box.setEscapeButton(discard);
    box.exec();
    return box.clickedButton() != discard;
}

struct EditorProgram::Parts
{
    Parts(FrmGame &window, Game &game, const Ports &gamePorts, const QString &programDir)
        : window(window)
        , ports(gamePorts)
    {
        ports.dialogs = &boxes;
        ports.fileDialog = &files;
        editor = std::make_unique<Editor>(state, workingCopy, ports, programDir);
        editor->setSaveQuestions(&questions);
        editor->setGame(&game);
    }

    FrmGame &window;
    EditorBoxes boxes;
    EditorFiles files;
    QtSaveQuestions questions;
    Ports ports;
    EditorState state;
    WorkingCopy workingCopy;
    std::unique_ptr<Editor> editor;
    // The forms: the dialogs are children of the editor window.
    std::unique_ptr<CreateQuest> form;
    FrmBattle *battle = nullptr;
    FrmCharCreate *character = nullptr;
};

EditorProgram::EditorProgram(FrmGame &window, Game &game, const Ports &gamePorts, const QString &programDir)
    : QObject(&window)
    , m(std::make_unique<Parts>(window, game, gamePorts, programDir))
{
    setObjectName(QStringLiteral("editorProgram"));
    connect(&window, &FrmGame::editorRequested, this, &EditorProgram::showEditor);
    // "Test Game": the game screen comes to the front, playing the working copy.
    connect(m->editor.get(), &Editor::gameScreenShowRequested, &window, [&window] {
        window.show();
        window.raise();
        window.activateWindow();
    });
    // A form the editor shows must exist.
    connect(&m->state, &EditorState::formChanged, this, [this](const QString &) { createquest(); });
    // Writes still on their way reach the file before the program ends.
    connect(qApp, &QCoreApplication::aboutToQuit, this, [this] { (void)m->editor->flush(); /* failures: banner */ });
}

EditorProgram::~EditorProgram()
{
    (void)m->editor->flush(); // a failure was shown in the banner
    m->form.reset(); // the dialogs go with it
}

Editor &EditorProgram::editor() { return *m->editor; }

CreateQuest &EditorProgram::createquest()
{
    if (!m->form) {
        m->form = std::make_unique<CreateQuest>(*m->editor);
        m->boxes.editorWindow = m->form.get();
        m->questions.editorWindow = m->form.get();
        m->files.editorWindow = m->form.get();
        m->battle = new FrmBattle(*m->editor, m->form.get());
        m->character = new FrmCharCreate(*m->editor, m->form.get());
        // A dialog that is open already comes to the front when its button is
        // clicked again.
        auto front = [](QWidget *w) {
            if (w->isVisible()) {
                w->raise();
                w->activateWindow();
            }
        };
        if (auto *open = m->form->findChild<QPushButton *>(QStringLiteral("Command7")))
            connect(open, &QPushButton::clicked, m->battle, [this, front] { front(m->battle); });
        if (auto *open = m->form->findChild<QPushButton *>(QStringLiteral("Command8")))
            connect(open, &QPushButton::clicked, m->character, [this, front] { front(m->character); });
    }
    return *m->form;
}

FrmBattle &EditorProgram::battle()
{
    createquest();
    return *m->battle;
}

FrmCharCreate &EditorProgram::character()
{
    createquest();
    return *m->character;
}

QtDialogs &EditorProgram::dialogs() { return m->boxes.boxes; }
QtSaveQuestions &EditorProgram::saveQuestions() { return m->questions; }
QtFileDialog &EditorProgram::fileDialog() { return m->files.files; }

EditorProgram *EditorProgram::of(FrmGame &window)
{
    return window.findChild<EditorProgram *>(QStringLiteral("editorProgram"), Qt::FindDirectChildrenOnly);
}

void EditorProgram::showEditor()
{
    CreateQuest &form = createquest();
    m->editor->show();
    // Shown already (perhaps behind the game screen): to the front.
    if (form.isVisible()) {
        form.raise();
        form.activateWindow();
    }
}

EditorProgram *wireEditor(FrmGame &window, Game &game, const Ports &gamePorts, const QString &programDir)
{
    return new EditorProgram(window, game, gamePorts, programDir);
}

} // namespace fc
