// Reading the quest's pages into what the checks and the exploration need.
#include "engine/check/explorer.h"


#include "engine/check/quest_snapshot.h"
#include "engine/game.h"
#include "engine/rules.h"
#include "engine/score.h"
#include "storage/encoder.h"
#include "storage/quest_format.h"
#include "storage/user_folders.h"

#include <QElapsedTimer>
#include <QFileInfo>
#include <QHash>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <iterator>
#include <limits>
#include <utility>
#include <vector>

namespace fc::check::detail {

void Explorer::readPages()
{
    using namespace quest;
    const QStringList &names = m_quest.pages();
    m_pages.resize(size_t(names.size()));
    auto resolve = [&](const QString &dest) { return dest.isEmpty() ? -1 : m_quest.pageIndex(dest); };

    // Every key read, a page at a time: per choice its six keys, then the
    // fight's; each beside the field it fills.
    static constexpr std::pair<QString (*)(int), QString Choice::*> choiceKeys[] = {
        {optionKey, &Choice::caption},  {destinationKey, &Choice::destination}, {scoreKey, &Choice::score},
        {keyItemKey, &Choice::item},    {requiredKey, &Choice::required},       {addKey, &Choice::add}};
    static constexpr std::pair<QLatin1String, QString Page::*> fightKeys[] = {
        {kBattle, &Page::battleValue}, {kBattleEscapeCheck, &Page::escapeValue}, {kBattleWin, &Page::win},
        {kBattleLose, &Page::lose},    {kBattleEscape, &Page::escapePage},      {kBattleMonKeyItem, &Page::loot}};
    constexpr int kChoiceKeys = int(std::size(choiceKeys));
    QStringList keyNames;
    for (int i = 1; i <= kOptionCount; ++i)
        for (const auto &[key, field] : choiceKeys)
            keyNames << key(i);
    for (const auto &[key, field] : fightKeys)
        keyNames << QString(key);
    std::vector<QStringView> keys(keyNames.cbegin(), keyNames.cend());
    std::vector<QString> values(keys.size());

    for (qsizetype p = 0; p < names.size(); ++p) {
        Page &page = m_pages[size_t(p)];
        page.name = names[p];
        m_quest.readValues(page.name, keys, values);
        for (int i = 0; i < kOptionCount; ++i) {
            Choice &c = page.choices[size_t(i)];
            QString *v = values.data() + i * kChoiceKeys;
            for (const auto &[key, field] : choiceKeys)
                c.*field = std::move(*v++);
            c.destPage = resolve(c.destination);
            c.scoreAdd = parseDecimal(c.score);
            page.hasChoices = page.hasChoices || c.visible();
            c.offeredHeld = rules::offeredOnArrival(c.caption, c.required, c.add, true);
            c.offeredNotHeld = rules::offeredOnArrival(c.caption, c.required, c.add, false);
            // An item no choice or fight gives is never held.
            c.fixedOffer = rules::itemHeld(c.item, [](const QString &) { return false; }) ? c.offeredHeld
                                                                                          : c.offeredNotHeld;
        }
        QString *v = values.data() + kOptionCount * kChoiceKeys;
        for (const auto &[key, field] : fightKeys)
            page.*field = std::move(*v++);
        page.battle = rules::opensBattle(page.battleValue);
        page.escape = rules::escapeAllowed(page.escapeValue);
        page.winPage = resolve(page.win);
        page.losePage = resolve(page.lose);
        page.escapeDest = resolve(page.escapePage);
    }

    // Items whose holding changes what a choice offers get a bit each.
    for (Page &page : m_pages) {
        for (Choice &c : page.choices) {
            if (c.item.isEmpty() || c.offeredHeld == c.offeredNotHeld)
                continue;
            auto it = m_itemBits.constFind(c.item);
            if (it == m_itemBits.cend()) {
                it = m_itemBits.insert(c.item, int(m_bitItems.size()));
                m_bitItems.append(c.item);
            }
            c.itemBit = it.value();
        }
    }
    for (Page &page : m_pages) {
        for (Choice &c : page.choices)
            if (c.visible() && rules::givesItem(c.add, c.item))
                c.giveBit = m_itemBits.value(c.item, -1);
        if (page.battle && !page.loot.isEmpty())
            page.lootBit = m_itemBits.value(page.loot, -1);
    }
    m_moves.resize(m_pages.size());
    for (size_t p = 0; p < m_pages.size(); ++p) {
        const Page &page = m_pages[p];
        PageMoves &m = m_moves[p];
        for (size_t i = 0; i < page.choices.size(); ++i) {
            const Choice &c = page.choices[i];
            m.choices[i] = {c.destPage,       std::int8_t(c.itemBit), std::int8_t(c.giveBit), c.fixedOffer,
                            c.offeredHeld, c.offeredNotHeld};
        }
        m.winPage = page.winPage;
        m.losePage = page.losePage;
        m.escapeDest = page.escapeDest;
        m.lootBit = std::int8_t(page.lootBit);
        m.battle = page.battle;
        m.escape = page.escape;
        m.leavesOnWin = rules::leavesBattlePage(page.win);
        m.leavesOnLose = rules::leavesBattlePage(page.lose);
        m.hasChoices = page.hasChoices;
    }
}

} // namespace fc::check::detail
