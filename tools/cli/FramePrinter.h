#pragma once

#include "FrameData.h"

#include <QHash>
#include <QObject>
#include <QString>
#include <QStringList>
#include <cstdio>
#include <mutex>

// Prints frames as comma-separated lines. onFrame runs on the serial reader
// thread (direct connection); finish() on the main thread.
class FramePrinter : public QObject
{
    Q_OBJECT
public:
    // framesPerDevice 0 prints until finish().
    FramePrinter(FILE* out, int framesPerDevice, const QStringList& keys);

    // Stops printing and returns the frames printed per device.
    QHash<QString, long> finish();

signals:
    // Every device has printed its frames.
    void enough();

public slots:
    void onFrame(QString key, FrameData* f);

private:
    FILE* out;
    const int limit;
    // Guards counts, closed and signalled.
    std::mutex mutex;
    QHash<QString, long> counts;
    bool closed = false;
    bool signalled = false;
};
