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
    QLabel *m_helpLine;
    PictureButton *m_loadQuestButton, *m_createButton, *m_quitButton, *m_bookButton;
    ClickLabel *m_autoUpdateLabel;
};

} // namespace fc
