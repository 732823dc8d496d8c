#include "UsbSimBus.h"

#include <libusb.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <sstream>

UsbSimBus& UsbSimBus::instance()
{
    static UsbSimBus bus;
    return bus;
}

int UsbSimBus::init()
{
    std::string scenario;
    {
        std::lock_guard<std::mutex> lock(mutex);
        ++contexts;
        if (!scenarioApplied) {
            scenarioApplied = true;
            if (const char* env = std::getenv("USBSIM_SCENARIO"))
                scenario = env;
        }
    }
    if (!scenario.empty())
        applyScenario(scenario);
    return 0;
}

void UsbSimBus::exit()
{
    std::lock_guard<std::mutex> lock(mutex);
    if (contexts > 0)
        --contexts;
}

int UsbSimBus::contextRefs()
{
    std::lock_guard<std::mutex> lock(mutex);
    return contexts;
}

void UsbSimBus::applyScenario(const std::string& scenario)
{
    std::stringstream items(scenario);
    std::string item;
    while (std::getline(items, item, ';')) {
        const size_t colon = item.find(':');
        const std::string kind = item.substr(0, colon);
        std::string options = colon == std::string::npos ? std::string() : item.substr(colon + 1);
        int id;
        if (kind == "router")
            id = addReceiver(0x1483, 0x5751);
        else if (kind == "plate")
            id = addReceiver(0x1483, 0x5752);
        else if (kind == "device")
            id = addReceiver(0, 0);
        else
            continue;
        std::stringstream opts(options);
        std::string opt;
        while (std::getline(opts, opt, ',')) {
            const size_t eq = opt.find('=');
            const std::string key = opt.substr(0, eq);
            const unsigned long value = eq == std::string::npos ? 1 : std::strtoul(opt.c_str() + eq + 1, nullptr, 0);
            withReceiver(id, [&](SimReceiver& r) {
                if (key == "suit")
                    r.suitNumber = uint32_t(value);
                else if (key == "type")
                    r.suitType = int(value);
                else if (key == "nodes")
                    r.nodeCount = int(value);
                else if (key == "hz")
                    r.hz = int(value);
                else if (key == "short")
                    r.longFrames = false;
                else if (key == "flags")
                    r.flags = uint16_t(value);
                else if (key == "second")
                    r.secondSuit = uint32_t(value);
                else if (key == "vid")
                    r.vendorId = uint16_t(value);
                else if (key == "pid")
                    r.productId = uint16_t(value);
                else if (key == "held")
                    r.held = value != 0;
                else if (key == "noperm")
                    r.noPermission = value != 0;
                else if (key == "walk")
                    r.walking = value != 0;
                else if (key == "noloc")
                    r.walkWithoutLocations = value != 0;
                else if (key == "heading") {
                    // A typo must not quietly face the walker north.
                    const char* text = eq == std::string::npos ? "" : opt.c_str() + eq + 1;
                    char* end = nullptr;
                    r.walkHeadingDeg = std::strtod(text, &end);
                    if (end == text || *end != '\0') {
                        // At once: the process under test is in the middle of libusb_init.
                        std::fprintf(stderr, "usbsim: heading=%s is not a number of degrees\n", text);
                        std::fflush(stderr);
                        std::_Exit(2);
                    }
                }
                else if (key == "truth")
                    r.truthPath = opt.substr(eq + 1);
                else if (key == "kdriver")
                    r.kernelDriver = value != 0;
                return 0;
            });
        }
    }
}

libusb_device* UsbSimBus::plugInstance(int hardware, uint8_t bus, uint8_t port)
{
    instances.push_back(libusb_device{hardware, bus, port, nextAddress++, true, 0});
    if (nextAddress == 128)
        nextAddress = 2;
    return &instances.back();
}

int UsbSimBus::addReceiver(uint16_t vendor, uint16_t product)
{
    std::lock_guard<std::mutex> lock(mutex);
    receivers.push_back(std::make_unique<SimReceiver>(vendor, product));
    opens.push_back(0);
    const int id = int(receivers.size()) - 1;
    plugInstance(id, 1, uint8_t(id + 1));
    return id;
}

void UsbSimBus::reset()
{
    std::lock_guard<std::mutex> lock(mutex);
    for (libusb_device& d : instances)
        d.plugged = false;
    receivers.clear();
    opens.clear();
    nextAddress = 2;
    unclaimed = 0;
    changed.notify_all();
}

