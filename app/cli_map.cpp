// fablecraft-cli map: the story map's layout as text, JSON or an SVG picture.
#include "app/cli_commands.h"

#include "editor/story_graph.h"
#include "editor/story_layout.h"

#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QSaveFile>
#include <QTextStream>

#include <cstdio>

namespace fc::cli {

namespace {

constexpr int kExitFailed = 1;

void writeOut(const QByteArray &bytes)
{
    std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stdout);
    std::fflush(stdout);
}

QByteArray jsonString(const QString &s)
{
    const QByteArray a = QJsonDocument(QJsonArray{s}).toJson(QJsonDocument::Compact);
    return a.mid(1, a.size() - 2);
}

// A page as JSON names it: its number when the name is a plain number.
QByteArray jsonPage(const QString &name)
{
    bool ok = false;
    const qint64 n = name.toLongLong(&ok);
    if (ok && n >= 0 && n < (qint64(1) << 53) && QString::number(n) == name)
        return QByteArray::number(n);
    return jsonString(name);
}

const char *boolText(bool b)
{
    return b ? "true" : "false";
}

QByteArray mapJson(const story::StoryGraph &g, const story::StoryLayout &l)
{
    QByteArray out;
    out.reserve(g.pages.size() * 110 + g.links.size() * 50);
    out += "{\"pages\": [";
    for (int i = 0; i < g.pages.size(); ++i) {
        const story::StoryPage &p = g.pages[i];
        out += i ? ",\n  " : "\n  ";
        out += "{\"page\": " + jsonPage(p.name) + ", \"x\": " + QByteArray::number(l.positions[i].x())
               + ", \"y\": " + QByteArray::number(l.positions[i].y()) + ", \"layer\": " + QByteArray::number(l.layers[i])
               + ", \"ending\": " + boolText(p.ending) + ", \"start\": " + boolText(p.start)
               + ", \"battle\": " + boolText(p.battle) + "}";
    }
    out += "],\n \"links\": [";
    for (int i = 0; i < g.links.size(); ++i) {
        const story::StoryLink &k = g.links[i];
        out += i ? ",\n  " : "\n  ";
        out += "{\"from\": " + jsonPage(g.pages[k.from].name) + ", \"to\": " + jsonPage(g.pages[k.to].name)
               + ", \"kind\": \"" + story::linkKindName(k.kind).toLatin1() + "\"}";
    }
    out += "]}\n";
    return out;
}

QByteArray mapText(const QString &quest, const story::StoryGraph &g, const story::StoryLayout &l)
{
    QString out;
    QTextStream s(&out);
    s << QFileInfo(quest).fileName() << ": " << g.pages.size() << (g.pages.size() == 1 ? " page" : " pages") << ", "
      << g.links.size() << (g.links.size() == 1 ? " link" : " links") << ", " << l.reachedLayers
      << (l.reachedLayers == 1 ? " layer" : " layers") << " from page 1\n";
    for (int i : g.byNumber()) {
        const story::StoryPage &p = g.pages[i];
        s << "page " << p.name << ": " << l.positions[i].x() << "," << l.positions[i].y() << ", layer " << l.layers[i];
        if (p.start)
            s << ", start";
        if (p.ending)
            s << ", ending";
        if (p.battle)
            s << ", battle";
        if (!l.reached[i])
            s << ", not reached from page 1";
        if (l.pinned[i])
            s << ", placed by the author";
        s << '\n';
    }
    for (const story::StoryLink &k : g.links)
        s << g.pages[k.from].name << " -> " << g.pages[k.to].name << " " << story::linkKindName(k.kind) << '\n';
    for (const story::BrokenLink &b : g.broken)
        s << g.pages[b.from].name << " -> " << b.destination << " " << story::linkKindName(b.kind)
          << " (no such page)\n";
    return out.toUtf8();
}

QString xmlText(const QString &s)
{
    return s.toHtmlEscaped();
}

const char *linkColour(story::LinkKind kind)
{
    switch (kind) {
    case story::LinkKind::Win: return "#2e7d32";
    case story::LinkKind::Lose: return "#c62828";
    case story::LinkKind::Escape: return "#ef6c00";
    default: return "#455a64";
    }
}

QByteArray mapSvg(const story::StoryGraph &g, const story::StoryLayout &l)
{
    using namespace story;
    const QRect b = l.bounds.adjusted(-20, -20, 20, 20);
    QString out;
    QTextStream s(&out);
    s << "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
      << "<svg xmlns=\"http://www.w3.org/2000/svg\" viewBox=\"" << b.x() << ' ' << b.y() << ' ' << b.width() << ' '
      << b.height() << "\" width=\"" << b.width() << "\" height=\"" << b.height() << "\">\n"
      << "<defs><marker id=\"arrow\" viewBox=\"0 0 10 10\" refX=\"10\" refY=\"5\" markerWidth=\"8\" markerHeight=\"8\" "
         "orient=\"auto-start-reverse\"><path d=\"M 0 0 L 10 5 L 0 10 z\" fill=\"#455a64\"/></marker></defs>\n"
      << "<rect x=\"" << b.x() << "\" y=\"" << b.y() << "\" width=\"" << b.width() << "\" height=\"" << b.height()
      << "\" fill=\"#f4ecd8\"/>\n<g fill=\"none\" stroke-width=\"2\">\n";
    for (const StoryLink &k : g.links) {
        const QRect from = l.cardRect(k.from), to = l.cardRect(k.to);
        const QPoint a(from.right() + 1, from.center().y()), z(to.left(), to.center().y());
        s << "<line x1=\"" << a.x() << "\" y1=\"" << a.y() << "\" x2=\"" << z.x() << "\" y2=\"" << z.y()
          << "\" stroke=\"" << linkColour(k.kind) << '"';
        if (k.kind == LinkKind::Escape)
            s << " stroke-dasharray=\"8 5\"";
        else if (k.kind == LinkKind::Lose)
            s << " stroke-dasharray=\"3 4\"";
        s << " marker-end=\"url(#arrow)\"/>\n";
    }
    s << "</g>\n<g font-family=\"sans-serif\" font-size=\"13\">\n";
    for (int i = 0; i < g.pages.size(); ++i) {
        const StoryPage &p = g.pages[i];
        const QRect r = l.cardRect(i);
        const char *stroke = p.start ? "#2e7d32" : p.battle ? "#c62828" : "#6d4c41";
        s << "<g" << (l.reached[i] ? "" : " opacity=\"0.45\"") << "><rect x=\"" << r.x() << "\" y=\"" << r.y()
          << "\" width=\"" << r.width() << "\" height=\"" << r.height() << "\" rx=\"6\" fill=\"#fffaf0\" stroke=\""
          << stroke << "\" stroke-width=\"" << (p.start || p.ending ? 4 : 2) << "\"/>";
        QString head = QStringLiteral("%1").arg(p.name);
        if (p.start)
            head += QStringLiteral(" start");
        if (p.ending)
            head += QStringLiteral(" ending");
        if (p.battle)
            head += QStringLiteral(" battle");
        s << "<text x=\"" << r.x() + 8 << "\" y=\"" << r.y() + 20 << "\" font-weight=\"bold\">" << xmlText(head)
          << "</text><text x=\"" << r.x() + 8 << "\" y=\"" << r.y() + 40 << "\">" << xmlText(p.location.left(28))
          << "</text><text x=\"" << r.x() + 8 << "\" y=\"" << r.y() + 60 << "\" fill=\"#5d4037\">"
          << xmlText(p.firstWords.left(30)) << "</text></g>\n";
    }
    s << "</g>\n</svg>\n";
    return out.toUtf8();
}

} // namespace

