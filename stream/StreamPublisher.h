#pragma once

#include "FrameQueue.h"
#include "LinkState.h"
#include "StreamFrame.h"
#include "StreamOptions.h"
#include "StreamPayload.h"

#include <QCoreApplication>
#include <QString>
#include <atomic>
#include <condition_variable>
#include <map>
#include <memory>
#include <mutex>
#include <thread>

namespace stream {

// The facade that sends local frames to other programs: an MQTT broker
// (libmosquitto) and/or an OSC receiver over UDP (liblo).
//
// offer() is called on the frame threads (serial reader, USB read workers,
// the GUI thread) and never blocks: it stamps the frame, gives it the
// device's next sequence number and pushes it into a bounded lock-free
// queue; a full queue drops the frame and counts it. One sender thread
// takes the frames out, writes the JSON payloads and the OSC bundles, and
// keeps the broker connection: it connects without blocking (so stop()
// returns within about a second whatever the network does) and reconnects
// by itself with back-off (0.25 s doubling to 2 s); frames that come while
// there is no connection are dropped and counted. Nothing here ever
// republishes a received frame: only local frames are offered (no loops
// between stations).
//
// Every offered frame ends up in exactly one of published and the drop
// counts once the sender has stopped. Frames that left for the broker and
// were lost beyond this process (in the kernel's socket buffer or in a
// broker that was killed) cannot be seen here; a subscriber finds them as
// gaps in the per-device sequence numbers.
class StreamPublisher
{
public:
    // The figures of the current run (reset by start()).
    struct Counters
    {
        uint64_t offered = 0;         // frames given to offer()
        uint64_t published = 0;       // frames written to the broker's socket (QoS 0) or acknowledged (QoS 1)
        uint64_t droppedQueue = 0;    // queue full
        uint64_t droppedOutage = 0;   // no broker session, publish refused, or still queued at the stop
        uint64_t droppedInFlight = 0; // handed to the connection but not written (QoS 0) or not acknowledged
                                      // (QoS 1, only at the stop) when it broke or at the stop
        uint64_t oscSent = 0;         // OSC bundles sent
        uint64_t oscThinned = 0;      // frames left out to keep the maximum rate
        uint64_t oscFailed = 0;       // bundles the system refused
        uint64_t sessions = 0;        // sessions the broker accepted in this run
        uint64_t reconnects = 0;      // sessions after the first of this run
        uint64_t failedAttempts = 0;  // connection attempts that failed
        bool connected = false;
        LinkState link = LinkState::Connecting;
        uint64_t dropped() const { return droppedQueue + droppedOutage + droppedInFlight; }
    };

    explicit StreamPublisher(size_t queueCapacity = 16384);
    ~StreamPublisher();
    StreamPublisher(const StreamPublisher&) = delete;
    StreamPublisher& operator=(const StreamPublisher&) = delete;

    // Starts the sender thread with the options' MQTT and OSC settings and
    // zeroes the counters; false with a message when they cannot be used
    // (nothing started or changed then).
    bool start(const StreamOptions& options, QString* error = nullptr);
    // Publishes "offline", disconnects and joins the sender thread.
    void stop();
    // Lock-free: the frame path asks it first.
    bool isRunning() const { return running.load(std::memory_order_acquire); }
    QString station() const { return stationName; }

    // Lock-free; callable from any thread while running (ignored otherwise).
    void offer(uint32_t key, DeviceKind kind, const FrameData& frame);
    // The retained description of a device (sent now and after every
    // reconnect). Takes a short lock; call it off the hot path.
    void announce(const DeviceInfo& info);

    // Waits until the sender has taken every frame offered so far (or the
    // time is up); true when it has.
    bool drain(int timeoutMs);

    Counters counters() const;
    // Last connection problem, for the status bar (empty when connected).
    QString lastProblem() const;

private:
    void run();
    struct Mqtt;
    struct Osc;

    FrameQueue<StreamFrame> queue;
    SequenceTable sequences;
    std::atomic<bool> running{false};
    std::atomic<bool> stopping{false};
    std::thread sender;
    StreamOptions opts;
    QString stationName;

    std::atomic<uint64_t> offered{0}, published{0}, droppedQueue{0}, droppedOutage{0}, droppedInFlight{0};
    std::atomic<uint64_t> processed{0}, oscSent{0}, oscThinned{0}, oscFailed{0}, sessions{0}, reconnects{0}, failedAttempts{0};
    std::atomic<bool> connected{false};
    std::atomic<int> link{int(LinkState::Connecting)};

    mutable std::mutex mutexInfo;  // guards infos, infoDirty, problem
    std::map<uint32_t, DeviceInfo> infos;
    bool infoDirty = false;
    QString problem;

    // Its problems are shown to the user: translated.
    Q_DECLARE_TR_FUNCTIONS(stream::StreamPublisher)
};

} // namespace stream
