#include "DeviceManager.h"
#include "CommandCodec.h"
#include "RunLog.h"
#include "SerialDevice.h"
#include "SerialFrameCodec.h"
#include "SerialRingBuffer.h"
#include "ThreadReadSensorData.h"

#include <QDebug>
#include <QElapsedTimer>
#include <QPointer>
#include <cstring>

DeviceManager::DeviceManager(bool startThreads)
{
    qRegisterMetaType<FrameData*>("FrameData*");
    qRegisterMetaType<uint8_t>("uint8_t");
    qRegisterMetaType<TransData>("TransData");

    readerThread = new ThreadReadSensorData(this);
    connect(readerThread, SIGNAL(ReadBufferData()), this, SLOT(ReadFrameData()), Qt::DirectConnection);
    connect(&commandTimer, SIGNAL(timeout()), this, SLOT(TimeOutCmdRespond()));
    if (startThreads) {
        readerThread->start(QThread::HighestPriority);
        commandTimer.start(PendingCommandList::kSweepPeriodMs);
    }
}

DeviceManager::~DeviceManager()
{
    delete readerThread;
    commandTimer.stop();
    for (SerialDevice* device : deviceList)
        delete device;
    deviceList.clear();
}

void DeviceManager::connectDevice(SerialDevice* device)
{
    connect(this, SIGNAL(sigWriterCmdData(QString, uint8_t)), device, SLOT(WriteSerialPortData(QString, uint8_t)));
    connect(this, SIGNAL(sigWriterCmdData(QString, uint8_t, TransData)), device,
            SLOT(WriteSerialPortData(QString, uint8_t, TransData)));
}

void DeviceManager::appendDevice(SerialDevice* device)
{
    connectDevice(device);
    std::lock_guard<std::mutex> lock(deviceListMutex);
    deviceList.push_back(device);
}

std::vector<SerialDevice*> DeviceManager::devicesSnapshot()
{
    std::lock_guard<std::mutex> lock(deviceListMutex);
    return deviceList;
}

void DeviceManager::submitCommand(const QString& serialKey, uint8_t code)
{
    // The entry exists before the command can reach the device.
    pending.submit(serialKey, static_cast<uint8_t>(code + 1));
    emit sigWriterCmdData(serialKey, code);
}

void DeviceManager::submitCommand(const QString& serialKey, uint8_t code, const TransData& params)
{
    pending.submit(serialKey, static_cast<uint8_t>(code + 1));
    emit sigWriterCmdData(serialKey, code, params);
}

void DeviceManager::ReadFrameData()
{
    std::lock_guard<std::mutex> lock(deviceListMutex);
    uint8_t payload[kPayloadBufferSize];
    QByteArray oversize;
    for (size_t i = 0; i < deviceList.size(); ++i) {
        SerialDevice* device = deviceList[i];
        std::memset(payload, 0, sizeof(payload));
        QElapsedTimer stopwatch;
        stopwatch.start();
        int length = 0;
        if (device->ring()->takeFrame(payload, kPayloadBufferSize, &length, &oversize) == 1) {
            if (length > kPayloadBufferSize) {
                // No payload kind is this long; keep it whole for diagnosis.
                appendRunLog(reinterpret_cast<const uint8_t*>(oversize.constData()), oversize.size());
                oversize.clear();
            } else {
                dispatchPayload(device->getKey(), payload, length, static_cast<int>(i));
            }
        }
        const qint64 elapsed = stopwatch.elapsed();
        if (elapsed > 1)
            qDebug() << "analysis:" << elapsed << "ms";
    }
}

void DeviceManager::dispatchPayload(const QString& key, const uint8_t* payload, int length, int deviceIndex)
{
    switch (length) {
    case kIdentityPayloadLength: {
        uint32_t serial = 0;
        if (!decodeIdentityPayload(payload, length, &serial))
            return;
        SerialDevice* device = deviceList[static_cast<size_t>(deviceIndex)];
        device->setKey(deviceKeyFromSerial(serial));
        device->setDiscerned(true);
        qDebug().noquote().nospace() << "####device " << serial << " COM:" << device->getPortName()
                                     << " BaudRate:" << device->getBaudRate();
        return;
    }
    case kStatusPayloadLength:
        if (!key.isEmpty())
            matchStatusReply(key, payload);
        return;
    case kSensorPayloadLength: {
        FrameData frame;
        if (decodeSensorPayload(payload, length, &frame))
            emit sigNewReadFrameData(key, &frame);
        return;
    }
    case kConfigPayloadLength:
        if (!key.isEmpty() && payloadCrcMatches(payload, length))
            pending.record(key, SerialCmd::REQCONFIG + 1, payload + 2, kConfigBytes);
        return;
    default:
        appendRunLog(payload, length);
        return;
    }
}

void DeviceManager::matchStatusReply(const QString& key, const uint8_t* payload)
{
    const uint8_t type = payload[1];
    const uint8_t status = payload[2];
    uint8_t recorded = status;
    switch (type) {
    case SerialCmd::ACCELCAL + 1:
        // Devices send this reply with an unreliable checksum; length alone identifies it.
        recorded = status == 1 ? 1 : 0;
        break;
    case SerialCmd::ZEROROTATE + 1:
        if (!payloadCrcMatches(payload, kStatusPayloadLength))
            return;
        recorded = status == 1 ? 1 : 0;
        break;
    case SerialCmd::REQMAG + 1:
    case SerialCmd::CLRMAG + 1:
    case SerialCmd::REQRTTRANS + 1:
    case SerialCmd::STOPRTTRANS + 1:
    case SerialCmd::WRITECONFIG + 1:
        if (!payloadCrcMatches(payload, kStatusPayloadLength))
            return;
        break;
    default:
        return;
    }
    pending.record(key, type, &recorded, 1);
}

void DeviceManager::TimeOutCmdRespond()
{
    // The list lock is released before any result is reported, so a receiver
    // may submit new commands or the owner may be destroyed meanwhile.
    const std::vector<CommandOutcome> outcomes = pending.sweep();
    QPointer<DeviceManager> alive(this);
    for (const CommandOutcome& outcome : outcomes) {
        if (!alive)
            return;
        const PendingCommand& c = outcome.command;
        if (outcome.timedOut || c.dataLen == 0) {
            emit sigCmdResponded_CMDSTATUS(c.serialKey, !outcome.timedOut);
            continue;
        }
        switch (c.replyCode) {
        case SerialCmd::REQMAG + 1:
            emit sigCmdResponded_REQMAG(c.serialKey, c.data[0] != 0);
            break;
        case SerialCmd::ACCELCAL + 1:
            emit sigCmdResponded_ACCELCAL(c.serialKey, c.data[0] != 0);
            break;
        case SerialCmd::REQCONFIG + 1: {
            DevSetting setting = decodeConfigBytes(c.data);
            emit sigCmdResponded_CONFIG(c.serialKey, setting);
            break;
        }
        case SerialCmd::WRITECONFIG + 1:
            emit sigCmdResponded_CMDSTATUS(c.serialKey, c.data[0] != 0);
            break;
        default:
            emit sigCmdResponded_CMDSTATUS(c.serialKey, true);
            break;
        }
    }
}
