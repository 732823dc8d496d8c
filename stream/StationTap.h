#pragma once

#include "FrameData.h"
#include "MotionCaptureSuitProperty.h"
#include "SensorFrame.h"

#include <QObject>
#include <QSet>
#include <QString>
#include <functional>
#include <mutex>

class SLDevice;
class kvusb;

namespace stream {

class StreamPublisher;

// Takes the frames of the local devices where the libraries deliver them:
// serial frames on the serial reader thread, USB node frames on the
// router's read worker (direct connections, so nothing waits for the GUI
// thread), and offers them to the publisher. The first frame of a device
// also announces its description.
class StationTap : public QObject
{
    Q_OBJECT
public:
    // nodeName: sensor type (1–64) → node name from the model file.
    StationTap(StreamPublisher& publisher, std::function<QString(int)> nodeName = {});
    ~StationTap() override;

    // Serial devices: every key, or only `keys` when not empty.
    void attachSerial(SLDevice* device, const QStringList& keys = {});
    // USB nodes: every suit, or only these suit numbers / node ids.
    void attachUsb(kvusb* usb, bool all = true, const QSet<uint32_t>& suits = {}, const QSet<uint32_t>& nodes = {});
    void detach();

    // Frames offered per key so far (frames come through only while the
    // publisher runs; a device's first one announces it).
    QHash<QString, long> counts() const;

public slots:
    void onSerialFrame(QString key, FrameData* frame);
    void onUsbFrame(const SensorFrame& frame);

private:
    void firstFrame(uint32_t key, bool usb);

    StreamPublisher& publisher;
    std::function<QString(int)> nodeName;
    QStringList serialKeys;
    bool allUsb = true;
    QSet<uint32_t> usbSuits, usbNodes;
    QList<QMetaObject::Connection> connections;
    mutable std::mutex mutexSeen;  // guards seen, perKey and connections
    QSet<uint32_t> seen;
    QHash<QString, long> perKey;
};

} // namespace stream
