// The program in-process with three simulated serial sensors.

#include "AppTestSupport.h"
#include "DeviceConfToShow.h"
#include "DockDebugInfo.h"
#include "DockDeviceList.h"
#include "MainView.h"
#include "SLDevice.h"
#include "SimulatedSensor.h"
#include "Strideloom.h"
#include "TabBasicDataWidget.h"
#include "ExportSettings.h"
#include "RecordFormat.h"
#include "ToolBarDeviceOperation.h"
#include "ToolBarFileOperation.h"
#include "kvplot2d.h"

#include <QComboBox>
#include <QSlider>
#include <QPushButton>
#include <QLineEdit>
#include <QTemporaryDir>
#include <QMessageBox>
#include <QTableWidget>
#include <QProgressBar>
#include <QStatusBar>
#include <QtTest>
#include <memory>

namespace {

// The program's own threads by name (Qt names a thread after its class;
// calibrator workers name themselves). Qt, GLib and the GL driver keep
// threads of their own for the life of the process; those are left out.
QStringList ourThreads()
{
    QStringList names;
    for (const QString& t : QDir("/proc/self/task").entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        QFile comm("/proc/self/task/" + t + "/comm");
        if (!comm.open(QIODevice::ReadOnly))
            continue;
        const QString name = QString::fromLocal8Bit(comm.readAll()).trimmed();
        if (name.startsWith("Thread") || name.startsWith("UpdateUIThread") || name.startsWith("MagCalibrator"))
            names << name;
    }
    names.sort();
    return names;
}

// Answers the next modal information box and returns its text.
class InfoBoxCatcher : public QObject
{
public:
    QString text;
    void arm()
    {
        text.clear();
        QTimer::singleShot(50, this, [this] { poll(); });
    }

private:
    void poll()
    {
        if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
            text = box->text();
            box->accept();
            return;
        }
        QTimer::singleShot(50, this, [this] { poll(); });
    }
};

} // namespace

class TestStrideloom : public QObject
{
    Q_OBJECT
private:
    std::unique_ptr<AppWorkDir> work;
    std::vector<std::unique_ptr<SimulatedSensor>> sims;
    std::unique_ptr<Strideloom> window;
    
    QTableWidget* table() { return window->deviceDock()->table(); }

    void discover()
    {
        QSignalSpy done(window->device()->getDevObj(), SIGNAL(sigAutoCheckComplete()));
        window->deviceToolBar()->checkSerialAction()->trigger();
        QVERIFY(done.wait(30000));
        QTest::qWait(50);
    }

    void setChecked(int row, bool on)
    {
        table()->item(row, 0)->setCheckState(on ? Qt::Checked : Qt::Unchecked);
        window->deviceDock()->ClickedListItem(table()->item(row, 0));
    }

private slots:
    void initTestCase()
    {
        work = std::make_unique<AppWorkDir>();
        QVERIFY(work->isValid());
        const int rates[3] = {115200, 460800, 1500000};
        QStringList ports;
        for (int i = 0; i < 3; ++i) {
            SimulatedSensor::Config c;
            c.serial = 20230001u + uint32_t(i);
            c.baudRate = rates[i];
            c.seed = c.serial;
            sims.push_back(std::make_unique<SimulatedSensor>(c));
            QVERIFY(sims.back()->start());
            ports << sims.back()->portPath();
        }
        work->setOption("extraports", ports.join(';'));
        window = std::make_unique<Strideloom>();
        window->resize(1000, 600);
        window->show();
    }

