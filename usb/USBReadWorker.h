#pragma once

#include "ThreadFinishFence.h"
#include "UsbWireFormat.h"

#include <QThread>
#include <atomic>
#include <cstdint>
#include <deque>
#include <mutex>

struct libusb_device_handle;
class KVUSBDeviceHierarchy;

// Reads one opened router: sends a poll (or the oldest pending
// instruction), receives the answer, decodes a sensor frame and hands it
// upward through the entry's signals. Transfers are time-limited so that a
// stop request is noticed within one time-out; a time-out just repeats the
// cycle.
class USBReadWorker : public QThread
{
    Q_OBJECT
public:
    static constexpr unsigned kTransferTimeoutMs = 100;
    // Instructions waiting for their acknowledgement; more are refused.
    static constexpr size_t kMaxPendingInstructions = 8;
    // Time-outs waiting for owed answers before they are taken as lost and
    // the request is asked again.
    static constexpr int kReadsBeforeAskingAgain = 5;
    // Answers taken as lost that may yet come late, at most.
    static constexpr int kMaxLateAnswers = 4;
    // Reading counts as steady after this many answers, or after answers
    // for this long since the start.
    static constexpr uint64_t kSteadyAnswers = 300;
    static constexpr long long kSteadyMs = 10000;

    // The handle is open with interface 0 claimed; the worker releases and
    // closes it when it stops.
    USBReadWorker(libusb_device_handle* handle, KVUSBDeviceHierarchy* hierarchy);
    ~USBReadWorker() override;

    // Whether an instruction still waits for the router's acknowledgement.
    bool isPending() const;
    // True once run() has returned; the thread can then be joined at once.
    bool hasEnded() const { return finished.passed(); }
    // The libusb code that ended the loop; 0 after a requested stop.
    int endCode() const { return exitCode.load(); }
    // Whether the router answered steadily since the start: a router that
    // fails again soon after answering once or twice has not recovered.
    bool readSteadily() const;

public slots:
    // Asks the loop to end; the worker thread then closes the router and
    // reports the unplug through the entry. Returns at once.
    void exitReadWorker();
    // Queues an instruction behind those still pending. Safe from any
    // thread; -1 when the queue is full or the worker has stopped reading.
    int onSend2Node(nodeTran_ST2RT_TypeDef& sendStruct);

protected:
    void run() override;

private:
    struct Outstanding
    {
        uint32_t sequence;
        int run;
    };
    struct PendingInstruction
    {
        uint32_t sequence;
        nodeTran_ST2RT_TypeDef record;
    };

    // Releases and closes the handle, logs the stop and, for an unplug or a
    // requested stop, reports the unplug.
    void stopReading();
    // One request/answer exchange; false when reading must end.
    bool cycle();
    // Whether the bytes of an answer that ran into its time-out are whole.
    bool wholeAnswer(int length) const;
    void handleAnswer(int length);
    // Removes and returns the request an answer just read belongs to.
    Outstanding takeAnswer();

    std::atomic<int> running{0};
    std::atomic<bool> stopRequested{false};
    std::atomic<int> exitCode{0};
    std::atomic<uint64_t> answers{0};
    std::atomic<long long> startMs{0};
    std::atomic<long long> lastAnswerMs{0};
    KVUSBDeviceHierarchy* hierarchy;
    libusb_device_handle* handle;  // used by the worker thread only once started
    uint8_t outBuffer[usbwire::kOutTransferSize];
    uint8_t inBuffer[usbwire::kInTransferSize];
    bool timeoutLogged = false;
    bool requestWarned = false;
    // The exchange, worker thread only. The router answers every request
    // once and in order, so each answer belongs to the oldest request
    // still outstanding; each records the instruction it carried (0 for a
    // poll) and how many requests in a row, itself included, carried it.
    std::deque<Outstanding> outstanding;
    uint32_t lastSentSequence = 0;
    int lastSentRun = 0;
    int quietReads = 0;
    // Answers given up for lost at the silence limit that may still come:
    // the answers read since are then that many requests behind, so an
    // acknowledgement completes an instruction only if more requests than
    // that in a row carried it.
    int lateAnswers = 0;
    // Guards instructions, nextSequence and stopped: the instructing
    // thread queues while the worker sends and completes.
    mutable std::mutex mutexPending;
    std::deque<PendingInstruction> instructions;
    uint32_t nextSequence = 1;
    bool stopped = false;
    ThreadFinishFence finished;
};
