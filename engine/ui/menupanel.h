#pragma once
// The menu panel (Picture2): a picture over the whole game screen holding the
// picture buttons of the game's menu. Pointing at a button writes its help
// text into Label2; pointing at the bare panel empties it.

#include <QFrame>

class QLabel;

namespace fc {

class ClickLabel;
class Game;
class PictureButton;

class MenuPanel : public QFrame
{
    Q_OBJECT
public:
    MenuPanel(Game &game, QWidget *parent);

Q_SIGNALS:
    void creditsRequested(); // Image9
    void editorRequested();  // Image8
    void closeRequested();   // Image10

protected:
    void paintEvent(QPaintEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;

private:
    PictureButton *addButton(const QString &name, const QString &art, const QString &help, const QSize &size);
    void addHelp(QWidget *control, const QString &help);
    void refresh();

    Game &m_game;
    QLabel *m_title;
    QLabel *m_startHint;
    QLabel *m_label2;
    PictureButton *m_image1, *m_image8, *m_image10, *m_image11;
    ClickLabel *m_label15;
};

} // namespace fc
