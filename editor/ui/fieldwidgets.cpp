#include "editor/ui/fieldwidgets.h"

#include <QAbstractScrollArea>
#include <QApplication>
#include <QEvent>
#include <QFocusEvent>
#include <QKeyEvent>
#include <QMimeData>
#include <QScrollBar>
#include <QTextBlock>

namespace fc {

// --- OneLineTextEdit -----------------------------------------------------------

OneLineTextEdit::OneLineTextEdit(QWidget *parent)
    : QPlainTextEdit(parent)
{
    setTabChangesFocus(true);
    setLineWrapMode(QPlainTextEdit::WidgetWidth);
    setWordWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    connect(this, &QPlainTextEdit::textChanged, this, [this] {
        if (!m_setting)
            Q_EMIT edited(toPlainText());
    });
}

QString OneLineTextEdit::flattened(QString text)
{
    text.replace(QLatin1String("\r\n"), QLatin1String(" "));
    for (QChar c : {QChar(u'\r'), QChar(u'\n'), QChar(QChar::LineSeparator), QChar(QChar::ParagraphSeparator)})
        text.replace(c, QLatin1Char(' '));
    return text;
}

void OneLineTextEdit::setText(const QString &text)
{
    if (toPlainText() == text)
        return;
    const int position = textCursor().position();
    const int scroll = verticalScrollBar()->value();
    m_setting = true;
    setPlainText(text);
    m_setting = false;
    QTextCursor cursor = textCursor();
    cursor.setPosition(qMin(position, int(text.size())));
    setTextCursor(cursor);
    verticalScrollBar()->setValue(scroll);
}

int OneLineTextEdit::room() const
{
    if (m_maxLength <= 0)
        return std::numeric_limits<int>::max();
    const QTextCursor cursor = textCursor();
    const int selected = cursor.selectionEnd() - cursor.selectionStart();
    return qMax(0, m_maxLength - int(toPlainText().size()) + selected);
}

void OneLineTextEdit::keyPressEvent(QKeyEvent *event)
{
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        event->ignore(); // no line break in this box
        return;
    }
    const QString typed = event->text();
    const bool inserts = !typed.isEmpty() && typed.at(0).isPrint()
                         && !(event->modifiers() & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier));
    if (inserts && room() < typed.size()) {
        QApplication::beep();
        event->accept();
        return;
    }
    QPlainTextEdit::keyPressEvent(event);
}

bool OneLineTextEdit::canInsertFromMimeData(const QMimeData *source) const
{
    return source->hasText();
}

void OneLineTextEdit::insertFromMimeData(const QMimeData *source)
{
    if (!source->hasText())
        return;
    QString text = flattened(source->text());
    const int fits = room();
    if (text.size() > fits) {
        text.truncate(fits);
        QApplication::beep();
    }
    textCursor().insertText(text);
    ensureCursorVisible();
}

// --- EntryListModel ------------------------------------------------------------

void EntryListModel::setEntries(const QStringList &entries)
{
    beginResetModel();
    m_entries = entries;
    endResetModel();
}

int EntryListModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(m_entries.size());
}

QVariant EntryListModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || index.row() >= m_entries.size())
        return {};
    if (role == Qt::DisplayRole || role == Qt::AccessibleTextRole) {
        const QString &entry = m_entries.at(index.row());
        const QString detail = m_detail ? m_detail(entry) : QString();
        return detail.isEmpty() ? entry : entry + QStringLiteral("  ") + detail;
    }
    if (role == Qt::UserRole)
        return m_entries.at(index.row()); // the page's name
    return {};
}

void EntryListModel::entryChanged(const QString &entry)
{
    for (int i = 0; i < m_entries.size(); ++i)
        if (m_entries[i] == entry) {
            const QModelIndex at = index(i);
            Q_EMIT dataChanged(at, at, {Qt::DisplayRole, Qt::AccessibleTextRole});
        }
}

// --- HistoryKeys ---------------------------------------------------------------

bool HistoryKeys::isHistoryKey(const QKeyEvent *event)
{
    const auto mods = event->modifiers() & ~Qt::KeypadModifier;
    return event->matches(QKeySequence::Undo) || event->matches(QKeySequence::Redo)
           || (event->key() == Qt::Key_Y && mods == Qt::ControlModifier)
           || (event->key() == Qt::Key_Z && mods == (Qt::ControlModifier | Qt::ShiftModifier));
}

bool HistoryKeys::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::ShortcutOverride && isHistoryKey(static_cast<QKeyEvent *>(event))) {
        // Not the box's: the window's shortcut takes it.
        event->ignore();
        return true;
    }
    if (event->type() == QEvent::KeyPress && isHistoryKey(static_cast<QKeyEvent *>(event))) {
        event->ignore();
        return true; // never the box's own undo
    }
    if (event->type() == QEvent::FocusOut && m_left)
        m_left();
    return QObject::eventFilter(watched, event);
}

// --- HelpTracker ---------------------------------------------------------------

HelpTracker::HelpTracker(std::function<void(const QString &)> onHelp, QObject *parent)
    : QObject(parent)
    , m_onHelp(std::move(onHelp))
{
}

void HelpTracker::watch(QWidget *control)
{
    control->setMouseTracking(true);
    control->installEventFilter(this);
    if (auto *area = qobject_cast<QAbstractScrollArea *>(control)) {
        area->viewport()->setMouseTracking(true);
        area->viewport()->setProperty("helpFor", QVariant::fromValue<QObject *>(control));
        area->viewport()->installEventFilter(this);
    }
}

bool HelpTracker::eventFilter(QObject *watched, QEvent *event)
{
    switch (event->type()) {
    case QEvent::FocusIn: {
        // The focus the user moves (Tab, a click, a shortcut), not the focus
        // a window gives back when it is activated: the help line keeps its
        // note when the editor opens.
        const Qt::FocusReason reason = static_cast<QFocusEvent *>(event)->reason();
        if (reason == Qt::ActiveWindowFocusReason || reason == Qt::PopupFocusReason || reason == Qt::OtherFocusReason)
            break;
        [[fallthrough]];
    }
    case QEvent::Enter:
    case QEvent::MouseMove: {
        QObject *control = watched;
        if (auto *owner = watched->property("helpFor").value<QObject *>())
            control = owner;
        m_onHelp(control->objectName());
        break;
    }
    default:
        break;
    }
    return QObject::eventFilter(watched, event);
}

} // namespace fc
