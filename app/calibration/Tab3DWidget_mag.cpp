#include "Tab3DWidget_mag.h"
#include "DeviceConfToShow.h"
#include "InfoBox.h"
#include "MagCaliGLWidget.h"
#include "MagResultWriter.h"
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
    ui->progressBar_calcul->setRange(0, 100);
    ui->widget->setStyleSheet(strButtonStyle);
    connect(ui->pushButton_EffectCalculate, &QPushButton::clicked, this, &Tab3DWidget_mag::slotBeginMagCalcul);
    pRetryButton = new QPushButton(tr("重新写入"), ui->widget);
    pRetryButton->setObjectName(QStringLiteral("pushButton_RetryWrite"));
    pRetryButton->setVisible(false);
    ui->horizontalLayout_3->addWidget(pRetryButton);
    connect(pRetryButton, &QPushButton::clicked, this, &Tab3DWidget_mag::slotRetryWrite);
    magStatusText = [] { return tr("未校准"); };
}

Tab3DWidget_mag::~Tab3DWidget_mag() = default;

void Tab3DWidget_mag::resizeEvent(QResizeEvent*)
{
}

void Tab3DWidget_mag::showEvent(QShowEvent* event)
{
    if (!pGLWidget) {
        pGLWidget = new MagCaliGLWidget;
        ui->QVBL_mag3d->addWidget(pGLWidget);
    }
    QWidget::showEvent(event);
}

void Tab3DWidget_mag::changeEvent(QEvent* event)
{
    if (event->type() == QEvent::LanguageChange) {
        ui->retranslateUi(this);
        pRetryButton->setText(tr("重新写入"));
        ui->label_magStatus->setText(magStatusText());
        if (DeviceConfToShow* dev = pMainView ? pMainView->currentDevice() : nullptr)
            updateUI(dev);
    }
    QWidget::changeEvent(event);
}

void Tab3DWidget_mag::slotUpdateMagStansardStatus(bool bStandard)
{
    showMagStatus([bStandard] { return bStandard ? tr("已校准") : tr("未校准"); });
}

void Tab3DWidget_mag::slotBeginMagCalcul()
{
    DeviceConfToShow* dev = pMainView ? pMainView->currentDevice() : nullptr;
    if (!dev)
        return;
    // Another station's device: its calibration belongs to that station.
    if (dev->nDevType == SOURCE_NETWORK) {
        showInfoBox(tr("网络设备：命令和校准只能在其采集站上进行"));
        return;
    }
    // Its write would share the result write's acknowledgement.
    if (pWriter && pWriter->isWriting(dev->strKey)) {
        dev->appendLog(tr("校准结果正在写入设备，请稍候再开始新的校准"));
        return;
    }
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
    // Points are copied only for a view that is on screen.
    if (pGLWidget && isVisible()) {
        pDev->copyMagSamples(&pGLWidget->fRawPts[0][0], &pGLWidget->nRawPts);
        pDev->copyCaliPoints(&pGLWidget->fCaliPts[0][0], &pGLWidget->nCaliPts);
        pDev->copyFitPoints(&pGLWidget->fFitPts[0][0], &pGLWidget->nFitPts);
        pGLWidget->UpdateGlPaint(pDev->eMagCalculType.load());
    }
    updateUI(pDev);
}

QString Tab3DWidget_mag::statusText(bool inForce, const QString& key) const
{
    if (!inForce)
        return tr("未校准");
    // A fitted result counts as the device's calibration only once the
    // device confirmed the write.
    switch (pWriter ? pWriter->stage(key) : MagResultWriter::NoResult) {
    case MagResultWriter::ReadingConfig:
    case MagResultWriter::Writing:
        return tr("正在写入设备...");
    case MagResultWriter::Failed:
        return pWriter->failureText(key);
    default:
        return tr("已校准");
    }
}

void Tab3DWidget_mag::updateUI(DeviceConfToShow* pDev)
{
    if (!pDev)
        return;
    takeFittedResult(pDev);
    const int state = pDev->eMagCalculType.load();
    // Worded again on a language change, when the record may be gone.
    showMagStatus([this, inForce = state == DeviceConfToShow::MagCalcul_Device, key = pDev->strKey] {
        return statusText(inForce, key);
    });
    ui->progressBar_calcul->setValue(pDev->nMagProgress.load());
    ui->pushButton_EffectCalculate->setText(state == DeviceConfToShow::MagCalcul_Collect ? tr("取消") : tr("计算"));
    pRetryButton->setVisible(pWriter && pDev->nDevType == SOURCE_SERIAL && state != DeviceConfToShow::MagCalcul_Collect
                             && pWriter->stage(pDev->strKey) == MagResultWriter::Failed);
}

void Tab3DWidget_mag::showMagStatus(std::function<QString()> text)
{
    magStatusText = std::move(text);
    ui->label_magStatus->setText(magStatusText());
}

void Tab3DWidget_mag::takeFittedResult(DeviceConfToShow* pDev)
{
    if (pDev->eMagCalculType.load() != DeviceConfToShow::MagCalcul_Fitted)
        return;
    if (pWriter)
        pWriter->submit(pDev);
    pDev->setMagCalculType(DeviceConfToShow::MagCalcul_Device);
}

void Tab3DWidget_mag::slotRetryWrite()
{
    DeviceConfToShow* dev = pMainView ? pMainView->currentDevice() : nullptr;
    if (dev && pWriter)
        pWriter->retry(dev->strKey);
    if (dev)
        updateUI(dev);
}
