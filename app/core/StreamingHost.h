#pragma once

#include "FrameData.h"
#include "StreamOptions.h"

#include <QObject>
#include <QString>
#include <functional>
#include <memory>
#include <mutex>
#include <vector>

class DockDeviceList;
class QLabel;
class QStatusBar;
class QTimer;
class SLDevice;
class kvusb;
namespace stream {
class StationTap;
class StreamPublisher;
class StreamSubscriber;
}

// The program's side of streaming (stream/): publishes the local devices'
// frames (MQTT, OSC) as the options say, shows other stations' devices as
// "Network" rows, and keeps the status bar's streaming text with the
// counts of sent, received and dropped frames; a growing drop count is
// also logged. Lives on the GUI thread.
class StreamingHost : public QObject
{
    Q_OBJECT
public:
    StreamingHost(QObject* parent, SLDevice* device, kvusb* usb, DockDeviceList* dock, QStatusBar* statusBar,
                  std::function<QString(int)> nodeName);
    ~StreamingHost() override;

    // Starts, restarts or stops publishing and subscribing; false with a
    // message (also shown in the status bar) when the options cannot be
    // used, and then nothing changes.
    bool apply(const stream::StreamOptions& options, QString* error = nullptr);
    const stream::StreamOptions& options() const { return current; }
    stream::StreamPublisher* publisher() const { return pPublisher.get(); }
    stream::StreamSubscriber* subscriber() const { return pSubscriber.get(); }
    // The status bar's streaming text.
    QString statusText() const;

public slots:
    void refreshStatus();
    // Hands what the subscriber's network thread collected to the device
    // list (GUI thread); posted once per batch.
    void drainRemote();

private:
    void stopAll();
    struct RemoteItem
    {
        enum Kind { Frame, Name, Status } kind;
        QString station;
        QString key;
        FrameData data;
        QString name;
        bool online;
    };
    // Network thread: queues an item and posts one drain for a batch.
    void post(RemoteItem&& item);
    std::mutex mutexRemote;  // guards pendingRemote and drainPosted
    std::vector<RemoteItem> pendingRemote;
    bool drainPosted = false;

    SLDevice* pDevice;
    kvusb* pUsb;
    DockDeviceList* pDock;
    std::function<QString(int)> nodeName;
    stream::StreamOptions current;
    std::unique_ptr<stream::StreamPublisher> pPublisher;
    std::unique_ptr<stream::StationTap> pTap;
    std::unique_ptr<stream::StreamSubscriber> pSubscriber;
    QLabel* pLabel = nullptr;
    QTimer* pTimer = nullptr;
    uint64_t loggedDropped = 0;
    uint64_t loggedRejected = 0;
    uint64_t loggedLost = 0;
};
