// The libusb-1.0 functions the USB library calls, answered by the
// simulated bus, plus the bus's control interface for tests and demos.

#include "UsbSimBus.h"
#include "usbsim.h"

#include <libusb.h>

#include <cstring>

namespace {

UsbSimBus& bus()
{
    return UsbSimBus::instance();
}

libusb_context* const kDefaultContext = reinterpret_cast<libusb_context*>(&bus);

} // namespace

extern "C" {

int LIBUSB_CALL libusb_init(libusb_context** ctx)
{
    if (ctx)
        *ctx = kDefaultContext;
    return bus().init();
}

void LIBUSB_CALL libusb_exit(libusb_context*)
{
    bus().exit();
}

ssize_t LIBUSB_CALL libusb_get_device_list(libusb_context*, libusb_device*** list)
{
    return bus().getDeviceList(list);
}

void LIBUSB_CALL libusb_free_device_list(libusb_device** list, int unrefDevices)
{
    bus().freeDeviceList(list, unrefDevices);
}

libusb_device* LIBUSB_CALL libusb_ref_device(libusb_device* dev)
{
    bus().ref(dev);
    return dev;
}

void LIBUSB_CALL libusb_unref_device(libusb_device* dev)
{
    bus().unref(dev);
}

int LIBUSB_CALL libusb_get_device_descriptor(libusb_device* dev, struct libusb_device_descriptor* desc)
{
    uint16_t vendor = 0, product = 0;
    const int rc = bus().descriptor(dev, vendor, product);
    if (rc < 0)
        return rc;
    std::memset(desc, 0, sizeof *desc);
    desc->bLength = LIBUSB_DT_DEVICE_SIZE;
    desc->bDescriptorType = LIBUSB_DT_DEVICE;
    desc->bcdUSB = 0x0200;
    desc->bMaxPacketSize0 = 64;
    desc->idVendor = vendor;
    desc->idProduct = product;
    desc->bNumConfigurations = 1;
    return 0;
}

uint8_t LIBUSB_CALL libusb_get_bus_number(libusb_device* dev)
{
    return dev->bus;
}

uint8_t LIBUSB_CALL libusb_get_port_number(libusb_device* dev)
{
    return dev->port;
}

int LIBUSB_CALL libusb_get_port_numbers(libusb_device* dev, uint8_t* ports, int length)
{
    if (length < 1)
        return LIBUSB_ERROR_OVERFLOW;
    // Every simulated device hangs directly off its root hub.
    ports[0] = dev->port;
    return 1;
}

uint8_t LIBUSB_CALL libusb_get_device_address(libusb_device* dev)
{
    return dev->address;
}

int LIBUSB_CALL libusb_open(libusb_device* dev, libusb_device_handle** handle)
{
    return bus().open(dev, handle);
}

void LIBUSB_CALL libusb_close(libusb_device_handle* handle)
{
    bus().close(handle);
}

int LIBUSB_CALL libusb_claim_interface(libusb_device_handle* handle, int)
{
    return bus().claim(handle);
}

int LIBUSB_CALL libusb_release_interface(libusb_device_handle* handle, int)
{
    return bus().release(handle);
}

int LIBUSB_CALL libusb_clear_halt(libusb_device_handle* handle, unsigned char endpoint)
{
    return bus().clearHalt(handle, endpoint);
}

int LIBUSB_CALL libusb_kernel_driver_active(libusb_device_handle* handle, int)
{
    return bus().kernelDriverActive(handle);
}

int LIBUSB_CALL libusb_detach_kernel_driver(libusb_device_handle* handle, int)
{
    return bus().detachKernelDriver(handle, true);
}

int LIBUSB_CALL libusb_attach_kernel_driver(libusb_device_handle* handle, int)
{
    return bus().detachKernelDriver(handle, false);
}

int LIBUSB_CALL libusb_set_auto_detach_kernel_driver(libusb_device_handle* handle, int enable)
{
    return bus().setAutoDetach(handle, enable);
}

int LIBUSB_CALL libusb_bulk_transfer(libusb_device_handle* handle, unsigned char endpoint, unsigned char* data,
                                     int length, int* transferred, unsigned int timeout)
{
    return bus().bulkTransfer(handle, endpoint, data, length, transferred, timeout);
}

const char* LIBUSB_CALL libusb_error_name(int code)
{
    switch (code) {
    case LIBUSB_SUCCESS:
        return "LIBUSB_SUCCESS";
    case LIBUSB_ERROR_IO:
        return "LIBUSB_ERROR_IO";
    case LIBUSB_ERROR_ACCESS:
        return "LIBUSB_ERROR_ACCESS";
    case LIBUSB_ERROR_NO_DEVICE:
        return "LIBUSB_ERROR_NO_DEVICE";
    case LIBUSB_ERROR_TIMEOUT:
        return "LIBUSB_ERROR_TIMEOUT";
    case LIBUSB_ERROR_PIPE:
        return "LIBUSB_ERROR_PIPE";
    case LIBUSB_ERROR_BUSY:
        return "LIBUSB_ERROR_BUSY";
    case LIBUSB_ERROR_NOT_FOUND:
        return "LIBUSB_ERROR_NOT_FOUND";
    case LIBUSB_ERROR_OVERFLOW:
        return "LIBUSB_ERROR_OVERFLOW";
    default:
        return "LIBUSB_ERROR_OTHER";
    }
}

const char* LIBUSB_CALL libusb_strerror(int code)
{
    switch (code) {
    case LIBUSB_SUCCESS:
        return "Success";
    case LIBUSB_ERROR_ACCESS:
        return "Access denied (insufficient permissions)";
    case LIBUSB_ERROR_NO_DEVICE:
        return "No such device (it may have been disconnected)";
    case LIBUSB_ERROR_TIMEOUT:
        return "Operation timed out";
    case LIBUSB_ERROR_BUSY:
        return "Resource busy";
    case LIBUSB_ERROR_PIPE:
        return "Pipe error";
    case LIBUSB_ERROR_IO:
        return "Input/Output Error";
    case LIBUSB_ERROR_OVERFLOW:
        return "Overflow";
    case LIBUSB_ERROR_NOT_FOUND:
        return "Entity not found";
    default:
        return "Other error";
    }
}

void usbsim_reset(void)
{
    bus().reset();
}

int usbsim_add_router(uint32_t suitNumber, int suitType, int nodeCount, int hz)
{
    const int id = bus().addReceiver(0x1483, 0x5751);
    bus().withReceiver(id, [&](SimReceiver& r) {
        r.suitNumber = suitNumber;
        r.suitType = suitType;
        r.nodeCount = nodeCount;
        r.hz = hz;
        return 0;
    });
    return id;
}

int usbsim_add_device(uint16_t vendorId, uint16_t productId)
{
    return bus().addReceiver(vendorId, productId);
}

void usbsim_unplug(int id)
{
    bus().unplug(id);
}

void usbsim_plug(int id, uint8_t busNumber, uint8_t port)
{
    bus().plug(id, busNumber, port);
}

void usbsim_set_held(int id, int held)
{
    bus().withReceiver(id, [&](SimReceiver& r) { return r.held = held != 0; });
}

void usbsim_set_no_permission(int id, int denied)
{
    bus().withReceiver(id, [&](SimReceiver& r) { return r.noPermission = denied != 0; });
}

void usbsim_set_kernel_driver(int id, int attached)
{
    bus().withReceiver(id, [&](SimReceiver& r) { return r.kernelDriver = attached != 0; });
}

int usbsim_kernel_driver(int id)
{
    return bus().withReceiver(id, [](SimReceiver& r) { return r.kernelDriver ? 1 : 0; });
}

void usbsim_reenumerate(int id)
{
    bus().reenumerate(id);
}

void usbsim_hold_answers(int id, int held)
{
    bus().withReceiver(id, [&](SimReceiver& r) { return r.answersHeld = held != 0; });
}

void usbsim_fail_transfer(int id, unsigned char endpoint, int nth, int error, int transferred)
{
    bus().withReceiver(id, [&](SimReceiver& r) {
        SimReceiver::Fault f;
        f.error = error;
        f.transferred = transferred;
        if (endpoint == 0x01) {
            f.atTransfer = r.outTransfers + uint64_t(nth);
            r.outFaults.push_back(f);
        } else {
            f.atTransfer = r.inTransfers + uint64_t(nth);
            r.inFaults.push_back(f);
        }
        return 0;
    });
}

void usbsim_set_frame_format(int id, int longFrames, uint16_t flags)
{
    bus().withReceiver(id, [&](SimReceiver& r) {
        r.longFrames = longFrames != 0;
        r.flags = flags;
        return 0;
    });
}

void usbsim_set_second_suit(int id, uint32_t suitNumber)
{
    bus().withReceiver(id, [&](SimReceiver& r) { return r.secondSuit = suitNumber; });
}

void usbsim_set_ack(int id, int cycles, int value)
{
    bus().withReceiver(id, [&](SimReceiver& r) {
        r.ackAfter = cycles;
        r.ackValue = value;
        return 0;
    });
}

void usbsim_set_silent(int id, int silent)
{
    bus().withReceiver(id, [&](SimReceiver& r) { return r.silent = silent != 0; });
}

void usbsim_set_walking(int id, const char* truthPath)
{
    bus().withReceiver(id, [&](SimReceiver& r) {
        r.walking = true;
        r.truthPath = truthPath ? truthPath : "";
        return 0;
    });
}

void usbsim_set_walk_locations(int id, int locations)
{
    bus().withReceiver(id, [&](SimReceiver& r) { return r.walkWithoutLocations = locations == 0; });
}

void usbsim_walk_tpose(int id, double seconds)
{
    bus().withReceiver(id, [&](SimReceiver& r) {
        if (r.walking)
            r.walkerTPose(seconds);
        return 0;
    });
}

void usbsim_set_descriptor_fails(int id, int fails)
{
    bus().withReceiver(id, [&](SimReceiver& r) { return r.descriptorFails = fails != 0; });
}

void usbsim_queue_answer(int id, const uint8_t* bytes, int length)
{
    bus().withReceiver(id, [&](SimReceiver& r) {
        r.queuedAnswers.emplace_back(bytes, bytes + length);
        return 0;
    });
}

uint64_t usbsim_request_count(int id)
{
    return bus().withReceiver(id, [](SimReceiver& r) { return r.requestCount; });
}

uint64_t usbsim_answer_count(int id)
{
    return bus().withReceiver(id, [](SimReceiver& r) { return r.answersSent; });
}

uint64_t usbsim_unasked_reads(int id)
{
    return bus().withReceiver(id, [](SimReceiver& r) { return r.unaskedReads; });
}

uint64_t usbsim_repolls(int id)
{
    return bus().withReceiver(id, [](SimReceiver& r) { return r.repolls; });
}

uint64_t usbsim_partial_requests(int id)
{
    return bus().withReceiver(id, [](SimReceiver& r) { return r.partialRequests; });
}

int usbsim_last_request_length(int id, int back)
{
    return bus().withReceiver(id, [&](SimReceiver& r) {
        if (back < 0 || size_t(back) >= r.lastRequestLengths.size())
            return -1;
        return r.lastRequestLengths[r.lastRequestLengths.size() - 1 - size_t(back)];
    });
}

int usbsim_unclaimed_transfers(void)
{
    return bus().unclaimedTransfers();
}

uint64_t usbsim_instruction_request_count(int id)
{
    return bus().withReceiver(id, [](SimReceiver& r) { return r.instructionRequests; });
}

int usbsim_last_request(int id, int back, uint8_t* out)
{
    return bus().withReceiver(id, [&](SimReceiver& r) {
        if (back < 0 || size_t(back) >= r.lastRequests.size())
            return -1;
        std::memcpy(out, r.lastRequests[r.lastRequests.size() - 1 - size_t(back)].data(), 512);
        return 0;
    });
}

int usbsim_instruction_count(int id)
{
    return bus().withReceiver(id, [](SimReceiver& r) { return int(r.instructions.size()); });
}

int usbsim_instruction(int id, int index, uint8_t* out)
{
    return bus().withReceiver(id, [&](SimReceiver& r) {
        if (index < 0 || size_t(index) >= r.instructions.size())
            return -1;
        std::memcpy(out, r.instructions[size_t(index)].data(), 70);
        return 0;
    });
}

int usbsim_acknowledged(int id, int index, uint8_t* out)
{
    return bus().withReceiver(id, [&](SimReceiver& r) {
        if (index < 0 || size_t(index) >= r.acknowledged.size())
            return -1;
        std::memcpy(out, r.acknowledged[size_t(index)].data(), 70);
        return 0;
    });
}

int usbsim_acknowledged_count(int id)
{
    return bus().withReceiver(id, [](SimReceiver& r) { return int(r.acknowledged.size()); });
}

uint64_t usbsim_frames_sent(int id)
{
    return bus().withReceiver(id, [](SimReceiver& r) { return r.framesSent; });
}

uint64_t usbsim_acks_sent(int id)
{
    return bus().withReceiver(id, [](SimReceiver& r) { return r.acksSent; });
}

int usbsim_open_handles(void)
{
    return bus().openHandles();
}

int usbsim_open_count(int id)
{
    return bus().openCount(id);
}

int usbsim_referenced_devices(void)
{
    return bus().referencedDevices();
}

int usbsim_context_refs(void)
{
    return bus().contextRefs();
}

} // extern "C"
