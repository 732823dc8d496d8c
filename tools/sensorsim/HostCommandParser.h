#pragma once

#include <QByteArray>
#include <cstdint>
#include <vector>

// The device's side of the command protocol: cuts host command frames
// (0x01, code, parameters, CRC) out of a byte stream. Pure: bytes in,
// commands out; bytes that start no valid frame are skipped one at a time.
class HostCommandParser
{
public:
    struct Command
    {
        uint8_t code;
        QByteArray params;
    };

    // Frame length for a command code, or 0 for codes a device does not know.
    static int frameLength(uint8_t code);

    std::vector<Command> feed(const QByteArray& bytes);
    void reset() { pending.clear(); }
    int skippedBytes() const { return skipped; }

private:
    QByteArray pending;
    int skipped = 0;
};
