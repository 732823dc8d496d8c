#pragma once

#include "NodeSample.h"
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
    // A pose and the samples it was solved from; a knee counts once per
    // frame of its node, however often the same frame is offered.
    void add(const SuitPose& pose, const std::vector<NodeSample>& samples);
    // Real flexion, over several steps and consistently about one
    // horizontal axis, was seen.
    bool settled() const;
    // Radians to add to the provisional heading (world yaw, towards west).
    double correctionRad() const;

private:
    Skeleton skeleton;
    std::vector<int> knees;
    std::vector<uint64_t> lastFrameMs;  // per knee, the frame last counted
    Eigen::Vector2d sum{0, 0};  // horizontal rotation vectors (x, z), degrees, weighted by frame time
    double sumNorm = 0;
    double flexedSeconds = 0;   // frame time with a knee flexed, all knees summed
    uint64_t firstFlexMs = 0;   // the first and latest flexed frames (0: none yet)
    uint64_t lastFlexMs = 0;
};
