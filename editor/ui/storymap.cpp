#include "editor/ui/storymap.h"

#include "storage/quest_format.h"

#include <QApplication>
#include <QHBoxLayout>
#include <QHelpEvent>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QSet>
#include <QStaticText>
#include <QScrollBar>
#include <QToolButton>
#include <QToolTip>
#include <QVBoxLayout>
#include <QVarLengthArray>
#include <QWheelEvent>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <vector>

namespace fc {

using namespace story;

namespace {

constexpr int kMargin = 200;          // map units around the cards
constexpr int kOverviewSide = 1280;   // largest side of the whole-map picture (about a screen)
constexpr double kZoomStep = 1.25;

const QColor kBackground(0xf4, 0xec, 0xd8);
const QColor kCardFill(0xff, 0xfa, 0xf0);
const QColor kCardBorder(0x6d, 0x4c, 0x41);
const QColor kStartColour(0x2e, 0x7d, 0x32);
const QColor kBattleColour(0xc6, 0x28, 0x28);
const QColor kEndingColour(0x37, 0x47, 0x4f);
const QColor kCurrentColour(0x15, 0x65, 0xc0);
const QColor kMatchColour(0xf9, 0xa8, 0x25);

QColor linkColour(LinkKind kind)
{
    switch (kind) {
    case LinkKind::Win: return QColor(0x2e, 0x7d, 0x32);
    case LinkKind::Lose: return QColor(0xc6, 0x28, 0x28);
    case LinkKind::Escape: return QColor(0xef, 0x6c, 0x00);
    default: return QColor(0x45, 0x5a, 0x64);
    }
}

Qt::PenStyle linkStyle(LinkKind kind)
{
    switch (kind) {
    case LinkKind::Lose: return Qt::DashLine;
    case LinkKind::Escape: return Qt::DotLine;
    default: return Qt::SolidLine;
    }
}

int linkSlot(LinkKind kind)
{
    // Choices share one style; the battle keys have one each.
    switch (kind) {
    case LinkKind::Win: return 1;
    case LinkKind::Lose: return 2;
    case LinkKind::Escape: return 3;
    default: return 0;
    }
}
constexpr LinkKind kSlotKinds[4] = {LinkKind::Choice1, LinkKind::Win, LinkKind::Lose, LinkKind::Escape};

QColor findingColour(const QString &kind)
{
    if (kind == QLatin1String("broken-destination"))
        return QColor(0xd3, 0x2f, 0x2f);
    if (kind == QLatin1String("soft-lock") || kind == QLatin1String("no-way-out"))
        return QColor(0xef, 0x6c, 0x00);
    if (kind == QLatin1String("unreachable-page"))
        return QColor(0x75, 0x75, 0x75);
    if (kind == QLatin1String("never-offered"))
        return QColor(0x8e, 0x24, 0xaa);
    return QColor(0x19, 0x76, 0xd2);
}

// Findings worth a mark of their own; others only appear in the tooltip.
int findingRank(const QString &kind)
{
    static const char *const order[] = {"broken-destination", "soft-lock", "no-way-out", "never-offered",
                                        "unreachable-page"};
    for (int i = 0; i < 5; ++i)
        if (kind == QLatin1String(order[i]))
            return i;
    return 5;
}

// Where a link leaves from and arrives at: the facing sides of the cards.
QLineF linkLine(const QRect &from, const QRect &to)
{
    if (to.left() > from.right())
        return QLineF(QPointF(from.right() + 1, from.center().y()), QPointF(to.left(), to.center().y()));
    if (to.right() < from.left())
        return QLineF(QPointF(from.left(), from.center().y()), QPointF(to.right() + 1, to.center().y()));
    if (to.top() > from.bottom())
        return QLineF(QPointF(from.center().x(), from.bottom() + 1), QPointF(to.center().x(), to.top()));
    return QLineF(QPointF(from.center().x(), from.top()), QPointF(to.center().x(), to.bottom() + 1));
}

// Cuts line to rect (Liang-Barsky); false when nothing of it is inside.
bool clipLine(QLineF &line, const QRectF &rect)
{
    double t0 = 0, t1 = 1;
    const double dx = line.dx(), dy = line.dy();
    const double p[4] = {-dx, dx, -dy, dy};
    const double q[4] = {line.x1() - rect.left(), rect.right() - line.x1(), line.y1() - rect.top(), rect.bottom() - line.y1()};
    for (int i = 0; i < 4; ++i) {
        if (p[i] == 0) {
            if (q[i] < 0)
                return false;
            continue;
        }
        const double t = q[i] / p[i];
        if (p[i] < 0)
            t0 = std::max(t0, t);
        else
            t1 = std::min(t1, t);
        if (t0 > t1)
            return false;
    }
    const QPointF a = line.p1();
    line = QLineF(a + QPointF(dx, dy) * t0, a + QPointF(dx, dy) * t1);
    return true;
}

} // namespace

// Cards found by the cells of a grid over the map; a card is in every cell it
// touches. The grid has at most kMaxCells cells a side, so its size stays
// bounded however far an author moves a card.
struct StoryMap::Grid
{
    static constexpr int kMaxCells = 256;
    QRect area;
    int cellW = 1, cellH = 1, nx = 0, ny = 0;
    std::vector<QList<int>> cells;
    mutable std::vector<int> stamp;
    mutable int stampValue = 0;

