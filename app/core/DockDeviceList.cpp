#include "DockDeviceList.h"
#include "UsbFrameConversion.h"
#include "DeviceConfToShow.h"
#include "InfoBox.h"
#include "MainView.h"
#include "SLDevice.h"
#include "kvplot2d.h"
#include "ui_DockDeviceList.h"

#include <QCursor>
#include <QDebug>
#include <QMenu>
#include <QTableWidget>
#include <algorithm>
#include <cmath>

DockDeviceList::DockDeviceList(QWidget* parent)
    : QDockWidget(parent)
    , ui(new Ui::DockDeviceList)
{
    ui->setupUi(this);
    QTableWidget* t = ui->TableWidgetDeviceList;
    t->setContextMenuPolicy(Qt::CustomContextMenu);
    t->setEditTriggers(QAbstractItemView::NoEditTriggers);
    t->setSelectionBehavior(QAbstractItemView::SelectRows);
    t->setSelectionMode(QAbstractItemView::ExtendedSelection);
    connect(t, &QTableWidget::itemClicked, this, &DockDeviceList::ClickedListItem);
    connect(t, &QTableWidget::customContextMenuRequested, this, &DockDeviceList::onRClickMenuRequested);
    connect(ui->DevlistAction_startTrans, &QAction::triggered, this, &DockDeviceList::onStartTrans);
    connect(ui->DevlistAction_stopTrans, &QAction::triggered, this, &DockDeviceList::onStopTrans);
    connect(ui->DevlistAction_DeleteFile, &QAction::triggered, this, &DockDeviceList::onDeleteFile);
    // Failures are found on the frame thread; the user hears of them here.
    connect(&fileRecorder, &Recorder::sigWriteFailed, this, &DockDeviceList::onRecordingFailed, Qt::QueuedConnection);
}

DockDeviceList::~DockDeviceList()
{
    std::vector<DeviceConfToShow*> records;
    {
        std::lock_guard<std::mutex> lock(mutexDevices);
        records.swap(vecDevices);
    }
    for (DeviceConfToShow* r : records)
        delete r;
}

void DockDeviceList::setServices(SLDevice* device, MainView* view)
{
    pDevice = device;
    pView = view;
}

QTableWidget* DockDeviceList::table() const
{
    return ui->TableWidgetDeviceList;
}

QString DockDeviceList::hexKey(const QString& key)
{
    return QStringLiteral("0x") + QString::number(key.section(QLatin1Char('/'), -1).toUInt(nullptr, 10), 16);
}

QString DockDeviceList::typeText(int type)
{
    switch (type) {
    case SOURCE_ROUTER:
        return tr("Router Device");
    case SOURCE_SERIAL:
        return tr("Serial Port");
    case SOURCE_NETWORK:
        return tr("Network");
    default:
        return tr("Read File");
    }
}

QString DockDeviceList::propertyText(const DeviceConfToShow* record) const
{
    if (record->nDevType == SOURCE_SERIAL)
        return tr("波特率：") + QString::number(record->nBaudRate);
    if (record->nDevType == SOURCE_NETWORK)
        return record->strKey.section(QLatin1Char('/'), 0, 0) + QStringLiteral(": ") + networkName(record->strKey);
    return record->strName;
}

int DockDeviceList::deviceCount() const
{
    std::lock_guard<std::mutex> lock(mutexDevices);
    return int(vecDevices.size());
}

void DockDeviceList::addDevice(DeviceConfToShow* record)
{
    {
        std::lock_guard<std::mutex> lock(mutexDevices);
        vecDevices.push_back(record);
    }
    QTableWidget* t = ui->TableWidgetDeviceList;
    const int row = t->rowCount();
    t->setRowCount(row + 1);
    auto* keyItem = new QTableWidgetItem(hexKey(record->strKey));
    if (record->nDevType != SOURCE_FILE)
        keyItem->setCheckState(Qt::Unchecked);
    keyItem->setData(kRecordRole, QVariant::fromValue<void*>(record));
    t->setItem(row, 0, keyItem);
    t->setItem(row, 1, new QTableWidgetItem(typeText(record->nDevType)));
    t->setItem(row, 2, new QTableWidgetItem(propertyText(record)));
    if (record->nDevType == SOURCE_SERIAL && pDevice)
        pDevice->SerialPortCmd_REQCONFIG(record->strKey);
}

