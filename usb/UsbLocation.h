#pragma once

#include <libusb.h>

#include <array>
#include <cstdint>

// Where a device instance sits: bus, the chain of hub ports down to it and
// its address. A device that re-enumerates keeps bus and ports but gets a
// new address, so two instances never share a location.
struct UsbLocation
{
    uint8_t bus = 0;
    uint8_t address = 0;
    uint8_t depth = 0;
    std::array<uint8_t, 7> ports{};

    static UsbLocation of(libusb_device* dev)
    {
        UsbLocation l;
        l.bus = libusb_get_bus_number(dev);
        l.address = libusb_get_device_address(dev);
        const int n = libusb_get_port_numbers(dev, l.ports.data(), int(l.ports.size()));
        l.depth = n > 0 ? uint8_t(n) : 0;
        return l;
    }
    bool operator==(const UsbLocation& o) const
    {
        return bus == o.bus && address == o.address && depth == o.depth && ports == o.ports;
    }
};
