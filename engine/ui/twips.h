#pragma once
// Screen units of the game screen: positions, moves and sizes given in twips
// (1/1440 inch) become pixels at the logical DPI of the widget's screen.

class QWidget;

namespace fc {

inline constexpr int kTwipsPerInch = 1440;

// Pixels for a horizontal / vertical distance in twips, rounded to the
// nearest pixel. A null widget uses the primary screen's DPI.
int twipsToPixelsX(const QWidget *widget, double twips);
int twipsToPixelsY(const QWidget *widget, double twips);

} // namespace fc
