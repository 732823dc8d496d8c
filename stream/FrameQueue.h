#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>

namespace stream {

// Bounded lock-free multi-producer queue (D. Vyukov's bounded MPMC ring).
// tryPush never blocks and never allocates: when the ring is full it
// returns false and the caller counts the frame as dropped. Producers are
// the frame threads (serial reader, USB read workers); the consumer is the
// sender thread.
template <typename T>
class FrameQueue
{
public:
    explicit FrameQueue(size_t capacityPow2)
        : mask(roundUp(capacityPow2) - 1), cells(new Cell[mask + 1])
    {
        for (size_t i = 0; i <= mask; ++i)
            cells[i].sequence.store(i, std::memory_order_relaxed);
    }

    size_t capacity() const { return mask + 1; }

    bool tryPush(const T& value)
    {
        size_t pos = enqueuePos.load(std::memory_order_relaxed);
        for (;;) {
            Cell& c = cells[pos & mask];
            const size_t seq = c.sequence.load(std::memory_order_acquire);
            const intptr_t dif = intptr_t(seq) - intptr_t(pos);
            if (dif == 0) {
                if (enqueuePos.compare_exchange_weak(pos, pos + 1, std::memory_order_relaxed)) {
                    c.value = value;
                    c.sequence.store(pos + 1, std::memory_order_release);
                    return true;
                }
            } else if (dif < 0) {
                return false;  // full
            } else {
                pos = enqueuePos.load(std::memory_order_relaxed);
            }
        }
    }

    bool tryPop(T* out)
    {
        size_t pos = dequeuePos.load(std::memory_order_relaxed);
        for (;;) {
            Cell& c = cells[pos & mask];
            const size_t seq = c.sequence.load(std::memory_order_acquire);
            const intptr_t dif = intptr_t(seq) - intptr_t(pos + 1);
            if (dif == 0) {
                if (dequeuePos.compare_exchange_weak(pos, pos + 1, std::memory_order_relaxed)) {
                    *out = c.value;
                    c.sequence.store(pos + mask + 1, std::memory_order_release);
                    return true;
                }
            } else if (dif < 0) {
                return false;  // empty
            } else {
                pos = dequeuePos.load(std::memory_order_relaxed);
            }
        }
    }

private:
    static size_t roundUp(size_t n)
    {
        size_t p = 2;
        while (p < n)
            p <<= 1;
        return p;
    }
    struct Cell
    {
        std::atomic<size_t> sequence;
        T value;
    };
    const size_t mask;
    std::unique_ptr<Cell[]> cells;
    alignas(64) std::atomic<size_t> enqueuePos{0};
    alignas(64) std::atomic<size_t> dequeuePos{0};
};

// Per-device sequence numbers without a lock: an open-addressed table of
// device keys, each slot claimed once by compare-and-swap. next() returns
// 1, 2, 3, … per key; 0 when the table is full (4096 devices).
class SequenceTable
{
public:
    uint64_t next(uint32_t key)
    {
        const uint64_t tag = uint64_t(key) | (uint64_t(1) << 32);  // 0 marks a free slot
        size_t i = (key * 2654435761u) & (kSlots - 1);
        for (size_t n = 0; n < kSlots; ++n, i = (i + 1) & (kSlots - 1)) {
            uint64_t k = table[i].key.load(std::memory_order_acquire);
            if (k == 0) {
                uint64_t expected = 0;
                if (table[i].key.compare_exchange_strong(expected, tag, std::memory_order_acq_rel))
                    k = tag;
                else
                    k = expected;
            }
            if (k == tag)
                return table[i].seq.fetch_add(1, std::memory_order_relaxed) + 1;
        }
        return 0;
    }

private:
    static constexpr size_t kSlots = 4096;
    struct Slot
    {
        std::atomic<uint64_t> key{0};
        std::atomic<uint64_t> seq{0};
    };
    Slot table[kSlots];
};

} // namespace stream
