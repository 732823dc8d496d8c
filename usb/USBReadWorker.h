#pragma once

#include "ThreadFinishFence.h"
#include "UsbWireFormat.h"

#include <QThread>
#include <atomic>
#include <mutex>

struct libusb_device_handle;
class KVUSBDeviceHierarchy;

// Reads one opened router: sends a poll (or the pending instruction),
// receives the answer, decodes a sensor frame and hands it upward through
// the entry's signals. Transfers are time-limited so that a stop request is
// noticed within one time-out; a time-out just repeats the cycle.
class USBReadWorker : public QThread
{
    Q_OBJECT
public:
    static constexpr unsigned kTransferTimeoutMs = 100;

    USBReadWorker(libusb_device_handle* handle, KVUSBDeviceHierarchy* hierarchy);
    ~USBReadWorker() override;

    // Whether an instruction still waits for the router's acknowledgement.
    bool isPending() const;

public slots:
    // Asks the loop to end; the worker thread then closes the router and
    // reports the unplug through the entry. Returns at once.
    void exitReadWorker();
    // Queues an instruction, replacing one still pending. Safe from any thread.
    int onSend2Node(nodeTran_ST2RT_TypeDef& sendStruct);

protected:
    void run() override;

private:
    // Closes the handle, logs the stop and reports the unplug.
    void stopReading();
    // One request/answer exchange; false when the router is gone.
    bool cycle();
    void handleAnswer(int length);

    std::atomic<int> running{0};
    std::atomic<bool> stopRequested{false};
    KVUSBDeviceHierarchy* hierarchy;
    libusb_device_handle* handle;  // used by the worker thread only once started
    uint8_t outBuffer[usbwire::kOutTransferSize];
    uint8_t inBuffer[usbwire::kInTransferSize];
    bool timeoutLogged = false;
    // Guards pending and pendingRecord, written by the instructing thread.
    mutable std::mutex mutexPending;
    int pending = 0;
    nodeTran_ST2RT_TypeDef pendingRecord;
    ThreadFinishFence finished;
};
