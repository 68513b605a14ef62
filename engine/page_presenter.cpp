// The page presenter: turns the current page of the quest into the state of
// the game screen. Every value is read from the quest file when it is needed.
#include "engine/game.h"
#include "engine/rules.h"
#include "engine/skip.h"

#include "storage/quest_format.h"

namespace fc {

namespace {
const QString kCrLf = QStringLiteral("\r\n");
const QString kSeparator = QString(53, QLatin1Char('-'));
const QString kPrompt = QStringLiteral("\r\n>\r\n");
} // namespace

QString Game::FindItem(const QStringList &list, const QString &item)
{
    if (rules::itemHeld(item, [&](const QString &i) { return list.contains(i, Qt::CaseSensitive); }))
        return QStringLiteral("found");
    return {};
}

void Game::AppendStoryHeader()
{
    using namespace quest;
    QString header;
    // A new story begins on a line of its own, below the last one.
    if (!m_screen.log().isEmpty() && !m_screen.log().endsWith(QLatin1Char('\n')))
        header += kCrLf;
    header += questRead(kStoryInfoSection, kTitle) + kCrLf;
    header += kSeparator + kCrLf;
    header += questRead(kStoryInfoSection, kAuthor) + kCrLf;
    header += QStringLiteral("Version: ") + questRead(kStoryInfoSection, kVersion) + kCrLf;
    header += kSeparator + kCrLf;
    m_screen.appendLog(header);
}

void Game::AppendPage(const QString &page)
{
    m_screen.appendLog(kPrompt + questRead(page, quest::kLocation) + kPrompt + questRead(page, quest::kPageText));
}

void Game::ShowOptions(const QString &page)
{
    for (int i = 1; i <= quest::kOptionCount; ++i)
        m_screen.setCaption(i - 1, questRead(page, quest::optionKey(i)));
}

void Game::BeginQuest()
{
    const QString first = quest::kFirstPage;
    skipOnFailure([&] { AppendStoryHeader(); });
    skipOnFailure([&] { AppendPage(first); });
    skipOnFailure([&] { m_screen.setRoom(questRead(first, quest::kPageText)); });
    m_screen.setPg(first);
    skipOnFailure([&] { ShowOptions(first); });
    m_screen.setScore(QStringLiteral("0"));
    skipOnFailure([&] { startCharacter(); });
}

void Game::PresentPage()
{
    using namespace quest;
    // 1-2. Key-item gating: an option whose item is held shows; a required
    //      item that is missing hides it; an explicitly ungated option shows.
    skipOnFailure([&] {
        for (int i = 1; i <= kOptionCount; ++i) {
            const bool held = FindItem(m_screen.inventory(), pageRead(keyItemKey(i))) == QLatin1String("found");
            m_screen.setCaption(i - 1, rules::gateByItem(m_screen.option(i - 1).caption, pageRead(optionKey(i)),
                                                         pageRead(requiredKey(i)), held));
        }
    });
    // 3. Picture; an empty value keeps the previous one.
    skipOnFailure([&] { loadPagePicture(pageRead(kImage)); });
    // 4. Movie; an empty value leaves the movie panel alone.
    playMovie(pageRead(kMovie));
    // 5. Items already held hide the options that would give them again.
    skipOnFailure([&] {
        for (int i = 1; i <= kOptionCount; ++i) {
            const bool held = FindItem(m_screen.inventory(), pageRead(keyItemKey(i))) == QLatin1String("found");
            m_screen.setCaption(i - 1, rules::hideHeldGift(m_screen.option(i - 1).caption, pageRead(addKey(i)), held));
        }
    });
    // 6. Sound on every page (also an empty name), then the page's music.
    skipOnFailure([&] {
        const QString music = pageRead(kMusic);
        playSound(pageRead(kMp3));
        if (!music.isEmpty()) {
            stopMusic();
            startMusic(music);
        }
    });
    // 7. Battle.
    skipOnFailure([&] {
        if (rules::opensBattle(pageRead(kBattle)))
            Battle();
    });
    // 8. Clear the selection.
    m_screen.clearSelection();
}

void Game::PlayTurn()
{
    ApplyChoice();
    PresentPage();
}

} // namespace fc
