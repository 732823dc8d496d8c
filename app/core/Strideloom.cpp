#include "Strideloom.h"
#include "AboutStrideloom.h"
#include "AppVersion.h"
#include "CalibrationAccel.h"
#include "ConfigFile.h"
#include "DockDebugInfo.h"
#include "DockDeviceList.h"
#include "InfoBox.h"
#include "LanguageSwitcher.h"
#include "MagResultWriter.h"
#include "MainView.h"
#include "ModelConnectionFile.h"
#include "ProgramFiles.h"
#include "SLDevice.h"
#include "SkeletonFile.h"
#include "SuitCapture.h"
#include "TabSuitWidget.h"
#include "Tab3DWidget_mag.h"
#include "DeviceConfToShow.h"
#include "DlgPreferences.h"
#include "StreamingHost.h"
#include "DlgWait.h"
#include "ExportSettings.h"
#include "FileRead.h"
#include "ToolBarDeviceOperation.h"
#include "ToolBarFileOperation.h"
#include "UpdateUIThread.h"
#include "UsbStatusLabel.h"
#include "kvusb.h"
#include "ui_StrideloomClass.h"

#include <QCloseEvent>
#include <QComboBox>
#include <QDebug>
#include <QDesktopServices>
#include <QDir>
#include <QEventLoop>
#include <QFileDialog>
#include <QProgressBar>
#include <QStatusBar>
#include <QThread>
#include <QUrl>
#include <cstdio>
#include <unistd.h>

namespace {
const QString kInfoBoxStyle = QStringLiteral("QPushButton { width:40px; height:20px; }");
}

