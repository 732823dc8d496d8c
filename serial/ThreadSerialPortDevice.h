#pragma once

#include "ThreadFinishFence.h"

#include <QThread>
#include <atomic>
#include <condition_variable>
#include <mutex>

class QSerialPort;
class SerialDevice;

// The I/O thread of one serial port: opens the port, asks for the device's
// identity and serves the port's events until told to quit.
class ThreadSerialPortDevice : public QThread
{
    Q_OBJECT
public:
    explicit ThreadSerialPortDevice(SerialDevice* device);
    ~ThreadSerialPortDevice() override;

    // Asks the event loop to quit and waits for the thread to finish.
    void stop();

    // Called on this thread after each read of an identified device. An
    // adapter hands a stream over in pieces every few milliseconds; waiting
    // lets the next read take several of them at once instead of waking for
    // each. As long as an adapter's default latency timer, so a frame still
    // reaches the views within one 33 ms refresh or the next. Ends at once
    // when the port stops.
    void gatherPieces();
    static constexpr int kGatherMs = 16;

public slots:
    void OpenSerialPortDevice(QSerialPort* _serial);

protected:
    void run() override;

private:
    SerialDevice* pDevice;
    QSerialPort* pSerial = nullptr;
    ThreadFinishFence finishFence;
    std::atomic<bool> stopping{false};
    // Guards nothing but the wake-up of gatherPieces() by stop().
    std::mutex gatherMutex;
    std::condition_variable gatherWake;
};
