#pragma once

#include "ThreadFinishFence.h"

#include <QThread>

class DeviceManager;

// Lets the manager take one payload per device out of the ring buffers,
// pass after pass while there is work, and sleeps until a port delivers
// bytes when there is none.
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
