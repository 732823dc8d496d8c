// The serial library end to end: real QSerialPort I/O against simulated
// devices on pseudo-terminals.

#include "CommandCodec.h"
#include "DeviceEncoder.h"
#include "DeviceManager.h"
#include "SLDevice.h"
#include "SerialDevice.h"
#include "SerialFrameCodec.h"
#include "SerialRingBuffer.h"
#include "SimulatedSensor.h"

#include <QDir>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QtTest>
#include <cstring>
#include <memory>
#include <mutex>

namespace {

// Debug lines of the library, collected for the checks on the sweep.
std::mutex gLogMutex;
QStringList gLog;

void collectLog(QtMsgType type, const QMessageLogContext&, const QString& text)
{
    if (type != QtDebugMsg)
        std::fprintf(stderr, "%s\n", qPrintable(text));
    std::lock_guard<std::mutex> lock(gLogMutex);
    gLog << text;
}

QStringList logLines(const QString& needle)
{
    std::lock_guard<std::mutex> lock(gLogMutex);
    return gLog.filter(needle);
}

int threadCount()
{
    return int(QDir("/proc/self/task").entryList(QDir::Dirs | QDir::NoDotAndDotDot).size());
}

std::unique_ptr<SimulatedSensor> makeSensor(uint32_t serial, int baud, int hz = 100,
                                            const std::function<void(SimulatedSensor::Config&)>& adjust = {})
{
    SimulatedSensor::Config c;
    c.serial = serial;
    c.baudRate = baud;
    c.streamRateHz = hz;
    c.seed = serial;
    if (adjust)
        adjust(c);
    auto s = std::make_unique<SimulatedSensor>(c);
    return s;
}

} // namespace

// Copies what the library hands out during its signals.
class Collector : public QObject
{
    Q_OBJECT
public:
    struct Frame
    {
        QString key;
        FrameData data;
    };

    std::vector<Frame> frames(const QString& key)
    {
        std::lock_guard<std::mutex> lock(mutex);
        std::vector<Frame> out;
        for (const Frame& f : received)
            if (f.key == key)
                out.push_back(f);
        return out;
    }
    int count(const QString& key)
    {
        return int(frames(key).size());
    }
    void clear()
    {
        std::lock_guard<std::mutex> lock(mutex);
        received.clear();
    }

    QList<DevSetting> configs;

public slots:
    void onFrame(QString key, FrameData* f)
    {
        std::lock_guard<std::mutex> lock(mutex);
        received.push_back({key, *f});
    }
    void onConfig(QString, DevSetting& s)
    {
        configs << s;
    }

private:
    // Guards received: frames arrive on the reader thread.
    std::mutex mutex;
    std::vector<Frame> received;
};

class TestDiscovery : public QObject
{
    Q_OBJECT
private:
    std::unique_ptr<SLDevice> dev;
    Collector collector;

    void startSensors(const std::vector<SimulatedSensor*>& sensors)
    {
        QStringList ports;
        for (SimulatedSensor* s : sensors) {
            QString error;
            QVERIFY2(s->start(&error), qPrintable(error));
            ports << s->portPath();
        }
        dev = std::make_unique<SLDevice>();
        dev->SetExtraPorts(ports);
        QObject* m = dev->getDevObj();
        QVERIFY(connect(m, SIGNAL(sigNewReadFrameData(QString, FrameData*)), &collector,
                        SLOT(onFrame(QString, FrameData*)), Qt::DirectConnection));
        QVERIFY(connect(m, SIGNAL(sigCmdResponded_CONFIG(QString, DevSetting&)), &collector,
                        SLOT(onConfig(QString, DevSetting&))));
    }

    void discover()
    {
        QSignalSpy done(dev->getDevObj(), SIGNAL(sigAutoCheckComplete()));
        dev->AutoCheckDevice();
        QVERIFY(done.wait(30000));
    }

    // Sends a command and waits for the status result for that key.
    bool statusAfter(const std::function<void()>& send, const QString& key, int timeoutMs = 5000)
    {
        QSignalSpy status(dev->getDevObj(), SIGNAL(sigCmdResponded_CMDSTATUS(QString, bool)));
        send();
        QElapsedTimer clock;
        clock.start();
        while (clock.elapsed() < timeoutMs) {
            for (const QList<QVariant>& args : status)
                if (args.at(0).toString() == key)
                    return args.at(1).toBool();
            status.wait(100);
        }
        return false;
    }

private slots:
    void initTestCase()
    {
        qInstallMessageHandler(collectLog);
    }

