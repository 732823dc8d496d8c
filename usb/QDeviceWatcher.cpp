#include "QDeviceWatcher.h"

QDeviceWatcher::QDeviceWatcher() : lastEmit(Clock::now()) {}

QDeviceWatcher::~QDeviceWatcher()
{
    stop();
}

void QDeviceWatcher::run()
{
    ThreadFinishFence::Guard guard(finished);
    while (running.load()) {
        const Clock::time_point now = Clock::now();
        if (std::chrono::duration<double, std::milli>(now - lastEmit).count() > kIntervalMs) {
            emit deviceChanged();
            lastEmit = now;
        }
        QThread::msleep(1);
    }
}

void QDeviceWatcher::stop()
{
    running = false;
    wait();
    finished.passed();
}
