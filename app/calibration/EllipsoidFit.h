#pragma once

#include <array>
#include <vector>

// A magnetometer sample in tenths of µT.
using MagPoint = std::array<double, 3>;

// Fits an ellipsoid to points (a general quadric constrained towards an
// ellipsoid, solved as a generalised eigenproblem) and derives the centre c
// and the symmetric matrix W with |W·(x − c)| = radius on the fitted surface.
// Pure: writes center and W (column-major) only on success.
class EllipsoidFit
{
public:
    static bool fit(const std::vector<MagPoint>& points, double radius, double center[3], double W[9]);
};
