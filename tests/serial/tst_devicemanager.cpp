#include "CommandCodec.h"
#include "DeviceEncoder.h"
#include "DeviceManager.h"
#include "SerialDevice.h"
#include "SerialRingBuffer.h"

#include <QTemporaryDir>
#include <QtTest>
#include <cstring>
#include <atomic>
#include <memory>
#include <vector>

namespace {

struct Received
{
    QString key;
    float accelX;
};

QByteArray sensorFrame(float accelX)
{
    DeviceEncoder::SensorValues v;
    v.accel[0] = accelX;
    return DeviceEncoder::frame(DeviceEncoder::sensorPayload(v));
}

QByteArray statusFrame(uint8_t type, uint8_t status, bool breakCrc = false)
{
    QByteArray p = DeviceEncoder::statusPayload(type, status);
    if (breakCrc)
        p[4] = static_cast<char>(p.at(4) ^ 0xFF);
    return DeviceEncoder::frame(p);
}

SerialDevice* addDevice(DeviceManager& m, const QString& port, const QString& key)
{
    auto* d = new SerialDevice(port);
    d->setKey(key);
    m.appendDevice(d);
    return d;
}

} // namespace

class TestDeviceManager : public QObject
{
    Q_OBJECT
private slots:
    void init()
    {
        QVERIFY(workDir.isValid());
        QVERIFY(QDir::setCurrent(workDir.path()));
        QDir().mkpath("Resources");
        QFile::remove("Resources/run.log");
    }

    void onePayloadPerDevicePerPassInListOrder()
    {
        DeviceManager m(false);
        SerialDevice* a = addDevice(m, "portA", "1");
        SerialDevice* b = addDevice(m, "portB", "2");
        std::vector<Received> got;
        connect(&m, &DeviceManager::sigNewReadFrameData, this,
                [&](QString key, FrameData* f) { got.push_back({key, f->accel[0]}); }, Qt::DirectConnection);
        a->ring()->append(sensorFrame(0.5f) + sensorFrame(1.5f));
        b->ring()->append(sensorFrame(-2.0f) + sensorFrame(-3.0f));

        m.ReadFrameData();
        QCOMPARE(int(got.size()), 2);
        QCOMPARE(got[0].key, QStringLiteral("1"));
        QCOMPARE(got[0].accelX, 0.5f);
        QCOMPARE(got[1].key, QStringLiteral("2"));
        QCOMPARE(got[1].accelX, -2.0f);

        m.ReadFrameData();
        QCOMPARE(int(got.size()), 4);
        QCOMPARE(got[2].accelX, 1.5f);
        QCOMPARE(got[3].accelX, -3.0f);

        m.ReadFrameData();
        QCOMPARE(int(got.size()), 4);
    }

    void identityAndKeylessSensorPayloads()
    {
        DeviceManager m(false);
        SerialDevice* d = addDevice(m, "portA", QString());
        QStringList keys;
        connect(&m, &DeviceManager::sigNewReadFrameData, this, [&](QString key, FrameData*) { keys << key; },
                Qt::DirectConnection);
        d->ring()->append(sensorFrame(1.0f) + DeviceEncoder::frame(DeviceEncoder::identityPayload(4294967295u))
                          + sensorFrame(1.0f));
        m.ReadFrameData();
        QVERIFY(!d->isDiscerned());
        m.ReadFrameData();
        QVERIFY(d->isDiscerned());
        QCOMPARE(d->getKey(), QStringLiteral("4294967295"));
        m.ReadFrameData();
        QCOMPARE(keys, QStringList() << QString() << QStringLiteral("4294967295"));
    }

