// Option choice: applying the selected option of the current page.
#include "engine/page_flow.h"
#include "engine/game_context.h"
#include "engine/rules.h"
#include "engine/score.h"
#include "engine/skip.h"

#include "storage/quest_format.h"

namespace fc {

bool PageFlow::selectOption(int i)
{
    if (!m_screen.choicesAvailable())
        return false;
    return m_screen.state().select(i);
}

void PageFlow::ApplyChoice()
{
    using namespace quest;
    const int chosen = m_screen.state().chosenOption();
    if (chosen < 0)
        return;
    const int i = chosen + 1;

    const QString item = m_ctx.pageRead(keyItemKey(i));
    if (rules::givesItem(m_ctx.pageRead(addKey(i)), item))
        m_screen.state().addItem(item);

    m_screen.state().setScore(addToScore(m_screen.state().score(), m_ctx.pageRead(scoreKey(i))));

    const QString destination = m_ctx.pageRead(destinationKey(i));
    m_screen.state().setPage(destination);
    AppendPage(destination);
    ShowOptions(destination);
    m_screen.state().setRoom(m_ctx.questRead(destination, kPageText));
}

void PageFlow::pressPlayTurn()
{
    if (!m_screen.choicesAvailable())
        return; // a fight ends by winning, losing or escaping
    m_ctx.pressAnimation(PressedButton::Choose);
    PlayTurn();
}

void PageFlow::clickChoose()
{
    using namespace quest;
    if (!m_screen.choicesAvailable())
        return;
    const int chosen = m_screen.state().chosenOption();
    if (chosen >= 0) {
        const int i = chosen + 1;
        m_screen.state().setScore(addToScore(m_screen.state().score(), m_ctx.pageRead(scoreKey(i))));
        const QString destination = m_ctx.pageRead(destinationKey(i));
        m_screen.state().setPage(destination);
        m_screen.state().appendLog(QStringLiteral("\r\n>\r\n") + m_ctx.questRead(destination, kPageText));
        ShowOptions(destination);
        m_screen.state().setRoom(m_ctx.questRead(destination, kPageText));
    }
    m_screen.state().clearSelection();
}

} // namespace fc
