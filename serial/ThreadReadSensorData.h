#pragma once

#include "ThreadFinishFence.h"

#include <QThread>

class DeviceManager;

// Wakes about once per millisecond and lets the manager take one payload
// per device out of the ring buffers.
class ThreadReadSensorData : public QThread
{
    Q_OBJECT
public:
    explicit ThreadReadSensorData(DeviceManager* manager);
    ~ThreadReadSensorData() override;

signals:
    void ReadBufferData();

protected:
    void run() override;

private:
    DeviceManager* pManager;
    ThreadFinishFence finishFence;
};
