#pragma once

#include <atomic>

// QThread::wait() synchronises with the finishing thread through Qt's
// futex-based mutex, which ThreadSanitizer cannot see. This release/acquire
// pair states the same ordering in a form the tool understands: call
// arrive() as the last step of run() (a Guard does it on every return) and
// passed() after wait() has returned.
class ThreadFinishFence
{
public:
    void arrive() { done.store(true, std::memory_order_release); }
    bool passed() const { return done.load(std::memory_order_acquire); }

    class Guard
    {
    public:
        explicit Guard(ThreadFinishFence& fence) : f(fence) {}
        ~Guard() { f.arrive(); }
        Guard(const Guard&) = delete;
        Guard& operator=(const Guard&) = delete;

    private:
        ThreadFinishFence& f;
    };

private:
    std::atomic<bool> done{false};
};
