#include "engine/check/checker.h"

#include "engine/check/quest_snapshot.h"
#include "engine/game.h"
#include "engine/rules.h"
#include "engine/score.h"
#include "storage/aohider.h"
#include "storage/encoder.h"
#include "storage/quest_format.h"

#include <QElapsedTimer>
#include <QFileInfo>
#include <QHash>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <limits>
#include <span>
#include <vector>

namespace fc::check {

namespace {

using Mask = std::uint64_t;
constexpr int kMaxTrackedItems = 64;
constexpr int kMinScore = -32768;
constexpr int kMaxScore = 32767;

// Longest texts the editor's fields take.
constexpr int kLongText = 1000;
constexpr int kCaptionLength = 60;
constexpr int kScoreLength = 3;

// What a state's page is doing.
enum Phase : std::uint8_t {
    Presented,  // the page was presented; its offered choices can be taken
    BattleOpen, // a battle page's fight is open: attack or escape
    Closed,     // the fight ended without leaving the battle page
    ClosedLoot, // as Closed after a win whose key item was not yet held:
                // the choices were gated without it, but it is held now
};

// How a move is made; 0-3 are the choices.
enum Slot : std::int8_t { Win = 4, Lose = 5, Escape = 6, Turn = 7, NoSlot = -1 };

struct Choice
{
    QString caption, destination, score, item, required, add;
    int destPage = -1;   // index of the page it leads to, -1 when none
    int itemBit = -1;    // the item's bit when its holding changes the offer
    bool fixedOffer = false; // offer when itemBit < 0
    bool offeredHeld = false, offeredNotHeld = false;
    int giveBit = -1;    // bit given by taking the choice
    std::optional<double> scoreAdd; // the score value as a number, when it is one
    bool visible() const { return !caption.isEmpty(); }
};

struct Page
{
    QString name;
    std::array<Choice, quest::kOptionCount> choices;
    bool hasChoices = false;
    bool battle = false, escape = false;
    QString win, lose, escapePage, loot;
    int winPage = -1, losePage = -1, escapeDest = -1;
    int lootBit = -1;
};

struct Graph
{
    std::vector<std::int32_t> page;
    std::vector<Phase> phase;
    std::vector<Mask> mask;
    std::vector<std::int32_t> parent;
    std::vector<std::int8_t> parentSlot;
    std::vector<std::int32_t> edgeStart; // CSR, one past the last state at the end
    std::vector<std::int32_t> edgeTarget;
    std::vector<std::int8_t> edgeSlot;

    // Open-addressed index of (page, phase, mask) -> state: the upper half of
    // an entry is a tag from the hash, the lower half the state; kEmpty marks
    // a free entry.
    static constexpr std::uint64_t kEmpty = ~std::uint64_t(0);
    std::vector<std::uint64_t> slots;

    qsizetype size() const { return qsizetype(page.size()); }
};

std::uint64_t mix(std::uint64_t x)
{
    x ^= x >> 33;
    x *= 0xff51afd7ed558ccdULL;
    x ^= x >> 33;
    x *= 0xc4ceb9fe1a85ec53ULL;
    x ^= x >> 33;
    return x;
}

std::uint64_t stateHash(std::int32_t page, Phase phase, Mask mask)
{
    return mix((std::uint64_t(std::uint32_t(page)) * 4 + phase) ^ mix(mask));
}

class Explorer
{
public:
    Explorer(const QuestSnapshot &quest, const CheckOptions &options)
        : m_quest(quest)
        , m_options(options)
    {
    }

    CheckReport run();

private:
    void readPages();
    bool explore();
    std::int32_t intern(std::int32_t page, Phase phase, Mask mask, std::int32_t parent, std::int8_t slot);
    void grow();
    void arrive(std::int32_t from, std::int8_t slot, int page, Mask mask);
    void link(std::int8_t slot, std::int32_t to)
    {
        m_g.edgeTarget.push_back(to);
        m_g.edgeSlot.push_back(slot);
    }
    bool offered(const Choice &c, Mask mask) const
    {
        if (c.itemBit < 0)
            return c.fixedOffer;
        return (mask >> c.itemBit) & 1 ? c.offeredHeld : c.offeredNotHeld;
    }
    Mask realMask(std::int32_t s) const
    {
        const Mask m = m_g.mask[size_t(s)];
        const Page &p = m_pages[size_t(m_g.page[size_t(s)])];
        return m_g.phase[size_t(s)] == ClosedLoot && p.lootBit >= 0 ? m | (Mask(1) << p.lootBit) : m;
    }

