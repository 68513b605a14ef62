#include "engine/ui/moviepanel.h"

#include <QPushButton>
#include <QVBoxLayout>

namespace fc {

MoviePanel::MoviePanel(QWidget *parent)
    : PanelFrame(QStringLiteral("MovBox"), QString(), parent)
{
    setGraphicsEffect(nullptr); // video frames are drawn by the platform, not through an effect
    m_command2 = new QPushButton(QStringLiteral("Stop"), this);
    m_command2->setObjectName(QStringLiteral("Command2"));
    m_command2->hide(); // the engine runs the music's stop sequence itself
    body()->addWidget(m_command2);
}

void MoviePanel::setVisible(bool visible)
{
    if (visible && !m_movie) {
        m_movie = new QWidget(this);
        m_movie->setObjectName(QStringLiteral("Movie"));
        // Black until the first picture, and where the picture leaves room.
        m_movie->setAutoFillBackground(true);
        QPalette black = m_movie->palette();
        black.setColor(QPalette::Window, Qt::black);
        m_movie->setPalette(black);
        auto *fill = new QVBoxLayout(m_movie);
        fill->setContentsMargins(0, 0, 0, 0);
        body()->insertWidget(0, m_movie, 1);
        Q_EMIT movieCreated(m_movie);
    }
    PanelFrame::setVisible(visible);
}

} // namespace fc
