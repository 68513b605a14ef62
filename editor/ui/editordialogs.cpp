#include "editor/ui/editordialogs.h"

#include "editor/editor.h"
#include "editor/ui/editorstyle.h"
#include "editor/ui/formbinding.h"
#include "engine/ui/artwork.h"

#include <QCloseEvent>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QShortcut>
#include <QVBoxLayout>

namespace fc {

// --- EditorDialog --------------------------------------------------------------

EditorDialog::EditorDialog(Editor &editor, const char *form, QWidget *parent)
    : QDialog(parent)
    , m_editor(editor)
{
    setObjectName(QString::fromLatin1(form));
    setModal(false);
    setWindowIcon(art::windowIcon());
    setWindowTitle(editor.state().form(objectName())->caption());
    setSizeGripEnabled(true);
    m_content = new QWidget(this);
    m_content->setObjectName(QStringLiteral("content"));
    markEditorForm(m_content);
    auto *outer = new QVBoxLayout(this);
    outer->setContentsMargins(0, 0, 0, 0);
    outer->addWidget(m_content);
    m_binding = new FormBinding(editor, objectName(), m_content);
    // The editor's one history serves the dialogs too.
    auto *undo = new QShortcut(QKeySequence(Qt::CTRL | Qt::Key_Z), this);
    connect(undo, &QShortcut::activated, this, [&editor] { editor.undo(); });
    for (const QKeySequence &keys : {QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Z), QKeySequence(Qt::CTRL | Qt::Key_Y)}) {
        auto *redo = new QShortcut(keys, this);
        connect(redo, &QShortcut::activated, this, [&editor] { editor.redo(); });
    }
}

void EditorDialog::finish()
{
    m_binding->refreshAll();
    connect(m_binding, &FormBinding::formChanged, this, &EditorDialog::followState);
    followState();
}

void EditorDialog::followState()
{
    const FormState *form = m_editor.state().form(objectName());
    setWindowTitle(form->caption());
    if (form->visible()) {
        if (!isVisible()) {
            if (!m_placed && parentWidget()) {
                // First shown at the editor window's right edge, below its
                // menu, and kept on the screen.
                const QRect owner = parentWidget()->frameGeometry();
                QPoint at(owner.right() - width() - 40, owner.top() + 80);
                if (const QScreen *screen = parentWidget()->screen()) {
                    const QRect area = screen->availableGeometry();
                    at.setX(qBound(area.left(), at.x(), qMax(area.left(), area.right() - width())));
                    at.setY(qBound(area.top(), at.y(), qMax(area.top(), area.bottom() - height())));
                }
                move(at);
                m_placed = true;
            }
            show();
        }
        raise();
        activateWindow();
    } else if (isVisible()) {
        hide();
    }
}

void EditorDialog::closeEvent(QCloseEvent *event)
{
    event->ignore();
    m_editor.closeDialog(objectName());
}

void EditorDialog::reject()
{
    m_editor.closeDialog(objectName());
}

// --- FrmBattle -------------------------------------------------------------------

