#pragma once

#include "FrameData.h"

#include <cstdint>

namespace stream {

// What kind of device a streamed frame comes from.
enum class DeviceKind : uint8_t { Serial = 0, Usb = 1 };

const char* kindName(DeviceKind kind);

// One frame on its way out: the device's values plus what the payload
// carries beside them. A plain value so it can sit in the lock-free queue.
struct StreamFrame
{
    uint32_t key = 0;        // device key (serial number or USB node id)
    DeviceKind kind = DeviceKind::Serial;
    uint64_t seq = 0;        // per device, from 1
    double monoMs = 0;       // monotonic clock (CLOCK_MONOTONIC), ms
    int64_t wallMs = 0;      // host wall clock, ms since the epoch
    FrameData data{};        // accel, gyro, mag, quat, euler; position and
                             // nodeStatus[3] (battery) for USB nodes
};

// Monotonic and wall clocks as the payload gives them.
double monotonicMs();
int64_t wallClockMs();

} // namespace stream
