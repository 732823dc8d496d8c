#include "ThreadSerialPortDevice.h"
#include "SerialDevice.h"
#include "SerialRingBuffer.h"

#include <QDebug>
#include <QSerialPort>

ThreadSerialPortDevice::ThreadSerialPortDevice(SerialDevice* device)
    : pDevice(device)
{
    pDevice->moveToThread(this);
}

ThreadSerialPortDevice::~ThreadSerialPortDevice()
{
    requestInterruption();
    stop();
}

void ThreadSerialPortDevice::stop()
{
    {
        std::lock_guard<std::mutex> lock(gatherMutex);
        stopping.store(true);
    }
    gatherWake.notify_all();
    quit();
    wait();
    finishFence.passed();
}

void ThreadSerialPortDevice::OpenSerialPortDevice(QSerialPort* _serial)
{
    stop();
    stopping.store(false);
    pSerial = _serial;
    pSerial->moveToThread(this);
    connect(pSerial, SIGNAL(readyRead()), pDevice, SLOT(ReadSerialDevData()));
    start(QThread::InheritPriority);
}

void ThreadSerialPortDevice::gatherPieces()
{
    std::unique_lock<std::mutex> lock(gatherMutex);
    gatherWake.wait_for(lock, std::chrono::milliseconds(kGatherMs), [this] { return stopping.load(); });
}

void ThreadSerialPortDevice::run()
{
    ThreadFinishFence::Guard fence(finishFence);
    if (!pSerial)
        return;
    const QString name = pSerial->portName();
    const int rate = pSerial->baudRate();
    if (pSerial->open(QIODevice::ReadWrite)) {
        qDebug().noquote().nospace() << "open device success: " << name << ", " << rate;
        pDevice->ring()->clear();
        pDevice->WriteSerialPortData(pDevice->getKey(), SerialCmd::REQDEVID);
        pDevice->markStepDone();
        if (!isInterruptionRequested())
            exec();
        // What the port received and no notifier has reported yet goes to
        // the ring too: it may be the reply the sweep waits for.
        pSerial->waitForReadyRead(0);
        // Close here, on the thread that served the port, so its notifiers
        // go away on their own thread.
        pSerial->close();
    } else {
        qDebug().noquote().nospace() << "open device failed: " << name << ", " << rate;
        pDevice->markStepDone();
    }
    // Hand the port back so the owning thread can delete it.
    pSerial->moveToThread(thread());
    pSerial = nullptr;
}
