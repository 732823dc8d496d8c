#pragma once

#include <chrono>
#include <cstdint>

// Milliseconds of the system's monotonic clock, as a tick counter.
inline int64_t monotonicTickMs()
{
    return std::chrono::duration_cast<std::chrono::milliseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}
