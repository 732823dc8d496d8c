#pragma once

#include <QMetaType>
#include <QString>
#include <cstdint>

// Command codes of the host-to-device protocol. The awaited reply type is
// always the code plus one.
namespace SerialCmd {
enum Code : uint8_t {
    REQDEVID = 1,
    REQMAG = 3,
    CLRMAG = 5,
    ACCELCAL = 7,
    ZEROROTATE = 11,
    REQRTTRANS = 33,
    STOPRTTRANS = 37,
    REQCONFIG = 39,
    WRITECONFIG = 41,
};
}

struct _device_cal_block
{
    float bias[3];
    float matrix[9];
};

// Calibration settings of a serial device.
struct _device_setting
{
    uint8_t ctrl[3];
    _device_cal_block cal[3];
};
typedef _device_setting DevSetting;

// One identified serial device as the facade lists it.
struct _device_config
{
    int devType = 1;
    int baudRate = 0;
    QString serialKey;
    QString devName;
};

// Parameter bytes of a command on their way to the port's I/O thread.
struct TransData
{
    uint8_t data[1024];
    int len;
};

Q_DECLARE_METATYPE(TransData)
