// Reading the quest's pages into what the checks and the exploration need.
#include "engine/check/quest_pages.h"

#include "engine/check/quest_snapshot.h"
#include "engine/rules.h"
#include "engine/score.h"
#include "storage/quest_format.h"

#include <vector>

namespace fc::check::detail {

namespace {

// Every key read, a page at a time: per choice the keys of kChoiceFields,
// then those of kFightFields. Each table says which key fills which field.
struct ChoiceField
{
    QString (*key)(int);
    QString Choice::*field;
};
constexpr ChoiceField kChoiceFields[] = {
    {quest::optionKey, &Choice::caption}, {quest::destinationKey, &Choice::destination},
    {quest::scoreKey, &Choice::score},    {quest::keyItemKey, &Choice::item},
    {quest::requiredKey, &Choice::required}, {quest::addKey, &Choice::add},
};

struct FightField
{
    QLatin1String key;
    QString Page::*field;
};
constexpr FightField kFightFields[] = {
    {quest::kBattle, &Page::battleValue},     {quest::kBattleEscapeCheck, &Page::escapeValue},
    {quest::kBattleWin, &Page::win},          {quest::kBattleLose, &Page::lose},
    {quest::kBattleEscape, &Page::escapePage}, {quest::kBattleMonKeyItem, &Page::loot},
};

QStringList pageKeyNames()
{
    QStringList keyNames;
    for (int i = 1; i <= quest::kOptionCount; ++i)
        for (const ChoiceField &f : kChoiceFields)
            keyNames << f.key(i);
    for (const FightField &f : kFightFields)
        keyNames << QString(f.key);
    return keyNames;
}

// page from values, the values of pageKeyNames() read on it.
void fillPage(const QuestSnapshot &quest, std::vector<QString> &values, Page &page)
{
    auto resolve = [&](const QString &dest) { return dest.isEmpty() ? -1 : quest.pageIndex(dest); };
    auto value = values.begin();
    for (Choice &c : page.choices) {
        for (const ChoiceField &f : kChoiceFields)
            c.*f.field = std::move(*value++);
        c.destPage = resolve(c.destination);
        c.scoreAdd = parseDecimal(c.score);
        page.hasChoices = page.hasChoices || c.visible();
        c.offeredHeld = rules::offeredOnArrival(c.caption, c.required, c.add, true);
        c.offeredNotHeld = rules::offeredOnArrival(c.caption, c.required, c.add, false);
        // An item no choice or fight gives is never held.
        c.fixedOffer = rules::itemHeld(c.item, [](const QString &) { return false; }) ? c.offeredHeld
                                                                                      : c.offeredNotHeld;
    }
    for (const FightField &f : kFightFields)
        page.*f.field = std::move(*value++);
    page.battle = rules::opensBattle(page.battleValue);
    page.escape = rules::escapeAllowed(page.escapeValue);
    page.winPage = resolve(page.win);
    page.losePage = resolve(page.lose);
    page.escapeDest = resolve(page.escapePage);
}

// Items whose holding changes what a choice offers get a bit each; choices
// and fights that give such an item, its bit.
void numberItems(QuestPages &q)
{
    for (Page &page : q.pages) {
        for (Choice &c : page.choices) {
            if (c.item.isEmpty() || c.offeredHeld == c.offeredNotHeld)
                continue;
            auto it = q.itemBits.constFind(c.item);
            if (it == q.itemBits.cend()) {
                it = q.itemBits.insert(c.item, int(q.bitItems.size()));
                q.bitItems.append(c.item);
            }
            c.itemBit = it.value();
        }
    }
    for (Page &page : q.pages) {
        for (Choice &c : page.choices)
            if (c.visible() && rules::givesItem(c.add, c.item))
                c.giveBit = q.itemBits.value(c.item, -1);
        if (page.battle && !page.loot.isEmpty())
            page.lootBit = q.itemBits.value(page.loot, -1);
    }
}

PageMoves movesOf(const Page &page)
{
    PageMoves m;
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
    return m;
}

} // namespace

QuestPages readQuestPages(const QuestSnapshot &quest)
{
    QuestPages q;
    const QStringList &names = quest.pages();
    q.pages.resize(size_t(names.size()));
    const QStringList keyNames = pageKeyNames();
    std::vector<QStringView> keys(keyNames.cbegin(), keyNames.cend());
    std::vector<QString> values(keys.size());
    for (qsizetype p = 0; p < names.size(); ++p) {
        Page &page = q.pages[size_t(p)];
        page.name = names[p];
        quest.readValues(page.name, keys, values);
        fillPage(quest, values, page);
    }
    numberItems(q);
    q.moves.resize(q.pages.size());
    for (size_t p = 0; p < q.pages.size(); ++p)
        q.moves[p] = movesOf(q.pages[p]);
    return q;
}

} // namespace fc::check::detail
