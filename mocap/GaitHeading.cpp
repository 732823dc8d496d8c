#include "GaitHeading.h"
#include "PoseSolver.h"

#include <cmath>

namespace {

constexpr double kMinBendDeg = 5;      // below this a knee's axis drowns in the sensors' noise
constexpr int kBendsNeeded = 200;      // knee samples bent that far, about half a second of walking
constexpr double kMinConsistency = 0.9;  // |mean vector| / mean length: one axis, one sense

} // namespace

GaitHeading::GaitHeading(const Skeleton& s) : skeleton(s)
{
    for (int j = 0; j < s.size(); ++j) {
        const SkeletonJoint& knee = s.joints()[size_t(j)];
        if (knee.parent < 0 || !s.hasChildren(j))
            continue;
        const SkeletonJoint& hip = s.joints()[size_t(knee.parent)];
        const Eigen::Vector3d& d = knee.offset;
        if (hip.parent >= 0 && s.joints()[size_t(hip.parent)].parent < 0 && hip.offset.y() < 0
            && -d.y() > 2 * std::hypot(d.x(), d.z()))
            knees.push_back(j);
    }
}

void GaitHeading::add(const SuitPose& pose)
{
    for (int j : knees) {
        if (size_t(j) >= pose.live.size() || !pose.live[size_t(j)])
            continue;
        const Eigen::AngleAxisd bend(PoseSolver::local(skeleton, pose, j));
        const Eigen::Vector3d v = bend.axis() * (bend.angle() * 180.0 / M_PI);
        const Eigen::Vector2d h(v.x(), v.z());
        if (h.norm() < kMinBendDeg)
            continue;
        sum += h;
        sumNorm += h.norm();
        ++bends;
    }
}

bool GaitHeading::settled() const
{
    return bends >= kBendsNeeded && sum.norm() >= kMinConsistency * sumNorm;
}

double GaitHeading::correctionRad() const
{
    // The mean axis u = Ry(phi) · X lies at phi about the skeleton's Y, which
    // is the world's vertical: the provisional heading is phi short.
    return std::atan2(-sum.y(), sum.x());
}