    void cleanup()
    {
        dev.reset();
        collector.clear();
        collector.configs.clear();
        std::lock_guard<std::mutex> lock(gLogMutex);
        gLog.clear();
    }

    void sweepFindsTheOneDeviceAtItsRate()
    {
        auto silentA = makeSensor(11, 115200);
        auto sensor = makeSensor(20230517, 115200);
        auto silentB = makeSensor(33, 115200);
        silentA->setFault(SimulatedSensor::Mute, true);
        silentB->setFault(SimulatedSensor::Mute, true);
        startSensors({silentA.get(), sensor.get(), silentB.get()});
        QCOMPARE(dev->GetProgressAutoCheck(), 100);

        QSignalSpy progress(dev->getDevObj(), SIGNAL(sigAutoCheckProcess(int)));
        QSignalSpy done(dev->getDevObj(), SIGNAL(sigAutoCheckComplete()));
        _device_config probe;
        QVERIFY(!dev->GetDeviceConfig("20230517", probe));
        dev->AutoCheckDevice();
        QCOMPARE(dev->GetProgressAutoCheck(), 0);
        dev->AutoCheckDevice();  // ignored while the sweep runs
        QVERIFY(done.wait(30000));

        QList<int> steps;
        for (const QList<QVariant>& args : progress)
            steps << args.at(0).toInt();
        QCOMPARE(steps, (QList<int>{10, 20, 30, 40, 50, 100}));
        QCOMPARE(done.count(), 1);
        QCOMPARE(dev->GetProgressAutoCheck(), 100);

        const QList<int> all{1500000, 460800, 230400, 115200, 57600};
        QCOMPARE(silentA->probedRates(), all);
        QCOMPARE(silentB->probedRates(), all);
        QCOMPARE(sensor->probedRates(), all.mid(0, 4));
        QCOMPARE(logLines(sensor->portPath() + " 57600 init complete").size(), 0);
        QCOMPARE(logLines(silentA->portPath() + " 57600 init complete").size(), 1);

        const std::vector<_device_config>& configs = dev->GetAllDeviceConfig();
        QCOMPARE(int(configs.size()), 1);
        QCOMPARE(configs[0].devType, 1);
        QCOMPARE(configs[0].baudRate, 115200);
        QCOMPARE(configs[0].serialKey, QStringLiteral("20230517"));
        QVERIFY(configs[0].devName.isEmpty());
        QVERIFY(dev->GetDeviceConfig("20230517", probe));
        QCOMPARE(probe.baudRate, 115200);
        QVERIFY(!dev->GetDeviceConfig("11", probe));

        // The unidentified ports are closed, the device stays open.
        QTRY_VERIFY(!silentA->isHostConnected());
        QTRY_VERIFY(!silentB->isHostConnected());
        QVERIFY(sensor->isHostConnected());
        QVERIFY(!logLines("####device 20230517 COM:" + sensor->portPath() + " BaudRate:115200").isEmpty());

        // A second discovery starts from scratch and finds it again.
        QSignalSpy again(dev->getDevObj(), SIGNAL(sigAutoCheckComplete()));
        dev->AutoCheckDevice();
        QVERIFY(again.wait(30000));
        QCOMPARE(int(dev->GetAllDeviceConfig().size()), 1);
        QCOMPARE(sensor->probedRates(), all.mid(0, 4) + all.mid(0, 4));
    }

