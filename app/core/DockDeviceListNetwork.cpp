// The device list's rows of other stations' devices ("Network"), received
// through an MQTT broker (stream/StreamSubscriber). Kept apart from
// DockDeviceList.cpp: the frame handling mirrors that of local devices.
#include "DeviceConfToShow.h"
#include "DockDeviceList.h"
#include "ui_DockDeviceList.h"

#include <QAction>
#include <QBrush>
#include <QTableWidget>

QString DockDeviceList::networkInfoText()
{
    return tr("网络设备：命令和校准只能在其采集站上进行");
}

QString DockDeviceList::networkInfoToolTip()
{
    return tr("此设备的数据来自另一台计算机（采集站），本程序只显示和记录它");
}

QAction* DockDeviceList::networkInfoAction() const
{
    if (!pNetworkInfoAction) {
        auto* self = const_cast<DockDeviceList*>(this);
        self->pNetworkInfoAction = new QAction(networkInfoText(), self);
        self->pNetworkInfoAction->setEnabled(false);
        self->pNetworkInfoAction->setToolTip(networkInfoToolTip());
    }
    return pNetworkInfoAction;
}

QString DockDeviceList::networkName(const QString& id) const
{
    const QString key = id.section(QLatin1Char('/'), -1);
    const auto it = mapNetworkNames.constFind(id);
    if (it == mapNetworkNames.constEnd())
        return key;
    return it->isEmpty() ? tr("串口设备 %1").arg(key) : *it;
}

void DockDeviceList::setNetworkDeviceName(QString station, QString key, QString name)
{
    const QString id = station + '/' + key;
    mapNetworkNames.insert(id, name);
    // The row may have come with the first frame, before the name.
    if (const DeviceConfToShow* r = mapNetwork.value(id)) {
        const int row = rowOf(r);
        if (row >= 0)
            ui->TableWidgetDeviceList->item(row, 2)->setText(propertyText(r));
    }
}

void DockDeviceList::greyNetworkRows()
{
    QTableWidget* t = ui->TableWidgetDeviceList;
    for (auto it = mapNetwork.begin(); it != mapNetwork.end(); ++it) {
        const int row = rowOf(it.value());
        if (row < 0)
            continue;
        const bool stationOffline = offlineStations.contains(it.key().section(QLatin1Char('/'), 0, 0));
        const QString why = brokerLost       ? tr("与代理服务器的连接中断")
                            : stationOffline ? tr("采集站离线")
                                             : QString();
        for (int c = 0; c < t->columnCount(); ++c) {
            if (QTableWidgetItem* item = t->item(row, c)) {
                item->setForeground(why.isEmpty() ? QBrush() : QBrush(Qt::gray));
                item->setToolTip(why);
            }
        }
    }
}

void DockDeviceList::setStationOnline(QString station, bool online)
{
    if (online)
        offlineStations.remove(station);
    else
        offlineStations.insert(station);
    greyNetworkRows();
}

void DockDeviceList::setBrokerConnected(bool connected)
{
    brokerLost = !connected;
    greyNetworkRows();
}

void DockDeviceList::AppReadNetworkFrame(QString station, QString key, FrameData frame)
{
    const QString id = station + '/' + key;
    DeviceConfToShow* r = mapNetwork.value(id);
    if (!r) {
        r = new DeviceConfToShow(SOURCE_NETWORK, 0, id, station + QStringLiteral(": ") + networkName(id));
        addDevice(r);
        mapNetwork.insert(id, r);
    }
    // A frame means the station is there, whatever its status said last.
    if (offlineStations.contains(station))
        setStationOnline(station, true);
    fileRecorder.writeFrame(id, frame);
    // Records are removed on this thread only, so r stays valid here; the
    // lock orders the record's use against the serial frame path.
    std::lock_guard<std::mutex> lock(mutexDevices);
    feedRecord(r, frame);
}
