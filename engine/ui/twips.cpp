#include "engine/ui/twips.h"

#include <QGuiApplication>
#include <QScreen>
#include <QWidget>

#include <cmath>

namespace fc {

namespace {
double dpi(const QWidget *widget, bool horizontal)
{
    if (widget)
        return horizontal ? widget->logicalDpiX() : widget->logicalDpiY();
    if (const QScreen *screen = QGuiApplication::primaryScreen())
        return horizontal ? screen->logicalDotsPerInchX() : screen->logicalDotsPerInchY();
    return 96;
}
} // namespace

int twipsToPixelsX(const QWidget *widget, double twips)
{
    return int(std::lround(twips * dpi(widget, true) / kTwipsPerInch));
}

int twipsToPixelsY(const QWidget *widget, double twips)
{
    return int(std::lround(twips * dpi(widget, false) / kTwipsPerInch));
}

} // namespace fc
