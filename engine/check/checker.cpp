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
#include <thread>
#include <unordered_map>
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

// What the exploration needs of a page, small enough that every page's fits
// in the cache.
struct PageMoves
{
    struct Offer
    {
        std::int32_t dest = -1;
        std::int8_t itemBit = -1, giveBit = -1;
        bool fixedOffer = false, offeredHeld = false, offeredNotHeld = false;
    };
    std::array<Offer, quest::kOptionCount> choices;
    std::int32_t winPage = -1, losePage = -1, escapeDest = -1;
    std::int8_t lootBit = -1;
    bool battle = false, escape = false, leavesOnWin = false, leavesOnLose = false, hasChoices = false;
};

struct Page
{
    QString name;
    std::array<Choice, quest::kOptionCount> choices;
    bool hasChoices = false;
    bool battle = false, escape = false;
    QString win, lose, escapePage, loot;
    QString battleValue, escapeValue; // "Battle" and "BattleEscapecheck" as read
    int winPage = -1, losePage = -1, escapeDest = -1;
    int lootBit = -1;
};

// The states found so far. A state is a node (a page in the phase a player
// arrives in, or a battle page whose fight closed without leaving it) and a
// layer (one set of key items held). Items are only ever added, so a move
// stays in its layer or goes to one whose mask holds more bits.
//
// Finding a state: (layer, node / kBlock) names a block of kBlock consecutive
// nodes, found through a small open-addressed table; the block holds the
// state of each node, -1 where there is none yet. Neighbouring pages share a
// block, so most moves find their state in memory just touched.
struct Graph
{
    static constexpr std::int32_t kBlock = 128;

    std::vector<std::int32_t> node;
    std::vector<std::int32_t> layer;
    std::vector<std::int32_t> parent;
    std::vector<std::int8_t> parentSlot;
    std::vector<std::int32_t> edgeStart; // CSR, one past the last state at the end
    std::vector<std::int32_t> edgeTarget;
    std::vector<std::int8_t> edgeSlot;

    std::vector<Mask> layerMask;
    std::unordered_map<Mask, std::int32_t> layerOf;

    static constexpr std::uint64_t kEmpty = ~std::uint64_t(0);
    std::vector<std::uint64_t> blockKey; // open-addressed; kEmpty marks a free entry
    std::vector<std::int32_t> blockAt;   // the block of each entry
    std::vector<std::int32_t> blocks;    // kBlock states per block
    // The blocks used last, by a few bits of their key.
    static constexpr size_t kRecent = 256;
    std::array<std::uint64_t, kRecent> recentKey;
    std::array<std::int32_t, kRecent> recentBlock;
    void forgetRecent() { recentKey.fill(kEmpty); }
    static size_t recentAt(std::uint64_t key) { return size_t(key + (key >> 32) * 0x9e37) & (kRecent - 1); }

    qsizetype size() const { return qsizetype(node.size()); }
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
    std::int32_t layerFor(Mask mask);
    std::int32_t blockFor(std::int32_t layer, std::int32_t node);
    std::int32_t intern(std::int32_t node, std::int32_t layer, std::int32_t parent, std::int8_t slot);
    void makeNodes();
    template <typename LayerOf, typename Move> void forEachMove(std::int32_t s, LayerOf &&layerOf, Move &&move) const;
    std::int32_t findBlock(std::int32_t layer, std::int32_t node) const;
    template <typename Work> void shareLayers(Work &&work) const;
    void renumber();
    template <typename C> static bool offered(const C &c, Mask mask)
    {
        if (c.itemBit < 0)
            return c.fixedOffer;
        return (mask >> c.itemBit) & 1 ? c.offeredHeld : c.offeredNotHeld;
    }
    int pageOf(std::int32_t s) const { return m_nodePage[size_t(m_g.node[size_t(s)])]; }
    Phase phaseOf(std::int32_t s) const { return m_nodePhase[size_t(m_g.node[size_t(s)])]; }
    Mask maskOf(std::int32_t s) const { return m_g.layerMask[size_t(m_g.layer[size_t(s)])]; }
    Mask realMask(std::int32_t s) const
    {
        const Mask m = maskOf(s);
        const PageMoves &p = m_moves[size_t(pageOf(s))];
        return phaseOf(s) == ClosedLoot && p.lootBit >= 0 ? m | (Mask(1) << p.lootBit) : m;
    }

    struct LayerParts
    {
        std::vector<std::int32_t> part, members, start;
        std::vector<std::int32_t> index, low, stack; // scratch
        std::vector<std::pair<std::int32_t, std::int32_t>> calls;
    };
    void layerParts(std::int32_t layer, LayerParts &out) const;
    void analyse();
    void scoreRanges();
    void deadEnds(const std::vector<std::uint8_t> &ending, const std::vector<std::int32_t> &firstSoftLock);
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
    void checkLength(int page, const QString &key, const QString &value, int limit);

