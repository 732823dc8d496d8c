#include "CommandCodec.h"
#include "SerialFrameCodec.h"

#include <cmath>
#include <cstring>
#include <limits>

namespace {

constexpr double kBiasScale = 65536.0;
constexpr double kMatrixScale = 16777216.0;
constexpr int kBlockBytes = 48;

QByteArray withCrc(QByteArray frame)
{
    const uint16_t crc = crcModbus(reinterpret_cast<const uint8_t*>(frame.constData()), frame.size());
    frame.append(static_cast<char>(crc & 0xFFu));
    frame.append(static_cast<char>(crc >> 8));
    return frame;
}

void encodeBlock(const _device_cal_block& block, uint8_t* out)
{
    for (int i = 0; i < 3; ++i)
        writeInt32LE(out + 4 * i, encodeFixedSaturated(block.bias[i], kBiasScale));
    for (int i = 0; i < 9; ++i)
        writeInt32LE(out + 12 + 4 * i, encodeFixedSaturated(block.matrix[i], kMatrixScale));
}

void decodeBlock(const uint8_t* in, _device_cal_block* block)
{
    for (int i = 0; i < 3; ++i)
        block->bias[i] = static_cast<float>(readInt32LE(in + 4 * i)) * (1.0f / 65536.0f);
    for (int i = 0; i < 9; ++i)
        block->matrix[i] = static_cast<float>(readInt32LE(in + 12 + 4 * i)) * (1.0f / 16777216.0f);
}

} // namespace

int32_t encodeFixedSaturated(float value, double scale)
{
    if (std::isnan(value))
        return 0;
    const double scaled = std::trunc(static_cast<double>(value) * scale);
    if (scaled >= static_cast<double>(std::numeric_limits<int32_t>::max()))
        return std::numeric_limits<int32_t>::max();
    if (scaled <= static_cast<double>(std::numeric_limits<int32_t>::min()))
        return std::numeric_limits<int32_t>::min();
    return static_cast<int32_t>(scaled);
}

QByteArray buildCommandFrame(uint8_t code)
{
    QByteArray frame;
    frame.append(char(0x01));
    frame.append(static_cast<char>(code));
    return withCrc(frame);
}

QByteArray buildCommandFrame(uint8_t code, const TransData& params)
{
    int count = 0;
    switch (code) {
    case SerialCmd::REQRTTRANS:
    case SerialCmd::ZEROROTATE:
        count = 1;
        break;
    case SerialCmd::ACCELCAL:
    case SerialCmd::WRITECONFIG:
        count = params.len;
        break;
    default:
        return QByteArray();
    }
    if (count < 0 || count > static_cast<int>(sizeof(params.data)))
        return QByteArray();
    QByteArray frame;
    frame.reserve(count + 4);
    frame.append(char(0x01));
    frame.append(static_cast<char>(code));
    frame.append(reinterpret_cast<const char*>(params.data), count);
    return withCrc(frame);
}

TransData makeTransData(const uint8_t* bytes, int len)
{
    TransData t;
    std::memset(&t, 0, sizeof(t));
    std::memcpy(t.data, bytes, static_cast<size_t>(len));
    t.len = len;
    return t;
}

TransData rateParameter(int rate)
{
    const uint8_t low = static_cast<uint8_t>(rate & 0xFF);
    return makeTransData(&low, 1);
}

TransData zeroRotateParameter(bool zero)
{
    const uint8_t value = zero ? 1 : 2;
    return makeTransData(&value, 1);
}

TransData accelCalParameter(int byteIndex, uint8_t value)
{
    uint8_t bytes[kAccelCalParamLength] = {};
    if (byteIndex >= 0 && byteIndex < kAccelCalParamLength)
        bytes[byteIndex] = value;
    return makeTransData(bytes, kAccelCalParamLength);
}

TransData writeConfigParameter(const _device_setting& setting)
{
    uint8_t bytes[kWriteConfigParamLength] = {};
    std::memcpy(bytes, setting.ctrl, 3);
    for (int b = 0; b < 3; ++b)
        encodeBlock(setting.cal[b], bytes + 3 + kBlockBytes * b);
    return makeTransData(bytes, kWriteConfigParamLength);
}

_device_setting decodeConfigBytes(const uint8_t* configBytes)
{
    _device_setting setting;
    std::memset(&setting, 0, sizeof(setting));
    for (int b = 0; b < 3; ++b)
        decodeBlock(configBytes + kBlockBytes * b, &setting.cal[b]);
    return setting;
}
