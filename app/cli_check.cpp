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

// Output written while it is made, a block at a time: a report's steps can
// come to far more text than is worth holding at once.
class Stream
{
public:
    ~Stream() { flush(); }
    Stream &operator<<(const QString &s)
    {
        m_buffer += s.toUtf8();
        return spill();
    }
    Stream &operator<<(const char *s)
    {
        m_buffer += s;
        return spill();
    }
    Stream &operator<<(char c)
    {
        m_buffer += c;
        return spill();
    }
    Stream &operator<<(qint64 n)
    {
        m_buffer += QByteArray::number(n);
        return spill();
    }
    void flush()
    {
        std::fwrite(m_buffer.constData(), 1, size_t(m_buffer.size()), stdout);
        std::fflush(stdout);
        m_buffer.clear();
    }

private:
    Stream &spill()
    {
        if (m_buffer.size() >= 1 << 16)
            flush();
        return *this;
    }
    QByteArray m_buffer;
};

QJsonValue score(const std::optional<int> &v)
{
    return v ? QJsonValue(*v) : QJsonValue(QJsonValue::Null);
}

QString scoreText(const std::optional<int> &lo, const std::optional<int> &hi)
{
    if (!lo && !hi)
        return QStringLiteral("unbounded (a loop changes it)");
    if (!hi)
        return QStringLiteral("%1 or more (a loop adds to it)").arg(*lo);
    if (!lo)
        return QStringLiteral("%1 or less (a loop takes from it)").arg(*hi);
    return *lo == *hi ? QString::number(*lo) : QStringLiteral("%1..%2").arg(*lo).arg(*hi);
}

void writeCheckText(const QString &quest, const check::CheckReport &r)
{
    Stream s;
    s << QFileInfo(quest).fileName() << ": " << r.states << (r.states == 1 ? " state" : " states") << ", "
      << qint64(r.endings.size()) << (r.endings.size() == 1 ? " ending" : " endings") << ", "
      << qint64(r.findings.size()) << (r.findings.size() == 1 ? " finding" : " findings") << '\n';
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
            s << "    steps: " << f.steps.brief() << '\n';
    }
    if (!r.endings.isEmpty()) {
        s << "\nendings:\n";
        for (const check::Ending &e : r.endings)
            s << "  page " << e.page << ": " << e.states << (e.states == 1 ? " state" : " states") << ", score "
              << scoreText(e.minScore, e.maxScore) << '\n';
    }
}

// A JSON string as QJsonDocument writes it.
QByteArray jsonString(const QString &text)
{
    const QByteArray utf8 = text.toUtf8();
    QByteArray out;
    out.reserve(utf8.size() + 2);
    out += '"';
    for (const char c : utf8) {
        switch (c) {
        case '"': out += "\\\""; break;
        case '\\': out += "\\\\"; break;
        case '\b': out += "\\b"; break;
        case '\f': out += "\\f"; break;
        case '\n': out += "\\n"; break;
        case '\r': out += "\\r"; break;
        case '\t': out += "\\t"; break;
        default:
            if (uchar(c) < 0x20)
                out += "\\u00" + QByteArray::number(uchar(c), 16).rightJustified(2, '0');
            else
                out += c;
        }
    }
    out += '"';
    return out;
}

QByteArray jsonScore(const std::optional<int> &v)
{
    return v ? QByteArray::number(*v) : QByteArrayLiteral("null");
}

// The report as QJsonDocument::Indented writes it (keys in order, four
// blanks a level), every finding's steps in full, written while it is made.
void writeCheckJson(const check::CheckReport &r)
{
    Stream s;
    auto str = [](const QString &t) { return QString::fromUtf8(jsonString(t)); };
    s << "{\n    \"endings\": [\n";
    for (qsizetype i = 0; i < r.endings.size(); ++i) {
        const check::Ending &e = r.endings[i];
        s << "        {\n            \"max_score\": " << jsonScore(e.maxScore).constData()
          << ",\n            \"min_score\": " << jsonScore(e.minScore).constData() << ",\n            \"page\": "
          << str(e.page) << ",\n            \"states\": " << e.states << "\n        }"
          << (i + 1 < r.endings.size() ? ",\n" : "\n");
    }
    s << "    ],\n    \"findings\": [\n";
    for (qsizetype i = 0; i < r.findings.size(); ++i) {
        const check::Finding &f = r.findings[i];
        s << "        {\n            \"key\": " << str(f.key) << ",\n            \"kind\": " << str(f.kind)
          << ",\n            \"message\": " << str(f.message) << ",\n            \"page\": " << str(f.page)
          << ",\n            \"steps\": [\n";
        bool first = true;
        f.steps.forEach([&](const QString &step) {
            s << (first ? "                " : ",\n                ") << str(step);
            first = false;
        });
        s << (first ? "" : "\n") << "            ]\n        }" << (i + 1 < r.findings.size() ? ",\n" : "\n");
    }
    s << "    ],\n    \"states\": " << r.states << "\n}\n";
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
    if (json)
        writeCheckJson(r);
    else
        writeCheckText(quest, r);
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
