#include "editor/ui/findpanel.h"

#include "editor/editor.h"
#include "editor/editor_state.h"
#include "editor/story_graph.h"
#include "editor/ui/formbinding.h"
#include "editor/ui/storymap.h"
#include "editor/ui/storymapdock.h"

#include <QAction>
#include <QCheckBox>
#include <QFormLayout>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMainWindow>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTextEdit>
#include <QTimer>
#include <QVBoxLayout>

namespace fc {

namespace {

template <typename T> T *named(T *w, const char *name, const QString &accessible)
{
    w->setObjectName(QString::fromLatin1(name));
    w->setAccessibleName(accessible);
    return w;
}

// Selects start .. start + length in the text widget w.
void selectIn(QWidget *w, int start, int length)
{
    if (auto *line = qobject_cast<QLineEdit *>(w)) {
        line->setSelection(start, length);
    } else if (auto *plain = qobject_cast<QPlainTextEdit *>(w)) {
        QTextCursor c = plain->textCursor();
        c.setPosition(start);
        c.setPosition(start + length, QTextCursor::KeepAnchor);
        plain->setTextCursor(c);
    } else if (auto *rich = qobject_cast<QTextEdit *>(w)) {
        QTextCursor c = rich->textCursor();
        c.setPosition(start);
        c.setPosition(start + length, QTextCursor::KeepAnchor);
        rich->setTextCursor(c);
    }
}

} // namespace

FindPanel::FindPanel(Editor &editor, const FormBinding &form, QWidget *parent)
    : QDockWidget(tr("Find and Replace"), parent)
    , m_editor(editor)
    , m_form(form)
{
    setObjectName(QStringLiteral("FindPanel"));
    setAccessibleName(tr("Find and Replace"));
    auto *body = new QWidget(this);
    auto *grid = new QGridLayout(body);
    m_find = named(new QLineEdit(body), "txtFind", tr("Find"));
    m_with = named(new QLineEdit(body), "txtReplace", tr("Replace with"));
    auto *findLabel = new QLabel(tr("F&ind:"), body);
    findLabel->setBuddy(m_find);
    auto *withLabel = new QLabel(tr("Re&place with:"), body);
    withLabel->setBuddy(m_with);
    m_case = named(new QCheckBox(tr("Match &case"), body), "chkFindCase", tr("Match case"));
    m_word = named(new QCheckBox(tr("&Whole words"), body), "chkFindWholeWord", tr("Whole words"));
    m_regex = named(new QCheckBox(tr("Regular e&xpression"), body), "chkFindRegex", tr("Regular expression"));
    auto *findButton = named(new QPushButton(tr("&Find"), body), "cmdFind", tr("Find"));
    auto *replaceButton = named(new QPushButton(tr("&Replace"), body), "cmdReplace", tr("Replace"));
    auto *allButton = named(new QPushButton(tr("Replace &All"), body), "cmdReplaceAll", tr("Replace All"));
    m_list = named(new QListWidget(body), "lstFindResults", tr("Find results"));
    m_report = named(new QLabel(body), "lblFindReport", tr("Find report"));
    m_report->setWordWrap(true);
    m_report->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);

    grid->addWidget(findLabel, 0, 0);
    grid->addWidget(m_find, 0, 1);
    grid->addWidget(findButton, 0, 2);
    grid->addWidget(withLabel, 1, 0);
    grid->addWidget(m_with, 1, 1);
    auto *replaceRow = new QHBoxLayout;
    replaceRow->addWidget(replaceButton);
    replaceRow->addWidget(allButton);
    grid->addLayout(replaceRow, 1, 2);
    auto *options = new QHBoxLayout;
    options->addWidget(m_case);
    options->addWidget(m_word);
    options->addWidget(m_regex);
    options->addStretch();
    grid->addLayout(options, 2, 0, 1, 3);
    grid->addWidget(m_list, 3, 0, 1, 3);
    grid->addWidget(m_report, 4, 0, 1, 3);
    setWidget(body);
    setFocusProxy(m_find);
    setTabOrder(m_find, findButton);
    setTabOrder(findButton, m_with);
    setTabOrder(m_with, replaceButton);
    setTabOrder(replaceButton, allButton);
    setTabOrder(allButton, m_case);
    setTabOrder(m_case, m_word);
    setTabOrder(m_word, m_regex);
    setTabOrder(m_regex, m_list);

