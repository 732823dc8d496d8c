#pragma once

#include "DeviceEncoder.h"

#include <cstdint>
#include <random>

// Magnetometer distortion of a simulated device: raw = S · b + h + noise.
struct MagDistortion
{
    double hardIron[3] = {0, 0, 0};              // µT
    double softIron[9] = {1, 0, 0, 0, 1, 0, 0, 0, 1};  // row-major S
    double noise = 0.0;                          // µT, standard deviation
};

// A sensor turning smoothly through all directions in a fixed Earth-like
// field. Every quantity of a sample follows from the same orientation.
class MotionModel
{
public:
    static constexpr double kFieldMicroTesla = 48.0;
    static constexpr double kInclinationDeg = 60.0;

    explicit MotionModel(uint32_t seed = 1, const MagDistortion& distortion = MagDistortion());

    // Advances by dt seconds and returns the sample at the new time.
    DeviceEncoder::SensorValues step(double dt);

    // Makes the current orientation the reference (reported as identity);
    // resetZero() returns to the world reference.
    void zeroRotation();
    void resetZero();

    // The undistorted field in the body frame at the current time, µT.
    void trueBodyField(double out[3]) const;
    // World field vector, µT (x north, z up).
    static void worldField(double out[3]);

private:
    void angularRate(double t, double w[3]) const;

    double time = 0;
    double q[4] = {1, 0, 0, 0};    // body to world
    double qRef[4] = {1, 0, 0, 0}; // reference for reported orientation
    double phase[3];
    MagDistortion mag;
    std::mt19937 rng;
    std::normal_distribution<double> gauss{0.0, 1.0};
};
