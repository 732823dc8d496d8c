#include "MagSampleCollector.h"

MagSampleCollector::MagSampleCollector()
{
    samples.reserve(kCapacity);
}

int MagSampleCollector::offer(const float* sample)
{
    if (full.load())
        return -1;
    int progress = 0;
    {
        std::lock_guard<std::mutex> guard(lock);
        // Several threads may pass the full check at once: never grow past
        // the capacity.
        if (samples.size() >= size_t(kCapacity))
            return -1;
        samples.push_back({sample[0], sample[1], sample[2]});
        progress = int(samples.size()) * 100 / kCapacity;
    }
    if (progress >= 100)
        full.store(1);
    return progress;
}

int MagSampleCollector::count() const
{
    std::lock_guard<std::mutex> guard(lock);
    return int(samples.size());
}