void UsbSimBus::forgetExchange(int id)
{
    if (id < 0 || id >= int(receivers.size()))
        return;
    receivers[size_t(id)]->forgetExchange();
}

void UsbSimBus::unplug(int id)
{
    std::lock_guard<std::mutex> lock(mutex);
    for (libusb_device& d : instances) {
        if (d.hardware == id)
            d.plugged = false;
    }
    forgetExchange(id);
    changed.notify_all();
}

void UsbSimBus::reenumerate(int id)
{
    uint8_t busNumber = 0, port = 0;
    {
        std::lock_guard<std::mutex> lock(mutex);
        for (const libusb_device& d : instances) {
            if (d.hardware == id && d.plugged) {
                busNumber = d.bus;
                port = d.port;
            }
        }
    }
    if (busNumber)
        plug(id, busNumber, port);
}

void UsbSimBus::plug(int id, uint8_t bus, uint8_t port)
{
    std::lock_guard<std::mutex> lock(mutex);
    for (libusb_device& d : instances) {
        if (d.hardware == id)
            d.plugged = false;
    }
    if (id >= 0 && id < int(receivers.size()))
        plugInstance(id, bus, port);
    forgetExchange(id);
    changed.notify_all();
}

long UsbSimBus::getDeviceList(libusb_device*** list)
{
    std::lock_guard<std::mutex> lock(mutex);
    std::vector<libusb_device*> present;
    for (libusb_device& d : instances) {
        if (d.plugged && d.hardware < int(receivers.size()))
            present.push_back(&d);
    }
    auto** out = static_cast<libusb_device**>(std::calloc(present.size() + 1, sizeof(libusb_device*)));
    for (size_t i = 0; i < present.size(); ++i) {
        out[i] = present[i];
        ++present[i]->refs;
    }
    *list = out;
    return long(present.size());
}

void UsbSimBus::freeDeviceList(libusb_device** list, int unrefDevices)
{
    if (!list)
        return;
    if (unrefDevices) {
        std::lock_guard<std::mutex> lock(mutex);
        for (libusb_device** p = list; *p; ++p)
            --(*p)->refs;
    }
    std::free(list);
}

void UsbSimBus::ref(libusb_device* dev)
{
    std::lock_guard<std::mutex> lock(mutex);
    ++dev->refs;
}

void UsbSimBus::unref(libusb_device* dev)
{
    std::lock_guard<std::mutex> lock(mutex);
    --dev->refs;
}

int UsbSimBus::descriptor(libusb_device* dev, uint16_t& vendor, uint16_t& product)
{
    std::lock_guard<std::mutex> lock(mutex);
    if (dev->hardware >= int(receivers.size()))
        return LIBUSB_ERROR_NO_DEVICE;
    const SimReceiver& r = *receivers[size_t(dev->hardware)];
    if (r.descriptorFails)
        return LIBUSB_ERROR_IO;
    vendor = r.vendorId;
    product = r.productId;
    return 0;
}

int UsbSimBus::open(libusb_device* dev, libusb_device_handle** handle)
{
    std::lock_guard<std::mutex> lock(mutex);
    if (!dev->plugged || dev->hardware >= int(receivers.size()))
        return LIBUSB_ERROR_NO_DEVICE;
    // As on Linux: the device node's permission decides the open; another
    // program's hold on the device only shows when claiming.
    if (receivers[size_t(dev->hardware)]->noPermission)
        return LIBUSB_ERROR_ACCESS;
    ++dev->refs;
    ++handles;
    ++opens[size_t(dev->hardware)];
    *handle = new libusb_device_handle{dev};
    return 0;
}

void UsbSimBus::close(libusb_device_handle* handle)
{
    if (!handle)
        return;
    {
        std::lock_guard<std::mutex> lock(mutex);
        releaseLocked(handle);
        --handle->device->refs;
        --handles;
    }
    delete handle;
}

int UsbSimBus::claim(libusb_device_handle* handle)
{
    std::lock_guard<std::mutex> lock(mutex);
    libusb_device* dev = handle->device;
    if (!dev->plugged || dev->hardware >= int(receivers.size()))
        return LIBUSB_ERROR_NO_DEVICE;
    if (handle->claimed)
        return 0;
    SimReceiver& r = *receivers[size_t(dev->hardware)];
    if (r.held || (dev->claimedBy && dev->claimedBy != handle))
        return LIBUSB_ERROR_BUSY;
    if (r.kernelDriver) {
        if (!handle->autoDetach)
            return LIBUSB_ERROR_BUSY;
        r.kernelDriver = false;
        handle->detachedDriver = true;
    }
    handle->claimed = true;
    dev->claimedBy = handle;
    return 0;
}

