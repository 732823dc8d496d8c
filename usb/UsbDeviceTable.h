#pragma once

struct libusb_device;

// The maker's receivers, recognised by their descriptor's identifiers.
constexpr unsigned short kKvVendorId = 0x1483;
constexpr unsigned short kKvRouterProductId = 0x5751;
constexpr unsigned short kKvChargePlateProductId = 0x5752;

bool isKVCetifiedUSBDevice(libusb_device* dev);
// 0 router, 1 charge plate, 2 anything else.
int getKVDeviceRole(libusb_device* dev);
// Product name of role 0 or 1, else null.
const char* kvProductName(int role);
