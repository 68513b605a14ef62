#pragma once
// Base of the panels laid over the game screen (battle box, inventory,
// movie, character): a raised frame with a title strip. The game screen
// places them; each panel binds its own controls to the game state.

#include <QFrame>
#include <QLabel>

class QProgressBar;
class QVBoxLayout;

namespace fc {

struct Bar;

// A heading on the game screen (a panel's title, the end of a story): a
// heading to screen readers too, named by its text.
class HeadingLabel : public QLabel
{
    Q_OBJECT
public:
    HeadingLabel(const QString &text, QWidget *parent);
};

class PanelFrame : public QFrame
{
    Q_OBJECT
public:
    PanelFrame(const QString &objectName, const QString &heading, QWidget *parent);
    // Where the panel's controls go, below the heading.
    QVBoxLayout *body() const { return m_body; }

private:
    QVBoxLayout *m_body = nullptr;
};

// Shows a game-state bar on a progress bar. A bar without a positive maximum
// shows empty rather than as a busy indicator. Screen readers get the value
// as "VALUE of MAXIMUM" in the bar's description.
void showBar(QProgressBar *bar, const Bar &value);

// Setters that leave a control alone when the value is already shown, so a
// screen reader hears only what changed.
void setTextIfChanged(QLabel *label, const QString &text);
void setAccessibleNameIfChanged(QWidget *widget, const QString &name);

} // namespace fc
