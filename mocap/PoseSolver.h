#pragma once

#include "NodeSample.h"
#include "Skeleton.h"
#include "SuitAlignment.h"
#include "SuitPose.h"

#include <vector>

// Turns the nodes' latest orientations into a skeleton pose. Aligned, a
// segment's orientation is C · q · M (C world to skeleton, q the sensor's,
// M its mounting); unaligned the sensor's own orientation is shown.
class PoseSolver
{
public:
    // byJoint[j] is the sample of joint j's node; a joint whose node never
    // sent follows its parent.
    static SuitPose solve(const Skeleton& skeleton, const SuitAlignment& alignment,
                          const std::vector<NodeSample>& byJoint);
    // The joint's rotation relative to its parent (parent⁻¹ · child).
    static Eigen::Quaterniond local(const Skeleton& skeleton, const SuitPose& pose, int joint);
    // Z, X, Y angles in degrees with R = Rz · Rx · Ry, the order of BVH's
    // "Zrotation Xrotation Yrotation" channels.
    static Eigen::Vector3d eulerZXY(const Eigen::Quaterniond& q);
};
