#pragma once

#include "LinkState.h"
#include "StreamOptions.h"
#include "StreamPayload.h"

#include <QCoreApplication>
#include <QString>
#include <QStringList>
#include <atomic>
#include <functional>
#include <map>
#include <mutex>
#include <thread>

namespace stream {

// Receives the frames other stations publish: subscribes to
// strideloom/<station>/# for each chosen station (all: strideloom/#),
// checks every message and hands valid frames, device descriptions and
// station states to the callbacks, on its own network thread. Anything
// else (malformed JSON, wrong types, huge payloads, unknown topics, a
// payload that names another device than its topic) is dropped and
// counted. Connects without blocking (a stop never waits for the network)
// and reconnects by itself with back-off; subscriptions are renewed
// on every connection. Frames of the own station (ownStation) are ignored,
// so a program that both publishes and subscribes never shows or
// republishes its own devices.
class StreamSubscriber
{
public:
    struct Counters
    {
        uint64_t frames = 0;      // valid frames delivered
        uint64_t rejected = 0;    // bad payloads and unknown topics
        uint64_t lost = 0;        // frames missing in the per-device sequence
        uint64_t reconnects = 0;
        uint64_t failedAttempts = 0;  // connection attempts that failed
        bool connected = false;
        LinkState link = LinkState::Connecting;
    };
    struct Callbacks
    {
        std::function<void(const RemoteFrame&)> frame;
        std::function<void(const QString& station, const DeviceInfo&)> info;
        std::function<void(const QString& station, bool online)> status;
        // A frame of a device arrived after `missing` frames did not.
        std::function<void(const QString& station, uint32_t key, uint64_t missing)> lost;
        // The session with the broker came up or went down.
        std::function<void(bool connected)> connection;
    };

    StreamSubscriber();
    ~StreamSubscriber();

    // Broker, credentials and TLS from options; stations to follow from
    // options.remoteStations (empty: all). false with a message when the
    // options cannot be used.
    bool start(const StreamOptions& options, const QString& ownStation, Callbacks callbacks, QString* error = nullptr);
    void stop();
    bool isRunning() const { return thread.joinable(); }

    Counters counters() const;
    QString lastProblem() const;

    // Checks one message as the network thread does (used by the fuzz
    // target and the tests); delivers through the callbacks. Without a
    // running connection, setCallbacks() sets what start() would.
    void handleMessage(const char* topic, const void* payload, int length);
    void setCallbacks(const QString& ownStation, Callbacks callbacks);

private:
    void run();

    StreamOptions opts;
    QString own;
    QStringList stations;
    Callbacks cb;
    std::thread thread;
    std::atomic<bool> stopping{false};
    std::atomic<uint64_t> frames{0}, rejected{0}, lost{0}, reconnects{0}, failedAttempts{0};
    std::atomic<bool> connected{false};
    std::atomic<int> link{int(LinkState::Connecting)};
    // Last sequence number per station and device (network thread only).
    std::map<std::pair<QString, uint32_t>, uint64_t> lastSeq;
    mutable std::mutex mutexProblem;  // guards problem
    QString problem;

    // Its problems are shown to the user: translated.
    Q_DECLARE_TR_FUNCTIONS(stream::StreamSubscriber)
};

} // namespace stream
