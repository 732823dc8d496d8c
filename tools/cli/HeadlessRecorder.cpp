#include "HeadlessRecorder.h"

#include "UsbFrameConversion.h"

HeadlessRecorder::HeadlessRecorder(Recorder& r, const QString& d, bool all, const QSet<uint32_t>& usbSuits,
                                   const QSet<uint32_t>& usbNodes)
    : recorder(r), dir(d), allUsb(all), suits(usbSuits), nodes(usbNodes)
{
    connect(&recorder, &Recorder::sigWriteFailed, this, &HeadlessRecorder::onWriteFailed, Qt::DirectConnection);
}

QHash<QString, QString> HeadlessRecorder::failedWrites() const
{
    std::lock_guard<std::mutex> lock(mutex);
    return writeFailures;
}

void HeadlessRecorder::onWriteFailed(QString key, QString path)
{
    std::lock_guard<std::mutex> lock(mutex);
    writeFailures.insert(key, path);
}

QHash<QString, long> HeadlessRecorder::counts() const
{
    std::lock_guard<std::mutex> lock(mutex);
    return lines;
}

QStringList HeadlessRecorder::failedKeys() const
{
    std::lock_guard<std::mutex> lock(mutex);
    return failed;
}

void HeadlessRecorder::onSerialFrame(QString key, FrameData* frame)
{
    if (!recorder.writeFrame(key, *frame))
        return;
    std::lock_guard<std::mutex> lock(mutex);
    ++lines[key];
}

void HeadlessRecorder::onUsbFrame(const SensorFrame& frame)
{
    const uint32_t nodeId = frame.nodeId;
    if (!allUsb && !suits.contains(nodeSuitNumber(nodeId)) && !nodes.contains(nodeId))
        return;
    const QString key = QString::number(nodeId);
    if (!recorder.isRecording(key)) {
        {
            // A file that failed is never opened again: that would truncate
            // the lines it already holds.
            std::lock_guard<std::mutex> lock(mutex);
            if (failed.contains(key) || writeFailures.contains(key))
                return;
        }
        if (!recorder.add(dir, {key}).isEmpty()) {
            std::lock_guard<std::mutex> lock(mutex);
            failed << key;
            return;
        }
    }
    if (!recorder.writeFrame(key, frameDataFromSensorFrame(frame)))
        return;
    std::lock_guard<std::mutex> lock(mutex);
    ++lines[key];
}
