// The magnetometer calibration page end to end against a simulated device
// whose field carries hard- and soft-iron distortion.

#include "AppTestSupport.h"
#include "DeviceConfToShow.h"
#include "DockDeviceList.h"
#include "MagCaliGLWidget.h"
#include "MagResultWriter.h"
#include "MainView.h"
#include "SLDevice.h"
#include "SimulatedSensor.h"
#include "Strideloom.h"
#include "Tab3DWidget_mag.h"
#include "ToolBarDeviceOperation.h"

#include <QLabel>
#include <QMessageBox>
#include <QTimer>
#include <QProgressBar>
#include <QPushButton>
#include <QTableWidget>
#include <QtTest>
#include <cmath>
#include <memory>

namespace {

int32_t le32(const QByteArray& b, int offset)
{
    const auto* p = reinterpret_cast<const uint8_t*>(b.constData() + offset);
    return int32_t(uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24);
}

} // namespace

class TestMagCalibrationPage : public QObject
{
    Q_OBJECT
private:
    std::unique_ptr<AppWorkDir> work;
    std::unique_ptr<SimulatedSensor> sim;
    std::unique_ptr<Strideloom> window;
    DeviceConfToShow* dev = nullptr;
    Tab3DWidget_mag* page = nullptr;
    // Answers every information box the program shows, keeping its text.
    QTimer boxAnswerer;
    QStringList boxTexts;

