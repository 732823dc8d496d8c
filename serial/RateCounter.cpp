#include "RateCounter.h"

int RateCounter::tick(int64_t nowMs, int events)
{
    std::lock_guard<std::mutex> lock(mutex);
    int slowWindow = -1;
    if (nowMs - windowStart >= 1000) {
        if (count < 1000)
            slowWindow = count;
        windowStart = nowMs;
        count = 0;
    }
    count += events;
    return slowWindow;
}
