#include "MagCalibrator.h"

#include <Eigen/Dense>
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <pthread.h>

MagCalibrator::MagCalibrator() = default;

MagCalibrator::~MagCalibrator()
{
    stopWorker();
}

std::vector<MagDirBin> MagCalibrator::makeBins()
{
    // The truncated constants are the bins' definition: an azimuth within
    // about 5e-8 of ±π lies outside every bin.
    std::vector<MagDirBin> bins;
    bins.reserve(32);
    for (int a = 0; a < 4; ++a) {
        for (int d = 0; d < 8; ++d) {
            MagDirBin b;
            b.elLo = (a * 3.1415926) * 0.25 - 1.5707963;
            b.elHi = ((a + 1) * 3.1415926) * 0.25 - 1.5707963;
            b.azLo = (d * 3.1415926) * 0.25 - 3.1415926;
            b.azHi = ((d + 1) * 3.1415926) * 0.25 - 3.1415926;
            bins.push_back(b);
        }
    }
    return bins;
}

int MagCalibrator::binIndex(const std::vector<MagDirBin>& bins, const double y[3])
{
    const double azimuth = std::atan2(y[1], y[0]);
    const double elevation = std::atan(y[2] / std::sqrt(y[0] * y[0] + y[1] * y[1]));
    for (size_t j = 0; j < bins.size(); ++j) {
        const MagDirBin& b = bins[j];
        if (b.azLo < azimuth && azimuth < b.azHi && b.elLo < elevation && elevation < b.elHi)
            return int(j);
    }
    return -1;
}

void MagCalibrator::stopWorker()
{
    bStop.store(true);
    {
        // Taking the lock orders the flag before the worker's next wait.
        std::lock_guard<std::mutex> lock(mutexCalib);
    }
    cvSamples.notify_all();
    if (pWorker) {
        pWorker->join();
        delete pWorker;
        pWorker = nullptr;
    }
}

void MagCalibrator::restart()
{
    stopWorker();
    {
        std::lock_guard<std::mutex> lock(mutexCalib);
        bFinished = 0;
        nResult = 0;
        bDeliveredAll = false;
        nConsumed = 0;
        vecRawSamples.clear();
        vecWorkingSamples.clear();
        vecSelectedSamples.clear();
        vecBins.clear();
        dRadius = 480.0;
        bLimitReached = false;
        vecBins = makeBins();
    }
    bStop.store(false);
    pWorker = new std::thread([this] { workerLoop(); });
}

void MagCalibrator::apply(const MagPoint& x, double out[3]) const
{
    double d[3];
    for (int k = 0; k < 3; ++k)
        d[k] = std::trunc(x[size_t(k)] - dOffset[k]);
    for (int r = 0; r < 3; ++r)
        out[r] = dMatrix[3 * r] * d[0] + dMatrix[3 * r + 1] * d[1] + dMatrix[3 * r + 2] * d[2];
}

int MagCalibrator::addSample(const double in[3], double out[][3], int* count)
{
    if (!std::isfinite(in[0]) || !std::isfinite(in[1]) || !std::isfinite(in[2])) {
        *count = 0;
        return Collecting;
    }
    std::unique_lock<std::mutex> lock(mutexCalib);
    if (bLimitReached)
        return Failed;
    const MagPoint s{in[0] * 10.0, in[1] * 10.0, in[2] * 10.0};
    if (bFinished == 0) {
        vecRawSamples.push_back(s);
        out[0][0] = s[0];
        out[0][1] = s[1];
        out[0][2] = s[2];
        *count = 1;
        const bool batchReady = int(vecRawSamples.size()) - nConsumed >= kBatch;
        lock.unlock();
        if (batchReady)
            cvSamples.notify_one();
        return Collecting;
    }
    if (bDeliveredAll) {
        apply(s, out[0]);
        *count = 1;
        return Corrected;
    }
    vecRawSamples.push_back(s);
    bDeliveredAll = true;
    // The caller's buffer holds kMaxDelivered points: hand out the most
    // recent ones when more samples arrived while the worker was fitting.
    const size_t first = vecRawSamples.size() > size_t(kMaxDelivered) ? vecRawSamples.size() - kMaxDelivered : 0;
    int n = 0;
    for (size_t i = first; i < vecRawSamples.size(); ++i)
        apply(vecRawSamples[i], out[n++]);
    *count = n;
    return (nResult == 1 || nResult == 2) ? PublishedFair : PublishedGood;
}

void MagCalibrator::markFinished()
{
    std::lock_guard<std::mutex> lock(mutexCalib);
    bLimitReached = false;
    bFinished = 1;
    bDeliveredAll = true;
}

void MagCalibrator::loadResult(const double matrix[9], const double offset[3])
{
    std::lock_guard<std::mutex> lock(mutexCalib);
    bLimitReached = false;
    bFinished = 1;
    bDeliveredAll = true;
    std::copy(matrix, matrix + 9, dMatrix);
    std::copy(offset, offset + 3, dOffset);
}

