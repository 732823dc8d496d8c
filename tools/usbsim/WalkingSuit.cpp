#include "WalkingSuit.h"

#include <cmath>

namespace {

constexpr double kDeg = M_PI / 180.0;
// Parents and joint offsets (metres, body axes) in node position order:
// Hips, right leg, left leg, spine, neck, head, right arm, left arm.
const int kParent[WalkingSuit::kNodes] = {-1, 0, 1, 2, 0, 4, 5, 0, 7, 8, 9, 8, 11, 12, 8, 14, 15};
const double kOffset[WalkingSuit::kNodes][3] = {
    {0, 0, 0},     {0, -0.09, -0.06}, {0, 0, -0.44}, {0, 0, -0.42}, {0, 0.09, -0.06}, {0, 0, -0.44},
    {0, 0, -0.42}, {0, 0, 0.10},      {0, 0, 0.20},  {0, 0, 0.22},  {0, 0, 0.10},     {0, -0.18, 0.18},
    {0, -0.28, 0}, {0, -0.26, 0},     {0, 0.18, 0.18}, {0, 0.28, 0}, {0, 0.26, 0}};

Eigen::Quaterniond rx(double deg) { return Eigen::Quaterniond(Eigen::AngleAxisd(deg * kDeg, Eigen::Vector3d::UnitX())); }
Eigen::Quaterniond ry(double deg) { return Eigen::Quaterniond(Eigen::AngleAxisd(deg * kDeg, Eigen::Vector3d::UnitY())); }
Eigen::Quaterniond rz(double deg) { return Eigen::Quaterniond(Eigen::AngleAxisd(deg * kDeg, Eigen::Vector3d::UnitZ())); }

} // namespace

WalkingSuit::WalkingSuit(uint32_t seed, const std::string& truthPath, double headingDeg) : rng(seed)
{
    std::uniform_real_distribution<double> uniform(-1.0, 1.0);
    // Drawn also when given, so the seed's mountings stay the same.
    const double drawn = 35.0 + 60.0 * uniform(rng);
    headingRad = (std::isnan(headingDeg) ? drawn : headingDeg) * kDeg;
    standingAt = Eigen::Vector3d(1.2 * uniform(rng), 1.2 * uniform(rng), 0.0);
    for (int i = 0; i < kNodes; ++i) {
        // Any angle at all: a uniformly random rotation.
        Eigen::Vector4d v(noise(rng), noise(rng), noise(rng), noise(rng));
        v.normalize();
        mounting[i] = Eigen::Quaterniond(v[0], v[1], v[2], v[3]);
        lastOrientation[i] = Eigen::Quaterniond::Identity();
        lastTime[i] = -1;
    }
    if (!truthPath.empty()) {
        truth = std::fopen(truthPath.c_str(), "w");
        if (truth) {
            std::fprintf(truth, "# seconds, then w x y z of each joint relative to its parent (the root: relative "
                                "to the body's heading), body axes x forward y left z up, node positions 0-16\n");
            std::fprintf(truth, "# heading %.6f deg; mounting (sensor to segment, w x y z):", headingRad / kDeg);
            for (const Eigen::Quaterniond& m : mounting)
                std::fprintf(truth, " %.6f %.6f %.6f %.6f", m.w(), m.x(), m.y(), m.z());
            std::fprintf(truth, "\n");
            std::fflush(truth);
        }
    }
}

WalkingSuit::~WalkingSuit()
{
    if (truth)
        std::fclose(truth);
}

double WalkingSuit::now()
{
    const auto t = std::chrono::steady_clock::now();
    if (!started) {
        start = t;
        started = true;
    }
    return std::chrono::duration<double>(t - start).count();
}

