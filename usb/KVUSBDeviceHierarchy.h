#pragma once

#include "SensorFrame.h"

#include <QObject>
#include <atomic>
#include <cstdint>

class USBReadWorker;

// One enumerated receiver. The polling thread creates and opens it, its
// read worker writes the suit number, and the instruction path reads it
// from the caller's thread, so the fields shared across threads are atomic.
class KVUSBDeviceHierarchy : public QObject
{
    Q_OBJECT
public:
    enum Role { RoleRouter = 0, RoleChargePlate = 1, RoleUnknown = 2 };
    enum State { StateConstructed = 0, StateEnumerated = 1, StateOpened = 2 };

    KVUSBDeviceHierarchy();

    // Copies bus, port, address, role, state and read worker.
    void copyFrom(const KVUSBDeviceHierarchy& other);
    // Same device: bus, port, address and role all equal.
    bool sameDevice(const KVUSBDeviceHierarchy& other) const;
    // Logs the entry as one "DeviceHier:" line.
    void print() const;

    uint8_t bus = 0;
    uint8_t port = 0;
    uint8_t address = 0;
    int role = RoleUnknown;
    std::atomic<int> state{StateConstructed};
    std::atomic<USBReadWorker*> readWorker{nullptr};
    std::atomic<uint32_t> suitNumber{0};

signals:
    void newDatafromRWorker(const SensorFrame& sf, KVUSBDeviceHierarchy* hier);
    void routerUnplug(uint32_t suitNumber, KVUSBDeviceHierarchy* hier);
};
