#include "engine/ui/frmgame.h"

#include <QApplication>

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Fablecraft"));
    fc::FrmGame game;
    game.show();
    return app.exec();
}
