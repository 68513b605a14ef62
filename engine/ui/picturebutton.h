#pragma once
// Picture controls of the game screen: picture buttons (Picture1, Picture3,
// Image1..Image11), pictures (Image3, Picture4) and clickable labels
// (Label14..Label16).

#include <QImage>
#include <QLabel>
#include <QPixmap>
#include <QWidget>

namespace fc {

// A picture that acts as a button. It reports clicks and the pointer moving
// over it, and lights up while pointed at.
class PictureButton : public QWidget
{
    Q_OBJECT
public:
    // artName: picture name for art::pixmap; size: the button's fixed size.
    PictureButton(const QString &objectName, const QString &artName, const QSize &size, QWidget *parent = nullptr);

    void setArt(const QString &artName);
    // Text drawn under the picture, inside the button; empty for none.
    void setCaption(const QString &caption);
    const QString &caption() const { return m_caption; }

Q_SIGNALS:
    // Pressed and released with the left button inside the picture.
    void clicked();
    // The pointer moved over the picture.
    void pointed();

protected:
    void paintEvent(QPaintEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void enterEvent(QEnterEvent *event) override;
    void leaveEvent(QEvent *event) override;

private:
    QString m_art;
    QString m_caption;
    bool m_hover = false;
    bool m_down = false;
};

// A picture control (Image3, Picture4): shows an image scaled to fit,
// keeping its proportions; a null image shows an empty frame.
class PictureView : public QWidget
{
    Q_OBJECT
public:
    explicit PictureView(const QString &objectName, QWidget *parent = nullptr);
    void setImage(const QImage &image);
    const QImage &image() const { return m_image; }
    QSize sizeHint() const override { return {240, 200}; }

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    QImage m_image;
};

} // namespace fc

namespace fc {

// A label that can be clicked and reports the pointer over it (Label14,
// Label15, Label16).
class ClickLabel : public QLabel
{
    Q_OBJECT
public:
    ClickLabel(const QString &objectName, const QString &text, QWidget *parent = nullptr);

Q_SIGNALS:
    void clicked();
    void pointed();

protected:
    void mouseReleaseEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void enterEvent(QEnterEvent *event) override;
};

} // namespace fc
