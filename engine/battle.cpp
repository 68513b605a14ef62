// Battles: opening the battle box of a battle page, the fight and escape.
#include "engine/game.h"
#include "engine/skip.h"

#include "storage/quest_format.h"

namespace fc {

void Game::Battle()
{
    using namespace quest;
    const QString name = pageRead(kBattleMonName);
    skipOnFailure([&] { m_screen.setEnemyLabel(name + QStringLiteral("'s HP:")); });
    skipOnFailure([&] {
        bool ok = false;
        const float hp = pageRead(kBattleMonHp).trimmed().toFloat(&ok);
        if (ok && hp > 0)
            m_screen.setEnemyBar({double(hp), double(hp)});
    });
    skipOnFailure([&] { m_screen.setEnemyHpText(pageRead(kBattleMonHp)); });
    skipOnFailure([&] {
        if (!m_ports.pictures)
            return;
        if (auto image = m_ports.pictures->load(PictureSlot::Battle, mediaPath(pageRead(kBattleImage))))
            m_screen.setBattlePicture(*image);
    });
    const QString music = pageRead(kBattleMusic);
    skipOnFailure([&] { m_screen.setEscapeEnabled(pageRead(kBattleEscapeCheck) != QLatin1String("0")); });
    skipOnFailure([&] { m_screen.appendBattleText(QStringLiteral("You are under attack from ") + name + QLatin1Char('!')); });
    skipOnFailure([&] {
        if (music.isEmpty() || !m_ports.music)
            return;
        m_ports.music->stop();
        m_ports.music->start(mediaPath(music));
    });
    m_screen.setBattleBoxVisible(true);
}

void Game::clickAttack()
{
}

void Game::clickEscape()
{
    m_screen.setBattleBoxVisible(false);
    const QString target = pageRead(quest::kBattleEscape);
    skipOnFailure([&] { AppendPage(target); });
    m_screen.setPg(target);
    skipOnFailure([&] { m_screen.setRoom(questRead(target, quest::kPageText)); });
    skipOnFailure([&] { ShowOptions(target); });
    PlayTurn();
}

void Game::clickItem()
{
    openInventory();
}

} // namespace fc
