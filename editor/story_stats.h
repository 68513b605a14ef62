#pragma once
// The quest's statistics for the editor's status line: pages, words, choices,
// endings and findings. Kept up to date from the document's change notices:
// a change recounts only the page it touched, so an update costs the same on
// a quest of twenty pages as on one of twenty thousand.

#include "editor/quest_document.h"

#include <QHash>
#include <QObject>
#include <QString>

namespace fc::story {

struct StoryCounts
{
    int pages = 0;      // listed pages, each name once
    qint64 words = 0;   // words of the pages' texts
    int choices = 0;    // choices with a caption
    int endings = 0;    // pages no choice or battle leads on from
    int findings = 0;   // as the last check found them
    bool operator==(const StoryCounts &) const = default;
};

class StoryStatistics : public QObject
{
    Q_OBJECT
public:
    explicit StoryStatistics(const QuestDocument &doc, QObject *parent = nullptr);

    const StoryCounts &counts() const { return m_counts; }
    void setFindings(int findings);
    // "12 pages, 3456 words, 30 choices, 4 endings, 2 findings".
    QString text() const;

Q_SIGNALS:
    void changed();

private:
    struct Part
    {
        qint64 words = 0;
        int choices = 0;
        bool ending = false;
    };
    Part measure(const QString &page) const;
    void recountAll();
    void recount(const QString &page);
    void add(const Part &p, int sign);

    const QuestDocument &m_doc;
    QHash<QString, Part> m_parts; // by folded page name
    StoryCounts m_counts;
};

// Words of text: runs of characters between blanks.
qint64 wordCount(const QString &text);

} // namespace fc::story
