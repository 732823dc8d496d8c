#pragma once

#include "FrameData.h"
#include "LinkState.h"
#include "StreamOptions.h"

#include <QElapsedTimer>
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
// connection states and the counts of sent, received and dropped frames.
// The log gets a growing drop count and connection state changes; a
// failure that goes on is logged again at most once a minute with the
// number of failed attempts. Lives on the GUI thread.
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
        enum Kind { Frame, Name, Status, Broker } kind;
        QString station;
        QString key;
        FrameData data;
        QString name;
        bool online;
    };
    // Network thread: queues an item and posts one drain for a batch. A
    // GUI thread that falls behind loses frames beyond kMaxPendingFrames
    // (other items beyond twice that), counted in remoteDropped.
    void post(RemoteItem&& item);
    static constexpr size_t kMaxPendingFrames = 20000;
    mutable std::mutex mutexRemote;  // guards pendingRemote, drainPosted and remoteDropped
    std::vector<RemoteItem> pendingRemote;
    bool drainPosted = false;
    uint64_t remoteDropped = 0;
    uint64_t remoteDroppedCount() const;

    // What the log last said about one broker connection.
    struct LinkLog
    {
        int state = -1;
        QString problem;
        uint64_t failures = 0;  // failed attempts when it was logged
        QElapsedTimer since;
    };
    // Logs a change of state, or the same failure going on once a minute.
    static void logLink(LinkLog& log, const char* side, stream::LinkState state, const QString& problem,
                        uint64_t failures);
    static QString linkText(stream::LinkState state);

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
    uint64_t loggedOscFailed = 0;
    uint64_t loggedRejected = 0;
    uint64_t loggedLost = 0;
    uint64_t loggedRemoteDropped = 0;
    LinkLog publisherLog, subscriberLog;
};