    void twoDevicesAtDifferentRatesAndStreamingIsExact()
    {
        auto fast = makeSensor(501, 460800, 200);
        auto slow = makeSensor(502, 57600, 50);
        startSensors({fast.get(), slow.get()});
        discover();
        const std::vector<_device_config>& configs = dev->GetAllDeviceConfig();
        QCOMPARE(int(configs.size()), 2);
        QCOMPARE(configs[0].serialKey, QStringLiteral("501"));
        QCOMPARE(configs[0].baudRate, 460800);
        QCOMPARE(configs[1].serialKey, QStringLiteral("502"));
        QCOMPARE(configs[1].baudRate, 57600);

        QVERIFY(statusAfter([&] { dev->SerialPortCmd_REQRTTRANS("501", 200); }, "501"));
        QCOMPARE(fast->streamRateHz(), 200);
        QTRY_VERIFY_WITH_TIMEOUT(collector.count("501") >= 400, 15000);
        QTRY_VERIFY_WITH_TIMEOUT(collector.count("502") >= 20, 15000);

        // Every frame received equals one sent, in order and without gaps.
        const auto got = collector.frames("501");
        const auto sent = fast->sentPayloads();
        std::vector<FrameData> sentFrames;
        for (const QByteArray& p : sent) {
            FrameData f;
            QVERIFY(decodeSensorPayload(reinterpret_cast<const uint8_t*>(p.constData()), p.size(), &f));
            sentFrames.push_back(f);
        }
        size_t start = 0;
        while (start < sentFrames.size() && std::memcmp(&sentFrames[start], &got[0].data, sizeof(FrameData)) != 0)
            ++start;
        QVERIFY2(start < sentFrames.size(), "first received frame was never sent");
        for (size_t i = 0; i < got.size() && start + i < sentFrames.size(); ++i)
            QVERIFY2(std::memcmp(&sentFrames[start + i], &got[i].data, sizeof(FrameData)) == 0,
                     qPrintable(QString("frame %1 differs").arg(i)));
        // Physically consistent: gravity is 1 g.
        const FrameData& f = got.back().data;
        QVERIFY(std::fabs(std::sqrt(f.accel[0] * f.accel[0] + f.accel[1] * f.accel[1] + f.accel[2] * f.accel[2]) - 1.0) < 1e-3);
    }

    void everyCommandRoundTrips()
    {
        auto sensor = makeSensor(777, 230400);
        startSensors({sensor.get()});
        discover();
        QCOMPARE(int(dev->GetAllDeviceConfig().size()), 1);
        QObject* m = dev->getDevObj();

        QSignalSpy mag(m, SIGNAL(sigCmdResponded_REQMAG(QString, bool)));
        dev->SerialPortCmd_REQMAG("777");
        QVERIFY(mag.wait(5000));
        QCOMPARE(mag.at(0).at(1).toBool(), false);

        DevSetting s;
        std::memset(&s, 0, sizeof(s));
        s.ctrl[0] = 0x04;
        for (int b = 0; b < 3; ++b) {
            s.cal[b].bias[0] = float(b) + 0.5f;
            s.cal[b].matrix[0] = s.cal[b].matrix[4] = s.cal[b].matrix[8] = 1.0f;
        }
        s.cal[2].matrix[1] = -0.125f;
        QVERIFY(statusAfter([&] { dev->SerialPortCmd_WRITECONFIG("777", s); }, "777"));
        QVERIFY(sensor->isMagCalibrated());
        QCOMPARE(sensor->writtenSettings().size(), 1);
        QCOMPARE(sensor->writtenSettings().at(0), QByteArray::fromHex("040000") + sensor->storedBlocks());
        dev->SerialPortCmd_REQMAG("777");
        QVERIFY(mag.wait(5000));
        QCOMPARE(mag.at(1).at(1).toBool(), true);

        dev->SerialPortCmd_REQCONFIG("777");
        QTRY_COMPARE_WITH_TIMEOUT(collector.configs.size(), 1, 5000);
        const DevSetting back = collector.configs.at(0);
        QCOMPARE(back.ctrl[0], uint8_t(0));
        for (int b = 0; b < 3; ++b)
            QCOMPARE(back.cal[b].bias[0], s.cal[b].bias[0]);
        QCOMPARE(back.cal[2].matrix[1], -0.125f);

        // Right after zeroing, the reported orientation is the identity.
        collector.clear();
        QVERIFY(statusAfter([&] { dev->SerialPortCmd_ZEROROTATE("777", true); }, "777"));
        // The first frames after it may still be on their way.
        const auto closestToIdentity = [&] {
            float closest = 0;
            for (const auto& f : collector.frames("777"))
                closest = std::max(closest, f.data.quat[0]);
            return closest;
        };
        QTRY_VERIFY2_WITH_TIMEOUT(closestToIdentity() > 0.9999f, qPrintable(QString::number(closestToIdentity())),
                                  3000);

        QVERIFY(statusAfter([&] { dev->SerialPortCmd_CLRMAG("777"); }, "777"));
        QVERIFY(!sensor->isMagCalibrated());

        QVERIFY(statusAfter([&] { dev->SerialPortCmd_STOPRTTRANS("777"); }, "777"));
        QVERIFY(!sensor->isStreaming());
        QVERIFY(statusAfter([&] { dev->SerialPortCmd_REQRTTRANS("777", 20); }, "777"));
        QVERIFY(sensor->isStreaming());
        QCOMPARE(sensor->streamRateHz(), 20);

        QSignalSpy accel(m, SIGNAL(sigCmdResponded_ACCELCAL(QString, bool)));
        dev->AccelCalibrate_begin("777");
        dev->AccelCalibrate_plane("777", 1);
        dev->AccelCalibrate_planeFinish("777", 1);
        dev->AccelCalibrate_finish("777");
        QTRY_COMPARE_WITH_TIMEOUT(accel.count(), 4, 5000);
        for (const QList<QVariant>& args : accel)
            QVERIFY(args.at(1).toBool());
    }

