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

    // The heading cannot be seen in the orientations of a standing body
    // whose sensors sit at unknown angles; the hands' locations show it.
    // Without them the hips node is taken to point forward.
    Eigen::Vector3d forward(0, 0, 0);
    const char* pairs[][2] = {{"LeftHand", "RightHand"}, {"LeftForeArm", "RightForeArm"}, {"LeftArm", "RightArm"}};
    for (const auto& p : pairs) {
        const int l = skeleton.indexOf(QLatin1String(p[0])), r = skeleton.indexOf(QLatin1String(p[1]));
        if (l < 0 || r < 0)
            continue;
        const Eigen::Vector3d left = loc[size_t(l)] - loc[size_t(r)];
        const double span = std::hypot(left.x(), left.y());
        if (span >= kMinHandSpan && std::abs(left.z()) < span / 2) {
            forward = Eigen::Vector3d(left.y(), -left.x(), 0) / span;  // left x up
            a.headingFromLocations = true;
        }
        break;
    }
    if (!a.headingFromLocations) {
        const Eigen::Quaterniond& hips = mean[0];
        Eigen::Vector3d axis = hips * Eigen::Vector3d::UnitX();
        if (std::hypot(axis.x(), axis.y()) < 0.5)
            axis = hips * Eigen::Vector3d::UnitY();
        forward = Eigen::Vector3d(axis.x(), axis.y(), 0).normalized();
    }
    const double heading = std::atan2(forward.y(), forward.x());
    a.headingDeg = heading * 180.0 / M_PI;
    a.worldToSkeleton = axisChange() * Eigen::Quaterniond(Eigen::AngleAxisd(-heading, Eigen::Vector3d::UnitZ()));
    a.useLocations = a.headingFromLocations;
    a.rootLocation = loc[0];
    a.mounting.resize(mean.size());
    for (size_t j = 0; j < mean.size(); ++j)
        a.mounting[j] = mean[j].conjugate() * a.worldToSkeleton.conjugate();
    a.samples = fewest;
    a.aligned = true;
    return a;
}
