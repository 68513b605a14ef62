#include "engine/ui/frmcredits.h"

#include "engine/ui/artwork.h"
#include "engine/ui/twips.h"

#include <QLabel>
#include <QPainter>
#include <QTimer>

namespace fc {

namespace {
// The form's client area, in twips.
constexpr int kFormWidthTwips = 5400; // for the drawn picture; a resource keeps its proportions
constexpr int kFormHeightTwips = 6300;

struct CreditLine
{
    enum Kind { Title, Heading, Text, Small, Gap } kind;
    const char *text;
};

// Everything the program is built from, and the licence each comes under.
const CreditLine kCredits[] = {
    {CreditLine::Title, "Fablecraft 2004"},
    {CreditLine::Small, "BETA TEST VERSION 5.6"},
    {CreditLine::Gap, ""},
    {CreditLine::Heading, "Made by"},
    {CreditLine::Text, "The Fablecraft team"},
    {CreditLine::Gap, ""},
    {CreditLine::Heading, "Story"},
    {CreditLine::Text, "The Vellum Adventure"},
    {CreditLine::Small, "an original tale, with its own pictures,"},
    {CreditLine::Small, "music and sounds made for this program"},
    {CreditLine::Gap, ""},
    {CreditLine::Heading, "Built with"},
    {CreditLine::Text, "Qt 6"},
    {CreditLine::Small, "GNU LGPL version 3"},
    {CreditLine::Text, "FluidSynth"},
    {CreditLine::Small, "GNU LGPL version 2.1 or later"},
    {CreditLine::Text, "TimGM6mb sound font"},
    {CreditLine::Small, "GNU GPL version 2"},
    {CreditLine::Text, "GStreamer"},
    {CreditLine::Small, "GNU LGPL version 2.1 or later"},
    {CreditLine::Text, "DejaVu fonts"},
    {CreditLine::Small, "Bitstream Vera licence, public domain changes"},
    {CreditLine::Text, "GoogleTest"},
    {CreditLine::Small, "BSD 3-Clause licence"},
    {CreditLine::Text, "Google Benchmark"},
    {CreditLine::Small, "Apache licence 2.0"},
    {CreditLine::Text, "CMake"},
    {CreditLine::Small, "BSD 3-Clause licence"},
    {CreditLine::Gap, ""},
    {CreditLine::Heading, "Thanks to"},
    {CreditLine::Text, "everyone who plays, writes"},
    {CreditLine::Text, "and shares a quest"},
    {CreditLine::Gap, ""},
    {CreditLine::Heading, "The End"},
};
} // namespace

QPixmap creditsPicture(int width, int height)
{
    QPixmap pm(width, height);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    p.setRenderHint(QPainter::TextAntialiasing);
    QFont serif(QStringLiteral("DejaVu Serif"));
    int y = 0;
    for (const CreditLine &line : kCredits) {
        QFont f = serif;
        QColor color = art::kParchment;
        int lineHeight = 0;
        switch (line.kind) {
        case CreditLine::Title:
            f.setPixelSize(30);
            f.setBold(true);
            color = art::kGold;
            lineHeight = 44;
            break;
        case CreditLine::Heading:
            f.setPixelSize(18);
            f.setItalic(true);
            color = art::kGold;
            lineHeight = 30;
            break;
        case CreditLine::Text:
            f.setPixelSize(17);
            lineHeight = 24;
            break;
        case CreditLine::Small:
            f.setPixelSize(12);
            color = QColor(0xc8, 0xb8, 0x98);
            lineHeight = 20;
            break;
        case CreditLine::Gap:
            lineHeight = 34;
            break;
        }
        if (y + lineHeight > height)
            break;
        p.setFont(f);
        p.setPen(color);
        p.drawText(QRect(0, y, width, lineHeight), Qt::AlignCenter, QString::fromLatin1(line.text));
        y += lineHeight;
    }
    return pm;
}

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
    QPixmap picture;
    if (art::hasResource(QString::fromLatin1(art::kCreditsRoll)))
        picture = art::pixmap(QString::fromLatin1(art::kCreditsRoll), {})
                      .scaledToHeight(pictureHeight, Qt::SmoothTransformation);
    else
        picture = creditsPicture(twipsToPixelsX(this, kFormWidthTwips), pictureHeight);
    setFixedSize(picture.width(), formHeight);

    m_picture1 = new QWidget(this);
    m_picture1->setObjectName(QStringLiteral("Picture1"));
    m_picture1->setFixedSize(picture.size());
    m_image1 = new QLabel(m_picture1);
    m_image1->setObjectName(QStringLiteral("Image1"));
    m_image1->setGeometry(QRect(QPoint(), picture.size()));
    m_image1->setPixmap(picture);

    m_timer1 = new QTimer(this);
    m_timer1->setObjectName(QStringLiteral("Timer1"));
    m_timer1->setInterval(kIntervalMs);
    connect(m_timer1, &QTimer::timeout, this, &FrmCredits::tick);
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
    m_picture1->move(0, twipsToPixelsY(this, m_topTwips));
}

void FrmCredits::showEvent(QShowEvent *event)
{
    m_timer1->start();
    QWidget::showEvent(event);
}

void FrmCredits::hideEvent(QHideEvent *event)
{
    m_timer1->stop();
    QWidget::hideEvent(event);
}

} // namespace fc
