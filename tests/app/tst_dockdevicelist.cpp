#include "DeviceConfToShow.h"
#include "DockDeviceList.h"
#include "SensorFrame.h"
#include "kvplot2d.h"

#include <QTableWidget>
#include <qwt_plot.h>
#include <qwt_plot_curve.h>
#include <QtTest>
#include <cstring>

namespace {

DevSetting settingWith(const float matrix[9], const float bias[3])
{
    DevSetting s;
    std::memset(&s, 0, sizeof(s));
    std::memcpy(s.cal[2].matrix, matrix, sizeof(float) * 9);
    std::memcpy(s.cal[2].bias, bias, sizeof(float) * 3);
    s.cal[0].bias[0] = 7.0f;
    return s;
}

} // namespace

class TestDockDeviceList : public QObject
{
    Q_OBJECT
private slots:
    void rowsShowKeysInHexAndFilesHaveNoCheckBox()
    {
        DockDeviceList dock;
        dock.addDevice(new DeviceConfToShow(SOURCE_ROUTER, 0, "4294967295", "3Hips"));
        dock.addDevice(new DeviceConfToShow(SOURCE_FILE, 0, "255", "/tmp/rec.txt"));
        QTableWidget* t = dock.table();
        QCOMPARE(t->item(0, 0)->text(), QStringLiteral("0xffffffff"));
        QCOMPARE(t->item(0, 1)->text(), QStringLiteral("Router Device"));
        QCOMPARE(t->item(0, 2)->text(), QStringLiteral("3Hips"));
        QCOMPARE(t->item(1, 0)->text(), QStringLiteral("0xff"));
        QCOMPARE(t->item(1, 1)->text(), QStringLiteral("Read File"));
        QVERIFY(t->item(0, 0)->data(Qt::CheckStateRole).isValid());
        QVERIFY(!t->item(1, 0)->data(Qt::CheckStateRole).isValid());
        QCOMPARE(dock.menuActionsFor(dock.records().at(1)).size(), 1);
    }

    void configurationWithAUsableCalibrationIsLoaded()
    {
        DockDeviceList dock;
        auto* r = new DeviceConfToShow(SOURCE_SERIAL, 115200, "5", "n");
        dock.addDevice(r);
        const float m[9] = {1.5f, 0.01f, 0, 0, 0.9f, 0.02f, 0, 0, 1.1f};
        const float b[3] = {12.5f, -3, 40};
        DevSetting s = settingWith(m, b);
        dock.APPCmdResponded_CONFIG("5", s);
        QCOMPARE(r->stcSetting.cal[0].bias[0], 7.0f);
        QCOMPARE(r->eMagCalculType.load(), int(DeviceConfToShow::MagCalcul_Device));
        double matrix[9], offset[3];
        r->magCalibrator.getResult(matrix, offset);
        QCOMPARE(matrix[0], 1.5);
        QCOMPARE(offset[0], 12.5);
        const QStringList log = r->getLogList();
        QCOMPARE(log.size(), 6);
        QCOMPARE(log[0], QStringLiteral("download mag offset:"));
        QCOMPARE(log[1], QStringLiteral("12.5 -3 40"));
        QCOMPARE(log[2], QStringLiteral("download mag matrix:"));
        QCOMPARE(log[3], QStringLiteral("1.5 0.01 0"));
    }

    void configurationWithoutACalibrationOnlyLogs()
    {
        DockDeviceList dock;
        auto* r = new DeviceConfToShow(SOURCE_SERIAL, 115200, "6", "n");
        dock.addDevice(r);
        const float zeros[9] = {};
        const float b[3] = {1, 2, 3};
        DevSetting s = settingWith(zeros, b);
        dock.APPCmdResponded_CONFIG("6", s);
        QCOMPARE(r->eMagCalculType.load(), int(DeviceConfToShow::MagCalcul_Idle));
        QCOMPARE(r->getLogList().size(), 6);
        QCOMPARE(r->stcSetting.cal[2].bias[2], 3.0f);
        DevSetting other = settingWith(zeros, b);
        dock.APPCmdResponded_CONFIG("unknown", other);  // no row: ignored
    }

    void configurationWhileCollectingChangesOnlyTheSetting()
    {
        DockDeviceList dock;
        auto* r = new DeviceConfToShow(SOURCE_SERIAL, 115200, "8", "n");
        dock.addDevice(r);
        r->setMagCalculType(DeviceConfToShow::MagCalcul_Collect);
        const float m[9] = {1, 0, 0, 0, 1, 0, 0, 0, 1};
        const float b[3] = {1, 2, 3};
        DevSetting s = settingWith(m, b);
        dock.APPCmdResponded_CONFIG("8", s);
        QCOMPARE(r->eMagCalculType.load(), int(DeviceConfToShow::MagCalcul_Collect));
        QVERIFY(r->getLogList().isEmpty());
        QCOMPARE(r->stcSetting.cal[2].bias[1], 2.0f);
    }

