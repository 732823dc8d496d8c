#include "UsbWireFormat.h"

#include <cstring>

namespace usbwire {

namespace {

constexpr float kScale30 = 1.0f / 1073741824.0f;
constexpr float kScale13 = 1.0f / 8192.0f;
constexpr float kScale14 = 1.0f / 16384.0f;
constexpr float kScale16 = 1.0f / 65536.0f;

uint16_t readU16(const uint8_t* p) { return uint16_t(p[0] | (p[1] << 8)); }

uint32_t readU32(const uint8_t* p)
{
    return uint32_t(p[0]) | (uint32_t(p[1]) << 8) | (uint32_t(p[2]) << 16) | (uint32_t(p[3]) << 24);
}

int32_t readI32(const uint8_t* p) { return int32_t(readU32(p)); }

// Reads count fixed-point int32 values scaled by 2^-16, or zeros when absent.
void readTriple(const uint8_t* buf, int& cursor, bool present, int count, float* out)
{
    for (int i = 0; i < count; ++i) {
        out[i] = present ? float(readI32(buf + cursor + 4 * i)) * kScale16 : 0.0f;
    }
    if (present)
        cursor += 4 * count;
}

} // namespace

int sensorFrameSize(bool longFrame, uint16_t flags)
{
    int size = longFrame ? kLongHeaderSize : kShortHeaderSize;
    if (flags & kFlagQuat)
        size += longFrame ? 16 : 8;
    if (flags & kFlagAux9)
        size += 18;
    for (uint16_t f : {kFlagAccel, kFlagGyro, kFlagMag, kFlagEuler, kFlagLocation})
        if (flags & f)
            size += 12;
    if (flags & kFlagExtra)
        size += 4;
    if (flags & kFlagBattery)
        size += 1;
    if (flags & kFlagWord14)
        size += 4;
    return size;
}

void decodeSensorFrame(const uint8_t* buf, bool longFrame, uint64_t hostTimeMs, SensorFrame& out)
{
    std::memset(&out, 0, sizeof out);
    out.packetType = buf[0];
    uint16_t flags;
    if (longFrame) {
        out.headerWord = readU16(buf + 1);
        out.nodeId = readU32(buf + 3);
        flags = readU16(buf + 7);
    } else {
        out.nodeId = readU32(buf + 1);
        flags = readU16(buf + 5);
    }
    out.flags = flags;
    out.hostTimeMs = hostTimeMs;
    int cursor = longFrame ? kLongHeaderSize : kShortHeaderSize;

    if (flags & kFlagQuat) {
        for (int i = 0; i < 4; ++i) {
            out.quat[i] = longFrame ? float(readI32(buf + cursor + 4 * i)) * kScale30
                                    : float(int16_t(readU16(buf + cursor + 2 * i))) * kScale13;
        }
        cursor += longFrame ? 16 : 8;
    }
    if (flags & kFlagAux9) {
        for (int i = 0; i < 9; ++i)
            out.aux9[i] = float(readU16(buf + cursor + 2 * i)) * kScale14;
        cursor += 18;
    }
    readTriple(buf, cursor, flags & kFlagAccel, 3, out.accel);
    readTriple(buf, cursor, flags & kFlagGyro, 3, out.gyro);
    readTriple(buf, cursor, flags & kFlagMag, 3, out.mag);
    readTriple(buf, cursor, flags & kFlagEuler, 3, out.euler);
    float extra = 0;
    readTriple(buf, cursor, flags & kFlagExtra, 1, &extra);
    out.extra = extra;
    readTriple(buf, cursor, flags & kFlagLocation, 3, out.location);
    if (flags & kFlagBattery)
        out.battery = buf[cursor++];
    if (flags & kFlagWord14) {
        std::memcpy(out.word14, buf + cursor, 4);
        cursor += 4;
    }
    out.statusBit8 = (flags & kFlagStatus8) ? 1 : 0;
    out.statusBit9 = (flags & kFlagStatus9) ? 1 : 0;
    out.bit12Clear = (flags & kFlagStatus12) ? 0 : 1;
}

int checkSensorTransfer(const uint8_t* buf, int length, bool& longFrame)
{
    if (length < 1)
        return 0;
    if (buf[0] != kPacketLongFrame && buf[0] != kPacketShortFrame)
        return 0;
    longFrame = buf[0] == kPacketLongFrame;
    const int header = longFrame ? kLongHeaderSize : kShortHeaderSize;
    if (length < header)
        return -1;
    const int size = sensorFrameSize(longFrame, readU16(buf + header - 2));
    return length < size ? -1 : size;
}

nodeTran_ST2RT_TypeDef wrapInstruction(const sendToNode& instruction)
{
    nodeTran_ST2RT_TypeDef rec;
    std::memset(&rec, 0, sizeof rec);
    rec.head = 0x73;
    rec.tag = 0x46;
    rec.node = instruction;
    return rec;
}

void buildRequest(uint8_t out[kOutTransferSize], const nodeTran_ST2RT_TypeDef* pending)
{
    std::memset(out, 0, kOutTransferSize);
    out[0] = kPoll;
    if (pending)
        std::memcpy(out, pending, sizeof *pending);
}

} // namespace usbwire