    void unrecognisedPayloadsGoToTheRunLog()
    {
        DeviceManager m(false);
        SerialDevice* d = addDevice(m, "portA", "3");
        QByteArray odd(200, '\0');
        for (int i = 0; i < odd.size(); ++i)
            odd[i] = static_cast<char>(i);
        const QByteArray big(3000, '\x3C');
        d->ring()->append(DeviceEncoder::frame(odd) + DeviceEncoder::frame(big) + sensorFrame(1.0f));
        int frames = 0;
        connect(&m, &DeviceManager::sigNewReadFrameData, this, [&](QString, FrameData*) { ++frames; },
                Qt::DirectConnection);
        m.ReadFrameData();
        m.ReadFrameData();
        m.ReadFrameData();
        QCOMPARE(frames, 1);

        QFile log("Resources/run.log");
        QVERIFY(log.open(QIODevice::ReadOnly));
        const QList<QByteArray> lines = log.readAll().split('\n');
        QCOMPARE(lines.size(), 3);  // two lines and the empty rest after the last break
        QCOMPARE(lines[0].size(), 400);
        QCOMPARE(lines[0].left(8), QByteArray("00010203"));
        QCOMPARE(lines[0], odd.toHex());
        QCOMPARE(lines[1], big.toHex());
        QVERIFY(lines[2].isEmpty());
    }

    void noiseWithAStrayHeadMarkerDoesNotHideTheNextFrame()
    {
        DeviceManager m(false);
        SerialDevice* d = addDevice(m, "portA", QString());
        // Noise before the reply holds a head marker of its own.
        const QByteArray noise = QByteArray::fromHex("13a55a77e9");
        d->ring()->append(noise + DeviceEncoder::frame(DeviceEncoder::identityPayload(9014)));
        m.ReadFrameData();
        QVERIFY(d->isDiscerned());
        QCOMPARE(d->getKey(), QStringLiteral("9014"));
        QFile log("Resources/run.log");
        QVERIFY(log.open(QIODevice::ReadOnly));
        QCOMPARE(log.readAll(), QByteArray("77e9\n"));

        // The same behind more noise than any payload kind is long.
        SerialDevice* e = addDevice(m, "portB", QString());
        QByteArray longNoise(3000, '\x11');
        longNoise[10] = char(0xA5);
        longNoise[11] = char(0x5A);
        e->ring()->append(longNoise + DeviceEncoder::frame(DeviceEncoder::identityPayload(9026)));
        m.ReadFrameData();
        QCOMPARE(e->getKey(), QStringLiteral("9026"));
    }

    // The framing has no escape: a payload may hold the tail marker. Such a
    // frame is still delivered whole, also when its end arrives later.
    void tailMarkerInsideAPayload()
    {
        DeviceManager m(false);
        SerialDevice* d = addDevice(m, "portA", "5");
        std::vector<float> got;
        connect(&m, &DeviceManager::sigNewReadFrameData, this, [&](QString, FrameData* f) { got.push_back(f->accel[0]); },
                Qt::DirectConnection);
        // 43748 / 65536 is the fixed-point 0x0000AAE4: bytes E4 AA on the wire.
        const float marked = 43748.0f / 65536.0f;
        const QByteArray frame = sensorFrame(marked);
        const int inner = frame.indexOf(QByteArray::fromHex("e4aa"));
        QVERIFY(inner > 2 && inner < frame.size() - 2);

        d->ring()->append(frame + sensorFrame(2.0f));
        m.ReadFrameData();
        m.ReadFrameData();
        QCOMPARE(got, (std::vector<float>{marked, 2.0f}));

        got.clear();
        d->ring()->append(frame.left(inner + 3));
        m.ReadFrameData();
        QVERIFY(got.empty());  // waits for the rest
        d->ring()->append(frame.mid(inner + 3));
        m.ReadFrameData();
        QCOMPARE(got, (std::vector<float>{marked}));

        // A frame broken in transit is still dropped, and the next one read.
        got.clear();
        QByteArray broken = sensorFrame(3.0f);
        broken[20] = char(broken.at(20) ^ 0x40);
        d->ring()->append(broken + sensorFrame(4.0f));
        for (int i = 0; i < 3; ++i)
            m.ReadFrameData();
        QCOMPARE(got, (std::vector<float>{4.0f}));
    }

