#pragma once

#include "MotionCaptureSuitProperty.h"

#include <QMainWindow>
#include <QString>
#include <map>
#include <cstdint>
#include <functional>
#include <memory>

namespace Ui {
class StrideloomClass;
}
class DockDebugInfo;
class DockDeviceList;
class MagResultWriter;
class MainView;
class SLDevice;
class ToolBarDeviceOperation;
class ToolBarFileOperation;
struct ExportSettings;
class UpdateUIThread;
class QProgressBar;
class kvusb;
class StreamingHost;
class LanguageSwitcher;

// The main window: owns the serial library, the main view, the docks, the
// toolbars and the refresh pacer, and wires them together.
class Strideloom : public QMainWindow
{
    Q_OBJECT
public:
    // language, when given, puts the option "language" into force and is
    // offered in the preferences; without it the interface stays Chinese.
    explicit Strideloom(LanguageSwitcher* language = nullptr, QWidget* parent = nullptr);
    ~Strideloom() override;

    SLDevice* device() const { return pDevice; }
    kvusb* usb() const { return pUsb; }
    MainView* mainView() const { return pMainView; }
    DockDeviceList* deviceDock() const { return pDockDeviceList; }
    DockDebugInfo* debugDock() const { return pDockDebugInfo; }
    ToolBarDeviceOperation* deviceToolBar() const { return pToolBarDevice; }
    UpdateUIThread* refreshThread() const { return pUpdateThread; }
    QProgressBar* discoveryProgress() const { return pDiscoveryProgress; }
    MagResultWriter* magResultWriter() const { return pMagWriter; }
    Ui::StrideloomClass* form() const { return ui.get(); }
    StreamingHost* streaming() const { return pStreaming; }

    // The option table, read from and written back to "Resources/config.xml".
    void loadConfigFile();
    bool saveConfigFile();
    QString getOption(const QString& name);
    void setOption(const QString& name, const QString& value);
    void loadExportSettings(ExportSettings& s);
    void storeExportSettings(const ExportSettings& s);
    ToolBarFileOperation* fileToolBar() const { return pToolBarFile; }

    // The node names of the model connection file, by sensor type.
    void loadModelConnection(const QString& path);
    // The suit page: skeleton from the model file, the USB suits, BVH files.
    void connectSuitPage();
    // The name of a sensor type, empty (and remembered so) when unmapped.
    QString nodeNameForType(int type);

    // Reads a recording into a new "Read File" row; false (with the user
    // told why) when the file is not a recording.
    bool openRecording(const QString& path);

    // Called right before the process ends without the orderly shutdown;
    // false if a file could not be finished (logged).
    bool prepareForExit();
    // Closing the window could not finish a file (logged): the program's
    // exit code tells of it.
    bool closeFailed() const { return bCloseFailed; }

signals:
    void sigReadfile();

public slots:
    void OnClickPreferences();
    void slotDeviceList();
    void slotDebugInfo();
    void OnClickExist();
    void OnClickOpenFile();
    void updateMainViewUI();
    void OnClickBaseView();
    void OnClickAppView();
    void OnClickExtendView();
    void OnClickNodeDispView();
    void OnClickMagCaliView();
    void OnClickOnlineHelp();
    void OnClickAbout();
    void onShowAccelCalibrate();
    bool onZeroRotate(bool zero);
    void onNewSuitCreated(MotionCaptureSuit_Property prop, uint32_t suitNumber);
    // A serial discovery's progress in the status bar.
    void onDiscoveryStarted();
    void onDiscoveryProgress(int percent);
    void onDiscoveryComplete();
    void onMagResultFailed(QString key, QString text);

protected:
    void closeEvent(QCloseEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    // The one serial device a device command may go to: the checked row's
    // key when it is a connected serial device, else empty (user told).
    QString checkedSerialDevice(const QString& noneText);
    // Tells the user once of fitted magnetometer results that are not in
    // their devices; true when it did (the program then stays open).
    bool warnOfUnwrittenResults();
    // Shows a status message and keeps how to word it for a language change.
    void showStatus(std::function<QString()> text);
    void setTitle();

    LanguageSwitcher* pLanguage;
    std::function<QString()> statusText;
    MainView* pMainView = nullptr;
    DockDeviceList* pDockDeviceList = nullptr;
    DockDebugInfo* pDockDebugInfo = nullptr;
    UpdateUIThread* pUpdateThread = nullptr;
    SLDevice* pDevice = nullptr;
    kvusb* pUsb = nullptr;
    QProgressBar* pDiscoveryProgress = nullptr;
    MagResultWriter* pMagWriter = nullptr;
    StreamingHost* pStreaming = nullptr;
    void startStreaming();
    void applyStreamOptions(const class DlgPreferences& dlg);
    bool bWarnedUnwritten = false;
    bool bCloseFailed = false;
    QString strModelPath;
    std::map<int, QString> mapNodeNames;
    QString strConfigPath;
    std::map<QString, QString> mapOptions;
    std::unique_ptr<Ui::StrideloomClass> ui;
    ToolBarDeviceOperation* pToolBarDevice = nullptr;
    ToolBarFileOperation* pToolBarFile = nullptr;
};
