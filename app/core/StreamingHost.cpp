#include "StreamingHost.h"
#include "DockDeviceList.h"
#include "StationTap.h"
#include "StreamPublisher.h"
#include "StreamSubscriber.h"

#include <QDebug>
#include <QLabel>
#include <QStatusBar>
#include <QTimer>

StreamingHost::StreamingHost(QObject* parent, SLDevice* device, kvusb* usb, DockDeviceList* dock, QStatusBar* bar,
                             std::function<QString(int)> names)
    : QObject(parent), pDevice(device), pUsb(usb), pDock(dock), nodeName(std::move(names))
{
    if (bar) {
        pLabel = new QLabel(bar);
        pLabel->setObjectName(QStringLiteral("labelStreaming"));
        bar->addPermanentWidget(pLabel);
        pLabel->hide();
    }
    // The tap stays attached for the window's life (a suit is announced
    // only once); frames reach the publisher only while it runs.
    pPublisher = std::make_unique<stream::StreamPublisher>();
    pTap = std::make_unique<stream::StationTap>(*pPublisher, nodeName);
    if (pDevice)
        pTap->attachSerial(pDevice);
    if (pUsb)
        pTap->attachUsb(pUsb);
    pTimer = new QTimer(this);
    pTimer->setInterval(1000);
    connect(pTimer, &QTimer::timeout, this, &StreamingHost::refreshStatus);
    pTimer->start();
}

StreamingHost::~StreamingHost()
{
    pTap->detach();
    stopAll();
}

void StreamingHost::stopAll()
{
    pPublisher->stop();  // publishes "offline" and joins its thread
    pSubscriber.reset();
}

bool StreamingHost::apply(const stream::StreamOptions& o, QString* error)
{
    const QString why = o.validate();
    if (!why.isEmpty()) {
        if (error)
            *error = why;
        qWarning().noquote() << "streaming options refused:" << why;
        return false;
    }
    if (o == current && (pPublisher->isRunning() || pSubscriber || (!o.mqtt && !o.osc && !o.remote)))
        return true;
    // Rows of a subscription that ends get no more frames: grey, as when the
    // broker is lost, until a new subscription's broker takes them back.
    if (pSubscriber && pDock)
        pDock->setBrokerConnected(false);
    stopAll();
    current = o;
    // The counters start again with the new run; so do the log's baselines.
    loggedDropped = loggedRejected = loggedLost = loggedOscFailed = 0;
    publisherLog = LinkLog();
    subscriberLog = LinkLog();
    if (o.mqtt || o.osc) {
        QString err;
        if (!pPublisher->start(o, &err)) {
            if (error)
                *error = err;
            return false;
        }
    }
    if (o.remote) {
        pSubscriber = std::make_unique<stream::StreamSubscriber>();
        stream::StreamSubscriber::Callbacks cb;
        // The network thread collects; the GUI thread hands on (drainRemote).
        cb.frame = [this](const stream::RemoteFrame& f) {
            post({RemoteItem::Frame, f.station, QString::number(f.key), f.data, QString(), true});
        };
        cb.info = [this](const QString& station, const stream::DeviceInfo& info) {
            // A serial device's name is worded by the receiving program (empty
            // here); the sender's wording is in the sender's language.
            const QString name = info.kind == stream::DeviceKind::Serial ? QString() : info.name;
            post({RemoteItem::Name, station, QString::number(info.key), FrameData{}, name, true});
        };
        cb.status = [this](const QString& station, bool online) {
            post({RemoteItem::Status, station, QString(), FrameData{}, QString(), online});
        };
        cb.connection = [this](bool connected) {
            post({RemoteItem::Broker, QString(), QString(), FrameData{}, QString(), connected});
        };
        const QString own = pPublisher->isRunning() && o.mqtt ? pPublisher->station() : QString();
        QString err;
        if (!pSubscriber->start(o, own, cb, &err)) {
            pSubscriber.reset();
            if (error)
                *error = err;
            return false;
        }
    }
    refreshStatus();
    return true;
}

void StreamingHost::post(RemoteItem&& item)
{
    bool wake = false;
    {
        std::lock_guard<std::mutex> lock(mutexRemote);
        const size_t limit = item.kind == RemoteItem::Frame ? kMaxPendingFrames : 2 * kMaxPendingFrames;
        if (pendingRemote.size() >= limit) {
            ++remoteDropped;
            return;
        }
        pendingRemote.push_back(std::move(item));
        wake = !drainPosted;
        drainPosted = true;
    }
    if (wake)
        QMetaObject::invokeMethod(this, "drainRemote", Qt::QueuedConnection);
}

void StreamingHost::drainRemote()
{
    std::vector<RemoteItem> items;
    {
        std::lock_guard<std::mutex> lock(mutexRemote);
        items.swap(pendingRemote);
        drainPosted = false;
    }
    if (!pDock)
        return;
    for (const RemoteItem& i : items) {
        switch (i.kind) {
        case RemoteItem::Frame:
            pDock->AppReadNetworkFrame(i.station, i.key, i.data);
            break;
        case RemoteItem::Name:
            pDock->setNetworkDeviceName(i.station, i.key, i.name);
            break;
        case RemoteItem::Status:
            pDock->setStationOnline(i.station, i.online);
            break;
        case RemoteItem::Broker:
            pDock->setBrokerConnected(i.online);
            break;
        }
    }
}

