#pragma once

#include <libusb.h>

// libusb's list of the attached devices, freed (its devices unreferenced)
// when it goes out of scope.
class UsbDeviceList
{
public:
    UsbDeviceList() { count = libusb_get_device_list(nullptr, &devices); }
    ~UsbDeviceList()
    {
        if (devices)
            libusb_free_device_list(devices, 1);
    }
    UsbDeviceList(const UsbDeviceList&) = delete;
    UsbDeviceList& operator=(const UsbDeviceList&) = delete;

    // 0 also when libusb could not list the devices.
    ssize_t size() const { return count > 0 ? count : 0; }
    libusb_device* operator[](ssize_t i) const { return devices[i]; }

private:
    libusb_device** devices = nullptr;
    ssize_t count = 0;
};
