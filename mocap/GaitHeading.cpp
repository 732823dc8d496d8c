#include "GaitHeading.h"
#include "PoseSolver.h"

#include <algorithm>
#include <cmath>

namespace {

// A knee cannot overextend by this much, so a bend this large is flexion,
// whose rotation vector points to the body's left. Smaller ones may be a
// knee that was soft in the T-pose now standing straight: its vector
// points right, which would turn the heading by half a circle.
constexpr double kMinFlexionDeg = 15;
constexpr double kFlexedSecondsNeeded = 1.5;  // flexed frame time, all knees summed
constexpr uint64_t kStepsSpanMs = 3000;       // first to latest flexed frame: several steps
constexpr uint64_t kMaxFrameGapMs = 100;      // a longer gap counts as this (the node was silent)
constexpr double kMinConsistency = 0.9;       // |mean vector| / mean length: one axis, one sense

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
    lastFrameMs.assign(knees.size(), 0);
}

void GaitHeading::add(const SuitPose& pose, const std::vector<NodeSample>& samples)
{
    for (size_t k = 0; k < knees.size(); ++k) {
        const size_t j = size_t(knees[k]);
        if (j >= pose.live.size() || !pose.live[j] || j >= samples.size())
            continue;
        const uint64_t t = samples[j].timeMs;
        if (t <= lastFrameMs[k])
            continue;
        const double dt = lastFrameMs[k] == 0 ? 0.0 : double(std::min(t - lastFrameMs[k], kMaxFrameGapMs)) * 1e-3;
        lastFrameMs[k] = t;
        const Eigen::AngleAxisd bend(PoseSolver::local(skeleton, pose, knees[k]));
        const Eigen::Vector3d v = bend.axis() * (bend.angle() * 180.0 / M_PI);
        const Eigen::Vector2d h(v.x(), v.z());
        if (h.norm() < kMinFlexionDeg || dt <= 0)
            continue;
        sum += h * dt;
        sumNorm += h.norm() * dt;
        flexedSeconds += dt;
        if (firstFlexMs == 0)
            firstFlexMs = t;
        lastFlexMs = std::max(lastFlexMs, t);
    }
}

bool GaitHeading::settled() const
{
    return flexedSeconds >= kFlexedSecondsNeeded && lastFlexMs >= firstFlexMs + kStepsSpanMs
           && sum.norm() >= kMinConsistency * sumNorm;
}

double GaitHeading::correctionRad() const
{
    // The mean axis u = Ry(phi) · X lies at phi about the skeleton's Y, which
    // is the world's vertical: the provisional heading is phi short.
    return std::atan2(-sum.y(), sum.x());
}
