#include "engine/ui/pause.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QTimer>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <limits>
#include <thread>

namespace fc {

void Pause(double seconds)
{
    if (!QCoreApplication::instance()) {
        if (seconds > 0)
            std::this_thread::sleep_for(std::chrono::duration<double>(std::min(seconds, 1e6)));
        return;
    }
    if (!(seconds > 0)) {
        QCoreApplication::processEvents();
        return;
    }
    const double ms = std::ceil(seconds * 1000.0);
    QEventLoop loop;
    QTimer timer;
    timer.setSingleShot(true);
    timer.setTimerType(Qt::PreciseTimer);
    QObject::connect(&timer, &QTimer::timeout, &loop, &QEventLoop::quit);
    timer.start(ms >= double(std::numeric_limits<int>::max()) ? std::numeric_limits<int>::max() : int(ms));
    loop.exec();
}

} // namespace fc
