// Drawings that stand in for missing artwork. They are drawn once per name
// and size and cached, so a repaint costs nothing.
#include "engine/ui/artwork.h"

#include <QCache>
#include <QFile>
#include <QFont>
#include <QHash>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>

#include <cmath>
#include <functional>

// Resources of a static library are registered by hand: nothing else would
// pull them into the program.
static void initArtResources()
{
#ifdef FABLECRAFT_HAS_ART
    static const bool done = [] {
        Q_INIT_RESOURCE(art);
        return true;
    }();
    Q_UNUSED(done);
#endif
}

namespace fc::art {

namespace {

QString resourcePath(const QString &name)
{
    return QStringLiteral(":/art/") + name + QStringLiteral(".png");
}

// A round gold-rimmed medallion; the glyph is drawn in a 100x100 box.
QPixmap medallion(const QSize &size, const std::function<void(QPainter &)> &glyph)
{
    QPixmap pm(size);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    const qreal s = qMin(size.width(), size.height());
    p.translate((size.width() - s) / 2, (size.height() - s) / 2);
    p.scale(s / 100.0, s / 100.0);
    QRadialGradient rim(50, 40, 55);
    rim.setColorAt(0, QColor(0xf6, 0xdc, 0x93));
    rim.setColorAt(1, QColor(0x8a, 0x62, 0x20));
    p.setPen(QPen(QColor(0x3a, 0x24, 0x0c), 2));
    p.setBrush(rim);
    p.drawEllipse(QRectF(3, 3, 94, 94));
    QRadialGradient face(50, 35, 50);
    face.setColorAt(0, QColor(0x6d, 0x3b, 0x22));
    face.setColorAt(1, QColor(0x2c, 0x16, 0x0c));
    p.setBrush(face);
    p.setPen(Qt::NoPen);
    p.drawEllipse(QRectF(11, 11, 78, 78));
    p.setPen(QPen(QColor(0xf3, 0xdb, 0x9a), 5, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.setBrush(Qt::NoBrush);
    glyph(p);
    return pm;
}

void drawBook(QPainter &p, const QRectF &r)
{
    // An open book seen from above, slightly tilted.
    p.save();
    p.translate(r.center());
    const qreal w = r.width() / 2, h = r.height() / 2;
    p.setPen(QPen(QColor(0x3a, 0x1e, 0x0e), 2));
    p.setBrush(QColor(0x6e, 0x24, 0x1c));
    p.drawRoundedRect(QRectF(-w, -h * 0.85, 2 * w, h * 1.8), 6, 6);
    for (int side : {-1, 1}) {
        QPainterPath page;
        page.moveTo(0, -h * 0.7);
        page.cubicTo(side * w * 0.3, -h * 0.85, side * w * 0.7, -h * 0.8, side * w * 0.93, -h * 0.72);
        page.lineTo(side * w * 0.93, h * 0.78);
        page.cubicTo(side * w * 0.7, h * 0.7, side * w * 0.3, h * 0.72, 0, h * 0.85);
        page.closeSubpath();
        QLinearGradient g(0, 0, side * w, 0);
        g.setColorAt(0, QColor(0xd9, 0xc6, 0x9a));
        g.setColorAt(0.15, QColor(0xf7, 0xee, 0xd6));
        g.setColorAt(1, QColor(0xee, 0xe0, 0xbc));
        p.setBrush(g);
        p.setPen(QPen(QColor(0x8a, 0x70, 0x48), 1));
        p.drawPath(page);
        p.setPen(QPen(QColor(0x9a, 0x86, 0x66), 1.2));
        for (int line = 0; line < 9; ++line) {
            const qreal y = -h * 0.5 + line * h * 0.13;
            p.drawLine(QPointF(side * w * 0.15, y), QPointF(side * w * (line == 8 ? 0.5 : 0.8), y));
        }
    }
    p.setPen(QPen(QColor(0xb0, 0x20, 0x20), 3));
    p.drawLine(QPointF(w * 0.05, -h * 0.72), QPointF(w * 0.1, h * 1.0));
    p.restore();
}

QPixmap menuBackground(const QSize &size)
{
    QPixmap pm(size);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    // A dark wooden table under lamplight.
    QLinearGradient wood(0, 0, 0, size.height());
    wood.setColorAt(0, QColor(0x2b, 0x18, 0x0d));
    wood.setColorAt(0.55, QColor(0x5a, 0x36, 0x1d));
    wood.setColorAt(1, QColor(0x33, 0x1d, 0x10));
    p.fillRect(pm.rect(), wood);
    p.setPen(QPen(QColor(0, 0, 0, 40), 1));
    for (int y = 0; y < size.height(); y += 7) {
        QPainterPath grain;
        grain.moveTo(0, y);
        for (int x = 0; x <= size.width(); x += 40)
            grain.lineTo(x, y + 3 * std::sin((x + y * 3) / 57.0));
        p.drawPath(grain);
    }
    QRadialGradient lamp(size.width() / 2.0, size.height() * 0.45, size.width() * 0.6);
    lamp.setColorAt(0, QColor(0xff, 0xd8, 0x8a, 90));
    lamp.setColorAt(0.6, QColor(0xff, 0xc0, 0x60, 20));
    lamp.setColorAt(1, QColor(0, 0, 0, 150));
    p.fillRect(pm.rect(), lamp);
    return pm;
}

QPixmap noPicture(const QSize &size)
{
    QPixmap pm(size);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(QColor(0x9a, 0x80, 0x58), 2, Qt::DashLine));
    p.setBrush(QColor(0xe8, 0xd8, 0xb0));
    p.drawRoundedRect(QRectF(pm.rect()).adjusted(4, 4, -4, -4), 8, 8);
    p.translate(size.width() / 2.0, size.height() / 2.0);
    const qreal s = qMin(size.width(), size.height()) / 5.0;
    p.setPen(QPen(QColor(0xb0, 0x98, 0x70), 3, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.setBrush(Qt::NoBrush);
    // A quill resting on a blank page.
    p.drawRect(QRectF(-s, -s * 1.2, 2 * s, 2.4 * s));
    QPainterPath quill;
    quill.moveTo(-s * 0.6, s * 0.9);
    quill.cubicTo(0, 0, s * 0.8, -s * 1.2, s * 1.6, -s * 1.8);
    quill.cubicTo(s * 0.9, -s * 0.6, s * 0.2, 0, -s * 0.6, s * 0.9);
    p.drawPath(quill);
    return pm;
}

using Glyph = std::function<void(QPainter &)>;

const QHash<QString, Glyph> &glyphs()
{
    static const QHash<QString, Glyph> table = {
        {QString::fromLatin1(kLoadQuest), [](QPainter &p) { // a scroll
             p.drawRoundedRect(QRectF(30, 28, 40, 46), 4, 4);
             p.drawLine(QPointF(26, 28), QPointF(74, 28));
             p.drawLine(QPointF(26, 74), QPointF(74, 74));
             p.drawLine(QPointF(38, 42), QPointF(62, 42));
             p.drawLine(QPointF(38, 52), QPointF(62, 52));
             p.drawLine(QPointF(38, 62), QPointF(54, 62));
         }},
        {QString::fromLatin1(kLoadGame), [](QPainter &p) { // an hourglass
             p.drawLine(QPointF(32, 26), QPointF(68, 26));
             p.drawLine(QPointF(32, 74), QPointF(68, 74));
             QPainterPath glass;
             glass.moveTo(36, 26);
             glass.cubicTo(36, 44, 50, 46, 50, 50);
             glass.cubicTo(50, 54, 36, 56, 36, 74);
             glass.moveTo(64, 26);
             glass.cubicTo(64, 44, 50, 46, 50, 50);
             glass.cubicTo(50, 54, 64, 56, 64, 74);
             p.drawPath(glass);
         }},
        {QString::fromLatin1(kMenu), [](QPainter &p) {
             for (int y : {34, 50, 66})
                 p.drawLine(QPointF(30, y), QPointF(70, y));
         }},
        {QString::fromLatin1(kResume), [](QPainter &p) {
             QPolygonF tri({QPointF(40, 30), QPointF(70, 50), QPointF(40, 70)});
             p.drawPolygon(tri);
         }},
        {QString::fromLatin1(kSave), [](QPainter &p) { // a sealed letter
             p.drawRect(QRectF(28, 34, 44, 32));
             p.drawPolyline(QPolygonF({QPointF(28, 34), QPointF(50, 54), QPointF(72, 34)}));
             p.setBrush(QColor(0xb0, 0x28, 0x20));
             p.drawEllipse(QPointF(50, 56), 6, 6);
         }},
        {QString::fromLatin1(kAbout), [](QPainter &p) {
             p.drawPoint(QPointF(50, 32));
             p.drawLine(QPointF(50, 44), QPointF(50, 70));
             p.drawLine(QPointF(43, 44), QPointF(50, 44));
             p.drawLine(QPointF(43, 70), QPointF(57, 70));
         }},
        {QString::fromLatin1(kCreate), [](QPainter &p) { // a quill
             QPainterPath quill;
             quill.moveTo(32, 72);
             quill.cubicTo(44, 52, 58, 34, 72, 26);
             quill.cubicTo(66, 44, 54, 58, 32, 72);
             p.drawPath(quill);
             p.drawLine(QPointF(28, 76), QPointF(40, 62));
         }},
        {QString::fromLatin1(kCredits), [](QPainter &p) { // a star
             QPolygonF star;
             for (int k = 0; k < 10; ++k) {
                 const double a = -M_PI / 2 + k * M_PI / 5;
                 const double r = k % 2 ? 10 : 24;
                 star << QPointF(50 + r * std::cos(a), 52 + r * std::sin(a));
             }
             p.drawPolygon(star);
         }},
        {QString::fromLatin1(kQuit), [](QPainter &p) { // an arched door
             QPainterPath door;
             door.moveTo(36, 74);
             door.lineTo(36, 42);
             door.arcTo(QRectF(36, 28, 28, 28), 180, -180);
             door.lineTo(64, 74);
             p.drawPath(door);
             p.drawPoint(QPointF(57, 56));
         }},
        {QString::fromLatin1(kChoose), [](QPainter &p) { // onward arrow
             p.drawLine(QPointF(28, 50), QPointF(70, 50));
             p.drawPolyline(QPolygonF({QPointF(54, 34), QPointF(70, 50), QPointF(54, 66)}));
         }},
        {QString::fromLatin1(kInventory), [](QPainter &p) { // a satchel
             p.drawRoundedRect(QRectF(28, 40, 44, 32), 6, 6);
             p.drawArc(QRectF(38, 26, 24, 28), 0, 180 * 16);
             p.drawLine(QPointF(28, 52), QPointF(72, 52));
             p.drawPoint(QPointF(50, 58));
         }},
    };
    return table;
}

QPixmap drawn(const QString &name, const QSize &size)
{
    if (name == QLatin1String(kMenuBackground))
        return menuBackground(size);
    if (name == QLatin1String(kNoPicture))
        return noPicture(size);
    if (name == QLatin1String(kBook)) {
        QPixmap pm(size);
        pm.fill(Qt::transparent);
        QPainter p(&pm);
        p.setRenderHint(QPainter::Antialiasing);
        drawBook(p, QRectF(pm.rect()).adjusted(4, 8, -4, -4));
        return pm;
    }
    const auto glyph = glyphs().value(name);
    if (glyph)
        return medallion(size, glyph);
    QPixmap pm(size);
    pm.fill(QColor(0x80, 0x60, 0x40));
    return pm;
}

} // namespace

bool hasResource(const QString &name)
{
    initArtResources();
    return QFile::exists(resourcePath(name));
}

QPixmap pixmap(const QString &name, const QSize &fallbackSize)
{
    // Pictures from the resources are kept at their own size; drawings per
    // size, in a bounded cache so that resizing a window cannot grow it.
    static QHash<QString, QPixmap> resources;
    static QCache<QString, QPixmap> drawings(48 * 1024); // cost in KiB
    initArtResources();
    if (auto it = resources.constFind(name); it != resources.constEnd())
        return *it;
    QPixmap pm;
    if (pm.load(resourcePath(name))) {
        resources.insert(name, pm);
        return pm;
    }
    const QSize size = fallbackSize.isValid() && !fallbackSize.isEmpty() ? fallbackSize : QSize(64, 64);
    const QString key = name + QLatin1Char('@') + QString::number(size.width()) + QLatin1Char('x')
                        + QString::number(size.height());
    if (const QPixmap *cached = drawings.object(key))
        return *cached;
    pm = drawn(name, size);
    drawings.insert(key, new QPixmap(pm), qMax<qsizetype>(1, qsizetype(size.width()) * size.height() * 4 / 1024));
    return pm;
}

QIcon windowIcon()
{
    if (hasResource(QStringLiteral("app_icon")))
        return QIcon(pixmap(QStringLiteral("app_icon"), {}));
    QIcon icon;
    for (int s : {16, 32, 48, 64})
        icon.addPixmap(pixmap(QString::fromLatin1(kBook), QSize(s, s)));
    return icon;
}

} // namespace fc::art
