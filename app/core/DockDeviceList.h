#pragma once

#include "ExportSettings.h"
#include "FrameData.h"
#include "Recorder.h"
#include "SensorFrame.h"
#include "SerialTypes.h"

#include <QDockWidget>
#include <QHash>
#include <QMap>
#include <QSet>
#include <QString>
#include <functional>
#include <memory>
#include <mutex>
#include <vector>

namespace Ui {
class DockDeviceList;
}
class DeviceConfToShow;
class MainView;
class QAction;
class QTableWidget;
class QTableWidgetItem;
class SLDevice;

// The device list: one row per device, owner of the device records, and the
// route of every frame into its record, plots and calibration run.
//
// Serial frames arrive on the serial reader thread (AppReadFrameData), USB
// node frames queued on the GUI thread (AppReadFrameData(SensorFrame)); rows
// and records change on the GUI thread. mutexDevices keeps the record list
// and every record alive while a frame is handled; the GUI thread holds it
// only for the list change itself and never while calling the library.
class DockDeviceList : public QDockWidget
{
    Q_OBJECT
public:
    static constexpr int kRecordRole = Qt::UserRole + 1;

    explicit DockDeviceList(QWidget* parent = nullptr);
    ~DockDeviceList() override;

    // The serial library and the main view this list works with.
    void setServices(SLDevice* device, MainView* view);
    // Where a starting recording takes its options from.
    void setExportSettingsSource(std::function<ExportSettings()> source) { exportSource = std::move(source); }
    // Where a new USB node row takes its node name from (by sensor type).
    void setNodeNameSource(std::function<QString(int)> source) { nodeNameSource = std::move(source); }
    Recorder& recorder() { return fileRecorder; }
    // Flushes and closes every recording file.
    void stopRecording();

    // Appends a row and takes ownership of the record.
    void addDevice(DeviceConfToShow* record);
    QString checkedDeviceKey() const;
    DeviceConfToShow* currentRecord() const;
    // The live device of a key, of one source type (serial or USB node) or
    // of either (-1); rows of recorded files never stand in for one.
    DeviceConfToShow* recordForKey(const QString& key, int sourceType = -1) const;
    // Every listed record; GUI thread only (records are removed only there).
    std::vector<DeviceConfToShow*> records() const;
    int deviceCount() const;
    QTableWidget* table() const;
    // The context menu's actions for a row of this record.
    QList<QAction*> menuActionsFor(const DeviceConfToShow* record) const;

signals:
    void UpdateSelectDevItem(int checkedCount);
    void sigCmdResponse_status(QString serialKey, bool ok);
    void sigCmdResponse_config(QString serialKey, DevSetting& setting);
    void sigCmdResponse_magStatus(bool standard);
    // A live device's row was removed from the list.
    void sigDeviceRemoved(QString key);
    void sigCloseWindow();

public slots:
    void ClickedListItem(QTableWidgetItem* item);
    void SaveDataToFile(int bSaveFile, QString strDirPath);
    void AppReadFrameData(QString strSensorKey, FrameData* pFrameData);
    void AppReadFrameData(SensorFrame data);
    void AppAutoCheckComplete();
    void APPCmdResponded_CMDSTATUS(QString serialKey, bool bRet);
    void APPCmdResponded_MAGSTATUS(QString serialKey, bool bRet);
    void APPCmdResponded_CONFIG(QString serialKey, DevSetting& stcSetting);
    void onRClickMenuRequested(const QPoint& pos);
    void onStartTrans();
    void onStopTrans();
    void onDeleteFile();
    void onCheckmagStatus();
    void onClearMag();
    void onRecordingFailed(QString key, QString path);
    // Network devices (DockDeviceListNetwork.cpp), GUI thread: a frame of
    // a device of another station, received through the broker; its row is
    // made on its first frame and greyed while its station is offline or
    // the program has lost the broker. A row is "station/key": two stations
    // with the same device key have a row and a recording each.
    void AppReadNetworkFrame(QString station, QString key, FrameData frame);
    void setNetworkDeviceName(QString station, QString key, QString name);
    void setStationOnline(QString station, bool online);
    void setBrokerConnected(bool connected);

protected:
    void closeEvent(QCloseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    void removeRecord(DeviceConfToShow* record);
    // Hands a frame to the row of its key and source type.
    void routeFrame(const QString& key, const FrameData& frame, int sourceType);
    // One frame into a record: current values, calibration run, five plots.
    // The caller holds mutexDevices.
    static void feedRecord(DeviceConfToShow* record, const FrameData& frame);
    int rowOf(const DeviceConfToShow* record) const;
    void rebuildChecked();
    // The device key in hex; of "station/key" the key part.
    static QString hexKey(const QString& key);
    static QString typeText(int type);
    // Column 2 of a row: the baud rate of a serial device, else the name.
    QString propertyText(const DeviceConfToShow* record) const;
    // A network row's device name: a serial device's is worded here, in this
    // program's language; others keep the name their station sent.
    QString networkName(const QString& id) const;

    std::unique_ptr<Ui::DockDeviceList> ui;
    QMap<int, QString> mapChecked;
    // Guards vecDevices and the lifetime of its records.
    mutable std::mutex mutexDevices;
    std::vector<DeviceConfToShow*> vecDevices;
    SLDevice* pDevice = nullptr;
    MainView* pView = nullptr;
    ExportSettings stcExport;
    std::function<ExportSettings()> exportSource;
    std::function<QString(int)> nodeNameSource;
    Recorder fileRecorder;
    // Network rows by "station/key"; names from the stations' info topics;
    // stations now offline (GUI thread only).
    QHash<QString, DeviceConfToShow*> mapNetwork;
    QHash<QString, QString> mapNetworkNames;
    QSet<QString> offlineStations;
    bool brokerLost = false;
    QAction* pNetworkInfoAction = nullptr;
    QAction* networkInfoAction() const;
    static QString networkInfoText();
    static QString networkInfoToolTip();
    // Greys or restores every Network row as its station and the broker are.
    void greyNetworkRows();
};
