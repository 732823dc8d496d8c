#pragma once

#include <cstdint>
#include <vector>

// What a wireless node measures in one sample.
struct NodeValues
{
    double quat[4] = {1, 0, 0, 0};
    double aux9[9] = {0, 0, 0, 0, 0, 0, 0, 0, 0};
    double accel[3] = {0, 0, 0};
    double gyro[3] = {0, 0, 0};
    double mag[3] = {0, 0, 0};
    double euler[3] = {0, 0, 0};
    double extra = 0;
    double location[3] = {0, 0, 0};
    uint8_t battery = 0;
    uint8_t word14[4] = {0, 0, 0, 0};
};

// The receiver side of the wire format: one sensor frame as a router sends
// it, long (type 0x01) or short (type 0x11), carrying the fields the flags
// announce.
std::vector<uint8_t> encodeNodeFrame(bool longFrame, uint16_t headerWord, uint32_t nodeId, uint16_t flags,
                                     const NodeValues& values);
