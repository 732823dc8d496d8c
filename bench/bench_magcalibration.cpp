// Accuracy of the host-side magnetometer calibration against a known
// distortion, in one run for three cases:
//   (a) directions uniform over the sphere, 0.3 µT noise per axis
//   (b) the same with 1 µT noise
//   (c) yaw uniform, pitch and roll within ±30°, 60° inclination (poor coverage)

#include "EllipsoidFit.h"
#include "MagCalibrator.h"
#include "MagSampleGenerator.h"

#include <Eigen/Dense>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <memory>
#include <thread>
#include <unistd.h>

namespace {

using Clock = std::chrono::steady_clock;
constexpr int kSamples = 6000;
constexpr double kRad = 180.0 / 3.14159265358979323846;

struct Case
{
    const char* name;
    double noise;
    bool tiltLimited;
};

double magnitudeSpreadPercent(const std::vector<MagSampleGenerator::Vec>& raw, const double M[9], const double c[3])
{
    // The correction as the device record applies it: offset truncated to
    // whole tenths, then the matrix; spread of |result| relative to 480.
    double sum = 0, sum2 = 0;
    for (const auto& r : raw) {
        double d[3], y[3];
        for (int k = 0; k < 3; ++k)
            d[k] = std::trunc(r[size_t(k)] * 10.0 - c[k]);
        for (int i = 0; i < 3; ++i)
            y[i] = M[3 * i] * d[0] + M[3 * i + 1] * d[1] + M[3 * i + 2] * d[2];
        const double m = std::sqrt(y[0] * y[0] + y[1] * y[1] + y[2] * y[2]);
        sum += m;
        sum2 += m * m;
    }
    const double n = double(raw.size());
    const double var = sum2 / n - (sum / n) * (sum / n);
    return std::sqrt(std::max(0.0, var)) / 480.0 * 100.0;
}

void runCase(FILE* out, const Case& k, unsigned seed)
{
    const double h[3] = {25, -15, 40};
    const double S[9] = {1.10, 0.05, -0.03, 0.05, 0.95, 0.04, -0.03, 0.04, 1.02};
    MagSampleGenerator gen(seed, h, S, k.noise);
    std::vector<MagSampleGenerator::Vec> raw;
    for (int i = 0; i < kSamples; ++i)
        raw.push_back(gen.raw(k.tiltLimited ? gen.tiltLimitedDirection(30.0, 60.0) : gen.uniformDirection()));

    // The calibrator, run as the program runs it.
    MagCalibrator cal;
    cal.restart();
    auto buffer = std::make_unique<double[][3]>(MagCalibrator::kMaxDelivered);
    int n = 0;
    for (const auto& r : raw)
        cal.addSample(r.data(), buffer.get(), &n);
    const auto fed = Clock::now();
    int code = 0;
    while (!cal.isFinished() && code != MagCalibrator::Failed) {
        std::this_thread::sleep_for(std::chrono::microseconds(200));
        // Poll without storing: a finished calibrator answers at once.
        if (std::chrono::duration<double>(Clock::now() - fed).count() > 20)
            break;
    }
    const double untilPublished = std::chrono::duration<double, std::milli>(Clock::now() - fed).count();
    double M[9], c[3];
    cal.getResult(M, c);
    const int outcome = cal.result();

    // Errors against the true correction S⁻¹ (S is symmetric) and offset h.
    const Eigen::Map<const Eigen::Matrix<double, 3, 3, Eigen::RowMajor>> Sm(S);
    const Eigen::Matrix3d trueW = Sm.inverse();
    const Eigen::Map<const Eigen::Matrix<double, 3, 3, Eigen::RowMajor>> Mm(M);
    const double matrixErr = (Mm - trueW).norm() / trueW.norm();
    const double offsetErr =
        std::sqrt(std::pow(c[0] / 10 - h[0], 2) + std::pow(c[1] / 10 - h[1], 2) + std::pow(c[2] / 10 - h[2], 2));
    double trueM[9], trueC[3] = {h[0] * 10, h[1] * 10, h[2] * 10};
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 3; ++j)
            trueM[3 * i + j] = trueW(i, j);
    const double spread = magnitudeSpreadPercent(raw, M, c);
    const double floorSpread = magnitudeSpreadPercent(raw, trueM, trueC);

    // Direction error of corrected noise-free samples.
    double sq = 0, worst = 0;
    const int dirs = 2000;
    for (int i = 0; i < dirs; ++i) {
        const auto b = k.tiltLimited ? gen.tiltLimitedDirection(30.0, 60.0) : gen.uniformDirection();
        Eigen::Vector3d x;
        for (int r = 0; r < 3; ++r) {
            x[r] = h[r] * 10;
            for (int cc = 0; cc < 3; ++cc)
                x[r] += S[3 * r + cc] * 480.0 * b[size_t(cc)];
        }
        const Eigen::Vector3d y = Mm * (x - Eigen::Vector3d(c[0], c[1], c[2]));
        const double cosA = std::max(-1.0, std::min(1.0, y.normalized().dot(Eigen::Vector3d(b[0], b[1], b[2]))));
        const double a = std::acos(cosA) * kRad;
        sq += a * a;
        worst = std::max(worst, a);
    }

    // Wall time of single fits at the two sizes the worker uses.
    std::vector<MagPoint> pts;
    for (const auto& r : raw)
        pts.push_back({r[0] * 10, r[1] * 10, r[2] * 10});
    double fc[3], fw[9];
    const auto t0 = Clock::now();
    const int reps = 20;
    for (int i = 0; i < reps; ++i)
        EllipsoidFit::fit(pts, 480.0, fc, fw);
    const double fit6000 = std::chrono::duration<double, std::milli>(Clock::now() - t0).count() / reps;
    std::vector<MagPoint> small(pts.begin(), pts.begin() + 1600);
    const auto t1 = Clock::now();
    for (int i = 0; i < reps; ++i)
        EllipsoidFit::fit(small, 480.0, fc, fw);
    const double fit1600 = std::chrono::duration<double, std::milli>(Clock::now() - t1).count() / reps;

    std::fprintf(out, "%s\n", k.name);
    std::fprintf(out, "  outcome %d (published %.1f ms after the last sample)\n", outcome, untilPublished);
    std::fprintf(out, "  offset error           %.4f uT\n", offsetErr);
    std::fprintf(out, "  matrix error (Frob.)   %.2e\n", matrixErr);
    std::fprintf(out, "  magnitude spread       %.3f %% of 48 uT (floor with the true correction %.3f %%, ratio %.3f)\n",
                 spread, floorSpread, spread / floorSpread);
    std::fprintf(out, "  direction error        RMS %.4f deg, max %.4f deg\n", std::sqrt(sq / dirs), worst);
    std::fprintf(out, "  one fit                %.2f ms on 6000 samples, %.2f ms on 1600\n", fit6000, fit1600);
    std::fflush(out);
}

} // namespace

int main()
{
    // The calibrator traces each published result on standard output; keep
    // that stream for the figures.
    const int dataFd = dup(STDOUT_FILENO);
    dup2(STDERR_FILENO, STDOUT_FILENO);
    FILE* out = fdopen(dataFd, "w");
    const Case cases[] = {
        {"(a) uniform directions, 0.3 uT noise", 0.3, false},
        {"(b) uniform directions, 1 uT noise", 1.0, false},
        {"(c) yaw only, tilt within 30 deg, 60 deg inclination, 0.3 uT noise", 0.3, true},
    };
    unsigned seed = 2026;
    for (const Case& k : cases)
        runCase(out, k, seed++);
    std::fclose(out);
    return 0;
}
