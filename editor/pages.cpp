// The page list pg and the page fields of createquest: selecting a page fills
// the fields, a change of a field writes its key, Add Page and Delete.
#include "editor/editor_parts.h"

#include "editor/quest_document.h"
#include "storage/quest_format.h"

#include <QHash>
#include <QSet>

namespace fc {

using namespace quest;

namespace {

const QHash<QString, QString> &keyTable()
{
    static const QHash<QString, QString> table = [] {
        QHash<QString, QString> t;
        auto text = [&t](int n, const QString &key) { t.insert(QStringLiteral("Text%1").arg(n), key); };
        auto check = [&t](int n, const QString &key) { t.insert(QStringLiteral("Check%1").arg(n), key); };
        text(1, kPageText);
        for (int i = 1; i <= kOptionCount; ++i) {
            text(1 + i, optionKey(i));
            text(5 + i, destinationKey(i));
            text(18 - i, scoreKey(i));
            text(20 + i, keyItemKey(i));
            check(i, addKey(i));
            check(4 + i, requiredKey(i));
        }
        text(10, kTitle);
        text(11, kAuthor);
        text(12, kVersion);
        text(18, kMusic);
        text(19, kLocation);
        text(20, kImage);
        check(9, kBattle);
        return t;
    }();
    return table;
}

// The fields a page selection fills by reading, in the order it reads them.
const QStringList &pageTextOrder()
{
    static const QStringList order = [] {
        QStringList o{QStringLiteral("Text1")};
        for (int n = 2; n <= 9; ++n)
            o << QStringLiteral("Text%1").arg(n);
        o << QStringLiteral("Text17") << QStringLiteral("Text16") << QStringLiteral("Text15") << QStringLiteral("Text14");
        for (int n = 18; n <= 24; ++n)
            o << QStringLiteral("Text%1").arg(n);
        return o;
    }();
    return order;
}

// Controls that only work on a selected page.
bool needsPage(const QString &control)
{
    static const QSet<QString> always{QStringLiteral("Text10"), QStringLiteral("Text11"), QStringLiteral("Text12"),
                                      QStringLiteral("Text13")};
    if (always.contains(control))
        return false;
    if (control.startsWith(QLatin1String("Text")) || control.startsWith(QLatin1String("Check")))
        return true;
    static const QSet<QString> buttons{QStringLiteral("Command2"), QStringLiteral("Command3"),
                                       QStringLiteral("Command6"), QStringLiteral("Command9"),
                                       QStringLiteral("Command10")};
    return buttons.contains(control);
}

bool sameName(const QString &a, const QString &b)
{
    return a.trimmed().compare(b.trimmed(), Qt::CaseInsensitive) == 0;
}

} // namespace

QString PageEditor::keyOf(const QString &control) { return keyTable().value(control); }

bool PageEditor::isStoryField(const QString &control)
{
    return control == QLatin1String("Text10") || control == QLatin1String("Text11") || control == QLatin1String("Text12");
}

void PageEditor::fieldChanged(const QString &control)
{
    const QString key = keyOf(control);
    if (key.isEmpty() || c.applying)
        return; // Text13, and Text25/Text26, which only their pickers write
    const Control &ctl = c.state.ctl(EditorContext::cq(), control);
    const QString section = isStoryField(control) ? QString(kStoryInfoSection) : c.page();
    if (section.isEmpty())
        return; // no page selected: nothing is written under an empty name
    const QString value = ctl.kind == ControlKind::CheckBox ? QString::number(ctl.checked) : ctl.text;
    c.wc.write(section, key, value);
    if (control == QLatin1String("Check9"))
        updateEnabled();
}

void PageEditor::select(int index)
{
    c.state.setSelectedPage(index);
    fill();
}

void PageEditor::fill()
{
    const QString page = c.page();
    const QString cq = EditorContext::cq();
    auto assign = [&](const QString &control, const QString &value) {
        if (c.state.text(cq, control) == value)
            return;
        c.state.setText(cq, control, value);
        fieldChanged(control);
    };
    if (!page.isEmpty()) {
        auto setBox = [&](int n, int value) {
            const QString control = QStringLiteral("Check%1").arg(n);
            if (c.state.checked(cq, control) == value)
                return;
            c.state.setChecked(cq, control, value);
            fieldChanged(control);
        };
        for (const QString &control : pageTextOrder())
            assign(control, c.wc.read(page, keyOf(control)));
        QString boxes[9];
        for (int n = 1; n <= 9; ++n) {
            boxes[n - 1] = c.wc.read(page, keyOf(QStringLiteral("Check%1").arg(n)));
            if (const auto v = checkValue(boxes[n - 1]))
                setBox(n, *v);
        }
        // An empty value clears its box. Nothing is written for that: the key
        // reads as empty, which means the same as "0" to every reader.
        for (int n = 1; n <= 9; ++n)
            if (boxes[n - 1].isEmpty())
                c.state.setChecked(cq, QStringLiteral("Check%1").arg(n), 0);
        c.state.setText(cq, QStringLiteral("Text25"), c.wc.read(page, kMovie));
        c.state.setText(cq, QStringLiteral("Text26"), c.wc.read(page, kMp3));
        battle.fillFromPage();
    }
    // The story fields belong to no page: they always show the quest's.
    for (int n = 10; n <= 12; ++n) {
        const QString control = QStringLiteral("Text%1").arg(n);
        assign(control, c.wc.read(kStoryInfoSection, keyOf(control)));
    }
    updateEnabled();
}

void PageEditor::updateEnabled()
{
    const QString cq = EditorContext::cq();
    const bool pageSelected = !c.page().isEmpty();
    for (const Control &ctl : c.state.createquest().controls())
        if (needsPage(ctl.name))
            c.state.setEnabled(cq, ctl.name, pageSelected);
    c.state.setEnabled(cq, QStringLiteral("Command7"), pageSelected && c.state.checked(cq, QStringLiteral("Check9")) == 1);
    battle.updateEnabled(pageSelected);
}

void PageEditor::rebuild(const QStringList &entries)
{
    c.state.setPageEntries(entries, entries.isEmpty() ? -1 : 0);
    if (entries.isEmpty()) {
        // A quest without pages: no field shows a page of the quest before.
        const QString cq = EditorContext::cq();
        for (const Control &ctl : c.state.createquest().controls()) {
            if (keyOf(ctl.name).isEmpty() && ctl.name != QLatin1String("Text25") && ctl.name != QLatin1String("Text26"))
                continue;
            if (ctl.kind == ControlKind::CheckBox)
                c.state.setChecked(cq, ctl.name, 0);
            else if (!isStoryField(ctl.name))
                c.state.setText(cq, ctl.name, QString());
        }
    }
    fill();
}

void PageEditor::addPage()
{
    const QString cq = EditorContext::cq();
    QuestDocument &doc = c.wc.document();
    const QString typed = c.state.text(cq, QStringLiteral("Text13"));
    if (!typed.isEmpty()) {
        const int listed = doc.pageIndex(typed);
        if (listed >= 0) {
            // Listed already: that page is selected instead of a second entry.
            c.state.setText(cq, QStringLiteral("Text13"), QString());
            select(listed);
            return;
        }
    }
    if (doc.pages().size() >= QuestDocument::kMaxPages) {
        c.message(QStringLiteral("The editor lists at most 32,767 pages. This quest has that many already, so no page "
                                 "can be added."));
        return;
    }
    QString name = typed;
    if (name.isEmpty()) {
        // The count plus one, or when that is listed, the lowest free number
        // above it.
        QSet<qint64> numbers;
        for (const QString &entry : doc.pages()) {
            bool ok = false;
            const qint64 n = entry.trimmed().toLongLong(&ok);
            if (ok)
                numbers.insert(n);
        }
        qint64 n = doc.pages().size() + 1;
        while (numbers.contains(n))
            ++n;
        name = QString::number(n);
    } else {
        c.state.setText(cq, QStringLiteral("Text13"), QString());
    }
    doc.addPage(name);
    c.state.appendPageEntry(name);
    c.wc.write(kQuestDataSection, kNumberOfPages, QString::number(doc.pages().size()));
    select(int(doc.pages().size()) - 1);
}

void PageEditor::deletePage()
{
    const PageList &list = c.state.createquest().pageList();
    const int index = list.selected;
    const QString page = list.selectedText();
    if (index < 0)
        return;
    // Every way into the page from another page: its choices and the ends
    // of its battle.
    QuestDocument &doc = c.wc.document();
    int leading = 0;
    for (const QString &other : doc.pages()) {
        if (sameName(other, page))
            continue;
        for (const QString &exit : doc.exits(other))
            if (sameName(exit, page))
                ++leading;
    }
    const QString leads = leading == 0   ? QStringLiteral("Nothing on another page leads to it.")
                          : leading == 1 ? QStringLiteral("1 choice or battle end of another page leads to it.")
                                         : QStringLiteral("%1 choices or battle ends of other pages lead to it.").arg(leading);
    if (!c.askNo(QStringLiteral("Are you sure you want to delete page \"%1\"? %2").arg(page, leads)))
        return;
    doc.removeSection(page);
    const int docIndex = doc.pageIndex(page);
    if (docIndex >= 0)
        doc.removePageAt(docIndex);
    const int count = int(doc.pages().size());
    c.state.removePageEntry(index, std::min(index, count - 1));
    c.wc.write(kQuestDataSection, kNumberOfPages, QString::number(count));
    fill();
}

} // namespace fc