    void silentDeviceFailsAfterThreeSeconds()
    {
        auto sensor = makeSensor(31, 115200);
        startSensors({sensor.get()});
        discover();
        sensor->setFault(SimulatedSensor::IgnoreCommands, true);
        QSignalSpy status(dev->getDevObj(), SIGNAL(sigCmdResponded_CMDSTATUS(QString, bool)));
        QSignalSpy mag(dev->getDevObj(), SIGNAL(sigCmdResponded_REQMAG(QString, bool)));
        QElapsedTimer clock;
        clock.start();
        dev->SerialPortCmd_REQMAG("31");
        QVERIFY(status.wait(6000));
        QVERIFY(clock.elapsed() >= 2900);
        QCOMPARE(status.at(0).at(0).toString(), QStringLiteral("31"));
        QCOMPARE(status.at(0).at(1).toBool(), false);
        QCOMPARE(mag.count(), 0);
    }

    void faultyLinesAndAVanishingDevice()
    {
        auto noisy = makeSensor(41, 1500000, 200);
        auto leaving = makeSensor(42, 460800, 200);
        startSensors({noisy.get(), leaving.get()});
        discover();
        QCOMPARE(int(dev->GetAllDeviceConfig().size()), 2);
        noisy->setFault(SimulatedSensor::Garbage, true);
        noisy->setFault(SimulatedSensor::BadCrc, true);
        QTRY_VERIFY_WITH_TIMEOUT(collector.count("42") > 50, 10000);

        leaving->vanish();
        const int before = collector.count("41");
        QTRY_VERIFY_WITH_TIMEOUT(collector.count("41") > before + 200, 10000);
        // Garbage and broken checksums never reach the program as frames.
        for (const auto& f : collector.frames("41")) {
            const float g = std::sqrt(f.data.accel[0] * f.data.accel[0] + f.data.accel[1] * f.data.accel[1]
                                      + f.data.accel[2] * f.data.accel[2]);
            QVERIFY(std::fabs(g - 1.0f) < 1e-3f);
        }
        // The library still answers for the surviving device.
        QVERIFY(statusAfter([&] { dev->SerialPortCmd_ZEROROTATE("41", false); }, "41"));
    }

    // At the lower rates a 516-byte reply reaches the host in pieces; one whose
    // calibration holds E4 AA is cut there long before its real end arrives.
    void configHoldingTheTailMarkerArrivesInPieces_data()
    {
        QTest::addColumn<int>("baud");
        QTest::newRow("115200") << 115200;
        QTest::newRow("230400") << 230400;
    }
    void configHoldingTheTailMarkerArrivesInPieces()
    {
        QFETCH(int, baud);
        auto sensor = makeSensor(881, baud, 100, [](SimulatedSensor::Config& c) {
            c.storedConfig = SimulatedSensor::StoredConfig::TailMarker;
        });
        QVERIFY(sensor->deliversInPieces());
        uint8_t config[512] = {};
        std::memcpy(config, sensor->storedBlocks().constData(), 144);
        const int cut = DeviceEncoder::configPayload(config).indexOf(QByteArray::fromHex("e4aa"));
        QVERIFY2(cut > kSensorPayloadLength, "the inner tail marker must cut more than a sensor payload");
        startSensors({sensor.get()});
        discover();
        QCOMPARE(int(dev->GetAllDeviceConfig().size()), 1);

        for (int round = 0; round < 2; ++round) {
            dev->SerialPortCmd_REQCONFIG("881");
            QTRY_COMPARE_WITH_TIMEOUT(collector.configs.size(), round + 1, 5000);
        }
        const DevSetting expected = decodeConfigBytes(config);
        for (const DevSetting& got : collector.configs)
            QVERIFY(std::memcmp(&got.cal, &expected.cal, sizeof(expected.cal)) == 0);
    }

