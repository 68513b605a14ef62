#pragma once
// The checker's findings as they are made: each with the state that shows
// it, until the trail of moves spells out its steps.

#include "engine/check/checker.h"
#include "engine/check/step_trail.h"

#include <QList>
#include <QString>
#include <QStringList>

#include <cstdint>
#include <memory>
#include <vector>

namespace fc::check::detail {

inline QString quoted(const QString &s)
{
    return QLatin1Char('"') + s + QLatin1Char('"');
}

class FindingList
{
public:
    // pageNames: the names of the pages findings are placed on by number;
    // kept by reference.
    explicit FindingList(const QStringList &pageNames) : m_pageNames(pageNames) {}

    // A finding of kind on page (-1: the quest as a whole) shown by state
    // (-1: none).
    void add(const char *kind, int page, const QString &key, const QString &message, std::int32_t state = -1);
    // A finding no state shows, placed as f says.
    void addUnplaced(Finding f);

    // Whether some finding is shown by a state.
    bool anyState() const;
    // Gives each finding its steps along trail (nullptr: none has any) and
    // hands the findings over, grouped by kind and sorted by page. A finding
    // whose way needs a fight to end in a way none of the trail's fight
    // seeds gave gets no steps, and says so.
    QList<Finding> take(const std::shared_ptr<StepTrail> &trail);

private:
    void giveSteps(const std::shared_ptr<StepTrail> &trail);
    void sort();

    const QStringList &m_pageNames;
    QList<Finding> m_findings;
    // Each finding's state, by its place in m_findings.
    std::vector<std::int32_t> m_states;
};

} // namespace fc::check::detail