    const QuestSnapshot &m_quest;
    CheckOptions m_options;
    std::vector<Page> m_pages;
    std::vector<PageMoves> m_moves;
    QHash<QString, int> m_itemBits;
    QStringList m_bitItems;
    Graph m_g;
    // Nodes: first one per page, in the phase a player arrives in; then, for
    // each battle page whose fight can close without leaving it, Closed and
    // ClosedLoot.
    std::vector<std::int32_t> m_nodePage;
    std::vector<Phase> m_nodePhase;
    std::vector<std::int32_t> m_closedNode;
    // After renumber(): the order each state was found in (earlier is
    // closer to the start), where each layer's states begin, the start.
    std::vector<std::int32_t> m_rank, m_layerStart;
    // The strongly connected parts, layer after layer, each layer's in the
    // order Tarjan's algorithm completes them (a part after the parts it
    // leads to): part c is m_partMembers[m_partStart[c] .. m_partStart[c + 1]),
    // layer l's parts are m_layerParts[l] .. m_layerParts[l + 1] - 1.
    std::vector<std::int32_t> m_partMembers, m_partStart, m_layerParts;
    std::vector<std::int32_t> m_partOf; // each state's part
    // Per state, its score less its part's base score; per part, whether a
    // loop in it changes the score, and the choice that names the loop.
    std::vector<double> m_potential;
    std::vector<std::uint8_t> m_partLoops;
    std::vector<std::int32_t> m_partLoopFrom;
    std::vector<std::int8_t> m_partLoopSlot;
    void findParts();
    void partScores(std::int32_t layer, std::int32_t part, std::span<const std::int32_t> members,
                    const std::vector<std::int32_t> &localPart, std::vector<std::uint8_t> &placed,
                    std::vector<std::int32_t> &queue, std::uint8_t &loops, std::int32_t &loopFrom,
                    std::int8_t &loopSlot);
    // What each move adds to the score: a choice's score when it is a
    // number. Quests use few different scores, so each choice keeps the
    // number of its score in a short list: the table stays in the cache.
    std::vector<double> m_scoreValues;
    std::vector<std::uint32_t> m_scoreOf;
    void makeScoreTable();
    double scoreOf(std::int32_t from, std::int8_t slot) const
    {
        return slot < 0 || slot >= quest::kOptionCount
                   ? 0.0
                   : m_scoreValues[m_scoreOf[size_t(pageOf(from)) * quest::kOptionCount + size_t(slot)]];
    }
    std::int32_t m_start = 0;
    bool earlier(std::int32_t s, std::int32_t than) const
    {
        return than < 0 || m_rank[size_t(s)] < m_rank[size_t(than)];
    }
    CheckReport m_report;
    qint64 m_stepsTime = 0, m_partsTime = 0, m_scoresTime = 0, m_deadEndsTime = 0;
    int m_replays = 0; // games played to find the seeds of fights
    QHash<std::int32_t, QStringList> m_steps; // steps found so far, by state

    // Per page: first state reached (any phase), first with the fight over or
    // no fight, first with the fight open; per choice: first state offering it.
    std::vector<std::int32_t> m_firstState, m_firstSettled, m_firstOpen;
    std::vector<std::array<std::int32_t, 4>> m_firstOffered;
    // Score range per state; unbounded states have no range.
    std::vector<std::int32_t> m_lo, m_hi;
    std::vector<std::uint8_t> m_unbounded;
};

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
// Exploring

std::int32_t Explorer::layerFor(Mask mask)
{
    const auto [it, added] = m_g.layerOf.try_emplace(mask, std::int32_t(m_g.layerMask.size()));
    if (added)
        m_g.layerMask.push_back(mask);
    return it->second;
}

std::int32_t Explorer::blockFor(std::int32_t layer, std::int32_t node)
{
    const std::uint64_t key = (std::uint64_t(std::uint32_t(layer)) << 32) | std::uint32_t(node / Graph::kBlock);
    const size_t recent = Graph::recentAt(key);
    if (m_g.recentKey[recent] == key)
        return m_g.recentBlock[recent];
    auto find = [&](std::uint64_t k) {
        const size_t bits = m_g.blockKey.size() - 1;
        size_t at = mix(k) & bits;
        while (m_g.blockKey[at] != Graph::kEmpty && m_g.blockKey[at] != k)
            at = (at + 1) & bits;
        return at;
    };
    const auto count = std::int32_t(m_g.blocks.size() / Graph::kBlock);
    if (size_t(count) * 2 >= m_g.blockKey.size()) {
        std::vector<std::uint64_t> oldKey = std::move(m_g.blockKey);
        std::vector<std::int32_t> oldAt = std::move(m_g.blockAt);
        m_g.blockKey.assign(oldKey.empty() ? 1024 : oldKey.size() * 2, Graph::kEmpty);
        m_g.blockAt.assign(m_g.blockKey.size(), -1);
        for (size_t i = 0; i < oldKey.size(); ++i)
            if (oldKey[i] != Graph::kEmpty) {
                const size_t at = find(oldKey[i]);
                m_g.blockKey[at] = oldKey[i];
                m_g.blockAt[at] = oldAt[i];
            }
    }
    const size_t at = find(key);
    if (m_g.blockKey[at] == Graph::kEmpty) {
        m_g.blockKey[at] = key;
        m_g.blockAt[at] = count;
        m_g.blocks.resize(m_g.blocks.size() + Graph::kBlock, -1);
    }
    m_g.recentKey[recent] = key;
    return m_g.recentBlock[recent] = m_g.blockAt[at];
}

