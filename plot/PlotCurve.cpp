#include "PlotCurve.h"

#include <QPainter>
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

// Keeps, of each run of points in one pixel column, the first, the lowest,
// the highest and the last, in their order; drops repeated points.
QPolygon thinColumns(const QPolygon& line)
{
    QPolygon out;
    out.reserve(line.size());
    const auto keep = [&out](const QPoint& p) {
        if (out.isEmpty() || out.last() != p)
            out << p;
    };
    for (int s = 0; s < line.size();) {
        int e = s + 1;
        int low = s;
        int high = s;
        while (e < line.size() && line[e].x() == line[s].x()) {
            if (line[e].y() < line[low].y())
                low = e;
            if (line[e].y() > line[high].y())
                high = e;
            ++e;
        }
        keep(line[s]);
        keep(line[std::min(low, high)]);
        keep(line[std::max(low, high)]);
        keep(line[e - 1]);
        s = e;
    }
    return out;
}

} // namespace

QVector<QPolygon> PlotCurve::pixelPolylines(const QwtSeriesData<QPointF>& series, const QwtScaleMap& xMap,
                                            const QwtScaleMap& yMap, const QRectF& area, int from, int to)
{
    QVector<QPolygon> lines;
    QPolygon line;
    const auto finish = [&] {
        if (line.size() > 1)
            lines << thinColumns(line);
        line.clear();
    };
    // A pixel beyond the area, so that clipping never shows at its edges.
    const QRectF band = area.adjusted(-2, -2, 2, 2);
    bool havePrevious = false;
    QPointF previous;
    to = std::min(to, int(series.size()) - 1);
    for (int i = std::max(from, 0); i <= to; ++i) {
        const QPointF s = series.sample(size_t(i));
        const QPointF p(xMap.transform(s.x()), yMap.transform(s.y()));
        if (!std::isfinite(p.x()) || !std::isfinite(p.y())) {
            finish();
            havePrevious = false;
            continue;
        }
        if (havePrevious) {
            QPointF a = previous;
            QPointF b = p;
            if (clipSegment(a, b, band)) {
                const QPoint ra(qRound(a.x()), qRound(a.y()));
                if (line.isEmpty() || line.last() != ra) {
                    finish();
                    line << ra;
                }
                line << QPoint(qRound(b.x()), qRound(b.y()));
            } else {
                finish();
            }
        }
        previous = p;
        havePrevious = true;
    }
    finish();
    return lines;
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
    for (const QPolygon& line : pixelPolylines(*data(), xMap, yMap, canvasRect, from, to))
        painter->drawPolyline(line);
}