    void analyse();
    void scoreRanges();
    QStringList stepsTo(std::int32_t state);
    QStringList concreteSteps(const std::vector<std::int32_t> &path);
    void add(const char *kind, int page, const QString &key, const QString &message, std::int32_t state = -1);
    void addStatic(int page, const QString &key, const QString &message, const char *kind)
    {
        add(kind, page, key, message, firstState(page));
    }
    std::int32_t firstState(int page) const { return page >= 0 ? m_firstState[size_t(page)] : -1; }

    void staticChecks();
    void checkMedia(int page, const QString &key, const QString &value);
    void checkSavedGameText(int page, const QString &key, const QString &text, const QString &what);
    void checkLength(int page, const QString &section, const QString &key, int limit);

    const QuestSnapshot &m_quest;
    CheckOptions m_options;
    std::vector<Page> m_pages;
    QHash<QString, int> m_itemBits;
    QStringList m_bitItems;
    Graph m_g;
    CheckReport m_report;
    qint64 m_stepsTime = 0;
    int m_replays = 0; // games played to find the seeds of fights
    QHash<std::int32_t, QStringList> m_steps; // steps found so far, by state

    // Per page: first state reached (any phase), first with the fight over or
    // no fight, first with the fight open; per choice: first state offering it.
    std::vector<std::int32_t> m_firstState, m_firstSettled, m_firstOpen;
    std::vector<std::array<std::int32_t, 4>> m_firstOffered;
    // Score range per state; unbounded states have no range.
    std::vector<std::int32_t> m_lo, m_hi;
    std::vector<std::uint8_t> m_unbounded;
    std::vector<std::int32_t> m_predStart, m_predFrom;
    std::vector<std::int8_t> m_predSlot;
};

// ---------------------------------------------------------------------------
// Reading the pages

void Explorer::readPages()
{
    using namespace quest;
    const QStringList &names = m_quest.pages();
    m_pages.resize(size_t(names.size()));
    auto read = [&](const QString &page, const QString &key) { return m_quest.read(page, key); };
    auto resolve = [&](const QString &dest) { return dest.isEmpty() ? -1 : m_quest.pageIndex(dest); };

    for (qsizetype p = 0; p < names.size(); ++p) {
        Page &page = m_pages[size_t(p)];
        page.name = names[p];
        for (int i = 1; i <= kOptionCount; ++i) {
            Choice &c = page.choices[size_t(i - 1)];
            c.caption = read(page.name, optionKey(i));
            c.destination = read(page.name, destinationKey(i));
            c.score = read(page.name, scoreKey(i));
            c.item = read(page.name, keyItemKey(i));
            c.required = read(page.name, requiredKey(i));
            c.add = read(page.name, addKey(i));
            c.destPage = resolve(c.destination);
            c.scoreAdd = parseDecimal(c.score);
            page.hasChoices = page.hasChoices || c.visible();
            c.offeredHeld = rules::offeredOnArrival(c.caption, c.required, c.add, true);
            c.offeredNotHeld = rules::offeredOnArrival(c.caption, c.required, c.add, false);
            // An item no choice or fight gives is never held.
            c.fixedOffer = rules::itemHeld(c.item, [](const QString &) { return false; }) ? c.offeredHeld
                                                                                          : c.offeredNotHeld;
        }
        page.battle = rules::opensBattle(read(page.name, kBattle));
        page.escape = rules::escapeAllowed(read(page.name, kBattleEscapeCheck));
        page.win = read(page.name, kBattleWin);
        page.lose = read(page.name, kBattleLose);
        page.escapePage = read(page.name, kBattleEscape);
        page.loot = read(page.name, kBattleMonKeyItem);
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
}

// ---------------------------------------------------------------------------
// Exploring

void Explorer::grow()
{
    std::vector<std::uint64_t> old = std::move(m_g.slots);
    m_g.slots.assign(old.empty() ? 1024 : old.size() * 2, Graph::kEmpty);
    const size_t mask = m_g.slots.size() - 1;
    for (std::uint64_t entry : old) {
        if (entry == Graph::kEmpty)
            continue;
        const auto s = std::int32_t(std::uint32_t(entry));
        const std::uint64_t h = stateHash(m_g.page[size_t(s)], m_g.phase[size_t(s)], m_g.mask[size_t(s)]);
        size_t at = h & mask;
        while (m_g.slots[at] != Graph::kEmpty)
            at = (at + 1) & mask;
        m_g.slots[at] = entry;
    }
}

std::int32_t Explorer::intern(std::int32_t page, Phase phase, Mask mask, std::int32_t parent, std::int8_t slot)
{
    if (qsizetype(m_g.page.size()) * 2 >= qsizetype(m_g.slots.size()))
        grow();
    const std::uint64_t h = stateHash(page, phase, mask);
    const std::uint64_t tag = h & 0xffffffff00000000ULL;
    const size_t bits = m_g.slots.size() - 1;
    size_t at = h & bits;
    for (;;) {
        const std::uint64_t entry = m_g.slots[at];
        if (entry == Graph::kEmpty)
            break;
        if ((entry & 0xffffffff00000000ULL) == tag) {
            const auto s = size_t(std::uint32_t(entry));
            if (m_g.page[s] == page && m_g.phase[s] == phase && m_g.mask[s] == mask)
                return std::int32_t(s);
        }
        at = (at + 1) & bits;
    }
    const auto id = std::int32_t(m_g.page.size());
    m_g.slots[at] = tag | std::uint32_t(id);
    m_g.page.push_back(page);
    m_g.phase.push_back(phase);
    m_g.mask.push_back(mask);
    m_g.parent.push_back(parent);
    m_g.parentSlot.push_back(slot);
    return id;
}

// The presenter shows page with mask held: a battle page opens its fight.
void Explorer::arrive(std::int32_t from, std::int8_t slot, int page, Mask mask)
{
    if (page < 0)
        return; // a broken destination, reported on its own
    const Phase phase = m_pages[size_t(page)].battle ? BattleOpen : Presented;
    link(slot, intern(page, phase, mask, from, slot));
}

bool Explorer::explore()
{
    const int first = m_quest.pageIndex(quest::kFirstPage);
    if (first < 0)
        return true;
    arrive(-1, NoSlot, first, 0);
    m_g.edgeTarget.clear();
    m_g.edgeSlot.clear();
    for (std::int32_t s = 0; s < std::int32_t(m_g.page.size()); ++s) {
        if (qint64(m_g.page.size()) > m_options.maxStates) {
            m_report.error = QStringLiteral("more than %1 states: the quest is too big to check").arg(m_options.maxStates);
            return false;
        }
        m_g.edgeStart.push_back(std::int32_t(m_g.edgeTarget.size()));
        const Page &p = m_pages[size_t(m_g.page[size_t(s)])];
        const Phase phase = m_g.phase[size_t(s)];
        const Mask mask = m_g.mask[size_t(s)];
        if (phase == BattleOpen) {
            // Won: the monster's item joins the inventory.
            const Mask won = p.lootBit >= 0 ? mask | (Mask(1) << p.lootBit) : mask;
            if (rules::leavesBattlePage(p.win))
                arrive(s, Win, p.winPage, won);
            else
                link(Win, intern(m_g.page[size_t(s)], won != mask ? ClosedLoot : Closed, mask, s, Win));
            if (rules::leavesBattlePage(p.lose))
                arrive(s, Lose, p.losePage, mask);
            else
                link(Lose, intern(m_g.page[size_t(s)], Closed, mask, s, Lose));
            if (p.escape)
                arrive(s, Escape, p.escapeDest, mask);
            continue;
        }
        const Mask held = realMask(s);
        for (int i = 0; i < quest::kOptionCount; ++i) {
            const Choice &c = p.choices[size_t(i)];
            if (!offered(c, mask))
                continue;
            arrive(s, std::int8_t(i), c.destPage, c.giveBit >= 0 ? held | (Mask(1) << c.giveBit) : held);
        }
        // Pressing Choose with nothing selected presents the battle page
        // again, with what is held now, and its fight opens again.
        if (phase != Presented && p.hasChoices)
            link(Turn, intern(m_g.page[size_t(s)], BattleOpen, held, s, Turn));
    }
    m_g.edgeStart.push_back(std::int32_t(m_g.edgeTarget.size()));
    return true;
}

// ---------------------------------------------------------------------------
// Steps

QStringList Explorer::stepsTo(std::int32_t state)
{
    if (state < 0)
        return {};
    const auto known = m_steps.constFind(state);
    if (known != m_steps.cend())
        return known.value();
    QElapsedTimer clock;
    clock.start();
    struct Add { qint64 &t; QElapsedTimer &c; ~Add() { t += c.elapsed(); } } add{m_stepsTime, clock};
    std::vector<std::int32_t> path;
    for (std::int32_t s = state; s >= 0; s = m_g.parent[size_t(s)])
        path.push_back(s);
    std::reverse(path.begin(), path.end());
    bool fight = false;
    QStringList steps;
    for (size_t k = 1; k < path.size(); ++k) {
        const std::int8_t slot = m_g.parentSlot[size_t(path[k])];
        if (slot >= 0 && slot < quest::kOptionCount)
            steps << QString::number(slot + 1);
        else if (slot == Escape)
            steps << QStringLiteral("escape");
        else if (slot == Turn)
            steps << QStringLiteral("turn");
        else
            fight = true;
    }
    return m_steps[state] = fight ? concreteSteps(path) : steps;
}

// A path through a fight that must be won or lost: played with the engine's
// real fight, each fight under successive seeds until one goes the way the
// path needs. The steps give each fight its seed ("seed:N") and attack until
// it is decided.
QStringList Explorer::concreteSteps(const std::vector<std::int32_t> &path)
{
    const QString questPath = QFileInfo(ResolveIniPath(m_quest.file())).absoluteFilePath();
    std::vector<int> seeds(path.size(), 0);

    // Plays the path with the seeds chosen so far; returns how many steps
    // reached the state the path needs.
    auto play = [&](QStringList *steps) -> size_t {
        GameScreen screen;
        Game game(screen, Ports{}, QFileInfo(questPath).absolutePath());
        game.setQuestReader([this](const QString &section, const QString &key) { return m_quest.read(section, key); });
        bool decided = false;
        QObject::connect(&game, &Game::fightDecided, [&](bool) { decided = true; });
        screen.setQuestfil(questPath);
        game.BeginQuest();
        game.PlayTurn();
        for (size_t k = 1; k < path.size(); ++k) {
            const std::int32_t target = path[k];
            const std::int8_t slot = m_g.parentSlot[size_t(target)];
            bool ok = true;
            if (slot >= 0 && slot < quest::kOptionCount) {
                ok = game.selectOption(slot);
                game.PlayTurn();
                if (steps)
                    *steps << QString::number(slot + 1);
            } else if (slot == Escape) {
                game.clickEscape();
                if (steps)
                    *steps << QStringLiteral("escape");
            } else if (slot == Turn) {
                game.PlayTurn();
                if (steps)
                    *steps << QStringLiteral("turn");
            } else {
                if (seeds[k] == 0)
                    return k; // no seed chosen for this fight yet
                game.setSeed(quint32(seeds[k]));
                if (steps)
                    *steps << QStringLiteral("seed:%1").arg(seeds[k]);
                decided = false;
                for (int blows = 0; !decided && blows < 100000 && screen.battleBoxVisible(); ++blows) {
                    game.clickAttack();
                    if (steps)
                        *steps << QStringLiteral("attack");
                }
            }
            // Where the game stands now must be the state the path needs.
            Mask held = 0;
            for (const QString &item : screen.inventory()) {
                const int bit = m_itemBits.value(item, -1);
                if (bit >= 0)
                    held |= Mask(1) << bit;
            }
            if (!ok || m_quest.pageIndex(screen.pg()) != m_g.page[size_t(target)] || held != realMask(target)
                || screen.battleBoxVisible() != (m_g.phase[size_t(target)] == BattleOpen))
                return k;
        }
        return path.size();
    };

    for (size_t k = 1; k < path.size(); ++k) {
        const std::int8_t slot = m_g.parentSlot[size_t(path[k])];
        if (slot != Win && slot != Lose)
            continue;
        bool found = false;
        for (int seed = 1; seed <= m_options.fightSeeds && !found && m_replays < m_options.fightReplays; ++seed) {
            seeds[k] = seed;
            ++m_replays;
            found = play(nullptr) > k;
        }
        if (!found)
            return {};
    }
    QStringList steps;
    if (play(&steps) != path.size())
        return {};
    return steps;
}

// ---------------------------------------------------------------------------
// Findings

void Explorer::add(const char *kind, int page, const QString &key, const QString &message, std::int32_t state)
{
    Finding f;
    f.kind = QString::fromLatin1(kind);
    f.page = page >= 0 ? m_pages[size_t(page)].name : QString();
    f.key = key;
    f.message = message;
    f.steps = stepsTo(state);
    if (state >= 0 && f.steps.isEmpty() && m_g.parent[size_t(state)] >= 0)
        f.message += QStringLiteral(" (reaching it needs a fight to end in a way that %1 seeds of the real fight "
                                    "never gave)")
                         .arg(m_options.fightSeeds);
    m_report.findings.append(f);
}

QString quoted(const QString &s)
{
    return QLatin1Char('"') + s + QLatin1Char('"');
}

void Explorer::checkLength(int page, const QString &section, const QString &key, int limit)
{
    const QString value = m_quest.read(section, key);
    if (value.size() > limit)
        add("suspicious-value", page, key,
            QStringLiteral("%1 is %2 characters long; the editor takes at most %3").arg(key).arg(value.size()).arg(limit),
            firstState(page));
}

void Explorer::checkMedia(int page, const QString &key, const QString &value)
{
    if (value.isEmpty())
        return;
    const QString beside = rules::mediaBesideQuest(m_quest.file(), value);
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
            static const QLatin1String battleKeys[] = {kBattleMonName, kBattleMonHp, kBattleWin, kBattleLose,
                                                       kBattleEscape,  kBattleImage, kBattleMusic, kBattleMonKeyItem};
            bool settings = false;
            for (const QLatin1String &k : battleKeys)
                settings = settings || !m_quest.read(name, k).isEmpty();
            if (settings)
                addStatic(p, QString(kBattle),
                          QStringLiteral("the page has battle settings but \"Battle\" is %1, not \"1\": its battle "
                                         "never opens")
                              .arg(quoted(m_quest.read(name, kBattle))),
                          "battle-never-opened");
        }

        // Media, where the engine looks for them.
        for (const QLatin1String &k : {kImage, kMovie, kMusic, kMp3})
            checkMedia(p, k, m_quest.read(name, k));
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
            for (const QString &k : {addKey(i), requiredKey(i)}) {
                const QString v = m_quest.read(name, k);
                if (!v.isEmpty() && v != QLatin1String("0") && v != QLatin1String("1"))
                    addStatic(p, k,
                              QStringLiteral("%1 is %2; only \"1\" and \"0\" mean what the check box shows").arg(k, quoted(v)),
                              "suspicious-value");
            }
            checkLength(p, name, optionKey(i), kCaptionLength);
            checkLength(p, name, scoreKey(i), kScoreLength);
            checkLength(p, name, keyItemKey(i), kCaptionLength);
            if (c.visible())
                checkSavedGameText(p, optionKey(i), c.caption, optionKey(i));
        }
        for (const QLatin1String &k : {kBattle, kBattleEscapeCheck}) {
            const QString v = m_quest.read(name, k);
            if (!v.isEmpty() && v != QLatin1String("0") && v != QLatin1String("1") && (k != kBattle || page.battle))
                addStatic(p, k, QStringLiteral("%1 is %2; only \"1\" and \"0\" mean what the check box shows").arg(k, quoted(v)),
                          "suspicious-value");
        }
        for (const QLatin1String &k : {kPageText, kLocation, kImage, kMusic, kMovie, kMp3})
            checkLength(p, name, k, kLongText);
        checkSavedGameText(p, kPageText, m_quest.read(name, kPageText), QString(kPageText));
        checkSavedGameText(p, QString(), name, QStringLiteral("The page name"));
    }
    for (const QLatin1String &k : {quest::kTitle, quest::kAuthor, quest::kVersion}) {
        const QString v = m_quest.read(quest::kStoryInfoSection, k);
        if (v.size() > kLongText) {
            Finding f{QStringLiteral("suspicious-value"), QString(quest::kStoryInfoSection), k,
                      QStringLiteral("%1 is %2 characters long; the editor takes at most %3").arg(k).arg(v.size()).arg(kLongText),
                      {}};
            m_report.findings.append(f);
        }
    }
}

