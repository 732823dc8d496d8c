#pragma once

#include <QThread>
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <mutex>

// Paces the refresh: emits updateUI() whenever more than 33 ms have passed.
// The refresh itself runs on the GUI thread (queued). Between refreshes the
// thread sleeps until the next is due (or the last one is acknowledged)
// instead of waking every millisecond.
class UpdateUIThread : public QThread
{
    Q_OBJECT
public:
    UpdateUIThread();
    ~UpdateUIThread() override;

    void stop();
    // The GUI thread has handled the last updateUI(); until then no further
    // one is queued, so a slow refresh cannot pile up a backlog of events.
    void acknowledge();

signals:
    void updateUI();

protected:
    void run() override;

private:
    static int64_t counter();

    const double dFrequency;
    std::atomic<bool> bRunning{true};
    int64_t nLastTick;
    std::atomic<bool> bFinished{false};
    std::atomic<bool> bPending{false};
    // Guards bAwaitingAck and the sleep: stop() and acknowledge() wake the thread.
    std::mutex mutexWake;
    // The thread waits for acknowledge(); otherwise an acknowledgement would
    // only wake it early from the wait for the next refresh.
    bool bAwaitingAck = false;
    std::condition_variable cvWake;
};
