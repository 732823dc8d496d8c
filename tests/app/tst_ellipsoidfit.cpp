#include "MagTestData.h"

#include <QtTest>
#include <cmath>

class TestEllipsoidFit : public QObject
{
    Q_OBJECT
private slots:
    void recoversAKnownEllipsoid()
    {
        // Points on the ellipsoid, quantised to whole tenths of µT.
        MagTestData data(1);
        std::vector<MagPoint> points;
        for (int i = 0; i < 3000; ++i) {
            const auto r = data.raw(data.uniformDirection());
            points.push_back({r[0] * 10, r[1] * 10, r[2] * 10});
        }
        double c[3], W[9];
        QVERIFY(EllipsoidFit::fit(points, 480.0, c, W));
        QVERIFY(std::fabs(c[0] - 250) < 0.05);
        QVERIFY(std::fabs(c[1] + 150) < 0.05);
        QVERIFY(std::fabs(c[2] - 400) < 0.05);
        for (const MagPoint& x : points) {
            double y[3] = {0, 0, 0};
            for (int r = 0; r < 3; ++r)
                for (int k = 0; k < 3; ++k)
                    y[r] += W[3 * k + r] * (x[size_t(k)] - c[k]);
            // Within the quantisation of the point (half a tenth per axis).
            QVERIFY(std::fabs(std::sqrt(y[0] * y[0] + y[1] * y[1] + y[2] * y[2]) - 480.0) < 1.0);
        }
        // S is symmetric, so the correction is its inverse (W is column-major).
        QVERIFY(std::fabs(W[0] * 1.10 + W[3] * 0.05 + W[6] * -0.03 - 1.0) < 1e-3);
    }

    void planarDataIsRejectedAndWritesNothing()
    {
        std::vector<MagPoint> points;
        for (int i = 0; i < 2000; ++i) {
            const double a = i * 0.01;
            points.push_back({300 * std::cos(a) + 10, 300 * std::sin(a) - 20, 55.0});
        }
        double c[3] = {7, 7, 7}, W[9] = {7, 7, 7, 7, 7, 7, 7, 7, 7};
        QVERIFY(!EllipsoidFit::fit(points, 480.0, c, W));
        QCOMPARE(c[0], 7.0);
        QCOMPARE(W[8], 7.0);
    }
};

QTEST_APPLESS_MAIN(TestEllipsoidFit)
#include "tst_ellipsoidfit.moc"
