#pragma once

#include <array>
#include <random>
#include <vector>

// Seeded synthetic magnetometer data with a known distortion:
// raw = S·b + h + noise (µT), |b| = 48 µT, rounded to whole tenths of µT.
class MagSampleGenerator
{
public:
    using Vec = std::array<double, 3>;

    MagSampleGenerator(unsigned seed, const double h[3], const double S[9], double noise);

    // Field directions uniform over the sphere.
    Vec uniformDirection();
    // The body-frame field direction of a sensor turned to a uniform yaw with
    // pitch and roll within ±maxTiltDeg, in a field of the given inclination.
    Vec tiltLimitedDirection(double maxTiltDeg, double inclinationDeg);

    Vec raw(const Vec& unit, bool withNoise = true);

private:
    double h[3];
    double S[9];
    double noise;
    std::mt19937 rng;
};
