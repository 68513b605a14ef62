#pragma once
// The story map: one card per page, laid out by editor/story_layout, with the
// links between them. Painted by hand with a level of detail, so that a quest
// of 20,000 pages pans and zooms as smoothly as one of twenty:
// - whole-quest zoom: a picture of the whole map (links and dots) drawn once
//   and scaled, plus the marks of the current card and of matches;
// - middle zoom: cards as boxes with their numbers, found through a grid;
// - near zoom: full cards (number, location, first words, marks, choice
//   handle) with arrows in the styles of their kinds.
// Links are drawn one by one only while few are in view; otherwise the
// whole-map picture stands for them.
//
// Keyboard: arrow keys move to the nearest card in that direction, Tab and
// Shift+Tab to the next and previous page by number (leaving the map after
// the last), Home to page 1, Enter opens the current card, Shift+arrow keys
// pan, Ctrl+plus, Ctrl+minus and Ctrl+0 zoom in, out and to the whole quest.
// The pointer: Ctrl+wheel zooms, the wheel scrolls, dragging empty space
// pans, dragging a card moves it (kept in the side file), dragging from a
// card's choice handle onto another card asks for a link, double-click opens.

#include "editor/story_graph.h"
#include "editor/story_layout.h"

#include <QAbstractScrollArea>
#include <QElapsedTimer>
#include <QHash>
#include <QImage>
#include <QList>
#include <QPointer>
#include <QStaticText>
#include <QString>
#include <QWidget>

#include <cstdint>
#include <vector>

class QToolButton;

namespace fc {

// What the checker found on a page, as the map marks it.
struct StoryMapFinding
{
    QString kind;    // a kind of engine/check's findings
    QString message; // one line
};

class StoryMap : public QAbstractScrollArea
{
    Q_OBJECT
public:
    enum class Detail { Dots, Boxes, Cards };
    // Below this zoom cards are dots; from kCardsZoom on they are full cards.
    static constexpr double kBoxesZoom = 0.15;
    static constexpr double kCardsZoom = 0.5;
    static constexpr double kMinZoom = 0.005;
    static constexpr double kMaxZoom = 2.0;
    // More links in view than this are drawn from the whole-map picture.
    static constexpr int kLinkBudget = 1000;

    explicit StoryMap(QWidget *parent = nullptr);
    ~StoryMap() override;

    // Shows graph, laid out with the positions of sideFile (empty: none, and
    // moved cards are not kept). The zoom fits the whole quest, the current
    // card is page "1".
    void setStory(const story::StoryGraph &graph, const QString &sideFile = QString());
    const story::StoryGraph &graph() const { return m_graph; }
    const story::StoryLayout &layout() const { return m_layout; }
    QString sideFile() const { return m_sideFile; }
    // Why the side file could not be read or written, "" when it could.
    QString sideFileError() const { return m_sideFileError; }

    // --- changes ----------------------------------------------------------------
    // Shows page as it now stands: its card and the links leaving it change
    // at once, in place, and the other cards stay where they are. A page the
    // map does not show yet gets a card in a free place right of the laid-out
    // cards, and destinations that named it become links to it.
    void updatePage(const story::StoryPageInput &page);
    // Takes away the card of the page named name; links to it become broken.
    void removePage(const QString &name);

    // Findings by page name; the cards get a coloured mark and the findings in
    // their tooltip, and pages found unreachable are faded.
    void setFindings(const QHash<QString, QList<StoryMapFinding>> &findings);
    // Matches of a search by page name (count of matches); empty clears.
    void setMatches(const QHash<QString, int> &counts);

    // --- view -----------------------------------------------------------------
    double zoom() const { return m_zoom; }
    // Zooms keeping the map point under anchor (viewport coordinates) in place.
    void setZoom(double zoom, QPointF anchor);
    void setZoom(double zoom) { setZoom(zoom, QRectF(viewport()->rect()).center()); }
    void zoomIn();
    void zoomOut();
    void fit(); // the whole quest in view
    // Map point at the viewport's top-left corner.
    QPointF origin() const { return m_origin; }
    void setOrigin(QPointF origin);
    void centerOn(QPointF mapPoint);
    Detail detail() const { return detailAt(m_zoom); }
    static Detail detailAt(double zoom);
    QPointF toMap(QPointF viewportPoint) const { return m_origin + viewportPoint / m_zoom; }
    QPointF toView(QPointF mapPoint) const { return (mapPoint - m_origin) * m_zoom; }

    // --- cards ----------------------------------------------------------------
    // The current card (page index into graph().pages), -1 for none.
    int currentPage() const { return m_current; }
    QString currentPageName() const;
    void setCurrentPage(int page, bool ensureVisible = true);
    bool setCurrentPageName(const QString &name);
    int cardAt(QPointF viewportPoint) const;
    // "Page 12, The Mill, 3 choices, ending".
    QString cardAccessibleName(int page) const;
    QString cardToolTip(int page) const;
    // Moves a card (as a drag does): kept in the side file when there is one.
    void moveCard(int page, QPoint topLeft);

