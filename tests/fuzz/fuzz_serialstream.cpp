// Bytes from a serial line: ring buffer, payload cutting, CRC check,
// decoding and dispatch, including command replies.
#include "DeviceManager.h"
#include "SerialDevice.h"
#include "SerialRingBuffer.h"

#include <QDir>
#include <QTemporaryDir>
#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    // Unrecognised payloads are logged to ./Resources/run.log.
    static QTemporaryDir work;
    static const bool ready = QDir::setCurrent(work.path()) && QDir().mkpath(QStringLiteral("Resources"));
    if (!ready)
        return 0;
    DeviceManager manager(false);
    auto* device = new SerialDevice(QStringLiteral("fuzz"));
    device->setKey(QStringLiteral("1"));
    manager.appendDevice(device);
    // Replies are matched against pending commands of this device.
    manager.submitCommand(QStringLiteral("1"), 0x05);
    manager.submitCommand(QStringLiteral("1"), 0x21);
    // Split the input in two appends so frames straddle an append.
    const size_t half = size / 2;
    device->ring()->append(reinterpret_cast<const char*>(data), int(half));
    manager.ReadFrameData();
    device->ring()->append(reinterpret_cast<const char*>(data + half), int(size - half));
    for (size_t pass = 0; pass < size / 4 + 2; ++pass)
        manager.ReadFrameData();
    return 0;
}
