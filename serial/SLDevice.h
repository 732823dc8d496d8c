#pragma once

#include "FrameData.h"
#include "SLDeviceGlobal.h"
#include "SerialTypes.h"

#include <QString>
#include <QStringList>
#include <memory>
#include <vector>

class DeviceManager;
class QObject;

// The serial device library's facade. All methods run on the thread that
// created the object; none waits for a device. Results arrive through the
// signals of getDevObj(). Copies share one manager, which the last copy
// destroys.
class SLDEVICE_EXPORT SLDevice
{
public:
    SLDevice();
    SLDevice(const SLDevice& other);
    SLDevice& operator=(const SLDevice& other);
    ~SLDevice();

    QObject* getDevObj();

    void AutoCheckDevice();
    int GetProgressAutoCheck();
    std::vector<_device_config>& GetAllDeviceConfig();
    void UpdateAllDeviceConfig();
    bool GetDeviceConfig(QString serialKey, _device_config& config);
    bool ConnectAppointSerialDevice(_device_config& config);
    // Port names or paths that discovery probes after the system's ports
    // (pseudo-terminals, Bluetooth serial ports, socat bridges).
    void SetExtraPorts(QStringList portNames);

    void SerialPortCmd_REQMAG(QString serialKey);
    void SerialPortCmd_CLRMAG(QString serialKey);
    void SerialPortCmd_REQRTTRANS(QString serialKey, int rate);
    void SerialPortCmd_STOPRTTRANS(QString serialKey);
    void SerialPortCmd_REQCONFIG(QString serialKey);
    void SerialPortCmd_WRITECONFIG(QString serialKey, _device_setting& setting);
    void SerialPortCmd_ZEROROTATE(QString serialKey, bool zero);
    void AccelCalibrate_begin(QString serialKey);
    void AccelCalibrate_plane(QString serialKey, int plane);
    void AccelCalibrate_planeFinish(QString serialKey, int plane);
    void AccelCalibrate_finish(QString serialKey);

private:
    std::vector<_device_config> vecDeviceConfig;
    std::shared_ptr<DeviceManager> pManager;
};
