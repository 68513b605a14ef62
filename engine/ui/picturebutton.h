#pragma once
// Picture controls of the game screen: picture buttons (Picture1, Picture3,
// Image1..Image11), pictures (Image3, Picture4) and clickable labels
// (Label14..Label16).

#include <QAbstractButton>
#include <QImage>
#include <QLabel>
#include <QPixmap>
#include <QWidget>

namespace fc {

// A picture that acts as a button: clicked by the left mouse button released
// over it, by Space, Enter or Return while it has the focus, which it shows
// with a ring. It reports the pointer moving over it and lights up then.
// Screen readers see a button named by its accessible name.
class PictureButton : public QAbstractButton
{
    Q_OBJECT
public:
    // artName: picture name for art::pixmap; size: the button's fixed size.
    PictureButton(const QString &objectName, const QString &artName, const QSize &size, QWidget *parent = nullptr);

    // Text drawn under the picture, inside the button; empty for none.
    void setCaption(const QString &caption);
    const QString &caption() const { return m_caption; }

Q_SIGNALS:
    // The pointer moved over the picture.
    void pointed();

protected:
    void paintEvent(QPaintEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void enterEvent(QEnterEvent *event) override;
    void leaveEvent(QEvent *event) override;

private:
    QString m_art;
    QString m_caption;
    bool m_hover = false;
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
// Label15, Label16). It takes the focus like a button and is pressed by
// Space, Enter or Return.
class ClickLabel : public QLabel
{
    Q_OBJECT
public:
    ClickLabel(const QString &objectName, const QString &text, QWidget *parent = nullptr);

Q_SIGNALS:
    void clicked();
    void pointed();

protected:
    void paintEvent(QPaintEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void enterEvent(QEnterEvent *event) override;
};

} // namespace fc
