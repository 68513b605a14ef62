#include "engine/check/step_trail.h"

#include "engine/game.h"
#include "storage/quest_format.h"
#include "storage/user_folders.h"

#include <QFileInfo>

#include <algorithm>

namespace fc::check {

namespace detail {

namespace {

QString slotStep(std::int8_t slot)
{
    if (slot >= 0 && slot < quest::kOptionCount)
        return QString::number(slot + 1);
    return slot == Escape ? QStringLiteral("escape") : QStringLiteral("turn");
}

} // namespace

void StepTrail::finish()
{
    const size_t n = parent.size();
    constexpr std::uint32_t kUnknown = ~std::uint32_t(0);
    // (assign reuses the storage a caller may have handed over)
    depth.assign(n, std::int32_t(kUnknown));
    head.assign(n, -1);
    auto bits = [&](std::int32_t s) { return std::uint32_t(depth[size_t(s)]); };
    // Each state's way is walked up to the first state already done, and
    // done on the way back: every state once.
    std::vector<std::int32_t> up;
    bool anyFight = false;
    for (size_t s = 0; s < n; ++s) {
        std::int32_t at = std::int32_t(s);
        up.clear();
        while (at >= 0 && bits(at) == kUnknown) {
            up.push_back(at);
            at = parent[size_t(at)];
        }
        for (auto it = up.rbegin(); it != up.rend(); ++it) {
            const std::int32_t v = *it, p = parent[size_t(v)];
            if (p < 0) {
                depth[size_t(v)] = 0;
                head[size_t(v)] = v;
                continue;
            }
            const std::int8_t slot = parentSlot[size_t(v)];
            const bool fight = (bits(p) & kThroughFight) || slot == Win || slot == Lose;
            const std::uint32_t d = (bits(p) & ~kThroughFight) + 1;
            depth[size_t(v)] = std::int32_t(d | (fight ? kThroughFight : 0));
            head[size_t(v)] = d <= std::uint32_t(Steps::kQuickEnds) ? v : head[size_t(p)];
            anyFight = anyFight || fight;
        }
    }
    if (!anyFight)
        dropFights();
}

void StepTrail::dropFights()
{
    quest.reset();
    node = {};
    layer = {};
    nodePage = {};
    nodePhase = {};
}

std::vector<std::int32_t> StepTrail::path(std::int32_t s) const
{
    std::vector<std::int32_t> out;
    out.reserve(size_t(distance(s)) + 1);
    for (; s >= 0; s = parent[size_t(s)])
        out.push_back(s);
    std::reverse(out.begin(), out.end());
    return out;
}

QStringList StepTrail::plainSteps(const std::vector<std::int32_t> &path, size_t from, size_t to) const
{
    QStringList steps;
    steps.reserve(qsizetype(to - from));
    for (size_t k = std::max<size_t>(from, 1); k < to; ++k)
        steps << slotStep(parentSlot[size_t(path[k])]);
    return steps;
}

Mask StepTrail::realMask(std::int32_t s) const
{
    const Mask m = layerMask[size_t(layer[size_t(s)])];
    const std::int32_t page = nodePage[size_t(node[size_t(s)])];
    const std::int8_t loot = lootBit[size_t(page)];
    return nodePhase[size_t(node[size_t(s)])] == ClosedLoot && loot >= 0 ? m | (Mask(1) << loot) : m;
}

// Plays the path with the engine's real fights, each under its seed in seeds
// (0: none chosen yet); returns how many states of the path were reached as
// the path needs them. With steps, the steps played are added to it: a
// fight's seed ("seed:N") and an attack per blow until it is decided.
size_t StepTrail::play(const std::vector<std::int32_t> &path, const std::vector<int> &seeds, QStringList *steps) const
{
    const QString questPath = QFileInfo(ResolveIniPath(quest->file())).absoluteFilePath();
    GameScreen screen;
    Game game(screen, Ports{}, QFileInfo(questPath).absolutePath());
    const QuestSnapshot *snapshot = quest.get();
    game.setQuestReader([snapshot](const QString &section, const QString &key) { return snapshot->read(section, key); });
    bool decided = false;
    QObject::connect(&game, &Game::fightDecided, [&](bool) { decided = true; });
    screen.state().setQuestFile(questPath);
    game.pages().BeginQuest();
    game.pages().PlayTurn();
    for (size_t k = 1; k < path.size(); ++k) {
        const std::int32_t target = path[k];
        const std::int8_t slot = parentSlot[size_t(target)];
        bool ok = true;
        if (slot >= 0 && slot < quest::kOptionCount) {
            ok = game.pages().selectOption(slot);
            game.pages().PlayTurn();
        } else if (slot == Escape) {
            game.fight().clickEscape();
        } else if (slot == Turn) {
            game.pages().PlayTurn();
        } else {
            if (seeds[k] == 0)
                return k; // no seed chosen for this fight yet
            game.setSeed(quint32(seeds[k]));
            if (steps)
                *steps << QStringLiteral("seed:%1").arg(seeds[k]);
            decided = false;
            for (int blows = 0; !decided && blows < 100000 && screen.view().battleBoxVisible(); ++blows) {
                game.fight().clickAttack();
                if (steps)
                    *steps << QStringLiteral("attack");
            }
        }
        if (steps && slot != Win && slot != Lose)
            *steps << slotStep(slot);
        // Where the game stands now must be the state the path needs.
        Mask held = 0;
        for (const QString &item : screen.state().inventory()) {
            const int bit = itemBits.value(item, -1);
            if (bit >= 0)
                held |= Mask(1) << bit;
        }
        if (!ok || quest->pageIndex(screen.state().page()) != nodePage[size_t(node[size_t(target)])] || held != realMask(target)
            || screen.view().battleBoxVisible() != (nodePhase[size_t(node[size_t(target)])] == BattleOpen))
            return k;
    }
    return path.size();
}

std::vector<size_t> StepTrail::fightsOn(const std::vector<std::int32_t> &way) const
{
    std::vector<size_t> fights;
    for (size_t k = 1; k < way.size(); ++k) {
        const std::int8_t slot = parentSlot[size_t(way[k])];
        if (slot == Win || slot == Lose)
            fights.push_back(k);
    }
    return fights;
}

bool StepTrail::findSeeds(std::int32_t s) const
{
    const std::lock_guard lock(m_mutex);
    const std::vector<std::int32_t> way = path(s);
    std::vector<int> seeds(way.size(), 0);
    for (const size_t k : fightsOn(way)) {
        // The way to a state is the same for every finding that passes it,
        // and so is the seed its fight needs.
        const auto known = m_seeds.constFind(way[k]);
        if (known != m_seeds.cend()) {
            if (known.value() == 0)
                return false;
            seeds[k] = known.value();
            continue;
        }
        bool found = false;
        for (int seed = 1; seed <= fightSeeds && !found && m_replays < fightReplays; ++seed) {
            seeds[k] = seed;
            ++m_replays;
            found = play(way, seeds, nullptr) > k;
        }
        m_seeds.insert(way[k], found ? seeds[k] : 0);
        if (!found)
            return false;
    }
    return play(way, seeds, nullptr) == way.size();
}

QStringList StepTrail::fightSteps(std::int32_t s) const
{
    const std::lock_guard lock(m_mutex);
    const std::vector<std::int32_t> way = path(s);
    std::vector<int> seeds(way.size(), 0);
    for (const size_t k : fightsOn(way))
        seeds[k] = m_seeds.value(way[k], 0);
    QStringList steps;
    if (play(way, seeds, &steps) != way.size())
        return {};
    return steps;
}

} // namespace detail

// ---------------------------------------------------------------------------
// Steps

Steps::Steps(std::shared_ptr<const detail::StepTrail> trail, std::int32_t state)
    : m_trail(std::move(trail))
    , m_state(state)
{
    if (m_state < 0)
        m_trail.reset();
}

bool Steps::isEmpty() const
{
    return !m_trail || m_trail->distance(m_state) == 0;
}

qsizetype Steps::size() const
{
    if (isEmpty())
        return 0;
    if (m_trail->throughFight(m_state))
        return m_trail->fightSteps(m_state).size();
    return m_trail->distance(m_state);
}

QStringList Steps::toList() const
{
    if (isEmpty())
        return {};
    if (m_trail->throughFight(m_state))
        return m_trail->fightSteps(m_state);
    const std::vector<std::int32_t> path = m_trail->path(m_state);
    return m_trail->plainSteps(path, 0, path.size());
}

QString Steps::join(QChar separator) const
{
    return toList().join(separator);
}

void Steps::forEach(const std::function<void(const QString &)> &step) const
{
    if (isEmpty())
        return;
    if (m_trail->throughFight(m_state)) {
        for (const QString &s : m_trail->fightSteps(m_state))
            step(s);
        return;
    }
    const std::vector<std::int32_t> path = m_trail->path(m_state);
    constexpr size_t kChunk = 4096;
    for (size_t k = 1; k < path.size(); k += kChunk)
        for (const QString &s : m_trail->plainSteps(path, k, std::min(path.size(), k + kChunk)))
            step(s);
}

QStringList Steps::first(qsizetype n) const
{
    if (isEmpty() || n <= 0)
        return {};
    if (m_trail->throughFight(m_state) || n > kQuickEnds)
        return toList().mid(0, n);
    const std::vector<std::int32_t> path = m_trail->path(m_trail->head[size_t(m_state)]);
    return m_trail->plainSteps(path, 0, std::min(path.size(), size_t(n) + 1));
}

QStringList Steps::last(qsizetype n) const
{
    if (isEmpty() || n <= 0)
        return {};
    if (m_trail->throughFight(m_state)) {
        const QStringList all = m_trail->fightSteps(m_state);
        return all.mid(std::max<qsizetype>(0, all.size() - n));
    }
    QStringList steps;
    for (std::int32_t s = m_state; s >= 0 && m_trail->parent[size_t(s)] >= 0 && steps.size() < n;
         s = m_trail->parent[size_t(s)])
        steps.prepend(detail::slotStep(m_trail->parentSlot[size_t(s)]));
    return steps;
}

QString Steps::brief() const
{
    const qsizetype n = size();
    if (n <= kBriefSteps)
        return join(QLatin1Char(' '));
    return first(kQuickEnds).join(QLatin1Char(' ')) + QStringLiteral(" \u2026 %1 steps \u2026 ").arg(n - 2 * kQuickEnds)
           + last(kQuickEnds).join(QLatin1Char(' '));
}

} // namespace fc::check