    void findDevicesListsThemWithKeysAndRates()
    {
        QSignalSpy progress(window->discoveryProgress(), &QProgressBar::valueChanged);
        discover();
        // The status bar followed the sweep and then tells what it found.
        bool between = false;
        for (const QList<QVariant>& v : progress)
            between = between || (v.at(0).toInt() > 0 && v.at(0).toInt() < 100);
        QVERIFY(between);
        QVERIFY(!window->discoveryProgress()->isVisible());
        QCOMPARE(window->statusBar()->currentMessage(), QString::fromUtf8("查找完成，找到 3 个串口设备"));
        QCOMPARE(table()->rowCount(), 3);
        QStringList keys, rates;
        for (int row = 0; row < 3; ++row) {
            keys << table()->item(row, 0)->text();
            QCOMPARE(table()->item(row, 1)->text(), QStringLiteral("Serial Port"));
            rates << table()->item(row, 2)->text();
            QCOMPARE(table()->item(row, 0)->checkState(), Qt::Unchecked);
        }
        keys.sort();
        QStringList expected;
        for (auto& sim : sims)
            expected << QStringLiteral("0x") + QString::number(sim->config().serial, 16);
        QCOMPARE(keys, expected);
        for (const char* r : {"115200", "460800", "1500000"})
            QVERIFY(rates.contains(QString::fromUtf8("波特率：") + r));
    }

    void selectingADeviceShowsItsPlotsAndValues()
    {
        window->deviceDock()->ClickedListItem(table()->item(1, 0));
        DeviceConfToShow* r = window->mainView()->currentDevice();
        QVERIFY(r);
        QWidget* accel = r->pPlotAccel->getPlotWidget();
        QTRY_VERIFY(accel->isVisible());
        QCOMPARE(accel->parentWidget()->objectName(), QStringLiteral("widgetAccel"));
        auto* field = window->mainView()->basicPage()->findChild<QLineEdit*>("lineEdit_AccelX");
        QTRY_VERIFY_WITH_TIMEOUT(field->text() != QLatin1String("0.0"), 5000);
        // The debug dock shows this device's log (its downloaded calibration).
        QTRY_VERIFY_WITH_TIMEOUT(window->debugDock()->text().contains("download mag matrix:"), 5000);

        // Another device, then back: the plots are the device's own.
        window->deviceDock()->ClickedListItem(table()->item(0, 0));
        QVERIFY(!accel->isVisible());
        window->deviceDock()->ClickedListItem(table()->item(1, 0));
        QVERIFY(accel->isVisible());
    }

    void zeroRotationNeedsExactlyOneCheckedDevice()
    {
        InfoBoxCatcher catcher;
        QAction* zero = window->deviceToolBar()->zeroRotateAction();
        const QString refusal = QString::fromUtf8("请仅勾选一个设备用于置零旋转!");

        catcher.arm();
        zero->trigger();  // nothing checked
        QCOMPARE(catcher.text, refusal);
        QVERIFY(!zero->isChecked());

        setChecked(0, true);
        setChecked(1, true);
        catcher.arm();
        zero->trigger();
        QCOMPARE(catcher.text, refusal);
        QVERIFY(!zero->isChecked());

        setChecked(1, false);
        const QString key = window->deviceDock()->checkedDeviceKey();
        QVERIFY(!key.isEmpty());
        SimulatedSensor* sim = nullptr;
        for (auto& s : sims)
            if (s->key() == key)
                sim = s.get();
        QVERIFY(sim);
        zero->trigger();
        QVERIFY(zero->isChecked());
        QTRY_VERIFY_WITH_TIMEOUT(!sim->receivedCommands().isEmpty() && sim->receivedCommands().last().first == 11, 5000);
        QCOMPARE(sim->receivedCommands().last().second, QByteArray(1, '\x01'));
        zero->trigger();
        QVERIFY(!zero->isChecked());
        QTRY_COMPARE_WITH_TIMEOUT(sim->receivedCommands().last().second, QByteArray(1, '\x02'), 5000);
        setChecked(0, false);
    }

    void docksCloseAndReopenThroughTheMenu()
    {
        QAction* action = window->findChild<QAction*>("action_deviceList");
        window->deviceDock()->close();
        QVERIFY(window->deviceDock()->isHidden());
        QVERIFY(!action->isChecked());
        action->trigger();
        QVERIFY(!window->deviceDock()->isHidden());
        QVERIFY(action->isChecked());

        QAction* debug = window->findChild<QAction*>("action_debuginfo");
        debug->trigger();
        QVERIFY(window->debugDock()->isHidden());
        QVERIFY(!debug->isChecked());
        debug->trigger();
        QVERIFY(debug->isChecked());
    }

