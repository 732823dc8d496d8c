#include "StationTap.h"
#include "StreamPublisher.h"
#include "UsbFrameConversion.h"

#include "SLDevice.h"
#include "kvusb.h"

namespace stream {

StationTap::StationTap(StreamPublisher& p, std::function<QString(int)> names)
    : publisher(p), nodeName(std::move(names))
{
}

StationTap::~StationTap()
{
    detach();
}

void StationTap::attachSerial(SLDevice* device, const QStringList& keys)
{
    serialKeys = keys;
    std::lock_guard<std::mutex> lock(mutexSeen);
    connections << connect(device->getDevObj(), SIGNAL(sigNewReadFrameData(QString, FrameData*)), this,
                           SLOT(onSerialFrame(QString, FrameData*)), Qt::DirectConnection);
}

void StationTap::attachUsb(kvusb* usb, bool all, const QSet<uint32_t>& suits, const QSet<uint32_t>& nodes)
{
    allUsb = all;
    usbSuits = suits;
    usbNodes = nodes;
    if (!usb)
        return;  // the selection only; the caller brings the frames
    // Connected on the announcing thread, before the suit's next frame.
    std::lock_guard<std::mutex> lock(mutexSeen);
    connections << connect(
        usb, &kvusb::newSuitCreated, this,
        [this, usb](MotionCaptureSuit_Property, uint32_t number) {
            if (MotionCaptureSuit* suit = usb->getMotionCaptureSuit(number)) {
                const QMetaObject::Connection c = connect(suit, SIGNAL(newDatafromSuit(SensorFrame)), this,
                                                          SLOT(onUsbFrame(SensorFrame)), Qt::DirectConnection);
                std::lock_guard<std::mutex> lock(mutexSeen);
                connections << c;
            }
        },
        Qt::DirectConnection);
}

void StationTap::detach()
{
    QList<QMetaObject::Connection> all;
    {
        std::lock_guard<std::mutex> lock(mutexSeen);
        all.swap(connections);
    }
    for (const QMetaObject::Connection& c : all)
        disconnect(c);
}

QHash<QString, long> StationTap::counts() const
{
    std::lock_guard<std::mutex> lock(mutexSeen);
    return perKey;
}

void StationTap::firstFrame(uint32_t key, bool usb)
{
    DeviceInfo info;
    info.key = key;
    info.kind = usb ? DeviceKind::Usb : DeviceKind::Serial;
    if (usb) {
        const QString node = nodeName ? nodeName(int(nodePosition(key)) + 1) : QString();
        info.suit = QStringLiteral("0x") + QString::number(nodeSuitNumber(key), 16);
        info.node = node;
        info.name = QString::number(nodeSuitNumber(key)) + node;
    } else {
        // Data for other programs, in no one's language: receiving programs
        // word a serial device's name themselves.
        info.name = QStringLiteral("Serial device %1").arg(key);
    }
    publisher.announce(info);
}

void StationTap::onSerialFrame(QString key, FrameData* frame)
{
    // Streaming off: one atomic load, no lock, on the frame threads.
    if (!publisher.isRunning())
        return;
    if (!serialKeys.isEmpty() && !serialKeys.contains(key))
        return;
    bool ok = false;
    const uint32_t k = key.toUInt(&ok, 10);
    if (!ok)
        return;
    bool first;
    {
        std::lock_guard<std::mutex> lock(mutexSeen);
        first = !seen.contains(k);
        if (first)
            seen.insert(k);
        ++perKey[key];
    }
    if (first)
        firstFrame(k, false);
    publisher.offer(k, DeviceKind::Serial, *frame);
}

void StationTap::onUsbFrame(const SensorFrame& sf)
{
    if (!publisher.isRunning())
        return;
    const uint32_t id = sf.nodeId;
    if (!allUsb && !usbSuits.contains(nodeSuitNumber(id)) && !usbNodes.contains(id))
        return;
    bool first;
    {
        std::lock_guard<std::mutex> lock(mutexSeen);
        first = !seen.contains(id);
        if (first)
            seen.insert(id);
        ++perKey[QString::number(id)];
    }
    if (first)
        firstFrame(id, true);
    publisher.offer(id, DeviceKind::Usb, frameDataFromSensorFrame(sf));
}

} // namespace stream
