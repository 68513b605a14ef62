// The findings: each with the state that shows it, and the steps the trail
// of moves spells out for it.
#include "engine/check/findings.h"

#include "storage/quest_format.h"

#include <algorithm>
#include <array>

namespace fc::check::detail {

void FindingList::add(const char *kind, int page, const QString &key, const QString &message, std::int32_t state)
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
    f.page = page >= 0 ? m_pageNames[page] : QString();
    f.key = key;
    f.message = message;
    m_findings.append(f);
    m_states.push_back(state);
}

void FindingList::addUnplaced(Finding f)
{
    m_findings.append(std::move(f));
    m_states.push_back(-1);
}

bool FindingList::anyState() const
{
    return std::any_of(m_states.begin(), m_states.end(), [](std::int32_t s) { return s >= 0; });
}

QList<Finding> FindingList::take(const std::shared_ptr<StepTrail> &trail)
{
    if (trail)
        giveSteps(trail);
    m_states = {};
    sort();
    return std::move(m_findings);
}

void FindingList::giveSteps(const std::shared_ptr<StepTrail> &trail)
{
    StepTrail &t = *trail;
    bool fights = false;
    for (qsizetype i = 0; i < m_findings.size(); ++i) {
        std::int32_t s = m_states[size_t(i)];
        Finding &f = m_findings[i];
        if (s >= 0 && t.throughFight(s)) {
            if (t.findSeeds(s)) {
                fights = true;
            } else {
                f.message += QStringLiteral(" (reaching it needs a fight to end in a way that %1 seeds of the real "
                                            "fight never gave)")
                                 .arg(t.fightSeeds);
                s = -1;
            }
        }
        f.steps = Steps(trail, s);
    }
    if (!fights)
        t.dropFights();
}

// Grouped by kind, in the order of kFindingKinds, and by page inside a kind.
void FindingList::sort()
{
    auto kindRank = [](const QString &kind) {
        for (size_t i = 0; i < std::size(kFindingKinds); ++i)
            if (kind == QLatin1String(kFindingKinds[i]))
                return int(i);
        return int(std::size(kFindingKinds));
    };
    std::stable_sort(m_findings.begin(), m_findings.end(), [&](const Finding &a, const Finding &b) {
        const int ka = kindRank(a.kind), kb = kindRank(b.kind);
        if (ka != kb)
            return ka < kb;
        if (a.page != b.page)
            return quest::pageNameLess(a.page, b.page);
        return false;
    });
}

} // namespace fc::check::detail
