#pragma once

#include <array>
#include <cstddef>
#include <vector>

// Values loaded from a recorded file, one entry per accepted line; every
// array always has the same length.
struct PlayHistory
{
    std::vector<std::array<double, 3>> vecAccel;
    std::vector<std::array<double, 3>> vecGyro;
    std::vector<std::array<double, 3>> vecMag;
    std::vector<std::array<double, 4>> vecQuat;
    std::vector<std::array<double, 3>> vecEuler;
    std::vector<std::array<double, 3>> vecLAccel;
    std::vector<double> vecPressure;
    std::vector<double> vecAltitude;
    std::vector<double> vecTemperature;

    void reserve(size_t n)
    {
        vecAccel.reserve(n);
        vecGyro.reserve(n);
        vecMag.reserve(n);
        vecQuat.reserve(n);
        vecEuler.reserve(n);
        vecLAccel.reserve(n);
        vecPressure.reserve(n);
        vecAltitude.reserve(n);
        vecTemperature.reserve(n);
    }
    size_t size() const { return vecQuat.size(); }
};
