#include "PlotData.h"

#include <QtTest>
#include <thread>

class TestPlotData : public QObject
{
    Q_OBJECT
private:
    static void pushNumbered(PlotData& d, int from, int to)
    {
        for (int n = from; n <= to; ++n) {
            const double v[4] = {double(n), -double(n), 0, 0};
            d.push(v);
        }
    }

private slots:
    void ringAfterFewFrames()
    {
        PlotData d(1);
        pushNumbered(d, 1, 5);
        QCOMPARE(d.liveValue(0, 0), 0.0);
        for (int i = 1; i <= 5; ++i)
            QCOMPARE(d.liveValue(i, 0), double(i));
        for (int i = 6; i < 1000; ++i)
            QCOMPARE(d.liveValue(i, 0), 0.0);
        QCOMPARE(d.liveValue(1000, 0), -1.0);
    }

    void ringAfterExactlyAndMoreThanItsSize_data()
    {
        QTest::addColumn<int>("frames");
        QTest::addColumn<double>("first");
        QTest::addColumn<double>("last");
        QTest::newRow("999") << 999 << 0.0 << 999.0;
        QTest::newRow("1000") << 1000 << 1.0 << 1000.0;
        QTest::newRow("1500") << 1500 << 501.0 << 1500.0;
        QTest::newRow("2999") << 2999 << 2000.0 << 2999.0;
    }

    void ringAfterExactlyAndMoreThanItsSize()
    {
        QFETCH(int, frames);
        QFETCH(double, first);
        QFETCH(double, last);
        PlotData d(2);
        pushNumbered(d, 1, frames);
        QCOMPARE(d.liveValue(0, 0), first);
        QCOMPARE(d.liveValue(999, 0), last);
        QCOMPARE(d.liveValue(999, 1), -last);
        for (int i = 1; i < 1000 && frames >= 1000; ++i)
            QCOMPARE(d.liveValue(i, 0), d.liveValue(i - 1, 0) + 1.0);
    }

    void snapshotIsWhatIsDrawn()
    {
        PlotData d(1);
        pushNumbered(d, 1, 3);
        QCOMPARE(d.value(2, 0), 0.0);  // nothing snapshotted yet
        QVERIFY(d.takeSnapshot());
        QCOMPARE(d.value(2, 0), 2.0);
        QVERIFY(!d.takeSnapshot());  // unchanged: no redraw needed
        pushNumbered(d, 4, 4);
        QCOMPARE(d.value(4, 0), 0.0);
        QVERIFY(d.takeSnapshot());
        QCOMPARE(d.value(4, 0), 4.0);
        QCOMPARE(d.value(1000, 0), -1.0);
        QCOMPARE(d.value(0, 3), -1.0);  // no such curve

        // The whole curve in one copy reads as sample by sample, across the
        // ring's wrap too.
        pushNumbered(d, 5, 1500);
        QVERIFY(d.takeSnapshot());
        std::vector<double> all(PlotData::kSamples);
        d.copyShown(0, all.data());
        for (int i = 0; i < PlotData::kSamples; ++i)
            QCOMPARE(all[size_t(i)], d.value(i, 0));
    }

    void historyWindow()
    {
        PlotData d(4);
        for (int n = 1; n <= 4000; ++n) {
            const double v[4] = {double(n), 2.0 * n, 3.0 * n, 4.0 * n};
            d.pushWithHistory(v);
        }
        QCOMPARE(d.historySize(), size_t(4000));
        d.showHistory(5000u * 4000u / 10000u);
        QCOMPARE(d.liveValue(0, 0), 2001.0);
        QCOMPARE(d.liveValue(999, 0), 3000.0);
        QCOMPARE(d.liveValue(999, 3), 12000.0);
        // Near the end fewer than 1000 frames remain.
        d.showHistory(3990);
        QCOMPARE(d.liveValue(0, 0), 0.0);
        QCOMPARE(d.liveValue(1, 0), 3991.0);
        QCOMPARE(d.liveValue(10, 0), 4000.0);
        QCOMPARE(d.liveValue(11, 0), 0.0);
    }

    void writerThreadAgainstSnapshots()
    {
        // One producer while the drawing side snapshots: every snapshot is a
        // consistent run of consecutive frames.
        PlotData d(2);
        std::atomic<bool> stop{false};
        std::thread writer([&] {
            double n = 0;
            while (!stop.load()) {
                n += 1;
                const double v[2] = {n, -n};
                d.push(v);
            }
        });
        int checked = 0;
        for (int round = 0; round < 300; ++round) {
            if (!d.takeSnapshot())
                continue;
            for (int i = 1; i < 1000; ++i) {
                const double a = d.value(i - 1, 0), b = d.value(i, 0);
                if (a != 0.0 && b != 0.0)
                    QCOMPARE(b, a + 1.0);
                QCOMPARE(d.value(i, 1), -b);
            }
            ++checked;
        }
        stop.store(true);
        writer.join();
        QVERIFY(checked > 0);
    }
};

QTEST_APPLESS_MAIN(TestPlotData)
#include "tst_plotdata.moc"
