#include "engine/ui/picturebutton.h"
#include "engine/ui/artwork.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>

namespace fc {

namespace {
// The focus ring: a solid gold outline, 3 px, on a dark edge, seen on light
// and dark pictures alike.
void drawFocusRing(QPainter &p, const QRect &r)
{
    p.save();
    p.setRenderHint(QPainter::Antialiasing);
    p.setBrush(Qt::NoBrush);
    p.setPen(QPen(QColor(0x20, 0x12, 0x06), 5));
    p.drawRoundedRect(QRectF(r).adjusted(2.5, 2.5, -2.5, -2.5), 6, 6);
    p.setPen(QPen(QColor(0xf0, 0xc0, 0x40), 3));
    p.drawRoundedRect(QRectF(r).adjusted(2.5, 2.5, -2.5, -2.5), 6, 6);
    p.restore();
}

bool isPressKey(const QKeyEvent *event)
{
    return event->modifiers() == Qt::NoModifier || event->modifiers() == Qt::KeypadModifier
               ? event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter || event->key() == Qt::Key_Space
               : false;
}
} // namespace

PictureButton::PictureButton(const QString &objectName, const QString &artName, const QSize &size, QWidget *parent)
    : QAbstractButton(parent)
    , m_art(artName)
{
    setObjectName(objectName);
    setFixedSize(size);
    setCursor(Qt::PointingHandCursor);
    setFocusPolicy(Qt::StrongFocus);
    setMouseTracking(true); // hover help follows every pointer move
    setAttribute(Qt::WA_Hover);
}

void PictureButton::setCaption(const QString &caption)
{
    m_caption = caption;
    update();
}

void PictureButton::paintEvent(QPaintEvent *)
{
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    p.setRenderHint(QPainter::SmoothPixmapTransform);
    QRect pictureRect = rect();
    QFont font = this->font();
    if (!m_caption.isEmpty()) {
        font.setPointSizeF(font.pointSizeF() * 0.9);
        font.setBold(true);
        pictureRect.setBottom(rect().bottom() - QFontMetrics(font).height() - 2);
    }
    const int side = qMin(pictureRect.width(), pictureRect.height());
    QPixmap pm = art::pixmap(m_art, QSize(side, side) * devicePixelRatioF());
    pm.setDevicePixelRatio(devicePixelRatioF());
    const QSize shown = pm.deviceIndependentSize().toSize().scaled(pictureRect.size(), Qt::KeepAspectRatio);
    QRect target(QPoint(), shown);
    target.moveCenter(pictureRect.center());
    if (isDown())
        target.translate(1, 1);
    if (m_hover && isEnabled()) {
        p.setPen(Qt::NoPen);
        QRadialGradient glow(target.center(), side * 0.6);
        glow.setColorAt(0, QColor(255, 220, 140, 120));
        glow.setColorAt(1, QColor(255, 220, 140, 0));
        p.setBrush(glow);
        p.drawEllipse(QPointF(target.center()), side * 0.6, side * 0.6);
    }
    p.drawPixmap(target, pm);
    if (!m_caption.isEmpty()) {
        p.setFont(font);
        const QRect textRect(0, pictureRect.bottom() + 2, width(), height() - pictureRect.bottom() - 2);
        // A dark edge keeps the caption readable on any background.
        p.setPen(QColor(0, 0, 0, 200));
        for (const QPoint &d : {QPoint(1, 1), QPoint(-1, 1), QPoint(1, -1), QPoint(-1, -1)})
            p.drawText(textRect.translated(d), Qt::AlignHCenter | Qt::AlignTop, m_caption);
        p.setPen(m_hover ? QColor(0xff, 0xf0, 0xc0) : art::kGold);
        p.drawText(textRect, Qt::AlignHCenter | Qt::AlignTop, m_caption);
    }
    if (hasFocus())
        drawFocusRing(p, rect());
}

void PictureButton::keyPressEvent(QKeyEvent *event)
{
    // Space is the button's own key; Enter and Return press it too.
    if (isPressKey(event) && event->key() != Qt::Key_Space) {
        click();
        return;
    }
    QAbstractButton::keyPressEvent(event);
}

void PictureButton::mouseMoveEvent(QMouseEvent *event)
{
    Q_EMIT pointed();
    QAbstractButton::mouseMoveEvent(event);
    event->accept(); // the panel behind must not see it as a move over bare panel
}

void PictureButton::enterEvent(QEnterEvent *event)
{
    m_hover = true;
    update();
    Q_EMIT pointed();
    QAbstractButton::enterEvent(event);
}

void PictureButton::leaveEvent(QEvent *event)
{
    m_hover = false;
    update();
    QAbstractButton::leaveEvent(event);
}

// --- PictureView ---------------------------------------------------------------

PictureView::PictureView(const QString &objectName, QWidget *parent)
    : QWidget(parent)
{
    setObjectName(objectName);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
    setMinimumSize(120, 100);
}

void PictureView::setImage(const QImage &image)
{
    m_image = image;
    update();
}

void PictureView::paintEvent(QPaintEvent *)
{
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    p.setRenderHint(QPainter::SmoothPixmapTransform);
    const QRectF frame = QRectF(rect()).adjusted(3, 3, -3, -3);
    if (m_image.isNull()) {
        p.drawPixmap(frame.toRect(), art::pixmap(QString::fromLatin1(art::kNoPicture), frame.size().toSize()));
        return;
    }
    QSizeF shown = QSizeF(m_image.size()).scaled(frame.size() - QSizeF(12, 12), Qt::KeepAspectRatio);
    QRectF target(QPointF(), shown);
    target.moveCenter(frame.center());
    // A gilt frame around the picture.
    p.setPen(QPen(QColor(0x5a, 0x3a, 0x18), 2));
    p.setBrush(art::kGold);
    p.drawRoundedRect(target.adjusted(-6, -6, 6, 6), 4, 4);
    p.drawImage(target, m_image);
    p.setPen(QPen(QColor(0x5a, 0x3a, 0x18), 1));
    p.setBrush(Qt::NoBrush);
    p.drawRect(target);
}

// --- ClickLabel ------------------------------------------------------------------

ClickLabel::ClickLabel(const QString &objectName, const QString &text, QWidget *parent)
    : QLabel(text, parent)
{
    setObjectName(objectName);
    setCursor(Qt::PointingHandCursor);
    setMouseTracking(true);
    setFocusPolicy(Qt::StrongFocus);
    setTextFormat(Qt::PlainText);
}

void ClickLabel::paintEvent(QPaintEvent *event)
{
    QLabel::paintEvent(event);
    if (hasFocus()) {
        QPainter p(this);
        drawFocusRing(p, rect());
    }
}

void ClickLabel::keyPressEvent(QKeyEvent *event)
{
    if (isPressKey(event)) {
        Q_EMIT clicked();
        return;
    }
    QLabel::keyPressEvent(event);
}

void ClickLabel::mouseReleaseEvent(QMouseEvent *event)
{
    if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint()))
        Q_EMIT clicked();
    QLabel::mouseReleaseEvent(event);
}

void ClickLabel::mouseMoveEvent(QMouseEvent *event)
{
    Q_EMIT pointed();
    event->accept();
}

void ClickLabel::enterEvent(QEnterEvent *event)
{
    Q_EMIT pointed();
    QLabel::enterEvent(event);
}

} // namespace fc
