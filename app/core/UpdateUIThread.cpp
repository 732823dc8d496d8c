#include "UpdateUIThread.h"

#include <chrono>

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
    while (bRunning.load()) {
        const int64_t now = counter();
        if (double(now - nLastTick) / dFrequency * 1000.0 > 33.0 && !bPending.exchange(true)) {
            emit updateUI();
            nLastTick = now;
        }
        QThread::msleep(1);
    }
    bFinished.store(true);
}

void UpdateUIThread::stop()
{
    bRunning.store(false);
    wait();
    // Pairs with the store at the end of run(): the sanitizer cannot see
    // QThread::wait's own synchronisation.
    bFinished.load();
}
