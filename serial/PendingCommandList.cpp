#include "PendingCommandList.h"

#include <algorithm>
#include <cstring>

void PendingCommandList::submit(const QString& serialKey, uint8_t replyCode)
{
    PendingCommand entry;
    entry.serialKey = serialKey;
    entry.replyCode = replyCode;
    std::lock_guard<std::mutex> lock(mutex);
    entries.push_back(entry);
}

bool PendingCommandList::record(const QString& serialKey, uint8_t replyCode, const uint8_t* data, int dataLen)
{
    std::lock_guard<std::mutex> lock(mutex);
    for (PendingCommand& entry : entries) {
        if (entry.responded || entry.replyCode != replyCode || entry.serialKey != serialKey)
            continue;
        const int n = std::clamp(dataLen, 0, static_cast<int>(sizeof(entry.data)));
        std::memcpy(entry.data, data, static_cast<size_t>(n));
        entry.dataLen = n;
        entry.responded = true;
        return true;
    }
    return false;
}

std::vector<CommandOutcome> PendingCommandList::sweep()
{
    std::vector<CommandOutcome> outcomes;
    std::lock_guard<std::mutex> lock(mutex);
    auto kept = entries.begin();
    for (auto it = entries.begin(); it != entries.end(); ++it) {
        if (it->responded) {
            outcomes.push_back({*it, false});
        } else if (it->elapsedMs >= kTimeoutMs) {
            outcomes.push_back({*it, true});
        } else {
            it->elapsedMs += kSweepPeriodMs;
            if (kept != it)
                *kept = std::move(*it);
            ++kept;
        }
    }
    entries.erase(kept, entries.end());
    return outcomes;
}

int PendingCommandList::size() const
{
    std::lock_guard<std::mutex> lock(mutex);
    return static_cast<int>(entries.size());
}
