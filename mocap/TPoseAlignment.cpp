#include "TPoseAlignment.h"

#include <cmath>

namespace {

constexpr double kMinHandSpan = 0.6;  // metres: less is no T-pose of an adult, or no real locations

Eigen::Vector4d coeffs(const Eigen::Quaterniond& q) { return Eigen::Vector4d(q.w(), q.x(), q.y(), q.z()); }

} // namespace

TPoseAlignment::TPoseAlignment(const Skeleton& s)
    : skeleton(s)
    , sumQuat(size_t(s.size()), Eigen::Vector4d::Zero())
    , sumLoc(size_t(s.size()), Eigen::Vector3d::Zero())
    , counts(size_t(s.size()), 0)
{
}

Eigen::Quaterniond TPoseAlignment::axisChange()
{
    Eigen::Matrix3d m;
    m << 0, 1, 0,
         0, 0, 1,
         1, 0, 0;
    return Eigen::Quaterniond(m);
}

void TPoseAlignment::add(const std::vector<NodeSample>& byJoint)
{
    for (size_t j = 0; j < byJoint.size() && j < counts.size(); ++j) {
        if (!byJoint[j].valid)
            continue;
        Eigen::Vector4d q = coeffs(byJoint[j].orientation.normalized());
        // q and -q are one rotation: add every sample on the side of the sum.
        if (counts[j] > 0 && q.dot(sumQuat[j]) < 0)
            q = -q;
        sumQuat[j] += q;
        sumLoc[j] += byJoint[j].location;
        ++counts[j];
    }
    ++nSamples;
}

SuitAlignment TPoseAlignment::finish(QString* error) const
{
    SuitAlignment a;
    QStringList missing;
    std::vector<Eigen::Quaterniond> mean(counts.size());
    std::vector<Eigen::Vector3d> loc(counts.size());
    int fewest = nSamples;
    for (size_t j = 0; j < counts.size(); ++j) {
        if (counts[j] == 0 || sumQuat[j].norm() == 0) {
            missing << skeleton.joints()[j].name;
            continue;
        }
        const Eigen::Vector4d m = sumQuat[j].normalized();
        mean[j] = Eigen::Quaterniond(m[0], m[1], m[2], m[3]);
        loc[j] = sumLoc[j] / counts[j];
        fewest = std::min(fewest, counts[j]);
    }
    if (!missing.isEmpty() || counts.empty()) {
        if (error)
            *error = QStringLiteral("no frames during the T-pose from %1").arg(missing.join(QStringLiteral(", ")));
        return a;
    }

    // The T-pose shows the heading only through the locations of the two
    // segment ends farthest out to the left and right (the hands, whatever
    // they are called). Without them it waits for the walk (GaitHeading).
    std::vector<Eigen::Vector3d> at(counts.size());
    int leftEnd = -1, rightEnd = -1;
    for (size_t j = 0; j < counts.size(); ++j) {
        const SkeletonJoint& joint = skeleton.joints()[j];
        at[j] = (joint.parent < 0 ? Eigen::Vector3d::Zero() : at[size_t(joint.parent)]) + joint.offset;
        if (skeleton.hasChildren(int(j)))
            continue;
        if (leftEnd < 0 || at[j].x() > at[size_t(leftEnd)].x())
            leftEnd = int(j);
        if (rightEnd < 0 || at[j].x() < at[size_t(rightEnd)].x())
            rightEnd = int(j);
    }
    double heading = 0;
    if (leftEnd >= 0 && rightEnd >= 0 && leftEnd != rightEnd) {
        const Eigen::Vector3d left = loc[size_t(leftEnd)] - loc[size_t(rightEnd)];
        const double span = std::hypot(left.x(), left.y());
        if (span >= kMinHandSpan && std::abs(left.z()) < span / 2) {
            heading = std::atan2(-left.x(), left.y());  // forward is left turned a quarter clockwise
            a.heading = SuitAlignment::HeadingFromLocations;
        }
    }
    a.useLocations = a.heading == SuitAlignment::HeadingFromLocations;
    a.rootLocation = loc[0];
    a.tposeMean = mean;
    a.setHeading(heading);
    a.samples = fewest;
    a.aligned = true;
    return a;
}
