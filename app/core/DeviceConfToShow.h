#pragma once

#include "FrameData.h"
#include "MagCalibrator.h"
#include "NearPointIndex.h"
#include "PlayHistory.h"
#include "SerialTypes.h"

#include <QObject>
#include <QString>
#include <QStringList>
#include <QTimer>
#include <array>
#include <atomic>
#include <mutex>
#include <vector>

class kvplot2d;

// How a device's data arrives.
// SOURCE_NETWORK: a device of another station, received through an MQTT broker.
enum DevSourceType { SOURCE_ROUTER = 0, SOURCE_SERIAL = 1, SOURCE_FILE = 2, SOURCE_NETWORK = 3 };

// The program's record of one listed device: identity, current values, the
// nine plots, playback history and the magnetometer calibration run.
//
// Threads: a serial device's frames are handled on the serial reader thread
// while the GUI thread reads the current values and the log; both go through
// setFrame()/frame() and appendLog()/getLogList(). The calibration run is
// serialised by mutexRun against setMagCalculType and downloaded results.
class DeviceConfToShow : public QObject
{
    Q_OBJECT
public:
    enum MagCalculType { MagCalcul_Collect = 0, MagCalcul_Fitted = 1, MagCalcul_Idle = 2, MagCalcul_Device = 3 };

    static constexpr int kMagSamples = 6000;
    static constexpr int kFitPoints = 7000;
    static constexpr int kCaliPoints = 10000;
    static constexpr int kPlotWindow = 1000;

    DeviceConfToShow(int devType, int baudRate, QString key, QString name);
    ~DeviceConfToShow() override;

    const int nDevType;
    const int nBaudRate;
    const QString strKey;
    const QString strName;

    kvplot2d* pPlotAccel;
    kvplot2d* pPlotGyro;
    kvplot2d* pPlotMag;
    kvplot2d* pPlotQuat;
    kvplot2d* pPlotEuler;
    kvplot2d* pPlotLAccel;
    kvplot2d* pPlotPressure;
    kvplot2d* pPlotAltitude;
    kvplot2d* pPlotTemperature;

    // Current values (guarded by mutexData).
    void setFrame(const FrameData& frame);
    FrameData frame() const;

    DevSetting stcSetting;  // GUI thread only
    // A fitted result is on its way into the device: its configuration is
    // read for the write, not downloaded over the result (GUI thread only).
    bool bWritingResult = false;
    PlayHistory stcHistory; // GUI thread only
    int nFrameCount = 0;
    int nPlayPos = 0;
    QTimer timerPlay;
    bool bPlaying = false;

    std::atomic<int> eMagCalculType{MagCalcul_Idle};
    std::atomic<int> nMagProgress{0};

    MagCalibrator magCalibrator;

    void appendLog(const QString& line);
    QStringList getLogList() const;

    void updatePlayWindow();
    void preparePlayback();

    void getMagCalibration(float matrix[9], float offset[3]) const;
    void copyMagSamples(float* dst, int* count) const;
    void copyFitPoints(float* dst, int* count) const;
    void copyCaliPoints(float* dst, int* count) const;

    // The calibration run.
    void processMagSample(const float mag[3]);
    void setMagCalculType(MagCalculType t);
    // A calibration downloaded from the device: load it unless a run
    // collects or has a result not yet written. Returns false (nothing
    // loaded) then.
    bool loadDeviceCalibration(const double matrix[9], const double offset[3]);

    int magSampleCount() const;
    int fitPointCount() const;

public slots:
    void slotPlayReadFile();

private:
    bool runCalibrator(const float mag[3], double out[][3], int* count);
    void storeMagSample(const float p[3]);
    void storeCaliPoint(const float p[3]);
    void storePoint(float (*ring)[3], int capacity, int* pos, bool* full, NearPointIndex* index, const float p[3]);
    void replaceCountLine(const QString& line);

    // Guards stcFrameData, listLog and bCountLineLast.
    mutable std::mutex mutexData;
    FrameData stcFrameData;
    QStringList listLog;
    // The last log line is the sample count, replaced by the next count
    // (known by position: its wording depends on the language).
    bool bCountLineLast = false;

    // Serialises the calibration run (processMagSample on the frame thread)
    // against setMagCalculType and loadDeviceCalibration (GUI thread).
    mutable std::mutex mutexRun;
    int nMagSampleCount = 0;
    std::vector<std::array<double, 3>> calibOut;  // the calibrator's output buffer, made on first use
    int nCalibOutUsed = 0;  // leading entries of calibOut the last call wrote

    // Guards the point rings, their positions and the fit points.
    mutable std::mutex mutexPoints;
    float fMagSamples[kMagSamples][3];
    int nMagSamplePos = 0;
    bool bMagSampleFull = false;
    float fFitPoints[kFitPoints][3];
    int nFitPointCount = 0;
    float fCaliPoints[kCaliPoints][3];
    int nCaliPointPos = 0;
    bool bCaliPointFull = false;
    // Where the rings' points lie, for the duplicate test; changed with the
    // rings' positions, under mutexRun.
    NearPointIndex magSampleIndex{0.5f};
    NearPointIndex caliPointIndex{0.5f};
};
