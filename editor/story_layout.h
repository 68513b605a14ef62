#pragma once
// Where the story map puts each page's card.
//
// Pages are laid out in layers by their distance from page "1" (breadth
// first over every link), one layer after the other from left to right;
// pages not reached from page "1" follow in further layers, by their distance
// from the first of them in file order that is not yet placed. A layer that
// holds more cards than fit one column is wrapped into several neighbouring
// columns, so a quest of 20,000 pages makes a map about as wide as it is
// high. Within a layer, cards keep the order in which the search found them,
// which keeps a page's children together. Time and memory are linear in pages
// and links.
//
// Cards an author moved are kept in a side file beside the quest,
// "NAME.qst.map": an INI file with one key per moved page in the section
// "Positions", "PAGE=X,Y". Those positions win; the cards laid out
// automatically make way for them, so no two cards ever overlap.

#include "editor/story_graph.h"

#include <QHash>
#include <QList>
#include <QPoint>
#include <QRect>
#include <QString>

namespace fc::story {

// Card size and spacing, in map units (pixels at zoom 1).
inline constexpr int kCardWidth = 200;
inline constexpr int kCardHeight = 112;
inline constexpr int kGapX = 40;         // between the columns of one layer
inline constexpr int kLayerGapX = 120;   // between layers
inline constexpr int kGapY = 24;
inline constexpr int kStrideX = kCardWidth + kGapX;
inline constexpr int kStrideY = kCardHeight + kGapY;

struct StoryLayout
{
    QList<QPoint> positions; // top-left corner of each page's card, by page index
    QList<int> layers;       // layer of each page (0 = page "1")
    QList<bool> reached;     // reached from page "1" by following links
    QList<bool> pinned;      // placed by the side file (or an author's move)
    int reachedLayers = 0;   // layers 0 .. reachedLayers-1 hold the reached pages
    QRect bounds;            // union of all cards

    QRect cardRect(int page) const { return QRect(positions[page], QSize(kCardWidth, kCardHeight)); }
};

// Positions an author chose, by page name as spelled in the quest.
using PinnedPositions = QHash<QString, QPoint>;

// Lays out graph. Pages named in pinned (by a name a profile read of the
// page reaches) are put where it says; two pinned cards that would overlap
// are moved apart (the later page in file order moves down).
StoryLayout layoutStory(const StoryGraph &graph, const PinnedPositions &pinned = {});

// The side file of a quest: questFile + ".map".
QString sideFilePath(const QString &questFile);
inline constexpr char kSideFileSection[] = "Positions";

// Reads the side file (a missing file is no error and gives nothing). Values
// that are not two whole numbers within the map's range are left out.
bool readSideFile(const QString &path, PinnedPositions *positions, QString *error = nullptr);

// Stores the positions of pages in the side file, keeping those of other
// pages, in one atomic replacement. Refuses to write through a link, to a
// file that is not a regular file, or over a file that holds other text than
// a side file's.
bool writeSideFile(const QString &path, const PinnedPositions &positions, QString *error = nullptr);

} // namespace fc::story
