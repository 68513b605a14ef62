// Score ranges: what each move adds, the loops that change the score, and
// the range of scores a player can hold in each state.
#include "engine/check/explorer.h"


#include "engine/rules.h"
#include "engine/score.h"

#include <QElapsedTimer>

#include <algorithm>
#include <cmath>
#include <limits>
#include <queue>
#include <system_error>
#include <thread>

namespace fc::check::detail {

// Whether adding a to some score the engine keeps gives another score: a
// value too big for the range, or too small to survive the rounding, never
// does. Scores at the ends of the range, of either parity, settle it.
static bool changesScore(double a)
{
    for (const int s : {kMinScore, kMinScore + 1, kMaxScore - 1, kMaxScore})
        if (addToScore(s, a) != s)
            return true;
    return false;
}

void Explorer::makeScoreTable()
{
    m_scoreValues.assign(1, 0.0);
    m_scoreRaw.assign(1, 0.0);
    m_scoreOf.assign(m_pages.size() * quest::kOptionCount, 0);
    QHash<double, std::uint32_t> known{{0.0, 0}};
    for (size_t p = 0; p < m_pages.size(); ++p)
        for (size_t i = 0; i < size_t(quest::kOptionCount); ++i) {
            const double v = m_pages[p].choices[i].scoreAdd.value_or(0.0);
            auto it = known.constFind(v);
            if (it == known.cend()) {
                it = known.insert(v, std::uint32_t(m_scoreValues.size()));
                m_scoreValues.push_back(changesScore(v) ? v : 0.0);
                m_scoreRaw.push_back(v);
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

// One side of the scores in a part whose loops change the score: side +1
// the lowest, -1 the highest; scratch.entered lists the members (by place in
// part) that moves from outside or the start reach. Finds offsets that no move inside the part
// improves on that side (Bellman-Ford, queue-driven, on the part's moves
// alone); none exist when a loop takes the score ever further that way, and
// the side is unbounded (false). Otherwise each member's score on that side
// is the best over the members entered from outside of their score plus the
// best way from there (Dijkstra on the moves less the offsets, which are never
// negative then), written to m_lo or m_hi. A part too tangled to settle in
// kWorkPerMove relaxations a move is taken as unbounded on that side.
bool Explorer::partSide(std::span<const std::int32_t> part, int side, SideScratch &w)
{
    constexpr qint64 kWorkPerMove = 64;
    const auto size = std::int32_t(part.size());
    // A part lies inside one layer: its members are numbered from the
    // layer's first state.
    const std::int32_t l = m_g.layer[size_t(part.front())];
    const std::int32_t first = m_layerStart[size_t(l)], end = m_layerStart[size_t(l) + 1];
    if (w.local.size() < size_t(end - first))
        w.local.resize(size_t(end - first), -1);
    for (std::int32_t i = 0; i < size; ++i)
        w.local[size_t(part[size_t(i)] - first)] = i;
    auto cleanup = [&] {
        for (std::int32_t v : part)
            w.local[size_t(v - first)] = -1;
    };
    // The part's own moves, in local numbers, each weighed on this side.
    w.start.assign(size_t(size) + 1, 0);
    w.target.clear();
    w.weight.clear();
    for (std::int32_t i = 0; i < size; ++i) {
        const std::int32_t u = part[size_t(i)];
        for (std::int32_t e = m_g.edgeStart[size_t(u)]; e < m_g.edgeStart[size_t(u) + 1]; ++e) {
            const std::int32_t v = m_g.edgeTarget[size_t(e)];
            const std::int32_t j = v >= first && v < end ? w.local[size_t(v - first)] : -1;
            if (j < 0)
                continue;
            w.target.push_back(j);
            w.weight.push_back(side * scoreOf(u, m_g.edgeSlot[size_t(e)]));
        }
        w.start[size_t(i) + 1] = std::int32_t(w.target.size());
    }
    cleanup();

    constexpr double kEps = 1e-9;
    const double inf = std::numeric_limits<double>::infinity();
    w.offset.assign(size_t(size), inf);
    w.count.assign(size_t(size), 0);
    w.queued.assign(size_t(size), 0);
    w.queue.clear();
    w.offset[0] = 0;
    w.queue.push_back(0);
    w.queued[0] = 1;
    qint64 work = kWorkPerMove * (qint64(w.target.size()) + size);
    for (size_t q = 0; q < w.queue.size(); ++q) {
        const std::int32_t u = w.queue[q];
        w.queued[size_t(u)] = 0;
        for (std::int32_t e = w.start[size_t(u)]; e < w.start[size_t(u) + 1]; ++e) {
            if (--work < 0)
                return false;
            const std::int32_t v = w.target[size_t(e)];
            const double d = w.offset[size_t(u)] + w.weight[size_t(e)];
            if (d < w.offset[size_t(v)] - kEps) {
                w.offset[size_t(v)] = d;
                w.count[size_t(v)] = w.count[size_t(u)] + 1;
                if (w.count[size_t(v)] >= size)
                    return false; // a loop that keeps improving
                if (!w.queued[size_t(v)]) {
                    w.queued[size_t(v)] = 1;
                    w.queue.push_back(v);
                }
            }
        }
        // Keep the queue from growing without end: drop what was taken.
        if (q > 4096 && q * 2 > w.queue.size()) {
            w.queue.erase(w.queue.begin(), w.queue.begin() + std::ptrdiff_t(q) + 1);
            q = size_t(-1);
        }
    }

    // From the members entered, the best on this side over the reweighed moves.
    std::vector<std::int32_t> &score = side > 0 ? m_lo : m_hi;
    w.best.assign(size_t(size), inf);
    using Item = std::pair<double, std::int32_t>;
    std::priority_queue<Item, std::vector<Item>, std::greater<>> heap;
    for (const std::int32_t i : w.entered) {
        const std::int32_t v = part[size_t(i)];
        w.best[size_t(i)] = side * double(score[size_t(v)]) - w.offset[size_t(i)];
        heap.push({w.best[size_t(i)], i});
    }
    while (!heap.empty()) {
        const auto [key, u] = heap.top();
        heap.pop();
        if (key > w.best[size_t(u)])
            continue;
        for (std::int32_t e = w.start[size_t(u)]; e < w.start[size_t(u) + 1]; ++e) {
            const std::int32_t v = w.target[size_t(e)];
            const double reduced = std::max(0.0, w.offset[size_t(u)] + w.weight[size_t(e)] - w.offset[size_t(v)]);
            if (key + reduced < w.best[size_t(v)] - kEps) {
                w.best[size_t(v)] = key + reduced;
                heap.push({w.best[size_t(v)], v});
            }
        }
    }
    for (std::int32_t i = 0; i < size; ++i) {
        const double value = side * (w.best[size_t(i)] + w.offset[size_t(i)]);
        score[size_t(part[size_t(i)])] =
            std::int32_t(std::clamp(std::round(value), double(kMinScore), double(kMaxScore)));
    }
    return true;
}

// The score after a move adding a to a score in lo..hi: the lowest and the
// highest, found on the ends of the range and where the engine starts
// refusing the sum.
static void scoreAfter(std::int32_t lo, std::int32_t hi, double a, std::int32_t &outLo, std::int32_t &outHi)
{
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
}

// Settles part c's range from what moves into it brought, and carries it
// along the moves out of it; notes in loopAt the loop that changes the score
// and in refused the moves whose sum the engine refuses.
void Explorer::settlePart(std::int32_t c, SideScratch &scratch, std::vector<std::int32_t> &loopAt,
                          std::vector<std::int32_t> &refused)
{
    const std::vector<double> &potential = m_potential;
    auto delta = [this](std::int32_t from, std::int8_t slot) { return rawScoreOf(from, slot); };
    const std::span<const std::int32_t> part(m_partMembers.data() + m_partStart[size_t(c)],
                                             size_t(m_partStart[size_t(c) + 1] - m_partStart[size_t(c)]));
    auto inPart = [&](std::int32_t v) { return m_partOf[size_t(v)] == c; };
    const bool loops = m_partLoops[size_t(c)];
    const std::int32_t loopFrom = m_partLoopFrom[size_t(c)];
    const std::int8_t loopSlot = m_partLoopSlot[size_t(c)];
    std::uint8_t open = 0;
    for (std::int32_t v : part)
        open |= m_unbounded[size_t(v)];
    if (!loops) {
        double baseLo = std::numeric_limits<double>::infinity(), baseHi = -baseLo;
        for (std::int32_t v : part)
            if (m_lo[size_t(v)] <= m_hi[size_t(v)]) {
                baseLo = std::min(baseLo, m_lo[size_t(v)] - potential[size_t(v)]);
                baseHi = std::max(baseHi, m_hi[size_t(v)] - potential[size_t(v)]);
            }
        for (std::int32_t v : part) {
            m_lo[size_t(v)] = std::int32_t(std::clamp(std::round(baseLo + potential[size_t(v)]),
                                                      double(kMinScore), double(kMaxScore)));
            m_hi[size_t(v)] = std::int32_t(std::clamp(std::round(baseHi + potential[size_t(v)]),
                                                      double(kMinScore), double(kMaxScore)));
        }
    } else {
        scratch.entered.clear();
        for (std::int32_t i = 0; i < std::int32_t(part.size()); ++i)
            if (m_lo[size_t(part[size_t(i)])] <= m_hi[size_t(part[size_t(i)])])
                scratch.entered.push_back(i);
        for (const int side : {+1, -1}) {
            const std::uint8_t bit = side > 0 ? kLowOpen : kHighOpen;
            if (!(open & bit) && !partSide(part, side, scratch))
                open |= bit;
        }
    }
    for (std::int32_t v : part) {
        m_unbounded[size_t(v)] = open;
        if (open & kLowOpen)
            m_lo[size_t(v)] = kMinScore;
        if (open & kHighOpen)
            m_hi[size_t(v)] = kMaxScore;
    }
    // What the moves out of the part bring to the parts after it, and
    // the moves whose sum the engine refuses on a side that is bounded.
    for (std::int32_t u : part)
        for (std::int32_t e = m_g.edgeStart[size_t(u)]; e < m_g.edgeStart[size_t(u) + 1]; ++e) {
            const std::int32_t v = m_g.edgeTarget[size_t(e)];
            const bool inside = inPart(v);
            if (open == (kLowOpen | kHighOpen)) {
                if (!inside) {
                    m_unbounded[size_t(v)] |= open;
                    m_lo[size_t(v)] = kMinScore;
                    m_hi[size_t(v)] = kMaxScore;
                }
                continue;
            }
            const std::int8_t slot = m_g.edgeSlot[size_t(e)];
            const double a = delta(u, slot);
            std::int32_t lo = m_lo[size_t(u)], hi = m_hi[size_t(u)];
            if (a != 0) {
                if ((!(open & kHighOpen) && hi + a > kMaxScore) || (!(open & kLowOpen) && lo + a < kMinScore)) {
                    std::int32_t &at = refused[size_t(pageOf(u)) * quest::kOptionCount + size_t(slot)];
                    if (earlier(u, at))
                        at = u;
                }
                scoreAfter(lo, hi, a, lo, hi);
            }
            if (!inside) {
                m_unbounded[size_t(v)] |= open;
                m_lo[size_t(v)] = std::min(m_lo[size_t(v)], (open & kLowOpen) ? kMinScore : lo);
                m_hi[size_t(v)] = std::max(m_hi[size_t(v)], (open & kHighOpen) ? kMaxScore : hi);
            }
        }
    if (loops && loopFrom >= 0) {
        const size_t at = size_t(pageOf(loopFrom)) * quest::kOptionCount + size_t(loopSlot);
        if (earlier(loopFrom, loopAt[at]))
            loopAt[at] = loopFrom;
    }
}

// Scores: a range per state, carried forward part by part from the start.
// States in one strongly connected part share a range up to fixed offsets,
// unless a loop in it changes the score. A loop that only adds leaves the
// lowest scores as they were and the highest unbounded, there and after; one
// that only takes away, the other way round; and a part with both kinds is
// unbounded both ways. Until a state's part is reached, m_lo and m_hi gather
// the scores that moves into the part bring; an unbounded side is kept at
// the end of the range, and m_unbounded says which sides are.
void Explorer::scoreRanges()
{
    const auto n = std::int32_t(m_g.size());
    m_lo.assign(size_t(n), std::numeric_limits<std::int32_t>::max());
    m_hi.assign(size_t(n), std::numeric_limits<std::int32_t>::min());
    m_unbounded.assign(size_t(n), 0);
    if (n == 0)
        return;
    m_lo[size_t(m_start)] = m_hi[size_t(m_start)] = 0;

    // Per page and choice: the earliest state where a score-changing loop
    // runs through the choice.
    std::vector<std::int32_t> loopAt(m_pages.size() * quest::kOptionCount, -1);
    // Per page and choice: the earliest state where the engine refuses the
    // sum the choice's score makes.
    std::vector<std::int32_t> refused(m_pages.size() * quest::kOptionCount, -1);
    SideScratch scratch;
    for (std::int32_t l = 0; l + 1 < std::int32_t(m_layerStart.size()); ++l) {
        // Tarjan completes the parts sinks first: walk them from the start.
        for (std::int32_t c = m_layerParts[size_t(l) + 1] - 1; c >= m_layerParts[size_t(l)]; --c)
            settlePart(c, scratch, loopAt, refused);
    }
    reportScoreLoops(loopAt);
    reportRefusedSums(refused);
}

// Each choice a score-changing loop runs through, at its state nearest the start.
void Explorer::reportScoreLoops(const std::vector<std::int32_t> &loopAt)
{
    for (size_t at = 0; at < loopAt.size(); ++at)
        if (loopAt[at] >= 0)
            add("suspicious-value", int(at / quest::kOptionCount), quest::scoreKey(int(at % quest::kOptionCount) + 1),
                QStringLiteral("a loop through this choice changes the score each time around: the total can leave "
                               "-32768..32767, where the engine stops adding"),
                loopAt[at]);
}

// Moves whose sum the engine refuses on some path, each told once, at the
// state nearest the start.
void Explorer::reportRefusedSums(const std::vector<std::int32_t> &refused)
{
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
        const double d = rawScoreOf(s, std::int8_t(slot));
        const int edge = d > 0 ? m_hi[size_t(s)] : m_lo[size_t(s)];
        add("suspicious-value", page, quest::scoreKey(slot + 1),
            QStringLiteral("the score can be %1 here; adding %2 leaves -32768..32767, so the engine keeps "
                           "the old score")
                .arg(edge)
                .arg(m_pages[size_t(page)].choices[size_t(slot)].score),
            s);
    }
}

} // namespace fc::check::detail
