// fablecraft-cli: the text-mode player and storage tools over the same core.
#include <QCoreApplication>
#include <QTextStream>

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QTextStream(stderr) << "usage: fablecraft-cli ini get FILE SECTION KEY | ini set FILE SECTION KEY VALUE | play ...\n";
    return 2;
}
