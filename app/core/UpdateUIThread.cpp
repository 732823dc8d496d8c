#include "UpdateUIThread.h"

#include <chrono>

namespace {
constexpr double kPeriodMs = 33.0;
}

UpdateUIThread::UpdateUIThread()
    : dFrequency(1e9)
    , nLastTick(counter())
{
}

UpdateUIThread::~UpdateUIThread()
{
    stop();
}

int64_t UpdateUIThread::counter()
{
    return std::chrono::duration_cast<std::chrono::nanoseconds>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

void UpdateUIThread::run()
{
    std::unique_lock<std::mutex> lock(mutexWake);
    while (bRunning.load()) {
        const int64_t now = counter();
        const double elapsedMs = double(now - nLastTick) / dFrequency * 1000.0;
        if (elapsedMs <= kPeriodMs) {
            // Just past the period, so that "more than 33 ms" holds on waking.
            const auto rest = std::chrono::nanoseconds(int64_t((kPeriodMs - elapsedMs) * 1e6) + 100000);
            cvWake.wait_for(lock, rest, [this] { return !bRunning.load(); });
            continue;
        }
        if (bPending.exchange(true)) {
            bAwaitingAck = true;
            cvWake.wait(lock, [this] { return !bRunning.load() || !bPending.load(); });
            bAwaitingAck = false;
            continue;
        }
        nLastTick = now;
        lock.unlock();
        emit updateUI();
        lock.lock();
    }
    bFinished.store(true);
}

void UpdateUIThread::acknowledge()
{
    bPending.store(false);
    std::lock_guard<std::mutex> lock(mutexWake);
    if (bAwaitingAck)
        cvWake.notify_one();
}

void UpdateUIThread::stop()
{
    {
        std::lock_guard<std::mutex> lock(mutexWake);
        bRunning.store(false);
    }
    cvWake.notify_one();
    wait();
    // Pairs with the store at the end of run(): the sanitizer cannot see
    // QThread::wait's own synchronisation.
    bFinished.load();
}
