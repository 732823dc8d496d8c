#pragma once

#include <QVariant>
#include <qwt_plot.h>

class PlotData;
class QwtPlotMagnifier;
class QwtPlotPanner;
class QwtPlotZoomer;

// The plot area: axes, canvas, zoomer, vertical panner and magnifier, grid
// and the y = 0 marker.
class PlotShower : public QwtPlot
{
    Q_OBJECT
public:
    PlotShower(PlotData* data, QWidget* parent = nullptr);
    // The value axis range, also the range the zoomer returns to.
    void setYRange(double min, double max);
    // Redraws the curves only, in the band they cover now and covered at the
    // previous redraw: the axes keep their scales between frames (zooming,
    // panning and setYRange lay them out anew themselves).
    void redrawCanvas();
    // Everything drawn anew, the canvas's grid and markers included.
    void replot() override;

protected:
    // Static items only while the canvas draws its backdrop.
    void drawItems(QPainter* painter, const QRectF& rect, const QwtScaleMap maps[axisCnt]) const override;

public slots:
    // A legend entry was toggled.
    void showItem(const QVariant& itemInfo, bool on);

private:
    PlotData* pData;
    QwtPlotZoomer* pZoomer;
    QwtPlotPanner* pPanner;
    QwtPlotMagnifier* pMagnifier;
};
