#include "PoseSolver.h"
#include "TPoseAlignment.h"

#include <algorithm>
#include <cmath>

SuitPose PoseSolver::solve(const Skeleton& skeleton, const SuitAlignment& alignment,
                           const std::vector<NodeSample>& byJoint)
{
    const size_t n = size_t(skeleton.size());
    SuitPose pose;
    pose.global.resize(n, Eigen::Quaterniond::Identity());
    pose.jointPosition.resize(n, Eigen::Vector3d::Zero());
    pose.tipPosition.resize(n, Eigen::Vector3d::Zero());
    pose.live.resize(n, false);
    const Eigen::Quaterniond axes = TPoseAlignment::axisChange();
    for (size_t j = 0; j < n; ++j) {
        const SkeletonJoint& joint = skeleton.joints()[j];
        const bool have = j < byJoint.size() && byJoint[j].valid;
        if (!have) {
            pose.global[j] = joint.parent >= 0 ? pose.global[size_t(joint.parent)] : Eigen::Quaterniond::Identity();
        } else if (alignment.aligned && j < alignment.mounting.size()) {
            pose.global[j] = (alignment.worldToSkeleton * byJoint[j].orientation * alignment.mounting[j]).normalized();
        } else {
            pose.global[j] = (axes * byJoint[j].orientation * axes.conjugate()).normalized();
        }
        if (joint.parent < 0) {
            if (have && alignment.aligned && alignment.useLocations)
                pose.rootPosition = alignment.worldToSkeleton * (byJoint[j].location - alignment.rootLocation) * 100.0;
            pose.jointPosition[j] = pose.rootPosition + joint.offset;
        } else {
            const size_t p = size_t(joint.parent);
            pose.jointPosition[j] = pose.jointPosition[p] + pose.global[p] * joint.offset;
        }
        pose.tipPosition[j] = pose.jointPosition[j] + pose.global[j] * joint.endSite;
    }
    return pose;
}

Eigen::Quaterniond PoseSolver::local(const Skeleton& skeleton, const SuitPose& pose, int joint)
{
    const int parent = skeleton.joints()[size_t(joint)].parent;
    const Eigen::Quaterniond& g = pose.global[size_t(joint)];
    return parent < 0 ? g : (pose.global[size_t(parent)].conjugate() * g).normalized();
}

Eigen::Vector3d PoseSolver::eulerZXY(const Eigen::Quaterniond& q)
{
    const Eigen::Matrix3d r = q.normalized().toRotationMatrix();
    const double x = std::asin(std::clamp(r(2, 1), -1.0, 1.0));
    double z, y;
    if (std::abs(r(2, 1)) < 0.9999999) {
        z = std::atan2(-r(0, 1), r(1, 1));
        y = std::atan2(-r(2, 0), r(2, 2));
    } else {
        // Gimbal lock: only z + y (or z - y) is defined; put it all in z.
        z = std::atan2(r(1, 0), r(0, 0));
        y = 0;
    }
    const double k = 180.0 / M_PI;
    return Eigen::Vector3d(z * k, x * k, y * k);
}
