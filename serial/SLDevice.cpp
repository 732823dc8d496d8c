#include "SLDevice.h"
#include "CommandCodec.h"
#include "DeviceManager.h"

#include <QDebug>

namespace {

constexpr uint8_t kPlaneStart = 1;
constexpr uint8_t kPlaneFinish = 2;

bool validPlane(int plane)
{
    if (plane >= 1 && plane <= 6)
        return true;
    qDebug() << "accelerometer calibration plane out of range (1-6):" << plane;
    return false;
}

} // namespace

SLDevice::SLDevice()
    : pManager(new DeviceManager)
{
}

SLDevice::SLDevice(const SLDevice& other) = default;
SLDevice& SLDevice::operator=(const SLDevice& other) = default;
SLDevice::~SLDevice() = default;

QObject* SLDevice::getDevObj()
{
    return pManager.get();
}

void SLDevice::AutoCheckDevice()
{
    pManager->AutoCheckDevice();
}

int SLDevice::GetProgressAutoCheck()
{
    return pManager->getProgress();
}

std::vector<_device_config>& SLDevice::GetAllDeviceConfig()
{
    UpdateAllDeviceConfig();
    return vecDeviceConfig;
}

void SLDevice::UpdateAllDeviceConfig()
{
    vecDeviceConfig = pManager->identifiedDevices();
}

bool SLDevice::GetDeviceConfig(QString serialKey, _device_config& config)
{
    for (const _device_config& c : vecDeviceConfig) {
        if (c.serialKey == serialKey) {
            config = c;
            return true;
        }
    }
    return false;
}

bool SLDevice::ConnectAppointSerialDevice(_device_config&)
{
    return true;
}

void SLDevice::SetExtraPorts(QStringList portNames)
{
    pManager->setExtraPorts(portNames);
}

void SLDevice::SerialPortCmd_REQMAG(QString serialKey)
{
    pManager->submitCommand(serialKey, SerialCmd::REQMAG);
}

void SLDevice::SerialPortCmd_CLRMAG(QString serialKey)
{
    pManager->submitCommand(serialKey, SerialCmd::CLRMAG);
}

void SLDevice::SerialPortCmd_REQRTTRANS(QString serialKey, int rate)
{
    pManager->submitCommand(serialKey, SerialCmd::REQRTTRANS, rateParameter(rate));
}

void SLDevice::SerialPortCmd_STOPRTTRANS(QString serialKey)
{
    pManager->submitCommand(serialKey, SerialCmd::STOPRTTRANS);
}

void SLDevice::SerialPortCmd_REQCONFIG(QString serialKey)
{
    pManager->submitCommand(serialKey, SerialCmd::REQCONFIG);
}

void SLDevice::SerialPortCmd_WRITECONFIG(QString serialKey, _device_setting& setting)
{
    pManager->submitCommand(serialKey, SerialCmd::WRITECONFIG, writeConfigParameter(setting));
}

void SLDevice::SerialPortCmd_ZEROROTATE(QString serialKey, bool zero)
{
    pManager->submitCommand(serialKey, SerialCmd::ZEROROTATE, zeroRotateParameter(zero));
}

void SLDevice::AccelCalibrate_begin(QString serialKey)
{
    pManager->submitCommand(serialKey, SerialCmd::ACCELCAL, accelCalParameter(0, 1));
}

void SLDevice::AccelCalibrate_plane(QString serialKey, int plane)
{
    if (validPlane(plane))
        pManager->submitCommand(serialKey, SerialCmd::ACCELCAL, accelCalParameter(plane, kPlaneStart));
}

void SLDevice::AccelCalibrate_planeFinish(QString serialKey, int plane)
{
    if (validPlane(plane))
        pManager->submitCommand(serialKey, SerialCmd::ACCELCAL, accelCalParameter(plane, kPlaneFinish));
}

void SLDevice::AccelCalibrate_finish(QString serialKey)
{
    pManager->submitCommand(serialKey, SerialCmd::ACCELCAL, accelCalParameter(7, 1));
}
