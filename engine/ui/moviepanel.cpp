#include "engine/ui/moviepanel.h"

#include <QPushButton>
#include <QVBoxLayout>
#include <QVideoWidget>

namespace fc {

MoviePanel::MoviePanel(QWidget *parent)
    : PanelFrame(QStringLiteral("MovBox"), QString(), parent)
{
    setGraphicsEffect(nullptr); // video frames are drawn by the platform, not through an effect
    m_movie = new QVideoWidget(this);
    m_movie->setObjectName(QStringLiteral("Movie"));
    m_movie->setAspectRatioMode(Qt::KeepAspectRatio);
    m_command2 = new QPushButton(QStringLiteral("Stop"), this);
    m_command2->setObjectName(QStringLiteral("Command2"));
    m_command2->hide(); // the engine runs the music's stop sequence itself
    body()->addWidget(m_movie, 1);
    body()->addWidget(m_command2);
}

} // namespace fc
