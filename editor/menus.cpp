// Start-up of the editor, its menus, closing it, and Test Game.
#include "editor/editor_parts.h"

#include "engine/game.h"
#include "engine/skip.h"
#include "storage/quest_format.h"

#include <QSet>

namespace fc {

using namespace quest;

namespace {

const QString kQuestDialogFilter = QStringLiteral("*.qst|*.qst");
const QString kQuestDialogExt = QStringLiteral("qst");

// The page list a loaded quest gets: "1" up to "Number Of Pages" when that is
// a whole number from 0 to 32767, then every other section that is no page
// list of its own, in file order.
QStringList pageListOf(const WorkingCopy &wc)
{
    QStringList entries;
    QSet<QString> listed;
    const QString stored = wc.read(kQuestDataSection, kNumberOfPages).trimmed();
    bool ok = !stored.isEmpty();
    for (QChar ch : stored)
        ok = ok && ch >= QLatin1Char('0') && ch <= QLatin1Char('9');
    const int count = ok && stored.size() <= 5 ? stored.toInt() : -1;
    if (count >= 0 && count <= PageList::kMaxEntries) {
        for (int i = 1; i <= count; ++i) {
            entries << QString::number(i);
            listed.insert(entries.last());
        }
    }
    static const QSet<QString> notPages{QString(kQuestDataSection).toCaseFolded(),
                                        QString(kStoryInfoSection).toCaseFolded(),
                                        QString(kCharacterDataSection).toCaseFolded()};
    for (const QString &section : wc.sectionNames()) {
        if (entries.size() >= PageList::kMaxEntries)
            break;
        const QString folded = section.toCaseFolded();
        if (section.isEmpty() || notPages.contains(folded) || listed.contains(folded))
            continue;
        listed.insert(folded);
        entries << section;
    }
    return entries;
}

} // namespace

void Menus::startUp()
{
    c.startedUp = true;
    skipOnFailure([&] { c.wc.remove(); });
    if (!c.state.createquest().pageList().entries.isEmpty())
        pages.select(0);
    c.wc.write(kQuestDataSection, kNumberOfPages, QString::number(c.state.createquest().pageList().entries.size()));
}

void Menus::menuNew()
{
    if (!c.askNo(QStringLiteral("Are you sure you want to clear the previous quest data? Please make sure you saved "
                                "what you worked on first!")))
        return;
    const QString cq = EditorContext::cq();
    c.state.setPageEntries({}, -1);
    for (int n = 1; n <= 17; ++n) {
        const QString control = QStringLiteral("Text%1").arg(n);
        if (!c.state.text(cq, control).isEmpty()) {
            c.state.setText(cq, control, QString());
            pages.fieldChanged(control);
        }
    }
    c.state.setText(cq, QStringLiteral("filepath"), QString());
    skipOnFailure([&] { c.wc.remove(); });
    pages.fill(); // nothing is selected: the page fields are disabled
    c.wc.write(kQuestDataSection, kNumberOfPages, QStringLiteral("0"));
}

void Menus::menuLoad()
{
    if (!c.ports.fileDialog)
        return;
    FileDialogOptions options{c.dialogFolder(), kQuestDialogFilter, kQuestDialogExt, m_remembered};
    QString path;
    skipOnFailure([&] { path = c.ports.fileDialog->openFile(options); });
    if (path.isEmpty())
        return; // cancelled: nothing changes
    m_remembered = path;
    QString error;
    if (!c.wc.replaceWith(path, &error)) {
        c.message(QStringLiteral("Error!"));
        return;
    }
    c.questFile = path;
    c.state.setText(EditorContext::cq(), QStringLiteral("filepath"), path);
    pages.rebuild(pageListOf(c.wc));
}

void Menus::menuSave()
{
    if (!c.ports.fileDialog)
        return;
    FileDialogOptions options{c.dialogFolder(), kQuestDialogFilter, kQuestDialogExt, m_remembered};
    QString path;
    skipOnFailure([&] { path = c.ports.fileDialog->saveFile(options); });
    if (path.isEmpty())
        return; // cancelled: nothing changes
    m_remembered = path;
    QString error;
    if (!c.wc.copyTo(path, &error)) {
        c.message(QStringLiteral("Error!"));
        return;
    }
    c.questFile = path;
    c.state.setText(EditorContext::cq(), QStringLiteral("filepath"), path);
}

void Menus::menuCompile(bool web)
{
    if (c.questFile.isEmpty()) {
        c.message(QStringLiteral("You must load a quest file into memory first. If you were working on a quest file, "
                                 "save it to your hard disk and click compile again, because that file is needed by "
                                 "the compiler."));
        return;
    }
    c.wc.flush();
    if (web)
        Q_EMIT c.editor.webExportRequested(c.questFile);
    else
        Q_EMIT c.editor.compileRequested(c.questFile);
}

bool Menus::closeRequest()
{
    if (!c.state.filepath().isEmpty()
        && !c.askNo(QStringLiteral("Are you sure you want to Close create A' Quest? Please make sure you saved what "
                                   "you worked on first!")))
        return false;
    hide();
    return true;
}

void Menus::hide()
{
    c.wc.flush();
    if (!c.state.createquest().visible())
        return;
    c.state.setFormVisible(EditorContext::cq(), false);
    Q_EMIT c.editor.visibilityChanged(false);
}

void Menus::testGame()
{
    c.wc.flush();
    Game *game = c.editor.game();
    if (game)
        game->screen().setMenuPanelVisible(false);
    Q_EMIT c.editor.gameScreenShowRequested();
    if (game)
        skipOnFailure([&] { game->LoadTmpGame(); });
}

} // namespace fc
