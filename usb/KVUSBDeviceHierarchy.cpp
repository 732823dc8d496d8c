#include "KVUSBDeviceHierarchy.h"

#include "UsbDeviceTable.h"
#include "UsbLog.h"

namespace {

std::atomic<unsigned int> nextId{1};

} // namespace

KVUSBDeviceHierarchy::KVUSBDeviceHierarchy() : QObject(nullptr), id(nextId++) {}

void KVUSBDeviceHierarchy::copyFrom(const KVUSBDeviceHierarchy& other)
{
    bus = other.bus;
    port = other.port;
    address = other.address;
    role = other.role;
    state = other.state.load();
    readWorker = other.readWorker.load();
    location = other.location;
}

void KVUSBDeviceHierarchy::setLocation(libusb_device* dev)
{
    location = UsbLocation::of(dev);
    bus = location.bus;
    port = libusb_get_port_number(dev);
    address = location.address;
}

bool KVUSBDeviceHierarchy::sameDevice(const KVUSBDeviceHierarchy& other) const
{
    return location == other.location && port == other.port && role == other.role;
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
