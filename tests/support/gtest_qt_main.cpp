// GoogleTest entry that runs every test inside a QApplication, so tests may
// use timers, event loops and (offscreen) widgets.
//
// Each test program gets a data folder of its own (XDG_DATA_HOME), so test
// programs run side by side never share a working copy or its lock; the
// programs a test starts inherit it.
#include <QApplication>
#include <QTemporaryDir>
#include <gtest/gtest.h>

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QTemporaryDir data;
    if (data.isValid())
        qputenv("XDG_DATA_HOME", QFile::encodeName(data.path()));
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
