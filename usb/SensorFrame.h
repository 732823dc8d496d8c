#pragma once

#include <QMetaType>
#include <cstddef>
#include <cstdint>

// One decoded frame of a wireless node, handed to the program by value.
// Packed: the program registers it as a 145-byte value type and copies it
// whole, so the layout must not move.
#pragma pack(push, 1)
struct SensorFrame
{
    uint32_t reserved;
    float quat[4];       // w, x, y, z
    float aux9[9];
    float euler[3];      // degrees
    float location[3];
    float accel[3];      // g
    float gyro[3];       // degrees per second
    float mag[3];        // microtesla
    uint16_t flags;
    uint8_t packetType;  // 0x01 long, 0x11 short
    uint32_t nodeId;     // suit number << 8 | suit type << 6 | position
    uint8_t bit12Clear;
    uint64_t hostTimeMs;
    uint16_t headerWord;
    uint8_t word14[4];
    uint8_t battery;
    float extra;
    uint8_t statusBit8;
    uint8_t statusBit9;
};
#pragma pack(pop)

static_assert(sizeof(SensorFrame) == 145, "SensorFrame must stay 145 bytes");
static_assert(offsetof(SensorFrame, flags) == 116 && offsetof(SensorFrame, nodeId) == 119
                  && offsetof(SensorFrame, hostTimeMs) == 124 && offsetof(SensorFrame, extra) == 139,
              "SensorFrame field offsets are part of the program's interface");

inline unsigned nodePosition(uint32_t nodeId) { return nodeId & 0x3Fu; }
inline unsigned nodeSuitType(uint32_t nodeId) { return (nodeId >> 6) & 3u; }
inline uint32_t nodeSuitNumber(uint32_t nodeId) { return nodeId >> 8; }

Q_DECLARE_METATYPE(SensorFrame)
