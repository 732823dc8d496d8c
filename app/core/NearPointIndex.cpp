#include "NearPointIndex.h"

#include <algorithm>
#include <cmath>

NearPointIndex::NearPointIndex(float distance)
    : fDistance(distance)
{
}

bool NearPointIndex::cellOf(const float p[3], int64_t cell[3]) const
{
    for (int c = 0; c < 3; ++c) {
        if (!std::isfinite(p[c]))
            return false;
        // Bounded before the conversion: a float field far beyond any sensor's
        // range would overflow it; such cells only share keys.
        cell[c] = int64_t(std::clamp(std::floor(double(p[c]) / double(fDistance)), -1e15, 1e15));
    }
    return true;
}

uint64_t NearPointIndex::keyOf(int64_t x, int64_t y, int64_t z)
{
    // 21 bits per axis: cells far beyond any field a sensor reports share
    // keys, which costs a few extra distance tests and nothing else.
    const uint64_t mask = (uint64_t(1) << 21) - 1;
    return (uint64_t(x) & mask) | (uint64_t(y) & mask) << 21 | (uint64_t(z) & mask) << 42;
}

bool NearPointIndex::isNear(const float a[3], const float b[3]) const
{
    const float ex = a[0] - b[0], ey = a[1] - b[1], ez = a[2] - b[2];
    return std::sqrt(ex * ex + ey * ey + ez * ez) < fDistance;
}

bool NearPointIndex::hasPointNear(const float p[3], const float (*ring)[3])
{
    int64_t c[3];
    if (!cellOf(p, c))
        return false;
    if (nLastNear >= 0 && isNear(ring[nLastNear], p))
        return true;
    for (int64_t dx = -1; dx <= 1; ++dx)
        for (int64_t dy = -1; dy <= 1; ++dy)
            for (int64_t dz = -1; dz <= 1; ++dz) {
                const auto it = cells.find(keyOf(c[0] + dx, c[1] + dy, c[2] + dz));
                if (it == cells.end())
                    continue;
                for (int i : it->second)
                    if (isNear(ring[i], p)) {
                        nLastNear = i;
                        return true;
                    }
            }
    return false;
}

void NearPointIndex::insert(int index, const float p[3])
{
    int64_t c[3];
    if (cellOf(p, c)) {
        cells[keyOf(c[0], c[1], c[2])].push_back(index);
        nLastNear = index;
    }
}

void NearPointIndex::remove(int index, const float p[3])
{
    if (index == nLastNear)
        nLastNear = -1;
    int64_t c[3];
    if (!cellOf(p, c))
        return;
    const auto it = cells.find(keyOf(c[0], c[1], c[2]));
    if (it == cells.end())
        return;
    std::vector<int>& v = it->second;
    v.erase(std::remove(v.begin(), v.end(), index), v.end());
    if (v.empty())
        cells.erase(it);
}

void NearPointIndex::clear()
{
    cells.clear();
    nLastNear = -1;
}
