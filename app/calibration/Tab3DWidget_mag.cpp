#include "Tab3DWidget_mag.h"
#include "DeviceConfToShow.h"
#include "MagCaliGLWidget.h"
#include "MainView.h"
#include "SLDevice.h"
#include "ui_Tab3DWidget_mag.h"

#include <QDebug>
#include <cstring>

Tab3DWidget_mag::Tab3DWidget_mag(MainView* view, QWidget* parent)
    : QWidget(parent)
    , ui(new Ui::Tab3DWidget_mag)
    , pMainView(view)
    , strButtonStyle(QStringLiteral(
          "QPushButton{border: 0px;}QPushButton:pressed{margin:2,-2,0,0;border-radius: 4px;}QPushButton:hover{border: "
          "1px solid #535353;border-radius: 4px;background-color: qlineargradient(spread : pad, x1 : 0, y1 : 0, x2 : "
          "1, y2 : 0, stop : 0 rgba(100, 100, 100, 255), stop : 1 rgba(255, 255, 255, 255));}"))
{
    ui->setupUi(this);
    ui->pushButton_EffectCalculate->setIcon(QIcon(QStringLiteral("Resources/Images/magcalcul.png")));
    pGLWidget = new MagCaliGLWidget;
    ui->QVBL_mag3d->addWidget(pGLWidget);
    ui->progressBar_calcul->setRange(0, 100);
    ui->widget->setStyleSheet(strButtonStyle);
    connect(ui->pushButton_EffectCalculate, &QPushButton::clicked, this, &Tab3DWidget_mag::slotBeginMagCalcul);
}

Tab3DWidget_mag::~Tab3DWidget_mag() = default;

void Tab3DWidget_mag::resizeEvent(QResizeEvent*)
{
}

void Tab3DWidget_mag::slotUpdateMagStansardStatus(bool bStandard)
{
    ui->label_magStatus->setText(bStandard ? QString::fromUtf8("已校准") : QString::fromUtf8("未校准"));
}

void Tab3DWidget_mag::slotBeginMagCalcul()
{
    DeviceConfToShow* dev = pMainView ? pMainView->currentDevice() : nullptr;
    if (!dev)
        return;
    _device_setting setting;
    std::memset(&setting, 0, sizeof(setting));
    setting.ctrl[0] = 1;
    if (pDevice)
        pDevice->SerialPortCmd_WRITECONFIG(dev->strKey, setting);
    if (dev->eMagCalculType.load() == DeviceConfToShow::MagCalcul_Collect)
        dev->setMagCalculType(DeviceConfToShow::MagCalcul_Idle);
    else
        dev->setMagCalculType(DeviceConfToShow::MagCalcul_Collect);
    updateUI(dev);
}

void Tab3DWidget_mag::updateData(DeviceConfToShow* pDev)
{
    if (!pDev)
        return;
    pDev->copyMagSamples(&pGLWidget->fRawPts[0][0], &pGLWidget->nRawPts);
    pDev->copyCaliPoints(&pGLWidget->fCaliPts[0][0], &pGLWidget->nCaliPts);
    pDev->copyFitPoints(&pGLWidget->fFitPts[0][0], &pGLWidget->nFitPts);
    pGLWidget->UpdateGlPaint(pDev->eMagCalculType.load());
    updateUI(pDev);
}

void Tab3DWidget_mag::updateUI(DeviceConfToShow* pDev)
{
    if (!pDev)
        return;
    const int state = pDev->eMagCalculType.load();
    ui->label_magStatus->setText(state == DeviceConfToShow::MagCalcul_Device ? QString::fromUtf8("已校准")
                                                                              : QString::fromUtf8("未校准"));
    ui->progressBar_calcul->setValue(pDev->nMagProgress.load());
    ui->pushButton_EffectCalculate->setText(state == DeviceConfToShow::MagCalcul_Collect ? QString::fromUtf8("取消")
                                                                                       : QString::fromUtf8("计算"));
    if (state == DeviceConfToShow::MagCalcul_Fitted) {
        writeMagCalibration(pDev);
        pDev->setMagCalculType(DeviceConfToShow::MagCalcul_Device);
    }
}

void Tab3DWidget_mag::writeMagCalibration(DeviceConfToShow* pDev)
{
    _device_setting setting = pDev->stcSetting;
    setting.ctrl[0] = static_cast<uint8_t>((setting.ctrl[0] & 0xFC) | 0x04);
    pDev->getMagCalibration(setting.cal[2].matrix, setting.cal[2].bias);
    auto num = [](float v) { return QString::number(double(v), 'g', 6); };
    auto triple = [&num](const float* v) { return num(v[0]) + " " + num(v[1]) + " " + num(v[2]); };
    pDev->appendLog(QStringLiteral("update mag offset:"));
    pDev->appendLog(triple(setting.cal[2].bias));
    pDev->appendLog(QStringLiteral("update mag matrix:"));
    for (int row = 0; row < 3; ++row)
        pDev->appendLog(triple(setting.cal[2].matrix + 3 * row));
    qDebug().noquote() << "----------send--------------";
    qDebug().noquote() << " -bias:" << triple(setting.cal[2].bias);
    for (int row = 0; row < 3; ++row)
        qDebug().noquote() << " -scall:" << triple(setting.cal[2].matrix + 3 * row);
    qDebug().noquote() << "----------send--------------";
    if (pDevice)
        pDevice->SerialPortCmd_WRITECONFIG(pDev->strKey, setting);
}