    // The device sends the accelerometer calibration reply with a checksum it
    // does not keep; a frame broken on the line may come right before it.
    void accelReplyAfterABrokenFrameIsKept()
    {
        auto sensor = makeSensor(882, 230400, 200, [](SimulatedSensor::Config& c) { c.badCrcPercent = 50; });
        startSensors({sensor.get()});
        discover();
        QCOMPARE(int(dev->GetAllDeviceConfig().size()), 1);
        sensor->setFault(SimulatedSensor::BadCrc, true);
        QSignalSpy accel(dev->getDevObj(), SIGNAL(sigCmdResponded_ACCELCAL(QString, bool)));
        QSignalSpy status(dev->getDevObj(), SIGNAL(sigCmdResponded_CMDSTATUS(QString, bool)));
        const int commands = 16;
        for (int i = 0; i < commands; ++i) {
            dev->AccelCalibrate_plane("882", 1 + i % 6);
            QTest::qWait(25);
        }
        QTRY_COMPARE_WITH_TIMEOUT(accel.count() + status.count(), commands, 8000);
        QCOMPARE(accel.count(), commands);
        for (const QList<QVariant>& args : accel)
            QVERIFY(args.at(1).toBool());
    }

    // A reply that reached the ring while the reader was held up is still
    // taken when the sweep moves on, at the rate it was answered at; one
    // that comes after the port moved to another rate never counts.
    void lateIdentityCountsOnlyAtItsRate()
    {
        auto sensor = makeSensor(883, 115200, 100, [](SimulatedSensor::Config& c) {
            c.lateIdentityMs = 150;
            c.streamAtStart = false;
        });
        QString error;
        QVERIFY2(sensor->start(&error), qPrintable(error));
        // The reader is driven by hand, so no pass takes the reply in time.
        DeviceManager m(false);
        auto* device = new SerialDevice(sensor->portPath());
        m.appendDevice(device);
        m.DiscernDev(115200);
        m.DiscernDev(57600);
        QTest::qWait(400);
        for (int i = 0; i < 3; ++i)
            m.ReadFrameData();
        QVERIFY2(!device->isDiscerned(), qPrintable(QString("taken at %1").arg(device->getBaudRate())));

        for (int next : {57600, 0}) {
            device->setDiscerned(false);
            m.DiscernDev(115200);
            QTRY_VERIFY_WITH_TIMEOUT(device->ring()->writePosition() >= 35, 3000);
            m.DiscernDev(next);
            QVERIFY(device->isDiscerned());
            QCOMPARE(device->getKey(), QStringLiteral("883"));
            QCOMPARE(device->getBaudRate(), 115200);
        }
    }

    // A head marker directly followed by the tail marker is an empty frame,
    // not noise, and does not hold up the reply behind it.
    void emptyFramesAreNotNoise()
    {
        QTemporaryDir work;
        const QString before = QDir::currentPath();
        QVERIFY(QDir::setCurrent(work.path()));
        QDir().mkpath("Resources");
        auto sensor = makeSensor(884, 230400, 100, [](SimulatedSensor::Config& c) { c.streamAtStart = false; });
        sensor->setFault(SimulatedSensor::EmptyFrame, true);
        startSensors({sensor.get()});
        discover();
        QCOMPARE(int(dev->GetAllDeviceConfig().size()), 1);
        QSignalSpy mag(dev->getDevObj(), SIGNAL(sigCmdResponded_REQMAG(QString, bool)));
        dev->SerialPortCmd_REQMAG("884");
        QVERIFY(mag.wait(5000));
        const bool logged = QFile::exists("Resources/run.log");
        QDir::setCurrent(before);
        QVERIFY(!logged);
    }

    void destroyingDuringDiscoveryStopsEverything()
    {
        const int before = threadCount();
        auto sensor = makeSensor(51, 57600);
        startSensors({sensor.get()});
        QSignalSpy progress(dev->getDevObj(), SIGNAL(sigAutoCheckProcess(int)));
        dev->AutoCheckDevice();
        QTest::qWait(150);
        dev.reset();
        QTest::qWait(300);
        for (const QList<QVariant>& step : progress)
            QVERIFY(step.at(0).toInt() < 100);
        const int seen = progress.count();
        QTest::qWait(300);
        QCOMPARE(progress.count(), seen);
        sensor->stop();
        // Other threads of the process (Qt's own) may have ended meanwhile.
        QTRY_VERIFY(threadCount() <= before);
    }
};

QTEST_GUILESS_MAIN(TestDiscovery)
#include "tst_discovery.moc"
