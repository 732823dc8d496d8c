#include "USBReadWorker.h"

#include "KVUSBDeviceHierarchy.h"
#include "UsbLog.h"

#include <libusb.h>

#include <algorithm>
#include <cstring>

USBReadWorker::USBReadWorker(libusb_device_handle* h, KVUSBDeviceHierarchy* hier)
    : QThread(nullptr), hierarchy(hier), handle(h)
{
    std::memset(outBuffer, 0, sizeof outBuffer);
    std::memset(inBuffer, 0, sizeof inBuffer);
    usbLog("[INFO]Create USBReadWorker thread from thread:%d.\r\n", usbThreadId());
}

USBReadWorker::~USBReadWorker()
{
    stopRequested = true;
    wait();
    finished.passed();
    // A worker that never ran still owns its handle.
    if (handle) {
        libusb_release_interface(handle, 0);
        libusb_close(handle);
        handle = nullptr;
    }
    usbLog("[INFO]Destroy USBReadWorker thread from thread:%d.\r\n", usbThreadId());
}

bool USBReadWorker::isPending() const
{
    std::lock_guard<std::mutex> lock(mutexPending);
    return !instructions.empty();
}

bool USBReadWorker::readSteadily() const
{
    const uint64_t count = answers.load();
    return count >= kSteadyAnswers || (count > 0 && lastAnswerMs.load() - startMs.load() >= kSteadyMs);
}

void USBReadWorker::exitReadWorker()
{
    stopRequested = true;
}

int USBReadWorker::onSend2Node(nodeTran_ST2RT_TypeDef& sendStruct)
{
    std::lock_guard<std::mutex> lock(mutexPending);
    if (stopped)
        return -1;
    if (instructions.size() >= kMaxPendingInstructions) {
        usbLog("[WARN]<TIME:%lld>%d instructions wait for the router already; instruction refused.\r\n", usbTickMs(),
               int(instructions.size()));
        return -1;
    }
    instructions.push_back(PendingInstruction{nextSequence++, sendStruct});
    return 0;
}

