#include "USBReadWorker.h"

#include "KVUSBDeviceHierarchy.h"
#include "UsbLog.h"

#include <libusb.h>

#include <cstdio>
#include <cstring>

namespace {

constexpr int kClaimFailed = -99;

} // namespace

USBReadWorker::USBReadWorker(libusb_device_handle* h, KVUSBDeviceHierarchy* hier)
    : QThread(nullptr), hierarchy(hier), handle(h)
{
    std::memset(outBuffer, 0, sizeof outBuffer);
    std::memset(inBuffer, 0, sizeof inBuffer);
    std::memset(&pendingRecord, 0, sizeof pendingRecord);
    pendingRecord.head = 0x73;
    usbLog("[INFO]Create USBReadWorker thread from thread:%d.\r\n", usbThreadId());
}

USBReadWorker::~USBReadWorker()
{
    stopRequested = true;
    wait();
    finished.passed();
    // A worker that never ran still owns its handle.
    if (handle) {
        libusb_close(handle);
        handle = nullptr;
    }
    usbLog("[INFO]Destroy USBReadWorker thread from thread:%d.\r\n", usbThreadId());
}

bool USBReadWorker::isPending() const
{
    std::lock_guard<std::mutex> lock(mutexPending);
    return pending == 1;
}

void USBReadWorker::exitReadWorker()
{
    stopRequested = true;
}

int USBReadWorker::onSend2Node(nodeTran_ST2RT_TypeDef& sendStruct)
{
    std::lock_guard<std::mutex> lock(mutexPending);
    pendingRecord = sendStruct;
    pending = 1;
    return 0;
}

void USBReadWorker::run()
{
    ThreadFinishFence::Guard guard(finished);
    running = 1;
    usbLog("[INFO]<TIME:%lld>Start USBReadWorker Thread ID:%d.\r\n", usbTickMs(), usbThreadId());
    while (handle && running.load() == 1) {
        if (stopRequested.load() || !cycle()) {
            stopReading();
            break;
        }
    }
    usbLog("exit USBReadWorker thread.");
}

bool USBReadWorker::cycle()
{
    {
        std::lock_guard<std::mutex> lock(mutexPending);
        usbwire::buildRequest(outBuffer, pending == 1 ? &pendingRecord : nullptr);
    }
    int transferred = 0;
    int rc = libusb_claim_interface(handle, 0);
    if (rc < 0) {
        std::fprintf(stderr, "Cannot Claim Interface\n%s\n", libusb_strerror(rc));
    } else {
        libusb_bulk_transfer(handle, usbwire::kEndpointOut, outBuffer, usbwire::kOutTransferSize, &transferred,
                             kTransferTimeoutMs);
    }

    rc = libusb_claim_interface(handle, 0);
    if (rc < 0) {
        std::fprintf(stderr, "Cannot Claim Interface\n%s\n", libusb_strerror(rc));
        rc = kClaimFailed;
    } else {
        transferred = 0;
        rc = libusb_bulk_transfer(handle, usbwire::kEndpointIn, inBuffer, usbwire::kInTransferSize, &transferred,
                                  kTransferTimeoutMs);
    }

    if (rc == 0) {
        timeoutLogged = false;
        if (transferred > 0)
            handleAnswer(transferred);
        // Only this cycle's answer acknowledges: an acknowledgement left in
        // the buffer from an earlier instruction must not clear a new one.
        if (transferred >= 2 && inBuffer[0] == usbwire::kPacketAck && inBuffer[1] == 1) {
            std::lock_guard<std::mutex> lock(mutexPending);
            pending = 0;
        }
    } else if (rc == LIBUSB_ERROR_TIMEOUT) {
        // A quiet router times out ten times a second; one line per silence.
        if (!timeoutLogged && hierarchy) {
            usbLog("[WARN]<Time:%lld>Libusb Timeout,<BUS %02d, PORT %02d, DEVICE %02d>\r\n", usbTickMs(),
                   hierarchy->bus, hierarchy->port, hierarchy->address);
        }
        timeoutLogged = true;
    } else {
        usbLog("[ERROR] Error No is: %d\r\n", rc);
        return false;
    }
    return true;
}

void USBReadWorker::handleAnswer(int length)
{
    bool longFrame = false;
    const int size = usbwire::checkSensorTransfer(inBuffer, length, longFrame);
    if (size == 0)
        return;
    if (size < 0) {
        usbLog("[WARN]<TIME:%lld>Short sensor frame dropped: %d bytes received.\r\n", usbTickMs(), length);
        return;
    }
    SensorFrame frame;
    usbwire::decodeSensorFrame(inBuffer, longFrame, uint64_t(usbTickMs()), frame);
    if (!hierarchy)
        return;
    const uint32_t suit = nodeSuitNumber(frame.nodeId);
    uint32_t known = 0;
    if (!hierarchy->suitNumber.compare_exchange_strong(known, suit) && known != suit)
        usbLog("[ERROR]Fatal Error!!! suitNum should not changed!\r\n");
    emit hierarchy->newDatafromRWorker(frame, hierarchy);
}

void USBReadWorker::stopReading()
{
    libusb_release_interface(handle, 0);
    libusb_close(handle);
    handle = nullptr;
    running = 0;
    usbLog("Stop Running Thread:%d.\r\n", usbThreadId());
    if (hierarchy) {
        usbLog("router unplug!!!\r\n");
        emit hierarchy->routerUnplug(hierarchy->suitNumber.load(), hierarchy);
    }
}
