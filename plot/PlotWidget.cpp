#include "PlotWidget.h"
#include "PlotCurve.h"
#include "PlotData.h"
#include "PlotSeriesData.h"
#include "PlotShower.h"
#include "ui_PlotWidget.h"

#include <QEvent>
#include <QSlider>
#include <qwt_legend.h>
#include <qwt_legend_label.h>
#include <qwt_plot_curve.h>

namespace {

constexpr int kReplotMs = 30;
constexpr int kSliderLive = 10000;

const char* kStyle =
    "QWidget{background:transparent;border-radius:10px;}"
    "QSlider::groove:horizontal{height:6px;border-radius:2px;background:#818996;}"
    "QSlider::handle:horizontal{image:url(./Resources/Images/slider.png);margin-top:-8px;margin-bottom:-8px;"
    "border:none;}"
    "QSlider::handle:horizontal:hover{image:url(./Resources/Images/slider.png);}"
    "QSlider::handle:horizontal:pressed{image:url(./Resources/Images/slider.png);}";

} // namespace

QColor PlotWidget::curveColor(int i, int n)
{
    static const int stops[7][3] = {{255, 0, 0},   {255, 0, 255}, {0, 0, 255}, {0, 255, 255},
                                    {0, 255, 0},   {255, 255, 0}, {255, 0, 0}};
    if (i < 0 || i > n || n > 1500)
        return QColor(128, 128, 128);
    const int a = n / 6 + 1;
    const int b = i / a;
    const int r = i % a;
    const int s = 255 / a;
    int rgb[3];
    for (int c = 0; c < 3; ++c) {
        const int d = (b + 1 < 7 && stops[b][c] != stops[b + 1][c]) ? 1 : 0;
        rgb[c] = (i % 2) ? stops[b][c] - d * r * s : stops[b][c] + d * r * s;
        rgb[c] = qBound(0, rgb[c], 255);
    }
    return QColor(rgb[0], rgb[1], rgb[2]);
}

PlotWidget::PlotWidget(const PlotConfig& config, std::shared_ptr<PlotData> data, QWidget* parent)
    : QWidget(parent)
    , ui(new Ui::PlotWidget)
    , historyMode(config.historyMode)
    , curveCount(config.curveCount)
{
    ui->setupUi(this);
    iconPlay = QIcon(QStringLiteral("Resources/Images/play.png"));
    iconStop = QIcon(QStringLiteral("Resources/Images/stop.png"));
    ui->plot_controlBtn->setIcon(iconStop);
    ui->plot_controlBtn->setIconSize(QSize(30, 30));
    showControlTip();
    if (!config.isValid())
        return;

    pData = data ? std::move(data) : std::make_shared<PlotData>(config.curveCount);
    pShower = new PlotShower(pData.get(), this);
    ui->verticalLayout->addWidget(pShower);
    ownerLabel = config.ownerLabel;
    ownerText = config.ownerText;
    ui->ownerLabel->setText(ownerLine());
    pShower->setAxisTitle(QwtPlot::yLeft, config.title);

    QStringList titles;
    for (int i = 0; i < config.curveCount; ++i) {
        const QString& name = config.curveNames[i];
        if (titles.contains(name))
            continue;
        titles << name;
        auto* curve = new PlotCurve(name);
        curve->setPen(curveColor(i, config.curveCount), 0.0, Qt::SolidLine);
        // Aliased one-pixel curves read as clearly as antialiased ones at
        // these sizes and redraw in about two thirds of the time.
        curve->setRenderHint(QwtPlotItem::RenderAntialiased, false);
        curve->setData(new PlotSeriesData(pData.get(), i));
        curve->attach(pShower);
    }

    if (historyMode) {
        pSlider = new QSlider(Qt::Horizontal, this);
        pSlider->setRange(0, kSliderLive);
        pSlider->setValue(kSliderLive);
        pSlider->setTickPosition(QSlider::TicksBothSides);
        ui->verticalLayout->addWidget(pSlider);
    }

    auto* legend = new QwtLegend();
    legend->setDefaultItemMode(QwtLegendData::Checkable);
    pShower->insertLegend(legend, QwtPlot::RightLegend);
    for (QwtPlotItem* item : pShower->itemList(QwtPlotItem::Rtti_PlotCurve)) {
        item->setVisible(true);
        if (auto* label = qobject_cast<QwtLegendLabel*>(legend->legendWidget(pShower->itemToInfo(item))))
            label->setChecked(true);
    }
    connect(legend, SIGNAL(checked(const QVariant&, bool, int)), pShower, SLOT(showItem(const QVariant&, bool)));

    setStyleSheet(QString::fromLatin1(kStyle));

    connect(&timer, &QTimer::timeout, this, &PlotWidget::onReplot);
    connect(ui->plot_controlBtn, &QPushButton::clicked, this, &PlotWidget::onControlBtnClicked);
    if (pSlider)
        connect(pSlider, &QSlider::valueChanged, this, &PlotWidget::onControlSliderMoved);
}

void PlotWidget::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    if (!pData)
        return;
    // Brought up to date at once, axes included, then redrawn with the others.
    pData->takeSnapshot();
    pShower->replot();
    timer.start(kReplotMs);
}

void PlotWidget::hideEvent(QHideEvent* event)
{
    QWidget::hideEvent(event);
    timer.stop();
}

PlotWidget::~PlotWidget() = default;

void PlotWidget::addDataFrame(const double* values)
{
    if (!pData)
        return;
    if (historyMode)
        pData->pushWithHistory(values);
    else if (!paused.load(std::memory_order_relaxed))
        pData->push(values);
}

void PlotWidget::setYRange(double min, double max)
{
    if (pShower)
        pShower->setYRange(min, max);
}

void PlotWidget::onReplot()
{
    // Redraw only what changed since the last tick.
    if (pData && pData->takeSnapshot())
        pShower->redrawCanvas();
}

void PlotWidget::applyPausedState(bool nowPaused)
{
    paused.store(nowPaused);
    if (nowPaused) {
        ui->plot_controlBtn->setIcon(iconPlay);
        timer.stop();
    } else {
        ui->plot_controlBtn->setIcon(iconStop);
        timer.start(kReplotMs);
    }
    ui->plot_controlBtn->setIconSize(QSize(30, 30));
    showControlTip();
}

QString PlotWidget::ownerLine() const
{
    //: The plot's header: label and device key.
    return tr("%1：%2").arg(ownerLabel, ownerText);
}

void PlotWidget::showControlTip()
{
    ui->plot_controlBtn->setToolTip(ui->plot_controlBtn->isChecked() ? tr("继续显示最新数据") : tr("暂停显示"));
}

void PlotWidget::changeEvent(QEvent* event)
{
    if (event->type() == QEvent::LanguageChange) {
        ui->retranslateUi(this);
        if (pData)
            ui->ownerLabel->setText(ownerLine());
        showControlTip();
    }
    QWidget::changeEvent(event);
}

void PlotWidget::onControlBtnClicked()
{
    applyPausedState(ui->plot_controlBtn->isChecked());
    if (historyMode && pSlider)
        pSlider->setValue(kSliderLive);
}

void PlotWidget::onControlSliderMoved(int value)
{
    if (value == kSliderLive || !pData)
        return;
    ui->plot_controlBtn->setChecked(true);
    applyPausedState(true);
    // 64-bit: a long recording times 10000 overflows 32 bits.
    const uint64_t stored = pData->historySize();
    const uint64_t skip = uint64_t(value) * stored / uint64_t(kSliderLive);
    pData->showHistory(size_t(skip));
    pData->takeSnapshot();
    pShower->replot();
}
