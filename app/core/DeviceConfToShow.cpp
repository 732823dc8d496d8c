#include "DeviceConfToShow.h"
#include "kvplot2d.h"

#include <QString>
#include <algorithm>
#include <cmath>
#include <cstring>

namespace {

kvplot2d* makePlot(const QString& key, int curves, const QStringList& names, const QString& title,
                   const QString& label)
{
    bool ok = false;
    const unsigned id = key.toUInt(&ok, 10);
    return new kvplot2d(ok ? id : 0, curves, names, title, key, label, false);
}

} // namespace

DeviceConfToShow::DeviceConfToShow(int devType, int baudRate, QString key, QString name)
    : nDevType(devType)
    , nBaudRate(baudRate)
    , strKey(key)
    , strName(name)
{
    std::memset(&stcFrameData, 0, sizeof(stcFrameData));
    std::memset(&stcSetting, 0, sizeof(stcSetting));
    // Only a recorded file's record plays back a history.
    if (devType == SOURCE_FILE)
        stcHistory.reserve(6000);
    const QStringList xyz{"X", "Y", "Z"};
    pPlotAccel = makePlot(key, 3, xyz, "Accel(g)", "Device");
    pPlotGyro = makePlot(key, 3, xyz, "Gyro(deg/s)", "Device");
    pPlotMag = makePlot(key, 3, xyz, "Mag(uT)", "Device");
    pPlotQuat = makePlot(key, 4, {"W", "X", "Y", "Z"}, "Quat", "Device");
    pPlotEuler = makePlot(key, 3, xyz, "Euler(deg)", "Device");
    pPlotLAccel = makePlot(key, 3, xyz, "LAccel(g)", "Device: ");
    pPlotPressure = makePlot(key, 1, {"P"}, "Pressure(kPa)", "Device");
    pPlotAltitude = makePlot(key, 1, {"A"}, "Altitude(m)", "Device");
    pPlotTemperature = makePlot(key, 1, {"T"}, "Tempe(deg.C)", "Device");
    pPlotAccel->setYRange(-16, 16);
    pPlotGyro->setYRange(-2000, 2000);
    pPlotMag->setYRange(-80, 80);
    pPlotQuat->setYRange(-1, 1);
    pPlotEuler->setYRange(-180, 180);
    pPlotLAccel->setYRange(-16, 16);
    magCalibrator.restart();
    timerPlay.setInterval(10);
    connect(&timerPlay, SIGNAL(timeout()), this, SLOT(slotPlayReadFile()));
}

DeviceConfToShow::~DeviceConfToShow()
{
    timerPlay.stop();
    delete pPlotAccel;
    delete pPlotGyro;
    delete pPlotMag;
    delete pPlotQuat;
    delete pPlotEuler;
    delete pPlotLAccel;
    delete pPlotPressure;
    delete pPlotAltitude;
    delete pPlotTemperature;
}

void DeviceConfToShow::setFrame(const FrameData& f)
{
    std::lock_guard<std::mutex> lock(mutexData);
    stcFrameData = f;
}

FrameData DeviceConfToShow::frame() const
{
    std::lock_guard<std::mutex> lock(mutexData);
    return stcFrameData;
}

void DeviceConfToShow::appendLog(const QString& line)
{
    std::lock_guard<std::mutex> lock(mutexData);
    listLog.append(line);
    bCountLineLast = false;
}

QStringList DeviceConfToShow::getLogList() const
{
    std::lock_guard<std::mutex> lock(mutexData);
    return listLog;
}

void DeviceConfToShow::replaceCountLine(const QString& line)
{
    std::lock_guard<std::mutex> lock(mutexData);
    if (bCountLineLast)
        listLog.removeLast();
    listLog.append(line);
    bCountLineLast = true;
}

void DeviceConfToShow::preparePlayback()
{
    nFrameCount = int(stcHistory.vecQuat.size());
    nPlayPos = 0;
    bPlaying = false;
}

void DeviceConfToShow::slotPlayReadFile()
{
    if (nPlayPos < nFrameCount)
        ++nPlayPos;
    updatePlayWindow();
}

