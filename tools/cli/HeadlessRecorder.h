#pragma once

#include "FrameData.h"
#include "Recorder.h"
#include "SensorFrame.h"

#include <QHash>
#include <QObject>
#include <QSet>
#include <QString>
#include <mutex>

// Records chosen serial devices and USB nodes with the program's recorder.
// Serial frames arrive on the serial reader thread, USB frames queued on
// the main thread; a USB node's file opens with its first frame.
class HeadlessRecorder : public QObject
{
    Q_OBJECT
public:
    // usbSuits / usbNodes: suit numbers and node ids to record; allUsb
    // records every node.
    HeadlessRecorder(Recorder& recorder, const QString& dir, bool allUsb, const QSet<uint32_t>& usbSuits,
                     const QSet<uint32_t>& usbNodes);

    // Lines written per key so far.
    QHash<QString, long> counts() const;
    QStringList failedKeys() const;

public slots:
    void onSerialFrame(QString key, FrameData* frame);
    void onUsbFrame(const SensorFrame& frame);

private:
    Recorder& recorder;
    const QString dir;
    const bool allUsb;
    const QSet<uint32_t> suits;
    const QSet<uint32_t> nodes;
    // Guards lines and failed.
    mutable std::mutex mutex;
    QHash<QString, long> lines;
    QStringList failed;
};
