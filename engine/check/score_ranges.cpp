// Score ranges: the loops that change the score, and the range of scores a
// player can hold in each state.
#include "engine/check/score_ranges.h"

#include "engine/score.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <queue>
#include <span>

namespace fc::check::detail {

namespace {

std::int32_t clampedScore(double v)
{
    return std::int32_t(std::clamp(std::round(v), double(kMinScore), double(kMaxScore)));
}

// Scratch of partSide(), kept from one part to the next.
struct SideScratch
{
    std::vector<std::int32_t> local, start, target, count, queue, entered;
    std::vector<double> weight, offset, best;
    std::vector<std::uint8_t> queued;
};

// The walk over the parts, with what it notes on the way: per page and
// choice, the earliest state where a score-changing loop runs through the
// choice (loopAt), and where the engine refuses the sum the choice's score
// makes (refused).
class RangeWalk
{
public:
    RangeWalk(const StateGraph &graph, const StrongParts &parts, const ScoreTable &scores, ScoreRanges &out)
        : m_graph(graph), m_g(graph.graph()), m_parts(parts), m_scores(scores), m_out(out)
    {
    }

    void run(size_t pages);
    void report(const QuestPages &quest, FindingList &out) const;

private:
    double scoreOf(std::int32_t from, std::int8_t slot) const { return m_scores.scoreOf(m_graph.pageOf(from), slot); }
    double rawScoreOf(std::int32_t from, std::int8_t slot) const
    {
        return m_scores.rawScoreOf(m_graph.pageOf(from), slot);
    }
    bool partSide(std::span<const std::int32_t> part, int side);
    void localMoves(std::span<const std::int32_t> part, int side);
    bool settleOffsets(std::int32_t size);
    void bestFromEntered(std::span<const std::int32_t> part, int side);
    std::uint8_t settleRange(std::int32_t c);
    void carryOut(std::int32_t c, std::uint8_t open);