    QList<QByteArray> writes() const
    {
        QList<QByteArray> out;
        for (const auto& c : sim->receivedCommands())
            if (c.first == 41)
                out << c.second;
        return out;
    }
    QString buttonText() const { return page->findChild<QPushButton*>("pushButton_EffectCalculate")->text(); }
    QString statusText() const { return page->findChild<QLabel*>("label_magStatus")->text(); }
    int configRequestCount() const
    {
        int n = 0;
        for (const auto& c : sim->receivedCommands())
            n += c.first == 39 ? 1 : 0;
        return n;
    }
    QPushButton* retryButton() const { return page->findChild<QPushButton*>("pushButton_RetryWrite"); }

private slots:
    void initTestCase()
    {
        work = std::make_unique<AppWorkDir>();
        QVERIFY(work->isValid());
        connect(&boxAnswerer, &QTimer::timeout, this, [this] {
            if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
                boxTexts << box->text();
                box->accept();
            }
        });
        boxAnswerer.start(50);
        SimulatedSensor::Config c;
        c.serial = 4242;
        c.baudRate = 460800;
        c.streamRateHz = 200;
        c.distortion.hardIron[0] = 12;
        c.distortion.hardIron[1] = -7;
        c.distortion.hardIron[2] = 20;
        const double soft[9] = {1.1, 0.05, 0, 0.05, 0.9, 0.02, 0, 0.02, 1.05};
        std::copy(soft, soft + 9, c.distortion.softIron);
        c.distortion.noise = 0.2;
        // Calibration blocks of its own, and the configuration the program
        // asks for when listing the device never comes.
        c.storedConfig = SimulatedSensor::StoredConfig::Distinct;
        c.ignoredConfigRequests = 1;
        sim = std::make_unique<SimulatedSensor>(c);
        QVERIFY(sim->start());
        work->setOption("extraports", sim->portPath());
        window = std::make_unique<Strideloom>();
        window->show();
        QSignalSpy done(window->device()->getDevObj(), SIGNAL(sigAutoCheckComplete()));
        window->deviceToolBar()->checkSerialAction()->trigger();
        QVERIFY(done.wait(30000));
        QTableWidget* t = window->deviceDock()->table();
        QTRY_COMPARE(t->rowCount(), 1);
        window->deviceDock()->ClickedListItem(t->item(0, 0));
        dev = window->mainView()->currentDevice();
        QVERIFY(dev);
        page = window->mainView()->pageMag();
        window->mainView()->showPage(MainView::PageMag);
        QTest::qWait(500);
        QVERIFY(!dev->getLogList().contains("download mag matrix:"));
    }

    void statusAnswerShowsUntilTheNextRefresh()
    {
        QCOMPARE(buttonText(), QString::fromUtf8("计算"));
        dev->setMagCalculType(DeviceConfToShow::MagCalcul_Idle);
        page->slotUpdateMagStansardStatus(true);
        QCOMPARE(statusText(), QString::fromUtf8("已校准"));
        page->updateUI(dev);
        QCOMPARE(statusText(), QString::fromUtf8("未校准"));
    }

    void cancellingClearsTheRun()
    {
        const int before = writes().size();
        auto* button = page->findChild<QPushButton*>("pushButton_EffectCalculate");
        button->click();
        QCOMPARE(dev->eMagCalculType.load(), int(DeviceConfToShow::MagCalcul_Collect));
        QCOMPARE(buttonText(), QString::fromUtf8("取消"));
        QTRY_VERIFY_WITH_TIMEOUT(dev->magSampleCount() > 100, 10000);
        QTRY_VERIFY(page->glWidget()->nRawPts > 0);
        button->click();
        QCOMPARE(dev->eMagCalculType.load(), int(DeviceConfToShow::MagCalcul_Idle));
        QCOMPARE(dev->magSampleCount(), 0);
        QCOMPARE(dev->nMagProgress.load(), 0);
        QTRY_COMPARE(page->glWidget()->nRawPts, 0);
        // Start and cancel each wrote the zeroed setting with ctrl[0] = 1.
        QTRY_COMPARE_WITH_TIMEOUT(writes().size(), before + 2, 5000);
        for (const QByteArray& w : writes().mid(before)) {
            QCOMPARE(int(w.at(0)), 1);
            QCOMPARE(w.mid(1), QByteArray(514, '\0'));
        }
    }

    void aRunEndsWithTheResultInTheDevice()
    {
        const int before = writes().size();
        page->findChild<QPushButton*>("pushButton_EffectCalculate")->click();
        QTRY_VERIFY_WITH_TIMEOUT(dev->getLogList().join('\n').contains(QString::fromUtf8("拟合收集点数：")), 5000);
        // The result is written although another row (none here) is shown
        // when it is fitted.
        window->mainView()->clearCurrentDevice();
        QTRY_COMPARE_WITH_TIMEOUT(dev->eMagCalculType.load(), int(DeviceConfToShow::MagCalcul_Device), 120000);
        QTRY_COMPARE_WITH_TIMEOUT(window->magResultWriter()->stage(dev->strKey), MagResultWriter::Written, 10000);
        window->deviceDock()->ClickedListItem(window->deviceDock()->table()->item(0, 0));
        QTRY_COMPARE(statusText(), QString::fromUtf8("已校准"));
        QCOMPARE(buttonText(), QString::fromUtf8("计算"));
        QCOMPARE(page->findChild<QProgressBar*>("progressBar_calcul")->value(), 100);
        const QString log = dev->getLogList().join('\n');
        QVERIFY(log.contains(QString::fromUtf8("拟合运算效果：")));
        QVERIFY(log.contains(QString::fromUtf8("拟合算法运算成功！")));
        QVERIFY(log.contains("update mag offset:"));

        // Exactly one write of the result, whatever the refreshes after it.
        QTRY_COMPARE_WITH_TIMEOUT(writes().size(), before + 2, 5000);
        QTest::qWait(500);
        QCOMPARE(writes().size(), before + 2);
        const QByteArray result = writes().last();
        QCOMPARE(int(result.at(0)) & 0x07, 0x04);
        QVERIFY(sim->isMagCalibrated());
        // The accelerometer and gyroscope blocks went back as the device holds
        // them, although its configuration was lost when it was listed.
        QCOMPARE(result.mid(3, 96), SimulatedSensor::initialBlocks(SimulatedSensor::StoredConfig::Distinct).left(96));
        QCOMPARE(sim->writtenSettings().last().mid(3, 96), result.mid(3, 96));
        // The offset the device received against its true hard iron (tenths of µT).
        const double truth[3] = {120, -70, 200};
        double err2 = 0;
        for (int i = 0; i < 3; ++i) {
            const double got = le32(result, 99 + 4 * i) / 65536.0;
            err2 += (got - truth[i]) * (got - truth[i]);
        }
        const double offsetErrorMicroTesla = std::sqrt(err2) / 10.0;
        qInfo("offset error against the simulator's hard iron: %.4f uT", offsetErrorMicroTesla);
        QVERIFY(offsetErrorMicroTesla < 0.5);

        // Live corrected points lie on the 48 µT sphere.
        QTRY_VERIFY_WITH_TIMEOUT(page->glWidget()->nCaliPts > 50, 10000);
        std::vector<float> pts(size_t(DeviceConfToShow::kCaliPoints) * 3);
        int n = 0;
        dev->copyCaliPoints(pts.data(), &n);
        for (int i = 0; i < n; ++i) {
            const double m = std::sqrt(pts[3 * i] * pts[3 * i] + pts[3 * i + 1] * pts[3 * i + 1] + pts[3 * i + 2] * pts[3 * i + 2]);
            QVERIFY2(std::fabs(m - 48.0) < 1.5, qPrintable(QString::number(m)));
        }
        window->mainView()->refresh();
        QCOMPARE(page->glWidget()->drawType(), int(DeviceConfToShow::MagCalcul_Device));
        QVERIFY(page->glWidget()->nFitPts > 1000);
    }

    void aWriteTheDeviceNeverAcknowledgesIsAFailure()
    {
        MagResultWriter* writer = window->magResultWriter();
        const int before = writes().size();
        const int boxes = boxTexts.size();
        sim->setFault(SimulatedSensor::NoWriteAck, true);
        writer->submit(dev);
        QTRY_COMPARE_WITH_TIMEOUT(writer->stage(dev->strKey), MagResultWriter::Writing, 5000);
        // A new run may not start while the write is unanswered.
        page->findChild<QPushButton*>("pushButton_EffectCalculate")->click();
        QCOMPARE(dev->eMagCalculType.load(), int(DeviceConfToShow::MagCalcul_Device));
        QTRY_COMPARE_WITH_TIMEOUT(writer->stage(dev->strKey), MagResultWriter::Failed, 10000);
        QCOMPARE(writer->failureText(dev->strKey), QString::fromUtf8("设备未确认写入，校准结果未写入设备"));
        QCOMPARE(writes().size(), before + 1);
        window->mainView()->refresh();
        QVERIFY(statusText() != QString::fromUtf8("已校准"));
        QTRY_COMPARE(boxTexts.size(), boxes + 1);
        sim->setFault(SimulatedSensor::NoWriteAck, false);
    }

    void anUnconfirmedWriteIsNeverShownAsCalibratedAndCanBeRetried()
    {
        // The device stops answering: its configuration cannot be read again,
        // so nothing may be written, and the page must say so.
        MagResultWriter* writer = window->magResultWriter();
        const int before = writes().size();
        const int configRequests = configRequestCount();
        boxTexts.clear();
        sim->setFault(SimulatedSensor::IgnoreCommands, true);
        writer->submit(dev);
        window->mainView()->refresh();
        QCOMPARE(statusText(), QString::fromUtf8("正在写入设备..."));
        QTRY_COMPARE_WITH_TIMEOUT(writer->stage(dev->strKey), MagResultWriter::Failed, 30000);
        window->mainView()->refresh();
        QCOMPARE(statusText(), QString::fromUtf8("未能读取设备配置，校准结果未写入设备"));
        QVERIFY(retryButton()->isVisible());
        QCOMPARE(writes().size(), before);
        // The lost configuration was asked for once more before giving up.
        QCOMPARE(configRequestCount(), configRequests + 2);
        QTRY_COMPARE(boxTexts.size(), 1);
        QVERIFY(boxTexts[0].contains(QString::fromUtf8("校准结果未写入设备")));
        QCOMPARE(writer->unwrittenKeys(), QStringList{dev->strKey});

        // Closing with an unwritten result warns once.
        QVERIFY(!window->close());
        QTRY_COMPARE(boxTexts.size(), 2);

        // The device answers again: a retry writes the kept result.
        sim->setFault(SimulatedSensor::IgnoreCommands, false);
        retryButton()->click();
        QTRY_COMPARE_WITH_TIMEOUT(writer->stage(dev->strKey), MagResultWriter::Written, 10000);
        QCOMPARE(writes().size(), before + 1);
        window->mainView()->refresh();
        QCOMPARE(statusText(), QString::fromUtf8("已校准"));
        QVERIFY(!retryButton()->isVisible());
        QVERIFY(writer->unwrittenKeys().isEmpty());
    }

    void resultsOfUsbNodesAndVanishedDevicesAreNotClaimed()
    {
        MagResultWriter* writer = window->magResultWriter();
        DeviceConfToShow node(SOURCE_ROUTER, 0, "66048", "0Hips");
        writer->submit(&node);
        QCOMPARE(writer->stage("66048"), MagResultWriter::Failed);
        QVERIFY(!writer->retry("66048"));
        sim->setFault(SimulatedSensor::IgnoreCommands, true);
        writer->submit(dev);
        writer->onDeviceRemoved(dev->strKey);
        QCOMPARE(writer->stage(dev->strKey), MagResultWriter::Failed);
        QCOMPARE(writer->failureText(dev->strKey), QString::fromUtf8("设备已断开，校准结果未写入设备"));
        sim->setFault(SimulatedSensor::IgnoreCommands, false);
        QTRY_COMPARE(boxTexts.size(), 4);
    }

    void dragSpinsAndAClickStops()
    {
        MagCaliGLWidget* gl = page->glWidget();
        QTest::mousePress(gl, Qt::LeftButton, Qt::NoModifier, QPoint(100, 100));
        QTest::mouseRelease(gl, Qt::LeftButton, Qt::NoModifier, QPoint(160, 100));  // same millisecond
        QVERIFY(std::isfinite(gl->spinSpeed()));
        QVERIFY(gl->spinSpeed() > 0.01);
        QVERIFY(std::fabs(gl->spinAxis().length() - 1.0f) < 1e-5f);
        QTRY_VERIFY(!gl->sceneRotation().isIdentity());
        QTest::mousePress(gl, Qt::LeftButton, Qt::NoModifier, QPoint(100, 100));
        QTest::mouseRelease(gl, Qt::LeftButton, Qt::NoModifier, QPoint(100, 100));
        QCOMPARE(gl->spinSpeed(), 0.0);
        QVERIFY(std::isfinite(gl->spinAxis().x()));
    }

    void cleanupTestCase()
    {
        window.reset();
        sim->stop();
    }
};

QTEST_MAIN(TestMagCalibrationPage)
#include "tst_magcalibrationpage.moc"
