#include "engine/check/checker.h"

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
#include <limits>
#include <vector>

namespace fc::check {

namespace detail {

// ---------------------------------------------------------------------------
// Reading the pages

void Explorer::readPages()
{
    using namespace quest;
    const QStringList &names = m_quest.pages();
    m_pages.resize(size_t(names.size()));
    auto resolve = [&](const QString &dest) { return dest.isEmpty() ? -1 : m_quest.pageIndex(dest); };

    // Every key read, a page at a time: per choice its six keys, then the
    // fight's.
    constexpr int kChoiceKeys = 6;
    QStringList keyNames;
    for (int i = 1; i <= kOptionCount; ++i)
        keyNames << optionKey(i) << destinationKey(i) << scoreKey(i) << keyItemKey(i) << requiredKey(i) << addKey(i);
    for (const QLatin1String &k : {kBattle, kBattleEscapeCheck, kBattleWin, kBattleLose, kBattleEscape, kBattleMonKeyItem})
        keyNames << QString(k);
    std::vector<QStringView> keys(keyNames.cbegin(), keyNames.cend());
    std::vector<QString> values(keys.size());

    for (qsizetype p = 0; p < names.size(); ++p) {
        Page &page = m_pages[size_t(p)];
        page.name = names[p];
        m_quest.readValues(page.name, keys, values);
        for (int i = 0; i < kOptionCount; ++i) {
            Choice &c = page.choices[size_t(i)];
            QString *v = values.data() + i * kChoiceKeys;
            c.caption = std::move(v[0]);
            c.destination = std::move(v[1]);
            c.score = std::move(v[2]);
            c.item = std::move(v[3]);
            c.required = std::move(v[4]);
            c.add = std::move(v[5]);
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
        page.battleValue = std::move(v[0]);
        page.escapeValue = std::move(v[1]);
        page.battle = rules::opensBattle(page.battleValue);
        page.escape = rules::escapeAllowed(page.escapeValue);
        page.win = std::move(v[2]);
        page.lose = std::move(v[3]);
        page.escapePage = std::move(v[4]);
        page.loot = std::move(v[5]);
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

// ---------------------------------------------------------------------------
// Findings

void Explorer::add(const char *kind, int page, const QString &key, const QString &message, std::int32_t state)
{
    // One string per kind, shared by every finding of it.
    static const std::array<QString, std::size(kFindingKinds)> kinds = [] {
        std::array<QString, std::size(kFindingKinds)> out;
        for (size_t i = 0; i < out.size(); ++i)
            out[i] = QString::fromLatin1(kFindingKinds[i]);
        return out;
    }();
    Finding f;
    for (size_t i = 0; i < kinds.size() && f.kind.isEmpty(); ++i)
        if (qstrcmp(kind, kFindingKinds[i]) == 0)
            f.kind = kinds[i];
    f.page = page >= 0 ? m_pages[size_t(page)].name : QString();
    f.key = key;
    f.message = message;
    m_report.findings.append(f);
    m_findingState.push_back(state);
}

// Hands the links between the states to the report and lets the rest go;
// a finding whose way needs a fight to end in a way no seed gave gets no
// steps, and says so.
void Explorer::makeTrail()
{
    QElapsedTimer clock;
    clock.start();
    StepTrail &t = *m_trail;
    m_g.edgeStart = {};
    m_g.edgeTarget = {};
    m_g.edgeSlot = {};
    m_partMembers = {};
    m_partStart = {};
    m_partOf = {};
    m_potential = {};
    m_unbounded = {};
    m_rank = {};
    t.parent = std::move(m_g.parent);
    t.parentSlot = std::move(m_g.parentSlot);
    t.node = std::move(m_g.node);
    t.layer = std::move(m_g.layer);
    t.quest = m_snapshot;
    t.nodePage = std::move(m_nodePage);
    t.nodePhase = std::move(m_nodePhase);
    t.layerMask = m_g.layerMask;
    t.lootBit.resize(m_moves.size());
    for (size_t p = 0; p < m_moves.size(); ++p)
        t.lootBit[p] = m_moves[p].lootBit;
    t.itemBits = m_itemBits;
    t.fightSeeds = m_options.fightSeeds;
    t.fightReplays = m_options.fightReplays;
    m_moves = {};
    m_pages = {};
    if (std::all_of(m_findingState.begin(), m_findingState.end(), [](std::int32_t s) { return s < 0; })) {
        m_trail.reset(); // no finding has steps: nothing to keep
        m_lo = {};
        m_hi = {};
        m_findingState = {};
        m_stepsTime = clock.elapsed();
        return;
    }
    // The score ranges' storage takes the distances and the heads: memory
    // given back here is seldom returned to the system.
    t.depth = std::move(m_lo);
    t.head = std::move(m_hi);
    t.finish();
    bool fights = false;
    for (qsizetype i = 0; i < m_report.findings.size(); ++i) {
        std::int32_t s = m_findingState[size_t(i)];
        Finding &f = m_report.findings[i];
        if (s >= 0 && t.throughFight(s)) {
            if (t.findSeeds(s)) {
                fights = true;
            } else {
                f.message += QStringLiteral(" (reaching it needs a fight to end in a way that %1 seeds of the real "
                                            "fight never gave)")
                                 .arg(m_options.fightSeeds);
                s = -1;
            }
        }
        f.steps = Steps(m_trail, s);
    }
    if (!fights)
        t.dropFights();
    m_findingState = {};
    m_stepsTime = clock.elapsed();
}

static QString quoted(const QString &s)
{
    return QLatin1Char('"') + s + QLatin1Char('"');
}

void Explorer::checkLength(int page, const QString &key, const QString &value, int limit)
{
    if (value.size() > limit)
        add("suspicious-value", page, key,
            QStringLiteral("%1 is %2 characters long; the editor takes at most %3").arg(key).arg(value.size()).arg(limit),
            firstState(page));
}

void Explorer::checkMedia(int page, const QString &key, const QString &value)
{
    if (value.isEmpty())
        return;
    const QString beside =
        rules::mediaBesideQuest(m_options.mediaBeside.isEmpty() ? m_quest.file() : m_options.mediaBeside, value);
    const QString path = beside.isEmpty() ? value : beside;
    if (QFileInfo::exists(path))
        return;
    QString message = QStringLiteral("%1 %2 is not found%3").arg(key, quoted(value),
                                                                 beside.isEmpty() ? QString() : QStringLiteral(" beside the quest"));
    if (value.contains(QLatin1Char('\\')))
        message += QStringLiteral(" (\"\\\" is no folder separator here; use \"/\")");
    add("missing-media", page, key, message, firstState(page));
}

// Texts a saved game stores scrambled: the page text, the captions, and the
// page name.
void Explorer::checkSavedGameText(int page, const QString &key, const QString &text, const QString &what)
{
    QString problem;
    const std::optional<QString> scrambled = EncodeText(text);
    if (!scrambled || scrambled->contains(QLatin1Char('\n')) || scrambled->contains(QLatin1Char('\r'))
        || scrambled->contains(QChar(u'\0'))) {
        problem = QStringLiteral("holds a character a saved game cannot store: saving there fails");
    } else if (text.startsWith(QLatin1Char('$')) || text.endsWith(QLatin1Char('$'))) {
        problem = QStringLiteral("%1 with \"$\", which a saved game stores as a blank that INI readers drop")
                      .arg(text.startsWith(QLatin1Char('$')) ? QStringLiteral("starts") : QStringLiteral("ends"));
    } else if (text.startsWith(QLatin1Char('&'))) {
        problem = QStringLiteral("starts with \"&\", which a saved game stores as a quotation mark that INI readers take away");
    }
    if (!problem.isEmpty())
        add("suspicious-value", page, key, what + QLatin1Char(' ') + problem, firstState(page));
}

void Explorer::staticChecks()
{
    using namespace quest;
    for (int p = 0; p < int(m_pages.size()); ++p) {
        const Page &page = m_pages[size_t(p)];
        const QString &name = page.name;

        // Destinations.
        for (int i = 0; i < kOptionCount; ++i) {
            const Choice &c = page.choices[size_t(i)];
            if (!c.visible() || c.destPage >= 0)
                continue;
            const QString key = destinationKey(i + 1);
            QString message;
            if (c.destination.isEmpty())
                message = QStringLiteral("%1 leads nowhere: its destination page is empty").arg(optionKey(i + 1));
            else if (QuestSnapshot::isFixedSection(c.destination))
                message = QStringLiteral("%1 %2 names a section that is not a page").arg(key, quoted(c.destination));
            else
                message = QStringLiteral("%1 %2 names no page").arg(key, quoted(c.destination));
            add("broken-destination", p, key, message, m_firstOffered[size_t(p)][size_t(i)]);
        }
        if (page.battle) {
            const std::int32_t open = m_firstOpen[size_t(p)];
            auto battleDest = [&](const QString &key, const QString &value, int dest, bool emptyAllowed) {
                if (dest >= 0 || (value.isEmpty() && emptyAllowed))
                    return;
                add("broken-destination", p, key,
                    value.isEmpty() ? QStringLiteral("%1 is empty although escape is allowed").arg(key)
                                    : QStringLiteral("%1 %2 names %3").arg(key, quoted(value),
                                                                          QuestSnapshot::isFixedSection(value)
                                                                              ? QStringLiteral("a section that is not a page")
                                                                              : QStringLiteral("no page")),
                    open);
            };
            battleDest(kBattleWin, page.win, page.winPage, true);
            battleDest(kBattleLose, page.lose, page.losePage, true);
            if (page.escape)
                battleDest(kBattleEscape, page.escapePage, page.escapeDest, false);
            if (page.win.isEmpty() && page.lose.isEmpty() && !page.escape && !page.hasChoices)
                add("no-way-out", p, QString(kBattle),
                    QStringLiteral("the battle has no win or lose page, escape is not allowed and the page has no "
                                   "choices: the game cannot go on after the fight"),
                    open);
            if (open < 0)
                add("battle-never-opened", p, QString(kBattle),
                    QStringLiteral("no player reaches this battle page, so its battle never opens"));
        } else {
            static const QLatin1String otherBattleKeys[] = {kBattleMonName, kBattleMonHp, kBattleImage, kBattleMusic};
            bool settings = !page.win.isEmpty() || !page.lose.isEmpty() || !page.escapePage.isEmpty() || !page.loot.isEmpty();
            for (const QLatin1String &k : otherBattleKeys)
                settings = settings || !m_quest.read(name, k).isEmpty();
            if (settings)
                addStatic(p, QString(kBattle),
                          QStringLiteral("the page has battle settings but \"Battle\" is %1, not \"1\": its battle "
                                         "never opens")
                              .arg(quoted(page.battleValue)),
                          "battle-never-opened");
        }

        // Media, where the engine looks for them.
        const QLatin1String pageKeys[] = {kImage, kMovie, kMusic, kMp3, kPageText, kLocation};
        static const QString pageKeyNames[] = {kImage, kMovie, kMusic, kMp3, kPageText, kLocation};
        static const std::vector<QStringView> pageKeyViews(std::begin(pageKeyNames), std::end(pageKeyNames));
        QString values[std::size(pageKeys)];
        m_quest.readValues(name, pageKeyViews, values);
        for (size_t k = 0; k < 4; ++k)
            checkMedia(p, pageKeys[k], values[k]);
        if (page.battle)
            for (const QLatin1String &k : {kBattleImage, kBattleMusic})
                checkMedia(p, k, m_quest.read(name, k));

        // Values read otherwise than meant.
        for (int i = 1; i <= kOptionCount; ++i) {
            const Choice &c = page.choices[size_t(i - 1)];
            if (c.visible() && !c.score.isEmpty()) {
                const auto v = parseDecimal(c.score);
                if (!v)
                    addStatic(p, scoreKey(i),
                              QStringLiteral("%1 %2 is not a number: the choice leaves the score unchanged")
                                  .arg(scoreKey(i), quoted(c.score)),
                              "suspicious-value");
                else if (*v != std::nearbyint(*v))
                    addStatic(p, scoreKey(i),
                              QStringLiteral("%1 %2 is not a whole number: the score is rounded").arg(scoreKey(i), quoted(c.score)),
                              "suspicious-value");
            }
            for (const auto &[k, v] : {std::pair(addKey(i), c.add), std::pair(requiredKey(i), c.required)}) {
                if (!v.isEmpty() && v != QLatin1String("0") && v != QLatin1String("1"))
                    addStatic(p, k,
                              QStringLiteral("%1 is %2; only \"1\" and \"0\" mean what the check box shows").arg(k, quoted(v)),
                              "suspicious-value");
            }
            checkLength(p, optionKey(i), c.caption, kCaptionLength);
            checkLength(p, scoreKey(i), c.score, kScoreLength);
            checkLength(p, keyItemKey(i), c.item, kCaptionLength);
            if (c.visible())
                checkSavedGameText(p, optionKey(i), c.caption, optionKey(i));
        }
        for (const auto &[k, v] : {std::pair(kBattle, page.battleValue), std::pair(kBattleEscapeCheck, page.escapeValue)}) {
            if (!v.isEmpty() && v != QLatin1String("0") && v != QLatin1String("1") && (k != kBattle || page.battle))
                addStatic(p, k, QStringLiteral("%1 is %2; only \"1\" and \"0\" mean what the check box shows").arg(k, quoted(v)),
                          "suspicious-value");
        }
        for (const size_t k : {4, 5, 0, 2, 1, 3}) // page text, location, image, music, movie, mp3
            checkLength(p, pageKeys[k], values[k], kLongText);
        checkSavedGameText(p, kPageText, values[4], QString(kPageText));
        checkSavedGameText(p, QString(), name, QStringLiteral("The page name"));
    }
    for (const QLatin1String &k : {quest::kTitle, quest::kAuthor, quest::kVersion}) {
        const QString v = m_quest.read(quest::kStoryInfoSection, k);
        if (v.size() > kLongText) {
            Finding f{QStringLiteral("suspicious-value"), QString(quest::kStoryInfoSection), k,
                      QStringLiteral("%1 is %2 characters long; the editor takes at most %3").arg(k).arg(v.size()).arg(kLongText),
                      {}};
            m_report.findings.append(f);
            m_findingState.push_back(-1);
        }
    }
}

void Explorer::analyse()
{
    const auto n = std::int32_t(m_g.size());
    const size_t pages = m_pages.size();
    m_firstState.assign(pages, -1);
    m_firstSettled.assign(pages, -1);
    m_firstOpen.assign(pages, -1);
    m_firstOffered.assign(pages, {-1, -1, -1, -1});
    std::vector<std::int32_t> firstSoftLock(pages, -1);
    std::vector<std::uint8_t> ending(size_t(n), 0);
    // The order each kept state was found in, beside it, so that comparing
    // needs no look-up.
    constexpr std::int32_t kNone = std::numeric_limits<std::int32_t>::max();
    std::vector<std::int32_t> stateRank(pages, kNone), settledRank(pages, kNone), openRank(pages, kNone),
        softLockRank(pages, kNone);
    std::vector<std::array<std::int32_t, 4>> offeredRank(pages, {kNone, kNone, kNone, kNone});
    auto keep = [](std::int32_t &state, std::int32_t &rank, std::int32_t s, std::int32_t r) {
        if (r < rank) {
            rank = r;
            state = s;
        }
    };
    for (std::int32_t s = 0; s < n; ++s) {
        const int p = pageOf(s);
        const std::int32_t r = m_rank[size_t(s)];
        const PageMoves &page = m_moves[size_t(p)];
        keep(m_firstState[size_t(p)], stateRank[size_t(p)], s, r);
        if (phaseOf(s) == BattleOpen) {
            keep(m_firstOpen[size_t(p)], openRank[size_t(p)], s, r);
            continue;
        }
        keep(m_firstSettled[size_t(p)], settledRank[size_t(p)], s, r);
        bool any = false;
        const Mask mask = maskOf(s);
        for (size_t i = 0; i < size_t(quest::kOptionCount); ++i)
            if (offered(page.choices[i], mask)) {
                any = true;
                keep(m_firstOffered[size_t(p)][i], offeredRank[size_t(p)][i], s, r);
            }
        if (!page.hasChoices)
            ending[size_t(s)] = 1;
        else if (!any)
            keep(firstSoftLock[size_t(p)], softLockRank[size_t(p)], s, r);
    }

    QElapsedTimer clock;
    clock.start();
    makeScoreTable();
    findParts();
    m_partsTime = clock.restart();
    scoreRanges();
    m_scoresTime = clock.restart();
    staticChecks();

    auto itemName = [&](int page, int i) {
        return m_pages[size_t(page)].choices[size_t(i)].item;
    };
    for (int p = 0; p < int(pages); ++p) {
        const Page &page = m_pages[size_t(p)];
        if (m_firstState[size_t(p)] < 0) {
            add("unreachable-page", p, QString(), QStringLiteral("no player can reach this page"));
            continue;
        }
        if (firstSoftLock[size_t(p)] >= 0) {
            const std::int32_t s = firstSoftLock[size_t(p)];
            QStringList held;
            for (int b = 0; b < m_bitItems.size(); ++b)
                if ((realMask(s) >> b) & 1)
                    held << quoted(m_bitItems[b]);
            add("soft-lock", p, QString(),
                QStringLiteral("the page has choices but offers none to a player holding %1")
                    .arg(held.isEmpty() ? QStringLiteral("no key item") : held.join(QStringLiteral(", "))),
                s);
        }
        for (int i = 0; i < quest::kOptionCount; ++i) {
            const Choice &c = page.choices[size_t(i)];
            if (!c.visible() || m_firstOffered[size_t(p)][size_t(i)] >= 0)
                continue;
            QString why;
            if (m_firstSettled[size_t(p)] < 0)
                why = QStringLiteral("the fight here always leads to another page; only loading a game saved "
                                     "during the fight shows this choice");
            else if (rules::requiresItem(c.required) && !c.offeredNotHeld && c.offeredHeld)
                why = QStringLiteral("it needs %1, which no player reaching this page holds").arg(quoted(itemName(p, i)));
            else if (c.offeredNotHeld && !c.offeredHeld)
                why = QStringLiteral("it gives %1, which every player reaching this page already holds").arg(quoted(itemName(p, i)));
            else
                why = QStringLiteral("it is hidden whatever the player holds");
            add("never-offered", p, quest::optionKey(i + 1),
                quest::optionKey(i + 1) + QStringLiteral(" is never offered: ") + why,
                m_firstSettled[size_t(p)] >= 0 ? m_firstSettled[size_t(p)] : m_firstState[size_t(p)]);
        }
    }

    clock.restart();
    deadEnds(ending, firstSoftLock);
    m_deadEndsTime = clock.elapsed();

    // Key items.
    struct Use { int page; QString key; std::int32_t state; };
    QHash<QString, QList<Use>> given, needed;
    QStringList order;
    for (int p = 0; p < int(pages); ++p) {
        const Page &page = m_pages[size_t(p)];
        for (int i = 0; i < quest::kOptionCount; ++i) {
            const Choice &c = page.choices[size_t(i)];
            if (!c.visible())
                continue;
            if (rules::givesItem(c.add, c.item)) {
                if (!given.contains(c.item) && !needed.contains(c.item))
                    order << c.item;
                given[c.item].append({p, quest::keyItemKey(i + 1), m_firstOffered[size_t(p)][size_t(i)]});
            }
            if (rules::requiresItem(c.required) && !c.item.isEmpty()) {
                if (!given.contains(c.item) && !needed.contains(c.item))
                    order << c.item;
                needed[c.item].append({p, quest::keyItemKey(i + 1), m_firstOffered[size_t(p)][size_t(i)] >= 0
                                                                        ? m_firstOffered[size_t(p)][size_t(i)]
                                                                        : m_firstSettled[size_t(p)]});
            }
        }
        if (page.battle && !page.loot.isEmpty()) {
            if (!given.contains(page.loot) && !needed.contains(page.loot))
                order << page.loot;
            given[page.loot].append({p, QString(quest::kBattleMonKeyItem), m_firstOpen[size_t(p)]});
        }
    }
    auto first = [](const QList<Use> &uses) {
        const Use *best = &uses.front();
        for (const Use &u : uses)
            if (u.state >= 0 && (best->state < 0 || u.state < best->state))
                best = &u;
        return *best;
    };
    for (const QString &item : std::as_const(order)) {
        if (given.contains(item) && !needed.contains(item)) {
            const Use u = first(given[item]);
            add("item-never-required", u.page, u.key,
                QStringLiteral("%1 is given here but no choice requires it").arg(quoted(item)), u.state);
        } else if (needed.contains(item) && !given.contains(item)) {
            const Use u = first(needed[item]);
            add("item-never-added", u.page, u.key,
                QStringLiteral("%1 is required here but no choice or battle gives it").arg(quoted(item)), u.state);
        }
    }

    // Endings.
    QList<Ending> endings;
    std::vector<int> endingOf(pages, -1);
    for (std::int32_t s = 0; s < n; ++s) {
        if (!ending[size_t(s)])
            continue;
        const int p = pageOf(s);
        if (endingOf[size_t(p)] < 0) {
            endingOf[size_t(p)] = int(endings.size());
            Ending e;
            e.page = m_pages[size_t(p)].name;
            e.minScore = kMaxScore + 1;
            e.maxScore = kMinScore - 1;
            endings.append(e);
        }
        Ending &e = endings[endingOf[size_t(p)]];
        ++e.states;
        if ((m_unbounded[size_t(s)] & kLowOpen) || !e.minScore)
            e.minScore.reset();
        else
            e.minScore = std::min(*e.minScore, m_lo[size_t(s)]);
        if ((m_unbounded[size_t(s)] & kHighOpen) || !e.maxScore)
            e.maxScore.reset();
        else
            e.maxScore = std::max(*e.maxScore, m_hi[size_t(s)]);
    }
    std::sort(endings.begin(), endings.end(), [](const Ending &a, const Ending &b) { return pageNameLess(a.page, b.page); });
    m_report.endings = endings;
}

CheckReport Explorer::run()
{
    readPages();
    if (m_quest.pageIndex(quest::kFirstPage) < 0) {
        m_report.findings.append({QStringLiteral("broken-destination"), QString(quest::kFirstPage), QString(),
                                  QStringLiteral("the quest has no page \"1\", where every game starts"), {}});
        m_findingState.push_back(-1);
    }
    if (m_itemBits.size() > kMaxTrackedItems) {
        m_report.error = QStringLiteral("%1 key items decide what choices offer; at most %2 can be checked")
                             .arg(m_itemBits.size())
                             .arg(kMaxTrackedItems);
        return m_report;
    }
    QElapsedTimer clock;
    clock.start();
    if (!explore())
        return m_report;
    m_report.states = m_g.size();
    const qint64 found = clock.elapsed();
    renumber();
    // The block index is not needed any more.
    m_g.blocks = {};
    m_g.blockKey = {};
    m_g.blockAt = {};
    const qint64 explored = clock.elapsed();
    analyse();
    makeTrail();
    if (qEnvironmentVariableIsSet("FABLECRAFT_CHECK_TIMING"))
        fprintf(stderr,
                "explore %lld ms, renumber %lld ms, analyse %lld ms (parts %lld ms, scores %lld ms, dead ends %lld ms, "
                "steps %lld ms)\n",
                found, explored - found, clock.elapsed() - explored, m_partsTime, m_scoresTime, m_deadEndsTime,
                m_stepsTime);

    auto kindRank = [](const QString &kind) {
        for (size_t i = 0; i < std::size(kFindingKinds); ++i)
            if (kind == QLatin1String(kFindingKinds[i]))
                return int(i);
        return int(std::size(kFindingKinds));
    };
    std::stable_sort(m_report.findings.begin(), m_report.findings.end(), [&](const Finding &a, const Finding &b) {
        const int ka = kindRank(a.kind), kb = kindRank(b.kind);
        if (ka != kb)
            return ka < kb;
        if (a.page != b.page)
            return pageNameLess(a.page, b.page);
        return false;
    });
    return m_report;
}

} // namespace detail

bool pageNameLess(const QString &a, const QString &b)
{
    auto number = [](const QString &s) {
        bool ok = !s.isEmpty();
        for (QChar c : s)
            ok = ok && c.isDigit() && c.unicode() < 128;
        return ok;
    };
    const bool na = number(a), nb = number(b);
    if (na != nb)
        return na;
    if (na) {
        QStringView x(a), y(b);
        while (x.size() > 1 && x.front() == QLatin1Char('0'))
            x = x.mid(1);
        while (y.size() > 1 && y.front() == QLatin1Char('0'))
            y = y.mid(1);
        if (x.size() != y.size())
            return x.size() < y.size();
        return x != y ? x < y : a < b;
    }
    const int c = a.compare(b, Qt::CaseInsensitive);
    return c != 0 ? c < 0 : a < b;
}

CheckReport checkQuest(const QString &questFile, const CheckOptions &options)
{
    auto quest = std::make_shared<QuestSnapshot>();
    QString error;
    if (!quest->load(questFile, &error)) {
        CheckReport r;
        r.error = QStringLiteral("cannot read %1: %2").arg(questFile, error);
        return r;
    }
    return detail::Explorer(std::move(quest), options).run();
}

} // namespace fc::check