// The block of a state already found.
std::int32_t Explorer::findBlock(std::int32_t layer, std::int32_t node) const
{
    const std::uint64_t key = (std::uint64_t(std::uint32_t(layer)) << 32) | std::uint32_t(node / Graph::kBlock);
    const size_t bits = m_g.blockKey.size() - 1;
    size_t at = mix(key) & bits;
    while (m_g.blockKey[at] != key)
        at = (at + 1) & bits;
    return m_g.blockAt[at];
}

// Runs work(from, to) over every layer, in two halves on two threads when
// the graph is big enough to gain from it.
template <typename Work> void Explorer::shareLayers(Work &&work) const
{
    const auto layers = std::int32_t(m_layerStart.size()) - 1;
    const std::int32_t n = m_layerStart.back();
    std::int32_t split = 0;
    while (split < layers && m_layerStart[size_t(split) + 1] < n / 2)
        ++split;
    if (n >= 200'000 && split > 0 && split < layers && std::thread::hardware_concurrency() > 1) {
        std::thread high([&] { work(split, layers); });
        work(0, split);
        high.join();
    } else {
        work(0, layers);
    }
}

std::int32_t Explorer::intern(std::int32_t node, std::int32_t layer, std::int32_t parent, std::int8_t slot)
{
    std::int32_t &state = m_g.blocks[size_t(blockFor(layer, node)) * Graph::kBlock + size_t(node % Graph::kBlock)];
    if (state >= 0)
        return state;
    state = std::int32_t(m_g.node.size());
    m_g.node.push_back(node);
    m_g.layer.push_back(layer);
    m_g.parent.push_back(parent);
    m_g.parentSlot.push_back(slot);
    return state;
}

void Explorer::makeNodes()
{
    const auto pages = std::int32_t(m_pages.size());
    m_nodePage.clear();
    m_nodePhase.clear();
    m_closedNode.assign(size_t(pages), -1);
    for (std::int32_t p = 0; p < pages; ++p) {
        m_nodePage.push_back(p);
        m_nodePhase.push_back(m_pages[size_t(p)].battle ? BattleOpen : Presented);
    }
    for (std::int32_t p = 0; p < pages; ++p) {
        const Page &page = m_pages[size_t(p)];
        if (!page.battle || (rules::leavesBattlePage(page.win) && rules::leavesBattlePage(page.lose)))
            continue;
        m_closedNode[size_t(p)] = std::int32_t(m_nodePage.size());
        m_nodePage.insert(m_nodePage.end(), {p, p});
        m_nodePhase.insert(m_nodePhase.end(), {Closed, ClosedLoot});
    }
}

// Every move from state s, in the order the steps number them:
// move(slot, node, layer). A broken destination makes no move.
template <typename LayerOf, typename Move> void Explorer::forEachMove(std::int32_t s, LayerOf &&layerOf, Move &&move) const
{
    const int pageIndex = pageOf(s);
    const PageMoves &p = m_moves[size_t(pageIndex)];
    const Phase phase = phaseOf(s);
    const std::int32_t layer = m_g.layer[size_t(s)];
    const Mask mask = maskOf(s);
    auto layerOfMask = [&](Mask m) { return m == mask ? layer : layerOf(m); };
    auto arrive = [&](std::int8_t slot, int page, std::int32_t to) {
        if (page >= 0)
            move(slot, std::int32_t(page), to);
    };
    if (phase == BattleOpen) {
        // Won: the monster's item joins the inventory.
        const Mask won = p.lootBit >= 0 ? mask | (Mask(1) << p.lootBit) : mask;
        const std::int32_t closed = m_closedNode[size_t(pageIndex)];
        if (p.leavesOnWin)
            arrive(Win, p.winPage, layerOfMask(won));
        else
            move(Win, closed + (won != mask ? 1 : 0), layer);
        if (p.leavesOnLose)
            arrive(Lose, p.losePage, layer);
        else
            move(Lose, closed, layer);
        if (p.escape)
            arrive(Escape, p.escapeDest, layer);
        return;
    }
    const Mask held = realMask(s);
    for (int i = 0; i < quest::kOptionCount; ++i) {
        const PageMoves::Offer &c = p.choices[size_t(i)];
        if (offered(c, mask))
            arrive(std::int8_t(i), c.dest, layerOfMask(c.giveBit >= 0 ? held | (Mask(1) << c.giveBit) : held));
    }
    // Pressing Choose with nothing selected presents the battle page
    // again, with what is held now, and its fight opens again.
    if (phase != Presented && p.hasChoices)
        move(Turn, pageIndex, layerOfMask(held));
}