DeviceConfToShow* DockDeviceList::currentRecord() const
{
    QTableWidget* t = ui->TableWidgetDeviceList;
    const int row = t->currentRow();
    if (row < 0 || !t->item(row, 0))
        return nullptr;
    return static_cast<DeviceConfToShow*>(t->item(row, 0)->data(kRecordRole).value<void*>());
}

DeviceConfToShow* DockDeviceList::recordForKey(const QString& key, int sourceType) const
{
    std::lock_guard<std::mutex> lock(mutexDevices);
    for (DeviceConfToShow* r : vecDevices)
        if (r->nDevType != SOURCE_FILE && r->strKey == key &&
            (sourceType < 0 ? r->nDevType != SOURCE_NETWORK : r->nDevType == sourceType))
            return r;
    return nullptr;
}

std::vector<DeviceConfToShow*> DockDeviceList::records() const
{
    std::lock_guard<std::mutex> lock(mutexDevices);
    return vecDevices;
}

int DockDeviceList::rowOf(const DeviceConfToShow* record) const
{
    QTableWidget* t = ui->TableWidgetDeviceList;
    for (int row = 0; row < t->rowCount(); ++row) {
        if (t->item(row, 0) && t->item(row, 0)->data(kRecordRole).value<void*>() == record)
            return row;
    }
    return -1;
}

QString DockDeviceList::checkedDeviceKey() const
{
    return mapChecked.size() == 1 ? mapChecked.first() : QString();
}

void DockDeviceList::rebuildChecked()
{
    QTableWidget* t = ui->TableWidgetDeviceList;
    mapChecked.clear();
    for (int row = 0; row < t->rowCount(); ++row) {
        QTableWidgetItem* it = t->item(row, 0);
        if (it && it->checkState() == Qt::Checked) {
            auto* r = static_cast<DeviceConfToShow*>(it->data(kRecordRole).value<void*>());
            mapChecked[row] = r->strKey;
        }
    }
}

void DockDeviceList::ClickedListItem(QTableWidgetItem* item)
{
    QTableWidget* t = ui->TableWidgetDeviceList;
    rebuildChecked();
    if (item && t->item(item->row(), 0) && pView) {
        auto* r = static_cast<DeviceConfToShow*>(t->item(item->row(), 0)->data(kRecordRole).value<void*>());
        pView->setCurrentDevice(r);
    }
    emit UpdateSelectDevItem(mapChecked.size());
}

void DockDeviceList::AppReadFrameData(QString strSensorKey, FrameData* pFrameData)
{
    routeFrame(strSensorKey, *pFrameData, SOURCE_SERIAL);
}

void DockDeviceList::feedRecord(DeviceConfToShow* r, const FrameData& f)
{
    r->setFrame(f);
    r->processMagSample(f.mag);
    const double accel[3] = {f.accel[0], f.accel[1], f.accel[2]};
    const double gyro[3] = {f.gyro[0], f.gyro[1], f.gyro[2]};
    const double mag[3] = {f.mag[0], f.mag[1], f.mag[2]};
    const double quat[4] = {f.quat[0], f.quat[1], f.quat[2], f.quat[3]};
    const double euler[3] = {f.euler[0], f.euler[1], f.euler[2]};
    r->pPlotAccel->addDataFrame(accel);
    r->pPlotGyro->addDataFrame(gyro);
    r->pPlotMag->addDataFrame(mag);
    r->pPlotQuat->addDataFrame(quat);
    r->pPlotEuler->addDataFrame(euler);
}

void DockDeviceList::routeFrame(const QString& key, const FrameData& f, int sourceType)
{
    // Recorded whether or not the device has a row.
    fileRecorder.writeFrame(key, f);
    std::lock_guard<std::mutex> lock(mutexDevices);
    for (DeviceConfToShow* r : vecDevices) {
        if (r->nDevType != sourceType || r->strKey != key)
            continue;
        feedRecord(r, f);
        break;
    }
}

void DockDeviceList::AppReadFrameData(SensorFrame data)
{
    const FrameData frame = frameDataFromSensorFrame(data);
    const QString key = QString::number(data.nodeId);
    if (!recordForKey(key, SOURCE_ROUTER)) {
        const int sensorType = int(nodePosition(data.nodeId)) + 1;
        const QString nodeName = nodeNameSource ? nodeNameSource(sensorType) : QString();
        addDevice(new DeviceConfToShow(SOURCE_ROUTER, 0, key, QString::number(nodeSuitNumber(data.nodeId)) + nodeName));
    }
    routeFrame(key, frame, SOURCE_ROUTER);
}

