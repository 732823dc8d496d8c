#include "PlotShower.h"
#include "PlotCanvas.h"
#include "PlotData.h"
#include "PlotSeriesData.h"

#include <QPen>
#include <algorithm>
#include <cmath>
#include <limits>
#include <qwt_plot_curve.h>
#include <qwt_plot_grid.h>
#include <qwt_plot_magnifier.h>
#include <qwt_plot_marker.h>
#include <qwt_plot_panner.h>
#include <qwt_plot_zoomer.h>

PlotShower::PlotShower(PlotData* data, QWidget* parent)
    : QwtPlot(parent)
    , pData(data)
{
    if (objectName().isEmpty())
        setObjectName(QStringLiteral("PlotShower"));
    resize(735, 432);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
    setWindowTitle(QStringLiteral("PlotShower"));
    setAutoFillBackground(true);
    QPalette pal = palette();
    pal.setColor(QPalette::Window, QColor(80, 80, 80));
    setPalette(pal);
    setStyleSheet(QStringLiteral("background-color:transparent"));

    setAxisScale(QwtPlot::xBottom, 0, 1000, 100);
    setAxisScale(QwtPlot::yLeft, -1, 1);

    auto* canvas = new PlotCanvas();
    canvas->setObjectName(QStringLiteral("PlotCanvas"));
    canvas->setLineWidth(1);
    canvas->setFrameStyle(QFrame::Box | QFrame::Plain);
    canvas->setBorderRadius(1);
    QPalette canvasPal = canvas->palette();
    canvasPal.setColor(QPalette::Window, QColor(80, 80, 80));
    canvas->setPalette(canvasPal);
    setCanvas(canvas);

    pZoomer = new QwtPlotZoomer(canvas, true);
    pZoomer->setRubberBandPen(QColor(Qt::blue));
    pZoomer->setMousePattern(QwtEventPattern::MouseSelect3, Qt::RightButton);
    pZoomer->setMousePattern(QwtEventPattern::MouseSelect1, Qt::LeftButton, Qt::ControlModifier);

    pPanner = new QwtPlotPanner(canvas);
    pPanner->setAxisEnabled(QwtPlot::xBottom, false);

    auto* grid = new QwtPlotGrid();
    QPen major(Qt::black, 0, Qt::DotLine, Qt::SquareCap, Qt::BevelJoin);
    QPen minor(Qt::gray, 0, Qt::DotLine, Qt::SquareCap, Qt::BevelJoin);
    grid->setMajorPen(major);
    grid->setMinorPen(minor);
    grid->attach(this);

    pMagnifier = new QwtPlotMagnifier(canvas);
    pMagnifier->setAxisEnabled(QwtPlot::xBottom, false);

    auto* zero = new QwtPlotMarker();
    zero->setLineStyle(QwtPlotMarker::HLine);
    zero->setYValue(0.0);
    zero->setLabel(QwtText(QStringLiteral("y = 0")));
    zero->setLabelAlignment(Qt::AlignRight | Qt::AlignTop);
    // Beneath the curves (z 20; Qwt's default for markers is above them), so
    // that it belongs to the canvas's kept backdrop.
    zero->setZ(10);
    zero->attach(this);
}

void PlotShower::showItem(const QVariant& itemInfo, bool on)
{
    if (QwtPlotItem* item = infoToItem(itemInfo)) {
        item->setVisible(on);
        replot();
    }
}

void PlotShower::setYRange(double min, double max)
{
    setAxisScale(QwtPlot::yLeft, min, max);
    // The zoomer's base is the scale it saw when it was made; without this
    // un-zooming would snap back to that range.
    updateAxes();
    pZoomer->setZoomBase(false);
}

void PlotShower::replot()
{
    if (auto* c = dynamic_cast<PlotCanvas*>(canvas())) {
        c->invalidateBackdrop();
        c->forgetBand();
    }
    QwtPlot::replot();
}

void PlotShower::drawItems(QPainter* painter, const QRectF& rect, const QwtScaleMap maps[axisCnt]) const
{
    const auto* c = dynamic_cast<const PlotCanvas*>(canvas());
    if (!c || !c->drawingBackdrop()) {
        QwtPlot::drawItems(painter, rect, maps);
        return;
    }
    PlotCanvas::drawItems(this, painter, maps, rect, true);
}

void PlotShower::redrawCanvas()
{
    auto* c = dynamic_cast<PlotCanvas*>(canvas());
    if (!c) {
        replot();
        return;
    }
    double lo = std::numeric_limits<double>::infinity();
    double hi = -lo;
    for (const QwtPlotItem* item : itemList(QwtPlotItem::Rtti_PlotCurve)) {
        if (!item->isVisible() || item->yAxis() != QwtPlot::yLeft)
            continue;
        const QwtSeriesData<QPointF>* series = static_cast<const QwtPlotCurve*>(item)->data();
        const auto take = [&lo, &hi](double y) {
            if (std::isfinite(y)) {
                lo = std::min(lo, y);
                hi = std::max(hi, y);
            }
        };
        if (const auto* own = dynamic_cast<const PlotSeriesData*>(series)) {
            double values[PlotData::kSamples];
            own->copyValues(values);
            for (const double y : values)
                take(y);
        } else {
            for (size_t i = 0; i < series->size(); ++i)
                take(series->sample(i).y());
        }
    }
    c->redrawBetween(QwtPlot::yLeft, lo, hi);
}