Strideloom::Strideloom(LanguageSwitcher* language, QWidget* parent)
    : QMainWindow(parent)
    , pLanguage(language)
    , ui(new Ui::StrideloomClass)
{
    // The language comes from the option file and is in force before any
    // window is built.
    strModelPath = QStringLiteral("Resources/stdBipedModel.mcc");
    loadModelConnection(strModelPath);
    strConfigPath = QStringLiteral("Resources/config.xml");
    loadConfigFile();
    if (pLanguage)
        pLanguage->apply(getOption(QStringLiteral("language")));

    ui->setupUi(this);
    setTitle();
    setWindowIcon(QIcon(QStringLiteral("Resources/Images/apptitle.png")));
    ui->action_exit->setIcon(QIcon(QString::fromUtf8("Resources/Images/关闭.png")));
    ui->action_baseView->setIcon(QIcon(QString::fromUtf8("Resources/Images/基础数据.png")));
    ui->action_appView->setIcon(QIcon(QString::fromUtf8("Resources/Images/计算数据.png")));
    ui->action_extendView->setIcon(QIcon(QString::fromUtf8("Resources/Images/数据拓展.png")));
    ui->action_nodeDispView->setIcon(QIcon(QString::fromUtf8("Resources/Images/3D.png")));
    ui->action_magCaliView->setIcon(QIcon(QString::fromUtf8("Resources/Images/3D_mag.png")));

    pToolBarDevice = new ToolBarDeviceOperation(this);
    addToolBar(Qt::TopToolBarArea, pToolBarDevice->toolBar());
    pToolBarFile = new ToolBarFileOperation(getOption(QStringLiteral("savepath")), this);
    addToolBar(Qt::TopToolBarArea, pToolBarFile->getToolBar());

    pMainView = new MainView(this);
    setCentralWidget(pMainView);

    pDockDeviceList = new DockDeviceList(this);
    pDockDeviceList->setAllowedAreas(Qt::LeftDockWidgetArea | Qt::RightDockWidgetArea);
    pDockDeviceList->setFloating(false);
    addDockWidget(Qt::LeftDockWidgetArea, pDockDeviceList);
    pDockDebugInfo = new DockDebugInfo(this);
    pDockDebugInfo->setAllowedAreas(Qt::AllDockWidgetAreas);
    pDockDebugInfo->setFloating(false);
    addDockWidget(Qt::BottomDockWidgetArea, pDockDebugInfo);
    resizeDocks({pDockDeviceList}, {282}, Qt::Horizontal);
    resizeDocks({pDockDebugInfo}, {177}, Qt::Vertical);

    connect(ui->Preferences, &QAction::triggered, this, &Strideloom::OnClickPreferences);
    connect(ui->action_deviceList, &QAction::triggered, this, &Strideloom::slotDeviceList);
    connect(pDockDeviceList, &DockDeviceList::sigCloseWindow, this, &Strideloom::slotDeviceList);
    connect(ui->action_debuginfo, &QAction::triggered, this, &Strideloom::slotDebugInfo);
    connect(pDockDebugInfo, &DockDebugInfo::sigCloseWindow, this, &Strideloom::slotDebugInfo);
    connect(ui->action_exit, &QAction::triggered, this, &Strideloom::OnClickExist);
    connect(ui->action_open, &QAction::triggered, this, &Strideloom::OnClickOpenFile);
    connect(ui->action_baseView, &QAction::triggered, this, &Strideloom::OnClickBaseView);
    connect(ui->action_appView, &QAction::triggered, this, &Strideloom::OnClickAppView);
    connect(ui->action_extendView, &QAction::triggered, this, &Strideloom::OnClickExtendView);
    connect(ui->action_nodeDispView, &QAction::triggered, this, &Strideloom::OnClickNodeDispView);
    connect(ui->action_magCaliView, &QAction::triggered, this, &Strideloom::OnClickMagCaliView);
    connect(ui->action_onlineHelp, &QAction::triggered, this, &Strideloom::OnClickOnlineHelp);
    connect(ui->action_about, &QAction::triggered, this, &Strideloom::OnClickAbout);
    connect(pDockDeviceList, &DockDeviceList::UpdateSelectDevItem, pToolBarFile, &ToolBarFileOperation::SetExportIcon);
    connect(pToolBarFile, &ToolBarFileOperation::sigSaveDataToFile, pDockDeviceList, &DockDeviceList::SaveDataToFile);
    connect(pToolBarFile, &ToolBarFileOperation::sigPathChosen, this,
            [this](const QString& path) { setOption(QStringLiteral("savepath"), path); });
    pDockDeviceList->setNodeNameSource([this](int type) { return nodeNameForType(type); });
    pDockDeviceList->setExportSettingsSource([this] {
        ExportSettings s;
        loadExportSettings(s);
        return s;
    });
    connect(pMainView, &MainView::sigDebugInfo, pDockDebugInfo, &DockDebugInfo::slotAddDebugInfo);

    qRegisterMetaType<FrameData>("FrameData");
    qRegisterMetaType<_device_config>("DevConf");
    qRegisterMetaType<SensorFrame>("SensorFrame");
    qRegisterMetaType<MotionCaptureSuit_Property>("MotionCaptureSuit_Property");
    qRegisterMetaType<uint32_t>("uint32_t");

    pDevice = new SLDevice;
    pDevice->SetExtraPorts(getOption(QStringLiteral("extraports")).split(QLatin1Char(';'), Qt::SkipEmptyParts));
    pDockDeviceList->setServices(pDevice, pMainView);
    QObject* lib = pDevice->getDevObj();
    connect(lib, SIGNAL(sigNewReadFrameData(QString, FrameData*)), pDockDeviceList,
            SLOT(AppReadFrameData(QString, FrameData*)), Qt::DirectConnection);
    connect(lib, SIGNAL(sigAutoCheckComplete()), pDockDeviceList, SLOT(AppAutoCheckComplete()));
    connect(lib, SIGNAL(sigCmdResponded_CMDSTATUS(QString, bool)), pDockDeviceList,
            SLOT(APPCmdResponded_CMDSTATUS(QString, bool)));
    connect(lib, SIGNAL(sigCmdResponded_CONFIG(QString, DevSetting&)), pDockDeviceList,
            SLOT(APPCmdResponded_CONFIG(QString, DevSetting&)));
    connect(lib, SIGNAL(sigCmdResponded_REQMAG(QString, bool)), pDockDeviceList,
            SLOT(APPCmdResponded_MAGSTATUS(QString, bool)));

    pDiscoveryProgress = new QProgressBar(this);
    pDiscoveryProgress->setRange(0, 100);
    pDiscoveryProgress->setMaximumWidth(240);
    pDiscoveryProgress->setVisible(false);
    statusBar()->addPermanentWidget(pDiscoveryProgress);
    connect(pToolBarDevice->checkSerialAction(), &QAction::triggered, this, &Strideloom::onDiscoveryStarted);
    connect(lib, SIGNAL(sigAutoCheckProcess(int)), this, SLOT(onDiscoveryProgress(int)));
    connect(lib, SIGNAL(sigAutoCheckComplete()), this, SLOT(onDiscoveryComplete()));

    Tab3DWidget_mag* magPage = pMainView->pageMag();
    pMainView->setDevice(pDevice);
    pMagWriter = new MagResultWriter(
        pDevice, [this](const QString& key, int type) { return pDockDeviceList->recordForKey(key, type); }, this);
    magPage->setResultWriter(pMagWriter);
    connect(pDockDeviceList, &DockDeviceList::sigCmdResponse_config, pMagWriter, &MagResultWriter::onConfigRead);
    connect(pDockDeviceList, &DockDeviceList::sigDeviceRemoved, pMagWriter, &MagResultWriter::onDeviceRemoved);
    connect(lib, SIGNAL(sigCmdResponded_WRITECONFIG(QString, bool)), pMagWriter, SLOT(onWriteResult(QString, bool)));
    // Queued: the box is modal and the writer must finish its step first.
    connect(pMagWriter, &MagResultWriter::sigFailed, this, &Strideloom::onMagResultFailed, Qt::QueuedConnection);
    connect(pDockDeviceList, &DockDeviceList::sigCmdResponse_magStatus, magPage,
            &Tab3DWidget_mag::slotUpdateMagStansardStatus);
    connect(magPage, &Tab3DWidget_mag::sigCheckNodeMagStatus, pDockDeviceList, &DockDeviceList::onCheckmagStatus);
    connect(magPage, &Tab3DWidget_mag::sigClearNodeMag, pDockDeviceList, &DockDeviceList::onClearMag);

    pUsb = new kvusb(nullptr);
    connect(pUsb, SIGNAL(newSuitCreated(MotionCaptureSuit_Property, uint32_t)), this,
            SLOT(onNewSuitCreated(MotionCaptureSuit_Property, uint32_t)));
    statusBar()->addPermanentWidget(new UsbStatusLabel(pUsb, statusBar()));
    startStreaming();
    pUsb->initUSB();
    connectSuitPage();

    pUpdateThread = new UpdateUIThread;
    connect(pUpdateThread, &UpdateUIThread::updateUI, this, &Strideloom::updateMainViewUI);
    pUpdateThread->start(QThread::NormalPriority);
}

