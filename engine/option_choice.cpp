// Option choice: applying the selected option of the current page.
#include "engine/game.h"
#include "engine/rules.h"
#include "engine/score.h"
#include "engine/skip.h"

#include "storage/quest_format.h"

namespace fc {

bool Game::selectOption(int i)
{
    if (!m_screen.choicesAvailable())
        return false;
    return m_screen.select(i);
}

void Game::ApplyChoice()
{
    using namespace quest;
    const int chosen = m_screen.chosenOption();
    if (chosen < 0)
        return;
    const int i = chosen + 1;

    const QString item = pageRead(keyItemKey(i));
    if (rules::givesItem(pageRead(addKey(i)), item))
        m_screen.addItem(item);

    m_screen.setScore(addToScore(m_screen.score(), pageRead(scoreKey(i))));

    const QString destination = pageRead(destinationKey(i));
    m_screen.setPg(destination);
    AppendPage(destination);
    ShowOptions(destination);
    m_screen.setRoom(questRead(destination, kPageText));
}

void Game::pressPlayTurn()
{
    if (!m_screen.choicesAvailable())
        return; // a fight ends by winning, losing or escaping
    pressAnimation(PressedButton::Choose);
    PlayTurn();
}

void Game::clickChoose()
{
    using namespace quest;
    if (!m_screen.choicesAvailable())
        return;
    const int chosen = m_screen.chosenOption();
    if (chosen >= 0) {
        const int i = chosen + 1;
        m_screen.setScore(addToScore(m_screen.score(), pageRead(scoreKey(i))));
        const QString destination = pageRead(destinationKey(i));
        m_screen.setPg(destination);
        m_screen.appendLog(QStringLiteral("\r\n>\r\n") + questRead(destination, kPageText));
        ShowOptions(destination);
        m_screen.setRoom(questRead(destination, kPageText));
    }
    m_screen.clearSelection();
}

} // namespace fc
