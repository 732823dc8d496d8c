#pragma once

#include "ThreadFinishFence.h"

#include <QThread>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>

// The library's own hot-plug watcher: a thread that signals deviceChanged()
// about three times a second; the slot connected directly does the poll.
// Between polls it sleeps.
class QDeviceWatcher : public QThread
{
    Q_OBJECT
public:
    static constexpr int kIntervalMs = 333;

    QDeviceWatcher();
    ~QDeviceWatcher() override;

    // Ends the loop and waits until the thread has finished.
    void stop();

signals:
    void deviceChanged();

protected:
    void run() override;

private:
    using Clock = std::chrono::steady_clock;
    Clock::time_point lastEmit;  // touched by the watcher thread only once started
    std::atomic<bool> running{true};
    ThreadFinishFence finished;
    // Guards nothing but the sleep between polls: stop() wakes the thread.
    std::mutex mutexWake;
    std::condition_variable cvWake;
};
