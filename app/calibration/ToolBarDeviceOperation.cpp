#include "ToolBarDeviceOperation.h"
#include "SLDevice.h"
#include "Strideloom.h"

#include "WindowsPathIcon.h"

#include <QAction>
#include <QDebug>
#include <QEvent>
#include <QToolBar>

ToolBarDeviceOperation::ToolBarDeviceOperation(Strideloom* window)
    : QObject(window)
    , pMainWindow(window)
{
    pToolBar = new QToolBar;
    pToolBar->setIconSize(QSize(24, 24));
    actCheckSerial = new QAction(iconFromWindowsPath(".\\Resources\\Images\\CheckSerialDevice.png"), QString());
    actAccelCal = new QAction(iconFromWindowsPath(".\\Resources\\Images\\accelcal.png"), QString());
    actZeroRotate = new QAction(iconFromWindowsPath(".\\Resources\\Images\\zerorotate.png"), QString());
    actZeroRotate->setCheckable(true);
    setTexts();
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

void ToolBarDeviceOperation::setTexts()
{
    pToolBar->setWindowTitle(tr("设备管理工具"));
    actCheckSerial->setText(tr("查找设备"));
    actCheckSerial->setToolTip(tr("查找设备：在所有串口上以五种波特率查找串口设备"));
    actAccelCal->setText(tr("加速度计校准"));
    actAccelCal->setToolTip(tr("加速度计校准：六面校准向导，用于勾选的一个串口设备"));
    actZeroRotate->setText(tr("置零旋转"));
    actZeroRotate->setToolTip(tr("置零旋转：以勾选设备的当前姿态为参考；再按一次回到世界参考"));
}

bool ToolBarDeviceOperation::event(QEvent* event)
{
    if (event->type() == QEvent::LanguageChange && pToolBar)
        setTexts();
    return QObject::event(event);
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
