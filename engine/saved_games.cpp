// Saving and restoring games.
#include "engine/saved_games.h"
#include "engine/game_context.h"
#include "engine/skip.h"

#include "storage/ini_file.h"
#include "storage/quest_format.h"
#include "storage/regular_file.h"
#include "storage/saved_game.h"
#include "storage/user_folders.h"

#include <QFile>

namespace fc {

namespace {
const QString kSavedGameFilter = QStringLiteral("*.sav|*.sav");

// Whether the quest has the page a saved game names. A damaged "page" line
// names nothing, or no page, and the next choice would end the story. When
// the quest file cannot be looked at as a whole, the page is taken as it is.
bool questHasPage(const QString &questFile, const QString &page)
{
    const QString name = page.trimmed();
    if (name.isEmpty())
        return false;
    const QString path = ResolveIniPath(questFile);
    if (CheckRegularFile(path, filelimit::kProfile) != FileStatus::Ok)
        return true;
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return true;
    const QStringList sections = ini::IniFile::parse(f.readAll()).sectionNames();
    for (const QString &s : sections)
        if (s.trimmed().compare(name, Qt::CaseInsensitive) == 0)
            return true;
    return false;
}

QString report(const QString &file, const QString &outcome, const QString &room)
{
    return QStringLiteral("\r\n>\r\nGame: ") + file + QStringLiteral("\r\n") + outcome + QStringLiteral("\r\n>\r\n") + room;
}
} // namespace

SavedGames::SavedGames(GameContext &context, QObject *parent)
    : GamePart(context, parent)
{
}

void SavedGames::menuSave()
{
    if (!m_screen.state().questLoaded()) {
        if (m_ports.dialogs)
            m_ports.dialogs->information(QString(), QStringLiteral("You must load a quest file before attempting to save a game!"));
        return;
    }
    FileDialogOptions options;
    options.initialDir = m_ctx.programDir();
    options.filter = kSavedGameFilter;
    const QString file = m_ports.fileDialog ? m_ports.fileDialog->saveFile(options) : QString();
    if (file.isEmpty())
        return;

    SavedGame saved;
    saved.room = m_screen.state().room();
    for (int i = 0; i < 4; ++i)
        saved.options[size_t(i)] = m_screen.state().option(i).caption;
    saved.page = m_screen.state().page();
    saved.score = m_screen.state().score();
    saved.inventory = m_screen.state().inventory();
    const SavedGameResult result = WriteSavedGame(file, saved);
    if (!result.ok()) {
        // Nothing (or nothing usable) was written: say so instead of
        // reporting a save that did not happen.
        if (m_ports.dialogs)
            m_ports.dialogs->critical(
                QStringLiteral("Error Saving Game:"),
                result.error == SavedGameError::Unconvertible
                    ? QStringLiteral("The game could not be saved: the page text, a choice or the score holds a "
                                     "character that a saved game cannot store.")
                    : QStringLiteral("The game could not be saved: the file could not be written."));
        return;
    }
    m_screen.state().appendLog(report(file, QStringLiteral("Saved Successfully."), m_screen.state().room()));
}

bool SavedGames::loadSavedGame(bool withInventory)
{
    FileDialogOptions options;
    options.initialDir = m_ctx.programDir();
    options.filter = kSavedGameFilter;
    if (!m_screen.state().questLoaded()) {
        if (m_ports.dialogs)
            m_ports.dialogs->information(
                QString(), QStringLiteral("You must load a quest file before attempting to load a saved game!"));
        return false;
    }
    const QString file = m_ports.fileDialog ? m_ports.fileDialog->openFile(options) : QString();
    if (file.isEmpty())
        return false;

    const SavedGameLoad loaded = ReadSavedGame(file, withInventory);
    if (!loaded.ok() || !questHasPage(m_screen.state().questFile(), loaded.game.page)) {
        if (m_ports.dialogs)
            m_ports.dialogs->critical(QStringLiteral("Error Loading Game:"),
                                      QStringLiteral("The file does not appear to be a saved game for this particular "
                                                     "game or there is an error in the file."));
        m_screen.state().appendLog(report(file, QStringLiteral("Is corrupt or not for this game! :-("), m_screen.state().room()));
        return false;
    }
    const SavedGame &g = loaded.game;
    m_screen.state().setRoom(g.room);
    for (int i = 0; i < 4; ++i)
        m_screen.state().setCaption(i, g.options[size_t(i)]);
    m_screen.state().setScore(g.score);
    m_screen.state().setPage(g.page);
    for (const QString &item : g.inventory)
        m_screen.state().addItem(item);
    m_screen.state().appendLog(report(file, QStringLiteral("Loaded Successfully."), m_screen.state().room()));
    m_ctx.stopMusic();
    skipOnFailure([&] { m_ctx.loadPagePicture(m_ctx.pageRead(quest::kImage)); });
    m_ctx.startMusic(m_ctx.pageRead(quest::kMusic));
    return true;
}

void SavedGames::menuLoad()
{
    loadSavedGame(true);
}

void SavedGames::clickEndingLoadGame()
{
    menuLoad();
}

void SavedGames::clickLoadGame()
{
    if (loadSavedGame(false))
        m_screen.view().setMenuPanelVisible(false);
}

} // namespace fc