uint64_t StreamingHost::remoteDroppedCount() const
{
    std::lock_guard<std::mutex> lock(mutexRemote);
    return remoteDropped;
}

QString StreamingHost::linkText(stream::LinkState state)
{
    switch (state) {
    case stream::LinkState::Connecting:
        return tr("正在连接");
    case stream::LinkState::Connected:
        return tr("已连接");
    case stream::LinkState::Unreachable:
        return tr("代理服务器无法连接");
    case stream::LinkState::Refused:
        return tr("代理服务器拒绝连接");
    }
    return QString();
}

void StreamingHost::logLink(LinkLog& log, const char* side, stream::LinkState state, const QString& problem,
                            uint64_t failures)
{
    if (int(state) != log.state || problem.isEmpty() != log.problem.isEmpty()) {
        if (problem.isEmpty())
            qInfo().noquote() << QStringLiteral("stream: %1 %2").arg(QLatin1String(side), linkText(state));
        else
            qWarning().noquote() << QStringLiteral("stream: %1 %2: %3").arg(QLatin1String(side), linkText(state), problem);
    } else if (state != stream::LinkState::Connected && failures > log.failures && log.since.elapsed() >= 60000) {
        qWarning().noquote() << QStringLiteral("stream: %1 still %2 (%3 more failed attempts): %4")
                                    .arg(QLatin1String(side), linkText(state))
                                    .arg(failures - log.failures)
                                    .arg(problem);
    } else {
        return;
    }
    log.state = int(state);
    log.problem = problem;
    log.failures = failures;
    log.since.start();
}

QString StreamingHost::statusText() const
{
    QStringList pieces;
    if (pPublisher->isRunning()) {
        const auto c = pPublisher->counters();
        QString s;
        if (current.mqtt)
            s = c.link == stream::LinkState::Connected ? tr("MQTT 已连接（%1）").arg(pPublisher->station())
                                                        : tr("MQTT %1").arg(linkText(c.link));
        else
            s = QStringLiteral("OSC");
        s += tr("，已发送 %1 帧，丢弃 %2 帧").arg(current.mqtt ? c.published : c.oscSent).arg(c.dropped());
        // OSC beside MQTT, or its failures: an unreachable host is no success.
        if (current.osc && (current.mqtt || c.oscFailed || c.oscThinned))
            s += tr("；OSC 已发送 %1，失败 %2，限速略去 %3").arg(c.oscSent).arg(c.oscFailed).arg(c.oscThinned);
        pieces << s;
    }
    if (pSubscriber) {
        const auto c = pSubscriber->counters();
        QString s = tr("远程设备：%1，收到 %2 帧，丢失 %3 帧，无效消息 %4")
                        .arg(linkText(c.link))
                        .arg(c.frames)
                        .arg(c.lost)
                        .arg(c.rejected);
        const uint64_t behind = remoteDroppedCount();
        if (behind)
            s += tr("，界面来不及处理而丢弃 %1").arg(behind);
        pieces << s;
    }
    return pieces.join(QStringLiteral("  |  "));
}

void StreamingHost::refreshStatus()
{
    if (pPublisher->isRunning()) {
        const auto c = pPublisher->counters();
        if (c.dropped() != loggedDropped) {
            qWarning().noquote()
                << QStringLiteral("stream: %1 frames dropped so far (queue full %2, no broker connection %3, in flight %4)")
                       .arg(c.dropped())
                       .arg(c.droppedQueue)
                       .arg(c.droppedOutage)
                       .arg(c.droppedInFlight);
            loggedDropped = c.dropped();
        }
        if (c.oscFailed != loggedOscFailed) {
            qWarning().noquote() << QStringLiteral("stream: %1 OSC bundles could not be sent so far").arg(c.oscFailed);
            loggedOscFailed = c.oscFailed;
        }
        if (current.mqtt)
            logLink(publisherLog, "publishing", c.link, pPublisher->lastProblem(), c.failedAttempts);
    }
    if (pSubscriber) {
        const auto c = pSubscriber->counters();
        const uint64_t behind = remoteDroppedCount();
        if (c.rejected != loggedRejected || c.lost != loggedLost || behind != loggedRemoteDropped) {
            qWarning().noquote()
                << QStringLiteral("stream: remote frames lost %1, invalid messages dropped %2, dropped by the program %3")
                       .arg(c.lost)
                       .arg(c.rejected)
                       .arg(behind);
            loggedRejected = c.rejected;
            loggedLost = c.lost;
            loggedRemoteDropped = behind;
        }
        logLink(subscriberLog, "remote devices", c.link, pSubscriber->lastProblem(), c.failedAttempts);
    }
    if (pLabel) {
        const QString text = statusText();
        pLabel->setText(text);
        pLabel->setVisible(!text.isEmpty());
    }
}
