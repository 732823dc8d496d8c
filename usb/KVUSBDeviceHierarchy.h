#pragma once

#include "SensorFrame.h"
#include "UsbLocation.h"

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
    // Same device: bus, port path, address and role all equal.
    bool sameDevice(const KVUSBDeviceHierarchy& other) const;
    // Takes bus, port path, port and address from the device.
    void setLocation(libusb_device* dev);
    // Logs the entry as one "DeviceHier:" line.
    void print() const;

    uint8_t bus = 0;
    uint8_t port = 0;
    uint8_t address = 0;
    int role = RoleUnknown;
    std::atomic<int> state{StateConstructed};
    std::atomic<USBReadWorker*> readWorker{nullptr};
    std::atomic<uint32_t> suitNumber{0};
    UsbLocation location;
    // Names the entry in problem reports; no two entries share it.
    const unsigned int id;

    // Reopening after a failure, used on the polling thread only (and
    // under the facade's device lock): the current back-off (0 before the
    // first failure), when the next open may be tried, and the problem the
    // user was last told of.
    int backoffMs = 0;
    long long nextTryMs = 0;
    int toldProblem = 0;
    bool connected = false;  // its signals reach the facade

signals:
    void newDatafromRWorker(const SensorFrame& sf, KVUSBDeviceHierarchy* hier);
    void routerUnplug(uint32_t suitNumber, KVUSBDeviceHierarchy* hier);
};
