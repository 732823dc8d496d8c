#pragma once

#include <cstdint>
#include <unordered_map>
#include <vector>

// Finds whether a ring of 3D points holds one closer than a distance to a
// new point without scanning the whole ring: the ring's entries are kept in
// a grid of cells as wide as that distance, so only the 27 cells around the
// new point need looking at. The distance test itself is the ring's own
// (float Euclidean, strictly less than), so the outcome is that of a scan.
// Points with a non-finite coordinate are never near anything. A sensor's
// consecutive samples lie close together, so the point found near (or
// stored) last is tried first.
//
// Not thread-safe: its owner serialises it with the ring it indexes.
class NearPointIndex
{
public:
    explicit NearPointIndex(float distance);

    bool hasPointNear(const float p[3], const float (*ring)[3]);
    void insert(int index, const float p[3]);
    void remove(int index, const float p[3]);
    void clear();

private:
    bool cellOf(const float p[3], int64_t cell[3]) const;
    static uint64_t keyOf(int64_t x, int64_t y, int64_t z);

    bool isNear(const float a[3], const float b[3]) const;

    const float fDistance;
    std::unordered_map<uint64_t, std::vector<int>> cells;
    // The ring index tried first; -1 when none is indexed.
    int nLastNear = -1;
};