// Breadth first from the start, so that each state's parent lies on a
// shortest way there.
bool Explorer::explore()
{
    makeNodes();
    m_g.forgetRecent();
    const int first = m_quest.pageIndex(quest::kFirstPage);
    if (first < 0)
        return true;
    intern(first, layerFor(0), -1, NoSlot);
    for (std::int32_t s = 0; s < std::int32_t(m_g.node.size()); ++s) {
        if (qint64(m_g.node.size()) > m_options.maxStates) {
            m_report.error = QStringLiteral("more than %1 states: the quest is too big to check").arg(m_options.maxStates);
            return false;
        }
        forEachMove(
            s, [this](Mask m) { return layerFor(m); },
            [&](std::int8_t slot, std::int32_t node, std::int32_t layer) { intern(node, layer, s, slot); });
    }
    return true;
}

// Numbers the states again, layer after layer in the order of their masks and
// by node inside a layer, so that a layer's states are neighbours in memory
// and every move leads to the same layer or a later one; then lists each
// state's moves. m_rank keeps the order in which the states were found.
void Explorer::renumber()
{
    const auto n = std::int32_t(m_g.size());
    const auto layers = std::int32_t(m_g.layerMask.size());
    m_g.edgeStart.assign(size_t(n) + 1, 0);
    if (n == 0) {
        m_layerStart.assign(1, 0);
        return;
    }
    std::vector<std::int32_t> byMask(static_cast<size_t>(layers));
    for (std::int32_t l = 0; l < layers; ++l)
        byMask[size_t(l)] = l;
    std::sort(byMask.begin(), byMask.end(),
              [&](std::int32_t a, std::int32_t b) { return m_g.layerMask[size_t(a)] < m_g.layerMask[size_t(b)]; });
    std::vector<std::int32_t> layerRank(static_cast<size_t>(layers));
    for (std::int32_t r = 0; r < layers; ++r)
        layerRank[size_t(byMask[size_t(r)])] = r;

    // The blocks, by (layer rank, node).
    std::vector<std::pair<std::uint64_t, std::int32_t>> blocks;
    blocks.reserve(m_g.blocks.size() / Graph::kBlock);
    for (size_t i = 0; i < m_g.blockKey.size(); ++i)
        if (m_g.blockKey[i] != Graph::kEmpty) {
            const std::uint64_t key = m_g.blockKey[i];
            blocks.push_back({(std::uint64_t(layerRank[size_t(key >> 32)]) << 32) | (key & 0xffffffffULL), m_g.blockAt[i]});
        }
    std::sort(blocks.begin(), blocks.end());

    // Walking the blocks in that order numbers the states anew.
    std::vector<std::int32_t> newId(static_cast<size_t>(n)), node(static_cast<size_t>(n)),
        layer(static_cast<size_t>(n));
    m_rank.assign(size_t(n), 0);
    m_layerStart.assign(size_t(layers) + 1, 0);
    std::int32_t next = 0;
    for (const auto &[key, block] : blocks) {
        for (std::int32_t i = 0; i < Graph::kBlock; ++i) {
            std::int32_t &state = m_g.blocks[size_t(block) * Graph::kBlock + size_t(i)];
            if (state < 0)
                continue;
            newId[size_t(state)] = next;
            m_rank[size_t(next)] = state;
            node[size_t(next)] = std::int32_t(key & 0xffffffffULL) * Graph::kBlock + i;
            layer[size_t(next)] = std::int32_t(key >> 32);
            state = next++;
        }
        m_layerStart[size_t(key >> 32) + 1] = next;
    }
    for (std::int32_t l = 0; l < layers; ++l)
        m_layerStart[size_t(l) + 1] = std::max(m_layerStart[size_t(l) + 1], m_layerStart[size_t(l)]);
    m_g.node.swap(node);
    m_g.layer.swap(layer);
    node = {};
    layer = {};
    {
        std::vector<std::int32_t> parent(static_cast<size_t>(n));
        std::vector<std::int8_t> slot(static_cast<size_t>(n));
        for (std::int32_t s = 0; s < n; ++s) {
            const std::int32_t p = m_g.parent[size_t(s)];
            parent[size_t(newId[size_t(s)])] = p < 0 ? p : newId[size_t(p)];
            slot[size_t(newId[size_t(s)])] = m_g.parentSlot[size_t(s)];
        }
        m_g.parent.swap(parent);
        m_g.parentSlot.swap(slot);
    }
    m_start = newId[0];
    newId = {};

    // Layers and the block index under the new layer numbers.
    std::vector<Mask> masks(static_cast<size_t>(layers));
    m_g.layerOf.clear();
    for (std::int32_t r = 0; r < layers; ++r) {
        masks[size_t(r)] = m_g.layerMask[size_t(byMask[size_t(r)])];
        m_g.layerOf.emplace(masks[size_t(r)], r);
    }
    m_g.layerMask.swap(masks);
    std::fill(m_g.blockKey.begin(), m_g.blockKey.end(), Graph::kEmpty);
    m_g.forgetRecent();
    const size_t bits = m_g.blockKey.size() - 1;
    for (const auto &[key, block] : blocks) {
        size_t at = mix(key) & bits;
        while (m_g.blockKey[at] != Graph::kEmpty)
            at = (at + 1) & bits;
        m_g.blockKey[at] = key;
        m_g.blockAt[at] = block;
    }

    // The moves, counted first, then listed. Inside a layer, a table by
    // node finds the state a move leads to; the block index only serves
    // moves that gain an item.
    auto layerOf = [this](Mask m) { return m_g.layerOf.find(m)->second; };
    shareLayers([&](std::int32_t from, std::int32_t to) {
        for (std::int32_t s = m_layerStart[size_t(from)]; s < m_layerStart[size_t(to)]; ++s) {
            std::int32_t count = 0;
            forEachMove(s, layerOf, [&](std::int8_t, std::int32_t, std::int32_t) { ++count; });
            m_g.edgeStart[size_t(s) + 1] = count;
        }
    });
    for (std::int32_t s = 0; s < n; ++s)
        m_g.edgeStart[size_t(s) + 1] += m_g.edgeStart[size_t(s)];
    m_g.edgeTarget.resize(size_t(m_g.edgeStart.back()));
    m_g.edgeSlot.resize(size_t(m_g.edgeStart.back()));
    shareLayers([&](std::int32_t from, std::int32_t to) {
        std::vector<std::int32_t> byNode(m_nodePage.size(), -1);
        for (std::int32_t l = from; l < to; ++l) {
            const std::int32_t first = m_layerStart[size_t(l)], end = m_layerStart[size_t(l) + 1];
            for (std::int32_t s = first; s < end; ++s)
                byNode[size_t(m_g.node[size_t(s)])] = s;
            for (std::int32_t s = first; s < end; ++s) {
                auto e = size_t(m_g.edgeStart[size_t(s)]);
                forEachMove(s, layerOf, [&](std::int8_t slot, std::int32_t node, std::int32_t layer) {
                    m_g.edgeTarget[e] = layer == l ? byNode[size_t(node)]
                                                   : m_g.blocks[size_t(findBlock(layer, node)) * Graph::kBlock
                                                                + size_t(node % Graph::kBlock)];
                    m_g.edgeSlot[e++] = slot;
                });
            }
        }
    });
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
            if (!ok || m_quest.pageIndex(screen.pg()) != pageOf(target) || held != realMask(target)
                || screen.battleBoxVisible() != (phaseOf(target) == BattleOpen))
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
        }
    }
}

