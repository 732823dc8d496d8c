#include "SerialFrameCodec.h"

#include <array>
#include <cstring>

namespace {

constexpr std::array<uint16_t, 256> makeCrcTable()
{
    std::array<uint16_t, 256> table{};
    for (int i = 0; i < 256; ++i) {
        uint16_t reg = static_cast<uint16_t>(i);
        for (int bit = 0; bit < 8; ++bit)
            reg = (reg & 1u) ? static_cast<uint16_t>((reg >> 1) ^ 0xA001u) : static_cast<uint16_t>(reg >> 1);
        table[i] = reg;
    }
    return table;
}

constexpr std::array<uint16_t, 256> kCrcTable = makeCrcTable();

constexpr float kScale16 = 1.0f / 65536.0f;
constexpr float kScale30 = 1.0f / 1073741824.0f;

float fixed(const uint8_t* p, float scale)
{
    return static_cast<float>(readInt32LE(p)) * scale;
}

} // namespace

uint16_t crcModbus(const uint8_t* data, int count)
{
    uint16_t reg = 0xFFFF;
    for (int i = 0; i < count; ++i)
        reg = static_cast<uint16_t>((reg >> 8) ^ kCrcTable[(reg ^ data[i]) & 0xFFu]);
    return reg;
}

bool payloadCrcMatches(const uint8_t* payload, int length)
{
    if (length < 2)
        return false;
    const uint16_t crc = crcModbus(payload, length - 2);
    return payload[length - 2] == (crc & 0xFFu) && payload[length - 1] == (crc >> 8);
}

bool decodeSensorPayload(const uint8_t* payload, int length, FrameData* out)
{
    if (length != kSensorPayloadLength || !payloadCrcMatches(payload, length))
        return false;
    std::memset(out, 0, sizeof(FrameData));
    for (int i = 0; i < 3; ++i) {
        out->accel[i] = fixed(payload + 6 + 4 * i, kScale16);
        out->gyro[i] = fixed(payload + 18 + 4 * i, kScale16);
        out->mag[i] = fixed(payload + 30 + 4 * i, kScale16);
        out->euler[i] = fixed(payload + 58 + 4 * i, kScale16);
    }
    for (int i = 0; i < 4; ++i)
        out->quat[i] = fixed(payload + 42 + 4 * i, kScale30);
    out->extra = fixed(payload + 70, kScale16);
    return true;
}

bool decodeIdentityPayload(const uint8_t* payload, int length, uint32_t* serialNumber)
{
    if (length != kIdentityPayloadLength || !payloadCrcMatches(payload, length) || payload[1] != kIdentityType)
        return false;
    *serialNumber = static_cast<uint32_t>(readInt32LE(payload + 14));
    return true;
}

QString deviceKeyFromSerial(uint32_t serialNumber)
{
    return QString::number(serialNumber, 10);
}
