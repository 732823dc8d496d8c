#include "UsbDeviceTable.h"

#include "UsbLog.h"

#include <libusb.h>

namespace {

struct CertifiedDevice
{
    const char* name;
    unsigned short vendor;
    unsigned short product;
};

constexpr CertifiedDevice kTable[] = {
    {"KORVANT Q3 Router", kKvVendorId, kKvRouterProductId},
    {"KORVANT Q3 ChargePlate", kKvVendorId, kKvChargePlateProductId},
};
constexpr int kRoleCount = int(sizeof kTable / sizeof kTable[0]);

// Row index of the device, kRoleCount for no match, -1 when unreadable.
int lookup(libusb_device* dev)
{
    libusb_device_descriptor desc;
    if (libusb_get_device_descriptor(dev, &desc) < 0)
        return -1;
    for (int i = 0; i < kRoleCount; ++i) {
        if (desc.idVendor == kTable[i].vendor && desc.idProduct == kTable[i].product)
            return i;
    }
    return kRoleCount;
}

} // namespace

bool isKVCetifiedUSBDevice(libusb_device* dev)
{
    const int row = lookup(dev);
    if (row < 0) {
        usbLog("[ERROR]<%s>Can not get usb descriptor.\r\n", "isKVCetifiedUSBDevice");
        return false;
    }
    return row < kRoleCount;
}

int getKVDeviceRole(libusb_device* dev)
{
    const int row = lookup(dev);
    if (row < 0) {
        usbLog("[ERROR]<%s>Can not get usb descriptor.\r\n", "getKVDeviceRole");
        return kRoleCount;
    }
    return row;
}

const char* kvProductName(int role)
{
    return role >= 0 && role < kRoleCount ? kTable[role].name : nullptr;
}
