#pragma once

#include <cstdint>
#include <mutex>

// Counts events in windows of 1000 ms of the monotonic tick counter and
// reports windows that saw fewer than 1000 events. The first window is
// measured from tick 0, as the diagnostics always have been. Several threads
// may count into one instance.
class RateCounter
{
public:
    // Returns the count of the window that just ended when it was below
    // 1000, or -1. Call once per event, or once for `events` events.
    int tick(int64_t nowMs, int events = 1);

private:
    // Guards the window and its count.
    std::mutex mutex;
    int64_t windowStart = 0;
    int count = 0;
};
