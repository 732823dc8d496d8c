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
    stopAll();
    current = o;
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
            post({RemoteItem::Name, station, QString::number(info.key), FrameData{}, info.name, true});
        };
        cb.status = [this](const QString& station, bool online) {
            post({RemoteItem::Status, station, QString(), FrameData{}, QString(), online});
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
        }
    }
}

QString StreamingHost::statusText() const
{
    QStringList parts;
    if (pPublisher->isRunning()) {
        const auto c = pPublisher->counters();
        QString s;
        if (current.mqtt)
            s = (c.connected ? tr("MQTT 已连接（%1）").arg(pPublisher->station())
                             : tr("MQTT 未连接"));
        else
            s = QStringLiteral("OSC");
        s += tr("，已发送 %1 帧，丢弃 %2 帧").arg(current.mqtt ? c.published : c.oscSent).arg(c.dropped());
        parts << s;
    }
    if (pSubscriber) {
        const auto c = pSubscriber->counters();
        parts << tr("远程设备：%1，收到 %2 帧，丢失 %3 帧，无效消息 %4")
                     .arg(c.connected ? tr("已连接") : tr("未连接"))
                     .arg(c.frames)
                     .arg(c.lost)
                     .arg(c.rejected);
    }
    return parts.join(QStringLiteral("  |  "));
}

void StreamingHost::refreshStatus()
{
    if (pPublisher->isRunning()) {
        const auto c = pPublisher->counters();
        if (c.dropped() != loggedDropped) {
            qWarning().noquote() << QStringLiteral("stream: %1 frames dropped so far (queue full %2, no broker connection %3)")
                                        .arg(c.dropped())
                                        .arg(c.droppedQueue)
                                        .arg(c.droppedOutage);
            loggedDropped = c.dropped();
        }
        const QString problem = pPublisher->lastProblem();
        if (!problem.isEmpty())
            qWarning().noquote() << "stream:" << problem;
    }
    if (pSubscriber) {
        const auto c = pSubscriber->counters();
        if (c.rejected != loggedRejected || c.lost != loggedLost) {
            qWarning().noquote() << QStringLiteral("stream: remote frames lost %1, invalid messages dropped %2")
                                        .arg(c.lost)
                                        .arg(c.rejected);
            loggedRejected = c.rejected;
            loggedLost = c.lost;
        }
    }
    if (pLabel) {
        const QString text = statusText();
        pLabel->setText(text);
        pLabel->setVisible(!text.isEmpty());
    }
}
