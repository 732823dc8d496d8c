#include "KVUSBDeviceHierarchy.h"

#include "UsbDeviceTable.h"
#include "UsbLog.h"

KVUSBDeviceHierarchy::KVUSBDeviceHierarchy() : QObject(nullptr) {}

void KVUSBDeviceHierarchy::copyFrom(const KVUSBDeviceHierarchy& other)
{
    bus = other.bus;
    port = other.port;
    address = other.address;
    role = other.role;
    state = other.state.load();
    readWorker = other.readWorker.load();
}

bool KVUSBDeviceHierarchy::sameDevice(const KVUSBDeviceHierarchy& other) const
{
    return bus == other.bus && port == other.port && address == other.address && role == other.role;
}

void KVUSBDeviceHierarchy::print() const
{
    const char* name = kvProductName(role);
    if (!name) {
        usbLog("DeviceHier Role Error!\r\n");
        return;
    }
    usbLog("DeviceHier:<BUS:PORT:DEVICE:ROLE:STAT>%02d %02d %02d %s %02d\r\n", bus, port, address, name,
           state.load());
}
