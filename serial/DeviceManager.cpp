#include "DeviceManager.h"
#include "CommandCodec.h"
#include "RunLog.h"
#include "SerialDevice.h"
#include "SerialFrameCodec.h"
#include "SerialRingBuffer.h"
#include "ThreadAutoDiscernDev.h"
#include "ThreadReadSensorData.h"

#include <QDebug>
#include <QFileInfo>
#include <QSerialPortInfo>
#include <QSet>
#include <QElapsedTimer>
#include <QPointer>
#include <algorithm>
#include <cstring>

DeviceManager::DeviceManager(bool startThreads)
{
    qRegisterMetaType<FrameData*>("FrameData*");
    qRegisterMetaType<uint8_t>("uint8_t");
    qRegisterMetaType<TransData>("TransData");

    readerThread = new ThreadReadSensorData(this);
    connect(readerThread, SIGNAL(ReadBufferData()), this, SLOT(ReadFrameData()), Qt::DirectConnection);
    discoveryThread = new ThreadAutoDiscernDev(this);
    connect(discoveryThread, SIGNAL(AutoDiscernThread(int)), this, SLOT(DiscernDev(int)));
    connect(discoveryThread, SIGNAL(AutoCheckProcessThread(int)), this, SLOT(AutoCheckProcess(int)));

    connect(&commandTimer, SIGNAL(timeout()), this, SLOT(TimeOutCmdRespond()));
    if (startThreads) {
        readerThread->start(QThread::HighestPriority);
        commandTimer.start(PendingCommandList::kSweepPeriodMs);
    }
}