void MagCalibrator::getResult(double matrix[9], double offset[3]) const
{
    std::lock_guard<std::mutex> lock(mutexCalib);
    std::copy(dMatrix, dMatrix + 9, matrix);
    std::copy(dOffset, dOffset + 3, offset);
}

int MagCalibrator::result() const
{
    std::lock_guard<std::mutex> lock(mutexCalib);
    return nResult;
}

bool MagCalibrator::isFinished() const
{
    std::lock_guard<std::mutex> lock(mutexCalib);
    return bFinished != 0;
}

bool MagCalibrator::fitEllipsoid(bool useWorkingSet)
{
    return EllipsoidFit::fit(useWorkingSet ? vecWorkingSamples : vecSelectedSamples, dRadius, dFitCenter, dFitMatrix);
}

void MagCalibrator::publish(int outcome)
{
    double offset[3], matrix[9];
    std::copy(dFitCenter, dFitCenter + 3, offset);
    for (int r = 0; r < 3; ++r)
        for (int c = 0; c < 3; ++c)
            matrix[3 * r + c] = dFitMatrix[3 * c + r];
    {
        std::lock_guard<std::mutex> lock(mutexCalib);
        std::copy(offset, offset + 3, dOffset);
        std::copy(matrix, matrix + 9, dMatrix);
    }
    std::printf("_ori:%lf %lf %lf \r\n_matrix:\r\n", offset[0], offset[1], offset[2]);
    for (int r = 0; r < 3; ++r)
        std::printf("%lf %lf %lf \r\n", matrix[3 * r], matrix[3 * r + 1], matrix[3 * r + 2]);
    std::printf("\r\n");
    std::fflush(stdout);
    std::lock_guard<std::mutex> lock(mutexCalib);
    nResult = outcome;
    bFinished = 1;
}

void MagCalibrator::workerLoop()
{
    pthread_setname_np(pthread_self(), "MagCalibrator");
    // The working and selected sets, the bins, nConsumed and the fit fields
    // are the worker's own between restarts; the lock guards the hand-over
    // of raw samples and the flags addSample reads.
    while (!bStop.load()) {
        {
            std::unique_lock<std::mutex> lock(mutexCalib);
            if (int(vecWorkingSamples.size()) >= kMaxWorking) {
                bLimitReached = true;
                return;
            }
            cvSamples.wait(lock, [this] {
                return bStop.load() || int(vecRawSamples.size()) - nConsumed >= kBatch;
            });
            if (bStop.load())
                return;
            vecWorkingSamples.insert(vecWorkingSamples.end(), vecRawSamples.begin() + nConsumed,
                                     vecRawSamples.begin() + nConsumed + kBatch);
            nConsumed += kBatch;
        }
        if (nConsumed < kFirstFit)
            continue;
        if (!fitEllipsoid(true))
            continue;

        // Coverage: which direction bin each corrected working sample falls in.
        const Eigen::Map<const Eigen::Matrix3d> W(dFitMatrix);
        const Eigen::Map<const Eigen::Vector3d> c(dFitCenter);
        std::vector<std::vector<int>> members(vecBins.size());
        for (size_t i = 0; i < vecWorkingSamples.size(); ++i) {
            const Eigen::Vector3d x(vecWorkingSamples[i].data());
            // Corrected direction W·(x − c): the centre comes off before the
            // matrix scales, or directions shift whenever W is not near the identity.
            const Eigen::Vector3d y = W * (x - c);
            const int j = binIndex(vecBins, y.data());
            if (j >= 0)
                members[size_t(j)].push_back(int(i));
        }
        int sparse = 0;
        for (const auto& m : members)
            if (int(m.size()) < kBinTarget)
                ++sparse;
        if (int(vecWorkingSamples.size()) == kMaxWorking) {
            if (sparse > 4) {
                publish(1);
                return;
            }
        } else if (sparse > 0) {
            continue;
        }

        for (int r = 0; r < 5; ++r) {
            vecSelectedSamples.clear();
            for (const auto& m : members) {
                const int n = int(m.size());
                const int step = n / kBinTarget;
                if (step >= 1) {
                    for (int l = 0; l < kBinTarget; ++l) {
                        int k = step * l + r;
                        if (k > n - 1)
                            k -= n;
                        vecSelectedSamples.push_back(vecWorkingSamples[size_t(m[size_t(k)])]);
                    }
                } else {
                    for (int idx : m)
                        vecSelectedSamples.push_back(vecWorkingSamples[size_t(idx)]);
                }
            }
            if (fitEllipsoid(false)) {
                publish(sparse == 0 ? 4 : 3);
                return;
            }
        }
        vecSelectedSamples.clear();
        publish(2);
        return;
    }
}
