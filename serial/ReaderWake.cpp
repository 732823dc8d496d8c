#include "ReaderWake.h"

void ReaderWake::notify()
{
    {
        std::lock_guard<std::mutex> lock(mutex);
        pending = true;
    }
    cv.notify_one();
}

bool ReaderWake::wait(std::chrono::milliseconds timeout)
{
    std::unique_lock<std::mutex> lock(mutex);
    const bool notified = cv.wait_for(lock, timeout, [this] { return pending; });
    pending = false;
    return notified;
}
