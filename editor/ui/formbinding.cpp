#include "editor/ui/formbinding.h"

#include "editor/editor.h"
#include "editor/ui/fieldwidgets.h"
#include "engine/ui/artwork.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QItemSelectionModel>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>

#include "editor/quest_document.h"
#include "storage/quest_format.h"
#include <QListView>
#include <QPainter>
#include <QPointer>
#include <QPushButton>

namespace fc {

namespace {

// A picker-only field: Delete or Backspace clears it, as its "Clear" button does.
class PickedFileFilter : public QObject
{
public:
    PickedFileFilter(Editor &editor, QString form, QString control, QObject *parent)
        : QObject(parent), m_editor(editor), m_form(std::move(form)), m_control(std::move(control))
    {
    }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() == QEvent::KeyPress) {
            auto *edit = qobject_cast<QLineEdit *>(watched);
            const int key = static_cast<QKeyEvent *>(event)->key();
            if (edit && edit->isReadOnly() && (key == Qt::Key_Delete || key == Qt::Key_Backspace)) {
                m_editor.clearPickedFile(m_form, m_control);
                return true;
            }
        }
        return QObject::eventFilter(watched, event);
    }

private:
    Editor &m_editor;
    QString m_form, m_control;
};

QString withoutColon(QString caption)
{
    caption = caption.trimmed();
    if (caption.endsWith(QLatin1Char(':')))
        caption.chop(1);
    return caption;
}

} // namespace

// --- PreviewView ---------------------------------------------------------------

PreviewView::PreviewView(QWidget *parent)
    : QWidget(parent)
{
    setMinimumSize(sizeHint());
    setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Preferred);
    setFocusPolicy(Qt::NoFocus);
}

void PreviewView::show(int kind, const QImage &image)
{
    m_kind = kind;
    m_image = image;
    update();
}

void PreviewView::paintEvent(QPaintEvent *)
{
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    p.setRenderHint(QPainter::SmoothPixmapTransform);
    const QRect frame = rect().adjusted(1, 1, -1, -1);
    p.setPen(QPen(QColor(0x8a, 0x6a, 0x3a), 1));
    p.setBrush(QColor(0xef, 0xe1, 0xbd));
    p.drawRoundedRect(frame, 4, 4);
    QImage shown;
    switch (Picture::Kind(m_kind)) {
    case Picture::Empty:
        return;
    case Picture::Placeholder:
        shown = art::pixmap(QString::fromLatin1(art::kNoPicture), QSize(187, 94)).toImage();
        break;
    case Picture::Icon:
        shown = art::windowIcon().pixmap(64, 64).toImage();
        break;
    case Picture::File:
        shown = m_image;
        break;
    }
    if (shown.isNull())
        return;
    const QRect inner = frame.adjusted(4, 4, -4, -4);
    QSize size = shown.size();
    if (size.width() > inner.width() || size.height() > inner.height())
        size.scale(inner.size(), Qt::KeepAspectRatio);
    QRect target(QPoint(), size);
    target.moveCenter(inner.center());
    p.drawImage(target, shown);
}

// --- FormBinding ---------------------------------------------------------------

FormBinding::FormBinding(Editor &editor, const QString &form, QWidget *parent)
    : QObject(parent)
    , m_editor(editor)
    , m_state(editor.state())
    , m_form(form)
{
    m_help = new HelpTracker([this](const QString &control) { m_editor.hover(m_form, control); }, this);
    m_historyKeys = new HistoryKeys([this] { m_editor.fieldLeft(); }, this);
    const FormState *state = m_state.form(form);
    Q_ASSERT(state);
    for (const Control &c : state->controls()) {
        if (c.kind == ControlKind::Menu)
            continue;
        QWidget *w = create(c, parent);
        w->setObjectName(c.name);
        if (c.kind == ControlKind::TextBox)
            w->installEventFilter(m_historyKeys);
        if (!c.help.isEmpty())
            w->setAccessibleDescription(c.help);
        // Controls the user can reach, and labels with a help text (filepath),
        // which follow the pointer only.
        if (w->focusPolicy() != Qt::NoFocus || !c.help.isEmpty())
            m_help->watch(w);
        m_widgets.insert(c.name, w);
    }

    connect(&m_state, &EditorState::controlChanged, this, [this](const QString &f, const QString &name) {
        if (f == m_form)
            refresh(name);
    });
    connect(&m_state, &EditorState::pageListChanged, this, [this] {
        if (m_pageView)
            refreshPages();
    });
    connect(&m_state, &EditorState::pictureChanged, this, [this](const QString &f) {
        if (f == m_form)
            refreshPicture();
    });
    connect(&m_state, &EditorState::formChanged, this, [this](const QString &f) {
        if (f == m_form)
            Q_EMIT formChanged();
    });
}

