#pragma once

#include <chrono>
#include <condition_variable>
#include <mutex>

// Lets the reader thread sleep while no port has delivered bytes: the I/O
// threads notify after each append, the reader waits when a pass found
// nothing to take. A notification that comes while the reader is busy is
// kept, so no bytes wait for the next delivery.
class ReaderWake
{
public:
    void notify();
    // Returns at the first notification since the last wait (true), or
    // after the time-out (false).
    bool wait(std::chrono::milliseconds timeout);

private:
    // Guards pending.
    std::mutex mutex;
    std::condition_variable cv;
    bool pending = false;
};
