#include "ReaderWake.h"

void ReaderWake::notify()
{
    {
        std::lock_guard<std::mutex> lock(mutex);
        pending = true;
    }
    cv.notify_one();
}

void ReaderWake::wait(std::chrono::milliseconds timeout)
{
    std::unique_lock<std::mutex> lock(mutex);
    cv.wait_for(lock, timeout, [this] { return pending; });
    pending = false;
}