    connect(m_find, &QLineEdit::returnPressed, this, &FindPanel::find);
    // Emptied: the old results and highlights go.
    connect(m_find, &QLineEdit::textChanged, this, [this](const QString &text) {
        if (text.isEmpty() && !m_results.isEmpty())
            find();
    });
    connect(findButton, &QPushButton::clicked, this, &FindPanel::find);
    connect(replaceButton, &QPushButton::clicked, this, &FindPanel::replaceCurrent);
    connect(allButton, &QPushButton::clicked, this, &FindPanel::replaceAll);
    for (QCheckBox *box : {m_case, m_word, m_regex})
        connect(box, &QCheckBox::toggled, this, [this] {
            if (!m_find->text().isEmpty())
                find();
        });
    connect(m_list, &QListWidget::currentRowChanged, this, [this](int row) {
        if (row >= 0)
            openResult(row);
    });
    connect(m_list, &QListWidget::itemActivated, this, [this](QListWidgetItem *item) {
        // Enter on a result moves on to the field with the match.
        if (QWidget *field = openResult(m_list->row(item))) {
            field->activateWindow();
            field->setFocus(Qt::OtherFocusReason);
        }
    });
}

story::FindOptions FindPanel::options() const
{
    story::FindOptions o;
    o.caseSensitive = m_case->isChecked();
    o.wholeWord = m_word->isChecked();
    o.regularExpression = m_regex->isChecked();
    return o;
}

void FindPanel::report(const QString &text)
{
    m_report->setText(text);
    m_report->setAccessibleDescription(text);
}

void FindPanel::startFind()
{
    show();
    raise();
    m_find->setFocus(Qt::ShortcutFocusReason);
    m_find->selectAll();
}

void FindPanel::find()
{
    const story::Finder finder(m_find->text(), options());
    m_list->blockSignals(true);
    m_list->clear();
    m_results.clear();
    if (!finder.isValid()) {
        m_list->blockSignals(false);
        report(m_find->text().isEmpty() ? QString() : finder.error());
        Q_EMIT matchesChanged({});
        return;
    }
    m_results = story::findInQuest(m_editor.document(), finder);
    for (const story::FindMatch &m : std::as_const(m_results)) {
        const QString page = m.page.isEmpty() ? tr("Story info") : tr("Page %1").arg(m.page);
        auto *item = new QListWidgetItem(QStringLiteral("%1, %2, %3").arg(page, m.key, m.line), m_list);
        item->setToolTip(m.line);
    }
    m_list->blockSignals(false);
    report(m_results.isEmpty() ? tr("Not found.") : m_results.size() == 1 ? tr("1 match.") : tr("%1 matches.").arg(m_results.size()));
    QHash<QString, int> counts;
    for (const story::FindMatch &m : std::as_const(m_results))
        if (!m.page.isEmpty())
            ++counts[m.page];
    Q_EMIT matchesChanged(counts);
}

QWidget *FindPanel::openResult(int index)
{
    if (index < 0 || index >= m_results.size())
        return nullptr;
    const story::FindMatch &m = m_results.at(index);
    if (!m.page.isEmpty() && !m_editor.openPage(m.page))
        return nullptr;
    QWidget *field = nullptr;
    if (const QString control = Editor::controlOf(m.key); !control.isEmpty()) {
        field = m_form.widget(control);
    } else if (const QString battle = Editor::battleControlOf(m.key); !battle.isEmpty()) {
        // A battle's field: in the battle dialog, which opens for battle pages only.
        const QString form = QString::fromLatin1(kCreateQuest), open = QStringLiteral("Command7");
        if (!m_editor.available(form, open) || !m_editor.click(form, open)) {
            report(tr("This match is in the battle settings of page %1, which open when it is a battle page "
                      "(\"Battle Page\").").arg(m.page));
            return nullptr;
        }
        if (m_battle)
            field = m_battle->widget(battle);
    }
    if (field)
        selectIn(field, m.start, m.length);
    return field;
}

void FindPanel::replaceCurrent()
{
    const int row = m_list->currentRow();
    const story::Finder finder(m_find->text(), options());
    if (row < 0 || row >= m_results.size() || !finder.isValid())
        return;
    const story::ReplaceReport r = m_editor.replaceMatch(finder, m_results.at(row), m_with->text());
    find();
    report(r.summary());
    if (m_list->count() > 0)
        m_list->setCurrentRow(std::min(row, m_list->count() - 1));
}

