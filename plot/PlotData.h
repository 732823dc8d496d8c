#pragma once

#include <array>
#include <cstdint>
#include <deque>
#include <mutex>
#include <vector>

// The last 1000 samples of every curve of one plot, in a fixed ring. One
// writer thread pushes while the GUI thread takes snapshots to draw from;
// the lock is held only for a few index operations or one copy.
class PlotData
{
public:
    static constexpr int kSamples = 1000;
    static constexpr size_t kMaxFrames = 107374082;
    using Frame = std::array<double, 4>;

    explicit PlotData(int curveCount);

    int curveCount() const { return nCurves; }

    // One value per curve.
    void push(const double* values);
    void reset();

    // Appends to the history list (cleared when it reaches kMaxFrames) and
    // pushes into the ring, under one lock.
    void pushWithHistory(const double* values);
    size_t historySize() const;
    // Clears the ring and refills it from the history: skips the oldest
    // `skip` frames and pushes at most 1000 of those after them.
    void showHistory(size_t skip);

    // Copies the ring for drawing; returns false when nothing changed since
    // the previous snapshot.
    bool takeSnapshot();

    // Sample i of curve k as last snapshotted (GUI thread): -1 beyond the ring.
    double value(int i, int curve) const;
    // All kSamples samples of a curve as last snapshotted, oldest first (GUI thread).
    void copyShown(int curve, double* out) const;
    // Sample i of curve k, read under the lock (for tests and tools).
    double liveValue(int i, int curve) const;

private:
    void pushLocked(const double* values);
    double valueIn(const std::vector<double>& store, int s, int i, int curve) const;

    const int nCurves;
    // Guards values, start, head, version and history.
    mutable std::mutex mutex;
    std::vector<double> values;  // nCurves rows of kSamples
    int start = 0;
    int head = 0;
    uint64_t version = 0;
    std::deque<Frame> history;

    // The GUI thread's copy, read while drawing.
    std::vector<double> shown;
    int shownStart = 0;
    uint64_t shownVersion = ~uint64_t(0);
};
