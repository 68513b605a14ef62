#include "engine/ui/choicebutton.h"

#include <QStyleOptionButton>
#include <QStylePainter>

namespace fc {

ChoiceButton::ChoiceButton(const QString &objectName, QWidget *parent)
    : QRadioButton(parent)
{
    setObjectName(objectName);
    // The button takes the width it is given; a long caption is cut short
    // instead of widening the window.
    setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Fixed);
    setCursor(Qt::PointingHandCursor);
}

void ChoiceButton::setCaption(const QString &caption)
{
    if (toolTip() == caption && accessibleName() == caption)
        return;
    QString text = caption;
    setText(text.replace(QLatin1Char('&'), QLatin1String("&&")));
    setToolTip(caption);
    setAccessibleName(caption);
}

void ChoiceButton::paintEvent(QPaintEvent *)
{
    QStylePainter painter(this);
    QStyleOptionButton option;
    initStyleOption(&option);
    const QRect textRect = style()->subElementRect(QStyle::SE_RadioButtonContents, &option, this);
    if (fontMetrics().horizontalAdvance(option.text) > textRect.width())
        option.text = fontMetrics().elidedText(option.text, Qt::ElideRight, textRect.width());
    painter.drawControl(QStyle::CE_RadioButton, option);
}

} // namespace fc
