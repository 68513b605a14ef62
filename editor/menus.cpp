// Start-up of the editor, its menus, closing it, and Test Game.
#include "editor/editor_parts.h"

#include "engine/game.h"
#include "engine/skip.h"
#include "storage/quest_format.h"

#include "storage/profile_store.h"
#include "storage/regular_file.h"

#include <QDateTime>
#include <QFileInfo>
#include <QLocale>
#include <QSaveFile>
#include <QSet>
#include <QUndoStack>

namespace fc {

using namespace quest;

namespace {

const QString kQuestDialogFilter = QStringLiteral("*.qst|*.qst");
const QString kQuestDialogExt = QStringLiteral("qst");

// Beside the working copy: which quest its work belongs to and whether that
// work is unsaved, read by the recovery question of the next run.
QString sessionFile(const WorkingCopy &wc) { return wc.path() + QStringLiteral(".session"); }

} // namespace

void Menus::writeSession(bool modified)
{
    if (!c.wc.locked())
        return; // another editor's session is not ours to change
    const QString quest = c.state.filepath().isEmpty() ? QString() : c.questFile;
    if (m_sessionWritten && m_sessionModified == modified && m_sessionQuest == quest)
        return;
    // Written on its own, not through the profile store: a write of a large
    // working copy holds the store, and the user interface must not wait.
    QSaveFile file(sessionFile(c.wc));
    QByteArray text("[Session]\r\nQuestFile=");
    text += quest.toUtf8();
    text += "\r\nModified=";
    text += modified ? "1" : "0";
    text += "\r\n";
    if (!file.open(QIODevice::WriteOnly) || file.write(text) != text.size() || !file.commit()) {
        Q_EMIT c.wc.writeFailed(fileErrorText(sessionFile(c.wc), file.errorString()));
        return;
    }
    m_sessionWritten = true;
    m_sessionModified = modified;
    m_sessionQuest = quest;
}

void Menus::startUp()
{
    c.startedUp = true;
    QuestDocument &doc = c.wc.document();
    // Work a run left unsaved when it ended without saving or discarding it
    // (a crash, a kill) is offered back before anything is deleted.
    const QString session = sessionFile(c.wc);
    const bool unsaved = ReadIni(session, QStringLiteral("Session"), QStringLiteral("Modified")) == QLatin1String("1");
    const QFileInfo copy(c.wc.path());
    if (unsaved && copy.exists()) {
        const QString file = ReadIni(session, QStringLiteral("Session"), QStringLiteral("QuestFile"));
        const QString name = file.isEmpty() ? QStringLiteral("Untitled") : QFileInfo(file).fileName();
        const QString time = QLocale().toString(copy.lastModified(), QLocale::ShortFormat);
        if (c.questions->recover(QStringLiteral("Recover unsaved work on %1 from %2?").arg(name, time))) {
            c.questFile = file;
            c.state.setText(EditorContext::cq(), QStringLiteral("filepath"), file);
            if (doc.pages().isEmpty())
                doc.addPage(QString(kFirstPage));
            c.recovered = true;
            pages.rebuild(doc.pages());
            return;
        }
    }
    skipOnFailure([&] { (void)c.wc.remove(); });
    doc.addPage(QString(kFirstPage));
    pages.rebuild(doc.pages());
    c.wc.write(kQuestDataSection, kNumberOfPages, QString::number(doc.pages().size()));
}

void Menus::menuNew()
{
    if (!c.askNo(QStringLiteral("Are you sure you want to clear the previous quest data? Please make sure you saved "
                                "what you worked on first!")))
        return;
    const QString cq = EditorContext::cq();
    c.state.setText(cq, QStringLiteral("filepath"), QString());
    c.state.setText(cq, QStringLiteral("Text13"), QString());
    skipOnFailure([&] { (void)c.wc.remove(); });
    // As at the start: page "1" listed and selected, every field empty.
    QuestDocument &doc = c.wc.document();
    doc.addPage(QString(kFirstPage));
    pages.rebuild(doc.pages());
    c.wc.write(kQuestDataSection, kNumberOfPages, QString::number(doc.pages().size()));
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
        c.error(error);
        return;
    }
    c.questFile = path;
    c.state.setText(EditorContext::cq(), QStringLiteral("filepath"), path);
    pages.rebuild(c.wc.document().pages());
}

void Menus::menuSave()
{
    if (c.questFile.isEmpty() || c.state.filepath().isEmpty())
        menuSaveAs();
    else
        saveTo(c.questFile);
}

void Menus::menuSaveAs()
{
    if (!c.ports.fileDialog)
        return;
    FileDialogOptions options{c.dialogFolder(), kQuestDialogFilter, kQuestDialogExt, m_remembered};
    QString path;
    skipOnFailure([&] { path = c.ports.fileDialog->saveFile(options); });
    if (path.isEmpty())
        return; // cancelled: nothing changes
    m_remembered = path;
    saveTo(path);
}

bool Menus::saveTo(const QString &path)
{
    const QFileInfo target(path);
    if (target.exists() && !target.isWritable()) {
        c.error(fileErrorText(path, QStringLiteral("the file is read-only")));
        return false;
    }
    // The quest is written from the document: a working copy that cannot be
    // written does not stop a save elsewhere.
    QString error;
    if (!c.wc.copyTo(path, &error)) {
        c.error(error);
        return false;
    }
    c.questFile = path;
    c.state.setText(EditorContext::cq(), QStringLiteral("filepath"), path);
    c.recovered = false;
    c.editor.undoStack().setClean();
    // The working copy is tried again as well.
    (void)c.wc.flush();
    return true;
}

void Menus::menuCompile(bool web)
{
    if (c.questFile.isEmpty()) {
        c.message(QStringLiteral("You must load a quest file into memory first. If you were working on a quest file, "
                                 "save it to your hard disk and click compile again, because that file is needed by "
                                 "the compiler."));
        return;
    }
    (void)c.wc.flush(); // the compiler works from the quest file; a failure shows in the banner
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
    (void)c.wc.flush(); // a failure shows in the banner
    if (!c.state.createquest().visible())
        return;
    c.state.setFormVisible(EditorContext::cq(), false);
    Q_EMIT c.editor.visibilityChanged(false);
}

void Menus::testGame()
{
    // No flush: the game reads the document itself (Editor::setGame), and
    // the file follows on its own.
    Game *game = c.editor.game();
    if (game)
        game->screen().view().setMenuPanelVisible(false);
    Q_EMIT c.editor.gameScreenShowRequested();
    if (game)
        skipOnFailure([&] { game->questStart().LoadTmpGame(); });
}

} // namespace fc
