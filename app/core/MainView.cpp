#include "MainView.h"
#include "DeviceConfToShow.h"
#include "Tab3DWidget.h"
#include "Tab3DWidget_mag.h"
#include "TabApplyDataWidget.h"
#include "TabBasicDataWidget.h"
#include "TabExtendDataWidget.h"
#include "TabSuitWidget.h"
#include "kvplot2d.h"
#include "ui_MainView.h"

#include <QEvent>
#include <QIntValidator>

MainView::MainView(QWidget* parent)
    : QWidget(parent)
    , ui(new Ui::MainView)
    , iconPlay(QStringLiteral("Resources/Images/playfile.png"))
    , iconPause(QStringLiteral("Resources/Images/pausefile.png"))
    , strButtonBarStyle(QStringLiteral(
          "QPushButton{border: 0px;}QPushButton:hover{border: 1px solid #535353;border - radius: 4px;background - "
          "color: qlineargradient(spread : pad, x1 : 0, y1 : 0, x2 : 1, y2 : 0, stop : 0 rgba(100, 100, 100, 255), "
          "stop : 1 rgba(255, 255, 255, 255));}"))
    , strSelectedStyle(QStringLiteral("border: 1px solid gray;\tborder-radius: 4px; background-color:rgb(225,225,225)"))
{
    ui->setupUi(this);
    ui->widgetButtonBar->setStyleSheet(strButtonBarStyle);
    const struct { QPushButton* button; const char* icon; } bar[] = {
        {ui->ButtonToBasicData, "Resources/Images/基础数据.png"},
        {ui->ButtonToAppData, "Resources/Images/计算数据.png"},
        {ui->ButtonToExtData, "Resources/Images/数据拓展.png"},
        {ui->ButtonTo3D, "Resources/Images/3D.png"},
        {ui->ButtonTo3D_mag, "Resources/Images/3D_mag.png"},
        {ui->ButtonToSuit, "Resources/Images/suit.png"},
    };
    for (const auto& b : bar) {
        b.button->setIcon(QIcon(QString::fromUtf8(b.icon)));
        buttons << b.button;
    }
    pTabBasic = new TabBasicDataWidget(this);
    pTabApply = new TabApplyDataWidget(this);
    pTabExtend = new TabExtendDataWidget(this);
    pTab3D = new Tab3DWidget(this);
    ui->TabWidgetShowData->addTab(pTabBasic, QStringLiteral("BasData"));
    ui->TabWidgetShowData->addTab(pTabApply, QStringLiteral("AppData"));
    ui->TabWidgetShowData->addTab(pTabExtend, QStringLiteral("ExtData"));
    ui->TabWidgetShowData->addTab(pTab3D, QStringLiteral("3D"));
    pTabMag = new Tab3DWidget_mag(this, this);
    ui->TabWidgetShowData->addTab(pTabMag, QStringLiteral("3Dmag"));
    pTabSuit = new TabSuitWidget(this);
    ui->TabWidgetShowData->addTab(pTabSuit, QStringLiteral("Suit"));

    connect(ui->ButtonToBasicData, &QPushButton::clicked, this, &MainView::OnClickButtonBasData);
    connect(ui->ButtonToAppData, &QPushButton::clicked, this, &MainView::OnClickButtonAppData);
    connect(ui->ButtonToExtData, &QPushButton::clicked, this, &MainView::OnClickButtonExtData);
    connect(ui->ButtonTo3D, &QPushButton::clicked, this, &MainView::OnClickButton3D);
    connect(ui->ButtonTo3D_mag, &QPushButton::clicked, this, &MainView::OnClickButton3D_mag);
    connect(ui->ButtonToSuit, &QPushButton::clicked, this, &MainView::OnClickButtonSuit);
    ui->lineEdit_playBegin->setValidator(new QIntValidator(0, 1410065407, this));
    ui->horizontalSlider_play->setRange(0, 10000);
    ui->horizontalSlider_play->setTickInterval(100);
    connect(ui->pushButton_playPause, &QPushButton::clicked, this, &MainView::slotPlayBtn);
    connect(ui->lineEdit_playBegin, &QLineEdit::editingFinished, this, &MainView::slotPlayEPosReturnPressed);
    connect(ui->horizontalSlider_play, &QSlider::sliderPressed, this, &MainView::slotSliderPressed);
    connect(ui->horizontalSlider_play, &QSlider::sliderReleased, this, &MainView::slotSliderRelease);
    connect(ui->horizontalSlider_play, &QSlider::sliderMoved, this, &MainView::slotSliderMove);
    disablePlayControls();
    showPage(PageBasic);
}