    void contextMenuFollowsTheRowKind()
    {
        DockDeviceList* dock = window->deviceDock();
        QCOMPARE(dock->menuActionsFor(dock->recordForKey(sims[0]->key())).size(), 2);
        DeviceConfToShow router(SOURCE_ROUTER, 0, "99", "3Hips");
        DeviceConfToShow file(SOURCE_FILE, 0, "98", "/tmp/rec.txt");
        QVERIFY(dock->menuActionsFor(&router).isEmpty());
        const QList<QAction*> fileActions = dock->menuActionsFor(&file);
        QCOMPARE(fileActions.size(), 1);
        QCOMPARE(fileActions[0]->text(), QString::fromUtf8("删除文件"));
    }

    void exportFlagsReadAsNumbers()
    {
        window->setOption("accel", "2");
        window->setOption("gyro", "yes");
        ExportSettings s;
        window->loadExportSettings(s);
        QCOMPARE(s.accel, 2);
        QCOMPARE(s.gyro, 0);
        window->setOption("unknownoption", "kept");
        window->storeExportSettings(s);
        QFile config("Resources/config.xml");
        QVERIFY(config.open(QIODevice::ReadOnly));
        const QByteArray xml = config.readAll();
        QVERIFY(xml.contains("unknownoption"));
        QVERIFY(xml.contains("name=\"accel\" value=\"1\"") || xml.contains("value=\"1\" name=\"accel\""));
    }

    void recordingTheCheckedDeviceWritesWholeLines()
    {
        ExportSettings s;
        s.filename = "rec";
        s.filesuffix = "txt";
        s.separate = ";";
        s.placeholder = "NaN";
        s.packcount = s.accel = s.gyro = s.mag = s.quat = s.euler = s.temperature = 1;
        window->storeExportSettings(s);
        QTemporaryDir out;
        ToolBarFileOperation* bar = window->fileToolBar();
        QVERIFY(!bar->exportAction()->isEnabled());
        setChecked(0, true);
        QVERIFY(bar->exportAction()->isEnabled());
        const QString key = window->deviceDock()->checkedDeviceKey();
        bar->pathCombo()->setCurrentText(out.path() + "/sub/dir");
        bar->exportAction()->trigger();
        QVERIFY(bar->isExporting());
        QTest::qWait(1500);
        bar->exportAction()->trigger();
        QVERIFY(!bar->isExporting());
        setChecked(0, false);

        const QStringList files = QDir(out.path() + "/sub/dir").entryList(QDir::Files);
        QCOMPARE(files.size(), 1);
        QVERIFY(files[0].startsWith("rec_") && files[0].endsWith("_" + key + ".txt"));
        QFile f(out.path() + "/sub/dir/" + files[0]);
        QVERIFY(f.open(QIODevice::ReadOnly | QIODevice::Text));
        const QStringList lines = QString::fromUtf8(f.readAll()).split('\n', Qt::SkipEmptyParts);
        RecordHeader h;
        QVERIFY(RecordFormat::parseHeader(lines[0], &h));
        QCOMPARE(h.key, key);
        QVERIFY(lines.size() > 50);
        PlayHistory history;
        for (int i = 1; i < lines.size(); ++i) {
            QVERIFY2(RecordFormat::parseDataLine(h, lines[i], &history), qPrintable(lines[i]));
            QCOMPARE(lines[i].section(';', 0, 0).toInt(), i);
        }
        for (const auto& a : history.vecAccel)
            QVERIFY(std::fabs(std::sqrt(a[0] * a[0] + a[1] * a[1] + a[2] * a[2]) - 1.0) < 1e-3);
    }

