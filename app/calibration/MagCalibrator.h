#pragma once

#include "EllipsoidFit.h"

#include <atomic>
#include <condition_variable>
#include <mutex>
#include <thread>
#include <vector>

// One sector of azimuth and elevation, radians.
struct MagDirBin
{
    double azLo;
    double azHi;
    double elLo;
    double elHi;
};

// Host-side magnetometer calibration of one device: collects samples, fits
// an ellipsoid on its own worker thread in batches of 1000, checks that the
// samples cover all directions, refits on an evenly resampled subset and
// publishes an offset and a matrix that map raw samples onto a sphere of
// radius 480 (tenths of µT). Afterwards it corrects every sample.
class MagCalibrator
{
public:
    static constexpr int kBatch = 1000;
    static constexpr int kMaxWorking = 6000;
    static constexpr int kFirstFit = 3000;
    static constexpr int kBinTarget = 50;
    static constexpr int kMaxDelivered = 7000;

    // addSample results.
    enum Code { Collecting = 0, PublishedFair = 1, PublishedGood = 2, Corrected = 3, Failed = 4 };

    MagCalibrator();
    ~MagCalibrator();
    MagCalibrator(const MagCalibrator&) = delete;
    MagCalibrator& operator=(const MagCalibrator&) = delete;

    // Ends the worker, clears the calibration run and starts a new worker.
    // The published result stays.
    void restart();

    // One sample in µT; out must hold kMaxDelivered points. Non-finite
    // samples are dropped (code Collecting, no point).
    int addSample(const double in[3], double out[][3], int* count);

    // Puts the calibrator into the finished state with a result supplied
    // from outside.
    void markFinished();
    // markFinished and the result's values, as one step against addSample.
    void loadResult(const double matrix[9], const double offset[3]);
    // Reads the published result (row-major matrix, offset) consistently.
    void getResult(double matrix[9], double offset[3]) const;

    int result() const;
    bool isFinished() const;

    // The direction bin of a corrected point, or -1 on an edge or outside.
    static int binIndex(const std::vector<MagDirBin>& bins, const double y[3]);
    static std::vector<MagDirBin> makeBins();

    // Published result; written under mutexCalib (use loadResult/getResult
    // from other threads).
    double dMatrix[9] = {1, 0, 0, 0, 1, 0, 0, 0, 1};
    double dOffset[3] = {0, 0, 0};

private:
    void workerLoop();
    bool fitEllipsoid(bool useWorkingSet);
    void publish(int outcome);
    void stopWorker();
    void apply(const MagPoint& x, double out[3]) const;

    std::vector<MagPoint> vecRawSamples;
    std::vector<MagPoint> vecSelectedSamples;
    int nConsumed = 0;
    std::vector<MagPoint> vecWorkingSamples;
    std::vector<MagDirBin> vecBins;
    double dFitCenter[3] = {0, 0, 0};
    double dFitMatrix[9] = {1, 0, 0, 0, 1, 0, 0, 0, 1};
    bool bDeliveredAll = false;
    int nResult = 0;
    int bFinished = 0;
    double dRadius = 480.0;
    std::thread* pWorker = nullptr;
    // Guards the sample sets, the counters and flags, and the published result.
    mutable std::mutex mutexCalib;
    // Wakes the worker when a batch is ready or a stop is requested.
    std::condition_variable cvSamples;
    bool bLimitReached = false;
    std::atomic<bool> bStop{false};
};
