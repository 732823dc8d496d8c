#include "FramePrinter.h"

FramePrinter::FramePrinter(FILE* output, int framesPerDevice, const QStringList& keys)
    : out(output)
    , limit(framesPerDevice)
{
    for (const QString& k : keys)
        counts.insert(k, 0);
}

QHash<QString, long> FramePrinter::finish()
{
    std::lock_guard<std::mutex> lock(mutex);
    closed = true;
    return counts;
}

void FramePrinter::onFrame(QString key, FrameData* f)
{
    std::lock_guard<std::mutex> lock(mutex);
    if (closed || !counts.contains(key))
        return;
    long& n = counts[key];
    if (limit > 0 && n >= limit)
        return;
    std::fprintf(out,
                 "%s,%.9g,%.9g,%.9g,%.9g,%.9g,%.9g,%.9g,%.9g,%.9g,%.9g,%.9g,%.9g,%.9g,%.9g,%.9g,%.9g,%.9g\n",
                 qPrintable(key), f->accel[0], f->accel[1], f->accel[2], f->gyro[0], f->gyro[1], f->gyro[2],
                 f->mag[0], f->mag[1], f->mag[2], f->quat[0], f->quat[1], f->quat[2], f->quat[3], f->euler[0],
                 f->euler[1], f->euler[2], f->extra);
    ++n;
    if (limit > 0 && !signalled) {
        bool all = true;
        for (long c : counts)
            all = all && c >= limit;
        if (all) {
            signalled = true;
            emit enough();
        }
    }
}
