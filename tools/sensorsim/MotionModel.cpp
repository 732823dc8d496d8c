#include "MotionModel.h"

#include <cmath>

namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr double kDeg = 180.0 / kPi;

void quatMul(const double a[4], const double b[4], double out[4])
{
    const double w = a[0] * b[0] - a[1] * b[1] - a[2] * b[2] - a[3] * b[3];
    const double x = a[0] * b[1] + a[1] * b[0] + a[2] * b[3] - a[3] * b[2];
    const double y = a[0] * b[2] - a[1] * b[3] + a[2] * b[0] + a[3] * b[1];
    const double z = a[0] * b[3] + a[1] * b[2] - a[2] * b[1] + a[3] * b[0];
    out[0] = w;
    out[1] = x;
    out[2] = y;
    out[3] = z;
}

void normalise(double q[4])
{
    const double n = std::sqrt(q[0] * q[0] + q[1] * q[1] + q[2] * q[2] + q[3] * q[3]);
    for (int i = 0; i < 4; ++i)
        q[i] /= n;
}

// World vector v expressed in the body frame of orientation q (body to world).
void worldToBody(const double q[4], const double v[3], double out[3])
{
    const double conj[4] = {q[0], -q[1], -q[2], -q[3]};
    const double p[4] = {0, v[0], v[1], v[2]};
    double t[4], r[4];
    quatMul(conj, p, t);
    quatMul(t, q, r);
    out[0] = r[1];
    out[1] = r[2];
    out[2] = r[3];
}

} // namespace

MotionModel::MotionModel(uint32_t seed, const MagDistortion& distortion)
    : mag(distortion)
    , rng(seed)
{
    std::uniform_real_distribution<double> uni(0.0, 2.0 * kPi);
    for (double& p : phase)
        p = uni(rng);
    // Start from a seed-dependent orientation.
    double start[4] = {1.0, uni(rng) - kPi, uni(rng) - kPi, uni(rng) - kPi};
    normalise(start);
    for (int i = 0; i < 4; ++i)
        q[i] = start[i];
}

void MotionModel::angularRate(double t, double w[3]) const
{
    // Three incommensurate slow sweeps: over tens of seconds the body axes
    // visit every direction, as a hand turning a sensor would.
    w[0] = 1.1 * std::sin(0.37 * t + phase[0]) + 0.3;
    w[1] = 0.9 * std::sin(0.23 * t + phase[1]);
    w[2] = 1.3 * std::sin(0.29 * t + phase[2]) - 0.2;
}

void MotionModel::worldField(double out[3])
{
    const double inc = kInclinationDeg / kDeg;
    out[0] = kFieldMicroTesla * std::cos(inc);
    out[1] = 0.0;
    out[2] = -kFieldMicroTesla * std::sin(inc);
}

void MotionModel::trueBodyField(double out[3]) const
{
    double world[3];
    worldField(world);
    worldToBody(q, world, out);
}

DeviceEncoder::SensorValues MotionModel::step(double dt)
{
    double w[3];
    angularRate(time + 0.5 * dt, w);
    const double rate = std::sqrt(w[0] * w[0] + w[1] * w[1] + w[2] * w[2]);
    if (rate > 0) {
        const double half = 0.5 * rate * dt;
        const double s = std::sin(half) / rate;
        const double dq[4] = {std::cos(half), w[0] * s, w[1] * s, w[2] * s};
        double next[4];
        quatMul(q, dq, next);
        normalise(next);
        for (int i = 0; i < 4; ++i)
            q[i] = next[i];
    }
    time += dt;

    DeviceEncoder::SensorValues v;
    angularRate(time, w);
    for (int i = 0; i < 3; ++i)
        v.gyro[i] = w[i] * kDeg;

    const double up[3] = {0, 0, 1};
    worldToBody(q, up, v.accel);

    double b[3];
    trueBodyField(b);
    for (int r = 0; r < 3; ++r) {
        v.mag[r] = mag.hardIron[r] + (mag.noise > 0 ? mag.noise * gauss(rng) : 0.0);
        for (int c = 0; c < 3; ++c)
            v.mag[r] += mag.softIron[3 * r + c] * b[c];
    }

    const double refConj[4] = {qRef[0], -qRef[1], -qRef[2], -qRef[3]};
    double rep[4];
    quatMul(refConj, q, rep);
    normalise(rep);
    if (rep[0] < 0)
        for (double& c : rep)
            c = -c;
    for (int i = 0; i < 4; ++i)
        v.quat[i] = rep[i];

    // Roll, pitch, yaw (Z-Y-X) of the reported orientation.
    v.euler[0] = std::atan2(2 * (rep[0] * rep[1] + rep[2] * rep[3]), 1 - 2 * (rep[1] * rep[1] + rep[2] * rep[2])) * kDeg;
    const double sp = std::fmax(-1.0, std::fmin(1.0, 2 * (rep[0] * rep[2] - rep[3] * rep[1])));
    v.euler[1] = std::asin(sp) * kDeg;
    v.euler[2] = std::atan2(2 * (rep[0] * rep[3] + rep[1] * rep[2]), 1 - 2 * (rep[2] * rep[2] + rep[3] * rep[3])) * kDeg;
    v.extra = 25.0 + 0.5 * std::sin(0.05 * time);  // board temperature, °C
    return v;
}

void MotionModel::zeroRotation()
{
    for (int i = 0; i < 4; ++i)
        qRef[i] = q[i];
}

void MotionModel::resetZero()
{
    qRef[0] = 1;
    qRef[1] = qRef[2] = qRef[3] = 0;
}
