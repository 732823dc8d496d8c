#pragma once

#include "FrameData.h"

#include <QString>
#include <cstdint>

// Pure functions over the device-to-host framing: bytes in, records out.

constexpr int kSensorPayloadLength = 76;
constexpr int kIdentityPayloadLength = 31;
constexpr int kStatusPayloadLength = 5;
constexpr int kConfigPayloadLength = 516;
constexpr uint8_t kIdentityType = 2;

// CRC-16/MODBUS (reflected 0xA001, initial 0xFFFF, no final XOR).
uint16_t crcModbus(const uint8_t* data, int count);

// True when the last two bytes of the payload hold the CRC of the rest, low byte first.
bool payloadCrcMatches(const uint8_t* payload, int length);

// Fills *out and returns true for a 76-byte payload with a valid CRC.
bool decodeSensorPayload(const uint8_t* payload, int length, FrameData* out);

// Yields the serial number of a 31-byte identity payload of type 2 with a valid CRC.
bool decodeIdentityPayload(const uint8_t* payload, int length, uint32_t* serialNumber);

// The device key: the serial number as an unsigned decimal number.
QString deviceKeyFromSerial(uint32_t serialNumber);

inline int32_t readInt32LE(const uint8_t* p)
{
    return static_cast<int32_t>(static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8)
                                | (static_cast<uint32_t>(p[2]) << 16) | (static_cast<uint32_t>(p[3]) << 24));
}

inline void writeInt32LE(uint8_t* p, int32_t value)
{
    const uint32_t v = static_cast<uint32_t>(value);
    p[0] = static_cast<uint8_t>(v);
    p[1] = static_cast<uint8_t>(v >> 8);
    p[2] = static_cast<uint8_t>(v >> 16);
    p[3] = static_cast<uint8_t>(v >> 24);
}
