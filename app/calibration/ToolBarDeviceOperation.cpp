#include "ToolBarDeviceOperation.h"
#include "SLDevice.h"
#include "Strideloom.h"

#include "WindowsPathIcon.h"

#include <QAction>
#include <QDebug>
#include <QToolBar>

ToolBarDeviceOperation::ToolBarDeviceOperation(Strideloom* window)
    : QObject(window)
    , pMainWindow(window)
{
    pToolBar = new QToolBar(QString::fromUtf8("设备管理工具"));
    pToolBar->setIconSize(QSize(24, 24));
    actCheckSerial = new QAction(iconFromWindowsPath(".\\Resources\\Images\\CheckSerialDevice.png"), QString::fromUtf8("查找设备"));
    actAccelCal = new QAction(iconFromWindowsPath(".\\Resources\\Images\\accelcal.png"), QString::fromUtf8("加速度计校准"));
    actZeroRotate = new QAction(iconFromWindowsPath(".\\Resources\\Images\\zerorotate.png"), QString::fromUtf8("置零旋转"));
    actZeroRotate->setCheckable(true);
    pToolBar->addAction(actCheckSerial);
    pToolBar->addAction(actAccelCal);
    pToolBar->addAction(actZeroRotate);
    connect(actCheckSerial, &QAction::triggered, this, &ToolBarDeviceOperation::CheckSerialDevice);
    connect(actAccelCal, &QAction::triggered, this, &ToolBarDeviceOperation::CalibrationAccel);
    connect(actZeroRotate, &QAction::triggered, this, &ToolBarDeviceOperation::ZeroRotate);
}

ToolBarDeviceOperation::~ToolBarDeviceOperation()
{
    delete actCheckSerial;
    delete actAccelCal;
    delete actZeroRotate;
    delete pToolBar.data();
}

void ToolBarDeviceOperation::CheckSerialDevice()
{
    pMainWindow->device()->AutoCheckDevice();
}

void ToolBarDeviceOperation::CalibrationAccel()
{
    pMainWindow->onShowAccelCalibrate();
}

void ToolBarDeviceOperation::ZeroRotate(bool isSel)
{
    qDebug() << "Zero :" << isSel;
    const bool ok = pMainWindow->onZeroRotate(isSel);
    actZeroRotate->setChecked(ok ? isSel : !isSel);
}