QWidget *FormBinding::create(const Control &c, QWidget *parent)
{
    const QString name = c.name;
    switch (c.kind) {
    case ControlKind::TextBox:
        if (c.wraps) {
            auto *edit = new OneLineTextEdit(parent);
            connect(edit, &OneLineTextEdit::edited, this, [this, name](const QString &text) {
                if (m_refreshing)
                    return;
                m_editor.setText(m_form, name, text);
                refresh(name); // shows the text as the editor took it (cut, line breaks as blanks)
            });
            return edit;
        } else {
            auto *edit = new QLineEdit(parent);
            connect(edit, &QLineEdit::textEdited, this, [this, name](const QString &text) {
                m_editor.setText(m_form, name, text);
                refresh(name);
            });
            if (c.readOnly)
                edit->installEventFilter(new PickedFileFilter(m_editor, m_form, name, edit));
            return edit;
        }
    case ControlKind::Label: {
        auto *label = new QLabel(parent);
        label->setTextFormat(Qt::PlainText);
        return label;
    }
    case ControlKind::CheckBox: {
        auto *box = new QCheckBox(parent);
        connect(box, &QCheckBox::clicked, this, [this, name] {
            m_editor.click(m_form, name);
            refresh(name); // the box shows the state, whatever the click did
        });
        return box;
    }
    case ControlKind::Button: {
        auto *button = new QPushButton(parent);
        button->setAutoDefault(false);
        connect(button, &QPushButton::clicked, this, [this, name] {
            const QPointer<FormBinding> alive(this);
            m_editor.click(m_form, name);
            if (alive)
                Q_EMIT buttonClicked(name);
        });
        return button;
    }
    case ControlKind::Frame: {
        auto *frame = new QGroupBox(parent);
        frame->setProperty("titled", true);
        return frame;
    }
    case ControlKind::PageList: {
        m_pages = new EntryListModel(this);
        {
            // "N  Location": the first 40 characters of the page's location.
            QuestDocument &doc = m_editor.document();
            m_pages->setDetail([&doc](const QString &page) {
                return doc.value(page, QString(quest::kLocation)).left(40);
            });
            connect(&doc, &QuestDocument::valueChanged, m_pages, [this](const QString &section, const QString &key) {
                if (key.compare(quest::kLocation, Qt::CaseInsensitive) == 0)
                    m_pages->entryChanged(section);
            });
            connect(&doc, &QuestDocument::sectionChanged, m_pages,
                    [this](const QString &section) { m_pages->entryChanged(section); });
        }
        m_pageView = new QListView(parent);
        m_pageView->setModel(m_pages);
        m_pageView->setUniformItemSizes(true);
        m_pageView->setSelectionMode(QAbstractItemView::SingleSelection);
        m_pageView->setEditTriggers(QAbstractItemView::NoEditTriggers);
        connect(m_pageView->selectionModel(), &QItemSelectionModel::currentChanged, this,
                [this](const QModelIndex &current) {
                    if (m_refreshing || !current.isValid())
                        return;
                    m_editor.selectPage(current.row());
                    refreshPages();
                });
        return m_pageView;
    }
    case ControlKind::Picture:
        return new PreviewView(parent);
    case ControlKind::Menu:
        break;
    }
    return new QWidget(parent);
}

void FormBinding::name(const QString &control, const QString &accessibleName)
{
    if (QWidget *w = widget(control))
        w->setAccessibleName(accessibleName);
}

