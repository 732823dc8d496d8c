#include "KVQ3_SuitStatusProber.h"

#include "MotionCaptureSuit.h"
#include "UsbLog.h"

#include <chrono>

KVQ3_SuitStatusProber::KVQ3_SuitStatusProber() : QThread(nullptr)
{
    setFrequency(10);
}

KVQ3_SuitStatusProber::~KVQ3_SuitStatusProber()
{
    stop();
}

void KVQ3_SuitStatusProber::setFrequency(unsigned int hz)
{
    if (hz > maxFrequency) {
        usbLog("Frequency set above %02dHz is not allowed!", maxFrequency);
        hz = maxFrequency;
    } else if (hz < minFrequency) {
        usbLog("Frequency set below 1Hz is not allowed!\r\n");
        hz = minFrequency;
    }
    frequency = hz;
    usbLog("Set freq to %02dHz\r\n", hz);
    intervalMs = 1000 / hz;
    usbLog("Set interval to %02d ms.\r\n", intervalMs.load());
}

void KVQ3_SuitStatusProber::stop()
{
    {
        std::lock_guard<std::mutex> lock(mutexStop);
        stopRequested = true;
    }
    wake.notify_all();
    requestInterruption();
    wait();
    finished.passed();
}

void KVQ3_SuitStatusProber::run()
{
    ThreadFinishFence::Guard guard(finished);
    for (;;) {
        const uint32_t interval = intervalMs.load();
        {
            std::unique_lock<std::mutex> lock(mutexStop);
            if (wake.wait_for(lock, std::chrono::milliseconds(interval), [this] { return stopRequested; }))
                return;
        }
        if (!suit)
            continue;
        elapsedMs += interval;
        const bool periodTick = elapsedMs >= statusPeriodMs;
        if (periodTick)
            elapsedMs = 0;
        suit->calcUpdateSensorsStat(true, periodTick);
    }
}