void FindPanel::replaceAll()
{
    const story::Finder finder(m_find->text(), options());
    if (!finder.isValid())
        return;
    const story::ReplaceReport r = m_editor.replaceAll(finder, m_with->text());
    find();
    report(r.summary());
}

GoToPanel::GoToPanel(Editor &editor, QWidget *parent)
    : QDockWidget(tr("Go to Page"), parent)
    , m_editor(editor)
{
    setObjectName(QStringLiteral("GoToPanel"));
    setAccessibleName(tr("Go to Page"));
    auto *body = new QWidget(this);
    auto *layout = new QVBoxLayout(body);
    auto *label = new QLabel(tr("Page &number or words:"), body);
    m_text = named(new QLineEdit(body), "txtGoTo", tr("Page number or words"));
    label->setBuddy(m_text);
    m_list = named(new QListWidget(body), "lstGoTo", tr("Matching pages"));
    layout->addWidget(label);
    layout->addWidget(m_text);
    layout->addWidget(m_list);
    setWidget(body);
    setFocusProxy(m_text);
    connect(m_text, &QLineEdit::textChanged, this, &GoToPanel::update);
    connect(m_text, &QLineEdit::returnPressed, this, [this] { openCandidate(m_list->currentRow()); });
    connect(m_list, &QListWidget::itemActivated, this,
            [this](QListWidgetItem *item) { openCandidate(m_list->row(item)); });
}

void GoToPanel::startGoTo()
{
    show();
    raise();
    m_text->setFocus(Qt::ShortcutFocusReason);
    m_text->selectAll();
}

QStringList GoToPanel::candidates() const
{
    QStringList out;
    for (int i = 0; i < m_list->count(); ++i)
        out << m_list->item(i)->data(Qt::UserRole).toString();
    return out;
}

void GoToPanel::update()
{
    m_list->clear();
    const QuestDocument &doc = m_editor.document();
    for (const QString &page : story::goToCandidates(doc, m_text->text())) {
        const QString location = doc.value(page, QStringLiteral("Location")).trimmed();
        auto *item = new QListWidgetItem(location.isEmpty() ? tr("Page %1").arg(page)
                                                            : tr("Page %1, %2").arg(page, location),
                                         m_list);
        item->setData(Qt::UserRole, page);
    }
    if (m_list->count() > 0)
        m_list->setCurrentRow(0);
}

bool GoToPanel::openCandidate(int index)
{
    if (m_list->count() == 0)
        return false;
    if (index < 0 || index >= m_list->count())
        index = 0;
    if (!m_editor.openPage(m_list->item(index)->data(Qt::UserRole).toString()))
        return false;
    Q_EMIT pageOpened();
    return true;
}

LinksHerePanel::LinksHerePanel(Editor &editor, QWidget *parent)
    : QDockWidget(tr("Links Here"), parent)
    , m_editor(editor)
{
    setObjectName(QStringLiteral("LinksHerePanel"));
    setAccessibleName(tr("Links Here"));
    m_list = named(new QListWidget(this), "lstLinksHere", tr("Links to this page"));
    setWidget(m_list);
    setFocusProxy(m_list);
    // Many changes in one event are one update.
    m_later = new QTimer(this);
    m_later->setSingleShot(true);
    m_later->setInterval(0);
    connect(m_later, &QTimer::timeout, this, &LinksHerePanel::refresh);
    auto schedule = [this] {
        if (isVisible())
            m_later->start();
    };
    connect(&editor.state(), &EditorState::pageListChanged, this, schedule);
    connect(&editor.state(), &EditorState::controlChanged, this, schedule);
    connect(this, &QDockWidget::visibilityChanged, this, [this](bool visible) {
        if (visible)
            refresh();
    });
    connect(m_list, &QListWidget::itemActivated, this,
            [this](QListWidgetItem *item) { openSource(m_list->row(item)); });
}

QStringList LinksHerePanel::sources() const
{
    QStringList out;
    for (int i = 0; i < m_list->count(); ++i)
        out << m_list->item(i)->data(Qt::UserRole).toString();
    return out;
}

