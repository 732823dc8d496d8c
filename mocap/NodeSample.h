#pragma once

#include <Eigen/Geometry>
#include <cstdint>

// The latest state of one node as the suit holds it: orientation sensor to
// world (world z up), location in metres, and when it arrived.
struct NodeSample
{
    bool valid = false;       // the node has sent at least one frame
    Eigen::Quaterniond orientation = Eigen::Quaterniond::Identity();
    Eigen::Vector3d location{0, 0, 0};
    uint64_t timeMs = 0;      // host tick count of the frame
};
