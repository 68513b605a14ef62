// The program's entry: the game screen over the engine.
#include "app/program.h"

#include <QApplication>

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Fablecraft"));
    fc::Program program(QCoreApplication::applicationDirPath());
    program.start();
    return app.exec();
}
