// The baseline of bench_first_frame: a minimal Qt Widgets program, linked
// with Qt Widgets alone, that shows one small window with a label. It reports
// its first frame through the same timing points as the game program.
#include "app/first_frame_report.h"

#include <QApplication>
#include <QLabel>
#include <QVBoxLayout>
#include <QWidget>

int main(int argc, char **argv)
{
    fc::firstframe::mark("main");
    QApplication app(argc, argv);
    fc::firstframe::watchFirstPaint();
    QWidget window;
    auto *layout = new QVBoxLayout(&window);
    layout->addWidget(new QLabel(QStringLiteral("Hello")));
    window.resize(400, 300);
    fc::firstframe::mark("window");
    window.show();
    fc::firstframe::mark("shown");
    return app.exec();
}