void FormBinding::label(const char *labelName, const char *control)
{
    auto *l = get<QLabel>(QString::fromLatin1(labelName));
    QWidget *w = widget(QString::fromLatin1(control));
    if (!l || !w)
        return;
    l->setBuddy(w);
    if (w->accessibleName().isEmpty())
        w->setAccessibleName(withoutColon(m_state.text(m_form, l->objectName())));
}

void FormBinding::tabOrder(const QStringList &controls)
{
    QWidget *previous = nullptr;
    for (const QString &name : controls) {
        QWidget *w = widget(name);
        if (!w)
            continue;
        if (previous)
            QWidget::setTabOrder(previous, w);
        previous = w;
    }
}

void FormBinding::refreshAll()
{
    const FormState *state = m_state.form(m_form);
    for (const Control &c : state->controls())
        if (c.kind != ControlKind::Menu)
            refresh(c.name);
    if (m_pageView)
        refreshPages();
    refreshPicture();
}

void FormBinding::refresh(const QString &name)
{
    QWidget *w = widget(name);
    const FormState *state = m_state.form(m_form);
    const Control *c = state ? state->control(name) : nullptr;
    if (!w || !c)
        return;
    m_refreshing = true;
    switch (c->kind) {
    case ControlKind::TextBox:
        if (auto *edit = qobject_cast<QLineEdit *>(w)) {
            // Text the program put there is never cut; the limit is for typing.
            const int limit = c->maxLength > 0 ? c->maxLength : 32767;
            edit->setMaxLength(qMax<int>(limit, int(c->text.size())));
            if (edit->text() != c->text)
                edit->setText(c->text);
            edit->setReadOnly(c->readOnly);
        } else if (auto *box = qobject_cast<OneLineTextEdit *>(w)) {
            box->setMaxLength(c->maxLength);
            box->setText(c->text);
            box->setReadOnly(c->readOnly);
        }
        break;
    case ControlKind::Label:
        static_cast<QLabel *>(w)->setText(c->text);
        if (name == QLatin1String("filepath"))
            w->setToolTip(c->text);
        break;
    case ControlKind::CheckBox: {
        auto *box = static_cast<QCheckBox *>(w);
        box->setText(c->text);
        box->setChecked(c->checked != 0);
        break;
    }
    case ControlKind::Button:
        static_cast<QPushButton *>(w)->setText(c->text);
        break;
    case ControlKind::Frame:
        static_cast<QGroupBox *>(w)->setTitle(c->text);
        break;
    case ControlKind::PageList:
    case ControlKind::Picture:
    case ControlKind::Menu:
        break;
    }
    if (c->kind != ControlKind::PageList) // the page list's own flag: refreshPages()
        w->setEnabled(c->enabled);
    // A control hidden by the state is hidden; the others follow their window.
    if (!c->visible)
        w->hide();
    else if (w->isHidden() && w->property("hiddenByState").toBool())
        w->show();
    w->setProperty("hiddenByState", !c->visible);
    m_refreshing = false;
}

void FormBinding::refreshPages()
{
    const PageList &list = m_state.createquest().pageList();
    m_refreshing = true;
    if (m_pages->entries() != list.entries)
        m_pages->setEntries(list.entries);
    const QModelIndex selected = list.selected >= 0 ? m_pages->index(list.selected) : QModelIndex();
    if (m_pageView->currentIndex() != selected || (selected.isValid() && !m_pageView->selectionModel()->isSelected(selected))) {
        if (selected.isValid()) {
            m_pageView->selectionModel()->setCurrentIndex(selected, QItemSelectionModel::ClearAndSelect);
            m_pageView->scrollTo(selected);
        } else {
            m_pageView->selectionModel()->clear();
        }
    }
    m_pageView->setEnabled(list.enabled);
    m_refreshing = false;
}

void FormBinding::refreshPicture()
{
    auto *preview = get<PreviewView>(QStringLiteral("Image1"));
    if (!preview)
        return;
    const Picture &picture = m_state.form(m_form)->picture();
    preview->show(int(picture.kind), picture.image);
    preview->setToolTip(picture.kind == Picture::File ? picture.path : QString());
}

} // namespace fc
