#include "ThreadReadSensorData.h"
#include "MonotonicTick.h"
#include "DeviceManager.h"
#include "RateCounter.h"

#include <cstdio>

namespace {
// How long the reader lets pieces gather after a wake-up: a frame waits up
// to this much longer before it is decoded (after up to 16 ms in its port's
// thread), while one round of passes takes the pieces of many ports.
constexpr unsigned long kGatherMs = 8;
} // namespace

ThreadReadSensorData::ThreadReadSensorData(DeviceManager* manager)
    : pManager(manager)
{
}

ThreadReadSensorData::~ThreadReadSensorData()
{
    requestInterruption();
    pManager->readerWakeup().notify();
    quit();
    wait();
    finishFence.passed();
}

void ThreadReadSensorData::run()
{
    ThreadFinishFence::Guard fence(finishFence);
    RateCounter rate;
    int idleMs = 0;
    while (!isInterruptionRequested()) {
        // A millisecond asleep stands for a pass the loop had no work for, so
        // the rate line still tells of a reader that cannot keep up.
        const int slow = rate.tick(monotonicTickMs(), 1 + idleMs);
        if (slow >= 0) {
            std::printf("thread use much time. current rate:----%d\r\n", slow);
            std::fflush(stdout);
        }
        emit ReadBufferData();
        idleMs = 0;
        if (pManager->passProgressed())
            continue;
        // Nothing to take until a port delivers more bytes.
        const int64_t asleep = monotonicTickMs();
        // Every port delivers its pieces every few milliseconds, each at its
        // own moment: waiting a little more lets the others' pieces come, so
        // one round of passes takes them all instead of one wake-up per port.
        if (pManager->readerWakeup().wait(std::chrono::milliseconds(100)) && !isInterruptionRequested())
            QThread::msleep(kGatherMs);
        idleMs = int(monotonicTickMs() - asleep);
    }
}