void DockDeviceList::SaveDataToFile(int bSaveFile, QString strDirPath)
{
    if (!bSaveFile) {
        stopRecording();
        return;
    }
    stcExport = exportSource ? exportSource() : ExportSettings();
    stcExport.laccel = 0;
    stcExport.altitude = 0;
    const QStringList failed = fileRecorder.start(strDirPath, mapChecked.values(), stcExport, QDateTime::currentDateTime());
    for (const QString& key : failed)
        showInfoBox(tr("设备：%1，保存文件失败!").arg(key), QStringLiteral("QPushButton { width:40px; height:20px; }"));
}

void DockDeviceList::stopRecording()
{
    fileRecorder.stop();
}

void DockDeviceList::onRecordingFailed(QString key, QString path)
{
    showInfoBox(tr("设备：%1，写入文件失败，已停止记录！").arg(key) + QLatin1Char('\n') + path,
                QStringLiteral("QPushButton { width:40px; height:20px; }"));
}

void DockDeviceList::removeRecord(DeviceConfToShow* record)
{
    const int row = rowOf(record);
    const QString key = record->strKey;
    const bool live = record->nDevType != SOURCE_FILE;
    {
        std::lock_guard<std::mutex> lock(mutexDevices);
        vecDevices.erase(std::find(vecDevices.begin(), vecDevices.end(), record));
        // The frame path holds the lock while it uses a record, so deleting
        // here cannot pull a record from under a frame.
        delete record;
    }
    if (row >= 0)
        ui->TableWidgetDeviceList->removeRow(row);
    // Row indexes after the removed one moved up; a removed device must not
    // stay checked.
    rebuildChecked();
    emit UpdateSelectDevItem(mapChecked.size());
    if (live)
        emit sigDeviceRemoved(key);
}

void DockDeviceList::AppAutoCheckComplete()
{
    if (!pDevice)
        return;
    const std::vector<_device_config> configs = pDevice->GetAllDeviceConfig();
    if (pView)
        pView->clearCurrentDevice();
    std::vector<DeviceConfToShow*> records;
    {
        std::lock_guard<std::mutex> lock(mutexDevices);
        records = vecDevices;
    }
    for (DeviceConfToShow* r : records) {
        if (r->nDevType != SOURCE_SERIAL)
            continue;
        const bool reported = std::any_of(configs.begin(), configs.end(),
                                          [r](const _device_config& c) { return c.serialKey == r->strKey; });
        if (!reported)
            removeRecord(r);
    }
    for (const _device_config& c : configs) {
        bool known = false;
        {
            std::lock_guard<std::mutex> lock(mutexDevices);
            known = std::any_of(vecDevices.begin(), vecDevices.end(), [&c](const DeviceConfToShow* r) {
                return r->strKey == c.serialKey && r->nDevType == c.devType;
            });
        }
        if (!known)
            addDevice(new DeviceConfToShow(c.devType, c.baudRate, c.serialKey, c.devName));
    }
}

void DockDeviceList::APPCmdResponded_CMDSTATUS(QString serialKey, bool bRet)
{
    emit sigCmdResponse_status(serialKey, bRet);
}

void DockDeviceList::APPCmdResponded_MAGSTATUS(QString serialKey, bool bRet)
{
    DeviceConfToShow* r = recordForKey(serialKey, SOURCE_SERIAL);
    if (r && r == currentRecord())
        emit sigCmdResponse_magStatus(bRet);
}

