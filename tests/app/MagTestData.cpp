#include "MagTestData.h"

#include <algorithm>
#include <cmath>

MagTestData::MagTestData(unsigned seed, const MagDistortionCase& c)
    : dist(c)
    , rng(seed)
{
}

std::array<double, 3> MagTestData::directionInBin(int bin)
{
    const MagDirBin b = MagCalibrator::makeBins()[size_t(bin)];
    std::uniform_real_distribution<double> u(0.1, 0.9);
    const double az = b.azLo + (b.azHi - b.azLo) * u(rng);
    // Uniform in sin(elevation) inside the band, as on a sphere.
    const double s0 = std::sin(b.elLo), s1 = std::sin(b.elHi);
    const double el = std::asin(s0 + (s1 - s0) * u(rng));
    return {std::cos(el) * std::cos(az), std::cos(el) * std::sin(az), std::sin(el)};
}

std::array<double, 3> MagTestData::uniformDirection()
{
    std::normal_distribution<double> g(0.0, 1.0);
    std::array<double, 3> v{g(rng), g(rng), g(rng)};
    const double n = std::sqrt(v[0] * v[0] + v[1] * v[1] + v[2] * v[2]);
    for (double& x : v)
        x /= n;
    return v;
}

std::array<double, 3> MagTestData::raw(const std::array<double, 3>& unit)
{
    std::normal_distribution<double> g(0.0, 1.0);
    std::array<double, 3> out;
    for (int r = 0; r < 3; ++r) {
        out[size_t(r)] = dist.h[r];
        for (int c = 0; c < 3; ++c)
            out[size_t(r)] += dist.S[3 * r + c] * 48.0 * unit[size_t(c)];
        if (dist.noise > 0)
            out[size_t(r)] += dist.noise * g(rng);
        if (dist.roundToTenths)
            out[size_t(r)] = std::round(out[size_t(r)] * 10.0) / 10.0;
    }
    return out;
}

std::vector<std::array<double, 3>> MagTestData::binCycled(int n, const std::vector<int>& skipBins)
{
    std::vector<int> bins;
    for (int b = 0; b < 32; ++b)
        if (std::find(skipBins.begin(), skipBins.end(), b) == skipBins.end())
            bins.push_back(b);
    std::vector<std::array<double, 3>> out;
    for (int i = 0; i < n; ++i)
        out.push_back(raw(directionInBin(bins[size_t(i) % bins.size()])));
    return out;
}
