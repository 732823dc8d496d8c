#pragma once

#include <QMetaType>
#include <cstdint>

// One decoded sensor sample. The layout is shared with the program and is
// copied whole, so its size is fixed.
struct FrameData
{
    uint32_t spare0;
    uint32_t nodeId;
    uint32_t spare1;
    float quat[4];      // w, x, y, z
    float matrix9[9];
    float accel[3];     // g
    float gyro[3];      // degrees per second
    float mag[3];       // microtesla
    float euler[3];     // degrees
    float extra;
    float position[3];  // USB nodes only
    uint8_t nodeStatus[5];
};

static_assert(sizeof(FrameData) == 136, "FrameData must stay 136 bytes");

Q_DECLARE_METATYPE(FrameData)
Q_DECLARE_METATYPE(FrameData*)
