#pragma once
#include <QMainWindow>

namespace fc {

// The game screen's window.
class FrmGame : public QMainWindow
{
    Q_OBJECT
public:
    explicit FrmGame(QWidget *parent = nullptr);
};

} // namespace fc
