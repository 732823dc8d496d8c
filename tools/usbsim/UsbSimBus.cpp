#include "UsbSimBus.h"

#include <libusb.h>

#include <chrono>
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
    changed.notify_all();
}

void UsbSimBus::unplug(int id)
{
    std::lock_guard<std::mutex> lock(mutex);
    for (libusb_device& d : instances) {
        if (d.hardware == id)
            d.plugged = false;
    }
    changed.notify_all();
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
    if (receivers[size_t(dev->hardware)]->held)
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
        --handle->device->refs;
        --handles;
    }
    delete handle;
}

int UsbSimBus::claim(libusb_device_handle* handle)
{
    std::lock_guard<std::mutex> lock(mutex);
    return handle->device->plugged ? 0 : LIBUSB_ERROR_NO_DEVICE;
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
    SimReceiver& r = *receivers[size_t(dev->hardware)];
    if (!r.isRouter())
        return LIBUSB_ERROR_PIPE;
    if (endpoint == 0x01) {
        r.receiveRequest(data, length);
        if (transferred)
            *transferred = length;
        return 0;
    }
    if (endpoint != 0x81)
        return LIBUSB_ERROR_PIPE;
    return readAnswer(r, dev, data, length, transferred, timeoutMs, lock);
}

int UsbSimBus::readAnswer(SimReceiver& r, libusb_device* dev, unsigned char* data, int length, int* transferred,
                          unsigned int timeoutMs, std::unique_lock<std::mutex>& lock)
{
    using Clock = std::chrono::steady_clock;
    const Clock::time_point start = Clock::now();
    const Clock::time_point deadline = start + std::chrono::milliseconds(timeoutMs);
    // A router that fell far behind (the host stalled) does not burst.
    if (r.nextDue < start - std::chrono::milliseconds(200))
        r.nextDue = start;
    for (;;) {
        if (!dev->plugged)
            return LIBUSB_ERROR_NO_DEVICE;
        const Clock::time_point now = Clock::now();
        const bool ready = r.answerReady() || (r.producesFrames() && now >= r.nextDue);
        if (ready)
            break;
        Clock::time_point wakeAt = r.producesFrames() ? r.nextDue : now + std::chrono::milliseconds(50);
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
    const int n = int(answer.size()) < length ? int(answer.size()) : length;
    std::memcpy(data, answer.data(), size_t(n));
    if (transferred)
        *transferred = n;
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

int UsbSimBus::referencedDevices()
{
    std::lock_guard<std::mutex> lock(mutex);
    int count = 0;
    for (const libusb_device& d : instances)
        count += d.refs > 0 ? 1 : 0;
    return count;
}
