#pragma once
// The credits form (FrmCredits): the credits picture Image1 inside the box
// Picture1 scrolls up 25 twips every 25 ms. Before each move, a box that has
// scrolled above -10200 twips hides the form. The position is never reset,
// so a form shown again after one full scroll hides at its next tick. The
// timer runs only while the form is shown.

#include <QWidget>

class QLabel;
class QTimer;

namespace fc {

class FrmCredits : public QWidget
{
    Q_OBJECT
public:
    explicit FrmCredits(QWidget *parent = nullptr);

    // Top of Picture1 in twips (0 at first, lowered by each tick).
    int topTwips() const { return m_topTwips; }
    QTimer *timer() const { return m_scrollTimer; }

    static constexpr int kStepTwips = 25;
    static constexpr int kIntervalMs = 25;
    static constexpr int kHideBelowTwips = -10200;

public Q_SLOTS:
    // One tick of Timer1.
    void tick();

protected:
    void showEvent(QShowEvent *event) override;
    void hideEvent(QHideEvent *event) override;

private:
    void place();

    QWidget *m_creditsRoll;
    QLabel *m_creditsPicture;
    QTimer *m_scrollTimer;
    int m_topTwips = 0;
};

} // namespace fc
