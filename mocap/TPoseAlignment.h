#pragma once

#include "NodeSample.h"
#include "Skeleton.h"
#include "SuitAlignment.h"

#include <QString>
#include <vector>

// Averages the suit's orientations while the wearer stands in the T-pose
// and turns the means into a SuitAlignment. Samples are given per joint.
class TPoseAlignment
{
public:
    explicit TPoseAlignment(const Skeleton& skeleton);

    void add(const std::vector<NodeSample>& byJoint);
    int sampleCount() const { return nSamples; }
    // Fails (aligned false, error set) when a joint's node sent nothing.
    SuitAlignment finish(QString* error) const;

    // Sensor world (x north, y west, z up) to skeleton space (y up, z
    // forward): a fixed change of axes before any heading correction.
    static Eigen::Quaterniond axisChange();

private:
    Skeleton skeleton;
    std::vector<Eigen::Vector4d> sumQuat;  // sign-aligned sums, w x y z
    std::vector<Eigen::Vector3d> sumLoc;
    std::vector<int> counts;
    int nSamples = 0;
};