    void playbackOfARecording()
    {
        QTemporaryDir dir;
        const QString path = dir.path() + "/seven.txt";
        QFile f(path);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write("31/,/NaN/0/0/1/0/0/0/0/0/0/0/0/0\n");
        for (int i = 1; i <= 7; ++i)
            f.write(QByteArray::number(i) + ",0,0,\n");
        f.close();
        InfoBoxCatcher catcher;
        const int rows = table()->rowCount();
        QVERIFY(window->openRecording(path));
        QCOMPARE(table()->rowCount(), rows + 1);
        QCOMPARE(table()->item(rows, 1)->text(), QStringLiteral("Read File"));
        QCOMPARE(table()->item(rows, 2)->text(), path);

        window->deviceDock()->ClickedListItem(table()->item(rows, 0));
        DeviceConfToShow* file = window->mainView()->currentDevice();
        QCOMPARE(file->nFrameCount, 7);
        auto* edit = window->mainView()->findChild<QLineEdit*>("lineEdit_playBegin");
        auto* count = window->mainView()->findChild<QLineEdit*>("lineEdit_playEnd");
        auto* slider = window->mainView()->findChild<QSlider*>("horizontalSlider_play");
        QVERIFY(edit->isEnabled());
        QCOMPARE(count->text(), QStringLiteral("7"));
        window->mainView()->slotSliderMove(5000);
        QCOMPARE(file->nPlayPos, 3);
        QCOMPARE(file->frame().accel[0], 3.0f);
        edit->setText("8");
        window->mainView()->slotPlayEPosReturnPressed();
        QCOMPARE(edit->text(), QStringLiteral("3"));
        edit->setText("7");
        window->mainView()->slotPlayEPosReturnPressed();
        QCOMPARE(file->nPlayPos, 7);
        QCOMPARE(slider->value(), 10000);

        // Playing continues while another device is shown.
        file->nPlayPos = 0;
        window->mainView()->findChild<QPushButton*>("pushButton_playPause")->click();
        QVERIFY(file->bPlaying);
        window->deviceDock()->ClickedListItem(table()->item(0, 0));
        QVERIFY(!edit->isEnabled());
        QTRY_COMPARE(file->nPlayPos, 7);
        QVERIFY(file->timerPlay.isActive());

        // Not a recording: refused with the user told.
        const QString bad = dir.path() + "/bad.txt";
        QFile b(bad);
        QVERIFY(b.open(QIODevice::WriteOnly));
        b.write("just text\n");
        b.close();
        catcher.arm();
        QVERIFY(!window->openRecording(bad));
        QCOMPARE(catcher.text, QString::fromUtf8("获取文件信息失败，不能解析此文件！"));
        QCOMPARE(table()->rowCount(), rows + 1);
    }

    void laterDiscoveriesKeepRowsAndDropTheVanished()
    {
        // The file row stays; only serial rows follow discovery.
        const int files = table()->rowCount() - 3;
        discover();
        QCOMPARE(table()->rowCount(), 3 + files);
        const QString gone = QStringLiteral("0x") + QString::number(sims[2]->config().serial, 16);
        for (int row = 0; row < table()->rowCount(); ++row)
            if (table()->item(row, 0)->text() == gone)
                setChecked(row, true);
        QCOMPARE(window->deviceDock()->checkedDeviceKey(), sims[2]->key());
        sims[2]->vanish();
        discover();
        QCOMPARE(table()->rowCount(), 2 + files);
        for (int row = 0; row < 2 + files; ++row)
            QVERIFY(table()->item(row, 0)->text() != gone);
        QVERIFY(window->mainView()->currentDevice() == nullptr);
        // The removed row is no longer checked: commands are refused at once.
        QVERIFY(window->deviceDock()->checkedDeviceKey().isEmpty());
        InfoBoxCatcher catcher;
        catcher.arm();
        QVERIFY(!window->onZeroRotate(true));
        QCOMPARE(catcher.text, QString::fromUtf8("请仅勾选一个设备用于置零旋转!"));
    }

    void shutdownWithDevicesStreamingStopsEveryThread()
    {
        QTest::qWait(300);
        QVERIFY(ourThreads().contains("UpdateUIThread"));
        QVERIFY(ourThreads().contains("MagCalibrator"));
        QVERIFY(ourThreads().contains("ThreadReadSenso"));
        window.reset();
        QTRY_COMPARE(ourThreads(), QStringList());
    }

    void cleanupTestCase()
    {
        window.reset();
        for (auto& s : sims)
            s->stop();
    }
};

QTEST_MAIN(TestStrideloom)
#include "tst_strideloom.moc"
