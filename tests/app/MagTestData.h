#pragma once

#include "EllipsoidFit.h"
#include "MagCalibrator.h"

#include <random>
#include <vector>

// Synthetic magnetometer data: raw = S·b + h (+ noise), |b| = 48 µT, in µT.
struct MagDistortionCase
{
    double h[3] = {25, -15, 40};
    double S[9] = {1.10, 0.05, -0.03, 0.05, 0.95, 0.04, -0.03, 0.04, 1.02};
    double noise = 0.0;
    // Round samples to whole tenths of µT, as real data are quantised. Data
    // exactly on a quadric make DᵀD singular, and the fit rejects those.
    bool roundToTenths = true;
};

class MagTestData
{
public:
    explicit MagTestData(unsigned seed, const MagDistortionCase& c = MagDistortionCase());

    // A field direction inside direction bin `bin` (0..31), away from its edges.
    std::array<double, 3> directionInBin(int bin);
    // A direction uniform over the sphere.
    std::array<double, 3> uniformDirection();
    // The raw sample (µT) for a unit direction.
    std::array<double, 3> raw(const std::array<double, 3>& unit);

    // n samples cycling through the bins, skipping the listed ones.
    std::vector<std::array<double, 3>> binCycled(int n, const std::vector<int>& skipBins = {});

private:
    MagDistortionCase dist;
    std::mt19937 rng;
};
