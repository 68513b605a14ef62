#include "engine/ui/frmcredits.h"

#include "engine/ui/artwork.h"
#include "engine/ui/twips.h"

#include <QLabel>
#include <QTimer>

namespace fc {

namespace {
// The form's client area, in twips.
constexpr int kFormHeightTwips = 6300;
} // namespace

FrmCredits::FrmCredits(QWidget *parent)
    : QWidget(parent, Qt::Window)
{
    setObjectName(QStringLiteral("FrmCredits"));
    setWindowTitle(QStringLiteral("Credits"));
    setWindowIcon(art::windowIcon());
    setAutoFillBackground(true);
    QPalette pal = palette();
    pal.setColor(QPalette::Window, QColor(0x1c, 0x10, 0x08));
    setPalette(pal);

    // The picture is as tall as the scroll that shows it: its top is at the
    // form's top at first, and its bottom reaches the form's bottom at the
    // tick that hides the form.
    const int formHeight = twipsToPixelsY(this, kFormHeightTwips);
    const int pictureHeight = twipsToPixelsY(this, kStepTwips - kHideBelowTwips) + formHeight;
    const QPixmap picture = art::pixmap(QString::fromLatin1(art::kCreditsRoll), QSize(400, 1400))
                                .scaledToHeight(pictureHeight, Qt::SmoothTransformation);
    setFixedSize(picture.width(), formHeight);

    m_creditsRoll = new QWidget(this);
    m_creditsRoll->setObjectName(QStringLiteral("Picture1"));
    m_creditsRoll->setFixedSize(picture.size());
    m_creditsPicture = new QLabel(m_creditsRoll);
    m_creditsPicture->setObjectName(QStringLiteral("Image1"));
    m_creditsPicture->setGeometry(QRect(QPoint(), picture.size()));
    m_creditsPicture->setPixmap(picture);

    m_scrollTimer = new QTimer(this);
    m_scrollTimer->setObjectName(QStringLiteral("Timer1"));
    m_scrollTimer->setInterval(kIntervalMs);
    connect(m_scrollTimer, &QTimer::timeout, this, &FrmCredits::tick);
    place();
}

void FrmCredits::tick()
{
    if (m_topTwips < kHideBelowTwips)
        hide();
    m_topTwips -= kStepTwips;
    place();
}

void FrmCredits::place()
{
    // The position is kept in twips; pixels are derived each time, so the
    // rounding of one step does not add up over the scroll.
    m_creditsRoll->move(0, twipsToPixelsY(this, m_topTwips));
}

void FrmCredits::showEvent(QShowEvent *event)
{
    m_scrollTimer->start();
    QWidget::showEvent(event);
}

void FrmCredits::hideEvent(QHideEvent *event)
{
    m_scrollTimer->stop();
    QWidget::hideEvent(event);
}

} // namespace fc
