#include "ThreadReadSensorData.h"
#include "MonotonicTick.h"
#include "RateCounter.h"

#include <cstdio>

ThreadReadSensorData::ThreadReadSensorData(DeviceManager* manager)
    : pManager(manager)
{
}

ThreadReadSensorData::~ThreadReadSensorData()
{
    requestInterruption();
    quit();
    wait();
    finishFence.passed();
}

void ThreadReadSensorData::run()
{
    ThreadFinishFence::Guard fence(finishFence);
    RateCounter rate;
    while (!isInterruptionRequested()) {
        const int slow = rate.tick(monotonicTickMs());
        if (slow >= 0) {
            std::printf("thread use much time. current rate:----%d\r\n", slow);
            std::fflush(stdout);
        }
        emit ReadBufferData();
        QThread::msleep(1);
    }
}
