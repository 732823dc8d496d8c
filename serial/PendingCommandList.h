#pragma once

#include <QString>
#include <cstdint>
#include <mutex>
#include <vector>

// One command sent to a device and not yet reported.
struct PendingCommand
{
    QString serialKey;
    uint8_t replyCode = 0;
    bool responded = false;
    uint8_t data[1024] = {};
    int dataLen = 0;
    int elapsedMs = 0;
};

// A pending command whose outcome the sweep reports.
struct CommandOutcome
{
    PendingCommand command;
    bool timedOut = false;
};

// The commands awaiting replies. Submission and the sweep run on the GUI
// thread, reply matching on the reader thread; every member is serialised by
// one lock that is never held while results are reported.
class PendingCommandList
{
public:
    static constexpr int kSweepPeriodMs = 200;
    static constexpr int kTimeoutMs = 3000;

    void submit(const QString& serialKey, uint8_t replyCode);

    // Records a reply into the first unanswered entry for this key and reply
    // type. Returns false when no entry awaits it.
    bool record(const QString& serialKey, uint8_t replyCode, const uint8_t* data, int dataLen);

    // Removes answered and expired entries and returns them in list order;
    // every other entry waits 200 ms longer.
    std::vector<CommandOutcome> sweep();

    int size() const;

private:
    // Guards `entries`.
    mutable std::mutex mutex;
    std::vector<PendingCommand> entries;
};
