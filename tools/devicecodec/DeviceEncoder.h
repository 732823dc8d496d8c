#pragma once

#include <QByteArray>
#include <cstdint>

// What a serial sensor device puts on the line. Independent of the host
// library on purpose (its own bitwise CRC), so round trips test both sides.
namespace DeviceEncoder {

// Physical values of one sample, in the units of the line protocol.
struct SensorValues
{
    double accel[3] = {0, 0, 0};  // g
    double gyro[3] = {0, 0, 0};   // degrees per second
    double mag[3] = {0, 0, 0};    // microtesla
    double quat[4] = {1, 0, 0, 0};
    double euler[3] = {0, 0, 0};  // degrees
    double extra = 0;
};

uint16_t crc16Modbus(const uint8_t* data, int count);
QByteArray appendCrc(QByteArray bytes);

// The seventeen raw int32 values in payload order: accel, gyro, mag, quat, euler, extra.
QByteArray sensorPayloadRaw(const int32_t raw[17]);
QByteArray sensorPayload(const SensorValues& values);
QByteArray identityPayload(uint32_t serialNumber);
QByteArray statusPayload(uint8_t type, uint8_t status);
// 516 bytes around the 512 configuration bytes.
QByteArray configPayload(const uint8_t configBytes[512]);

// Head marker, payload, tail marker.
QByteArray frame(const QByteArray& payload);

int32_t toFixed16(double value);
int32_t toFixed24(double value);
int32_t toFixed30(double value);

} // namespace DeviceEncoder
