// Bytes from a serial line: ring buffer, payload cutting, CRC check,
// decoding and dispatch, including command replies.
#include "DeviceManager.h"
#include "SerialDevice.h"
#include "SerialRingBuffer.h"

#include <QDir>
#include <QTemporaryDir>
#include <cstddef>
#include <cstdint>

namespace {

QTemporaryDir* work = nullptr;
// One manager and device for all runs: each owns a megabyte of ring.
DeviceManager* manager = nullptr;
SerialDevice* device = nullptr;

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    // Unrecognised payloads are logged to ./Resources/run.log.
    work = new QTemporaryDir;
    QDir::setCurrent(work->path());
    QDir().mkpath(QStringLiteral("Resources"));
    manager = new DeviceManager(false);
    device = new SerialDevice(QStringLiteral("fuzz"));
    device->setKey(QStringLiteral("1"));
    manager->appendDevice(device);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    device->ring()->clear();
    // Replies are matched against pending commands of this device.
    if (manager->pendingCount() < 2) {
        manager->submitCommand(QStringLiteral("1"), 0x05);
        manager->submitCommand(QStringLiteral("1"), 0x21);
    }
    // Split the input in two appends so frames straddle an append.
    const size_t half = size / 2;
    device->ring()->append(data, int(half));
    manager->ReadFrameData();
    device->ring()->append(data + half, int(size - half));
    for (size_t pass = 0; pass < size / 4 + 2; ++pass)
        manager->ReadFrameData();
    return 0;
}
