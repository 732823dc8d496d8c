#pragma once

#include "SerialTypes.h"

#include <QObject>
#include <QString>
#include <atomic>
#include <cstdint>
#include <mutex>

class QSerialPort;
class RateCounter;
class ReaderWake;
class SerialRingBuffer;
class ThreadSerialPortDevice;

// One serial port: its receive ring, its I/O thread and, once identified,
// the device key. Lives on its I/O thread; opened, closed and destroyed from
// the GUI thread.
class SerialDevice : public QObject
{
    Q_OBJECT
public:
    // readRate is shared by all ports of a manager and may be null; so may
    // wake, which is told of every delivery of bytes.
    explicit SerialDevice(const QString& portName, RateCounter* readRate = nullptr, ReaderWake* wake = nullptr);
    ~SerialDevice() override;

    // Both empty the ring once the port has stopped reading, before the rate
    // changes, so no byte read at one rate is taken at another.
    void openAtBaudRate(int rate);
    void closePort();
    // Stops reading, with what the port still held taken into the ring, and
    // closes the port; the ring keeps what it has, for a last look.
    void stopPort();

    QString getKey() const;
    void setKey(const QString& key);
    bool isDiscerned() const { return discerned.load(); }
    void setDiscerned(bool value) { discerned.store(value); }
    bool isCheckDone() const { return checkDone.load(); }
    QString getPortName() const { return portName; }
    int getBaudRate() const { return baudRate.load(); }
    SerialRingBuffer* ring() const { return ringBuffer; }

    // The open-and-request step has finished, successfully or not (I/O thread).
    void markStepDone();

signals:
    void sigCurDeviceComplete();
    void sigOpenSerialPortDevice(QSerialPort* port);

public slots:
    void ReadSerialDevData();
    void WriteSerialPortData(QString strKey, uint8_t code);
    void WriteSerialPortData(QString strKey, uint8_t code, TransData transData);

private:
    void writeFrame(const QString& strKey, const QByteArray& frame);
    void disposePort();

    QSerialPort* port = nullptr;
    ThreadSerialPortDevice* ioThread;
    std::atomic<bool> discerned{false};
    // Guards serialKey: written by the reader thread, read by all others.
    mutable std::mutex keyMutex;
    QString serialKey;
    const QString portName;
    std::atomic<int> baudRate{0};
    SerialRingBuffer* ringBuffer;
    std::atomic<bool> checkDone{false};
    RateCounter* readRateCounter;
    ReaderWake* readerWake;

    friend class ThreadSerialPortDevice;
};
