#pragma once

#include "SerialTypes.h"

#include <QByteArray>
#include <cstdint>

// Pure functions over the host-to-device command frames and the calibration
// settings' wire forms.

constexpr int kConfigBytes = 512;
constexpr int kWriteConfigParamLength = 515;
constexpr int kAccelCalParamLength = 8;

// 0x01, code, CRC: the frame of a command without parameters.
QByteArray buildCommandFrame(uint8_t code);

// The frame of a command with parameters; empty for codes that take none.
QByteArray buildCommandFrame(uint8_t code, const TransData& params);

TransData makeTransData(const uint8_t* bytes, int len);
TransData rateParameter(int rate);
TransData zeroRotateParameter(bool zero);
// Eight ACCELCAL bytes, all zero except byteIndex (0..7) set to value.
TransData accelCalParameter(int byteIndex, uint8_t value);
TransData writeConfigParameter(const _device_setting& setting);

// The three blocks of 512 configuration bytes; ctrl is zero.
_device_setting decodeConfigBytes(const uint8_t* configBytes);

// value × scale truncated toward zero, saturated to int32; not-a-number gives 0.
int32_t encodeFixedSaturated(float value, double scale);
