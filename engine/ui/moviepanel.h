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
    // Where the movie player draws its frames; null until the panel is first
    // shown. The video output pulls in the platform's video and OpenGL
    // stack, which a game without movies never needs.
    QVideoWidget *movie() const { return m_movie; }

Q_SIGNALS:
    // The video surface was made, just before the panel first shows.
    void movieCreated(QWidget *movie);

public:
    void setVisible(bool visible) override;

private:
    QVideoWidget *m_movie = nullptr;
    QPushButton *m_command2;
};

} // namespace fc