void WalkingSuit::pose(double t, Eigen::Quaterniond local[kNodes], Eigen::Vector3d location[kNodes]) const
{
    // A still T-pose with a slight sway, then the gait fading in over a second.
    const double tg = t - gaitFrom;
    const double a = (tg <= 0 && t >= tposeFrom) ? 0.0 : tg >= 1.0 || tg < 0 ? 1.0 : 0.5 - 0.5 * std::cos(M_PI * tg);
    const double p = 2 * M_PI * std::max(0.0, tg) / kStrideSeconds;
    const double sway = 0.3 * std::sin(2 * M_PI * 0.4 * t);

    const double yaw = a * 6 * std::sin(p), roll = a * 4 * std::sin(2 * p);
    local[0] = rz(yaw) * rx(roll) * ry(sway);
    const double hipR = a * (5 + 22 * std::sin(p)), hipL = a * (5 + 22 * std::sin(p + M_PI));
    local[1] = ry(-hipR);
    local[4] = ry(-hipL);
    local[2] = ry(a * (20 + 20 * std::sin(p - M_PI / 3)));
    local[5] = ry(a * (20 + 20 * std::sin(p + 2 * M_PI / 3)));
    local[3] = ry(a * -10 * std::sin(p - 2 * M_PI / 3));
    local[6] = ry(a * -10 * std::sin(p + M_PI / 3));
    // The spine turns against the pelvis so that the shoulders stay square.
    local[7] = rz(-0.5 * yaw) * rx(-0.5 * roll);
    local[8] = rz(-0.5 * yaw) * rx(-0.5 * roll) * ry(a * 4);
    // Arms hang and swing against the legs; elbows bend a little.
    const double swingL = a * 18 * std::sin(p), swingR = a * 18 * std::sin(p + M_PI);
    local[11] = ry(-swingR) * rx(a * 75);
    local[14] = ry(-swingL) * rx(a * -75);
    local[12] = rz(a * (20 + 8 * std::sin(p + M_PI)));
    local[15] = rz(-a * (20 + 8 * std::sin(p)));
    local[13] = rx(a * 5 * std::sin(p));
    local[16] = rx(a * -5 * std::sin(p));

    // Globals in body axes, then the neck and head keep the gaze steady.
    Eigen::Quaterniond global[kNodes];
    for (int i : {0, 1, 2, 3, 4, 5, 6, 7, 8})
        global[i] = kParent[i] < 0 ? local[i] : global[kParent[i]] * local[i];
    local[9] = Eigen::Quaterniond(Eigen::Quaterniond::Identity().slerp(0.5, global[8].conjugate()));
    global[9] = global[8] * local[9];
    local[10] = global[9].conjugate();
    for (int i = 10; i < kNodes; ++i)
        global[i] = global[kParent[i]] * local[i];

    // Walking in place: the pelvis bobs twice per stride.
    Eigen::Vector3d at[kNodes];
    for (int i = 0; i < kNodes; ++i) {
        const Eigen::Vector3d off(kOffset[i][0], kOffset[i][1], kOffset[i][2]);
        at[i] = kParent[i] < 0 ? Eigen::Vector3d(0, 0, 0.98 + a * 0.02 * std::cos(2 * p))
                               : Eigen::Vector3d(at[kParent[i]] + global[kParent[i]] * off);
    }
    const Eigen::Quaterniond facing = rz(headingRad / kDeg);
    for (int i = 0; i < kNodes; ++i)
        location[i] = standingAt + facing * at[i];
}

void WalkingSuit::standInTPose(double seconds)
{
    tposeFrom = now();
    gaitFrom = tposeFrom + seconds;
}

WalkingSuit::Sample WalkingSuit::sample(int position)
{
    const double t = now();
    Eigen::Quaterniond local[kNodes];
    Eigen::Vector3d location[kNodes];
    pose(t, local, location);
    if (position == 0 && truth) {
        std::fprintf(truth, "%.6f", t);
        for (const Eigen::Quaterniond& q : local)
            std::fprintf(truth, " %.7f %.7f %.7f %.7f", q.w(), q.x(), q.y(), q.z());
        std::fprintf(truth, "\n");
        std::fflush(truth);
    }
    Eigen::Quaterniond g = local[position];
    for (int i = kParent[position]; i >= 0; i = kParent[i])
        g = local[i] * g;
    // A sensor's own noise: about 0.15 degrees about a random axis.
    const Eigen::Vector3d n(noise(rng), noise(rng), noise(rng));
    const Eigen::Quaterniond jitter(Eigen::AngleAxisd(0.15 * kDeg * n.norm(), n.normalized()));
    Sample s;
    s.orientation = (rz(headingRad / kDeg) * g * mounting[position] * jitter).normalized();
    s.location = location[position];
    const double dt = t - lastTime[position];
    s.gyro = Eigen::Vector3d::Zero();
    if (lastTime[position] >= 0 && dt > 0) {
        const Eigen::AngleAxisd turn(lastOrientation[position].conjugate() * s.orientation);
        s.gyro = turn.axis() * (turn.angle() / dt / kDeg);
    }
    lastOrientation[position] = s.orientation;
    lastTime[position] = t;
    return s;
}