void LinksHerePanel::refresh()
{
    m_later->stop();
    m_list->clear();
    const QString page = m_editor.state().currentPage();
    if (page.isEmpty())
        return;
    const story::StoryGraph graph = story::buildStoryGraph(story::storyPagesOf(m_editor.document()));
    for (const story::LinkHere &l : story::linksHere(graph, page)) {
        auto *item = new QListWidgetItem(tr("Page %1, %2").arg(l.from, l.key), m_list);
        item->setData(Qt::UserRole, l.from);
    }
    if (m_list->count() == 0)
        new QListWidgetItem(tr("Nothing leads to page %1.").arg(page), m_list);
    setWindowTitle(tr("Links Here: page %1").arg(page));
}

bool LinksHerePanel::openSource(int index)
{
    if (index < 0 || index >= m_list->count())
        return false;
    const QString from = m_list->item(index)->data(Qt::UserRole).toString();
    return !from.isEmpty() && m_editor.openPage(from);
}

namespace {

// Follows a destination field on Ctrl+click or Ctrl+Enter.
class LinkFollower : public QObject
{
public:
    LinkFollower(Editor &editor, QString control, QObject *parent)
        : QObject(parent), m_editor(editor), m_control(std::move(control))
    {
    }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        bool follow = false;
        if (event->type() == QEvent::MouseButtonPress) {
            const auto *e = static_cast<QMouseEvent *>(event);
            follow = e->button() == Qt::LeftButton && (e->modifiers() & Qt::ControlModifier);
        } else if (event->type() == QEvent::KeyPress) {
            const auto *e = static_cast<QKeyEvent *>(event);
            follow = (e->key() == Qt::Key_Return || e->key() == Qt::Key_Enter)
                     && (e->modifiers() & Qt::ControlModifier);
        }
        if (!follow)
            return QObject::eventFilter(watched, event);
        m_editor.follow(QString::fromLatin1(kCreateQuest), m_control);
        return true;
    }

private:
    Editor &m_editor;
    QString m_control;
};

} // namespace

void installLinkFollowing(const FormBinding &form, Editor &editor)
{
    for (int n = 6; n <= 9; ++n) {
        const QString name = QStringLiteral("Text%1").arg(n);
        QWidget *field = form.widget(name);
        if (!field)
            continue;
        field->installEventFilter(new LinkFollower(editor, name, field));
        const QString hint = QObject::tr("Ctrl+click or Ctrl+Enter opens this page.");
        field->setToolTip(field->toolTip().isEmpty() ? hint : field->toolTip() + QLatin1Char('\n') + hint);
    }
}

FindPanel *installFindPanels(QMainWindow &window, QMenu &view, Editor &editor, const FormBinding &form,
                             StoryMapDock *map)
{
    // A page opened from the map or the go-to list: the author goes on in
    // its text.
    auto focusPageText = [&form] {
        if (QWidget *text = form.widget(QStringLiteral("Text1")))
            text->setFocus(Qt::OtherFocusReason);
    };
    auto *find = new FindPanel(editor, form, &window);
    if (map) {
        QObject::connect(find, &FindPanel::matchesChanged, map->map(), &StoryMap::setMatches);
        QObject::connect(map, &StoryMapDock::pageOpened, &window, focusPageText);
    }
    auto *go = new GoToPanel(editor, &window);
    QObject::connect(go, &GoToPanel::pageOpened, &window, focusPageText);
    window.addDockWidget(Qt::BottomDockWidgetArea, find);
    window.addDockWidget(Qt::BottomDockWidgetArea, go);
    find->hide();
    go->hide();
    QAction *findAction = view.addAction(QObject::tr("&Find\u2026"));
    findAction->setObjectName(QStringLiteral("mnufind"));
    findAction->setShortcut(QKeySequence::Find);
    QObject::connect(findAction, &QAction::triggered, find, &FindPanel::startFind);
    QAction *goAction = view.addAction(QObject::tr("&Go to Page\u2026"));
    goAction->setObjectName(QStringLiteral("mnugoto"));
    goAction->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_G));
    QObject::connect(goAction, &QAction::triggered, go, &GoToPanel::startGoTo);

    auto *links = new LinksHerePanel(editor, &window);
    window.addDockWidget(Qt::RightDockWidgetArea, links);
    links->hide();
    QAction *linksAction = links->toggleViewAction();
    linksAction->setText(QObject::tr("&Links Here"));
    linksAction->setObjectName(QStringLiteral("mnulinkshere"));
    linksAction->setShortcut(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_L));
    view.addAction(linksAction);
    installLinkFollowing(form, editor);
    return find;
}

} // namespace fc
