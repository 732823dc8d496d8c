#pragma once

#include "SensorFrame.h"

#include <QObject>
#include <cstdio>

// Prints USB node frames as comma-separated lines, on the main thread.
class UsbNodePrinter : public QObject
{
    Q_OBJECT
public:
    explicit UsbNodePrinter(FILE* out) : out(out) {}
    long printed() const { return count; }

public slots:
    void onFrame(const SensorFrame& frame);

private:
    FILE* out;
    long count = 0;
};
