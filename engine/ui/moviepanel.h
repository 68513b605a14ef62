#pragma once
// The movie panel (MovBox): the video surface Movie of the page's movie
// player, and the hidden stop button Command2 of the music player.

#include "engine/ui/panelframe.h"

class QPushButton;
class QVideoWidget;

namespace fc {

class MoviePanel : public PanelFrame
{
    Q_OBJECT
public:
    explicit MoviePanel(QWidget *parent);
    // Where the movie player draws its frames.
    QVideoWidget *movie() const { return m_movie; }

private:
    QVideoWidget *m_movie;
    QPushButton *m_command2;
};

} // namespace fc
