// fablecraft-cli check and playtest: the quest checker and the playtester.
#include "app/cli_commands.h"

#include "engine/check/checker.h"
#include "engine/check/playtest.h"

#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTextStream>

#include <cstdio>

namespace fc::cli {

namespace {

constexpr int kExitFindings = 1;
void writeOut(const QString &text)
{
    const QByteArray bytes = text.toUtf8();
    std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stdout);
    std::fflush(stdout);
}

QJsonValue score(const std::optional<int> &v)
{
    return v ? QJsonValue(*v) : QJsonValue(QJsonValue::Null);
}

QString scoreText(const std::optional<int> &lo, const std::optional<int> &hi)
{
    if (!lo || !hi)
        return QStringLiteral("unbounded (a loop changes it)");
    return *lo == *hi ? QString::number(*lo) : QStringLiteral("%1..%2").arg(*lo).arg(*hi);
}

QString checkText(const QString &quest, const check::CheckReport &r)
{
    QString out;
    QTextStream s(&out);
    s << QFileInfo(quest).fileName() << ": " << r.states << (r.states == 1 ? " state" : " states") << ", "
      << r.endings.size() << (r.endings.size() == 1 ? " ending" : " endings") << ", " << r.findings.size()
      << (r.findings.size() == 1 ? " finding" : " findings") << '\n';
    QString kind;
    for (const check::Finding &f : r.findings) {
        if (f.kind != kind) {
            kind = f.kind;
            s << '\n' << kind << ":\n";
        }
        s << "  page " << (f.page.isEmpty() ? QStringLiteral("-") : f.page);
        if (!f.key.isEmpty())
            s << ", " << f.key;
        s << ": " << f.message << '\n';
        if (!f.steps.isEmpty())
            s << "    steps: " << f.steps.join(QLatin1Char(' ')) << '\n';
    }
    if (!r.endings.isEmpty()) {
        s << "\nendings:\n";
        for (const check::Ending &e : r.endings)
            s << "  page " << e.page << ": " << e.states << (e.states == 1 ? " state" : " states") << ", score "
              << scoreText(e.minScore, e.maxScore) << '\n';
    }
    return out;
}

QJsonObject checkJson(const check::CheckReport &r)
{
    QJsonArray findings;
    for (const check::Finding &f : r.findings)
        findings.append(QJsonObject{{QStringLiteral("kind"), f.kind},
                                    {QStringLiteral("page"), f.page},
                                    {QStringLiteral("key"), f.key},
                                    {QStringLiteral("message"), f.message},
                                    {QStringLiteral("steps"), QJsonArray::fromStringList(f.steps)}});
    QJsonArray endings;
    for (const check::Ending &e : r.endings)
        endings.append(QJsonObject{{QStringLiteral("page"), e.page},
                                   {QStringLiteral("states"), e.states},
                                   {QStringLiteral("min_score"), score(e.minScore)},
                                   {QStringLiteral("max_score"), score(e.maxScore)}});
    return QJsonObject{{QStringLiteral("findings"), findings},
                       {QStringLiteral("endings"), endings},
                       {QStringLiteral("states"), r.states}};
}

QString playtestText(const QString &quest, const check::PlaytestReport &r)
{
    QString out;
    QTextStream s(&out);
    s << QFileInfo(quest).fileName() << ": " << r.runs << " runs, seed " << r.seed << ", at most " << r.maxSteps
      << " moves a run\n";
    s << "score at the end: " << scoreText(r.minScore, r.maxScore) << '\n';
    s << "runs that did not end (loops): " << r.loops << "; stuck with every choice hidden: " << r.stuck
      << "; ended on a page that does not exist: " << r.nowhere << '\n';
    s << "\nendings:\n";
    for (const auto &e : r.endings)
        s << "  page " << e.page << ": " << e.runs << (e.runs == 1 ? " run" : " runs") << ", score "
          << scoreText(e.minScore, e.maxScore) << '\n';
    if (!r.battles.isEmpty()) {
        s << "\nbattles:\n";
        for (const auto &b : r.battles)
            s << "  page " << b.page << ": won " << b.won << ", lost " << b.lost << ", escaped " << b.escaped << '\n';
    }
    s << "\npages never reached: " << (r.neverReached.isEmpty() ? QStringLiteral("none") : r.neverReached.join(QStringLiteral(", ")))
      << '\n';
    s << "\npages reached (visits, runs):\n";
    for (const auto &p : r.pages)
        s << "  page " << p.page << ": " << p.visits << ", " << p.runs << '\n';
    s << "\nchoices taken:\n";
    for (const auto &c : r.choices)
        s << "  page " << c.page << " choice " << c.choice << ": " << c.taken << '\n';
    return out;
}

QJsonObject playtestJson(const check::PlaytestReport &r)
{
    QJsonArray pages, choices, endings, battles;
    for (const auto &p : r.pages)
        pages.append(QJsonObject{{QStringLiteral("page"), p.page}, {QStringLiteral("visits"), p.visits}, {QStringLiteral("runs"), p.runs}});
    for (const auto &c : r.choices)
        choices.append(QJsonObject{{QStringLiteral("page"), c.page}, {QStringLiteral("choice"), c.choice}, {QStringLiteral("taken"), c.taken}});
    for (const auto &e : r.endings)
        endings.append(QJsonObject{{QStringLiteral("page"), e.page},
                                   {QStringLiteral("runs"), e.runs},
                                   {QStringLiteral("min_score"), e.minScore},
                                   {QStringLiteral("max_score"), e.maxScore}});
    for (const auto &b : r.battles)
        battles.append(QJsonObject{{QStringLiteral("page"), b.page},
                                   {QStringLiteral("won"), b.won},
                                   {QStringLiteral("lost"), b.lost},
                                   {QStringLiteral("escaped"), b.escaped}});
    return QJsonObject{{QStringLiteral("runs"), r.runs},
                       {QStringLiteral("seed"), qint64(r.seed)},
                       {QStringLiteral("max_steps"), r.maxSteps},
                       {QStringLiteral("pages"), pages},
                       {QStringLiteral("choices"), choices},
                       {QStringLiteral("never_reached"), QJsonArray::fromStringList(r.neverReached)},
                       {QStringLiteral("endings"), endings},
                       {QStringLiteral("min_score"), score(r.minScore)},
                       {QStringLiteral("max_score"), score(r.maxScore)},
                       {QStringLiteral("battles"), battles},
                       {QStringLiteral("loops"), r.loops},
                       {QStringLiteral("stuck"), r.stuck},
                       {QStringLiteral("nowhere"), r.nowhere}};
}

} // namespace

