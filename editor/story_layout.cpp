#include "editor/story_layout.h"

#include "storage/ini_file.h"
#include "storage/profile_store.h"
#include "storage/regular_file.h"

#include <QFileInfo>

#include <algorithm>
#include <cmath>

namespace fc::story {

namespace {

// Side file values further out than this are not taken: no author drags a
// card a hundred million pixels away, and the sums stay within int.
constexpr int kMaxCoordinate = 100'000'000;

// Cards of other pages, found by the cells of a grid they touch.
class CardGrid
{
public:
    void add(int page, const QRect &r)
    {
        forCells(r, [&](quint64 key) { m_cells[key].append(page); });
    }
    // A card in the grid that r overlaps, or -1.
    int overlapping(const QRect &r, const QList<QPoint> &positions) const
    {
        int found = -1;
        forCells(r, [&](quint64 key) {
            if (found >= 0)
                return;
            const auto it = m_cells.constFind(key);
            if (it == m_cells.cend())
                return;
            for (int p : it.value())
                if (QRect(positions[p], QSize(kCardWidth, kCardHeight)).intersects(r)) {
                    found = p;
                    return;
                }
        });
        return found;
    }
    bool isEmpty() const { return m_cells.isEmpty(); }

private:
    static qint64 floorDiv(qint64 a, qint64 b) { return a >= 0 ? a / b : -((-a + b - 1) / b); }
    template <typename F> static void forCells(const QRect &r, F &&f)
    {
        const qint64 x0 = floorDiv(r.left(), kStrideX), x1 = floorDiv(r.right(), kStrideX);
        const qint64 y0 = floorDiv(r.top(), kStrideY), y1 = floorDiv(r.bottom(), kStrideY);
        for (qint64 x = x0; x <= x1; ++x)
            for (qint64 y = y0; y <= y1; ++y)
                f((quint64(quint32(qint32(x))) << 32) | quint32(qint32(y)));
    }
    QHash<quint64, QList<int>> m_cells;
};

} // namespace

StoryLayout layoutStory(const StoryGraph &graph, const PinnedPositions &pinnedByName)
{
    const int n = int(graph.pages.size());
    StoryLayout out;
    out.positions.resize(n);
    out.layers.fill(-1, n);
    out.reached.fill(false, n);
    out.pinned.fill(false, n);
    if (n == 0)
        return out;

    // Outgoing links as one array per page (counting sort by source).
    QList<int> first(n + 1, 0), targets(graph.links.size());
    for (const StoryLink &l : graph.links)
        ++first[l.from + 1];
    for (int i = 0; i < n; ++i)
        first[i + 1] += first[i];
    {
        QList<int> fill = first;
        for (const StoryLink &l : graph.links)
            targets[fill[l.from]++] = l.to;
    }

    // Breadth first from page "1", then from each page not yet placed; the
    // found order is the order within a layer.
    QList<int> order;
    order.reserve(n);
    auto search = [&](int root, int baseLayer) {
        qsizetype head = order.size();
        out.layers[root] = baseLayer;
        order.append(root);
        while (head < order.size()) {
            const int p = order[head++];
            for (int k = first[p]; k < first[p + 1]; ++k) {
                const int q = targets[k];
                if (out.layers[q] < 0) {
                    out.layers[q] = out.layers[p] + 1;
                    order.append(q);
                }
            }
        }
    };
    if (graph.start >= 0) {
        search(graph.start, 0);
        for (int p : std::as_const(order))
            out.reached[p] = true;
        for (int p : std::as_const(order))
            out.reachedLayers = std::max(out.reachedLayers, out.layers[p] + 1);
    }
    for (int p = 0; p < n; ++p)
        if (out.layers[p] < 0)
            search(p, out.reachedLayers);

    // Cards per layer, in found order.
    int layerCount = 0;
    for (int p = 0; p < n; ++p)
        layerCount = std::max(layerCount, out.layers[p] + 1);
    QList<int> layerStart(layerCount + 1, 0);
    for (int p = 0; p < n; ++p)
        ++layerStart[out.layers[p] + 1];
    for (int l = 0; l < layerCount; ++l)
        layerStart[l + 1] += layerStart[l];
    QList<int> byLayer(n);
    {
        QList<int> fill = layerStart;
        for (int p : std::as_const(order))
            byLayer[fill[out.layers[p]]++] = p;
    }

    // A column holds at most rows cards: about as many rows as there would be
    // columns if every layer were wrapped, so the map comes out roughly square.
    const int rows = std::max(8, int(std::ceil(std::sqrt(double(n) * kStrideX / kStrideY))));

    // Pinned cards first; two that overlap are moved apart.
    CardGrid pinnedGrid;
    if (!pinnedByName.isEmpty()) {
        for (auto it = pinnedByName.cbegin(); it != pinnedByName.cend(); ++it) {
            const int p = graph.indexOf(it.key());
            if (p < 0 || out.pinned[p])
                continue;
            out.pinned[p] = true;
            out.positions[p] = it.value();
        }
        for (int p = 0; p < n; ++p) {
            if (!out.pinned[p])
                continue;
            QRect r(out.positions[p], QSize(kCardWidth, kCardHeight));
            for (int other; (other = pinnedGrid.overlapping(r, out.positions)) >= 0;)
                r.moveTop(out.positions[other].y() + kCardHeight + kGapY);
            out.positions[p] = r.topLeft();
            pinnedGrid.add(p, r);
        }
    }

    // The others column by column; a card that would cover a pinned card goes
    // down past it, and the rest of its column follows.
    int x = 0;
    for (int l = 0; l < layerCount; ++l) {
        const int count = layerStart[l + 1] - layerStart[l];
        int free = 0; // cards of this layer not pinned
        for (int k = layerStart[l]; k < layerStart[l + 1]; ++k)
            free += out.pinned[byLayer[k]] ? 0 : 1;
        if (count == 0 || free == 0)
            continue;
        const int columns = (free + rows - 1) / rows;
        int placed = 0;
        int column = 0, inThisColumn = 0, y = 0;
        auto startColumn = [&] {
            const int inColumn = std::min(rows, free - placed);
            y = (rows - inColumn) / 2 * kStrideY;
            inThisColumn = 0;
        };
        startColumn();
        for (int k = layerStart[l]; k < layerStart[l + 1]; ++k) {
            const int p = byLayer[k];
            if (out.pinned[p])
                continue;
            if (inThisColumn == rows) {
                ++column;
                startColumn();
            }
            QRect r(QPoint(x + column * kStrideX, y), QSize(kCardWidth, kCardHeight));
            if (!pinnedGrid.isEmpty())
                for (int other; (other = pinnedGrid.overlapping(r, out.positions)) >= 0;)
                    r.moveTop(out.positions[other].y() + kCardHeight + kGapY);
            out.positions[p] = r.topLeft();
            y = r.top() + kStrideY;
            ++inThisColumn;
            ++placed;
        }
        x += columns * kStrideX + kLayerGapX;
    }

    QRect bounds;
    for (int p = 0; p < n; ++p)
        bounds |= out.cardRect(p);
    out.bounds = bounds;
    return out;
}

QString sideFilePath(const QString &questFile)
{
    return questFile + QStringLiteral(".map");
}

namespace {

bool parsePosition(const QString &value, QPoint *out)
{
    const qsizetype comma = value.indexOf(QLatin1Char(','));
    if (comma < 0)
        return false;
    bool okX = false, okY = false;
    const int x = value.left(comma).trimmed().toInt(&okX);
    const int y = value.mid(comma + 1).trimmed().toInt(&okY);
    if (!okX || !okY || std::abs(x) > kMaxCoordinate || std::abs(y) > kMaxCoordinate)
        return false;
    *out = QPoint(x, y);
    return true;
}

} // namespace

bool readSideFile(const QString &path, PinnedPositions *positions, QString *error)
{
    positions->clear();
    FileRead read = ReadRegularFile(path, filelimit::kProfile);
    if (read.status == FileStatus::Missing)
        return true;
    if (!read.ok()) {
        if (error)
            *error = read.error;
        return false;
    }
    // Key names are not listed by the parser: read the section's lines here,
    // then take each value as a profile read would.
    const ini::IniFile ini = ini::IniFile::parse(read.bytes);
    const QString section = QString::fromLatin1(kSideFileSection);
    bool inSection = false;
    const QString text = QString::fromUtf8(read.bytes);
    for (QStringView line : QStringTokenizer(text, QLatin1Char('\n'))) {
        line = line.trimmed();
        if (line.startsWith(QLatin1Char('['))) {
            const qsizetype close = line.indexOf(QLatin1Char(']'));
            inSection = close > 0 && line.mid(1, close - 1).trimmed().compare(section, Qt::CaseInsensitive) == 0;
            continue;
        }
        if (!inSection || line.startsWith(QLatin1Char(';')))
            continue;
        const qsizetype eq = line.indexOf(QLatin1Char('='));
        if (eq <= 0)
            continue;
        const QString page = line.left(eq).trimmed().toString();
        if (positions->contains(page))
            continue;
        QPoint p;
        if (parsePosition(ini.readValue(section, page), &p))
            positions->insert(page, p);
    }
    return true;
}

bool writeSideFile(const QString &path, const PinnedPositions &positions, QString *error)
{
    const QFileInfo info(path);
    if (info.isSymLink()) {
        if (error)
            *error = fileErrorText(path, QStringLiteral("is a link; the map positions are not written through it"));
        return false;
    }
    if (info.exists()) {
        FileRead read = ReadRegularFile(path, filelimit::kProfile);
        if (!read.ok()) {
            if (error)
                *error = read.error;
            return false;
        }
        const ini::IniFile ini = ini::IniFile::parse(read.bytes);
        const QStringList sections = ini.sectionNames();
        const bool ours = read.bytes.trimmed().isEmpty()
                          || (sections.size() == 1
                              && sections.first().compare(QLatin1String(kSideFileSection), Qt::CaseInsensitive) == 0);
        if (!ours) {
            if (error)
                *error = fileErrorText(path, QStringLiteral("is not a story map file; it is left as it is"));
            return false;
        }
    }
    IniBatch batch(path);
    for (auto it = positions.cbegin(); it != positions.cend(); ++it)
        batch.write(QString::fromLatin1(kSideFileSection), it.key(),
                    QStringLiteral("%1,%2").arg(it.value().x()).arg(it.value().y()));
    if (batch.isEmpty())
        return true;
    return batch.commit(error);
}

} // namespace fc::story
