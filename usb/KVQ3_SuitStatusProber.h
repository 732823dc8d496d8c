#pragma once

#include "ThreadFinishFence.h"

#include <QThread>
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <mutex>

class MotionCaptureSuit;

// A suit's status thread: a status pass every interval, with the
// one-second bookkeeping every statusPeriodMs.
class KVQ3_SuitStatusProber : public QThread
{
    Q_OBJECT
public:
    KVQ3_SuitStatusProber();
    ~KVQ3_SuitStatusProber() override;

    // Clamps hz to 1..10 and derives the interval.
    void setFrequency(unsigned int hz);
    unsigned int getFrequency() const { return frequency.load(); }
    unsigned int getIntervalMs() const { return intervalMs.load(); }
    void setSuit(MotionCaptureSuit* owner) { suit = owner; }
    // Ends the loop at once and waits for the thread.
    void stop();

protected:
    void run() override;

private:
    const uint32_t maxFrequency = 10;
    const uint32_t minFrequency = 1;
    std::atomic<uint32_t> frequency{10};
    std::atomic<uint32_t> intervalMs{100};
    MotionCaptureSuit* suit = nullptr;  // set before the thread starts
    const uint32_t statusPeriodMs = 1000;
    uint32_t elapsedMs = 0;             // prober thread only
    // Guards stopRequested for the wake-up of the sleeping loop.
    std::mutex mutexStop;
    std::condition_variable wake;
    bool stopRequested = false;
    ThreadFinishFence finished;
};
