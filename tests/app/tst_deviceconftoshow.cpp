#include "AppTestSupport.h"
#include "DeviceConfToShow.h"
#include "kvplot2d.h"

#include <QApplication>
#include <QtTest>
#include <cmath>
#include <vector>

namespace {

std::vector<float> points(int n)
{
    return std::vector<float>(size_t(n) * 3, 0.0f);
}

} // namespace

class TestDeviceConfToShow : public QObject
{
    Q_OBJECT
private slots:
    void idleIgnoresMagneticSamples()
    {
        DeviceConfToShow r(SOURCE_SERIAL, 115200, "12", QString());
        const float mag[3] = {10, 20, 30};
        r.processMagSample(mag);
        QCOMPARE(r.magSampleCount(), 0);
        QVERIFY(r.getLogList().isEmpty());
        auto buf = points(6000);
        int n = -1;
        r.copyMagSamples(buf.data(), &n);
        QCOMPARE(n, 0);
    }

    void collectingCountsAndReplacesItsCountLine()
    {
        DeviceConfToShow r(SOURCE_SERIAL, 115200, "12", QString());
        r.appendLog("first line");
        r.setMagCalculType(DeviceConfToShow::MagCalcul_Collect);
        for (int i = 0; i < 140; ++i) {
            const float mag[3] = {float(i), 0, 0};
            r.processMagSample(mag);
        }
        QCOMPARE(r.magSampleCount(), 140);
        QCOMPARE(r.nMagProgress.load(), 2);
        const QStringList log = r.getLogList();
        QCOMPARE(log, QStringList({"first line", QString::fromUtf8("拟合收集点数：140")}));
        auto buf = points(6000);
        int n = 0;
        r.copyMagSamples(buf.data(), &n);
        QCOMPARE(n, 140);
        QCOMPARE(buf[3 * 139], 139.0f);

        // Cancelling clears the run.
        r.setMagCalculType(DeviceConfToShow::MagCalcul_Idle);
        QCOMPARE(r.magSampleCount(), 0);
        r.copyMagSamples(buf.data(), &n);
        QCOMPARE(n, 0);
        r.setMagCalculType(DeviceConfToShow::MagCalcul_Fitted);  // changes nothing
        QCOMPARE(r.eMagCalculType.load(), int(DeviceConfToShow::MagCalcul_Idle));
    }

    void duplicatePointsAreDroppedAndTheRingWraps()
    {
        DeviceConfToShow r(SOURCE_SERIAL, 115200, "12", QString());
        r.setMagCalculType(DeviceConfToShow::MagCalcul_Collect);
        const float a[3] = {1, 1, 1}, near[3] = {1.2f, 1.2f, 1.2f}, far[3] = {2, 1, 1};
        r.processMagSample(a);
        r.processMagSample(near);  // 0.35 from a: dropped
        r.processMagSample(far);
        auto buf = points(6000);
        int n = 0;
        r.copyMagSamples(buf.data(), &n);
        QCOMPARE(n, 2);
        QCOMPARE(r.magSampleCount(), 3);  // counted though not stored

        // 6000 distinct points fill the ring; the next overwrites the oldest.
        r.setMagCalculType(DeviceConfToShow::MagCalcul_Collect);
        for (int i = 0; i < 6001; ++i) {
            const float p[3] = {float(i % 100), float(i / 100), 0};
            r.processMagSample(p);
        }
        r.copyMagSamples(buf.data(), &n);
        QCOMPARE(n, 6000);
        QCOMPARE(buf[0], 0.0f);   // point 6000 = (0, 60, 0) went to index 0
        QCOMPARE(buf[1], 60.0f);
        QCOMPARE(buf[3], 1.0f);   // index 1 still holds point 1
    }

    void downloadedCalibrationCorrectsLiveSamples()
    {
        DeviceConfToShow r(SOURCE_SERIAL, 115200, "12", QString());
        const double m[9] = {1, 0, 0, 0, 1, 0, 0, 0, 1};
        const double off[3] = {100, 0, 0};
        QVERIFY(r.loadDeviceCalibration(m, off));
        QCOMPARE(r.eMagCalculType.load(), int(DeviceConfToShow::MagCalcul_Device));
        const float mag[3] = {20, 5, -5};
        r.processMagSample(mag);
        auto buf = points(10000);
        int n = 0;
        r.copyCaliPoints(buf.data(), &n);
        QCOMPARE(n, 1);
        QCOMPARE(buf[0], 10.0f);  // (200 − 100) tenths → 10 µT
        r.copyMagSamples(buf.data(), &n);
        QCOMPARE(n, 0);  // the raw ring stays empty

        r.setMagCalculType(DeviceConfToShow::MagCalcul_Collect);
        QVERIFY(!r.loadDeviceCalibration(m, off));  // a running collection is not disturbed
        QCOMPARE(r.eMagCalculType.load(), int(DeviceConfToShow::MagCalcul_Collect));
    }

    void playbackWindow()
    {
        DeviceConfToShow r(SOURCE_FILE, 0, "7", "/tmp/x.txt");
        for (int i = 0; i < 1500; ++i) {
            const double v = i + 1;
            r.stcHistory.vecAccel.push_back({v, 0, 0});
            r.stcHistory.vecGyro.push_back({0, v, 0});
            r.stcHistory.vecMag.push_back({0, 0, v});
            r.stcHistory.vecQuat.push_back({1, 0, 0, v});
            r.stcHistory.vecEuler.push_back({v, v, v});
            r.stcHistory.vecLAccel.push_back({0, 0, 0});
            r.stcHistory.vecPressure.push_back(v);
            r.stcHistory.vecAltitude.push_back(0);
            r.stcHistory.vecTemperature.push_back(0);
        }
        r.preparePlayback();
        QCOMPARE(r.nFrameCount, 1500);
        r.updatePlayWindow();  // position 0: zeros only, values untouched
        QCOMPARE(r.frame().accel[0], 0.0f);
        r.nPlayPos = 1000;
        r.updatePlayWindow();
        QCOMPARE(r.frame().accel[0], 1000.0f);
        QCOMPARE(r.frame().quat[3], 1000.0f);
        r.nPlayPos = 1500;
        r.slotPlayReadFile();  // at the end the position stays
        QCOMPARE(r.nPlayPos, 1500);
        QCOMPARE(r.frame().gyro[1], 1500.0f);
    }

};

QTEST_MAIN(TestDeviceConfToShow)
#include "tst_deviceconftoshow.moc"