Strideloom::~Strideloom()
{
    delete pMagWriter;
    pMagWriter = nullptr;
    delete pDevice;
    pDevice = nullptr;
    // The suit page reads the library's suits and closes its BVH files first.
    pMainView->pageSuit()->setSuitLookup(nullptr);
    delete pUsb;
    pUsb = nullptr;
    delete pStreaming;
    pStreaming = nullptr;
    pUpdateThread->stop();
    delete pUpdateThread;
    pUpdateThread = nullptr;
    // The view shows plots that the records own: let it forget them first.
    pMainView->clearCurrentDevice();
    delete pDockDeviceList;
    pDockDeviceList = nullptr;
    delete pDockDebugInfo;
    pDockDebugInfo = nullptr;
    delete pMainView;
    pMainView = nullptr;
    mapOptions.clear();
    mapNodeNames.clear();
}

void Strideloom::connectSuitPage()
{
    TabSuitWidget* page = pMainView->pageSuit();
    const SkeletonFile::Result model = SkeletonFile::read(strModelPath);
    if (!model.error.isEmpty())
        qWarning("%s", qPrintable(model.error));
    page->setSkeleton(model.skeleton, model.error);
    page->setSuitLookup([this](unsigned n) { return pUsb ? pUsb->getMotionCaptureSuit(n) : nullptr; });
    // Named and placed like the recordings: the toolbar's directory and the file name option.
    page->setBvhTarget(
        [this](const QDateTime& start, unsigned suit) {
            const QString dir = pToolBarFile->pathCombo()->currentText();
            if (dir.trimmed().isEmpty() || !QDir().mkpath(dir))
                return QString();
            QString name = getOption(QStringLiteral("filename"));
            if (name.isEmpty())
                name = ConfigFile::defaultExportSettings().filename;
            return SuitCapture::fileNameFor(dir, name, start, suit);
        },
        // The option file is read again at every start (nothing in the
        // program sets this option): an edit counts from the next recording on.
        [this] {
            bool ok = false;
            ConfigFile::Options now;
            const QString frameOption = ConfigFile::read(strConfigPath, &now) ? now[QStringLiteral("bvhframetime")]
                                                                              : getOption(QStringLiteral("bvhframetime"));
            const double frameTime = SuitCapture::frameTimeFromOption(frameOption, &ok);
            if (!ok && !frameOption.isEmpty())
                qWarning("option bvhframetime \"%s\" is not a number of seconds from 0.001 to 1; using 1/60 s",
                         qPrintable(frameOption));
            return frameTime;
        });
}