    void reset(const QRect &bounds, int pages)
    {
        area = bounds.adjusted(-kMargin, -kMargin, kMargin, kMargin);
        cellW = std::max(4 * kStrideX, (area.width() + kMaxCells - 1) / kMaxCells);
        cellH = std::max(8 * kStrideY, (area.height() + kMaxCells - 1) / kMaxCells);
        nx = std::max(1, (area.width() + cellW - 1) / cellW);
        ny = std::max(1, (area.height() + cellH - 1) / cellH);
        cells.assign(size_t(nx) * size_t(ny), {});
        stamp.assign(size_t(pages), 0);
        stampValue = 0;
    }
    bool covers(const QRect &r) const { return area.contains(r); }
    template <typename F> void forCells(const QRectF &r, F &&f) const
    {
        const int x0 = std::clamp(int(std::floor((r.left() - area.left()) / cellW)), 0, nx - 1);
        const int x1 = std::clamp(int(std::floor((r.right() - area.left()) / cellW)), 0, nx - 1);
        const int y0 = std::clamp(int(std::floor((r.top() - area.top()) / cellH)), 0, ny - 1);
        const int y1 = std::clamp(int(std::floor((r.bottom() - area.top()) / cellH)), 0, ny - 1);
        for (int y = y0; y <= y1; ++y)
            for (int x = x0; x <= x1; ++x)
                f(size_t(y) * size_t(nx) + size_t(x));
    }
};

StoryMap::StoryMap(QWidget *parent)
    : QAbstractScrollArea(parent)
    , m_grid(std::make_unique<Grid>())
{
    setObjectName(QStringLiteral("StoryMap"));
    setAccessibleName(tr("Story map"));
    setAccessibleDescription(tr("Arrow keys move to the nearest card, Tab to the next page by number, Enter opens "
                                "the page; Shift+arrow keys pan, Ctrl+plus and Ctrl+minus zoom, Ctrl+0 shows the "
                                "whole quest."));
    setFocusPolicy(Qt::StrongFocus);
    viewport()->setMouseTracking(true);
    viewport()->setAttribute(Qt::WA_OpaquePaintEvent);
    viewport()->setAutoFillBackground(false);
    horizontalScrollBar()->setSingleStep(40);
    verticalScrollBar()->setSingleStep(40);
    setMinimumSize(160, 120);
}

StoryMap::~StoryMap() = default;

void StoryMap::setStory(const StoryGraph &graph, const QString &sideFile)
{
    m_graph = graph;
    m_numbers.clear();
    m_sideFile = sideFile;
    m_sideFileError.clear();
    PinnedPositions pinned;
    if (!sideFile.isEmpty() && !readSideFile(sideFile, &pinned, &m_sideFileError))
        pinned.clear();
    m_layout = layoutStory(m_graph, pinned);

    const int n = int(m_graph.pages.size());
    m_byNumber = m_graph.byNumber();
    rankByNumber();
    indexLinks();
    m_findings.clear();
    m_matches.clear();
    m_addedColumn = 0;
    rebuildGrid();
    m_overviewDirty = true;
    m_current = -1;
    fit();
    setCurrentPage(m_graph.start >= 0 ? m_graph.start : (n ? m_byNumber.first() : -1), false);
    viewport()->update();
}

void StoryMap::indexLinks()
{
    // Links are grouped by page; index them both ways.
    const int n = int(m_graph.pages.size());
    m_linkFirst.fill(0, n + 1);
    m_inFirst.fill(0, n + 1);
    for (const StoryLink &l : std::as_const(m_graph.links)) {
        ++m_linkFirst[l.from + 1];
        ++m_inFirst[l.to + 1];
    }
    for (int i = 0; i < n; ++i) {
        m_linkFirst[i + 1] += m_linkFirst[i];
        m_inFirst[i + 1] += m_inFirst[i];
    }
    m_inLinks.resize(m_graph.links.size());
    QList<int> fill = m_inFirst;
    for (int k = 0; k < m_graph.links.size(); ++k)
        m_inLinks[fill[m_graph.links[k].to]++] = k;
}

void StoryMap::findReached()
{
    // As the layout finds them: every page a path of links leads to from page 1.
    const int n = int(m_graph.pages.size());
    m_layout.reached.fill(false, n);
    if (m_graph.start < 0)
        return;
    QList<int> queue{m_graph.start};
    m_layout.reached[m_graph.start] = true;
    for (qsizetype at = 0; at < queue.size(); ++at)
        for (int k = m_linkFirst[queue[at]]; k < m_linkFirst[queue[at] + 1]; ++k) {
            const int to = m_graph.links[k].to;
            if (!m_layout.reached[to]) {
                m_layout.reached[to] = true;
                queue.append(to);
            }
        }
}

template <typename Drop> void StoryMap::spliceLinks(QList<StoryLink> added, Drop drop)
{
    auto before = [](const StoryLink &a, const StoryLink &b) {
        return a.from != b.from ? a.from < b.from : a.kind < b.kind;
    };
    std::sort(added.begin(), added.end(), before);
    QList<StoryLink> out;
    out.reserve(m_graph.links.size() + added.size());
    qsizetype a = 0;
    for (const StoryLink &l : std::as_const(added))
        m_overviewLinks.append({l, 1});
    for (const StoryLink &l : std::as_const(m_graph.links)) {
        if (drop(l)) {
            m_overviewLinks.append({l, -1});
            continue;
        }
        while (a < added.size() && before(added[a], l))
            out.append(added[a++]);
        out.append(l);
    }
    while (a < added.size())
        out.append(added[a++]);
    m_graph.links = std::move(out);
    indexLinks();
    const QList<bool> reached = m_layout.reached;
    findReached();
    for (int i = 0; i < reached.size(); ++i)
        if (reached[i] != m_layout.reached[i])
            m_overviewCards.append(i); // faded, or no longer
    // Changes to many links (a Replace All) are drawn anew as a whole.
    if (m_overviewLinks.size() + m_overviewCards.size() > m_graph.links.size() / 4 + 64)
        m_overviewDirty = true;
}

int StoryMap::addCard(const QString &name)
{
    const int i = int(m_graph.pages.size());
    StoryPage page;
    page.name = name;
    m_graph.pages.append(page);
    m_graph.index.insert(foldPageName(name), i);
    if (m_graph.start < 0 && m_graph.indexOf(QString(quest::kFirstPage)) == i) {
        m_graph.start = i;
        m_graph.pages[i].start = true;
    }
    // Cards added after the layout stand in a column of their own right of
    // it, each in the first free place from the top.
    if (m_addedColumn == 0)
        m_addedColumn = (i > 0 ? m_layout.bounds.right() + 1 : 0) + kLayerGapX;
    QRect r(QPoint(m_addedColumn, i > 0 ? m_layout.bounds.top() : 0), QSize(kCardWidth, kCardHeight));
    while (!cardsIn(QRectF(r.adjusted(-kGapX / 2, -kGapY / 2, kGapX / 2, kGapY / 2))).isEmpty())
        r.translate(0, kStrideY);
    m_layout.positions.append(r.topLeft());
    m_layout.layers.append(m_layout.reachedLayers);
    m_layout.reached.append(false);
    m_layout.pinned.append(false);
    m_layout.bounds = i > 0 ? m_layout.bounds | r : r;
    m_grid->stamp.push_back(0);
    if (m_grid->covers(r))
        gridAdd(i);
    else
        rebuildGrid();
    // In order by number.
    const auto at = std::lower_bound(m_byNumber.begin(), m_byNumber.end(), i, [this](int a, int b) {
        return pageNameLess(m_graph.pages[a].name, m_graph.pages[b].name);
    });
    m_byNumber.insert(at, i);
    rankByNumber();
    m_linkFirst.append(m_linkFirst.last());
    m_inFirst.append(m_inFirst.last());
    updateScrollBars();
    return i;
}

void StoryMap::updatePage(const StoryPageInput &input)
{
    int i = m_graph.indexOf(input.name);
    QList<StoryLink> resolved; // destinations that named a page the map did not show
    const bool added = i < 0;
    if (added) {
        i = addCard(input.name);
        const QString f = foldPageName(input.name);
        for (qsizetype b = m_graph.broken.size() - 1; b >= 0; --b)
            if (foldPageName(m_graph.broken[b].destination) == f) {
                resolved.append({m_graph.broken[b].from, i, m_graph.broken[b].kind});
                m_graph.broken.removeAt(b);
            }
    }
    PageLinks d = describePage(m_graph, i, input);
    d.page.name = m_graph.pages[i].name;
    d.page.start = i == m_graph.start;
    StoryPage &page = m_graph.pages[i];
    if (added || page.battle != d.page.battle || page.ending != d.page.ending)
        m_overviewCards.append(i);
    page = std::move(d.page);
    m_graph.broken.removeIf([i](const BrokenLink &b) { return b.from == i; });
    m_graph.broken.append(d.broken);
    const QList<StoryLink> current = m_graph.links.mid(m_linkFirst[i], m_linkFirst[i + 1] - m_linkFirst[i]);
    auto same = [](const QList<StoryLink> &a, const QList<StoryLink> &b) {
        return std::equal(a.cbegin(), a.cend(), b.cbegin(), b.cend(), [](const StoryLink &x, const StoryLink &y) {
            return x.to == y.to && x.kind == y.kind;
        });
    };
    if (!resolved.isEmpty() || !same(current, d.links))
        spliceLinks(resolved + d.links, [i](const StoryLink &l) { return l.from == i; });
    viewport()->update();
    if (i == m_current)
        updateAccessibleName();
}

void StoryMap::removePage(const QString &name)
{
    const int r = m_graph.indexOf(name);
    if (r < 0)
        return;
    auto shifted = [r](int i) { return i > r ? i - 1 : i; };
    m_graph.broken.removeIf([r](const BrokenLink &b) { return b.from == r; });
    for (BrokenLink &b : m_graph.broken)
        b.from = shifted(b.from);
    // Links to the page are broken now; those from it go with it.
    QList<StoryLink> links;
    links.reserve(m_graph.links.size());
    for (const StoryLink &l : std::as_const(m_graph.links)) {
        if (l.from == r)
            continue;
        if (l.to == r)
            m_graph.broken.append({shifted(l.from), l.kind, m_graph.pages[r].name});
        else
            links.append({shifted(l.from), shifted(l.to), l.kind});
    }
    m_graph.links = std::move(links);
    m_graph.pages.removeAt(r);
    m_numbers.clear();
    m_graph.index.remove(foldPageName(name));
    for (auto it = m_graph.index.begin(); it != m_graph.index.end(); ++it)
        *it = shifted(*it);
    m_graph.start = m_graph.start == r ? -1 : shifted(m_graph.start);
    m_layout.positions.removeAt(r);
    m_layout.layers.removeAt(r);
    m_layout.pinned.removeAt(r);
    m_byNumber.removeOne(r);
    for (int &p : m_byNumber)
        p = shifted(p);
    rankByNumber();
    auto reindex = [&](auto &byPage) {
        std::remove_reference_t<decltype(byPage)> out;
        for (auto it = byPage.cbegin(); it != byPage.cend(); ++it)
            if (it.key() != r)
                out.insert(shifted(it.key()), it.value());
        byPage = std::move(out);
    };
    reindex(m_findings);
    reindex(m_matches);
    const bool wasCurrent = m_current == r;
    m_current = wasCurrent ? -1 : shifted(m_current);
    indexLinks();
    findReached();
    rebuildGrid();
    m_overviewDirty = true;
    viewport()->update();
    updateAccessibleName();
    if (wasCurrent)
        Q_EMIT currentPageChanged(QString());
}

void StoryMap::rankByNumber()
{
    m_rankByNumber.resize(m_byNumber.size());
    for (int k = 0; k < m_byNumber.size(); ++k)
        m_rankByNumber[m_byNumber[k]] = k;
}

void StoryMap::rebuildGrid()
{
    m_grid->reset(m_layout.bounds, int(m_graph.pages.size()));
    for (int p = 0; p < m_graph.pages.size(); ++p)
        gridAdd(p);
}

void StoryMap::gridAdd(int page)
{
    m_grid->forCells(QRectF(m_layout.cardRect(page)), [&](size_t c) { m_grid->cells[c].append(page); });
}

void StoryMap::gridRemove(int page)
{
    m_grid->forCells(QRectF(m_layout.cardRect(page)), [&](size_t c) { m_grid->cells[c].removeOne(page); });
}

QList<int> StoryMap::cardsIn(const QRectF &mapRect) const
{
    QList<int> out;
    if (m_graph.pages.isEmpty())
        return out;
    const int stamp = ++m_grid->stampValue;
    m_grid->forCells(mapRect, [&](size_t c) {
        for (int p : m_grid->cells[c]) {
            if (m_grid->stamp[size_t(p)] == stamp)
                continue;
            m_grid->stamp[size_t(p)] = stamp;
            if (QRectF(m_layout.cardRect(p)).intersects(mapRect))
                out.append(p);
        }
    });
    return out;
}

void StoryMap::setFindings(const QHash<QString, QList<StoryMapFinding>> &findings)
{
    // Pages found unreachable are faded: only theirs change in the picture.
    QSet<int> unreachable;
    auto collect = [&] {
        for (auto it = m_findings.cbegin(); it != m_findings.cend(); ++it)
            for (const StoryMapFinding &f : it.value())
                if (f.kind == QLatin1String("unreachable-page"))
                    unreachable.insert(it.key());
    };
    collect();
    m_findings.clear();
    for (auto it = findings.cbegin(); it != findings.cend(); ++it) {
        const int p = m_graph.indexOf(it.key());
        if (p >= 0)
            m_findings[p] += it.value();
    }
    collect();
    for (int p : std::as_const(unreachable))
        m_overviewCards.append(p);
    viewport()->update();
    updateAccessibleName();
}

void StoryMap::setMatches(const QHash<QString, int> &counts)
{
    m_matches.clear();
    for (auto it = counts.cbegin(); it != counts.cend(); ++it) {
        const int p = m_graph.indexOf(it.key());
        if (p >= 0 && it.value() > 0)
            m_matches[p] += it.value();
    }
    viewport()->update();
    updateAccessibleName();
}

// --- view ---------------------------------------------------------------------

StoryMap::Detail StoryMap::detailAt(double zoom)
{
    if (zoom < kBoxesZoom)
        return Detail::Dots;
    return zoom < kCardsZoom ? Detail::Boxes : Detail::Cards;
}

void StoryMap::setZoom(double zoom, QPointF anchor)
{
    zoom = std::clamp(zoom, kMinZoom, kMaxZoom);
    if (zoom == m_zoom)
        return;
    const QPointF fixed = toMap(anchor);
    m_zoom = zoom;
    m_origin = fixed - anchor / m_zoom;
    updateScrollBars();
    viewport()->update();
    Q_EMIT zoomChanged(m_zoom);
}

void StoryMap::zoomIn()
{
    setZoom(m_zoom * kZoomStep);
}

void StoryMap::zoomOut()
{
    setZoom(m_zoom / kZoomStep);
}

void StoryMap::fit()
{
    const QRectF b = QRectF(m_layout.bounds).adjusted(-kMargin / 4, -kMargin / 4, kMargin / 4, kMargin / 4);
    const QSizeF v = viewport()->size();
    if (b.isEmpty() || v.isEmpty())
        return;
    const double z = std::clamp(std::min(v.width() / b.width(), v.height() / b.height()), kMinZoom, 1.0);
    const bool changed = z != m_zoom;
    m_zoom = z;
    m_origin = b.center() - QPointF(v.width(), v.height()) / 2 / m_zoom;
    updateScrollBars();
    viewport()->update();
    if (changed)
        Q_EMIT zoomChanged(m_zoom);
}

void StoryMap::setOrigin(QPointF origin)
{
    m_origin = origin;
    updateScrollBars();
    viewport()->update();
}

void StoryMap::centerOn(QPointF mapPoint)
{
    setOrigin(mapPoint - QPointF(viewport()->width(), viewport()->height()) / 2 / m_zoom);
}

void StoryMap::updateScrollBars()
{
    const QRectF area = QRectF(m_layout.bounds).adjusted(-kMargin, -kMargin, kMargin, kMargin);
    const QSize v = viewport()->size();
    auto sync = [&](QScrollBar *bar, double start, double length, double at, int page) {
        const int value = int(std::lround((at - start) * m_zoom));
        const int max = std::max(int(std::lround(length * m_zoom)) - page, value);
        bar->setRange(std::min(0, value), max);
        bar->setPageStep(page);
        bar->setValue(value);
    };
    m_syncingScrollBars = true;
    sync(horizontalScrollBar(), area.left(), area.width(), m_origin.x(), v.width());
    sync(verticalScrollBar(), area.top(), area.height(), m_origin.y(), v.height());
    m_syncingScrollBars = false;
}

void StoryMap::scrollContentsBy(int dx, int dy)
{
    if (m_syncingScrollBars)
        return;
    m_origin -= QPointF(dx, dy) / m_zoom;
    viewport()->update();
}

void StoryMap::resizeEvent(QResizeEvent *event)
{
    QAbstractScrollArea::resizeEvent(event);
    updateScrollBars();
}

// --- cards ------------------------------------------------------------------------

QString StoryMap::currentPageName() const
{
    return m_current >= 0 ? m_graph.pages[m_current].name : QString();
}

void StoryMap::setCurrentPage(int page, bool ensureVisible)
{
    if (page < -1 || page >= m_graph.pages.size())
        return;
    if (page == m_current) {
        if (ensureVisible && page >= 0)
            ensureCardVisible(page);
        return;
    }
    m_current = page;
    if (ensureVisible && page >= 0)
        ensureCardVisible(page);
    viewport()->update();
    updateAccessibleName();
    Q_EMIT currentPageChanged(currentPageName());
}

bool StoryMap::setCurrentPageName(const QString &name)
{
    const int p = m_graph.indexOf(name);
    if (p < 0)
        return false;
    setCurrentPage(p);
    return true;
}

void StoryMap::ensureCardVisible(int page)
{
    const QRectF card = QRectF(m_layout.cardRect(page)).adjusted(-kGapX, -kGapY, kGapX, kGapY);
    const QRectF view(m_origin, QSizeF(viewport()->size()) / m_zoom);
    if (view.contains(card))
        return;
    // Zoomed out past reading, come close enough to read the card.
    if (m_zoom < kCardsZoom && card.width() * kCardsZoom < viewport()->width())
        m_zoom = std::max(m_zoom, std::min(kCardsZoom * 1.2, double(viewport()->width()) / card.width()));
    QPointF o = m_origin;
    const QSizeF size = QSizeF(viewport()->size()) / m_zoom;
    if (card.width() > size.width() || card.left() < o.x())
        o.setX(card.left());
    else if (card.right() > o.x() + size.width())
        o.setX(card.right() - size.width());
    if (card.height() > size.height() || card.top() < o.y())
        o.setY(card.top());
    else if (card.bottom() > o.y() + size.height())
        o.setY(card.bottom() - size.height());
    setOrigin(o);
    Q_EMIT zoomChanged(m_zoom);
}

int StoryMap::cardAt(QPointF viewportPoint) const
{
    const QPointF m = toMap(viewportPoint);
    const QList<int> cards = cardsIn(QRectF(m, QSizeF(0.01, 0.01)));
    return cards.isEmpty() ? -1 : cards.last();
}

QString StoryMap::cardAccessibleName(int page) const
{
    if (page < 0 || page >= m_graph.pages.size())
        return {};
    const StoryPage &p = m_graph.pages[page];
    QStringList parts{tr("Page %1").arg(p.name)};
    if (!p.location.isEmpty())
        parts << p.location;
    parts << (p.choices == 1 ? tr("1 choice") : tr("%1 choices").arg(p.choices));
    if (p.start)
        parts << tr("start");
    if (p.ending)
        parts << tr("ending");
    if (p.battle)
        parts << tr("battle");
    if (faded(page))
        parts << tr("not reached from page 1");
    if (const int f = int(m_findings.value(page).size()))
        parts << (f == 1 ? tr("1 finding") : tr("%1 findings").arg(f));
    if (const int m = m_matches.value(page))
        parts << (m == 1 ? tr("1 match") : tr("%1 matches").arg(m));
    return parts.join(QStringLiteral(", "));
}

QString StoryMap::cardToolTip(int page) const
{
    if (page < 0 || page >= m_graph.pages.size())
        return {};
    QString tip = cardAccessibleName(page);
    const StoryPage &p = m_graph.pages[page];
    if (!p.firstWords.isEmpty())
        tip += QLatin1Char('\n') + p.firstWords;
    for (const StoryMapFinding &f : m_findings.value(page))
        tip += QLatin1Char('\n') + f.message;
    return tip;
}

bool StoryMap::faded(int page) const
{
    if (!m_layout.reached.value(page))
        return true;
    for (const StoryMapFinding &f : m_findings.value(page))
        if (f.kind == QLatin1String("unreachable-page"))
            return true;
    return false;
}

QRect StoryMap::handleRect(int page) const
{
    const QRect r = m_layout.cardRect(page);
    return QRect(r.right() - 9, r.center().y() - 10, 20, 20);
}

void StoryMap::moveCard(int page, QPoint topLeft)
{
    if (page < 0 || page >= m_graph.pages.size())
        return;
    gridRemove(page);
    // Make way: below any card the new place would cover.
    QRect r(topLeft, QSize(kCardWidth, kCardHeight));
    for (bool moved = true; moved;) {
        moved = false;
        for (int other : cardsIn(QRectF(r))) {
            if (other == page || !m_layout.cardRect(other).intersects(r))
                continue;
            r.moveTop(m_layout.cardRect(other).bottom() + 1 + kGapY);
            moved = true;
            break;
        }
    }
    m_layout.positions[page] = r.topLeft();
    m_layout.pinned[page] = true;
    if (!m_grid->covers(r)) {
        m_layout.bounds |= r;
        rebuildGrid();
    } else {
        m_layout.bounds |= r;
        gridAdd(page);
    }
    m_overviewDirty = true;
    saveMovedCard(page);
    updateScrollBars();
    viewport()->update();
    Q_EMIT cardMoved(m_graph.pages[page].name, r.topLeft());
}

void StoryMap::saveMovedCard(int page)
{
    if (m_sideFile.isEmpty())
        return;
    m_sideFileError.clear();
    writeSideFile(m_sideFile, {{m_graph.pages[page].name, m_layout.positions[page]}}, &m_sideFileError);
}

void StoryMap::updateAccessibleName()
{
    setAccessibleName(m_current >= 0 ? cardAccessibleName(m_current) : tr("Story map"));
}

// --- keyboard -------------------------------------------------------------------------

int StoryMap::nearestInDirection(int from, int dx, int dy) const
{
    const QPointF c0 = QRectF(m_layout.cardRect(from)).center();
    int best = -1;
    double bestScore = 0;
    for (int p = 0; p < m_graph.pages.size(); ++p) {
        if (p == from)
            continue;
        const QPointF d = QRectF(m_layout.cardRect(p)).center() - c0;
        const double along = d.x() * dx + d.y() * dy;
        const double across = std::abs(d.x() * dy - d.y() * dx);
        if (along <= 0 || across > 2 * along)
            continue;
        const double score = along + 2 * across;
        if (best < 0 || score < bestScore) {
            best = p;
            bestScore = score;
        }
    }
    return best;
}

void StoryMap::stepByNumber(int delta, bool *left)
{
    *left = false;
    if (m_byNumber.isEmpty()) {
        *left = true;
        return;
    }
    const int at = m_current >= 0 ? m_rankByNumber[m_current] : (delta > 0 ? -1 : int(m_byNumber.size()));
    const int next = at + delta;
    if (next < 0 || next >= m_byNumber.size()) {
        *left = true;
        return;
    }
    setCurrentPage(m_byNumber[next]);
}

bool StoryMap::focusNextPrevChild(bool next)
{
    // Tab walks the cards by number; after the last (or before the first) it
    // leaves the map as it would any other control.
    bool left = false;
    if (hasFocus())
        stepByNumber(next ? 1 : -1, &left);
    else
        left = true;
    return left ? QAbstractScrollArea::focusNextPrevChild(next) : true;
}

void StoryMap::focusInEvent(QFocusEvent *event)
{
    QAbstractScrollArea::focusInEvent(event);
    if (m_current < 0 && !m_graph.pages.isEmpty())
        setCurrentPage(m_graph.start >= 0 ? m_graph.start : m_byNumber.first());
    viewport()->update();
}

void StoryMap::keyPressEvent(QKeyEvent *event)
{
    const Qt::KeyboardModifiers mods = event->modifiers() & ~Qt::KeypadModifier;
    const int key = event->key();
    if (mods & Qt::ControlModifier) {
        if (key == Qt::Key_Plus || key == Qt::Key_Equal) {
            zoomIn();
            return;
        }
        if (key == Qt::Key_Minus) {
            zoomOut();
            return;
        }
        if (key == Qt::Key_0) {
            fit();
            return;
        }
    }
    int dx = 0, dy = 0;
    switch (key) {
    case Qt::Key_Left: dx = -1; break;
    case Qt::Key_Right: dx = 1; break;
    case Qt::Key_Up: dy = -1; break;
    case Qt::Key_Down: dy = 1; break;
    default: break;
    }
    if (dx || dy) {
        if (mods & Qt::ShiftModifier || m_current < 0) {
            const QSizeF v = QSizeF(viewport()->size()) / m_zoom / 8;
            setOrigin(m_origin + QPointF(dx * v.width(), dy * v.height()));
        } else if (mods == Qt::NoModifier) {
            const int next = nearestInDirection(m_current, dx, dy);
            if (next >= 0)
                setCurrentPage(next);
        }
        return;
    }
    if ((key == Qt::Key_Return || key == Qt::Key_Enter) && m_current >= 0) {
        Q_EMIT pageActivated(currentPageName());
        return;
    }
    if (key == Qt::Key_Home && m_graph.start >= 0) {
        setCurrentPage(m_graph.start);
        return;
    }
    QAbstractScrollArea::keyPressEvent(event);
}

// --- pointer -------------------------------------------------------------------------------

void StoryMap::wheelEvent(QWheelEvent *event)
{
    if (event->modifiers() & Qt::ControlModifier) {
        const double steps = event->angleDelta().y() / 120.0;
        if (steps != 0)
            setZoom(m_zoom * std::pow(kZoomStep, steps), event->position());
        event->accept();
        return;
    }
    QPointF delta = !event->pixelDelta().isNull() ? QPointF(event->pixelDelta()) : QPointF(event->angleDelta()) / 3;
    if (event->modifiers() & Qt::ShiftModifier)
        delta = QPointF(delta.y(), delta.x());
    setOrigin(m_origin - delta / m_zoom);
    event->accept();
}

void StoryMap::mousePressEvent(QMouseEvent *event)
{
    if (event->button() != Qt::LeftButton) {
        QAbstractScrollArea::mousePressEvent(event);
        return;
    }
    m_pressPos = event->position().toPoint();
    m_dragMoved = false;
    const int page = cardAt(event->position());
    if (page >= 0 && detail() == Detail::Cards && handleRect(page).contains(toMap(event->position()).toPoint())) {
        m_drag = Drag::Link;
        m_dragPage = page;
        m_linkEnd = toMap(event->position());
    } else if (page >= 0) {
        m_drag = Drag::Card;
        m_dragPage = page;
        m_dragCardStart = m_layout.positions[page];
        setCurrentPage(page, false);
    } else {
        m_drag = Drag::Pan;
        m_dragStartOrigin = m_origin;
        viewport()->setCursor(Qt::ClosedHandCursor);
    }
    event->accept();
}

void StoryMap::mouseMoveEvent(QMouseEvent *event)
{
    const QPoint delta = event->position().toPoint() - m_pressPos;
    if (!m_dragMoved && delta.manhattanLength() < QApplication::startDragDistance())
        return;
    switch (m_drag) {
    case Drag::None:
        return;
    case Drag::Pan:
        m_dragMoved = true;
        setOrigin(m_dragStartOrigin - QPointF(delta) / m_zoom);
        break;
    case Drag::Card:
        m_dragMoved = true;
        gridRemove(m_dragPage);
        m_layout.positions[m_dragPage] = m_dragCardStart + (QPointF(delta) / m_zoom).toPoint();
        if (m_grid->covers(m_layout.cardRect(m_dragPage)))
            gridAdd(m_dragPage);
        else
            rebuildGrid();
        viewport()->update();
        break;
    case Drag::Link:
        m_dragMoved = true;
        m_linkEnd = toMap(event->position());
        viewport()->update();
        break;
    }
}

void StoryMap::mouseReleaseEvent(QMouseEvent *event)
{
    const Drag drag = m_drag;
    m_drag = Drag::None;
    viewport()->unsetCursor();
    if (drag == Drag::Card && m_dragMoved) {
        moveCard(m_dragPage, m_layout.positions[m_dragPage]);
    } else if (drag == Drag::Link && m_dragMoved) {
        const int to = cardAt(event->position());
        if (to >= 0)
            Q_EMIT linkRequested(m_graph.pages[m_dragPage].name, m_graph.pages[to].name);
        viewport()->update();
    }
    event->accept();
}

void StoryMap::mouseDoubleClickEvent(QMouseEvent *event)
{
    const int page = cardAt(event->position());
    if (page >= 0) {
        setCurrentPage(page, false);
        Q_EMIT pageActivated(m_graph.pages[page].name);
    }
    event->accept();
}

bool StoryMap::viewportEvent(QEvent *event)
{
    if (event->type() == QEvent::ToolTip) {
        auto *help = static_cast<QHelpEvent *>(event);
        const int page = cardAt(help->pos());
        if (page >= 0)
            QToolTip::showText(help->globalPos(), cardToolTip(page), viewport(),
                               toView(m_layout.cardRect(page).toRectF().topLeft()).toPoint().isNull()
                                   ? QRect()
                                   : QRectF(toView(QPointF(m_layout.cardRect(page).topLeft())),
                                            QSizeF(kCardWidth, kCardHeight) * m_zoom)
                                         .toAlignedRect());
        else
            QToolTip::hideText();
        return true;
    }
    return QAbstractScrollArea::viewportEvent(event);
}

// --- painting ----------------------------------------------------------------------------------

void StoryMap::paintEvent(QPaintEvent *)
{
    QPainter p(viewport());
    paintView(p, viewport()->rect());
}

void StoryMap::paintView(QPainter &p, const QRect &viewRect)
{
    p.fillRect(viewRect, kBackground);
    if (m_graph.pages.isEmpty()) {
        p.setPen(kCardBorder);
        p.drawText(viewRect, Qt::AlignCenter, tr("No pages to show."));
        return;
    }
    const QRectF mapRect(m_origin, QSizeF(viewRect.size()) / m_zoom);
    const Detail d = detail();
    m_linksThinned = false;
    if (d == Detail::Dots) {
        updateOverview();
        paintOverview(p, mapRect);
        if (m_zoom > m_overviewScale * 1.5) {
            const QList<int> cards = cardsIn(mapRect);
            paintDots(p, cards);
        }
    } else {
        const QList<int> cards = cardsIn(mapRect);
        paintLinks(p, cards, mapRect, d == Detail::Cards);
        if (d == Detail::Boxes)
            paintBoxes(p, cards);
        else
            paintCards(p, cards);
    }
    paintMarks(p, mapRect);
    if (m_linksThinned && d != Detail::Dots) {
        const QString note = tr("Links of the selected card only; zoom in to see every link.");
        QFont f = font();
        p.setFont(f);
        const QRect box = p.fontMetrics().boundingRect(note).adjusted(-6, -3, 6, 3);
        const QRect at(QPoint(viewRect.left() + 8, viewRect.bottom() - box.height() - 8), box.size());
        p.setOpacity(0.9);
        p.fillRect(at, kCardFill);
        p.setOpacity(1);
        p.setPen(kCardBorder);
        p.drawText(at, Qt::AlignCenter, note);
    }
    if (m_drag == Drag::Link && m_dragMoved && m_dragPage >= 0) {
        p.setRenderHint(QPainter::Antialiasing);
        p.setPen(QPen(kCurrentColour, 2, Qt::DashLine));
        p.drawLine(toView(QRectF(handleRect(m_dragPage)).center()), toView(m_linkEnd));
    }
}

void StoryMap::buildOverview()
{
    // Drawn pixel by pixel: tens of thousands of lines through QPainter cost
    // seconds, while counting how many links cross each pixel costs a few
    // milliseconds and shows where links crowd.
    m_overviewDirty = false;
    m_overviewLinks.clear();
    m_overviewCards.clear();
    const QRect b = m_layout.bounds;
    m_overviewBounds = b;
    m_overviewScale = std::min({double(kOverviewSide) / std::max(1, b.width()),
                                double(kOverviewSide) / std::max(1, b.height()), kBoxesZoom});
    const int w = std::max(1, int(std::ceil(b.width() * m_overviewScale)) + 2);
    const int h = std::max(1, int(std::ceil(b.height() * m_overviewScale)) + 2);
    m_overviewCount[0].assign(size_t(w) * size_t(h), 0);
    m_overviewCount[1].assign(size_t(w) * size_t(h), 0);
    m_overview = QImage(w, h, QImage::Format_ARGB32_Premultiplied);
    for (const StoryLink &l : std::as_const(m_graph.links))
        countOverviewLink(l, 1, nullptr);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            colourOverviewPixel(x, y);
    for (int i = 0; i < m_graph.pages.size(); ++i)
        paintOverviewCard(i);
}

void StoryMap::countOverviewLink(const StoryLink &l, int delta, std::vector<QPoint> *touched)
{
    if (l.from == l.to)
        return;
    const int w = m_overview.width(), h = m_overview.height();
    const QRect b = m_overviewBounds;
    const double s = m_overviewScale;
    const QLineF line = linkLine(m_layout.cardRect(l.from), m_layout.cardRect(l.to));
    std::vector<std::uint8_t> &count = m_overviewCount[linkSlot(l.kind) == 0 ? 0 : 1];
    int x0 = std::clamp(int((line.x1() - b.left()) * s), 0, w - 1), y0 = std::clamp(int((line.y1() - b.top()) * s), 0, h - 1);
    const int x1 = std::clamp(int((line.x2() - b.left()) * s), 0, w - 1), y1 = std::clamp(int((line.y2() - b.top()) * s), 0, h - 1);
    const int dx = std::abs(x1 - x0), dy = -std::abs(y1 - y0), sx = x0 < x1 ? 1 : -1, sy = y0 < y1 ? 1 : -1;
    for (int err = dx + dy;;) {
        std::uint8_t &c = count[size_t(y0) * size_t(w) + size_t(x0)];
        // Counts stop at 255; one that stopped there is left there.
        if (delta > 0 && c < 255)
            ++c;
        else if (delta < 0 && c > 0 && c < 255)
            --c;
        if (touched)
            touched->push_back(QPoint(x0, y0));
        if (x0 == x1 && y0 == y1)
            break;
        const int e2 = 2 * err;
        if (e2 >= dy) {
            err += dy;
            x0 += sx;
        }
        if (e2 <= dx) {
            err += dx;
            y0 += sy;
        }
    }
}

void StoryMap::colourOverviewPixel(int x, int y)
{
    const size_t at = size_t(y) * size_t(m_overview.width()) + size_t(x);
    const int c = m_overviewCount[0][at], k = m_overviewCount[1][at];
    auto *row = reinterpret_cast<QRgb *>(m_overview.scanLine(y));
    if (!c && !k) {
        row[x] = 0;
        return;
    }
    // A haze that darkens where links crowd; battle links tint it only
    // where they are most of what passes.
    static const QColor choice = linkColour(LinkKind::Choice1), battle = linkColour(LinkKind::Lose);
    const QColor &colour = k > 2 * c ? battle : choice;
    const int a = std::min(140, 30 + 14 * (c + k));
    row[x] = qRgba(colour.red() * a / 255, colour.green() * a / 255, colour.blue() * a / 255, a);
}

QRect StoryMap::overviewCardPixels(int i) const
{
    const int w = m_overview.width(), h = m_overview.height();
    const QRect b = m_overviewBounds;
    const double s = m_overviewScale;
    const QRect r = m_layout.cardRect(i);
    const int x0 = std::clamp(int((r.left() - b.left()) * s), 0, w - 1), y0 = std::clamp(int((r.top() - b.top()) * s), 0, h - 1);
    const int x1 = std::clamp(int((r.right() - b.left()) * s), x0, w - 1), y1 = std::clamp(int((r.bottom() - b.top()) * s), y0, h - 1);
    return QRect(QPoint(x0, y0), QPoint(x1, y1));
}

void StoryMap::paintOverviewCard(int i)
{
    const StoryPage &pg = m_graph.pages[i];
    const QColor c = faded(i)    ? QColor(0xbc, 0xaa, 0xa4)
                     : pg.start  ? kStartColour
                     : pg.battle ? kBattleColour
                     : pg.ending ? kEndingColour
                                 : kCardBorder;
    const QRgb rgb = c.rgba();
    const QRect r = overviewCardPixels(i);
    for (int y = r.top(); y <= r.bottom(); ++y) {
        auto *row = reinterpret_cast<QRgb *>(m_overview.scanLine(y));
        std::fill(row + r.left(), row + r.right() + 1, rgb);
    }
}

void StoryMap::updateOverview()
{
    if (m_overviewDirty || m_overview.isNull() || m_overviewBounds != m_layout.bounds) {
        buildOverview();
        return;
    }
    // Only what changed since: the pixels of links taken away and added, and
    // the cards under them or whose colour changed.
    std::vector<QPoint> touched;
    for (const auto &[link, delta] : std::as_const(m_overviewLinks))
        countOverviewLink(link, delta, &touched);
    m_overviewLinks.clear();
    QSet<int> cards(m_overviewCards.cbegin(), m_overviewCards.cend());
    m_overviewCards.clear();
    const double s = m_overviewScale;
    for (const QPoint &px : touched) {
        colourOverviewPixel(px.x(), px.y());
        const QRectF area(QPointF(m_overviewBounds.topLeft()) + QPointF(px) / s, QSizeF(1, 1) / s);
        for (int c : cardsIn(area))
            cards.insert(c);
    }
    for (int c : std::as_const(cards))
        if (c >= 0 && c < m_graph.pages.size())
            paintOverviewCard(c);
}

void StoryMap::paintOverview(QPainter &p, const QRectF &mapRect)
{
    const QRectF b = m_layout.bounds;
    // Only the part of the picture in view is drawn.
    const QRectF visibleMap = b.intersected(mapRect);
    if (visibleMap.isEmpty())
        return;
    const QRectF source((visibleMap.topLeft() - b.topLeft()) * m_overviewScale, visibleMap.size() * m_overviewScale);
    const QRectF dest(toView(visibleMap.topLeft()), visibleMap.size() * m_zoom);
    p.setRenderHint(QPainter::SmoothPixmapTransform, m_zoom < m_overviewScale);
    p.drawImage(dest, m_overview, source);
}

void StoryMap::paintDots(QPainter &p, const QList<int> &cards)
{
    QList<QRectF> plain, marked;
    for (int c : cards) {
        const QRectF r(toView(QPointF(m_layout.positions[c])), QSizeF(kCardWidth, kCardHeight) * m_zoom);
        (m_graph.pages[c].start || m_graph.pages[c].battle ? marked : plain).append(r);
    }
    p.setPen(Qt::NoPen);
    p.setBrush(kCardBorder);
    p.drawRects(plain);
    p.setBrush(kBattleColour);
    p.drawRects(marked);
}

void StoryMap::paintLinks(QPainter &p, const QList<int> &cards, const QRectF &, bool arrows)
{
    // Each link once: the outgoing links of cards in view, and the incoming
    // links of cards in view whose source is out of view.
    QList<int> links;
    qsizetype count = 0;
    for (int c : cards)
        count += (m_linkFirst[c + 1] - m_linkFirst[c]) + (m_inFirst[c + 1] - m_inFirst[c]);
    auto linksOf = [&](int c, const QSet<int> &visible) {
        for (int k = m_linkFirst[c]; k < m_linkFirst[c + 1]; ++k)
            links.append(k);
        for (int k = m_inFirst[c]; k < m_inFirst[c + 1]; ++k)
            if (!visible.contains(m_graph.links[m_inLinks[k]].from))
                links.append(m_inLinks[k]);
    };
    bool tooMany = count > 2 * kLinkBudget;
    if (!tooMany) {
        const QSet<int> visible(cards.cbegin(), cards.cend());
        for (int c : cards)
            linksOf(c, visible);
        tooMany = links.size() > kLinkBudget;
    }
    if (tooMany) {
        // Too many to tell apart: the current card's links only.
        links.clear();
        if (m_current >= 0)
            linksOf(m_current, {m_current});
        if (links.size() > kLinkBudget) // a page thousands of pages lead to
            links.resize(kLinkBudget);
        m_linksThinned = true;
    }
    QVarLengthArray<QLineF, 256> lines[4];
    QVarLengthArray<bool, 256> heads[4]; // whether the line still ends at its card
    const QRectF clip = QRectF(QPointF(0, 0), QSizeF(viewport()->size())).adjusted(-20, -20, 20, 20);
    for (int k : std::as_const(links)) {
        const StoryLink &l = m_graph.links[k];
        if (l.from == l.to)
            continue;
        const QLineF full = linkLine(m_layout.cardRect(l.from), m_layout.cardRect(l.to));
        QLineF line(toView(full.p1()), toView(full.p2()));
        const QPointF end = line.p2();
        if (!clipLine(line, clip))
            continue;
        lines[linkSlot(l.kind)].append(line);
        heads[linkSlot(l.kind)].append(line.p2() == end);
    }
    // Lines without antialiasing take the raster engine's fastest path; only
    // the arrow heads are smoothed.
    p.setRenderHint(QPainter::Antialiasing, false);
    for (int slot = 0; slot < 4; ++slot) {
        if (lines[slot].isEmpty())
            continue;
        const QColor c = linkColour(kSlotKinds[slot]);
        // One-pixel cosmetic pens keep the raster engine's fast line drawer,
        // dashes included; wider pens are stroked as paths, dash by dash.
        QPen pen(c, 1, arrows ? linkStyle(kSlotKinds[slot]) : Qt::SolidLine);
        pen.setCosmetic(true);
        p.setPen(pen);
        p.drawLines(lines[slot].constData(), int(lines[slot].size()));
        if (!arrows)
            continue;
        // Arrow heads.
        p.setRenderHint(QPainter::Antialiasing, true);
        p.setPen(Qt::NoPen);
        p.setBrush(c);
        const double size = 9 * std::max(m_zoom, 0.6);
        for (qsizetype i = 0; i < lines[slot].size(); ++i) {
            const QLineF &line = lines[slot][i];
            if (!heads[slot][i] || line.length() < 1)
                continue;
            const QPointF tip = line.p2();
            const QPointF dir = (line.p2() - line.p1()) / line.length();
            const QPointF normal(-dir.y(), dir.x());
            const QPointF head[3] = {tip, tip - dir * size + normal * size * 0.5, tip - dir * size - normal * size * 0.5};
            p.drawPolygon(head, 3);
        }
        p.setRenderHint(QPainter::Antialiasing, false);
    }
    p.setRenderHint(QPainter::Antialiasing, false);
}

void StoryMap::paintBoxes(QPainter &p, const QList<int> &cards)
{
    // Batched: the boxes of one style in one call, and the numbers from
    // text laid out once per size.
    const int px = std::max(6, int(std::lround(28 * m_zoom)));
    if (px != m_numberSize) {
        m_numberSize = px;
        m_numbers.clear();
    }
    QFont font = p.font();
    font.setPixelSize(px);
    font.setBold(true);
    p.setFont(font);
    const bool numbers = kCardWidth * m_zoom >= 36;
    static const QColor borders[4] = {kStartColour, kBattleColour, kEndingColour, kCardBorder};
    QVarLengthArray<int, 512> byStyle[4][2];
    for (int c : cards) {
        const StoryPage &pg = m_graph.pages[c];
        const int style = pg.start ? 0 : pg.battle ? 1 : pg.ending ? 2 : 3;
        byStyle[style][faded(c) ? 1 : 0].append(c);
    }
    QVarLengthArray<QRectF, 512> rects;
    for (int f = 0; f < 2; ++f) {
        p.setOpacity(f ? 0.4 : 1.0);
        for (int style = 0; style < 4; ++style) {
            const auto &group = byStyle[style][f];
            if (group.isEmpty())
                continue;
            rects.clear();
            for (int c : group)
                rects.append(QRectF(toView(QPointF(m_layout.positions[c])), QSizeF(kCardWidth, kCardHeight) * m_zoom));
            p.setPen(QPen(borders[style], style == 0 || style == 2 ? 3 : 1));
            p.setBrush(kCardFill);
            p.drawRects(rects.constData(), int(rects.size()));
            if (!numbers)
                continue;
            p.setPen(borders[style]);
            for (qsizetype k = 0; k < group.size(); ++k) {
                auto it = m_numbers.find(group[k]);
                if (it == m_numbers.end()) {
                    QStaticText text(m_graph.pages[group[k]].name);
                    text.setPerformanceHint(QStaticText::AggressiveCaching);
                    text.prepare(QTransform(), font);
                    it = m_numbers.insert(group[k], text);
                }
                const QSizeF size = it->size();
                p.drawStaticText(rects[k].center() - QPointF(size.width(), size.height()) / 2, *it);
            }
        }
    }
    p.setOpacity(1.0);
    for (int c : cards) {
        if (const auto it = m_findings.constFind(c); it != m_findings.cend() && !it->isEmpty()) {
            const QRectF r(toView(QPointF(m_layout.positions[c])), QSizeF(kCardWidth, kCardHeight) * m_zoom);
            const QString &kind = std::min_element(it->cbegin(), it->cend(), [](const auto &a, const auto &b) {
                                      return findingRank(a.kind) < findingRank(b.kind);
                                  })->kind;
            p.setOpacity(faded(c) ? 0.4 : 1.0);
            p.setPen(Qt::NoPen);
            p.setBrush(findingColour(kind));
            const double d = std::max(4.0, 20 * m_zoom);
            p.drawEllipse(QRectF(r.right() - d - 2, r.top() + 2, d, d));
        }
    }
    p.setOpacity(1.0);
}

void StoryMap::paintCards(QPainter &p, const QList<int> &cards)
{
    p.setRenderHint(QPainter::Antialiasing);
    QFont head = p.font();
    head.setPixelSize(std::max(6, int(std::lround(15 * m_zoom))));
    head.setBold(true);
    QFont body = p.font();
    body.setPixelSize(std::max(6, int(std::lround(13 * m_zoom))));
    QFont badge = body;
    badge.setPixelSize(std::max(6, int(std::lround(11 * m_zoom))));
    badge.setBold(true);
    const QFontMetricsF bodyMetrics(body);
    const double pad = 8 * m_zoom;
    const double line = 20 * m_zoom;
    for (int c : cards) {
        const StoryPage &pg = m_graph.pages[c];
        const QRectF r(toView(QPointF(m_layout.positions[c])), QSizeF(kCardWidth, kCardHeight) * m_zoom);
        p.setOpacity(faded(c) ? 0.4 : 1.0);
        const QColor border = pg.start ? kStartColour : pg.battle ? kBattleColour : pg.ending ? kEndingColour : kCardBorder;
        p.setPen(QPen(border, (pg.start || pg.ending ? 3.5 : 1.5) * std::max(m_zoom, 0.6)));
        p.setBrush(kCardFill);
        p.drawRoundedRect(r, 6 * m_zoom, 6 * m_zoom);
        if (pg.ending) {
            p.setPen(QPen(border, 1));
            p.setBrush(Qt::NoBrush);
            p.drawRoundedRect(r.adjusted(4 * m_zoom, 4 * m_zoom, -4 * m_zoom, -4 * m_zoom), 4 * m_zoom, 4 * m_zoom);
        }
        // Header: number and badges.
        p.setFont(head);
        p.setPen(border);
        const QRectF headRect(r.left() + pad, r.top() + pad * 0.6, r.width() - 2 * pad, line);
        p.drawText(headRect, Qt::AlignLeft | Qt::AlignVCenter, pg.name);
        QStringList badges;
        if (pg.start)
            badges << tr("START");
        if (pg.battle)
            badges << tr("BATTLE");
        if (pg.ending)
            badges << tr("END");
        if (!badges.isEmpty()) {
            p.setFont(badge);
            p.drawText(headRect.adjusted(0, 0, -22 * m_zoom, 0), Qt::AlignRight | Qt::AlignVCenter,
                       badges.join(QLatin1Char(' ')));
        }
        p.setFont(body);
        p.setPen(QColor(0x3b, 0x2a, 0x1a));
        const double width = r.width() - 2 * pad;
        p.drawText(QRectF(r.left() + pad, headRect.bottom(), width, line), Qt::AlignLeft | Qt::AlignVCenter,
                   bodyMetrics.elidedText(pg.location, Qt::ElideRight, width));
        p.setPen(QColor(0x6d, 0x55, 0x45));
        const QRectF words(r.left() + pad, headRect.bottom() + line, width, r.bottom() - headRect.bottom() - line - pad * 0.5);
        p.setClipRect(words.toAlignedRect()); // a whole-pixel clip stays a rectangle, not a path
        p.drawText(words, Qt::AlignLeft | Qt::AlignTop | Qt::TextWordWrap, pg.firstWords);
        p.setClipping(false);
        // Choice handle: drag from it onto a card to link.
        p.setPen(QPen(kCurrentColour, 1.5));
        p.setBrush(QColor(0xe3, 0xf2, 0xfd));
        p.drawEllipse(QRectF(toView(QPointF(handleRect(c).topLeft())), QSizeF(20, 20) * m_zoom).adjusted(3 * m_zoom, 3 * m_zoom, -3 * m_zoom, -3 * m_zoom));
        // Findings mark.
        if (const auto it = m_findings.constFind(c); it != m_findings.cend() && !it->isEmpty()) {
            const QString &kind = std::min_element(it->cbegin(), it->cend(), [](const auto &a, const auto &b) {
                                      return findingRank(a.kind) < findingRank(b.kind);
                                  })->kind;
            const QRectF mark(r.right() - 22 * m_zoom, r.top() + 5 * m_zoom, 16 * m_zoom, 16 * m_zoom);
            p.setPen(Qt::NoPen);
            p.setBrush(findingColour(kind));
            p.drawEllipse(mark);
            p.setPen(Qt::white);
            p.setFont(badge);
            p.drawText(mark, Qt::AlignCenter, QStringLiteral("!"));
        }
    }
    p.setOpacity(1.0);
    p.setRenderHint(QPainter::Antialiasing, false);
}

void StoryMap::paintMarks(QPainter &p, const QRectF &mapRect)
{
    // Matches of a search: an outline and the count.
    if (!m_matches.isEmpty()) {
        QFont f = p.font();
        f.setPixelSize(std::max(9, int(std::lround(13 * m_zoom))));
        f.setBold(true);
        p.setFont(f);
        const bool counts = m_zoom >= kBoxesZoom;
        for (auto it = m_matches.cbegin(); it != m_matches.cend(); ++it) {
            const QRectF card = m_layout.cardRect(it.key());
            if (!card.intersects(mapRect))
                continue;
            QRectF r(toView(card.topLeft()), card.size() * m_zoom);
            if (r.width() < 6)
                r = QRectF(r.center() - QPointF(3, 3), QSizeF(6, 6));
            p.setPen(QPen(kMatchColour, 3));
            p.setBrush(Qt::NoBrush);
            p.drawRect(r.adjusted(-2, -2, 2, 2));
            if (counts) {
                const QRectF badge(r.right() - 26, r.bottom() - 16, 28, 18);
                p.setPen(Qt::NoPen);
                p.setBrush(kMatchColour);
                p.drawRect(badge);
                p.setPen(Qt::black);
                p.drawText(badge, Qt::AlignCenter, QString::number(it.value()));
            }
        }
    }
    // The current card.
    if (m_current >= 0) {
        const QRectF card = m_layout.cardRect(m_current);
        QRectF r(toView(card.topLeft()), card.size() * m_zoom);
        if (r.width() < 10)
            r = QRectF(r.center() - QPointF(6, 6), QSizeF(12, 12));
        p.setRenderHint(QPainter::Antialiasing);
        p.setBrush(Qt::NoBrush);
        p.setPen(QPen(hasFocus() ? kCurrentColour : QColor(0x90, 0xa4, 0xae), 3));
        p.drawRoundedRect(r.adjusted(-4, -4, 4, 4), 6, 6);
        p.setRenderHint(QPainter::Antialiasing, false);
    }
}

// --- panel ----------------------------------------------------------------------------------

StoryMapPanel::StoryMapPanel(QWidget *parent)
    : QWidget(parent)
{
    setObjectName(QStringLiteral("StoryMapPanel"));
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(2);
    auto *bar = new QHBoxLayout;
    bar->setContentsMargins(4, 2, 4, 0);
    m_map = new StoryMap(this);
    auto button = [&](const char *name, const QString &text, const QString &tip, auto slot) {
        auto *b = new QToolButton(this);
        b->setObjectName(QLatin1String(name));
        b->setText(text);
        b->setAccessibleName(tip);
        b->setToolTip(tip);
        b->setFocusPolicy(Qt::StrongFocus);
        connect(b, &QToolButton::clicked, m_map, slot);
        bar->addWidget(b);
    };
    button("MapZoomOut", tr("-"), tr("Zoom out (Ctrl+minus)"), &StoryMap::zoomOut);
    button("MapZoomIn", tr("+"), tr("Zoom in (Ctrl+plus)"), &StoryMap::zoomIn);
    button("MapFit", tr("Fit"), tr("Show the whole quest (Ctrl+0)"), &StoryMap::fit);
    bar->addStretch(1);
    layout->addLayout(bar);
    layout->addWidget(m_map, 1);
}

} // namespace fc