int runCheck(const QStringList &args)
{
    bool json = false;
    QString quest;
    for (const QString &a : args) {
        if (a == QLatin1String("--json"))
            json = true;
        else if (a.startsWith(QLatin1String("--")))
            return usageError("check", QStringLiteral("unknown option ") + a);
        else if (quest.isEmpty())
            quest = a;
        else
            return usageError("check", QStringLiteral("only one QUEST is checked at a time"));
    }
    if (quest.isEmpty())
        return usageError("check", QStringLiteral("QUEST is missing"));
    // A bare name is a file in the working folder here, not in the profile
    // store's folder.
    const check::CheckReport r = check::checkQuest(QFileInfo(quest).absoluteFilePath());
    if (!r.error.isEmpty()) {
        QTextStream(stderr) << "fablecraft-cli check: " << r.error << '\n';
        return kExitUsage;
    }
    writeOut(json ? QString::fromUtf8(QJsonDocument(checkJson(r)).toJson(QJsonDocument::Indented)) : checkText(quest, r));
    return r.needsFixing() ? kExitFindings : 0;
}

int runPlaytest(const QStringList &args)
{
    bool json = false;
    QString quest;
    check::PlaytestOptions options;
    for (qsizetype i = 0; i < args.size(); ++i) {
        const QString &a = args[i];
        if (a == QLatin1String("--json")) {
            json = true;
        } else if (a == QLatin1String("--runs") || a == QLatin1String("--seed")) {
            if (i + 1 >= args.size())
                return usageError("playtest", a + QStringLiteral(" needs a value"));
            bool ok = false;
            const uint v = args[++i].toUInt(&ok);
            if (a == QLatin1String("--runs")) {
                if (!ok || v < 1 || v > 100'000'000)
                    return usageError("playtest", QStringLiteral("--runs takes a whole number from 1 to 100000000"));
                options.runs = int(v);
            } else {
                if (!ok)
                    return usageError("playtest", QStringLiteral("--seed takes a whole number"));
                options.seed = v;
            }
        } else if (a.startsWith(QLatin1String("--"))) {
            return usageError("playtest", QStringLiteral("unknown option ") + a);
        } else if (quest.isEmpty()) {
            quest = a;
        } else {
            return usageError("playtest", QStringLiteral("only one QUEST is played at a time"));
        }
    }
    if (quest.isEmpty())
        return usageError("playtest", QStringLiteral("QUEST is missing"));
    const check::PlaytestReport r = check::playtestQuest(QFileInfo(quest).absoluteFilePath(), options);
    if (!r.error.isEmpty()) {
        QTextStream(stderr) << "fablecraft-cli playtest: " << r.error << '\n';
        return kExitUsage;
    }
    writeOut(json ? QString::fromUtf8(QJsonDocument(playtestJson(r)).toJson(QJsonDocument::Indented)) : playtestText(quest, r));
    return 0;
}

} // namespace fc::cli
