#include "SerialDevice.h"
#include "CommandCodec.h"
#include "MonotonicTick.h"
#include "RateCounter.h"
#include "ReaderWake.h"
#include "SerialRingBuffer.h"
#include "ThreadSerialPortDevice.h"

#include <QDebug>
#include <QSerialPort>
#include <cstdio>

SerialDevice::SerialDevice(const QString& name, RateCounter* readRate, ReaderWake* wake)
    : portName(name)
    , ringBuffer(new SerialRingBuffer)
    , readRateCounter(readRate)
    , readerWake(wake)
{
    ioThread = new ThreadSerialPortDevice(this);
    connect(this, SIGNAL(sigOpenSerialPortDevice(QSerialPort*)), ioThread, SLOT(OpenSerialPortDevice(QSerialPort*)));
}

SerialDevice::~SerialDevice()
{
    delete ioThread;
    disposePort();
    delete ringBuffer;
}

QString SerialDevice::getKey() const
{
    std::lock_guard<std::mutex> lock(keyMutex);
    return serialKey;
}

void SerialDevice::setKey(const QString& key)
{
    std::lock_guard<std::mutex> lock(keyMutex);
    serialKey = key;
}

void SerialDevice::disposePort()
{
    if (!port)
        return;
    // The I/O thread has finished and handed the port back to this thread.
    if (port->isOpen())
        port->close();
    delete port;
    port = nullptr;
}

void SerialDevice::openAtBaudRate(int rate)
{
    closePort();
    port = new QSerialPort;
    baudRate.store(rate);
    checkDone.store(false);
    port->setPortName(portName);
    port->setBaudRate(rate, QSerialPort::AllDirections);
    port->setDataBits(QSerialPort::Data8);
    port->setParity(QSerialPort::NoParity);
    port->setStopBits(QSerialPort::OneStop);
    port->setFlowControl(QSerialPort::NoFlowControl);
    qDebug().noquote().nospace() << "device: " << portName << " " << rate << " init complete, open device...";
    emit sigOpenSerialPortDevice(port);
}

void SerialDevice::stopPort()
{
    ioThread->stop();
    disposePort();
}

void SerialDevice::closePort()
{
    stopPort();
    // Nothing arrives any more; what did, at this rate, must not be taken
    // as read at the next one.
    ringBuffer->clear();
}

void SerialDevice::markStepDone()
{
    checkDone.store(true);
    qDebug() << "device discern check complete...!";
    emit sigCurDeviceComplete();
}

void SerialDevice::ReadSerialDevData()
{
    if (!port)
        return;
    ringBuffer->append(port->readAll());
    if (readerWake)
        readerWake->notify();
    if (readRateCounter) {
        const int slow = readRateCounter->tick(monotonicTickMs());
        if (slow >= 0) {
            std::printf("thread read SP:----%d\r\n", slow);
            std::fflush(stdout);
        }
    }
    // Not while the sweep waits for an identity: its window is short.
    if (isDiscerned())
        ioThread->gatherPieces();
}

void SerialDevice::writeFrame(const QString& strKey, const QByteArray& frame)
{
    if (strKey != getKey() || frame.isEmpty() || !port || !port->isOpen())
        return;
    port->write(frame);
    // Out now, not after this thread's next wait for pieces.
    port->flush();
}

void SerialDevice::WriteSerialPortData(QString strKey, uint8_t code)
{
    writeFrame(strKey, buildCommandFrame(code));
}

void SerialDevice::WriteSerialPortData(QString strKey, uint8_t code, TransData transData)
{
    writeFrame(strKey, buildCommandFrame(code, transData));
}