    const StateGraph &m_graph;
    const Graph &m_g;
    const StrongParts &m_parts;
    const ScoreTable &m_scores;
    ScoreRanges &m_out;
    SideScratch m_w;
    std::vector<std::int32_t> m_loopAt, m_refused;
};

// One side of the scores in a part whose loops change the score: side +1
// the lowest, -1 the highest; m_w.entered lists the members (by place in
// part) that moves from outside or the start reach. Finds offsets that no
// move inside the part improves on that side (settleOffsets); none exist when
// a loop takes the score ever further that way, and the side is unbounded
// (false). Otherwise each member's score on that side is the best over the
// members entered from outside of their score plus the best way from there
// (bestFromEntered), written to lo or hi.
bool RangeWalk::partSide(std::span<const std::int32_t> part, int side)
{
    localMoves(part, side);
    if (!settleOffsets(std::int32_t(part.size())))
        return false;
    bestFromEntered(part, side);
    return true;
}

// The part's own moves, in local numbers, each weighed on this side.
void RangeWalk::localMoves(std::span<const std::int32_t> part, int side)
{
    SideScratch &w = m_w;
    const auto size = std::int32_t(part.size());
    // A part lies inside one layer: its members are numbered from the
    // layer's first state.
    const std::int32_t l = m_g.layer[size_t(part.front())];
    const std::int32_t first = m_graph.layerStart()[size_t(l)], end = m_graph.layerStart()[size_t(l) + 1];
    if (w.local.size() < size_t(end - first))
        w.local.resize(size_t(end - first), -1);
    for (std::int32_t i = 0; i < size; ++i)
        w.local[size_t(part[size_t(i)] - first)] = i;
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
    for (std::int32_t v : part)
        w.local[size_t(v - first)] = -1;
}

constexpr double kEps = 1e-9;

// Offsets that no move inside the part improves on (Bellman-Ford,
// queue-driven, on the part's moves alone). False when a loop keeps
// improving, or when the part is too tangled to settle in kWorkPerMove
// relaxations a move: the side is taken as unbounded.
bool RangeWalk::settleOffsets(std::int32_t size)
{
    constexpr qint64 kWorkPerMove = 64;
    SideScratch &w = m_w;
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
    return true;
}

// From the members entered, the best on this side over the moves less the
// offsets, which are never negative then (Dijkstra).
void RangeWalk::bestFromEntered(std::span<const std::int32_t> part, int side)
{
    SideScratch &w = m_w;
    const auto size = std::int32_t(part.size());
    const double inf = std::numeric_limits<double>::infinity();
    std::vector<std::int32_t> &score = side > 0 ? m_out.lo : m_out.hi;
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
    for (std::int32_t i = 0; i < size; ++i)
        score[size_t(part[size_t(i)])] = clampedScore(side * (w.best[size_t(i)] + w.offset[size_t(i)]));
}

// The score after a move adding a to a score in lo..hi: the lowest and the
// highest, found on the ends of the range and where the engine starts
// refusing the sum.
void scoreAfter(std::int32_t lo, std::int32_t hi, double a, std::int32_t &outLo, std::int32_t &outHi)
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

// Settles part c's range from what moves into it brought; returns the sides
// that are unbounded.
std::uint8_t RangeWalk::settleRange(std::int32_t c)
{
    const std::vector<double> &potential = m_parts.potential;
    std::vector<std::int32_t> &lo = m_out.lo, &hi = m_out.hi;
    const std::span<const std::int32_t> part = m_parts.part(c);
    std::uint8_t open = 0;
    for (std::int32_t v : part)
        open |= m_out.unbounded[size_t(v)];
    if (!m_parts.loops[size_t(c)]) {
        double baseLo = std::numeric_limits<double>::infinity(), baseHi = -baseLo;
        for (std::int32_t v : part)
            if (lo[size_t(v)] <= hi[size_t(v)]) {
                baseLo = std::min(baseLo, lo[size_t(v)] - potential[size_t(v)]);
                baseHi = std::max(baseHi, hi[size_t(v)] - potential[size_t(v)]);
            }
        for (std::int32_t v : part) {
            lo[size_t(v)] = clampedScore(baseLo + potential[size_t(v)]);
            hi[size_t(v)] = clampedScore(baseHi + potential[size_t(v)]);
        }
    } else {
        m_w.entered.clear();
        for (std::int32_t i = 0; i < std::int32_t(part.size()); ++i)
            if (lo[size_t(part[size_t(i)])] <= hi[size_t(part[size_t(i)])])
                m_w.entered.push_back(i);
        for (const int side : {+1, -1}) {
            const std::uint8_t bit = side > 0 ? ScoreRanges::kLowOpen : ScoreRanges::kHighOpen;
            if (!(open & bit) && !partSide(part, side))
                open |= bit;
        }
    }
    for (std::int32_t v : part) {
        m_out.unbounded[size_t(v)] = open;
        if (open & ScoreRanges::kLowOpen)
            lo[size_t(v)] = kMinScore;
        if (open & ScoreRanges::kHighOpen)
            hi[size_t(v)] = kMaxScore;
    }
    return open;
}

// Carries part c's range along the moves out of it to the parts after it;
// notes the moves whose sum the engine refuses on a side that is bounded, and
// the loop that changes the score.
void RangeWalk::carryOut(std::int32_t c, std::uint8_t open)
{
    constexpr std::uint8_t kLowOpen = ScoreRanges::kLowOpen, kHighOpen = ScoreRanges::kHighOpen;
    std::vector<std::int32_t> &outLo = m_out.lo, &outHi = m_out.hi;
    for (std::int32_t u : m_parts.part(c))
        for (std::int32_t e = m_g.edgeStart[size_t(u)]; e < m_g.edgeStart[size_t(u) + 1]; ++e) {
            const std::int32_t v = m_g.edgeTarget[size_t(e)];
            const bool inside = m_parts.partOf[size_t(v)] == c;
            if (open == (kLowOpen | kHighOpen)) {
                if (!inside) {
                    m_out.unbounded[size_t(v)] |= open;
                    outLo[size_t(v)] = kMinScore;
                    outHi[size_t(v)] = kMaxScore;
                }
                continue;
            }
            const std::int8_t slot = m_g.edgeSlot[size_t(e)];
            const double a = rawScoreOf(u, slot);
            std::int32_t lo = outLo[size_t(u)], hi = outHi[size_t(u)];
            if (a != 0) {
                if ((!(open & kHighOpen) && hi + a > kMaxScore) || (!(open & kLowOpen) && lo + a < kMinScore)) {
                    std::int32_t &at = m_refused[size_t(m_graph.pageOf(u)) * quest::kOptionCount + size_t(slot)];
                    if (m_graph.earlier(u, at))
                        at = u;
                }
                scoreAfter(lo, hi, a, lo, hi);
            }
            if (!inside) {
                m_out.unbounded[size_t(v)] |= open;
                outLo[size_t(v)] = std::min(outLo[size_t(v)], (open & kLowOpen) ? kMinScore : lo);
                outHi[size_t(v)] = std::max(outHi[size_t(v)], (open & kHighOpen) ? kMaxScore : hi);
            }
        }
    const std::int32_t loopFrom = m_parts.loopFrom[size_t(c)];
    if (m_parts.loops[size_t(c)] && loopFrom >= 0) {
        const size_t at = size_t(m_graph.pageOf(loopFrom)) * quest::kOptionCount + size_t(m_parts.loopSlot[size_t(c)]);
        if (m_graph.earlier(loopFrom, m_loopAt[at]))
            m_loopAt[at] = loopFrom;
    }
}

// States in one strongly connected part share a range up to fixed offsets,
// unless a loop in it changes the score. A loop that only adds leaves the
// lowest scores as they were and the highest unbounded, there and after; one
// that only takes away, the other way round; and a part with both kinds is
// unbounded both ways. Until a state's part is reached, lo and hi gather the
// scores that moves into the part bring.
void RangeWalk::run(size_t pages)
{
    m_loopAt.assign(pages * quest::kOptionCount, -1);
    m_refused.assign(pages * quest::kOptionCount, -1);
    const std::vector<std::int32_t> &layerStart = m_graph.layerStart();
    for (std::int32_t l = 0; l + 1 < std::int32_t(layerStart.size()); ++l) {
        // Tarjan completes the parts sinks first: walk them from the start.
        for (std::int32_t c = m_parts.layerParts[size_t(l) + 1] - 1; c >= m_parts.layerParts[size_t(l)]; --c)
            carryOut(c, settleRange(c));
    }
}

// Each choice a score-changing loop runs through, at its state nearest the
// start; then the moves whose sum the engine refuses on some path, each told
// once, at the state nearest the start.
void RangeWalk::report(const QuestPages &quest, FindingList &out) const
{
    for (size_t at = 0; at < m_loopAt.size(); ++at)
        if (m_loopAt[at] >= 0)
            out.add("suspicious-value", int(at / quest::kOptionCount), quest::scoreKey(int(at % quest::kOptionCount) + 1),
                    QStringLiteral("a loop through this choice changes the score each time around: the total can "
                                   "leave -32768..32767, where the engine stops adding"),
                    m_loopAt[at]);
    std::vector<size_t> told;
    for (size_t at = 0; at < m_refused.size(); ++at)
        if (m_refused[at] >= 0)
            told.push_back(at);
    std::sort(told.begin(), told.end(), [&](size_t a, size_t b) {
        const std::int32_t ra = m_graph.rank(m_refused[a]), rb = m_graph.rank(m_refused[b]);
        return ra != rb ? ra < rb : a < b;
    });
    for (size_t at : told) {
        const std::int32_t s = m_refused[at];
        const int page = int(at / quest::kOptionCount), slot = int(at % quest::kOptionCount);
        const double d = rawScoreOf(s, std::int8_t(slot));
        const int edge = d > 0 ? m_out.hi[size_t(s)] : m_out.lo[size_t(s)];
        out.add("suspicious-value", page, quest::scoreKey(slot + 1),
                QStringLiteral("the score can be %1 here; adding %2 leaves -32768..32767, so the engine keeps "
                               "the old score")
                    .arg(edge)
                    .arg(quest.pages[size_t(page)].choices[size_t(slot)].score),
                s);
    }
}

} // namespace

ScoreRanges findScoreRanges(const StateGraph &graph, const StrongParts &parts, const ScoreTable &scores,
                            const QuestPages &quest, FindingList &out)
{
    const std::int32_t n = graph.size();
    ScoreRanges ranges;
    ranges.lo.assign(size_t(n), std::numeric_limits<std::int32_t>::max());
    ranges.hi.assign(size_t(n), std::numeric_limits<std::int32_t>::min());
    ranges.unbounded.assign(size_t(n), 0);
    if (n == 0)
        return ranges;
    ranges.lo[size_t(graph.start())] = ranges.hi[size_t(graph.start())] = 0;
    RangeWalk walk(graph, parts, scores, ranges);
    walk.run(quest.size());
    walk.report(quest, out);
    return ranges;
}

} // namespace fc::check::detail
