#pragma once

#include "SimReceiver.h"

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

// What libusb hands out: one device instance per plug-in.
struct libusb_device_handle;

struct libusb_device
{
    int hardware;           // index into the bus's receivers
    uint8_t bus;
    uint8_t port;
    uint8_t address;
    bool plugged;
    int refs;
    libusb_device_handle* claimedBy = nullptr;  // our handle holding interface 0
    bool halted[2] = {false, false};            // OUT, IN endpoint stalled until cleared
};

struct libusb_device_handle
{
    libusb_device* device;
    bool claimed = false;
    bool autoDetach = false;
    bool detachedDriver = false;  // claiming detached the kernel driver; release re-attaches it
};

// The simulated bus: receivers, their plugged-in device instances and the
// open handles. Every libusb call of the stand-in goes through here.
class UsbSimBus
{
public:
    static UsbSimBus& instance();

    // Adds the devices an environment scenario describes, e.g.
    // "router:suit=0x1234,nodes=17,hz=100;plate".
    void applyScenario(const std::string& scenario);

    int init();
    void exit();
    int contextRefs();

    int addReceiver(uint16_t vendor, uint16_t product);
    void reset();
    void unplug(int id);
    void plug(int id, uint8_t bus, uint8_t port);
    // A bus reset: the device comes back at once at the same port with a
    // new address.
    void reenumerate(int id);
    // Runs f on the receiver under the bus lock and wakes waiting transfers.
    template <typename F>
    auto withReceiver(int id, F f)
    {
        std::lock_guard<std::mutex> lock(mutex);
        SimReceiver dummy(0, 0);
        SimReceiver& r = (id >= 0 && id < int(receivers.size())) ? *receivers[size_t(id)] : dummy;
        changed.notify_all();
        return f(r);
    }

    long getDeviceList(libusb_device*** list);
    void freeDeviceList(libusb_device** list, int unref);
    void ref(libusb_device* dev);
    void unref(libusb_device* dev);
    int descriptor(libusb_device* dev, uint16_t& vendor, uint16_t& product);
    int open(libusb_device* dev, libusb_device_handle** handle);
    void close(libusb_device_handle* handle);
    int claim(libusb_device_handle* handle);
    int release(libusb_device_handle* handle);
    int clearHalt(libusb_device_handle* handle, unsigned char endpoint);
    int kernelDriverActive(libusb_device_handle* handle);
    int detachKernelDriver(libusb_device_handle* handle, bool detach);
    int setAutoDetach(libusb_device_handle* handle, int enable);
    int bulkTransfer(libusb_device_handle* handle, unsigned char endpoint, unsigned char* data, int length,
                     int* transferred, unsigned int timeoutMs);

    int openHandles();
    int openCount(int id);
    int referencedDevices();
    // Transfers on an interface the caller had not claimed: always its fault.
    int unclaimedTransfers();

private:
    UsbSimBus() = default;
    libusb_device* plugInstance(int hardware, uint8_t bus, uint8_t port);
    int readAnswer(SimReceiver& r, libusb_device* dev, unsigned char* data, int length, int* transferred,
                   unsigned int timeoutMs, const SimReceiver::Fault& fault, std::unique_lock<std::mutex>& lock);
    int writeRequest(SimReceiver& r, unsigned char* data, int length, int* transferred, const SimReceiver::Fault& fault);
    void releaseLocked(libusb_device_handle* handle);
    // A device that leaves the bus forgets its unanswered request.
    void forgetExchange(int id);

    // Guards everything below; transfers wait on changed with it released.
    std::mutex mutex;
    std::condition_variable changed;
    std::vector<std::unique_ptr<SimReceiver>> receivers;
    std::deque<libusb_device> instances;   // stable addresses for libusb pointers
    std::vector<int> opens;                // successful opens per receiver
    int handles = 0;
    int unclaimed = 0;
    int contexts = 0;
    uint8_t nextAddress = 2;
    bool scenarioApplied = false;
};