namespace {

int sliderFor(int pos, int count)
{
    return count > 0 ? int(qint64(pos) * 10000 / count) : 0;
}

} // namespace

void MainView::enablePlayControls()
{
    ui->pushButton_playPause->setEnabled(true);
    ui->lineEdit_playBegin->setEnabled(true);
    ui->horizontalSlider_play->setEnabled(true);
    ui->pushButton_playPause->setIconSize(QSize(30, 30));
    ui->lineEdit_playBegin->setText(QString::number(pCurDevice->nPlayPos));
    ui->lineEdit_playEnd->setText(QString::number(pCurDevice->nFrameCount));
    ui->horizontalSlider_play->setValue(sliderFor(pCurDevice->nPlayPos, pCurDevice->nFrameCount));
    showPlayState(pCurDevice->bPlaying);
}

void MainView::showPlayState(bool playing)
{
    ui->pushButton_playPause->setIcon(playing ? iconPause : iconPlay);
    ui->pushButton_playPause->setToolTip(playing ? tr("暂停回放") : tr("回放"));
}

void MainView::changeEvent(QEvent* event)
{
    if (event->type() == QEvent::LanguageChange) {
        ui->retranslateUi(this);
        showPlayState(pCurDevice && pCurDevice->nDevType == SOURCE_FILE && pCurDevice->bPlaying);
    }
    QWidget::changeEvent(event);
}

void MainView::disablePlayControls()
{
    showPlayState(false);
    ui->pushButton_playPause->setIconSize(QSize(30, 30));
    ui->lineEdit_playBegin->setText(QStringLiteral("0"));
    ui->lineEdit_playEnd->setText(QStringLiteral("0"));
    ui->horizontalSlider_play->setValue(0);
    ui->pushButton_playPause->setEnabled(false);
    ui->lineEdit_playBegin->setEnabled(false);
    ui->horizontalSlider_play->setEnabled(false);
}

void MainView::updatePlayPosition()
{
    if (!pCurDevice || !pCurDevice->bPlaying)
        return;
    ui->lineEdit_playBegin->setText(QString::number(pCurDevice->nPlayPos));
    ui->horizontalSlider_play->setValue(sliderFor(pCurDevice->nPlayPos, pCurDevice->nFrameCount));
}

void MainView::slotPlayBtn()
{
    DeviceConfToShow* r = pCurDevice;
    if (!r)
        return;
    if (r->bPlaying) {
        r->bPlaying = false;
        r->timerPlay.stop();
        showPlayState(false);
    } else {
        r->bPlaying = true;
        r->timerPlay.start(10);
        showPlayState(true);
    }
    ui->pushButton_playPause->setIconSize(QSize(30, 30));
}

void MainView::slotPlayEPosReturnPressed()
{
    DeviceConfToShow* r = pCurDevice;
    if (!r)
        return;
    const int v = ui->lineEdit_playBegin->text().toInt();
    if (v < 0 || v > r->nFrameCount) {
        ui->lineEdit_playBegin->setText(QString::number(r->nPlayPos));
    } else {
        r->nPlayPos = v;
        ui->horizontalSlider_play->setValue(sliderFor(v, r->nFrameCount));
    }
    r->updatePlayWindow();
}

void MainView::slotSliderPressed()
{
    if (pCurDevice && pCurDevice->bPlaying)
        pCurDevice->timerPlay.stop();
}

