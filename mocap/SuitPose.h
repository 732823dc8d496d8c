#pragma once

#include <Eigen/Geometry>
#include <vector>

// One pose of the skeleton in skeleton space: every segment's orientation
// (identity in the T-pose once aligned) and where its joint and tip are.
struct SuitPose
{
    std::vector<Eigen::Quaterniond> global;
    std::vector<Eigen::Vector3d> jointPosition;  // cm, root at rootPosition
    std::vector<Eigen::Vector3d> tipPosition;    // end site of joints without children
    std::vector<bool> live;                      // the joint's node is sending
    Eigen::Vector3d rootPosition{0, 0, 0};       // cm
};