void UsbSimBus::releaseLocked(libusb_device_handle* handle)
{
    if (!handle->claimed)
        return;
    libusb_device* dev = handle->device;
    handle->claimed = false;
    if (dev->claimedBy == handle)
        dev->claimedBy = nullptr;
    if (handle->detachedDriver && dev->hardware < int(receivers.size()))
        receivers[size_t(dev->hardware)]->kernelDriver = true;
    handle->detachedDriver = false;
}

int UsbSimBus::release(libusb_device_handle* handle)
{
    std::lock_guard<std::mutex> lock(mutex);
    if (!handle->claimed)
        return LIBUSB_ERROR_NOT_FOUND;
    releaseLocked(handle);
    return handle->device->plugged ? 0 : LIBUSB_ERROR_NO_DEVICE;
}

int UsbSimBus::clearHalt(libusb_device_handle* handle, unsigned char endpoint)
{
    std::lock_guard<std::mutex> lock(mutex);
    libusb_device* dev = handle->device;
    if (!dev->plugged)
        return LIBUSB_ERROR_NO_DEVICE;
    if (endpoint != 0x01 && endpoint != 0x81)
        return LIBUSB_ERROR_NOT_FOUND;
    dev->halted[endpoint == 0x81 ? 1 : 0] = false;
    return 0;
}

int UsbSimBus::kernelDriverActive(libusb_device_handle* handle)
{
    std::lock_guard<std::mutex> lock(mutex);
    libusb_device* dev = handle->device;
    if (!dev->plugged || dev->hardware >= int(receivers.size()))
        return LIBUSB_ERROR_NO_DEVICE;
    return receivers[size_t(dev->hardware)]->kernelDriver ? 1 : 0;
}

int UsbSimBus::detachKernelDriver(libusb_device_handle* handle, bool detach)
{
    std::lock_guard<std::mutex> lock(mutex);
    libusb_device* dev = handle->device;
    if (!dev->plugged || dev->hardware >= int(receivers.size()))
        return LIBUSB_ERROR_NO_DEVICE;
    SimReceiver& r = *receivers[size_t(dev->hardware)];
    if (r.kernelDriver == detach) {
        r.kernelDriver = !detach;
        return 0;
    }
    return LIBUSB_ERROR_NOT_FOUND;
}

int UsbSimBus::setAutoDetach(libusb_device_handle* handle, int enable)
{
    std::lock_guard<std::mutex> lock(mutex);
    handle->autoDetach = enable != 0;
    return 0;
}

int UsbSimBus::bulkTransfer(libusb_device_handle* handle, unsigned char endpoint, unsigned char* data, int length,
                            int* transferred, unsigned int timeoutMs)
{
    std::unique_lock<std::mutex> lock(mutex);
    libusb_device* dev = handle->device;
    if (transferred)
        *transferred = 0;
    if (!dev->plugged || dev->hardware >= int(receivers.size()))
        return LIBUSB_ERROR_NO_DEVICE;
    // usbfs would claim behind the caller's back with a kernel warning; a
    // library relying on that is wrong, so the stand-in refuses.
    if (!handle->claimed) {
        ++unclaimed;
        return LIBUSB_ERROR_IO;
    }
    SimReceiver& r = *receivers[size_t(dev->hardware)];
    if (!r.isRouter())
        return LIBUSB_ERROR_PIPE;
    if (endpoint != 0x01 && endpoint != 0x81)
        return LIBUSB_ERROR_PIPE;
    bool& halted = dev->halted[endpoint == 0x81 ? 1 : 0];
    if (halted)
        return LIBUSB_ERROR_PIPE;
    const SimReceiver::Fault fault = r.takeFault(endpoint);
    if (fault.error == LIBUSB_ERROR_PIPE) {
        halted = true;
        return LIBUSB_ERROR_PIPE;
    }
    if (fault.error == LIBUSB_ERROR_IO)
        return LIBUSB_ERROR_IO;
    if (endpoint == 0x01)
        return writeRequest(r, data, length, transferred, fault);
    return readAnswer(r, dev, data, length, transferred, timeoutMs, fault, lock);
}

