#pragma once

#include "Skeleton.h"
#include "SuitPose.h"

#include <Eigen/Core>
#include <vector>

// Finds the body's heading from the knees while the wearer walks, for a
// suit whose nodes report no locations. A knee is a hinge about the body's
// left axis that bends one way only (the foot goes back), so its mean
// rotation vector points to the body's left. Fed poses solved with a
// provisional heading, it tells how far about the vertical that heading is
// off: every joint's rotation shows turned by that error.
class GaitHeading
{
public:
    // The knees are found by the skeleton's shape: the second joint of a
    // chain that leaves the root downwards.
    explicit GaitHeading(const Skeleton& skeleton);

    bool hasKnees() const { return !knees.empty(); }
    void add(const SuitPose& pose);
    // Enough bending, consistently about one horizontal axis, was seen.
    bool settled() const;
    // Radians to add to the provisional heading (world yaw, towards west).
    double correctionRad() const;

private:
    Skeleton skeleton;
    std::vector<int> knees;
    Eigen::Vector2d sum{0, 0};  // horizontal rotation vectors (x, z), degrees
    double sumNorm = 0;
    int bends = 0;
};
