#include "MagSampleGenerator.h"

#include <cmath>

namespace {
constexpr double kDeg = 3.14159265358979323846 / 180.0;
}

MagSampleGenerator::MagSampleGenerator(unsigned seed, const double hIn[3], const double SIn[9], double noiseIn)
    : noise(noiseIn)
    , rng(seed)
{
    for (int i = 0; i < 3; ++i)
        h[i] = hIn[i];
    for (int i = 0; i < 9; ++i)
        S[i] = SIn[i];
}

MagSampleGenerator::Vec MagSampleGenerator::uniformDirection()
{
    std::normal_distribution<double> g(0.0, 1.0);
    Vec v{g(rng), g(rng), g(rng)};
    const double n = std::sqrt(v[0] * v[0] + v[1] * v[1] + v[2] * v[2]);
    return {v[0] / n, v[1] / n, v[2] / n};
}

MagSampleGenerator::Vec MagSampleGenerator::tiltLimitedDirection(double maxTiltDeg, double inclinationDeg)
{
    std::uniform_real_distribution<double> yawD(-180.0, 180.0), tiltD(-maxTiltDeg, maxTiltDeg);
    const double yaw = yawD(rng) * kDeg, pitch = tiltD(rng) * kDeg, roll = tiltD(rng) * kDeg;
    const double inc = inclinationDeg * kDeg;
    const double world[3] = {std::cos(inc), 0.0, -std::sin(inc)};
    // R = Rz(yaw)·Ry(pitch)·Rx(roll), body to world; the body sees Rᵀ·world.
    const double cy = std::cos(yaw), sy = std::sin(yaw), cp = std::cos(pitch), sp = std::sin(pitch),
                 cr = std::cos(roll), sr = std::sin(roll);
    const double R[9] = {cy * cp, cy * sp * sr - sy * cr, cy * sp * cr + sy * sr,
                         sy * cp, sy * sp * sr + cy * cr, sy * sp * cr - cy * sr,
                         -sp,     cp * sr,                cp * cr};
    Vec b{0, 0, 0};
    for (int r = 0; r < 3; ++r)
        for (int c = 0; c < 3; ++c)
            b[size_t(r)] += R[3 * c + r] * world[c];
    return b;
}

MagSampleGenerator::Vec MagSampleGenerator::raw(const Vec& unit, bool withNoise)
{
    std::normal_distribution<double> g(0.0, 1.0);
    Vec out;
    for (int r = 0; r < 3; ++r) {
        double v = h[r];
        for (int c = 0; c < 3; ++c)
            v += S[3 * r + c] * 48.0 * unit[size_t(c)];
        if (withNoise && noise > 0)
            v += noise * g(rng);
        out[size_t(r)] = std::round(v * 10.0) / 10.0;
    }
    return out;
}