void USBReadWorker::run()
{
    ThreadFinishFence::Guard guard(finished);
    startMs = usbTickMs();
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
    bool sendRequest = false;
    uint32_t sequence = 0;
    {
        std::lock_guard<std::mutex> lock(mutexPending);
        sequence = instructions.empty() ? 0 : instructions.front().sequence;
        const bool carried = std::any_of(outstanding.begin(), outstanding.end(),
                                         [sequence](const Outstanding& o) { return o.sequence == sequence; });
        // While answers are owed a time-out only means they are late: read
        // again rather than ask twice, unless a new instruction must reach
        // a quiet router or the router stayed silent so long that the owed
        // answers are taken as lost (any that still come are late ones).
        const bool silent = quietReads >= kReadsBeforeAskingAgain;
        sendRequest = outstanding.empty() || (sequence != 0 && !carried) || silent;
        if (sendRequest)
            usbwire::buildRequest(outBuffer, sequence ? &instructions.front().record : nullptr);
        if (silent) {
            lateAnswers = std::min(lateAnswers + int(outstanding.size()), kMaxLateAnswers);
            outstanding.clear();
        }
    }
    if (sendRequest) {
        int sent = 0;
        const int rc = libusb_bulk_transfer(handle, usbwire::kEndpointOut, outBuffer, usbwire::kOutTransferSize,
                                            &sent, kTransferTimeoutMs);
        if (rc != 0 && rc != LIBUSB_ERROR_TIMEOUT) {
            usbLog("[ERROR] Error No is: %d\r\n", rc);
            exitCode = rc;
            return false;
        }
        if (sent != usbwire::kOutTransferSize) {
            // The router discards a cut request and answers nothing;
            // reading now would wait for an answer that never comes.
            if (!requestWarned) {
                usbLog("[WARN]<TIME:%lld>Request not delivered (%d of %d bytes), sending it again.\r\n",
                       usbTickMs(), sent, usbwire::kOutTransferSize);
            }
            requestWarned = true;
            return true;
        }
        requestWarned = false;
        lastSentRun = sequence == lastSentSequence ? lastSentRun + 1 : 1;
        lastSentSequence = sequence;
        outstanding.push_back(Outstanding{sequence, lastSentRun});
        quietReads = 0;
    }

    int received = 0;
    int rc = libusb_bulk_transfer(handle, usbwire::kEndpointIn, inBuffer, usbwire::kInTransferSize, &received,
                                  kTransferTimeoutMs);
    if (rc == LIBUSB_ERROR_TIMEOUT && received > 0) {
        if (!wholeAnswer(received)) {
            usbLog("[WARN]<TIME:%lld>Partial answer dropped: %d bytes before the time-out.\r\n", usbTickMs(),
                   received);
            // It answered the oldest request; the rest of it is still on
            // its way: take it off the endpoint so that it is not read as
            // the next answer.
            takeAnswer();
            int rest = 0;
            libusb_bulk_transfer(handle, usbwire::kEndpointIn, inBuffer, usbwire::kInTransferSize, &rest,
                                 kTransferTimeoutMs);
            return true;
        }
        // A whole answer whose end the router did not mark.
        rc = 0;
    }

    if (rc == 0) {
        timeoutLogged = false;
        ++answers;
        lastAnswerMs = usbTickMs();
        quietReads = 0;
        const Outstanding request = takeAnswer();
        if (received > 0)
            handleAnswer(received);
        if (request.sequence != 0 && request.run > lateAnswers && received >= 2
            && inBuffer[0] == usbwire::kPacketAck && inBuffer[1] == 1) {
            std::lock_guard<std::mutex> lock(mutexPending);
            if (!instructions.empty() && instructions.front().sequence == request.sequence)
                instructions.pop_front();
        }
    } else if (rc == LIBUSB_ERROR_TIMEOUT) {
        // A quiet router times out ten times a second; one line per silence.
        if (!timeoutLogged && hierarchy) {
            usbLog("[WARN]<Time:%lld>Libusb Timeout,<BUS %02d, PORT %02d, DEVICE %02d>\r\n", usbTickMs(),
                   hierarchy->bus, hierarchy->port, hierarchy->address);
        }
        timeoutLogged = true;
        ++quietReads;
    } else {
        usbLog("[ERROR] Error No is: %d\r\n", rc);
        exitCode = rc;
        return false;
    }
    return true;
}

USBReadWorker::Outstanding USBReadWorker::takeAnswer()
{
    // An answer beyond those asked for is a late one given up for lost.
    if (outstanding.empty())
        return Outstanding{0, 0};
    const Outstanding oldest = outstanding.front();
    outstanding.pop_front();
    return oldest;
}

bool USBReadWorker::wholeAnswer(int length) const
{
    bool longFrame = false;
    if (inBuffer[0] == usbwire::kPacketAck)
        return length >= 2;
    return usbwire::checkSensorTransfer(inBuffer, length, longFrame) >= 0;
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
    size_t dropped = 0;
    {
        std::lock_guard<std::mutex> lock(mutexPending);
        stopped = true;
        dropped = instructions.size();
        instructions.clear();
    }
    libusb_release_interface(handle, 0);
    libusb_close(handle);
    handle = nullptr;
    running = 0;
    usbLog("Stop Running Thread:%d.\r\n", usbThreadId());
    if (dropped > 0)
        usbLog("[WARN]<TIME:%lld>%d instructions were not acknowledged before the router stopped.\r\n", usbTickMs(),
               int(dropped));
    const int code = exitCode.load();
    if (code == 0 || code == LIBUSB_ERROR_NO_DEVICE) {
        if (hierarchy) {
            usbLog("router unplug!!!\r\n");
            emit hierarchy->routerUnplug(hierarchy->suitNumber.load(), hierarchy);
        }
        return;
    }
    // Still plugged in: the facade opens the router again and its suit
    // stays attached.
    if (hierarchy) {
        usbLog("[WARN]<TIME:%lld>Router <BUS %02d, PORT %02d, DEVICE %02d> stopped reading: %s.\r\n", usbTickMs(),
               hierarchy->bus, hierarchy->port, hierarchy->address, libusb_error_name(code));
    }
}