// The strongly connected parts of layer l's states, in the order Tarjan's
// algorithm completes them: a part comes after every part it leads to. A
// move never leads back to an earlier layer, so no part spans two layers.
// part[s - first] is each state's part; members lists the states part by
// part, part c being members[start[c]] .. members[start[c + 1] - 1].
void Explorer::layerParts(std::int32_t l, LayerParts &out) const
{
    const std::int32_t first = m_layerStart[size_t(l)], end = m_layerStart[size_t(l) + 1];
    const auto size = size_t(end - first);
    out.part.assign(size, -1);
    out.members.clear();
    out.start.assign(1, 0);
    std::vector<std::int32_t> &index = out.index, &low = out.low, &stack = out.stack;
    index.assign(size, -1);
    low.assign(size, 0);
    stack.clear();
    std::vector<std::pair<std::int32_t, std::int32_t>> &calls = out.calls; // state, next move
    calls.clear();
    std::int32_t counter = 0;
    auto enter = [&](std::int32_t v) {
        index[size_t(v - first)] = low[size_t(v - first)] = counter++;
        stack.push_back(v);
        calls.push_back({v, m_g.edgeStart[size_t(v)]});
    };
    for (std::int32_t root = first; root < end; ++root) {
        if (index[size_t(root - first)] >= 0)
            continue;
        enter(root);
        while (!calls.empty()) {
            auto &[v, e] = calls.back();
            if (e < m_g.edgeStart[size_t(v) + 1]) {
                const std::int32_t w = m_g.edgeTarget[size_t(e++)];
                if (w < first || w >= end)
                    continue; // another layer
                if (index[size_t(w - first)] < 0)
                    enter(w);
                else if (out.part[size_t(w - first)] < 0) // still on the stack
                    low[size_t(v - first)] = std::min(low[size_t(v - first)], index[size_t(w - first)]);
                continue;
            }
            const std::int32_t done = v;
            calls.pop_back();
            if (!calls.empty()) {
                const std::int32_t up = calls.back().first;
                low[size_t(up - first)] = std::min(low[size_t(up - first)], low[size_t(done - first)]);
            }
            if (low[size_t(done - first)] == index[size_t(done - first)]) {
                const auto id = std::int32_t(out.start.size() - 1);
                std::int32_t w;
                do {
                    w = stack.back();
                    stack.pop_back();
                    out.part[size_t(w - first)] = id;
                    out.members.push_back(w);
                } while (w != done);
                out.start.push_back(std::int32_t(out.members.size()));
            }
        }
    }
}

