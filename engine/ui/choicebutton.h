#pragma once
// A choice button (Option1..Option4): a radio button whose caption, when it
// is wider than the button, is shown cut short with an ellipsis; the whole
// caption stays its text, tool tip and accessible name.

#include <QRadioButton>

namespace fc {

class ChoiceButton : public QRadioButton
{
    Q_OBJECT
public:
    ChoiceButton(const QString &objectName, QWidget *parent);
    // Sets the caption exactly as written (an ampersand is no access key).
    void setCaption(const QString &caption);

protected:
    void paintEvent(QPaintEvent *event) override;
};

} // namespace fc
