#pragma once

#include "MotionCaptureSuit.h"
#include "SensorFrame.h"

#include <QObject>
#include <cstdint>
#include <string>
#include <vector>

// QSignalSpy records on the emitting thread. The library emits on its own
// threads, so tests spy on this relay instead, which re-emits each signal
// queued on the test's thread.
class QueuedRelay : public QObject
{
    Q_OBJECT
public:
    // Connects sender's signal to the relay's signal of the same signature.
    QueuedRelay(QObject* sender, const char* signal) { connect(sender, signal, this, signal, Qt::QueuedConnection); }

signals:
    void newSuitCreated(MotionCaptureSuit_Property prop, uint32_t suitNumber);
    void usbOpenFailed(std::string desc);
    void usbPlugedUnpluged(uint32_t kvq3RouterCnt);
    void usbRouterProblem(int problem, unsigned int router);
    void newDatafromSuit(const SensorFrame& sf);
    void sensorStatusChanged(std::vector<MotionCaptureSuit::KVQ3SensorStatus*> vec);
};