// Scores: a range per state. States in one strongly connected part share a
// range up to fixed offsets, unless a loop in it changes the score, which
// makes it unbounded there and after.
void Explorer::scoreRanges()
{
    const auto n = std::int32_t(m_g.size());
    m_lo.assign(size_t(n), 0);
    m_hi.assign(size_t(n), 0);
    m_unbounded.assign(size_t(n), 0);
    if (n == 0)
        return;
    auto addOf = [&](std::int32_t from, std::int8_t slot) -> std::optional<double> {
        if (slot < 0 || slot >= quest::kOptionCount)
            return std::nullopt;
        return m_pages[size_t(m_g.page[size_t(from)])].choices[size_t(slot)].scoreAdd;
    };
    auto delta = [&](std::int32_t from, std::int8_t slot) { return addOf(from, slot).value_or(0.0); };

    // Tarjan's algorithm, iteratively.
    std::vector<std::int32_t> index(size_t(n), -1), low(size_t(n), 0), comp(size_t(n), -1), stack, callStack,
        edgePos(size_t(n), 0);
    std::vector<std::uint8_t> onStack(size_t(n), 0);
    // The parts, one after another in members; part c is
    // members[partStart[c]] .. members[partStart[c + 1] - 1].
    std::vector<std::int32_t> members, partStart{0};
    members.reserve(size_t(n));
    std::int32_t counter = 0;
    for (std::int32_t root = 0; root < n; ++root) {
        if (index[size_t(root)] >= 0)
            continue;
        callStack.push_back(root);
        index[size_t(root)] = low[size_t(root)] = counter++;
        edgePos[size_t(root)] = m_g.edgeStart[size_t(root)];
        stack.push_back(root);
        onStack[size_t(root)] = 1;
        while (!callStack.empty()) {
            const std::int32_t v = callStack.back();
            if (edgePos[size_t(v)] < m_g.edgeStart[size_t(v) + 1]) {
                const std::int32_t w = m_g.edgeTarget[size_t(edgePos[size_t(v)]++)];
                if (index[size_t(w)] < 0) {
                    index[size_t(w)] = low[size_t(w)] = counter++;
                    edgePos[size_t(w)] = m_g.edgeStart[size_t(w)];
                    stack.push_back(w);
                    onStack[size_t(w)] = 1;
                    callStack.push_back(w);
                } else if (onStack[size_t(w)]) {
                    low[size_t(v)] = std::min(low[size_t(v)], index[size_t(w)]);
                }
                continue;
            }
            callStack.pop_back();
            if (!callStack.empty())
                low[size_t(callStack.back())] = std::min(low[size_t(callStack.back())], low[size_t(v)]);
            if (low[size_t(v)] == index[size_t(v)]) {
                std::int32_t w;
                do {
                    w = stack.back();
                    stack.pop_back();
                    onStack[size_t(w)] = 0;
                    comp[size_t(w)] = std::int32_t(partStart.size() - 1);
                    members.push_back(w);
                } while (w != v);
                partStart.push_back(std::int32_t(members.size()));
            }
        }
    }

    const std::vector<std::int32_t> &predStart = m_predStart, &predFrom = m_predFrom;
    const std::vector<std::int8_t> &predSlot = m_predSlot;

    // The score after a move, on the ends of a range and where the engine
    // starts refusing the sum.
    auto after = [&](std::int32_t lo, std::int32_t hi, double a, std::int32_t &outLo, std::int32_t &outHi) {
        auto f = [&](std::int32_t v) { return addToScore(int(v), a); };
        std::int32_t cand[4] = {f(lo), f(hi), f(lo), f(hi)};
        if (a > 0) {
            const double b = std::floor(kMaxScore - a);
            if (b >= lo && b < hi) {
                cand[2] = f(std::int32_t(b));
                cand[3] = f(std::int32_t(b) + 1);
            }
        } else if (a < 0) {
            const double b = std::ceil(kMinScore - a);
            if (b > lo && b <= hi) {
                cand[2] = f(std::int32_t(b) - 1);
                cand[3] = f(std::int32_t(b));
            }
        }
        outLo = *std::min_element(cand, cand + 4);
        outHi = *std::max_element(cand, cand + 4);
    };

    // Per page and choice: the first state where a score-changing loop runs
    // through the choice.
    std::vector<std::int32_t> loopAt(m_pages.size() * quest::kOptionCount, -1);
    std::vector<double> potential(size_t(n), 0);
    std::vector<std::uint8_t> placed(size_t(n), 0);
    // Tarjan finds the parts sinks first: walk them from the start.
    for (auto c = std::int32_t(partStart.size()) - 2; c >= 0; --c) {
        const std::span<const std::int32_t> part(members.data() + partStart[size_t(c)],
                                                 size_t(partStart[size_t(c) + 1] - partStart[size_t(c)]));
        const auto id = c;
        bool loops = false;
        std::int32_t loopEdgeFrom = -1;
        std::int8_t loopEdgeSlot = NoSlot;
        // Offsets inside the part.
        if (part.size() > 1 || std::any_of(m_g.edgeTarget.begin() + m_g.edgeStart[size_t(part.front())],
                                              m_g.edgeTarget.begin() + m_g.edgeStart[size_t(part.front()) + 1],
                                              [&](std::int32_t t) { return t == part.front(); })) {
            std::vector<std::int32_t> queue{part.front()};
            placed[size_t(part.front())] = 1;
            for (size_t q = 0; q < queue.size(); ++q) {
                const std::int32_t u = queue[q];
                for (std::int32_t e = m_g.edgeStart[size_t(u)]; e < m_g.edgeStart[size_t(u) + 1]; ++e) {
                    const std::int32_t v = m_g.edgeTarget[size_t(e)];
                    if (comp[size_t(v)] != id)
                        continue;
                    const double want = potential[size_t(u)] + delta(u, m_g.edgeSlot[size_t(e)]);
                    if (!placed[size_t(v)]) {
                        placed[size_t(v)] = 1;
                        potential[size_t(v)] = want;
                        queue.push_back(v);
                    } else if (std::abs(potential[size_t(v)] - want) > 1e-9 && !loops) {
                        loops = true;
                    }
                    if (loops && loopEdgeFrom < 0 && delta(u, m_g.edgeSlot[size_t(e)]) != 0) {
                        loopEdgeFrom = u;
                        loopEdgeSlot = m_g.edgeSlot[size_t(e)];
                    }
                }
            }
            if (loops && loopEdgeFrom < 0) {
                // Name a score-changing move of the loop.
                for (std::int32_t u : part)
                    for (std::int32_t e = m_g.edgeStart[size_t(u)]; e < m_g.edgeStart[size_t(u) + 1] && loopEdgeFrom < 0; ++e)
                        if (comp[size_t(m_g.edgeTarget[size_t(e)])] == id && delta(u, m_g.edgeSlot[size_t(e)]) != 0) {
                            loopEdgeFrom = u;
                            loopEdgeSlot = m_g.edgeSlot[size_t(e)];
                        }
            }
        }
        bool unbounded = loops;
        double baseLo = std::numeric_limits<double>::infinity(), baseHi = -baseLo;
        for (std::int32_t v : part) {
            if (v == 0) {
                baseLo = std::min(baseLo, 0 - potential[size_t(v)]);
                baseHi = std::max(baseHi, 0 - potential[size_t(v)]);
            }
            for (std::int32_t k = predStart[size_t(v)]; k < predStart[size_t(v) + 1]; ++k) {
                const std::int32_t u = predFrom[size_t(k)];
                if (comp[size_t(u)] == id)
                    continue;
                if (m_unbounded[size_t(u)]) {
                    unbounded = true;
                    continue;
                }
                std::int32_t lo = m_lo[size_t(u)], hi = m_hi[size_t(u)];
                if (const auto a = addOf(u, predSlot[size_t(k)]))
                    after(lo, hi, *a, lo, hi);
                baseLo = std::min(baseLo, lo - potential[size_t(v)]);
                baseHi = std::max(baseHi, hi - potential[size_t(v)]);
            }
        }
        for (std::int32_t v : part) {
            m_unbounded[size_t(v)] = unbounded;
            if (!unbounded) {
                m_lo[size_t(v)] = std::int32_t(std::clamp(std::round(baseLo + potential[size_t(v)]), double(kMinScore), double(kMaxScore)));
                m_hi[size_t(v)] = std::int32_t(std::clamp(std::round(baseHi + potential[size_t(v)]), double(kMinScore), double(kMaxScore)));
            }
        }
        if (loops && loopEdgeFrom >= 0) {
            const size_t at = size_t(m_g.page[size_t(loopEdgeFrom)]) * quest::kOptionCount + size_t(loopEdgeSlot);
            if (loopAt[at] < 0 || loopEdgeFrom < loopAt[at])
                loopAt[at] = loopEdgeFrom;
        }
    }
    for (size_t at = 0; at < loopAt.size(); ++at)
        if (loopAt[at] >= 0)
            add("suspicious-value", int(at / quest::kOptionCount), quest::scoreKey(int(at % quest::kOptionCount) + 1),
                QStringLiteral("a loop through this choice changes the score each time around: the total can leave "
                               "-32768..32767, where the engine stops adding"),
                loopAt[at]);

    // Moves whose sum the engine refuses on some path.
    std::vector<std::uint8_t> told(m_pages.size() * quest::kOptionCount, 0);
    for (std::int32_t s = 0; s < n; ++s) {
        if (m_unbounded[size_t(s)])
            continue;
        for (std::int32_t e = m_g.edgeStart[size_t(s)]; e < m_g.edgeStart[size_t(s) + 1]; ++e) {
            const std::int8_t slot = m_g.edgeSlot[size_t(e)];
            const double d = delta(s, slot);
            if (d == 0)
                continue;
            const int page = m_g.page[size_t(s)];
            auto &t = told[size_t(page) * quest::kOptionCount + size_t(slot)];
            if (t)
                continue;
            if (m_hi[size_t(s)] + d > kMaxScore || m_lo[size_t(s)] + d < kMinScore) {
                t = 1;
                const int edge = d > 0 ? m_hi[size_t(s)] : m_lo[size_t(s)];
                add("suspicious-value", page, quest::scoreKey(slot + 1),
                    QStringLiteral("the score can be %1 here; adding %2 leaves -32768..32767, so the engine keeps "
                                   "the old score")
                        .arg(edge)
                        .arg(m_pages[size_t(page)].choices[size_t(slot)].score),
                    s);
            }
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
    for (std::int32_t s = 0; s < n; ++s) {
        const int p = m_g.page[size_t(s)];
        const Page &page = m_pages[size_t(p)];
        if (m_firstState[size_t(p)] < 0)
            m_firstState[size_t(p)] = s;
        if (m_g.phase[size_t(s)] == BattleOpen) {
            if (m_firstOpen[size_t(p)] < 0)
                m_firstOpen[size_t(p)] = s;
            continue;
        }
        if (m_firstSettled[size_t(p)] < 0)
            m_firstSettled[size_t(p)] = s;
        bool any = false;
        for (int i = 0; i < quest::kOptionCount; ++i)
            if (offered(page.choices[size_t(i)], m_g.mask[size_t(s)])) {
                any = true;
                if (m_firstOffered[size_t(p)][size_t(i)] < 0)
                    m_firstOffered[size_t(p)][size_t(i)] = s;
            }
        if (!page.hasChoices)
            ending[size_t(s)] = 1;
        else if (!any && firstSoftLock[size_t(p)] < 0)
            firstSoftLock[size_t(p)] = s;
    }

    // Predecessors of every state, with the move that leads from each.
    m_predStart.assign(size_t(n) + 1, 0);
    m_predFrom.resize(m_g.edgeTarget.size());
    m_predSlot.resize(m_g.edgeTarget.size());
    for (std::int32_t t : m_g.edgeTarget)
        ++m_predStart[size_t(t) + 1];
    for (std::int32_t i = 0; i < n; ++i)
        m_predStart[size_t(i) + 1] += m_predStart[size_t(i)];
    {
        std::vector<std::int32_t> fill(m_predStart.begin(), m_predStart.end() - 1);
        for (std::int32_t s = 0; s < n; ++s)
            for (std::int32_t e = m_g.edgeStart[size_t(s)]; e < m_g.edgeStart[size_t(s) + 1]; ++e) {
                const std::int32_t t = m_g.edgeTarget[size_t(e)];
                m_predFrom[size_t(fill[size_t(t)])] = s;
                m_predSlot[size_t(fill[size_t(t)]++)] = m_g.edgeSlot[size_t(e)];
            }
    }

    scoreRanges();
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
                why = QStringLiteral("the fight here always leads to another page, so this choice is never shown");
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

    // States from which no ending can be reached; reported where a player
    // walks into them.
    {
        const std::vector<std::int32_t> &predStart = m_predStart, &predFrom = m_predFrom;
        std::vector<std::uint8_t> good(ending);
        std::vector<std::int32_t> queue;
        for (std::int32_t s = 0; s < n; ++s)
            if (good[size_t(s)])
                queue.push_back(s);
        for (size_t q = 0; q < queue.size(); ++q)
            for (std::int32_t k = predStart[size_t(queue[q])]; k < predStart[size_t(queue[q]) + 1]; ++k)
                if (!good[size_t(predFrom[size_t(k)])]) {
                    good[size_t(predFrom[size_t(k)])] = 1;
                    queue.push_back(predFrom[size_t(k)]);
                }
        std::vector<std::uint8_t> told(pages, 0);
        for (std::int32_t s = 0; s < n; ++s) {
            if (good[size_t(s)])
                continue;
            const int p = m_g.page[size_t(s)];
            if (told[size_t(p)] || firstSoftLock[size_t(p)] >= 0)
                continue;
            bool entry = s == 0;
            for (std::int32_t k = predStart[size_t(s)]; k < predStart[size_t(s) + 1] && !entry; ++k)
                entry = good[size_t(predFrom[size_t(k)])];
            if (!entry)
                continue;
            // A dead end through a broken destination is reported as such.
            const Page &page = m_pages[size_t(p)];
            bool broken = false;
            if (m_g.phase[size_t(s)] == BattleOpen)
                broken = (rules::leavesBattlePage(page.win) && page.winPage < 0)
                         || (rules::leavesBattlePage(page.lose) && page.losePage < 0)
                         || (page.escape && page.escapeDest < 0);
            else
                for (const Choice &c : page.choices)
                    broken = broken || (offered(c, m_g.mask[size_t(s)]) && c.destPage < 0);
            if (broken)
                continue;
            told[size_t(p)] = 1;
            add("soft-lock", p, QString(), QStringLiteral("no ending can be reached from here"), s);
        }
    }

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
        const int p = m_g.page[size_t(s)];
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
        if (m_unbounded[size_t(s)] || !e.minScore) {
            e.minScore.reset();
            e.maxScore.reset();
        } else {
            e.minScore = std::min(*e.minScore, m_lo[size_t(s)]);
            e.maxScore = std::max(*e.maxScore, m_hi[size_t(s)]);
        }
    }
    std::sort(endings.begin(), endings.end(), [](const Ending &a, const Ending &b) { return pageNameLess(a.page, b.page); });
    m_report.endings = endings;
}

CheckReport Explorer::run()
{
    readPages();
    if (m_quest.pageIndex(quest::kFirstPage) < 0)
        m_report.findings.append({QStringLiteral("broken-destination"), QString(quest::kFirstPage), QString(),
                                  QStringLiteral("the quest has no page \"1\", where every game starts"), {}});
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
    const qint64 explored = clock.elapsed();
    analyse();
    if (qEnvironmentVariableIsSet("FABLECRAFT_CHECK_TIMING"))
        fprintf(stderr, "explore %lld ms, analyse %lld ms (steps %lld ms)\n", explored, clock.elapsed() - explored,
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

} // namespace

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
    QuestSnapshot quest;
    QString error;
    if (!quest.load(questFile, &error)) {
        CheckReport r;
        r.error = QStringLiteral("cannot read %1: %2").arg(questFile, error);
        return r;
    }
    return Explorer(quest, options).run();
}

} // namespace fc::check