void MainView::slotSliderRelease()
{
    DeviceConfToShow* r = pCurDevice;
    if (!r)
        return;
    r->nPlayPos = int(qint64(ui->horizontalSlider_play->value()) * r->nFrameCount / 10000);
    ui->lineEdit_playBegin->setText(QString::number(r->nPlayPos));
    if (r->bPlaying)
        r->timerPlay.start(10);
    r->updatePlayWindow();
}

void MainView::slotSliderMove(int nPos)
{
    DeviceConfToShow* r = pCurDevice;
    if (!r)
        return;
    r->nPlayPos = int(qint64(r->nFrameCount) * nPos / 10000);
    ui->lineEdit_playBegin->setText(QString::number(r->nPlayPos));
    r->updatePlayWindow();
}

MainView::~MainView() = default;

void MainView::showPage(int page)
{
    ui->TabWidgetShowData->setCurrentIndex(page);
    for (int i = 0; i < buttons.size(); ++i)
        buttons[i]->setStyleSheet(i == page ? strSelectedStyle : QString());
}

int MainView::currentPage() const
{
    return ui->TabWidgetShowData->currentIndex();
}

void MainView::OnClickButtonBasData() { showPage(PageBasic); }
void MainView::OnClickButtonAppData() { showPage(PageApply); }
void MainView::OnClickButtonExtData() { showPage(PageExtend); }
void MainView::OnClickButton3D() { showPage(Page3D); }
void MainView::OnClickButton3D_mag() { showPage(PageMag); }
void MainView::OnClickButtonSuit() { showPage(PageSuit); }

void MainView::setDevice(SLDevice* device)
{
    pTabMag->setDevice(device);
}

void MainView::setCurrentDevice(DeviceConfToShow* r)
{
    pCurDevice = r;
    if (!r) {
        clearCurrentDevice();
        return;
    }
    pTabBasic->setAccelPlot(r->pPlotAccel->getPlotWidget());
    pTabBasic->setGyroPlot(r->pPlotGyro->getPlotWidget());
    pTabBasic->setMagPlot(r->pPlotMag->getPlotWidget());
    pTabApply->setQuatPlot(r->pPlotQuat->getPlotWidget());
    pTabApply->setEulerPlot(r->pPlotEuler->getPlotWidget());
    pTabApply->setLinearAccelPlot(r->pPlotLAccel->getPlotWidget());
    pTabExtend->setPressurePlot(r->pPlotPressure->getPlotWidget());
    pTabExtend->setAltitudePlot(r->pPlotAltitude->getPlotWidget());
    pTabExtend->setTemperaturePlot(r->pPlotTemperature->getPlotWidget());
    pTabMag->updateUI(r);
    pTabSuit->setCurrentDevice(r);
    if (r->nDevType == SOURCE_FILE)
        enablePlayControls();
    else
        disablePlayControls();
}

void MainView::clearCurrentDevice()
{
    pCurDevice = nullptr;
    pTabSuit->setCurrentDevice(nullptr);
    disablePlayControls();
    pTabBasic->clearPlots();
    pTabApply->clearPlots();
    pTabExtend->clearPlots();
}

void MainView::refresh()
{
    if (!pCurDevice)
        return;
    const FrameData f = pCurDevice->frame();
    const double basic[9] = {f.accel[0], f.accel[1], f.accel[2], f.gyro[0], f.gyro[1],
                             f.gyro[2],  f.mag[0],   f.mag[1],   f.mag[2]};
    pTabBasic->updateValues(basic);
    const double applied[7] = {f.quat[0], f.quat[1], f.quat[2], f.quat[3], f.euler[0], f.euler[1], f.euler[2]};
    pTabApply->updateValues(applied);
    pTab3D->updateOrientation(f.quat[1], f.quat[2], f.quat[3], f.quat[0]);
    pTabMag->updateData(pCurDevice);
    pTabSuit->refresh();
    emit sigDebugInfo(pCurDevice->getLogList(), true);
    if (pCurDevice->nDevType == SOURCE_FILE)
        updatePlayPosition();
}
