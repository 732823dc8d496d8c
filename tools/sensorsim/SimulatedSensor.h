#pragma once

#include "HostCommandParser.h"
#include "MotionModel.h"

#include <QByteArray>
#include <QList>
#include <QPair>
#include <QString>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <deque>
#include <mutex>
#include <random>
#include <thread>

// One serial sensor device on a pseudo-terminal. It answers the identity
// request only while the host has set the line to the device's own rate,
// streams physically consistent samples, answers the command protocol and
// can be told to misbehave. Unless told otherwise, its bytes reach the host
// as a USB serial adapter hands them over: paced by the line, in 62-byte
// packets as they fill and the rest after a 16 ms latency timer. Runs its
// own thread; every public method may be called from any thread.
class SimulatedSensor
{
    using Clock = std::chrono::steady_clock;

public:
    // How bytes reach the host: in adapter pieces at the line's byte rate,
    // or written at once. Auto: pieces at every rate.
    enum class Delivery { Auto, Pieces, Immediate };

    // The calibration blocks the device holds when it starts.
    enum class StoredConfig {
        Factory,     // zero offsets, identity matrices
        Distinct,    // non-zero values that differ in every field
        TailMarker,  // distinct values whose bytes hold the tail marker E4 AA
    };

    struct Config
    {
        uint32_t serial = 1;
        int baudRate = 115200;
        int streamRateHz = 100;
        bool streamAtStart = true;
        bool magCalibrated = false;
        int badCrcPercent = 10;
        uint32_t seed = 1;
        MagDistortion distortion;
        QString linkPath;  // a symbolic link kept pointing at the terminal
        Delivery delivery = Delivery::Auto;
        StoredConfig storedConfig = StoredConfig::Factory;
        int lateIdentityMs = 0;         // the identity reply comes this much later
        int ignoredConfigRequests = 0;  // the first N configuration requests go unanswered
    };

    enum Fault {
        Garbage,         // random bytes between frames
        BadCrc,          // badCrcPercent of the sensor frames carry a wrong CRC
        TailInPayload,   // some payloads contain the tail marker
        IgnoreCommands,  // identified, streams, but answers no other command
        Mute,            // sends nothing at all
        EmptyFrame,      // an empty frame (head marker, tail marker) before each reply
        NoWriteAck,      // stores configuration writes but never acknowledges them
        FaultCount
    };

    explicit SimulatedSensor(const Config& config);
    ~SimulatedSensor();

    SimulatedSensor(const SimulatedSensor&) = delete;
    SimulatedSensor& operator=(const SimulatedSensor&) = delete;

    bool start(QString* error = nullptr);
    void stop();

    // The name a host opens: the link when one was asked for, else the terminal.
    QString portPath() const;
    QString terminalPath() const;
    QString key() const { return QString::number(cfg.serial); }
    const Config& config() const { return cfg; }

    void setFault(Fault fault, bool on);
    // Closes the terminal as if the cable were pulled; reappear() opens a new one.
    void vanish();
    bool reappear(QString* error = nullptr);

    quint64 framesSent() const { return sent.load(); }
    // Of those, frames whose payload happens to contain the tail marker: the
    // framing has no escape, so a host cuts them short.
    quint64 framesWithTailMarker() const { return sentWithTail.load(); }
    // Some host has the terminal open.
    bool isHostConnected() const { return hostConnected.load(); }
    bool isStreaming() const { return streaming.load(); }
    int streamRateHz() const { return rateHz.load(); }
    bool isMagCalibrated() const { return magCalibrated.load(); }
    // Line rates the host used while talking to the device, in order, without repeats.
    QList<int> probedRates() const;
    // Sensor payloads sent with a valid CRC, oldest first (the last 20000).
    std::deque<QByteArray> sentPayloads() const;
    // The three calibration blocks as stored (144 bytes, wire form).
    QByteArray storedBlocks() const;
    static QByteArray initialBlocks(StoredConfig kind);
    // Every configuration write received, oldest first: the 3 control bytes
    // followed by the 144 block bytes, as they came.
    QList<QByteArray> writtenSettings() const;
    bool deliversInPieces() const;
    // Every command the device understood, as code and parameter bytes.
    QList<QPair<int, QByteArray>> receivedCommands() const;

private:
    bool openTerminal(QString* error);
    void closeTerminal();
    void run();
    int lineRate() const;
    void handle(const HostCommandParser::Command& command);
    void sendSample(double dt);
    void sendGarbage(int count);
    void recordSent(const QByteArray& payload);
    bool writeBytes(const QByteArray& bytes);
    void reply(const QByteArray& payload);
    // Moves what the line carried since the last call into the adapter and
    // hands the host its full packets, or all it holds once the latency
    // timer runs out.
    void carry(Clock::time_point now, bool matched);
    void dropLine();
    bool fault(Fault f) const { return faults[f].load(); }

    const Config cfg;
    MotionModel motion;
    HostCommandParser parser;
    std::mt19937 rng;
    std::thread worker;
    std::atomic<bool> stopping{false};
    std::atomic<bool> faults[FaultCount] = {};
    std::atomic<bool> streaming{false};
    std::atomic<int> rateHz{100};
    std::atomic<bool> magCalibrated{false};
    std::atomic<quint64> sent{0};
    std::atomic<quint64> sentWithTail{0};
    std::atomic<bool> hostConnected{false};
    uint64_t sampleCounter = 0;
    std::atomic<int> configRequestsToIgnore{0};

    // The line and the adapter, touched only by the worker thread.
    QByteArray lineQueue;     // sent by the device, not yet on the wire
    QByteArray adapterHeld;   // carried by the wire, not yet handed to the host
    double carryCredit = 0;   // bytes the wire could have carried but had none to
    quint64 lineEnqueued = 0; // bytes ever queued on the line
    quint64 lineCarried = 0;  // of those, bytes the wire has carried
    // Sensor frames on their way, by their byte range on the line.
    struct InFlightFrame
    {
        quint64 start;
        quint64 end;
        QByteArray payload;
        bool garbled;
    };
    std::deque<InFlightFrame> inFlight;
    Clock::time_point lastCarry;
    Clock::time_point nextDelivery;
    bool identityOwed = false;
    Clock::time_point identityDue;

    // Guards the terminal (fd and path) against vanish/reappear from other threads.
    mutable std::mutex ioMutex;
    int masterFd = -1;
    QString slaveName;

    // Guards the records tests read: probed rates, sent payloads, stored and
    // written blocks, received commands.
    mutable std::mutex recordMutex;
    QList<int> probed;
    std::deque<QByteArray> sentLog;
    QByteArray blocks;
    QList<QPair<int, QByteArray>> received;
    QList<QByteArray> written;
};