// Every layer's parts. Layers are independent here, so a big graph is
// shared out between two threads.
void Explorer::findParts()
{
    const auto n = std::int32_t(m_g.size());
    const auto layers = std::int32_t(m_layerStart.size()) - 1;
    m_partMembers.assign(size_t(n), 0);
    m_partOf.assign(size_t(n), 0);
    m_potential.assign(size_t(n), 0.0);
    // Per layer, where each part after the first begins (from the layer's
    // first state), and how many parts it has.
    std::vector<std::int32_t> partCount(size_t(std::max(layers, 0)), 0);
    // What each half of the layers finds: where its parts start, and their
    // loops.
    struct Found
    {
        std::vector<std::int32_t> starts, loopFrom;
        std::vector<std::uint8_t> loops;
        std::vector<std::int8_t> loopSlot;
    };
    auto work = [&](std::int32_t from, std::int32_t to, Found &found) {
        LayerParts parts;
        std::vector<std::uint8_t> placed;
        std::vector<std::int32_t> queue;
        for (std::int32_t l = from; l < to; ++l) {
            layerParts(l, parts);
            const std::int32_t first = m_layerStart[size_t(l)];
            std::copy(parts.members.begin(), parts.members.end(), m_partMembers.begin() + first);
            std::copy(parts.part.begin(), parts.part.end(), m_partOf.begin() + first);
            placed.assign(parts.part.size(), 0);
            for (size_t c = 0; c + 1 < parts.start.size(); ++c) {
                if (c > 0)
                    found.starts.push_back(first + parts.start[c]);
                std::uint8_t loops = 0;
                std::int32_t loopFrom = -1;
                std::int8_t loopSlot = NoSlot;
                partScores(l, std::int32_t(c),
                           std::span<const std::int32_t>(parts.members.data() + parts.start[c],
                                                         size_t(parts.start[c + 1] - parts.start[c])),
                           parts.part, placed, queue, loops, loopFrom, loopSlot);
                found.loops.push_back(loops);
                found.loopFrom.push_back(loopFrom);
                found.loopSlot.push_back(loopSlot);
            }
            if (parts.start.size() > 1)
                found.starts.push_back(first + parts.start.back());
            partCount[size_t(l)] = std::int32_t(parts.start.size() - 1);
        }
    };
    Found low, high;
    shareLayers([&](std::int32_t from, std::int32_t to) { work(from, to, from == 0 ? low : high); });
    m_partStart.assign(1, 0);
    m_partLoops.clear();
    m_partLoopFrom.clear();
    m_partLoopSlot.clear();
    for (Found *f : {&low, &high}) {
        m_partStart.insert(m_partStart.end(), f->starts.begin(), f->starts.end());
        m_partLoops.insert(m_partLoops.end(), f->loops.begin(), f->loops.end());
        m_partLoopFrom.insert(m_partLoopFrom.end(), f->loopFrom.begin(), f->loopFrom.end());
        m_partLoopSlot.insert(m_partLoopSlot.end(), f->loopSlot.begin(), f->loopSlot.end());
    }
    m_layerParts.assign(size_t(layers) + 1, 0);
    for (std::int32_t l = 0; l < layers; ++l) {
        m_layerParts[size_t(l) + 1] = m_layerParts[size_t(l)] + partCount[size_t(l)];
        for (std::int32_t s = m_layerStart[size_t(l)]; s < m_layerStart[size_t(l) + 1]; ++s)
            m_partOf[size_t(s)] += m_layerParts[size_t(l)];
    }
}

void Explorer::makeScoreTable()
{
    m_scoreValues.assign(1, 0.0);
    m_scoreOf.assign(m_pages.size() * quest::kOptionCount, 0);
    QHash<double, std::uint32_t> known{{0.0, 0}};
    for (size_t p = 0; p < m_pages.size(); ++p)
        for (size_t i = 0; i < size_t(quest::kOptionCount); ++i) {
            const double v = m_pages[p].choices[i].scoreAdd.value_or(0.0);
            auto it = known.constFind(v);
            if (it == known.cend()) {
                it = known.insert(v, std::uint32_t(m_scoreValues.size()));
                m_scoreValues.push_back(v);
            }
            m_scoreOf[p * quest::kOptionCount + i] = it.value();
        }
}

// Scores inside one part of a layer (part is its number among the layer's
// parts, localPart each of the layer's states' part): each member's offset
// from the part's first member, found breadth first. A move that disagrees
// with the offsets closes a loop that changes the score. Such a loop is named
// by one of the part's score-changing choices: the first in the quest, so
// that the same loop held with other items names the same choice, at its
// state nearest the start.
void Explorer::partScores(std::int32_t layer, std::int32_t part, std::span<const std::int32_t> members,
                          const std::vector<std::int32_t> &localPart, std::vector<std::uint8_t> &placed,
                          std::vector<std::int32_t> &queue, std::uint8_t &loops, std::int32_t &loopFrom,
                          std::int8_t &loopSlot)
{
    const std::int32_t first = m_layerStart[size_t(layer)], end = m_layerStart[size_t(layer) + 1];
    auto inPart = [&](std::int32_t v) { return v >= first && v < end && localPart[size_t(v - first)] == part; };
    auto before = [&](std::int32_t u, std::int8_t slot) {
        if (loopFrom < 0)
            return true;
        if (pageOf(u) != pageOf(loopFrom))
            return pageOf(u) < pageOf(loopFrom);
        return slot != loopSlot ? slot < loopSlot : m_rank[size_t(u)] < m_rank[size_t(loopFrom)];
    };
    queue.assign(1, members.front());
    placed[size_t(members.front() - first)] = 1;
    m_potential[size_t(members.front())] = 0;
    for (size_t q = 0; q < queue.size(); ++q) {
        const std::int32_t u = queue[q];
        for (std::int32_t e = m_g.edgeStart[size_t(u)]; e < m_g.edgeStart[size_t(u) + 1]; ++e) {
            const std::int32_t v = m_g.edgeTarget[size_t(e)];
            if (!inPart(v))
                continue;
            const std::int8_t slot = m_g.edgeSlot[size_t(e)];
            const double d = scoreOf(u, slot);
            const double want = m_potential[size_t(u)] + d;
            if (!placed[size_t(v - first)]) {
                placed[size_t(v - first)] = 1;
                m_potential[size_t(v)] = want;
                queue.push_back(v);
            } else if (std::abs(m_potential[size_t(v)] - want) > 1e-9) {
                loops = 1;
            }
            if (d != 0 && before(u, slot)) {
                loopFrom = u;
                loopSlot = slot;
            }
        }
    }
}

