// Checks of the pages as written: destinations, battle settings, media,
// values the engine reads otherwise than meant, and lengths.
#include "engine/check/static_checks.h"

#include "engine/rules.h"
#include "engine/score.h"
#include "storage/encoder.h"
#include "storage/quest_format.h"

#include <QFileInfo>

#include <cmath>
#include <iterator>
#include <vector>

namespace fc::check::detail {

namespace {

// The checks of one quest, each page in turn.
class PageChecks
{
public:
    PageChecks(const QuestSnapshot &snapshot, const QuestPages &quest, const FirstStates &first,
               const CheckOptions &options, FindingList &out)
        : m_snapshot(snapshot), m_pages(quest.pages), m_first(first), m_options(options), m_out(out)
    {
    }

    void checkDestinations(int page);
    void checkBattleSettings(int page);
    void checkPageValues(int page);
    void checkStoryInfo();

private:
    void checkBattleDestinations(int page);
    void checkChoiceValues(int page);
    void checkMedia(int page, const QString &key, const QString &value);
    void checkSavedGameText(int page, const QString &key, const QString &text, const QString &what);
    void checkLength(int page, const QString &key, const QString &value, int limit);
    void add(const char *kind, int page, const QString &key, const QString &message, std::int32_t state = -1)
    {
        m_out.add(kind, page, key, message, state);
    }
    void addStatic(int page, const QString &key, const QString &message, const char *kind)
    {
        add(kind, page, key, message, m_first.of(page));
    }

    const QuestSnapshot &m_snapshot;
    const std::vector<Page> &m_pages;
    const FirstStates &m_first;
    const CheckOptions &m_options;
    FindingList &m_out;
};

void PageChecks::checkLength(int page, const QString &key, const QString &value, int limit)
{
    if (value.size() > limit)
        add("suspicious-value", page, key,
            QStringLiteral("%1 is %2 characters long; the editor takes at most %3").arg(key).arg(value.size()).arg(limit),
            m_first.of(page));
}

void PageChecks::checkMedia(int page, const QString &key, const QString &value)
{
    if (value.isEmpty())
        return;
    const QString beside =
        rules::mediaBesideQuest(m_options.mediaBeside.isEmpty() ? m_snapshot.file() : m_options.mediaBeside, value);
    const QString path = beside.isEmpty() ? value : beside;
    if (QFileInfo::exists(path))
        return;
    QString message = QStringLiteral("%1 %2 is not found%3").arg(key, quoted(value),
                                                                 beside.isEmpty() ? QString() : QStringLiteral(" beside the quest"));
    if (value.contains(QLatin1Char('\\')))
        message += QStringLiteral(" (\"\\\" is no folder separator here; use \"/\")");
    add("missing-media", page, key, message, m_first.of(page));
}

// Texts a saved game stores scrambled: the page text, the captions, and the
// page name.
void PageChecks::checkSavedGameText(int page, const QString &key, const QString &text, const QString &what)
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
        add("suspicious-value", page, key, what + QLatin1Char(' ') + problem, m_first.of(page));
}

// Choices whose destination names no page.
void PageChecks::checkDestinations(int p)
{
    using namespace quest;
    const Page &page = m_pages[size_t(p)];
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
        add("broken-destination", p, key, message, m_first.offered[size_t(p)][size_t(i)]);
    }
}

// A battle page's destinations and way out.
void PageChecks::checkBattleDestinations(int p)
{
    using namespace quest;
    const Page &page = m_pages[size_t(p)];
    const std::int32_t open = m_first.open[size_t(p)];
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
}

// A battle page's destinations and way out; battle settings on a page
// whose battle never opens.
void PageChecks::checkBattleSettings(int p)
{
    using namespace quest;
    const Page &page = m_pages[size_t(p)];
    if (page.battle) {
        checkBattleDestinations(p);
        return;
    }
    static const QLatin1String otherBattleKeys[] = {kBattleMonName, kBattleMonHp, kBattleImage, kBattleMusic};
    bool settings = !page.win.isEmpty() || !page.lose.isEmpty() || !page.escapePage.isEmpty() || !page.loot.isEmpty();
    for (const QLatin1String &k : otherBattleKeys)
        settings = settings || !m_snapshot.read(page.name, k).isEmpty();
    if (settings)
        addStatic(p, QString(kBattle),
                  QStringLiteral("the page has battle settings but \"Battle\" is %1, not \"1\": its battle "
                                 "never opens")
                      .arg(quoted(page.battleValue)),
                  "battle-never-opened");
}

// Choices' values read otherwise than meant, and their lengths.
void PageChecks::checkChoiceValues(int p)
{
    using namespace quest;
    const Page &page = m_pages[size_t(p)];
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
}

// Media where the engine looks for them, values the engine reads otherwise
// than meant, and texts longer than the editor takes.
void PageChecks::checkPageValues(int p)
{
    using namespace quest;
    const Page &page = m_pages[size_t(p)];
    const QString &name = page.name;

    // Media.
    const QLatin1String pageKeys[] = {kImage, kMovie, kMusic, kMp3, kPageText, kLocation};
    static const QString pageKeyNames[] = {kImage, kMovie, kMusic, kMp3, kPageText, kLocation};
    static const std::vector<QStringView> pageKeyViews(std::begin(pageKeyNames), std::end(pageKeyNames));
    QString values[std::size(pageKeys)];
    m_snapshot.readValues(name, pageKeyViews, values);
    for (size_t k = 0; k < 4; ++k)
        checkMedia(p, pageKeys[k], values[k]);
    if (page.battle)
        for (const QLatin1String &k : {kBattleImage, kBattleMusic})
            checkMedia(p, k, m_snapshot.read(name, k));

    // Values read otherwise than meant.
    checkChoiceValues(p);
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

// Story information longer than the editor takes.
void PageChecks::checkStoryInfo()
{
    for (const QLatin1String &k : {quest::kTitle, quest::kAuthor, quest::kVersion}) {
        const QString v = m_snapshot.read(quest::kStoryInfoSection, k);
        if (v.size() > kLongText) {
            Finding f{QStringLiteral("suspicious-value"), QString(quest::kStoryInfoSection), k,
                      QStringLiteral("%1 is %2 characters long; the editor takes at most %3").arg(k).arg(v.size()).arg(kLongText),
                      {}};
            m_out.addUnplaced(f);
        }
    }
}

} // namespace

void checkAsWritten(const QuestSnapshot &snapshot, const QuestPages &quest, const FirstStates &first,
                    const CheckOptions &options, FindingList &out)
{
    PageChecks checks(snapshot, quest, first, options, out);
    for (int p = 0; p < int(quest.size()); ++p) {
        checks.checkDestinations(p);
        checks.checkBattleSettings(p);
        checks.checkPageValues(p);
    }
    checks.checkStoryInfo();
}

} // namespace fc::check::detail