int UsbSimBus::writeRequest(SimReceiver& r, unsigned char* data, int length, int* transferred,
                            const SimReceiver::Fault& fault)
{
    int n = length;
    if (fault.transferred >= 0 && fault.transferred < length)
        n = fault.transferred;
    // The router sees only what crossed the cable.
    if (n > 0 || fault.error == 0)
        r.receiveRequest(data, n);
    if (transferred)
        *transferred = n;
    return fault.error == LIBUSB_ERROR_TIMEOUT ? LIBUSB_ERROR_TIMEOUT : 0;
}

int UsbSimBus::readAnswer(SimReceiver& r, libusb_device* dev, unsigned char* data, int length, int* transferred,
                          unsigned int timeoutMs, const SimReceiver::Fault& fault, std::unique_lock<std::mutex>& lock)
{
    using Clock = std::chrono::steady_clock;
    const Clock::time_point start = Clock::now();
    const Clock::time_point deadline = start + std::chrono::milliseconds(timeoutMs);
    // The rest of an answer whose transfer timed out waits in the
    // endpoint and comes with the next transfer.
    if (!r.remainder.empty()) {
        const int n = int(r.remainder.size()) < length ? int(r.remainder.size()) : length;
        std::memcpy(data, r.remainder.data(), size_t(n));
        r.remainder.erase(r.remainder.begin(), r.remainder.begin() + n);
        if (transferred)
            *transferred = n;
        return 0;
    }
    if (r.owed.empty())
        ++r.unaskedReads;
    // A router that fell far behind (the host stalled) does not burst.
    if (r.nextDue < start - std::chrono::milliseconds(200))
        r.nextDue = start;
    for (;;) {
        if (!dev->plugged)
            return LIBUSB_ERROR_NO_DEVICE;
        const Clock::time_point now = Clock::now();
        const bool owed = !r.owed.empty();
        const bool ready = owed && (r.answerReady() || (r.producesFrames() && now >= r.nextDue));
        if (ready)
            break;
        Clock::time_point wakeAt = owed && r.producesFrames() ? r.nextDue : now + std::chrono::milliseconds(50);
        if (timeoutMs != 0) {
            if (now >= deadline)
                return LIBUSB_ERROR_TIMEOUT;
            if (wakeAt > deadline)
                wakeAt = deadline;
        }
        changed.wait_until(lock, wakeAt);
    }
    const bool paced = !r.answerReady();
    std::vector<uint8_t> answer = r.nextAnswer();
    if (paced)
        r.nextDue += r.framePeriod();
    ++r.answersSent;
    if (fault.error == LIBUSB_ERROR_OVERFLOW) {
        // More came than the buffer holds: libusb fails the whole transfer.
        if (transferred)
            *transferred = length;
        return LIBUSB_ERROR_OVERFLOW;
    }
    int n = int(answer.size()) < length ? int(answer.size()) : length;
    const bool cut = fault.error == LIBUSB_ERROR_TIMEOUT;
    if (cut && fault.transferred >= 0 && fault.transferred < n) {
        r.remainder.assign(answer.begin() + fault.transferred, answer.begin() + n);
        n = fault.transferred;
    }
    std::memcpy(data, answer.data(), size_t(n));
    if (transferred)
        *transferred = n;
    if (cut) {
        // The rest is late (or, with no short packet, never known to be
        // the end): the transfer runs into its time-out.
        if (timeoutMs != 0)
            changed.wait_until(lock, deadline, [&] { return !dev->plugged; });
        return LIBUSB_ERROR_TIMEOUT;
    }
    return 0;
}

int UsbSimBus::openHandles()
{
    std::lock_guard<std::mutex> lock(mutex);
    return handles;
}

int UsbSimBus::openCount(int id)
{
    std::lock_guard<std::mutex> lock(mutex);
    return id >= 0 && id < int(opens.size()) ? opens[size_t(id)] : 0;
}

int UsbSimBus::unclaimedTransfers()
{
    std::lock_guard<std::mutex> lock(mutex);
    return unclaimed;
}

int UsbSimBus::referencedDevices()
{
    std::lock_guard<std::mutex> lock(mutex);
    int count = 0;
    for (const libusb_device& d : instances)
        count += d.refs > 0 ? 1 : 0;
    return count;
}