// Scores: a range per state, carried forward part by part from the start.
// States in one strongly connected part share a range up to fixed offsets,
// unless a loop in it changes the score, which makes it unbounded there and
// after. Until a state's part is reached, m_lo and m_hi gather the scores
// that moves into the part bring.
void Explorer::scoreRanges()
{
    const auto n = std::int32_t(m_g.size());
    m_lo.assign(size_t(n), std::numeric_limits<std::int32_t>::max());
    m_hi.assign(size_t(n), std::numeric_limits<std::int32_t>::min());
    m_unbounded.assign(size_t(n), 0);
    if (n == 0)
        return;
    m_lo[size_t(m_start)] = m_hi[size_t(m_start)] = 0;
    auto delta = [this](std::int32_t from, std::int8_t slot) { return scoreOf(from, slot); };

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

    // Per page and choice: the earliest state where a score-changing loop
    // runs through the choice.
    std::vector<std::int32_t> loopAt(m_pages.size() * quest::kOptionCount, -1);
    // Per page and choice: the earliest state where the engine refuses the
    // sum the choice's score makes.
    std::vector<std::int32_t> refused(m_pages.size() * quest::kOptionCount, -1);
    const std::vector<double> &potential = m_potential;
    for (std::int32_t l = 0; l + 1 < std::int32_t(m_layerStart.size()); ++l) {
        // Tarjan completes the parts sinks first: walk them from the start.
        for (std::int32_t c = m_layerParts[size_t(l) + 1] - 1; c >= m_layerParts[size_t(l)]; --c) {
            const std::span<const std::int32_t> part(m_partMembers.data() + m_partStart[size_t(c)],
                                                     size_t(m_partStart[size_t(c) + 1] - m_partStart[size_t(c)]));
            auto inPart = [&](std::int32_t v) { return m_partOf[size_t(v)] == c; };
            const bool loops = m_partLoops[size_t(c)];
            const std::int32_t loopFrom = m_partLoopFrom[size_t(c)];
            const std::int8_t loopSlot = m_partLoopSlot[size_t(c)];
            bool unbounded = loops;
            double baseLo = std::numeric_limits<double>::infinity(), baseHi = -baseLo;
            for (std::int32_t v : part) {
                unbounded = unbounded || m_unbounded[size_t(v)];
                if (m_lo[size_t(v)] <= m_hi[size_t(v)]) {
                    baseLo = std::min(baseLo, m_lo[size_t(v)] - potential[size_t(v)]);
                    baseHi = std::max(baseHi, m_hi[size_t(v)] - potential[size_t(v)]);
                }
            }
            for (std::int32_t v : part) {
                m_unbounded[size_t(v)] = unbounded;
                if (!unbounded) {
                    m_lo[size_t(v)] = std::int32_t(std::clamp(std::round(baseLo + potential[size_t(v)]),
                                                              double(kMinScore), double(kMaxScore)));
                    m_hi[size_t(v)] = std::int32_t(std::clamp(std::round(baseHi + potential[size_t(v)]),
                                                              double(kMinScore), double(kMaxScore)));
                }
            }
            // What the moves out of the part bring to the parts after it, and
            // the moves whose sum the engine refuses.
            for (std::int32_t u : part)
                for (std::int32_t e = m_g.edgeStart[size_t(u)]; e < m_g.edgeStart[size_t(u) + 1]; ++e) {
                    const std::int32_t v = m_g.edgeTarget[size_t(e)];
                    const bool inside = inPart(v);
                    if (unbounded) {
                        if (!inside)
                            m_unbounded[size_t(v)] = 1;
                        continue;
                    }
                    const std::int8_t slot = m_g.edgeSlot[size_t(e)];
                    const double a = delta(u, slot);
                    std::int32_t lo = m_lo[size_t(u)], hi = m_hi[size_t(u)];
                    if (a != 0) {
                        if (hi + a > kMaxScore || lo + a < kMinScore) {
                            std::int32_t &at = refused[size_t(pageOf(u)) * quest::kOptionCount + size_t(slot)];
                            if (earlier(u, at))
                                at = u;
                        }
                        after(lo, hi, a, lo, hi);
                    }
                    if (!inside) {
                        m_lo[size_t(v)] = std::min(m_lo[size_t(v)], lo);
                        m_hi[size_t(v)] = std::max(m_hi[size_t(v)], hi);
                    }
                }
            if (loops && loopFrom >= 0) {
                const size_t at = size_t(pageOf(loopFrom)) * quest::kOptionCount + size_t(loopSlot);
                if (earlier(loopFrom, loopAt[at]))
                    loopAt[at] = loopFrom;
            }
        }
    }
    for (size_t at = 0; at < loopAt.size(); ++at)
        if (loopAt[at] >= 0)
            add("suspicious-value", int(at / quest::kOptionCount), quest::scoreKey(int(at % quest::kOptionCount) + 1),
                QStringLiteral("a loop through this choice changes the score each time around: the total can leave "
                               "-32768..32767, where the engine stops adding"),
                loopAt[at]);

    // Moves whose sum the engine refuses on some path, each told once, at the
    // state nearest the start.
    std::vector<size_t> told;
    for (size_t at = 0; at < refused.size(); ++at)
        if (refused[at] >= 0)
            told.push_back(at);
    std::sort(told.begin(), told.end(), [&](size_t a, size_t b) {
        return m_rank[size_t(refused[a])] != m_rank[size_t(refused[b])]
                   ? m_rank[size_t(refused[a])] < m_rank[size_t(refused[b])]
                   : a < b;
    });
    for (size_t at : told) {
        const std::int32_t s = refused[at];
        const int page = int(at / quest::kOptionCount), slot = int(at % quest::kOptionCount);
        const double d = delta(s, std::int8_t(slot));
        const int edge = d > 0 ? m_hi[size_t(s)] : m_lo[size_t(s)];
        add("suspicious-value", page, quest::scoreKey(slot + 1),
            QStringLiteral("the score can be %1 here; adding %2 leaves -32768..32767, so the engine keeps "
                           "the old score")
                .arg(edge)
                .arg(m_pages[size_t(page)].choices[size_t(slot)].score),
            s);
    }
}

