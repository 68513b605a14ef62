#include "engine/ui/panelframe.h"

#include "engine/game_screen.h"

#include <QGraphicsDropShadowEffect>
#include <QLabel>
#include <QProgressBar>
#include <QVBoxLayout>

#include <cmath>

namespace fc {

PanelFrame::PanelFrame(const QString &objectName, const QString &heading, QWidget *parent)
    : QFrame(parent)
{
    setObjectName(objectName);
    setProperty("panel", true); // styled as a raised panel by the game screen's style sheet
    setFrameShape(QFrame::StyledPanel);
    setFrameShadow(QFrame::Raised);
    setAutoFillBackground(true);
    auto *shadow = new QGraphicsDropShadowEffect(this);
    shadow->setBlurRadius(24);
    shadow->setOffset(4, 6);
    shadow->setColor(QColor(0, 0, 0, 170));
    setGraphicsEffect(shadow);

    auto *outer = new QVBoxLayout(this);
    outer->setContentsMargins(14, 10, 14, 14);
    outer->setSpacing(8);
    if (!heading.isEmpty()) {
        auto *title = new QLabel(heading, this);
        title->setProperty("heading", true);
        title->setAlignment(Qt::AlignCenter);
        outer->addWidget(title);
    }
    m_body = new QVBoxLayout;
    m_body->setSpacing(8);
    outer->addLayout(m_body, 1);
    hide();
}

void showBar(QProgressBar *bar, const Bar &value)
{
    const int maximum = int(std::lround(value.maximum));
    if (maximum <= 0) {
        bar->setRange(0, 1);
        bar->setValue(0);
        return;
    }
    bar->setRange(0, maximum);
    bar->setValue(qBound(0, int(std::lround(value.value)), maximum));
}

} // namespace fc
