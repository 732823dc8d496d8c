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

    // Lines written per key so far (a failed file's lines up to its failure).
    QHash<QString, long> counts() const;
    // Keys whose file could not be opened.
    QStringList failedKeys() const;
    // Key → path of every file that stopped accepting lines.
    QHash<QString, QString> failedWrites() const;

public slots:
    void onSerialFrame(QString key, FrameData* frame);
    void onUsbFrame(const SensorFrame& frame);
    // Connected directly to the recorder: runs on the writing thread.
    void onWriteFailed(QString key, QString path);

private:
    Recorder& recorder;
    const QString dir;
    const bool allUsb;
    const QSet<uint32_t> suits;
    const QSet<uint32_t> nodes;
    // Guards lines, failed and writeFailures.
    mutable std::mutex mutex;
    QHash<QString, long> lines;
    QStringList failed;
    QHash<QString, QString> writeFailures;
};