    void missingResourcesDirectoryIsSilent()
    {
        QDir("Resources").removeRecursively();
        DeviceManager m(false);
        SerialDevice* d = addDevice(m, "portA", "3");
        d->ring()->append(DeviceEncoder::frame(QByteArray(7, '\x01')) + sensorFrame(1.0f));
        int frames = 0;
        connect(&m, &DeviceManager::sigNewReadFrameData, this, [&](QString, FrameData*) { ++frames; },
                Qt::DirectConnection);
        m.ReadFrameData();
        m.ReadFrameData();
        QCOMPARE(frames, 1);
        QVERIFY(!QFile::exists("Resources/run.log"));
    }

    void statusRepliesCompleteTheirCommands()
    {
        DeviceManager m(false);
        SerialDevice* d = addDevice(m, "portA", "5");
        QSignalSpy mag(&m, &DeviceManager::sigCmdResponded_REQMAG);
        QSignalSpy accel(&m, &DeviceManager::sigCmdResponded_ACCELCAL);
        QSignalSpy status(&m, &DeviceManager::sigCmdResponded_CMDSTATUS);

        m.submitCommand("5", SerialCmd::REQMAG);
        m.submitCommand("5", SerialCmd::REQMAG);
        m.submitCommand("5", SerialCmd::ACCELCAL, accelCalParameter(0, 1));
        m.submitCommand("5", SerialCmd::ZEROROTATE, zeroRotateParameter(true));
        m.submitCommand("5", SerialCmd::WRITECONFIG, writeConfigParameter(_device_setting{}));
        m.submitCommand("5", SerialCmd::REQRTTRANS, rateParameter(100));
        d->ring()->append(statusFrame(4, 0) + statusFrame(4, 7) + statusFrame(8, 1, true) + statusFrame(12, 0)
                          + statusFrame(42, 0) + statusFrame(34, 1) + statusFrame(99, 1));
        for (int i = 0; i < 7; ++i)
            m.ReadFrameData();
        m.TimeOutCmdRespond();

        QCOMPARE(mag.count(), 2);
        QCOMPARE(mag.at(0).at(1).toBool(), false);
        QCOMPARE(mag.at(1).at(1).toBool(), true);
        QCOMPARE(accel.count(), 1);  // accepted in spite of the broken CRC
        QCOMPARE(accel.at(0).at(1).toBool(), true);
        QCOMPARE(status.count(), 3);
        QCOMPARE(status.at(0).at(1).toBool(), true);   // zero rotation reports success whatever its status
        QCOMPARE(status.at(1).at(1).toBool(), false);  // write config answered with status 0
        QCOMPARE(status.at(2).at(1).toBool(), true);   // streaming started
        QCOMPARE(m.pendingCount(), 0);
    }

    void brokenOrUnmatchedRepliesTimeOut()
    {
        DeviceManager m(false);
        SerialDevice* d = addDevice(m, "portA", "5");
        addDevice(m, "portB", QString());
        QSignalSpy mag(&m, &DeviceManager::sigCmdResponded_REQMAG);
        QSignalSpy status(&m, &DeviceManager::sigCmdResponded_CMDSTATUS);
        m.submitCommand("5", SerialCmd::REQMAG);
        m.submitCommand("6", SerialCmd::REQMAG);
        d->ring()->append(statusFrame(4, 1, true));
        m.ReadFrameData();
        for (int sweep = 0; sweep < 15; ++sweep)
            m.TimeOutCmdRespond();
        QCOMPARE(status.count(), 0);
        m.TimeOutCmdRespond();
        QCOMPARE(mag.count(), 0);
        QCOMPARE(status.count(), 2);
        QCOMPARE(status.at(0).at(0).toString(), QStringLiteral("5"));
        QCOMPARE(status.at(0).at(1).toBool(), false);
        QCOMPARE(status.at(1).at(0).toString(), QStringLiteral("6"));
    }