    void framesReachTheirRecordOnly()
    {
        DockDeviceList dock;
        auto* a = new DeviceConfToShow(SOURCE_SERIAL, 115200, "1", "a");
        auto* file = new DeviceConfToShow(SOURCE_FILE, 0, "2", "f");
        dock.addDevice(a);
        dock.addDevice(file);
        FrameData f;
        std::memset(&f, 0, sizeof(f));
        f.accel[0] = 0.5f;
        dock.AppReadFrameData("1", &f);
        dock.AppReadFrameData("2", &f);  // files take no live frames
        dock.AppReadFrameData("3", &f);  // nobody
        QCOMPARE(a->frame().accel[0], 0.5f);
        QCOMPARE(file->frame().accel[0], 0.0f);
    }

    void rowsOfOneKeyKeepTheirOwnFramesAndReplies()
    {
        // A recorded file, a serial device and a USB node may share a key.
        DockDeviceList dock;
        QSignalSpy configs(&dock, &DockDeviceList::sigCmdResponse_config);
        auto* file = new DeviceConfToShow(SOURCE_FILE, 0, "513", "/tmp/rec.txt");
        auto* serial = new DeviceConfToShow(SOURCE_SERIAL, 115200, "513", "s");
        dock.addDevice(file);
        dock.addDevice(serial);
        // The node gets its own row and takes only its own frames.
        SensorFrame sf;
        std::memset(&sf, 0, sizeof(sf));
        sf.nodeId = 513;
        sf.accel[0] = 0.25f;
        dock.AppReadFrameData(sf);
        QCOMPARE(dock.table()->rowCount(), 3);
        DeviceConfToShow* node = dock.recordForKey("513", SOURCE_ROUTER);
        QVERIFY(node && node != file && node != serial);
        QCOMPARE(node->frame().accel[0], 0.25f);
        QCOMPARE(serial->frame().accel[0], 0.0f);
        FrameData f;
        std::memset(&f, 0, sizeof(f));
        f.accel[0] = 0.5f;
        dock.AppReadFrameData("513", &f);
        QCOMPARE(serial->frame().accel[0], 0.5f);
        QCOMPARE(node->frame().accel[0], 0.25f);
        QCOMPARE(file->frame().accel[0], 0.0f);
        // A configuration reply reaches the serial row only.
        const float m[9] = {1, 0, 0, 0, 1, 0, 0, 0, 1};
        const float b[3] = {1, 2, 3};
        DevSetting s = settingWith(m, b);
        dock.APPCmdResponded_CONFIG("513", s);
        QCOMPARE(serial->stcSetting.cal[0].bias[0], 7.0f);
        QCOMPARE(node->stcSetting.cal[0].bias[0], 0.0f);
        QCOMPARE(file->stcSetting.cal[0].bias[0], 0.0f);
        QVERIFY(file->getLogList().isEmpty() && node->getLogList().isEmpty());
        QCOMPARE(configs.count(), 1);
    }

    void liveFramesFeedFivePlotsWhateverTheKey()
    {
        DockDeviceList dock;
        auto* r = new DeviceConfToShow(SOURCE_SERIAL, 115200, "not-a-number", "n");
        dock.addDevice(r);
        kvplot2d* const fed[] = {r->pPlotAccel, r->pPlotGyro, r->pPlotMag, r->pPlotQuat, r->pPlotEuler};
        kvplot2d* const unfed[] = {r->pPlotLAccel, r->pPlotPressure, r->pPlotAltitude, r->pPlotTemperature};
        for (kvplot2d* p : fed)
            p->getPlotWidget()->show();
        for (kvplot2d* p : unfed)
            p->getPlotWidget()->show();
        FrameData f;
        std::memset(&f, 0, sizeof(f));
        for (float* v : {f.accel, f.gyro, f.mag, f.euler})
            v[0] = v[1] = v[2] = 7.5f;
        f.quat[0] = f.quat[1] = f.quat[2] = f.quat[3] = 7.5f;
        for (int i = 0; i < 5; ++i)
            dock.AppReadFrameData("not-a-number", &f);
        // The largest value each plot draws, once its refresh has run.
        auto drawnMax = [](kvplot2d* p) {
            double m = -1e300;
            const QwtPlot* plot = p->getPlotWidget()->findChild<QwtPlot*>();
            for (const QwtPlotItem* item : plot->itemList(QwtPlotItem::Rtti_PlotCurve)) {
                const auto* curve = static_cast<const QwtPlotCurve*>(item);
                for (size_t i = 0; i < curve->dataSize(); ++i)
                    m = std::max(m, curve->sample(i).y());
            }
            return m;
        };
        for (kvplot2d* p : fed)
            QTRY_COMPARE(drawnMax(p), 7.5);
        for (kvplot2d* p : unfed)
            QVERIFY(drawnMax(p) < 7.5);
    }
};

QTEST_MAIN(TestDockDeviceList)
#include "tst_dockdevicelist.moc"
