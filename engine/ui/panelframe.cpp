#include "engine/ui/panelframe.h"

#include "engine/game_screen.h"

#include <QAccessible>
#include <QAccessibleWidget>
#include <QGraphicsDropShadowEffect>
#include <QLabel>
#include <QProgressBar>
#include <QVBoxLayout>

#include <algorithm>
#include <cmath>

namespace fc {

namespace {
class HeadingAccessible : public QAccessibleWidget
{
public:
    explicit HeadingAccessible(QLabel *label) : QAccessibleWidget(label, QAccessible::Heading) {}
    QString text(QAccessible::Text t) const override
    {
        if (t == QAccessible::Name)
            return static_cast<QLabel *>(widget())->text();
        return QAccessibleWidget::text(t);
    }
};

QAccessibleInterface *headingAccessible(const QString &className, QObject *object)
{
    if (className != QLatin1String(HeadingLabel::staticMetaObject.className()))
        return nullptr;
    return new HeadingAccessible(static_cast<QLabel *>(object));
}
} // namespace

HeadingLabel::HeadingLabel(const QString &text, QWidget *parent)
    : QLabel(text, parent)
{
    static const bool installed = [] {
        QAccessible::installFactory(headingAccessible);
        return true;
    }();
    Q_UNUSED(installed);
    setTextFormat(Qt::PlainText);
    setProperty("heading", true);
}

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
        auto *title = new HeadingLabel(heading, this);
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
    const int maximum = int(std::lround(std::clamp(value.maximum, 0.0, 2147483647.0)));
    const int shown = maximum <= 0 ? 0 : qBound(0, int(std::lround(std::clamp(value.value, 0.0, 2147483647.0))), maximum);
    if (bar->minimum() != 0 || bar->maximum() != qMax(maximum, 1))
        bar->setRange(0, qMax(maximum, 1));
    bar->setValue(shown);
    const QString description = QStringLiteral("%1 of %2").arg(shown).arg(maximum);
    if (bar->accessibleDescription() != description)
        bar->setAccessibleDescription(description);
}

void setTextIfChanged(QLabel *label, const QString &text)
{
    if (label->text() != text)
        label->setText(text);
}

void setAccessibleNameIfChanged(QWidget *widget, const QString &name)
{
    if (widget->accessibleName() != name)
        widget->setAccessibleName(name);
}

} // namespace fc
