#pragma once

#include <QObject>

class QSocketNotifier;

// Turns SIGINT and SIGTERM into a Qt signal on the main thread (through a
// pipe the handler writes to), so a headless run stops cleanly.
class SignalStop : public QObject
{
    Q_OBJECT
public:
    SignalStop();
    ~SignalStop() override;

signals:
    void stopRequested();

private:
    QSocketNotifier* notifier = nullptr;
};
