#pragma once

#include <Eigen/Geometry>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <random>
#include <string>
#include <vector>

// A person wearing the 17 nodes of a standard suit: standing in a T-pose
// for 3 s, then walking in place at one step per second. Each node is
// strapped on its segment at a fixed random angle. Time runs with the
// clock from the first sample on, the same for every node.
//
// The true rotation of every joint relative to its parent (body axes:
// x forward, y left, z up; the root relative to the body's heading) can be
// written to a file, one line per sample of node 0.
class WalkingSuit
{
public:
    static constexpr int kNodes = 17;
    static constexpr double kTPoseSeconds = 3.0;
    static constexpr double kStrideSeconds = 2.0;  // two steps

    struct Sample
    {
        Eigen::Quaterniond orientation;  // sensor to world (x north, z up)
        Eigen::Vector3d location;        // metres
        Eigen::Vector3d gyro;            // sensor frame, degrees per second
    };

    // headingDeg: the way the wearer faces (from north, towards west); NaN
    // draws one from the seed.
    WalkingSuit(uint32_t seed, const std::string& truthPath, double headingDeg);
    ~WalkingSuit();
    WalkingSuit(const WalkingSuit&) = delete;
    WalkingSuit& operator=(const WalkingSuit&) = delete;

    // The node's sample now.
    Sample sample(int position);
    // The wearer stands in the T-pose again for that long from now, then
    // walks on.
    void standInTPose(double seconds);

    // Local joint rotations and segment locations at t seconds.
    void pose(double t, Eigen::Quaterniond local[kNodes], Eigen::Vector3d location[kNodes]) const;

private:
    double now();

    std::chrono::steady_clock::time_point start;
    bool started = false;
    double tposeFrom = 0;               // seconds: the T-pose lasts from here
    double gaitFrom = kTPoseSeconds;    // to here, where the gait fades in
    double headingRad;
    Eigen::Vector3d standingAt;
    Eigen::Quaterniond mounting[kNodes];  // sensor to segment
    Eigen::Quaterniond lastOrientation[kNodes];
    double lastTime[kNodes];
    std::mt19937 rng;
    std::normal_distribution<double> noise{0.0, 1.0};
    FILE* truth = nullptr;
};
