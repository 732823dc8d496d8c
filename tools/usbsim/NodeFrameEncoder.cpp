#include "NodeFrameEncoder.h"

#include <cmath>

namespace {

void putU16(std::vector<uint8_t>& out, uint16_t v)
{
    out.push_back(uint8_t(v));
    out.push_back(uint8_t(v >> 8));
}

void putU32(std::vector<uint8_t>& out, uint32_t v)
{
    for (int i = 0; i < 4; ++i)
        out.push_back(uint8_t(v >> (8 * i)));
}

// Rounds to the nearest step and saturates at the integer's range.
int64_t fixed(double value, double scale, int64_t lo, int64_t hi)
{
    const double r = std::nearbyint(value * scale);
    if (!(r > double(lo)))
        return std::isnan(r) ? 0 : lo;
    if (r >= double(hi))
        return hi;
    return int64_t(r);
}

void putFixed16(std::vector<uint8_t>& out, const double* v, int count)
{
    for (int i = 0; i < count; ++i)
        putU32(out, uint32_t(int32_t(fixed(v[i], 65536.0, INT32_MIN, INT32_MAX))));
}

} // namespace

std::vector<uint8_t> encodeNodeFrame(bool longFrame, uint16_t headerWord, uint32_t nodeId, uint16_t flags,
                                     const NodeValues& v)
{
    std::vector<uint8_t> out;
    out.reserve(112);
    out.push_back(longFrame ? 0x01 : 0x11);
    if (longFrame)
        putU16(out, headerWord);
    putU32(out, nodeId);
    putU16(out, flags);
    if (flags & 0x0001) {
        for (double q : v.quat) {
            if (longFrame)
                putU32(out, uint32_t(int32_t(fixed(q, 1073741824.0, INT32_MIN, INT32_MAX))));
            else
                putU16(out, uint16_t(int16_t(fixed(q, 8192.0, INT16_MIN, INT16_MAX))));
        }
    }
    if (flags & 0x0002) {
        for (double a : v.aux9)
            putU16(out, uint16_t(fixed(a, 16384.0, 0, 65535)));
    }
    if (flags & 0x0004)
        putFixed16(out, v.accel, 3);
    if (flags & 0x0008)
        putFixed16(out, v.gyro, 3);
    if (flags & 0x0010)
        putFixed16(out, v.mag, 3);
    if (flags & 0x0020)
        putFixed16(out, v.euler, 3);
    if (flags & 0x0040)
        putFixed16(out, &v.extra, 1);
    if (flags & 0x0080)
        putFixed16(out, v.location, 3);
    if (flags & 0x2000)
        out.push_back(v.battery);
    if (flags & 0x4000)
        out.insert(out.end(), v.word14, v.word14 + 4);
    return out;
}
