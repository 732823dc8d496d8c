#pragma once

#include "ThreadFinishFence.h"

#include <QThread>
#include <atomic>

class DeviceManager;

// Drives the baud-rate sweep: one stage per rate, fastest first, each
// waiting for the manager to finish opening and asking every unidentified
// port, then leaving a window for the identity replies.
class ThreadAutoDiscernDev : public QThread
{
    Q_OBJECT
public:
    struct Stage
    {
        int baudRate;
        int progressAfter;
    };
    static const Stage kStages[5];
    static constexpr int kReplyWindowMs = 100;

    explicit ThreadAutoDiscernDev(DeviceManager* manager);
    ~ThreadAutoDiscernDev() override;

    // Waits until a finished sweep has left run().
    void join();

signals:
    void AutoDiscernThread(int nBaudRate);
    void AutoCheckProcessThread(int nProcess);

public slots:
    void DiscernResult();

protected:
    void run() override;

private:
    std::atomic<bool> stageDone{false};
    DeviceManager* pManager;
    ThreadFinishFence finishFence;
};
