#include "app/PumpDelay.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QTimer>
#include <algorithm>
#include <chrono>
#include <cmath>
#include <thread>

bool PumpDelay(float Milliseconds) {
    if (!(Milliseconds > 0)) {
        return true;
    }
    using Clock = std::chrono::steady_clock;
    const auto deadline =
        Clock::now() + std::chrono::duration_cast<Clock::duration>(
                           std::chrono::duration<double, std::milli>(Milliseconds));
    if (QCoreApplication::instance() == nullptr) {
        std::this_thread::sleep_until(deadline);
        return true;
    }
    QEventLoop loop;
    QTimer timer;
    timer.setSingleShot(true);
    timer.setTimerType(Qt::PreciseTimer);
    bool timedOut = false;
    QObject::connect(&timer, &QTimer::timeout, &loop, [&] {
        timedOut = true;
        loop.exit(0);
    });
    for (auto now = Clock::now(); now < deadline; now = Clock::now()) {
        const double left = std::chrono::duration<double, std::milli>(deadline - now).count();
        // Rounded up, so the timer never fires before the deadline it is meant for.
        timer.start(static_cast<int>(std::min(std::ceil(left), 2147483647.0)));
        timedOut = false;
        loop.exec();
        if (!timedOut) {
            // Only the application's quitting ends our loop without the timer.
            return false;
        }
    }
    return true;
}
