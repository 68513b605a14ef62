// The page presenter: turns the current page of the quest into the state of
// the game screen. Every value is read from the quest file when it is needed.
#include "engine/page_flow.h"
#include "engine/fight.h"
#include "engine/game_context.h"
#include "engine/rules.h"
#include "engine/skip.h"

#include "storage/quest_format.h"

namespace fc {

PageFlow::PageFlow(GameContext &context, Fight &fight, QObject *parent)
    : GamePart(context, parent)
    , m_fight(fight)
{
}

namespace {
const QString kCrLf = QStringLiteral("\r\n");
const QString kSeparator = QString(53, QLatin1Char('-'));
const QString kPrompt = QStringLiteral("\r\n>\r\n");
} // namespace

QString PageFlow::FindItem(const QStringList &list, const QString &item)
{
    if (rules::itemHeld(item, [&](const QString &i) { return list.contains(i, Qt::CaseSensitive); }))
        return QStringLiteral("found");
    return {};
}

void PageFlow::AppendStoryHeader()
{
    using namespace quest;
    QString header;
    // A new story begins on a line of its own, below the last one.
    if (!m_screen.state().log().isEmpty() && !m_screen.state().log().endsWith(QLatin1Char('\n')))
        header += kCrLf;
    header += m_ctx.questRead(kStoryInfoSection, kTitle) + kCrLf;
    header += kSeparator + kCrLf;
    header += m_ctx.questRead(kStoryInfoSection, kAuthor) + kCrLf;
    header += QStringLiteral("Version: ") + m_ctx.questRead(kStoryInfoSection, kVersion) + kCrLf;
    header += kSeparator + kCrLf;
    m_screen.state().appendLog(header);
}

void PageFlow::AppendPage(const QString &page)
{
    m_screen.state().appendLog(kPrompt + m_ctx.questRead(page, quest::kLocation) + kPrompt + m_ctx.questRead(page, quest::kPageText));
}

void PageFlow::ShowOptions(const QString &page)
{
    for (int i = 1; i <= quest::kOptionCount; ++i)
        m_screen.state().setCaption(i - 1, m_ctx.questRead(page, quest::optionKey(i)));
}

void PageFlow::BeginQuest()
{
    const QString first = quest::kFirstPage;
    skipOnFailure([&] { AppendStoryHeader(); });
    skipOnFailure([&] { AppendPage(first); });
    skipOnFailure([&] { m_screen.state().setRoom(m_ctx.questRead(first, quest::kPageText)); });
    m_screen.state().setPage(first);
    skipOnFailure([&] { ShowOptions(first); });
    m_screen.state().setScore(QStringLiteral("0"));
    skipOnFailure([&] { m_fight.startCharacter(); });
}

void PageFlow::PresentPage()
{
    using namespace quest;
    // 1-2. Key-item gating: an option whose item is held shows; a required
    //      item that is missing hides it; an explicitly ungated option shows.
    skipOnFailure([&] {
        for (int i = 1; i <= kOptionCount; ++i) {
            const bool held = FindItem(m_screen.state().inventory(), m_ctx.pageRead(keyItemKey(i))) == QLatin1String("found");
            m_screen.state().setCaption(i - 1, rules::gateByItem(m_screen.state().option(i - 1).caption, m_ctx.pageRead(optionKey(i)),
                                                         m_ctx.pageRead(requiredKey(i)), held));
        }
    });
    // 3. Picture; an empty value keeps the previous one.
    skipOnFailure([&] { m_ctx.loadPagePicture(m_ctx.pageRead(kImage)); });
    // 4. Movie; an empty value leaves the movie panel alone.
    m_ctx.playMovie(m_ctx.pageRead(kMovie));
    // 5. Items already held hide the options that would give them again.
    skipOnFailure([&] {
        for (int i = 1; i <= kOptionCount; ++i) {
            const bool held = FindItem(m_screen.state().inventory(), m_ctx.pageRead(keyItemKey(i))) == QLatin1String("found");
            m_screen.state().setCaption(i - 1, rules::hideHeldGift(m_screen.state().option(i - 1).caption, m_ctx.pageRead(addKey(i)), held));
        }
    });
    // 6. Sound on every page (also an empty name), then the page's music.
    skipOnFailure([&] {
        const QString music = m_ctx.pageRead(kMusic);
        m_ctx.playSound(m_ctx.pageRead(kMp3));
        if (!music.isEmpty()) {
            m_ctx.stopMusic();
            m_ctx.startMusic(music);
        }
    });
    // 7. Battle.
    skipOnFailure([&] {
        if (rules::opensBattle(m_ctx.pageRead(kBattle)))
            m_fight.Battle();
    });
    // 8. Clear the selection.
    m_screen.state().clearSelection();
}

void PageFlow::PlayTurn()
{
    ApplyChoice();
    PresentPage();
}

void PageFlow::enterFromBattle(const QString &page)
{
    skipOnFailure([&] { AppendPage(page); });
    m_screen.state().setPage(page);
    skipOnFailure([&] { m_screen.state().setRoom(m_ctx.questRead(page, quest::kPageText)); });
    skipOnFailure([&] { ShowOptions(page); });
    PlayTurn();
}

} // namespace fc
