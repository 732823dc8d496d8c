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
            continue;
        }
        // Just past the interval, so that "more than" holds on waking.
        const Clock::time_point due = lastEmit + std::chrono::milliseconds(kIntervalMs + 1);
        std::unique_lock<std::mutex> lock(mutexWake);
        cvWake.wait_until(lock, due, [this] { return !running.load(); });
    }
}

void QDeviceWatcher::stop()
{
    {
        std::lock_guard<std::mutex> lock(mutexWake);
        running = false;
    }
    cvWake.notify_one();
    wait();
    finished.passed();
}
