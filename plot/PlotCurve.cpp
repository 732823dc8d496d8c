#include "PlotCurve.h"
#include "PlotData.h"
#include "PlotSeriesData.h"

#include <QPainter>
#include <algorithm>
#include <cmath>
#include <qwt_painter.h>
#include <qwt_scale_map.h>

namespace {

// Liang-Barsky: cuts the segment a-b to the rectangle; false when nothing
// of it lies inside.
bool clipSegment(QPointF& a, QPointF& b, const QRectF& r)
{
    const double dx = b.x() - a.x();
    const double dy = b.y() - a.y();
    double t0 = 0.0;
    double t1 = 1.0;
    const auto edge = [&](double p, double q) {
        if (p == 0.0)
            return q >= 0.0;
        const double t = q / p;
        if (p < 0.0) {
            if (t > t1)
                return false;
            t0 = std::max(t0, t);
        } else {
            if (t < t0)
                return false;
            t1 = std::min(t1, t);
        }
        return true;
    };
    if (!edge(-dx, a.x() - r.left()) || !edge(dx, r.right() - a.x()) || !edge(-dy, a.y() - r.top())
        || !edge(dy, r.bottom() - a.y()))
        return false;
    const QPointF start = a;
    a = start + QPointF(dx, dy) * t0;
    b = start + QPointF(dx, dy) * t1;
    return true;
}

// Builds one polyline from pixel points whose x never decreases: of each
// run of points in one pixel column it keeps the first, the lowest, the
// highest and the last, in their order, and drops repeated points.
class ColumnThinner
{
public:
    explicit ColumnThinner(size_t capacity) { out.reserve(capacity); }

    bool isEmpty() const { return !active; }
    QPoint lastAdded() const { return last; }

    void add(const QPoint& p)
    {
        if (active && p.x() == first.x()) {
            ++count;
            if (p.y() < low.y()) {
                low = p;
                lowAt = count;
            }
            if (p.y() > high.y()) {
                high = p;
                highAt = count;
            }
            last = p;
            return;
        }
        flush();
        active = true;
        first = low = high = last = p;
        count = lowAt = highAt = 0;
    }

    // The polyline so far, which then starts anew; empty when it would
    // draw nothing.
    QPolygon take()
    {
        flush();
        active = false;
        QPolygon line;
        if (out.size() > 1)
            line = QPolygon(QVector<QPoint>(out.begin(), out.end()));
        out.clear();
        return line;
    }

private:
    void keep(const QPoint& p)
    {
        if (out.empty() || out.back() != p)
            out.push_back(p);
    }

    void flush()
    {
        if (!active)
            return;
        keep(first);
        keep(lowAt < highAt ? low : high);
        keep(lowAt < highAt ? high : low);
        keep(last);
    }

    std::vector<QPoint> out;
    bool active = false;
    QPoint first, low, high, last;
    int count = 0;
    int lowAt = 0;
    int highAt = 0;
};

QPoint toPixel(const QPointF& p)
{
    return QPoint(qRound(p.x()), qRound(p.y()));
}

// Far beyond any canvas: moving a point this far in, when the other end of
// its segment is on the canvas, changes the segment's slope by far less than
// a pixel, and keeps the clipping's arithmetic finite for values near the
// largest double.
constexpr double kFar = 1e9;

// sampleAt(i): sample i of `size` samples whose x increases.
template <typename SampleAt>
QVector<QPolygon> polylines(SampleAt sampleAt, int size, const QwtScaleMap& xMap, const QwtScaleMap& yMap,
                            const QRectF& area, int from, int to)
{
    QVector<QPolygon> lines;
    from = std::max(from, 0);
    to = std::min(to, size - 1);
    if (to < from)
        return lines;
    ColumnThinner line(size_t(to - from + 1) * 2);
    const auto finish = [&] {
        const QPolygon done = line.take();
        if (!done.isEmpty())
            lines << done;
    };
    // A pixel beyond the area, so that clipping never shows at its edges.
    const QRectF band = area.adjusted(-2, -2, 2, 2);
    bool havePrevious = false;
    bool previousInside = false;
    QPointF previous;
    for (int i = from; i <= to; ++i) {
        const QPointF s = sampleAt(i);
        QPointF p(xMap.transform(s.x()), yMap.transform(s.y()));
        if (!std::isfinite(p.x()) || !std::isfinite(p.y())) {
            finish();
            havePrevious = false;
            continue;
        }
        p = QPointF(std::clamp(p.x(), -kFar, kFar), std::clamp(p.y(), -kFar, kFar));
        const bool inside = band.contains(p);
        if (havePrevious && previousInside && inside) {
            if (line.isEmpty())
                line.add(toPixel(previous));
            line.add(toPixel(p));
        } else if (havePrevious) {
            QPointF a = previous;
            QPointF b = p;
            if (clipSegment(a, b, band)) {
                const QPoint start = toPixel(a);
                if (line.isEmpty() || line.lastAdded() != start) {
                    finish();
                    line.add(start);
                }
                line.add(toPixel(b));
            } else {
                finish();
            }
        }
        previous = p;
        previousInside = inside;
        havePrevious = true;
    }
    finish();
    return lines;
}

} // namespace

QVector<QPolygon> PlotCurve::pixelPolylines(const QwtSeriesData<QPointF>& series, const QwtScaleMap& xMap,
                                            const QwtScaleMap& yMap, const QRectF& area, int from, int to)
{
    return polylines([&series](int i) { return series.sample(size_t(i)); }, int(series.size()), xMap, yMap, area,
                     from, to);
}

void PlotCurve::drawLines(QPainter* painter, const QwtScaleMap& xMap, const QwtScaleMap& yMap,
                          const QRectF& canvasRect, int from, int to) const
{
    // Whole pixels are what an aliased raster painter draws anyway; any
    // other painter gets Qwt's own drawing.
    if (!QwtPainter::roundingAlignment(painter) || painter->testRenderHint(QPainter::Antialiasing)
        || brush().style() != Qt::NoBrush || testCurveAttribute(Fitted)) {
        QwtPlotCurve::drawLines(painter, xMap, yMap, canvasRect, from, to);
        return;
    }
    QVector<QPolygon> lines;
    if (const auto* plotSeries = dynamic_cast<const PlotSeriesData*>(data())) {
        // The plot's own store, read in one copy rather than a call a sample.
        double values[PlotData::kSamples];
        plotSeries->copyValues(values);
        lines = polylines([&values](int i) { return QPointF(i, values[i]); }, PlotData::kSamples, xMap, yMap,
                          canvasRect, from, to);
    } else {
        lines = pixelPolylines(*data(), xMap, yMap, canvasRect, from, to);
    }
    for (const QPolygon& line : lines)
        painter->drawPolyline(line);
}
