#include "UsbFrameConversion.h"

#include <cstring>

FrameData frameDataFromSensorFrame(const SensorFrame& sf)
{
    FrameData f;
    std::memset(&f, 0, sizeof f);
    std::memcpy(f.quat, sf.quat, sizeof f.quat);
    std::memcpy(f.accel, sf.accel, sizeof f.accel);
    std::memcpy(f.gyro, sf.gyro, sizeof f.gyro);
    std::memcpy(f.mag, sf.mag, sizeof f.mag);
    std::memcpy(f.euler, sf.euler, sizeof f.euler);
    std::memcpy(f.position, sf.location, sizeof f.position);
    std::memcpy(&f.extra, &sf.extra, sizeof f.extra);
    f.nodeId = sf.nodeId;
    f.nodeStatus[0] = sf.bit12Clear;
    f.nodeStatus[1] = sf.statusBit8;
    f.nodeStatus[2] = sf.statusBit9;
    f.nodeStatus[3] = sf.battery;
    f.nodeStatus[4] = uint8_t(nodePosition(sf.nodeId));
    return f;
}