void DeviceConfToShow::updatePlayWindow()
{
    int start = 0;
    if (nPlayPos >= kPlotWindow) {
        start = nPlayPos - kPlotWindow;
    } else {
        const double zeros[4] = {0, 0, 0, 0};
        for (int i = 0; i < kPlotWindow - nPlayPos; ++i) {
            pPlotAccel->addDataFrame(zeros);
            pPlotGyro->addDataFrame(zeros);
            pPlotMag->addDataFrame(zeros);
            pPlotQuat->addDataFrame(zeros);
            pPlotEuler->addDataFrame(zeros);
            pPlotLAccel->addDataFrame(zeros);
            pPlotPressure->addDataFrame(zeros);
            pPlotAltitude->addDataFrame(zeros);
            pPlotTemperature->addDataFrame(zeros);
        }
    }
    if (nPlayPos <= start)
        return;
    FrameData f = frame();
    const PlayHistory& h = stcHistory;
    for (int i = start; i < nPlayPos; ++i) {
        const size_t k = size_t(i);
        pPlotAccel->addDataFrame(h.vecAccel[k].data());
        pPlotGyro->addDataFrame(h.vecGyro[k].data());
        pPlotMag->addDataFrame(h.vecMag[k].data());
        pPlotQuat->addDataFrame(h.vecQuat[k].data());
        pPlotEuler->addDataFrame(h.vecEuler[k].data());
        pPlotLAccel->addDataFrame(h.vecLAccel[k].data());
        pPlotPressure->addDataFrame(&h.vecPressure[k]);
        pPlotAltitude->addDataFrame(&h.vecAltitude[k]);
        pPlotTemperature->addDataFrame(&h.vecTemperature[k]);
    }
    const size_t last = size_t(nPlayPos - 1);
    for (int c = 0; c < 3; ++c) {
        f.accel[c] = float(h.vecAccel[last][size_t(c)]);
        f.gyro[c] = float(h.vecGyro[last][size_t(c)]);
        f.mag[c] = float(h.vecMag[last][size_t(c)]);
        f.euler[c] = float(h.vecEuler[last][size_t(c)]);
    }
    for (int c = 0; c < 4; ++c)
        f.quat[c] = float(h.vecQuat[last][size_t(c)]);
    setFrame(f);
}

void DeviceConfToShow::getMagCalibration(float matrix[9], float offset[3]) const
{
    double m[9], o[3];
    magCalibrator.getResult(m, o);
    for (int i = 0; i < 9; ++i)
        matrix[i] = float(m[i]);
    for (int i = 0; i < 3; ++i)
        offset[i] = float(o[i]);
}

void DeviceConfToShow::copyMagSamples(float* dst, int* count) const
{
    std::lock_guard<std::mutex> lock(mutexPoints);
    *count = bMagSampleFull ? kMagSamples : nMagSamplePos;
    std::memcpy(dst, fMagSamples, size_t(*count) * 3 * sizeof(float));
}

void DeviceConfToShow::copyFitPoints(float* dst, int* count) const
{
    std::lock_guard<std::mutex> lock(mutexPoints);
    *count = nFitPointCount;
    std::memcpy(dst, fFitPoints, size_t(*count) * 3 * sizeof(float));
}

void DeviceConfToShow::copyCaliPoints(float* dst, int* count) const
{
    std::lock_guard<std::mutex> lock(mutexPoints);
    *count = bCaliPointFull ? kCaliPoints : nCaliPointPos;
    std::memcpy(dst, fCaliPoints, size_t(*count) * 3 * sizeof(float));
}

int DeviceConfToShow::magSampleCount() const
{
    std::lock_guard<std::mutex> lock(mutexRun);
    return nMagSampleCount;
}

int DeviceConfToShow::fitPointCount() const
{
    std::lock_guard<std::mutex> lock(mutexPoints);
    return nFitPointCount;
}

void DeviceConfToShow::processMagSample(const float mag[3])
{
    std::lock_guard<std::mutex> run(mutexRun);
    if (eMagCalculType.load() == MagCalcul_Idle)
        return;
    // The output buffer (168 KB) exists only once a device calibrates.
    if (calibOut.empty())
        calibOut.resize(MagCalibrator::kMaxDelivered);
    auto* out = reinterpret_cast<double(*)[3]>(calibOut.data());
    // The buffer is handed over zeroed; only what the last call wrote needs
    // clearing (the whole buffer is 168 KB, cleared per frame otherwise).
    std::memset(out, 0, sizeof(double) * 3 * size_t(nCalibOutUsed));
    int n = 0;
    const bool ok = runCalibrator(mag, out, &n);
    nCalibOutUsed = std::clamp(n, 0, int(MagCalibrator::kMaxDelivered));
    if (eMagCalculType.load() == MagCalcul_Collect) {
        ++nMagSampleCount;
        nMagProgress.store(nMagSampleCount * 100 / 7000);
        replaceCountLine(tr("拟合收集点数：") + QString::number(nMagSampleCount));
        storeMagSample(mag);
    }
    if (n > 1) {
        {
            std::lock_guard<std::mutex> lock(mutexPoints);
            for (int i = 0; i < n; ++i)
                for (int c = 0; c < 3; ++c)
                    fFitPoints[i][c] = float(out[i][c] * 0.1);
            nFitPointCount = n;
        }
        nMagProgress.store(100);
        appendLog(tr("标志点数：") + QString::number(n));
        appendLog(tr("拟合算法运算成功！"));
        eMagCalculType.store(MagCalcul_Fitted);
    }
    const int state = eMagCalculType.load();
    if (ok && n == 1 && (state == MagCalcul_Fitted || state == MagCalcul_Device)) {
        const float p[3] = {float(out[0][0] * 0.1), float(out[0][1] * 0.1), float(out[0][2] * 0.1)};
        storeCaliPoint(p);
    }
}

