#pragma once

#include <QPolygon>
#include <QVector>
#include <qwt_plot_curve.h>

// A curve drawn as whole-pixel polylines. A plot holds more samples than it
// has pixel columns to spare, and a sample off the scale or not a number
// must not reach the painter; so before drawing, points are clipped to the
// area (a pixel beyond it), rounded to pixels, and in each pixel column
// only the first, lowest, highest and last point are kept: the same pixels
// as drawing them all, spikes included. A value that is not finite breaks
// the curve.
class PlotCurve : public QwtPlotCurve
{
public:
    using QwtPlotCurve::QwtPlotCurve;

    // Samples from..to of a series whose x increases, as polylines in
    // pixel coordinates.
    static QVector<QPolygon> pixelPolylines(const QwtSeriesData<QPointF>& series, const QwtScaleMap& xMap,
                                            const QwtScaleMap& yMap, const QRectF& area, int from, int to);

protected:
    void drawLines(QPainter* painter, const QwtScaleMap& xMap, const QwtScaleMap& yMap, const QRectF& canvasRect,
                   int from, int to) const override;
};