    void configReplyIsDecoded()
    {
        DeviceManager m(false);
        SerialDevice* d = addDevice(m, "portA", "9");
        uint8_t config[512] = {};
        config[2] = 0x01;  // cal[0].bias[0] = 65536 raw
        config[48 + 12 + 3] = 0x01;  // cal[1].matrix[0] = 16777216 raw
        d->ring()->append(DeviceEncoder::frame(DeviceEncoder::configPayload(config)));
        m.submitCommand("9", SerialCmd::REQCONFIG);
        DevSetting got;
        std::memset(&got, 0xFF, sizeof(got));
        int calls = 0;
        connect(&m, &DeviceManager::sigCmdResponded_CONFIG, this, [&](QString key, DevSetting& s) {
            QCOMPARE(key, QStringLiteral("9"));
            got = s;
            ++calls;
        });
        m.ReadFrameData();
        m.TimeOutCmdRespond();
        QCOMPARE(calls, 1);
        QCOMPARE(got.ctrl[0], uint8_t(0));
        QCOMPARE(got.cal[0].bias[0], 1.0f);
        QCOMPARE(got.cal[1].matrix[0], 1.0f);
        QCOMPARE(got.cal[2].bias[1], 0.0f);
    }

    void receiverMaySubmitFromInsideAResult()
    {
        DeviceManager m(false);
        addDevice(m, "portA", "5");
        int results = 0;
        connect(&m, &DeviceManager::sigCmdResponded_CMDSTATUS, this, [&](QString key, bool) {
            if (++results <= 3)
                m.submitCommand(key, SerialCmd::STOPRTTRANS);
        });
        m.submitCommand("5", SerialCmd::CLRMAG);
        m.submitCommand("5", SerialCmd::CLRMAG);
        for (int sweep = 0; sweep < 16; ++sweep)
            m.TimeOutCmdRespond();
        QCOMPARE(results, 2);
        QCOMPARE(m.pendingCount(), 2);
        for (int sweep = 0; sweep < 16; ++sweep)
            m.TimeOutCmdRespond();
        QCOMPARE(results, 4);
        QCOMPARE(m.pendingCount(), 1);
    }

    void readerThreadDeliversEveryFrame()
    {
        auto m = std::make_unique<DeviceManager>(true);
        SerialDevice* a = addDevice(*m, "portA", "1");
        SerialDevice* b = addDevice(*m, "portB", "2");
        std::atomic<int> fromA{0}, fromB{0};
        std::atomic<bool> ordered{true};
        std::atomic<int> lastA{-1};
        connect(m.get(), &DeviceManager::sigNewReadFrameData, this,
                [&](QString key, FrameData* f) {
                    if (key == QLatin1String("1")) {
                        const int value = int(f->accel[0]);
                        if (value != lastA.load() + 1)
                            ordered.store(false);
                        lastA.store(value);
                        fromA.fetch_add(1);
                    } else {
                        fromB.fetch_add(1);
                    }
                },
                Qt::DirectConnection);
        constexpr int kFrames = 300;
        for (int i = 0; i < kFrames; ++i) {
            // Feed in uneven slices, as a port delivers them.
            const QByteArray f = sensorFrame(float(i));
            a->ring()->append(f.left(i % 50));
            a->ring()->append(f.mid(i % 50));
            b->ring()->append(f);
            if (i % 64 == 0)
                QThread::msleep(2);
        }
        QTRY_COMPARE_WITH_TIMEOUT(fromA.load(), kFrames, 20000);
        QTRY_COMPARE_WITH_TIMEOUT(fromB.load(), kFrames, 20000);
        QVERIFY(ordered.load());
        m.reset();
    }

private:
    QTemporaryDir workDir;
};

QTEST_GUILESS_MAIN(TestDeviceManager)
#include "tst_devicemanager.moc"
