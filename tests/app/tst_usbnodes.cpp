#include "AppTestSupport.h"
#include "DeviceConfToShow.h"
#include "DockDeviceList.h"
#include "ModelConnectionFile.h"
#include "Strideloom.h"
#include "UsbFrameConversion.h"
#include "usbsim.h"

#include <QTableWidget>
#include <QMessageBox>
#include <QTimer>
#include <QtTest>
#include <cmath>
#include <cstring>
#include <memory>

namespace {

const char* const kBipedNames[17] = {"Hips",     "RightUpLeg", "RightLeg",     "RightFoot", "LeftUpLeg", "LeftLeg",
                                     "LeftFoot", "Spine",      "Spine1",       "Neck",      "Head",      "RightArm",
                                     "RightForeArm", "RightHand", "LeftArm", "LeftForeArm", "LeftHand"};

QString writeFile(const QString& dir, const QByteArray& content)
{
    static int n = 0;
    const QString path = dir + QStringLiteral("/model%1.mcc").arg(++n);
    QFile f(path);
    f.open(QIODevice::WriteOnly);
    f.write(content);
    return path;
}

} // namespace

class TestUsbNodes : public QObject
{
    Q_OBJECT
private:
    std::unique_ptr<AppWorkDir> work;
    std::unique_ptr<Strideloom> window;
    int router = -1;

    QTableWidget* table() { return window->deviceDock()->table(); }

private slots:
    void initTestCase()
    {
        work = std::make_unique<AppWorkDir>();
        QVERIFY(work->isValid());
        usbsim_reset();
        router = usbsim_add_router(0x1234, 0, 17, 50);
        window = std::make_unique<Strideloom>();
        window->resize(1000, 600);
        window->show();
    }

    void cleanupTestCase()
    {
        window.reset();
        QCOMPARE(usbsim_open_handles(), 0);
    }

    void everyNodeGetsANamedRowWithLiveValues()
    {
        QTRY_COMPARE_WITH_TIMEOUT(table()->rowCount(), 17, 8000);
        QStringList names;
        for (int row = 0; row < 17; ++row) {
            QCOMPARE(table()->item(row, 1)->text(), QStringLiteral("Router Device"));
            names << table()->item(row, 2)->text();
        }
        for (int p = 0; p < 17; ++p) {
            const uint32_t nodeId = (0x1234u << 8) | uint32_t(p);
            QVERIFY2(names.contains(QStringLiteral("4660") + QLatin1String(kBipedNames[p])), qPrintable(names.join(',')));
            DeviceConfToShow* r = window->deviceDock()->recordForKey(QString::number(nodeId));
            QVERIFY(r);
            QCOMPARE(r->nDevType, int(SOURCE_ROUTER));
            QTRY_VERIFY(r->frame().nodeId == nodeId);
            const FrameData f = r->frame();
            const double norm = std::sqrt(double(f.quat[0]) * f.quat[0] + double(f.quat[1]) * f.quat[1]
                                          + double(f.quat[2]) * f.quat[2] + double(f.quat[3]) * f.quat[3]);
            QVERIFY(std::fabs(norm - 1.0) < 1e-3);
            const double g = std::sqrt(double(f.accel[0]) * f.accel[0] + double(f.accel[1]) * f.accel[1]
                                       + double(f.accel[2]) * f.accel[2]);
            QVERIFY2(g > 0.5 && g < 1.5, qPrintable(QString::number(g)));
            QCOMPARE(int(f.nodeStatus[4]), p);
            QVERIFY(f.nodeStatus[3] > 0);  // battery
        }
        // The hexadecimal key column names the node identifier.
        QVERIFY(table()->findItems(QStringLiteral("0x123400"), Qt::MatchExactly).size() == 1);
    }

