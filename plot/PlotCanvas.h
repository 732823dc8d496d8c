#pragma once

#include <QImage>
#include <QVector>
#include <qwt_plot.h>
#include <qwt_plot_canvas.h>
#include <qwt_scale_div.h>
#include <qwt_scale_map.h>

// The canvas of a plot that redraws many times a second. Its background,
// the grid and the markers change only with the scales, the size or the
// style, so the canvas drawn without its curves is kept in an image (the
// backdrop) that every redraw copies; only the curves are drawn anew. They
// are clipped to a rectangle and the rounded corners are put back on top:
// clipping every line to the rounded outline costs several times more than
// the lines themselves.
class PlotCanvas : public QwtPlotCanvas
{
public:
    explicit PlotCanvas(QwtPlot* plot = nullptr);

    // Items that belong to the backdrop: the grid and the markers that lie
    // beneath every other visible item.
    static bool inBackdrop(const QwtPlot* plot, const QwtPlotItem* item);
    // Draws the visible items of the backdrop (or the others) as Qwt would.
    static void drawItems(const QwtPlot* plot, QPainter* painter, const QwtScaleMap maps[QwtPlot::axisCnt],
                          const QRectF& area, bool backdropOnes);
    // True while the backdrop is drawn: the plot draws static items only.
    bool drawingBackdrop() const { return grabbing; }
    // The backdrop is drawn again before the next redraw (items changed).
    void invalidateBackdrop();
    // Redraws the band of the canvas where the curves lie now (values lo to
    // hi of the axis) and where they lay at the previous such redraw: the
    // rest of the canvas holds the backdrop already. After a full redraw the
    // previous band is unknown and counts as the whole canvas.
    void redrawBetween(int yAxis, double lo, double hi);
    void forgetBand();

protected:
    bool event(QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    struct AxisKey
    {
        double s1 = 0, s2 = 0, p1 = 0, p2 = 0;
        QwtScaleDiv div;
        bool operator==(const AxisKey& o) const;
    };
    struct Key
    {
        QSize size;
        QVector<AxisKey> axes;
        QVector<const QwtPlotItem*> items;
        bool operator==(const Key& o) const { return size == o.size && axes == o.axes && items == o.items; }
    };

    Key currentKey(const QwtScaleMap maps[QwtPlot::axisCnt]) const;
    void scheduleBackdrop();
    void takeBackdrop();

    // The canvas as Qwt draws it with the backdrop's items only, for `key`.
    QImage backdrop;
    Key backdropKey;
    // The backdrop where the rounded outline leaves it uncovered, transparent
    // elsewhere, and the few rectangles that hold such pixels.
    QImage corners;
    QVector<QRect> cornerRects;
    QRect lastBand;
    bool bandKnown = false;
    bool grabbing = false;
    bool backdropPending = false;
};