bool DeviceConfToShow::runCalibrator(const float mag[3], double out[][3], int* count)
{
    const double in[3] = {mag[0], mag[1], mag[2]};
    switch (magCalibrator.addSample(in, out, count)) {
    case MagCalibrator::PublishedFair:
        appendLog(tr("拟合运算效果： 一般"));
        return true;
    case MagCalibrator::PublishedGood:
        appendLog(tr("拟合运算效果： 较好"));
        return true;
    case MagCalibrator::Corrected:
        return true;
    case MagCalibrator::Failed:
        appendLog(tr("拟合运算失败！"));
        appendLog(tr("开始重新收集并运算..."));
        magCalibrator.restart();
        {
            std::lock_guard<std::mutex> lock(mutexPoints);
            nFitPointCount = 0;
        }
        nMagSampleCount = 0;
        nMagProgress.store(0);
        return false;
    default:
        return false;
    }
}

void DeviceConfToShow::storePoint(float (*ring)[3], int capacity, int* pos, bool* full, NearPointIndex* index,
                                  const float p[3])
{
    // Only the frame thread writes the rings, so the test needs no lock.
    if (index->hasPointNear(p, ring))
        return;
    if (*full)
        index->remove(*pos, ring[*pos]);
    index->insert(*pos, p);
    // The copies for the view read the ring and its position under this lock.
    std::lock_guard<std::mutex> lock(mutexPoints);
    ring[*pos][0] = p[0];
    ring[*pos][1] = p[1];
    ring[*pos][2] = p[2];
    if (*pos == capacity - 1) {
        *full = true;
        *pos = 0;
    } else {
        ++*pos;
    }
}

void DeviceConfToShow::storeMagSample(const float p[3])
{
    storePoint(fMagSamples, kMagSamples, &nMagSamplePos, &bMagSampleFull, &magSampleIndex, p);
}

void DeviceConfToShow::storeCaliPoint(const float p[3])
{
    storePoint(fCaliPoints, kCaliPoints, &nCaliPointPos, &bCaliPointFull, &caliPointIndex, p);
}

void DeviceConfToShow::setMagCalculType(MagCalculType t)
{
    if (t == MagCalcul_Fitted)
        return;
    std::lock_guard<std::mutex> run(mutexRun);
    if (t == MagCalcul_Collect || t == MagCalcul_Idle) {
        magCalibrator.restart();
        nMagProgress.store(0);
        nMagSampleCount = 0;
        std::lock_guard<std::mutex> lock(mutexPoints);
        bCaliPointFull = false;
        nCaliPointPos = 0;
        nFitPointCount = 0;
        caliPointIndex.clear();
    }
    {
        std::lock_guard<std::mutex> lock(mutexPoints);
        nMagSamplePos = 0;
        bMagSampleFull = false;
        magSampleIndex.clear();
    }
    eMagCalculType.store(t);
}

bool DeviceConfToShow::loadDeviceCalibration(const double matrix[9], const double offset[3])
{
    std::lock_guard<std::mutex> run(mutexRun);
    // A fitted result not yet taken for writing must not be replaced by the
    // device's older calibration.
    if (eMagCalculType.load() == MagCalcul_Collect || eMagCalculType.load() == MagCalcul_Fitted)
        return false;
    magCalibrator.loadResult(matrix, offset);
    {
        std::lock_guard<std::mutex> lock(mutexPoints);
        nMagSamplePos = 0;
        bMagSampleFull = false;
        magSampleIndex.clear();
    }
    eMagCalculType.store(MagCalcul_Device);
    return true;
}