FrmBattle::FrmBattle(Editor &editor, QWidget *parent)
    : EditorDialog(editor, kFrmBattle, parent)
{
    FormBinding &b = *m_binding;
    auto W = [&b](const char *name) { return b.widget(QString::fromLatin1(name)); };

    // Monster: name and strength beside the preview, then the media and the attacks.
    auto *monster = b.get<QGroupBox>(QStringLiteral("Frame1"));
    auto *stats = new QGridLayout;
    stats->setHorizontalSpacing(6);
    int row = 0;
    for (auto [label, field] : {std::pair{"Label1", "Text1"}, {"Label2", "Text2"}, {"Label3", "Text3"},
                                {"Label4", "Text4"}}) {
        stats->addWidget(W(label), row, 0);
        stats->addWidget(W(field), row, 1);
        ++row;
    }
    for (const char *number : {"Text2", "Text3", "Text4"})
        W(number)->setMaximumWidth(80);
    W("Text1")->setMinimumWidth(150);
    stats->setColumnStretch(1, 1);
    auto *top = new QHBoxLayout;
    top->addLayout(stats, 1);
    top->addWidget(W("Image1"), 0, Qt::AlignTop);

    auto *files = new QGridLayout;
    files->setHorizontalSpacing(6);
    files->addWidget(W("Label5"), 0, 0);
    files->addWidget(W("Text5"), 0, 1);
    files->addWidget(W("Command6"), 0, 2);
    files->addWidget(W("Label6"), 1, 0);
    files->addWidget(W("Text6"), 1, 1);
    files->addWidget(W("Command1"), 1, 2);
    files->setColumnStretch(1, 1);

    auto *monsterLayout = new QVBoxLayout(monster);
    monsterLayout->setSpacing(5);
    monsterLayout->addLayout(top);
    monsterLayout->addLayout(files);
    monsterLayout->addWidget(W("Label7"));
    monsterLayout->addWidget(W("Text12"));
    monsterLayout->addWidget(W("Label8"));
    monsterLayout->addWidget(W("Text13"));
    auto *damage = new QHBoxLayout;
    damage->addWidget(W("Label9"));
    damage->addWidget(W("Text14"));
    damage->addStretch();
    W("Text14")->setMaximumWidth(80);
    monsterLayout->addLayout(damage);
    monsterLayout->addStretch();

    // After Battle: escape, rewards and where the story goes on.
    auto *after = b.get<QGroupBox>(QStringLiteral("Frame2"));
    auto *afterGrid = new QGridLayout(after);
    afterGrid->setHorizontalSpacing(6);
    afterGrid->setVerticalSpacing(5);
    afterGrid->addWidget(W("Check1"), 0, 0, 1, 2);
    row = 1;
    for (auto [label, field] : {std::pair{"Label10", "Text7"}, {"Label11", "Text8"}, {"Label12", "Text9"},
                                {"Label13", "Text10"}, {"Label14", "Text11"}}) {
        afterGrid->addWidget(W(label), row, 0);
        afterGrid->addWidget(W(field), row, 1);
        ++row;
    }
    afterGrid->setRowStretch(row, 1);
    afterGrid->setColumnStretch(1, 1);
    for (const char *field : {"Text7", "Text8", "Text9", "Text10", "Text11"})
        W(field)->setMinimumWidth(90);

    auto *columns = new QHBoxLayout(content());
    columns->setContentsMargins(10, 8, 10, 10);
    columns->setSpacing(10);
    columns->addWidget(monster, 3);
    columns->addWidget(after, 2);

    for (auto [label, field] : {std::pair{"Label1", "Text1"}, {"Label2", "Text2"}, {"Label3", "Text3"},
                                {"Label4", "Text4"}, {"Label5", "Text5"}, {"Label6", "Text6"}, {"Label7", "Text12"},
                                {"Label8", "Text13"}, {"Label9", "Text14"}, {"Label10", "Text7"}, {"Label11", "Text8"},
                                {"Label12", "Text9"}, {"Label13", "Text10"}, {"Label14", "Text11"}})
        b.label(label, field);
    b.name("Text1", QStringLiteral("Monster name"));
    b.name("Text2", QStringLiteral("Monster hit points"));
    b.name("Text3", QStringLiteral("Monster attack"));
    b.name("Text4", QStringLiteral("Monster defence"));
    b.name("Text5", QStringLiteral("Battle picture"));
    b.name("Text6", QStringLiteral("Battle music"));
    b.name("Command6", QStringLiteral("Choose the battle picture"));
    b.name("Command1", QStringLiteral("Choose the battle music"));
    b.name("Text14", QStringLiteral("Alternative attack damage"));
    b.name("Check1", QStringLiteral("Allow escape"));
    b.name("Image1", QStringLiteral("Battle picture preview"));
    b.tabOrder({QStringLiteral("Text1"), QStringLiteral("Text2"), QStringLiteral("Text3"), QStringLiteral("Text4"),
                QStringLiteral("Text5"), QStringLiteral("Command6"), QStringLiteral("Text6"), QStringLiteral("Command1"),
                QStringLiteral("Text12"), QStringLiteral("Text13"), QStringLiteral("Text14"), QStringLiteral("Check1"),
                QStringLiteral("Text7"), QStringLiteral("Text8"), QStringLiteral("Text9"), QStringLiteral("Text10"),
                QStringLiteral("Text11")});
    W("Command6")->setProperty("small", true);
    W("Command1")->setProperty("small", true);
    resize(740, 390);
    finish();
}