    void serialCommandsAreRefusedForNodes()
    {
        // The serial library cannot reach a node: the user is told at once.
        table()->item(0, 0)->setCheckState(Qt::Checked);
        window->deviceDock()->ClickedListItem(table()->item(0, 0));
        QString text;
        QTimer::singleShot(100, [&text] {
            if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
                text = box->text();
                box->accept();
            }
        });
        QVERIFY(!window->onZeroRotate(true));
        QVERIFY2(text.contains(QString::fromUtf8("不是已连接的串口设备")), qPrintable(text));
        table()->item(0, 0)->setCheckState(Qt::Unchecked);
        window->deviceDock()->ClickedListItem(table()->item(0, 0));
    }

    void rowsStayWhenTheReceiverIsPulled()
    {
        usbsim_unplug(router);
        QTest::qWait(800);
        QCOMPARE(table()->rowCount(), 17);
        const QString key = QString::number((0x1234u << 8) | 5u);
        DeviceConfToShow* r = window->deviceDock()->recordForKey(key);
        const FrameData before = r->frame();
        usbsim_plug(router, 3, 4);
        QTRY_VERIFY_WITH_TIMEOUT(std::memcmp(r->frame().quat, before.quat, sizeof before.quat) != 0, 5000);
        QCOMPARE(table()->rowCount(), 17);
    }

    void unmappedTypesGiveTheSuitNumberAlone()
    {
        QCOMPARE(window->nodeNameForType(64), QString());
        QCOMPARE(window->nodeNameForType(1), QStringLiteral("Hips"));
        SensorFrame sf;
        std::memset(&sf, 0, sizeof sf);
        sf.nodeId = (0x77u << 8) | 63u;
        window->deviceDock()->AppReadFrameData(sf);
        DeviceConfToShow* r = window->deviceDock()->recordForKey(QString::number(sf.nodeId));
        QVERIFY(r);
        QCOMPARE(r->strName, QStringLiteral("119"));
    }

    void conversionCarriesTheNodeFields()
    {
        SensorFrame sf;
        std::memset(&sf, 0, sizeof sf);
        for (int i = 0; i < 4; ++i)
            sf.quat[i] = 0.5f;
        for (int i = 0; i < 3; ++i) {
            sf.accel[i] = 1.0f + i;
            sf.gyro[i] = 10.0f + i;
            sf.mag[i] = 20.0f + i;
            sf.euler[i] = 30.0f + i;
            sf.location[i] = 40.0f + i;
        }
        sf.aux9[0] = 9;
        sf.extra = std::nanf("");
        sf.nodeId = 0x00123445;
        sf.bit12Clear = 1;
        sf.statusBit8 = 1;
        sf.statusBit9 = 0;
        sf.battery = 66;
        const FrameData f = frameDataFromSensorFrame(sf);
        QCOMPARE(f.quat[3], 0.5f);
        QCOMPARE(f.accel[2], 3.0f);
        QCOMPARE(f.gyro[0], 10.0f);
        QCOMPARE(f.mag[1], 21.0f);
        QCOMPARE(f.euler[2], 32.0f);
        QCOMPARE(f.position[1], 41.0f);
        QCOMPARE(std::memcmp(&f.extra, &sf.extra, 4), 0);  // bit for bit
        QCOMPARE(f.nodeId, 0x00123445u);
        const uint8_t status[5] = {1, 1, 0, 66, 5};
        QCOMPARE(std::memcmp(f.nodeStatus, status, 5), 0);
        QCOMPARE(f.matrix9[0], 0.0f);  // the auxiliary values are not carried over
    }

    void modelFile_data()
    {
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<QString>("expected");  // type=name;… after reading
        const QByteArray head = "<?xml version=\"1.0\"?><ModelConnection><connectionList>";
        const QByteArray tail = "</connectionList></ModelConnection>";
        QTest::newRow("duplicate type, later wins")
            << head + "<c sensorType=\"3\" nodeName=\"A\"/><c sensorType=\"3\" nodeName=\"B\"/>" + tail << "3=B";
        QTest::newRow("missing type") << head + "<c nodeName=\"N\"/>" + tail << "0=N";
        QTest::newRow("type not a number") << head + "<c sensorType=\"x7\" nodeName=\"N\"/>" + tail << "0=N";
        QTest::newRow("comment child") << head + "<!-- note --><c sensorType=\"2\" nodeName=\"K\"/>" + tail
                                       << "0=;2=K";
        QTest::newRow("type 64") << head + "<c sensorType=\"64\" nodeName=\"Prop\"/>" + tail << "64=Prop";
        QTest::newRow("no connectionList") << QByteArray("<ModelConnection><other/></ModelConnection>") << "";
        QTest::newRow("broken xml") << head + "<c sensorType=\"1\"" << "";
        QTest::newRow("empty file") << QByteArray() << "";
    }

    void modelFile()
    {
        QFETCH(QByteArray, content);
        QFETCH(QString, expected);
        ModelConnectionFile::NodeNames names;
        ModelConnectionFile::read(writeFile(work->path(), content), &names);
        QStringList got;
        for (const auto& kv : names)
            got << QStringLiteral("%1=%2").arg(kv.first).arg(kv.second);
        QCOMPARE(got.join(';'), expected);
    }

    void missingModelFileLeavesTheNamesAlone()
    {
        ModelConnectionFile::NodeNames names{{1, QStringLiteral("Kept")}};
        ModelConnectionFile::read(work->path() + QStringLiteral("/absent.mcc"), &names);
        QCOMPARE(names.size(), size_t(1));
        QCOMPARE(names[1], QStringLiteral("Kept"));
    }
};

QTEST_MAIN(TestUsbNodes)
#include "tst_usbnodes.moc"