void Strideloom::loadModelConnection(const QString& path)
{
    ModelConnectionFile::read(path, &mapNodeNames);
}

QString Strideloom::nodeNameForType(int type)
{
    return mapNodeNames[type];
}

void Strideloom::onNewSuitCreated(MotionCaptureSuit_Property, uint32_t suitNumber)
{
    // The library may already be gone when this arrives during shutdown.
    MotionCaptureSuit* suit = pUsb ? pUsb->getMotionCaptureSuit(suitNumber) : nullptr;
    if (!suit)
        return;
    connect(suit, SIGNAL(newDatafromSuit(SensorFrame)), pDockDeviceList, SLOT(AppReadFrameData(SensorFrame)));
}

void Strideloom::setTitle()
{
    setWindowTitle(QStringLiteral("KORVANT Strideloom ") + QStringLiteral(" ") + QString::fromLatin1(kAppVersion));
}

void Strideloom::showStatus(std::function<QString()> text)
{
    statusText = std::move(text);
    statusBar()->showMessage(statusText());
}

void Strideloom::changeEvent(QEvent* event)
{
    if (event->type() == QEvent::LanguageChange) {
        ui->retranslateUi(this);
        setTitle();
        // Only a message still shown is worded again.
        if (statusText && !statusBar()->currentMessage().isEmpty())
            statusBar()->showMessage(statusText());
    }
    QMainWindow::changeEvent(event);
}

void Strideloom::onDiscoveryStarted()
{
    pDiscoveryProgress->setValue(0);
    pDiscoveryProgress->setVisible(true);
    showStatus([] { return tr("正在查找设备…"); });
}

void Strideloom::onDiscoveryProgress(int percent)
{
    if (percent >= 100)
        return;
    pDiscoveryProgress->setVisible(true);
    pDiscoveryProgress->setValue(percent);
}

void Strideloom::onDiscoveryComplete()
{
    pDiscoveryProgress->setValue(100);
    pDiscoveryProgress->setVisible(false);
    const int found = pDevice ? int(pDevice->GetAllDeviceConfig().size()) : 0;
    showStatus([found] { return tr("查找完成，找到 %n 个串口设备", nullptr, found); });
}

void Strideloom::loadConfigFile()
{
    ConfigFile::read(strConfigPath, &mapOptions);
}

bool Strideloom::saveConfigFile()
{
    // The program never sets the BVH frame time; the file's value, perhaps
    // edited since the start, is kept rather than the one read then.
    ConfigFile::Options onDisk;
    const QString frameTime = QStringLiteral("bvhframetime");
    if (ConfigFile::read(strConfigPath, &onDisk)) {
        if (onDisk.count(frameTime))
            mapOptions[frameTime] = onDisk[frameTime];
        else
            mapOptions.erase(frameTime);
    }
    if (ConfigFile::write(strConfigPath, mapOptions))
        return true;
    qDebug() << "open file fail!";
    return false;
}

QString Strideloom::getOption(const QString& name)
{
    return mapOptions[name];
}

void Strideloom::setOption(const QString& name, const QString& value)
{
    mapOptions[name] = value;
    saveConfigFile();
}

void Strideloom::loadExportSettings(ExportSettings& s)
{
    ConfigFile::addMissingExportOptions(&mapOptions);
    s = ConfigFile::exportSettings(mapOptions);
}

void Strideloom::storeExportSettings(const ExportSettings& s)
{
    ConfigFile::storeExportSettings(s, &mapOptions);
    saveConfigFile();
}

void Strideloom::slotDeviceList()
{
    if (pDockDeviceList->isHidden()) {
        ui->action_deviceList->setChecked(true);
        pDockDeviceList->show();
    } else {
        ui->action_deviceList->setChecked(false);
        pDockDeviceList->hide();
    }
}

