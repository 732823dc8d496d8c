#include "MagTestData.h"

#include <QtTest>
#include <cmath>
#include <limits>
#include <memory>
#include <thread>

namespace {

using Out = double[MagCalibrator::kMaxDelivered][3];

// Feeds samples; returns the codes seen.
std::vector<int> feed(MagCalibrator& cal, const std::vector<std::array<double, 3>>& samples, Out& out)
{
    std::vector<int> codes;
    for (const auto& s : samples) {
        int n = 0;
        codes.push_back(cal.addSample(s.data(), out, &n));
    }
    return codes;
}

bool waitFinished(MagCalibrator& cal)
{
    for (int i = 0; i < 500 && !cal.isFinished(); ++i)
        QTest::qSleep(10);
    return cal.isFinished();
}

} // namespace

class TestMagCalibrator : public QObject
{
    Q_OBJECT
private:
    std::unique_ptr<Out> out{new Out[1]};

private slots:
    void fullCoverageGivesOutcomeFourAndTheCodeSequence()
    {
        MagCalibrator cal;
        cal.restart();
        MagTestData data(3);
        // One bin stays empty in the first 3000 samples, so the fit at 3000
        // finds a gap and only the fit at 4000 can succeed: every sample fed
        // before it is collected (code 0) however fast the worker is.
        auto samples = data.binCycled(3000, {5});
        for (int i = 0; i < 1000; ++i)
            samples.push_back(data.raw(data.directionInBin(5)));
        for (int code : feed(cal, samples, *out))
            QCOMPARE(code, 0);
        QVERIFY(waitFinished(cal));
        QCOMPARE(cal.result(), 4);

        int n = 0;
        const auto next = data.raw(data.directionInBin(5));
        QCOMPARE(cal.addSample(next.data(), *out, &n), 2);
        QCOMPARE(n, 4001);
        // Every delivered point lies on the 480 sphere (tenths of µT), to
        // within the quantised sample and the truncated offset correction.
        for (int i = 0; i < n; ++i) {
            const double m = std::sqrt((*out)[i][0] * (*out)[i][0] + (*out)[i][1] * (*out)[i][1] + (*out)[i][2] * (*out)[i][2]);
            QVERIFY2(std::fabs(m - 480.0) < 3.0, qPrintable(QString::number(m)));
        }
        QCOMPARE(cal.addSample(next.data(), *out, &n), 3);
        QCOMPARE(n, 1);
        QCOMPARE(cal.addSample(next.data(), *out, &n), 3);

        double matrix[9], offset[3];
        cal.getResult(matrix, offset);
        QVERIFY(std::fabs(offset[0] - 250) < 0.1);
        QVERIFY(std::fabs(offset[2] - 400) < 0.1);
    }

    void fewSamplesNeverFit()
    {
        MagCalibrator cal;
        cal.restart();
        MagTestData data(4);
        for (int code : feed(cal, data.binCycled(2999), *out))
            QCOMPARE(code, 0);
        QTest::qSleep(200);
        QVERIFY(!cal.isFinished());
    }

    void sparseBinsAtSixThousand_data()
    {
        QTest::addColumn<std::vector<int>>("skipped");
        QTest::addColumn<int>("outcome");
        QTest::addColumn<int>("code");
        QTest::newRow("two empty bins: resampled") << std::vector<int>{3, 20} << 3 << 2;
        QTest::newRow("four empty bins: resampled") << std::vector<int>{0, 9, 18, 27} << 3 << 2;
        QTest::newRow("six empty bins: preliminary") << std::vector<int>{1, 2, 3, 12, 21, 30} << 1 << 1;
    }

    void sparseBinsAtSixThousand()
    {
        QFETCH(std::vector<int>, skipped);
        QFETCH(int, outcome);
        QFETCH(int, code);
        MagCalibrator cal;
        cal.restart();
        MagTestData data(5);
        feed(cal, data.binCycled(6000, skipped), *out);
        QVERIFY(waitFinished(cal));
        QCOMPARE(cal.result(), outcome);
        int n = 0;
        const auto next = data.raw(data.directionInBin(31));
        QCOMPARE(cal.addSample(next.data(), *out, &n), code);
        QCOMPARE(n, 6001);
    }

