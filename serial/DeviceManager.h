#pragma once

#include "FrameData.h"
#include "PendingCommandList.h"
#include "RateCounter.h"
#include "ReaderWake.h"
#include "SerialTypes.h"

#include <QObject>
#include <QString>
#include <QStringList>
#include <atomic>
#include <QTimer>
#include <cstdint>
#include <mutex>
#include <vector>

class SerialDevice;
class ThreadAutoDiscernDev;
class ThreadReadSensorData;

// Owns the serial devices, the reader thread, the pending commands and their
// 200 ms completion sweep. Lives on the thread that created it.
class DeviceManager : public QObject
{
    Q_OBJECT
public:
    static constexpr int kPayloadBufferSize = 1024;

    // Without startThreads neither the reader thread nor the sweep timer runs:
    // the owner drives ReadFrameData() and TimeOutCmdRespond() itself.
    explicit DeviceManager(bool startThreads = true);
    ~DeviceManager() override;

    // Rebuilds the device list from the system's ports and the extra ports
    // and starts the baud-rate sweep; ignored while a sweep runs.
    void AutoCheckDevice();
    int getProgress() const { return progress.load(); }
    // Port names or paths probed after the system's list, which does not
    // show pseudo-terminals, Bluetooth serial ports or socat bridges.
    void setExtraPorts(const QStringList& ports) { listExtraPorts = ports; }
    // Identified devices in list order.
    std::vector<_device_config> identifiedDevices();

    // Takes ownership and connects the command signals to the device.
    void appendDevice(SerialDevice* device);
    // Whether the last pass took a payload or consumed bytes: the reader
    // thread then runs the next pass at once instead of sleeping.
    bool passProgressed() const { return bPassProgressed.load(); }
    // Woken by every port's deliveries.
    ReaderWake& readerWakeup() { return readerWake; }
    std::vector<SerialDevice*> devicesSnapshot();

    void submitCommand(const QString& serialKey, uint8_t code);
    void submitCommand(const QString& serialKey, uint8_t code, const TransData& params);
    int pendingCount() const { return pending.size(); }

signals:
    void sigOwnSendCmdDataComplete();
    void sigNewReadFrameData(QString serialKey, FrameData* frameData);
    void sigAutoCheckProcess(int nProcess);
    void sigAutoCheckComplete();
    void sigCmdResponded_CMDSTATUS(QString serialKey, bool bRet);
    void sigCmdResponded_REQMAG(QString serialKey, bool bStandard);
    void sigCmdResponded_CONFIG(QString serialKey, DevSetting& stcSetting);
    void sigCmdResponded_ACCELCAL(QString serialKey, bool bRet);
    // The outcome of a configuration write alone (also reported through
    // sigCmdResponded_CMDSTATUS), so a writer can tell it from other commands.
    void sigCmdResponded_WRITECONFIG(QString serialKey, bool bRet);
    void sigWriterCmdData(QString serialKey, uint8_t code);
    void sigWriterCmdData(QString serialKey, uint8_t code, TransData stcData);

public slots:
    void DiscernDev(int nBaudRate);
    void ReadFrameData();
    void AutoCheckProcess(int nPro);
    void DeviceToComplete();
    void TimeOutCmdRespond();

private:
    void dispatchPayload(const QString& key, const uint8_t* payload, int length, int deviceIndex);
    void matchStatusReply(const QString& key, const uint8_t* payload);
    // Start of a valid frame behind a head marker inside an
    // unrecognised payload, or -1.
    static int innerFrameStart(const uint8_t* payload, int length);
    // A known payload kind whose checksum holds, or noise ending in one.
    static bool isWholePayload(const uint8_t* payload, int length);
    void connectDevice(SerialDevice* device);
    // Closes the device's port and opens it at `rate` (0: leaves it closed),
    // or again at its own rate when it was identified meanwhile, so a
    // device is only ever listed at the rate it answered at.
    void retune(SerialDevice* device, int rate);
    // Looks through what the device's ring holds for an identity reply
    // (device-list lock held).
    void takeIdentityFromRing(SerialDevice* device);
    void identify(SerialDevice* device, uint32_t serial);
    QStringList portsToProbe() const;

    std::atomic<int> progress{100};
    // Guards deviceList; held by a whole reader pass, including the signals
    // it emits, and always taken before any ring-buffer mutex.
    std::mutex deviceListMutex;
    std::vector<SerialDevice*> deviceList;
    ThreadReadSensorData* readerThread;
    ThreadAutoDiscernDev* discoveryThread;
    QStringList listExtraPorts;
    PendingCommandList pending;
    QTimer commandTimer;
    RateCounter portReadRate;
    ReaderWake readerWake;
    std::atomic<bool> bPassProgressed{false};
};