// States from which no ending can be reached, reported where a player walks
// into them: at the state nearest the start of each page.
void Explorer::deadEnds(const std::vector<std::uint8_t> &ending, const std::vector<std::int32_t> &firstSoftLock)
{
    const auto n = std::int32_t(m_g.size());
    // Whether an ending can be reached, part by part, the parts that a part
    // leads to first: later layers, then Tarjan's order inside a layer.
    std::vector<std::uint8_t> good(ending);
    for (auto l = std::int32_t(m_layerStart.size()) - 2; l >= 0; --l) {
        for (std::int32_t c = m_layerParts[size_t(l)]; c < m_layerParts[size_t(l) + 1]; ++c) {
            const std::span<const std::int32_t> part(m_partMembers.data() + m_partStart[size_t(c)],
                                                     size_t(m_partStart[size_t(c) + 1] - m_partStart[size_t(c)]));
            bool any = false;
            for (std::int32_t u : part) {
                any = any || good[size_t(u)];
                for (std::int32_t e = m_g.edgeStart[size_t(u)]; e < m_g.edgeStart[size_t(u) + 1] && !any; ++e)
                    any = good[size_t(m_g.edgeTarget[size_t(e)])];
            }
            if (any)
                for (std::int32_t u : part)
                    good[size_t(u)] = 1;
        }
    }

    if (std::find(good.begin(), good.end(), 0) == good.end())
        return;
    std::vector<std::int32_t> entry(m_pages.size(), -1);
    auto consider = [&](std::int32_t s) {
        const int p = pageOf(s);
        if (good[size_t(s)] || firstSoftLock[size_t(p)] >= 0 || !earlier(s, entry[size_t(p)]))
            return;
        // A dead end through a broken destination is reported as such.
        const Page &page = m_pages[size_t(p)];
        bool broken = false;
        if (phaseOf(s) == BattleOpen)
            broken = (rules::leavesBattlePage(page.win) && page.winPage < 0)
                     || (rules::leavesBattlePage(page.lose) && page.losePage < 0) || (page.escape && page.escapeDest < 0);
        else
            for (const Choice &c : page.choices)
                broken = broken || (offered(c, maskOf(s)) && c.destPage < 0);
        if (!broken)
            entry[size_t(p)] = s;
    };
    if (n > 0)
        consider(m_start);
    for (std::int32_t s = 0; s < n; ++s)
        if (good[size_t(s)])
            for (std::int32_t e = m_g.edgeStart[size_t(s)]; e < m_g.edgeStart[size_t(s) + 1]; ++e)
                consider(m_g.edgeTarget[size_t(e)]);
    for (int p = 0; p < int(m_pages.size()); ++p)
        if (entry[size_t(p)] >= 0)
            add("soft-lock", p, QString(), QStringLiteral("no ending can be reached from here"), entry[size_t(p)]);
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
                why = QStringLiteral("the fight here always leads to another page (only a game saved during the "
                                     "fight and loaded again shows the page's choices, as the fight does not reopen "
                                     "on loading)");
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
    const qint64 found = clock.elapsed();
    renumber();
    // The block index is not needed any more.
    m_g.blocks = {};
    m_g.blockKey = {};
    m_g.blockAt = {};
    const qint64 explored = clock.elapsed();
    analyse();
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