DeviceManager::~DeviceManager()
{
    delete readerThread;
    delete discoveryThread;
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

namespace {

// One spelling per port, so that an extra port already in the system's list
// is not probed twice.
QString canonicalPort(const QString& name)
{
    const QString path = name.startsWith(QLatin1Char('/')) ? name : QStringLiteral("/dev/") + name;
    const QString resolved = QFileInfo(path).canonicalFilePath();
    return resolved.isEmpty() ? path : resolved;
}

} // namespace

QStringList DeviceManager::portsToProbe() const
{
    QStringList ports;
    QSet<QString> seen;
    for (const QSerialPortInfo& info : QSerialPortInfo::availablePorts()) {
        const QString canonical = canonicalPort(info.systemLocation());
        if (seen.contains(canonical))
            continue;
        seen.insert(canonical);
        ports << info.portName();
    }
    for (const QString& extra : listExtraPorts) {
        const QString trimmed = extra.trimmed();
        if (trimmed.isEmpty())
            continue;
        const QString canonical = canonicalPort(trimmed);
        if (seen.contains(canonical))
            continue;
        seen.insert(canonical);
        ports << trimmed;
    }
    return ports;
}

void DeviceManager::AutoCheckDevice()
{
    if (progress.load() != 100)
        return;
    const QStringList ports = portsToProbe();
    {
        std::lock_guard<std::mutex> lock(deviceListMutex);
        progress.store(0);
        for (SerialDevice* device : deviceList)
            delete device;
        deviceList.clear();
        for (const QString& name : ports) {
            auto* device = new SerialDevice(name, &portReadRate, &readerWake);
            connect(device, SIGNAL(sigCurDeviceComplete()), this, SLOT(DeviceToComplete()));
            connectDevice(device);
            deviceList.push_back(device);
        }
    }
    // The previous sweep may still be leaving run() after its last signal.
    discoveryThread->join();
    discoveryThread->start(QThread::InheritPriority);
}

void DeviceManager::retune(SerialDevice* device, int rate)
{
    device->stopPort();
    {
        // A reader pass that took the device's identity before the stop
        // holds this lock until it has dispatched it.
        std::lock_guard<std::mutex> lock(deviceListMutex);
        // A reader held up (a loaded machine, a slow frame handler) may not
        // have reached the reply yet: what arrived at this rate is looked
        // through for it before it is dropped, or the device stays unfound.
        if (!device->isDiscerned())
            takeIdentityFromRing(device);
        if (device->isDiscerned())
            rate = device->getBaudRate();
    }
    device->ring()->clear();
    if (rate != 0)
        device->openAtBaudRate(rate);
}

void DeviceManager::identify(SerialDevice* device, uint32_t serial)
{
    device->setKey(deviceKeyFromSerial(serial));
    device->setDiscerned(true);
    qDebug().noquote().nospace() << "####device " << serial << " COM:" << device->getPortName()
                                 << " BaudRate:" << device->getBaudRate();
}

void DeviceManager::takeIdentityFromRing(SerialDevice* device)
{
    uint8_t payload[kPayloadBufferSize];
    QByteArray oversize;
    for (;;) {
        int length = 0;
        const int readBefore = device->ring()->readPosition();
        const int taken = device->ring()->takeFrame(payload, kPayloadBufferSize, &length, &oversize,
                                                    &isWholePayload, kConfigPayloadLength);
        if (taken == 1 && length <= kPayloadBufferSize) {
            // Noise may stand before the reply inside one payload.
            const int inner = length == kIdentityPayloadLength ? 0 : std::max(innerFrameStart(payload, length), 0);
            uint32_t serial = 0;
            if (length - inner == kIdentityPayloadLength
                && decodeIdentityPayload(payload + inner, kIdentityPayloadLength, &serial)) {
                identify(device, serial);
                return;
            }
        }
        oversize.clear();
        if (taken != 1 && device->ring()->readPosition() == readBefore)
            return;
    }
}

void DeviceManager::DiscernDev(int nBaudRate)
{
    if (nBaudRate == 0) {
        for (SerialDevice* device : deviceList) {
            if (!device->isDiscerned())
                retune(device, 0);
        }
        return;
    }
    qDebug().noquote().nospace() << "device count: " << deviceList.size() << ", begin descern " << nBaudRate;
    int opened = 0;
    for (SerialDevice* device : deviceList) {
        if (device->isDiscerned())
            continue;
        retune(device, nBaudRate);
        ++opened;
    }
    if (opened == 0) {
        qDebug() << "no device to discern.";
        emit sigOwnSendCmdDataComplete();
    }
}

void DeviceManager::DeviceToComplete()
{
    for (SerialDevice* device : deviceList) {
        if (!device->isCheckDone()) {
            qDebug() << "device discern ...!";
            return;
        }
    }
    qDebug() << "discern all device use current baud rate complete!";
    emit sigOwnSendCmdDataComplete();
}

void DeviceManager::AutoCheckProcess(int nPro)
{
    progress.store(nPro);
    emit sigAutoCheckProcess(nPro);
    if (nPro == 100)
        emit sigAutoCheckComplete();
}

std::vector<_device_config> DeviceManager::identifiedDevices()
{
    std::vector<_device_config> configs;
    std::lock_guard<std::mutex> lock(deviceListMutex);
    for (SerialDevice* device : deviceList) {
        if (!device->isDiscerned())
            continue;
        _device_config config;
        config.devType = 1;
        config.baudRate = device->getBaudRate();
        config.serialKey = device->getKey();
        configs.push_back(config);
    }
    return configs;
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
    bool progressed = false;
    for (size_t i = 0; i < deviceList.size(); ++i) {
        SerialDevice* device = deviceList[i];
        std::memset(payload, 0, sizeof(payload));
        QElapsedTimer stopwatch;
        stopwatch.start();
        int length = 0;
        const int readBefore = device->ring()->readPosition();
        const int taken = device->ring()->takeFrame(payload, kPayloadBufferSize, &length, &oversize,
                                                    &isWholePayload, kConfigPayloadLength);
        // An empty frame takes nothing but consumes bytes: more may follow.
        progressed = progressed || taken == 1 || device->ring()->readPosition() != readBefore;
        if (taken == 1) {
            if (length > kPayloadBufferSize) {
                // No payload kind is this long: it is noise, perhaps with a
                // real frame at its end, and is dispatched as unrecognised.
                dispatchPayload(device->getKey(), reinterpret_cast<const uint8_t*>(oversize.constData()),
                                oversize.size(), static_cast<int>(i));
                oversize.clear();
            } else {
                dispatchPayload(device->getKey(), payload, length, static_cast<int>(i));
            }
        }
        const qint64 elapsed = stopwatch.elapsed();
        if (elapsed > 1)
            qDebug() << "analysis:" << elapsed << "ms";
    }
    bPassProgressed.store(progressed);
}

void DeviceManager::dispatchPayload(const QString& key, const uint8_t* payload, int length, int deviceIndex)
{
    switch (length) {
    case kIdentityPayloadLength: {
        uint32_t serial = 0;
        if (!decodeIdentityPayload(payload, length, &serial))
            return;
        identify(deviceList[static_cast<size_t>(deviceIndex)], serial);
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
    default: {
        // Line noise may hold a stray head marker just before a real frame,
        // which then hides inside an over-long payload. Recover such a frame
        // only when it proves itself by length and checksum.
        const int inner = innerFrameStart(payload, length);
        if (inner > 0) {
            appendRunLog(payload, inner - 2);
            dispatchPayload(key, payload + inner, length - inner, deviceIndex);
            return;
        }
        appendRunLog(payload, length);
        return;
    }
    }
}

bool DeviceManager::isWholePayload(const uint8_t* payload, int length)
{
    switch (length) {
    case kStatusPayloadLength:
        // Some status replies carry an unreliable checksum; length decides.
        return true;
    case kIdentityPayloadLength:
    case kSensorPayloadLength:
    case kConfigPayloadLength:
        if (payloadCrcMatches(payload, length))
            return true;
        break;
    default:
        break;
    }
    // Noise before a real frame: the frame is recovered from inside.
    return innerFrameStart(payload, length) >= 0;
}

int DeviceManager::innerFrameStart(const uint8_t* payload, int length)
{
    for (int i = 0; i + 1 < length; ++i) {
        if (payload[i] != 0xA5 || payload[i + 1] != 0x5A)
            continue;
        const int start = i + 2;
        const int rest = length - start;
        // The accelerometer calibration reply is known by length and type
        // alone, as in reply matching: devices do not keep its checksum.
        if (rest == kStatusPayloadLength && payload[start + 1] == SerialCmd::ACCELCAL + 1)
            return start;
        const bool known = rest == kStatusPayloadLength || rest == kIdentityPayloadLength
                           || rest == kSensorPayloadLength || rest == kConfigPayloadLength;
        if (known && payloadCrcMatches(payload + start, rest))
            return start;
    }
    return -1;
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
            if (c.replyCode == SerialCmd::WRITECONFIG + 1)
                emit sigCmdResponded_WRITECONFIG(c.serialKey, !outcome.timedOut);
            if (!alive)
                return;
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
            emit sigCmdResponded_WRITECONFIG(c.serialKey, c.data[0] != 0);
            if (alive)
                emit sigCmdResponded_CMDSTATUS(c.serialKey, c.data[0] != 0);
            break;
        default:
            emit sigCmdResponded_CMDSTATUS(c.serialKey, true);
            break;
        }
    }
}
