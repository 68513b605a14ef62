#include "engine/ui/frmgame.h"
#include "engine/game_screen.h"

namespace fc {

FrmGame::FrmGame(QWidget *parent)
    : QMainWindow(parent)
{
    setObjectName(QStringLiteral("FrmGame"));
    setWindowTitle(QString::fromLatin1(kEngineTitle));
    resize(800, 600);
}

} // namespace fc
