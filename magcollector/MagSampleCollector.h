#pragma once

#include <array>
#include <atomic>
#include <mutex>
#include <vector>

// The samples of one collection and whether it is full.
class MagSampleCollector
{
public:
    static constexpr int kCapacity = 1000;

    MagSampleCollector();

    // Returns the progress after appending, or -1 (nothing appended) when full.
    int offer(const float* sample);
    bool isFull() const { return full.load() != 0; }
    int count() const;

private:
    // Guards samples.
    mutable std::mutex lock;
    std::vector<std::array<float, 3>> samples;
    std::atomic<int> full{0};
};
