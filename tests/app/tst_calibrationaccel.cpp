// The accelerometer wizard against a simulated device.

#include "CalibrationAccel.h"
#include "SLDevice.h"
#include "SimulatedSensor.h"

#include <QLabel>
#include <QRegularExpression>
#include <QtTest>
#include <memory>

class TestCalibrationAccel : public QObject
{
    Q_OBJECT
private:
    std::unique_ptr<SimulatedSensor> sim;
    std::unique_ptr<SLDevice> dev;

    // ACCELCAL parameter bytes the device received, in order.
    QList<QByteArray> accelCommands() const
    {
        QList<QByteArray> out;
        for (const auto& c : sim->receivedCommands())
            if (c.first == 7)
                out << c.second;
        return out;
    }

    static QByteArray param(int index, char value)
    {
        QByteArray p(8, '\0');
        p[index] = value;
        return p;
    }

private slots:
    void initTestCase()
    {
        SimulatedSensor::Config c;
        c.serial = 31337;
        c.baudRate = 230400;
        sim = std::make_unique<SimulatedSensor>(c);
        QVERIFY(sim->start());
        dev = std::make_unique<SLDevice>();
        dev->SetExtraPorts({sim->portPath()});
        QSignalSpy done(dev->getDevObj(), SIGNAL(sigAutoCheckComplete()));
        dev->AutoCheckDevice();
        QVERIFY(done.wait(30000));
        QCOMPARE(int(dev->GetAllDeviceConfig().size()), 1);
    }

    void walksThroughAllPages()
    {
        CalibrationAccel dlg("31337", dev.get());
        QVERIFY(connect(dev->getDevObj(), SIGNAL(sigCmdResponded_ACCELCAL(QString, bool)), &dlg,
                        SLOT(slotRecvCMDResponded(QString, bool))));
        dlg.show();
        QCOMPARE(dlg.step(), 0);
        QCOMPARE(dlg.buttonText(), QString::fromUtf8("开始校准"));
        QCOMPARE(dlg.labelText("label_wait_begin"), QString::fromUtf8("命令下发用时："));
        QCOMPARE(dlg.labelText("label_resSec_3"), QString::fromUtf8("校准旋转面【3】剩余时间："));

        // Begin: acknowledged, straight to plane 1 without a countdown.
        dlg.onClickNext();
        QTRY_COMPARE_WITH_TIMEOUT(dlg.step(), 1, 5000);
        QCOMPARE(dlg.labelText("label_recvSuc_begin"), QString::fromUtf8("命令执行状态：成功！"));
        QCOMPARE(dlg.buttonText(), QString::fromUtf8("校准旋转面【1】"));
        QCOMPARE(accelCommands(), QList<QByteArray>({param(0, 1)}));

        for (int plane = 1; plane <= 6; ++plane) {
            dlg.onClickNext();
            // Acknowledged: a three-second countdown, then the plane is finished once.
            QTRY_VERIFY_WITH_TIMEOUT(dlg.labelText(qPrintable(QString("label_resSec_%1").arg(plane)))
                                         .contains(QRegularExpression(QString::fromUtf8("剩余时间：[12]\\.\\d秒"))),
                                     5000);
            QCOMPARE(dlg.step(), plane);
            QTRY_COMPARE_WITH_TIMEOUT(dlg.step(), plane + 1, 6000);
            QCOMPARE(dlg.labelText(qPrintable(QString("label_resSec_%1").arg(plane))),
                     QString::fromUtf8("校准旋转面【") + QString::number(plane) + QString::fromUtf8("】剩余时间：0.0秒"));
            QTRY_VERIFY_WITH_TIMEOUT(accelCommands().size() == 1 + 2 * plane, 5000);
            QCOMPARE(accelCommands()[2 * plane - 1], param(plane, 1));
            QCOMPARE(accelCommands()[2 * plane], param(plane, 2));
        }
        QCOMPARE(dlg.buttonText(), QString::fromUtf8("开始计算"));
        dlg.onClickNext();
        QTRY_COMPARE_WITH_TIMEOUT(dlg.labelText("label_recvSuc_end"), QString::fromUtf8("校准计算状态：成功！"), 5000);
        QCOMPARE(dlg.step(), 7);
        QCOMPARE(accelCommands().last(), param(7, 1));
    }

    void failureIsShownAndOtherDevicesAreIgnored()
    {
        CalibrationAccel dlg("31337", dev.get());
        dlg.slotRecvCMDResponded("999", true);
        QCOMPARE(dlg.labelText("label_recvSuc_begin"), QString::fromUtf8("命令执行状态："));
        dlg.slotRecvCMDResponded("31337", false);
        QCOMPARE(dlg.labelText("label_recvSuc_begin"), QString::fromUtf8("命令执行状态：失败！"));
        QCOMPARE(dlg.step(), 0);  // nothing pending: no page change
        // A command the device never answers shows a growing wait.
        sim->setFault(SimulatedSensor::IgnoreCommands, true);
        dlg.onClickNext();
        QTRY_VERIFY_WITH_TIMEOUT(dlg.labelText("label_wait_begin").startsWith(QString::fromUtf8("命令下发用时：0.")), 2000);
        const auto waited = [&] {
            return dlg.labelText("label_wait_begin").mid(QString::fromUtf8("命令下发用时：").size()).section(
                QString::fromUtf8("秒"), 0, 0).toDouble();
        };
        QTRY_VERIFY_WITH_TIMEOUT(waited() >= 1.0, 3000);
        QCOMPARE(dlg.step(), 0);
        sim->setFault(SimulatedSensor::IgnoreCommands, false);
    }

    void cleanupTestCase()
    {
        dev.reset();
        sim->stop();
    }
};

QTEST_MAIN(TestCalibrationAccel)
#include "tst_calibrationaccel.moc"
