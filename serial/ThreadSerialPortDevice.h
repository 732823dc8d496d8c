#pragma once

#include "ThreadFinishFence.h"

#include <QThread>

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

public slots:
    void OpenSerialPortDevice(QSerialPort* _serial);

protected:
    void run() override;

private:
    SerialDevice* pDevice;
    QSerialPort* pSerial = nullptr;
    ThreadFinishFence finishFence;
};