void Strideloom::slotDebugInfo()
{
    if (pDockDebugInfo->isHidden()) {
        ui->action_debuginfo->setChecked(true);
        pDockDebugInfo->show();
    } else {
        ui->action_debuginfo->setChecked(false);
        pDockDebugInfo->hide();
    }
}

bool Strideloom::prepareForExit()
{
    // No recorded line is lost to an immediate exit.
    pDockDeviceList->stopRecording();
    const bool suitsOk = pMainView->pageSuit()->stopRecordings();
    std::fflush(nullptr);
    return suitsOk;
}

void Strideloom::OnClickExist()
{
    if (warnOfUnwrittenResults())
        return;
    // A BVH file that could not be finished is logged and fails the exit code.
    ::_exit(prepareForExit() ? 0 : 1);
}

bool Strideloom::warnOfUnwrittenResults()
{
    const QStringList unwritten = pMagWriter ? pMagWriter->unwrittenKeys() : QStringList();
    if (unwritten.isEmpty() || bWarnedUnwritten)
        return false;
    bWarnedUnwritten = true;
    showInfoBox(tr("设备：%1，磁场校准结果尚未写入设备。再次关闭将退出程序，结果不会保存。")
                    .arg(unwritten.join(QStringLiteral(", "))),
                kInfoBoxStyle);
    return true;
}

void Strideloom::OnClickPreferences()
{
    DlgPreferences dlg(pLanguage);
    loadExportSettings(dlg.stcSettings);
    dlg.strLanguage = getOption(QStringLiteral("language"));
    dlg.initFromSettings();
    dlg.setStreamOptions(stream::StreamOptions::fromOptions(mapOptions));
    if (dlg.exec() == QDialog::Accepted) {
        mapOptions[QStringLiteral("language")] = dlg.strLanguage;
        storeExportSettings(dlg.stcSettings);
        applyStreamOptions(dlg);
    }
    qDebug() << "exit";
}

void Strideloom::OnClickOpenFile()
{
    const QString path = QFileDialog::getOpenFileName(this, tr("选择要打开的文件"), QDir::currentPath(),
                                                      QStringLiteral("*.*"));
    if (!path.isEmpty())
        openRecording(path);
}

bool Strideloom::openRecording(const QString& path)
{
    DlgWait wait(tr("加载中，请稍后..."));
    wait.show();
    QString key;
    if (!FileRead::readFileKey(path, key)) {
        wait.close();
        showInfoBox(tr("获取文件信息失败，不能解析此文件！"));
        return false;
    }
    auto* record = new DeviceConfToShow(SOURCE_FILE, 0, key, path);
    FileRead reader(path, &record->stcHistory);
    QThread thread;
    reader.moveToThread(&thread);
    QEventLoop loop;
    connect(this, &Strideloom::sigReadfile, &reader, &FileRead::analysisFile);
    connect(&reader, &FileRead::finished, &loop, &QEventLoop::quit, Qt::QueuedConnection);
    thread.start(QThread::InheritPriority);
    emit sigReadfile();
    loop.exec(QEventLoop::ExcludeUserInputEvents);
    thread.requestInterruption();
    thread.quit();
    thread.wait();
    // Read the outcome first: it also orders the reader thread's work before
    // anything below touches what that thread used.
    const bool loaded = reader.getResult();
    disconnect(this, &Strideloom::sigReadfile, &reader, &FileRead::analysisFile);
    wait.close();
    if (!loaded) {
        delete record;
        showInfoBox(tr("文件加载失败，请重试！"));
        return false;
    }
    record->preparePlayback();
    pDockDeviceList->addDevice(record);
    return true;
}

void Strideloom::updateMainViewUI()
{
    if (pMainView)
        pMainView->refresh();
    // Results of devices that are not shown are written as well.
    if (pMainView && pDockDeviceList)
        for (DeviceConfToShow* r : pDockDeviceList->records())
            pMainView->pageMag()->takeFittedResult(r);
    if (pUpdateThread)
        pUpdateThread->acknowledge();
}