    // Paints the view into painter of the viewport's size (for measurements).
    void paintView(QPainter &painter, const QRect &viewRect);

Q_SIGNALS:
    void currentPageChanged(const QString &page);
    // Double-click or Enter on a card.
    void pageActivated(const QString &page);
    // A card was moved by the author.
    void cardMoved(const QString &page, QPoint topLeft);
    // The author dragged from from's choice handle onto to.
    void linkRequested(const QString &from, const QString &to);
    void zoomChanged(double zoom);

protected:
    void paintEvent(QPaintEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void scrollContentsBy(int dx, int dy) override;
    void wheelEvent(QWheelEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void mouseDoubleClickEvent(QMouseEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    bool focusNextPrevChild(bool next) override;
    bool viewportEvent(QEvent *event) override;
    void focusInEvent(QFocusEvent *event) override;

private:
    struct Grid;
    void rebuildGrid();
    void indexLinks();
    // m_rankByNumber from m_byNumber.
    void rankByNumber();
    void findReached();
    int addCard(const QString &name);
    // The links without those drop says to leave out, with added merged in
    // (links stay grouped by page, in the order of their kinds).
    template <typename Drop> void spliceLinks(QList<story::StoryLink> added, Drop drop);
    void gridAdd(int page);
    void gridRemove(int page);
    QList<int> cardsIn(const QRectF &mapRect) const;
    void updateScrollBars();
    void ensureCardVisible(int page);
    int nearestInDirection(int from, int dx, int dy) const;
    void stepByNumber(int delta, bool *left);
    void markChanged();
    void buildOverview();
    void updateOverview();
    void countOverviewLink(const story::StoryLink &link, int delta, std::vector<QPoint> *touched);
    void colourOverviewPixel(int x, int y);
    QRect overviewCardPixels(int page) const;
    void paintOverviewCard(int page);
    bool faded(int page) const;
    QRect handleRect(int page) const; // in map units
    void saveMovedCard(int page);
    void updateAccessibleName();

    void paintOverview(QPainter &p, const QRectF &mapRect);
    void paintDots(QPainter &p, const QList<int> &cards);
    void paintLinks(QPainter &p, const QList<int> &cards, const QRectF &mapRect, bool arrows);
    void paintBoxes(QPainter &p, const QList<int> &cards);
    void paintCards(QPainter &p, const QList<int> &cards);
    void paintMarks(QPainter &p, const QRectF &mapRect);

    story::StoryGraph m_graph;
    story::StoryLayout m_layout;
    QList<int> m_byNumber;     // page indexes by number
    QList<int> m_rankByNumber; // position of each page in m_byNumber
    QList<int> m_linkFirst;    // outgoing links of page i: m_linkFirst[i] .. m_linkFirst[i+1]
    QList<int> m_inFirst, m_inLinks; // incoming links by target
    QString m_sideFile;
    QString m_sideFileError;
    QHash<int, QList<StoryMapFinding>> m_findings;
    QHash<int, int> m_matches;
    int m_addedColumn = 0; // left edge of the column of cards added since the layout, 0 for none
    std::unique_ptr<Grid> m_grid;

    double m_zoom = 1.0;
    QPointF m_origin;
    bool m_syncingScrollBars = false;
    int m_current = -1;

    bool m_linksThinned = false; // the last frame left links out
    QImage m_overview; // links and dots of the whole map
    double m_overviewScale = 0;
    QRect m_overviewBounds; // the layout's bounds the picture was drawn for
    std::vector<std::uint8_t> m_overviewCount[2]; // choice and battle links through each pixel
    bool m_overviewDirty = true; // to be drawn anew as a whole
    // Changes since the picture was drawn: links with +1 (added) or -1, and
    // cards whose colour changed.
    QList<std::pair<story::StoryLink, int>> m_overviewLinks;
    QList<int> m_overviewCards;
    // Page numbers of the boxes, laid out at one size.
    QHash<int, QStaticText> m_numbers;
    int m_numberSize = 0;

    enum class Drag { None, Pan, Card, Link };
    Drag m_drag = Drag::None;
    QPoint m_pressPos;
    QPointF m_dragStartOrigin;
    int m_dragPage = -1;
    QPoint m_dragCardStart;
    bool m_dragMoved = false;
    QPointF m_linkEnd; // map point under the pointer while drawing a link
};

// The map with its zoom buttons, for a dock or a tab beside the form.
class StoryMapPanel : public QWidget
{
    Q_OBJECT
public:
    explicit StoryMapPanel(QWidget *parent = nullptr);
    StoryMap *map() const { return m_map; }

private:
    StoryMap *m_map = nullptr;
};

} // namespace fc
