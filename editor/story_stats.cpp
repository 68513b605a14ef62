#include "editor/story_stats.h"

#include "editor/story_graph.h"
#include "engine/rules.h"

namespace fc::story {

qint64 wordCount(const QString &text)
{
    qint64 n = 0;
    bool inWord = false;
    for (QChar c : text) {
        const bool space = c.isSpace();
        if (!space && !inWord)
            ++n;
        inWord = !space;
    }
    return n;
}

StoryStatistics::StoryStatistics(const QuestDocument &doc, QObject *parent)
    : QObject(parent)
    , m_doc(doc)
{
    connect(&doc, &QuestDocument::reset, this, &StoryStatistics::recountAll);
    connect(&doc, &QuestDocument::valueChanged, this, [this](const QString &section, const QString &) { recount(section); });
    connect(&doc, &QuestDocument::sectionChanged, this, &StoryStatistics::recount);
    connect(&doc, &QuestDocument::pageAdded, this, [this](const QString &name, int) { recount(name); });
    connect(&doc, &QuestDocument::pageRemoved, this, [this](const QString &name, int) { recount(name); });
    recountAll();
}

StoryStatistics::Part StoryStatistics::measure(const QString &name) const
{
    const QuestPage page = m_doc.page(name);
    Part p;
    p.words = wordCount(page.text);
    for (const QuestChoice &c : page.choices)
        p.choices += c.caption.isEmpty() ? 0 : 1;
    bool leads = false;
    if (rules::opensBattle(page.battle))
        leads = rules::leavesBattlePage(page.fight.win) || rules::leavesBattlePage(page.fight.lose)
                || (rules::escapeAllowed(page.fight.escapeCheck) && !page.fight.escape.isEmpty());
    p.ending = p.choices == 0 && !leads;
    return p;
}

void StoryStatistics::add(const Part &p, int sign)
{
    m_counts.pages += sign;
    m_counts.words += sign * p.words;
    m_counts.choices += sign * p.choices;
    m_counts.endings += sign * (p.ending ? 1 : 0);
}

void StoryStatistics::recountAll()
{
    const int findings = m_counts.findings;
    m_counts = {};
    m_counts.findings = findings;
    m_parts.clear();
    for (const QString &name : m_doc.pages()) {
        const QString key = foldPageName(name);
        if (m_parts.contains(key))
            continue;
        const Part p = measure(name);
        m_parts.insert(key, p);
        add(p, 1);
    }
    Q_EMIT changed();
}

// The page named section (a listed page or not, present or gone) as it
// stands now.
void StoryStatistics::recount(const QString &section)
{
    const QString key = foldPageName(section);
    const auto old = m_parts.constFind(key);
    const bool listed = m_doc.pageIndex(section) >= 0;
    if (old == m_parts.cend() && !listed)
        return; // "Story Info" and other sections that are no listed page
    if (old != m_parts.cend()) {
        add(old.value(), -1);
        m_parts.erase(old);
    }
    if (listed) {
        const Part p = measure(section);
        m_parts.insert(key, p);
        add(p, 1);
    }
    Q_EMIT changed();
}

void StoryStatistics::setFindings(int findings)
{
    if (findings == m_counts.findings)
        return;
    m_counts.findings = findings;
    Q_EMIT changed();
}

QString StoryStatistics::text() const
{
    auto n = [](qint64 v, const char *one, const char *many) {
        return v == 1 ? QStringLiteral("1 %1").arg(QLatin1String(one)) : QStringLiteral("%1 %2").arg(v).arg(QLatin1String(many));
    };
    return QStringList{n(m_counts.pages, "page", "pages"), n(m_counts.words, "word", "words"),
                       n(m_counts.choices, "choice", "choices"), n(m_counts.endings, "ending", "endings"),
                       n(m_counts.findings, "finding", "findings")}
        .join(QStringLiteral(", "));
}

} // namespace fc::story
