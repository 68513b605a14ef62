#pragma once
// The movie panel (MovBox): the video surface Movie of the page's movie
// player, and the hidden stop button Command2 of the music player.

#include "engine/ui/panelframe.h"

class QPushButton;

namespace fc {

class MoviePanel : public PanelFrame
{
    Q_OBJECT
public:
    explicit MoviePanel(QWidget *parent);
    // Where the movie player's video surface goes (its parent, which it
    // fills); null until the panel is first shown. The video surface is made
    // by the media back-ends, which pull in the platform's video and OpenGL
    // stack that a game without movies never needs.
    QWidget *movie() const { return m_movie; }

Q_SIGNALS:
    // The movie's place was made, just before the panel first shows.
    void movieCreated(QWidget *movie);

public:
    void setVisible(bool visible) override;

private:
    QWidget *m_movie = nullptr;
    QPushButton *m_command2;
};

} // namespace fc
