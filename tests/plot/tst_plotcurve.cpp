#include "PlotCurve.h"

#include <QImage>
#include <QPainter>
#include <QtTest>
#include <cmath>
#include <limits>
#include <qwt_scale_map.h>
#include <qwt_series_data.h>

namespace {

QwtScaleMap map(double s1, double s2, double p1, double p2)
{
    QwtScaleMap m;
    m.setScaleInterval(s1, s2);
    m.setPaintInterval(p1, p2);
    return m;
}

// 1000 samples of noise with spikes, as a sensor at 200 Hz gives them.
QVector<QPointF> noisy()
{
    QVector<QPointF> points;
    for (int i = 0; i < 1000; ++i) {
        double v = 0.5 * std::sin(i / 30.0) + 0.2 * std::sin(i * 2.7);
        if (i % 97 == 0)
            v = (i % 2) ? 0.98 : -0.98;
        points << QPointF(i, v);
    }
    return points;
}

QImage draw(PlotCurve& curve, const QSize& size)
{
    QImage image(size, QImage::Format_RGB32);
    image.fill(Qt::black);
    QPainter p(&image);
    curve.setPen(Qt::white, 0.0);
    curve.draw(&p, map(0, 999, 0, size.width() - 1), map(-1, 1, size.height() - 1, 0), QRectF(QPoint(0, 0), size));
    return image;
}

} // namespace

class TestPlotCurve : public QObject
{
    Q_OBJECT
private slots:
    // Wide or narrower than the samples, the thinned curve sets exactly the
    // pixels that one polyline through every sample sets.
    void drawsTheSamePixelsAsEverySample()
    {
        for (const QSize size : {QSize(1200, 200), QSize(300, 120)}) {
            PlotCurve thinned;
            thinned.setSamples(noisy());
            QImage every(size, QImage::Format_RGB32);
            every.fill(Qt::black);
            const QwtScaleMap xMap = map(0, 999, 0, size.width() - 1);
            const QwtScaleMap yMap = map(-1, 1, size.height() - 1, 0);
            QPolygonF all;
            for (const QPointF& s : noisy())
                all << QPointF(qRound(xMap.transform(s.x())), qRound(yMap.transform(s.y())));
            QPainter p(&every);
            p.setPen(QPen(Qt::white, 0.0));
            p.drawPolyline(all);
            p.end();
            QCOMPARE(draw(thinned, size), every);
        }
    }

    void keepsFourPointsAColumnAndBreaksAtValuesThatAreNotFinite()
    {
        QVector<QPointF> points = noisy();
        points[500].setY(std::numeric_limits<double>::quiet_NaN());
        points[700].setY(1e300);
        points[701].setY(-std::numeric_limits<double>::infinity());
        // Mapped, these stay finite but their difference does not.
        points[900].setY(5e306);
        points[901].setY(-5e306);
        QwtPointSeriesData series(points);
        const QRectF area(0, 0, 100, 50);
        const QVector<QPolygon> lines =
            PlotCurve::pixelPolylines(series, map(0, 999, 0, 99), map(-1, 1, 49, 0), area, 0, 999);
        // Split at 500 and at 701; 700 lies far off the scale but the
        // segment to it is drawn as far as the area's edge; so are the
        // segments through 900 and 901, which cross the area.
        QCOMPARE(lines.size(), 3);
        for (const QPolygon& line : lines) {
            QHash<int, int> perColumn;
            for (const QPoint& p : line) {
                QVERIFY(area.adjusted(-2, -2, 2, 2).contains(QPointF(p)));
                QVERIFY(++perColumn[p.x()] <= 4);
            }
        }
        QVERIFY(lines[1].last().y() <= -1);
    }
};

QTEST_MAIN(TestPlotCurve)
#include "tst_plotcurve.moc"