int runMap(const QStringList &args)
{
    bool json = false;
    QString quest, svg;
    for (int i = 0; i < args.size(); ++i) {
        const QString &a = args[i];
        if (a == QLatin1String("--json")) {
            json = true;
        } else if (a == QLatin1String("--svg")) {
            if (i + 1 >= args.size())
                return usageError("map", QStringLiteral("--svg needs a file name"));
            svg = args[++i];
        } else if (a.startsWith(QLatin1String("--")) || !quest.isEmpty()) {
            return usageError("map", QStringLiteral("unexpected argument \"%1\"").arg(a));
        } else {
            quest = a;
        }
    }
    if (quest.isEmpty())
        return usageError("map", QStringLiteral("no quest named"));

    QTextStream err(stderr);
    QList<story::StoryPageInput> inputs;
    QString error;
    if (!story::loadStoryPages(quest, &inputs, &error)) {
        err << "fablecraft-cli map: cannot read " << quest << ": " << error << '\n';
        return kExitFailed;
    }
    const story::StoryGraph graph = story::buildStoryGraph(inputs);
    story::PinnedPositions pinned;
    const QString side = story::sideFilePath(quest);
    if (!story::readSideFile(side, &pinned, &error))
        err << "fablecraft-cli map: the saved card positions are not used: " << error << '\n';
    const story::StoryLayout layout = story::layoutStory(graph, pinned);

    if (!svg.isEmpty()) {
        QSaveFile file(svg);
        if (!file.open(QIODevice::WriteOnly) || file.write(mapSvg(graph, layout)) < 0 || !file.commit()) {
            err << "fablecraft-cli map: cannot write " << svg << ": " << file.errorString() << '\n';
            return kExitFailed;
        }
    }
    writeOut(json ? mapJson(graph, layout) : mapText(quest, graph, layout));
    return 0;
}

} // namespace fc::cli