// --- FrmCharCreate -----------------------------------------------------------------

FrmCharCreate::FrmCharCreate(Editor &editor, QWidget *parent)
    : EditorDialog(editor, kFrmCharCreate, parent)
{
    FormBinding &b = *m_binding;
    auto W = [&b](const char *name) { return b.widget(QString::fromLatin1(name)); };

    auto *panel = new QGroupBox(content());
    panel->setObjectName(QStringLiteral("characterPanel"));
    auto *grid = new QGridLayout;
    grid->setHorizontalSpacing(6);
    grid->setVerticalSpacing(5);
    int row = 0;
    for (auto [label, field] : {std::pair{"Label1", "Text1"}, {"Label2", "Text2"}, {"Label3", "Text3"},
                                {"Label4", "Text4"}}) {
        grid->addWidget(W(label), row, 0);
        grid->addWidget(W(field), row, 1);
        ++row;
    }
    for (const char *number : {"Text2", "Text3", "Text4"})
        W(number)->setMaximumWidth(80);
    auto *clear = new QPushButton(QStringLiteral("Clear"), panel);
    clear->setObjectName(QStringLiteral("Text5Clear"));
    clear->setAccessibleName(QStringLiteral("Clear the character picture"));
    clear->setAutoDefault(false);
    connect(clear, &QPushButton::clicked, this,
            [this] { m_editor.clearPickedFile(QString::fromLatin1(kFrmCharCreate), QStringLiteral("Text5")); });
    auto updateClear = [this, clear] {
        const Control &c = m_editor.state().ctl(QString::fromLatin1(kFrmCharCreate), QStringLiteral("Text5"));
        clear->setEnabled(c.enabled && !c.text.isEmpty());
    };
    connect(&editor.state(), &EditorState::controlChanged, clear,
            [updateClear](const QString &form, const QString &name) {
                if (form == QLatin1String(kFrmCharCreate) && name == QLatin1String("Text5"))
                    updateClear();
            });
    updateClear();
    grid->addWidget(W("Label5"), row, 0);
    grid->addWidget(W("Text5"), row, 1);
    grid->addWidget(W("Command1"), row, 2);
    grid->addWidget(clear, row, 3);
    grid->setColumnStretch(1, 1);
    W("Text1")->setMinimumWidth(160);
    W("Text5")->setMinimumWidth(160);
    W("Command1")->setProperty("small", true);

    auto *fields = new QHBoxLayout;
    fields->addLayout(grid, 1);
    fields->addWidget(W("Image1"), 0, Qt::AlignTop);

    auto *panelLayout = new QVBoxLayout(panel);
    panelLayout->setSpacing(6);
    panelLayout->addWidget(W("Check1"));
    panelLayout->addWidget(W("Check2"));
    panelLayout->addSpacing(4);
    panelLayout->addLayout(fields);
    panelLayout->addStretch();

    auto *outer = new QVBoxLayout(content());
    outer->setContentsMargins(10, 8, 10, 10);
    outer->addWidget(panel);

    for (auto [label, field] : {std::pair{"Label1", "Text1"}, {"Label2", "Text2"}, {"Label3", "Text3"},
                                {"Label4", "Text4"}, {"Label5", "Text5"}})
        b.label(label, field);
    b.name("Text1", QStringLiteral("Character name"));
    b.name("Text2", QStringLiteral("Character hit points"));
    b.name("Text3", QStringLiteral("Character attack"));
    b.name("Text4", QStringLiteral("Character defence"));
    b.name("Text5", QStringLiteral("Character picture"));
    b.name("Command1", QStringLiteral("Choose the character picture"));
    b.name("Image1", QStringLiteral("Character picture preview"));
    for (const char *check : {"Check1", "Check2"})
        b.name(check, editor.state().text(QString::fromLatin1(kFrmCharCreate), QString::fromLatin1(check)));
    b.tabOrder({QStringLiteral("Check1"), QStringLiteral("Check2"), QStringLiteral("Text1"), QStringLiteral("Text2"),
                QStringLiteral("Text3"), QStringLiteral("Text4"), QStringLiteral("Text5"), QStringLiteral("Command1")});
    QWidget::setTabOrder(W("Command1"), clear);
    resize(640, 260);
    finish();
}

} // namespace fc