void DockDeviceList::APPCmdResponded_CONFIG(QString serialKey, DevSetting& stcSetting)
{
    DeviceConfToShow* r = recordForKey(serialKey, SOURCE_SERIAL);
    if (!r)
        return;
    r->stcSetting = stcSetting;
    emit sigCmdResponse_config(serialKey, stcSetting);
    // Read for writing a fitted result: the device's older calibration must
    // not replace the result on the host.
    if (r->bWritingResult)
        return;
    const _device_cal_block& b = stcSetting.cal[2];
    bool usable = true;
    for (int row = 0; row < 3; ++row) {
        const float* m = b.matrix + 3 * row;
        if (std::fabs(m[1] - m[0]) <= 0.001f && std::fabs(m[2] - m[0]) <= 0.001f)
            usable = false;
    }
    if (usable) {
        double matrix[9], offset[3];
        for (int i = 0; i < 9; ++i)
            matrix[i] = b.matrix[i];
        for (int i = 0; i < 3; ++i)
            offset[i] = b.bias[i];
        if (!r->loadDeviceCalibration(matrix, offset))
            return;  // a calibration run is collecting
    }
    auto num = [](float v) { return QString::number(double(v), 'g', 6); };
    auto triple = [&num](const float* v) { return num(v[0]) + " " + num(v[1]) + " " + num(v[2]); };
    r->appendLog(QStringLiteral("download mag offset:"));
    r->appendLog(triple(b.bias));
    r->appendLog(QStringLiteral("download mag matrix:"));
    for (int row = 0; row < 3; ++row)
        r->appendLog(triple(b.matrix + 3 * row));
    qDebug().noquote() << "----------receive--------------";
    qDebug().noquote() << " -bias:" << triple(b.bias);
    for (int row = 0; row < 3; ++row)
        qDebug().noquote() << " -scall:" << triple(b.matrix + 3 * row);
    qDebug().noquote() << "----------receive--------------";
}

QList<QAction*> DockDeviceList::menuActionsFor(const DeviceConfToShow* r) const
{
    if (r->nDevType == SOURCE_SERIAL)
        return {ui->DevlistAction_startTrans, ui->DevlistAction_stopTrans};
    if (r->nDevType == SOURCE_FILE)
        return {ui->DevlistAction_DeleteFile};
    if (r->nDevType == SOURCE_NETWORK)
        return {networkInfoAction()};
    return {};
}

void DockDeviceList::onRClickMenuRequested(const QPoint&)
{
    DeviceConfToShow* r = currentRecord();
    if (!r)
        return;
    QMenu menu(this);
    menu.addActions(menuActionsFor(r));
    if (!menu.isEmpty())
        menu.exec(QCursor::pos());
}

void DockDeviceList::onStartTrans()
{
    if (DeviceConfToShow* r = currentRecord(); r && pDevice)
        pDevice->SerialPortCmd_REQRTTRANS(r->strKey, 100);
}

void DockDeviceList::onStopTrans()
{
    if (DeviceConfToShow* r = currentRecord(); r && pDevice)
        pDevice->SerialPortCmd_STOPRTTRANS(r->strKey);
}

void DockDeviceList::onCheckmagStatus()
{
    if (DeviceConfToShow* r = currentRecord(); r && pDevice)
        pDevice->SerialPortCmd_REQMAG(r->strKey);
}

void DockDeviceList::onClearMag()
{
    if (DeviceConfToShow* r = currentRecord(); r && pDevice)
        pDevice->SerialPortCmd_CLRMAG(r->strKey);
}

void DockDeviceList::onDeleteFile()
{
    DeviceConfToShow* r = currentRecord();
    if (!r)
        return;
    if (pView && pView->currentDevice() == r)
        pView->clearCurrentDevice();
    if (r->nDevType != SOURCE_FILE)
        return;
    removeRecord(r);
}

void DockDeviceList::closeEvent(QCloseEvent* event)
{
    emit sigCloseWindow();
    QDockWidget::closeEvent(event);
}

void DockDeviceList::changeEvent(QEvent* event)
{
    if (event->type() == QEvent::LanguageChange) {
        ui->retranslateUi(this);
        QTableWidget* t = ui->TableWidgetDeviceList;
        for (int row = 0; row < t->rowCount(); ++row) {
            const auto* r = static_cast<const DeviceConfToShow*>(t->item(row, 0)->data(kRecordRole).value<void*>());
            t->item(row, 1)->setText(typeText(r->nDevType));
            t->item(row, 2)->setText(propertyText(r));
        }
        if (pNetworkInfoAction) {
            pNetworkInfoAction->setText(networkInfoText());
            pNetworkInfoAction->setToolTip(networkInfoToolTip());
        }
        greyNetworkRows();
    }
    QDockWidget::changeEvent(event);
}

void DockDeviceList::resizeEvent(QResizeEvent* event)
{
    QDockWidget::resizeEvent(event);
    const int w = width();
    QTableWidget* t = ui->TableWidgetDeviceList;
    t->setColumnWidth(0, int(w * 0.25));
    t->setColumnWidth(1, int(w * 0.30));
    t->setColumnWidth(2, int(w * 0.30));
}
