#include "DeviceEncoder.h"

#include <cmath>
#include <limits>

namespace DeviceEncoder {

namespace {

void putInt32(QByteArray& out, int offset, int32_t value)
{
    const uint32_t v = static_cast<uint32_t>(value);
    for (int i = 0; i < 4; ++i)
        out[offset + i] = static_cast<char>((v >> (8 * i)) & 0xFFu);
}

int32_t toFixed(double value, double scale)
{
    const double scaled = std::round(value * scale);
    if (scaled >= std::numeric_limits<int32_t>::max())
        return std::numeric_limits<int32_t>::max();
    if (scaled <= std::numeric_limits<int32_t>::min())
        return std::numeric_limits<int32_t>::min();
    return static_cast<int32_t>(scaled);
}

} // namespace

uint16_t crc16Modbus(const uint8_t* data, int count)
{
    uint16_t reg = 0xFFFF;
    for (int i = 0; i < count; ++i) {
        reg ^= data[i];
        for (int bit = 0; bit < 8; ++bit) {
            const bool carry = reg & 1u;
            reg >>= 1;
            if (carry)
                reg ^= 0xA001;
        }
    }
    return reg;
}

QByteArray appendCrc(QByteArray bytes)
{
    const uint16_t crc = crc16Modbus(reinterpret_cast<const uint8_t*>(bytes.constData()), bytes.size());
    bytes.append(static_cast<char>(crc & 0xFF));
    bytes.append(static_cast<char>(crc >> 8));
    return bytes;
}

int32_t toFixed16(double value) { return toFixed(value, 65536.0); }
int32_t toFixed24(double value) { return toFixed(value, 16777216.0); }
int32_t toFixed30(double value) { return toFixed(value, 1073741824.0); }

QByteArray sensorPayloadRaw(const int32_t raw[17])
{
    QByteArray body(74, '\0');
    // Header bytes the host ignores; a device puts a frame tag here.
    body[0] = 0x01;
    body[1] = 0x4C;
    for (int i = 0; i < 17; ++i)
        putInt32(body, 6 + 4 * i, raw[i]);
    return appendCrc(body);
}

QByteArray sensorPayload(const SensorValues& v)
{
    int32_t raw[17];
    for (int i = 0; i < 3; ++i) {
        raw[i] = toFixed16(v.accel[i]);
        raw[3 + i] = toFixed16(v.gyro[i]);
        raw[6 + i] = toFixed16(v.mag[i]);
        raw[13 + i] = toFixed16(v.euler[i]);
    }
    for (int i = 0; i < 4; ++i)
        raw[9 + i] = toFixed30(v.quat[i]);
    raw[16] = toFixed16(v.extra);
    return sensorPayloadRaw(raw);
}

QByteArray identityPayload(uint32_t serialNumber)
{
    QByteArray body(29, '\0');
    body[0] = 0x01;
    body[1] = 0x02;
    putInt32(body, 14, static_cast<int32_t>(serialNumber));
    return appendCrc(body);
}

QByteArray statusPayload(uint8_t type, uint8_t status)
{
    QByteArray body(3, '\0');
    body[0] = 0x01;
    body[1] = static_cast<char>(type);
    body[2] = static_cast<char>(status);
    return appendCrc(body);
}

QByteArray configPayload(const uint8_t configBytes[512])
{
    QByteArray body(2, '\0');
    body[0] = 0x01;
    body[1] = 40;
    body.append(reinterpret_cast<const char*>(configBytes), 512);
    return appendCrc(body);
}

QByteArray frame(const QByteArray& payload)
{
    QByteArray out;
    out.reserve(payload.size() + 4);
    out.append(char(0xA5)).append(char(0x5A)).append(payload).append(char(0xE4)).append(char(0xAA));
    return out;
}

} // namespace DeviceEncoder