    void degenerateDataFailsAfterTheSixthBatch()
    {
        MagCalibrator cal;
        cal.restart();
        std::vector<std::array<double, 3>> plane;
        for (int i = 0; i < 6000; ++i)
            plane.push_back({30 * std::cos(i * 0.01) + 1, 30 * std::sin(i * 0.01), 5.0});
        feed(cal, plane, *out);
        int code = 0, n = 0;
        for (int i = 0; i < 500 && code != 4; ++i) {
            QTest::qSleep(10);
            code = cal.addSample(plane[0].data(), *out, &n);
        }
        QCOMPARE(code, 4);
        QVERIFY(!cal.isFinished());
        // Nothing is stored until a restart, which starts afresh.
        cal.restart();
        QCOMPARE(cal.addSample(plane[0].data(), *out, &n), 0);
    }

    void correctionTruncatesTowardZero()
    {
        MagCalibrator cal;
        cal.restart();
        const double identity[9] = {1, 0, 0, 0, 1, 0, 0, 0, 1};
        const double zero[3] = {0, 0, 0};
        cal.loadResult(identity, zero);
        const double in[3] = {12.34, -12.37, 0.05};
        int n = 0;
        QCOMPARE(cal.addSample(in, *out, &n), 3);
        QCOMPARE(n, 1);
        QCOMPARE((*out)[0][0], 123.0);
        QCOMPARE((*out)[0][1], -123.0);
        QCOMPARE((*out)[0][2], 0.0);

        const double m[9] = {2, 0, 0, 0, 1, 1, 0, 0, 1};
        const double off[3] = {100, 0, 0.5};
        cal.loadResult(m, off);
        const double in2[3] = {20.0, 1.0, 2.0};
        cal.addSample(in2, *out, &n);
        QCOMPARE((*out)[0][0], 200.0);       // 2·(200 − 100)
        QCOMPARE((*out)[0][1], 10.0 + 19.0); // 10 + trunc(20 − 0.5)
        QCOMPARE((*out)[0][2], 19.0);
    }

    void nonFiniteSamplesAreDropped()
    {
        MagCalibrator cal;
        cal.restart();
        const double nan = std::numeric_limits<double>::quiet_NaN();
        const double inf = std::numeric_limits<double>::infinity();
        const double bad[][3] = {{nan, 0, 0}, {0, inf, 0}, {0, 0, -inf}};
        int n = 5;
        for (const auto& b : bad) {
            QCOMPARE(cal.addSample(b, *out, &n), 0);
            QCOMPARE(n, 0);
        }
        // Three thousand good samples still make the first fit.
        MagTestData data(8);
        feed(cal, data.binCycled(3000), *out);
        QVERIFY(waitFinished(cal));
    }

    void binEdgesBelongToNoBin()
    {
        const std::vector<MagDirBin> bins = MagCalibrator::makeBins();
        QCOMPARE(int(bins.size()), 32);
        const double inside[3] = {1, 0.5, 0.2};
        QCOMPARE(MagCalibrator::binIndex(bins, inside), 2 * 8 + 4);
        const double azimuthEdge[3] = {1, 0, 0.2};       // azimuth exactly 0
        const double elevationEdge[3] = {1, 0.5, 0};      // elevation exactly 0
        const double nearPi[3] = {-1, 1e-9, 0.3};         // beyond the truncated π
        QCOMPARE(MagCalibrator::binIndex(bins, azimuthEdge), -1);
        QCOMPARE(MagCalibrator::binIndex(bins, elevationEdge), -1);
        QCOMPARE(MagCalibrator::binIndex(bins, nearPi), -1);
        const double south[3] = {-0.1, -0.2, -1};
        QCOMPARE(MagCalibrator::binIndex(bins, south), 0 * 8 + 1);
    }

    void restartWhileAnotherThreadAddsSamples()
    {
        MagCalibrator cal;
        cal.restart();
        MagTestData data(9);
        const auto samples = data.binCycled(20000);
        // The feeder keeps adding until twenty restarts have come between
        // its samples, however the two threads are scheduled.
        std::atomic<int> restarts{0};
        std::thread frames([&] {
            Out* buffer = new Out[1];
            for (size_t i = 0; restarts.load() < 20; i = (i + 1) % samples.size()) {
                int n = 0;
                cal.addSample(samples[i].data(), *buffer, &n);
            }
            delete[] buffer;
        });
        while (restarts.load() < 20) {
            cal.restart();
            restarts.fetch_add(1);
            QTest::qSleep(2);
        }
        frames.join();
        cal.restart();
        feed(cal, data.binCycled(3000), *out);
        QVERIFY(waitFinished(cal));
    }
};

QTEST_APPLESS_MAIN(TestMagCalibrator)
#include "tst_magcalibrator.moc"
