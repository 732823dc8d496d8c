#include "HostCommandParser.h"
#include "DeviceEncoder.h"

int HostCommandParser::frameLength(uint8_t code)
{
    switch (code) {
    case 1: case 3: case 5: case 37: case 39:
        return 4;
    case 11: case 33:
        return 5;
    case 7:
        return 12;
    case 41:
        return 519;
    default:
        return 0;
    }
}

std::vector<HostCommandParser::Command> HostCommandParser::feed(const QByteArray& bytes)
{
    pending.append(bytes);
    std::vector<Command> commands;
    int pos = 0;
    while (pending.size() - pos >= 2) {
        const uint8_t code = static_cast<uint8_t>(pending.at(pos + 1));
        const int length = pending.at(pos) == 0x01 ? frameLength(code) : 0;
        if (length == 0) {
            ++pos;
            ++skipped;
            continue;
        }
        if (pending.size() - pos < length)
            break;
        const auto* frame = reinterpret_cast<const uint8_t*>(pending.constData() + pos);
        const uint16_t crc = DeviceEncoder::crc16Modbus(frame, length - 2);
        if (frame[length - 2] != (crc & 0xFF) || frame[length - 1] != (crc >> 8)) {
            ++pos;
            ++skipped;
            continue;
        }
        commands.push_back({code, pending.mid(pos + 2, length - 4)});
        pos += length;
    }
    pending.remove(0, pos);
    return commands;
}