void Strideloom::OnClickBaseView() { pMainView->showPage(MainView::PageBasic); }
void Strideloom::OnClickAppView() { pMainView->showPage(MainView::PageApply); }
void Strideloom::OnClickExtendView() { pMainView->showPage(MainView::PageExtend); }
void Strideloom::OnClickNodeDispView() { pMainView->showPage(MainView::Page3D); }
void Strideloom::OnClickMagCaliView() { pMainView->showPage(MainView::PageMag); }

void Strideloom::OnClickOnlineHelp()
{
    // One guide, in English, whatever the interface language.
    const QString guide = ProgramFiles::find(QStringLiteral("guide/strideloom-guide.html"));
    if (guide.isEmpty()) {
        showInfoBox(tr("找不到随程序安装的用户指南（guide/strideloom-guide.html），请重新安装程序。"));
        return;
    }
    if (!QDesktopServices::openUrl(QUrl::fromLocalFile(guide)))
        showInfoBox(tr("无法打开用户指南：%1").arg(QDir::toNativeSeparators(guide)));
}

void Strideloom::OnClickAbout()
{
    AboutStrideloom dlg(this);
    dlg.exec();
}

QString Strideloom::checkedSerialDevice(const QString& noneText)
{
    const QString key = pDockDeviceList->checkedDeviceKey();
    if (key.isEmpty()) {
        showInfoBox(noneText, kInfoBoxStyle);
        return QString();
    }
    const DeviceConfToShow* r = pDockDeviceList->recordForKey(key);
    _device_config config;
    pDevice->UpdateAllDeviceConfig();
    if (!r || r->nDevType != SOURCE_SERIAL || !pDevice->GetDeviceConfig(key, config)) {
        showInfoBox(tr("设备：%1，不是已连接的串口设备，无法执行该操作!").arg(key), kInfoBoxStyle);
        return QString();
    }
    return key;
}

void Strideloom::onMagResultFailed(QString key, QString text)
{
    //: %1 the device key, %2 what went wrong
    showInfoBox(tr("设备：%1，%2。").arg(key, text), kInfoBoxStyle);
}

void Strideloom::closeEvent(QCloseEvent* event)
{
    if (warnOfUnwrittenResults()) {
        event->ignore();
        return;
    }
    // As the Exit menu: files are finished now, while the suits still send,
    // and one that could not be finished fails the exit code.
    if (!prepareForExit())
        bCloseFailed = true;
    QMainWindow::closeEvent(event);
}

void Strideloom::onShowAccelCalibrate()
{
    const QString key = checkedSerialDevice(tr("请仅勾选一个设备用于加速度校准!"));
    if (key.isEmpty())
        return;
    pDevice->SerialPortCmd_STOPRTTRANS(key);
    CalibrationAccel dlg(key, pDevice, this);
    connect(pDevice->getDevObj(), SIGNAL(sigCmdResponded_ACCELCAL(QString, bool)), &dlg,
            SLOT(slotRecvCMDResponded(QString, bool)));
    dlg.exec();
}

bool Strideloom::onZeroRotate(bool zero)
{
    const QString key = checkedSerialDevice(tr("请仅勾选一个设备用于置零旋转!"));
    if (key.isEmpty())
        return false;
    pDevice->SerialPortCmd_ZEROROTATE(key, zero);
    return true;
}

// Streaming (stream/, StreamingHost): made before the USB library starts so
// that no suit is announced before the station tap listens.
void Strideloom::startStreaming()
{
    std::map<int, QString> names = mapNodeNames;  // read on the USB threads: a copy
    pStreaming = new StreamingHost(nullptr, pDevice, pUsb, pDockDeviceList, statusBar(), [names](int type) {
        const auto it = names.find(type);
        return it == names.end() ? QString() : it->second;
    });
    const stream::StreamOptions o = stream::StreamOptions::fromOptions(mapOptions);
    QString error;
    if (!pStreaming->apply(o, &error)) {
        // A refused option's reason is worded again with the message.
        showStatus([o, error] {
            const QString why = o.validate();
            return tr("流数据设置有误，未启动：%1").arg(why.isEmpty() ? error : why);
        });
    }
}

void Strideloom::applyStreamOptions(const DlgPreferences& dlg)
{
    const stream::StreamOptions o = dlg.streamOptions();
    QString error;
    if (!pStreaming->apply(o, &error)) {
        showInfoBox(tr("流数据设置有误，未更改：%1").arg(error));
        return;
    }
    o.store(&mapOptions);
    saveConfigFile();
}
