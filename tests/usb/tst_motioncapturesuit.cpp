#include "KVQ3_SuitStatusProber.h"
#include "MotionCaptureSuit.h"
#include "QueuedRelay.h"
#include "StdoutCapture.h"
#include "SuitNode.h"
#include "kvusb.h"

#include <QtTest>
#include <cstring>

namespace {

SensorFrame frameFor(uint32_t suit, unsigned position, uint64_t timeMs = 1000, uint8_t battery = 0)
{
    SensorFrame f;
    std::memset(&f, 0, sizeof f);
    f.packetType = 0x01;
    f.nodeId = (suit << 8) | position;
    f.hostTimeMs = timeMs;
    f.battery = battery;
    f.quat[0] = 1;
    return f;
}

SuitNode nodeOf(const MotionCaptureSuit& suit, unsigned position)
{
    SuitNode n(0, 0);
    if (!suit.copyNode(position, n))
        qFatal("no node %u", position);
    return n;
}

} // namespace

class TestMotionCaptureSuit : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void creationOnFirstFrame();
    void frameHistoryIsBounded();
    void nodeStatusValues();
    void suitName();
    void positionsOutsideTheTable();
    void linkAge_data();
    void linkAge();
    void linkChangeFlags();
    void frameRatesAcrossWrap();
    void frameRateHistoryIsBounded();
    void proberFrequency_data();
    void proberFrequency();
    void proberPublishesTenTimesASecond();
    void suitsWithoutStatusRecords();
    void printing();
};

void TestMotionCaptureSuit::initTestCase()
{
    qRegisterMetaType<SensorFrame>("SensorFrame");
    qRegisterMetaType<MotionCaptureSuit_Property>("MotionCaptureSuit_Property");
    qRegisterMetaType<uint32_t>("uint32_t");
    qRegisterMetaType<std::vector<MotionCaptureSuit::KVQ3SensorStatus*>>(
        "std::vector<MotionCaptureSuit::KVQ3SensorStatus*>");
}

void TestMotionCaptureSuit::creationOnFirstFrame()
{
    kvusb usb;
    QSignalSpy created(&usb, SIGNAL(newSuitCreated(MotionCaptureSuit_Property, uint32_t)));
    QVERIFY(QMetaObject::invokeMethod(&usb, "onRecDataFromHier", Qt::DirectConnection,
                                      Q_ARG(SensorFrame, frameFor(0x1234, 0))));
    QCOMPARE(created.count(), 1);
    QCOMPARE(created.at(0).at(0).value<MotionCaptureSuit_Property>(), KORVANT_Q3);
    QCOMPARE(created.at(0).at(1).toUInt(), 0x1234u);

    MotionCaptureSuit* suit = usb.getMotionCaptureSuit(0x1234);
    QVERIFY(suit);
    QSignalSpy frames(suit, SIGNAL(newDatafromSuit(SensorFrame)));
    for (int i = 0; i < 1000; ++i)
        QMetaObject::invokeMethod(&usb, "onRecDataFromHier", Qt::DirectConnection,
                                  Q_ARG(SensorFrame, frameFor(0x1234, unsigned(i % 17))));
    QCOMPARE(created.count(), 1);
    QCOMPARE(usb.suitCount(), 1);
    QCOMPARE(frames.count(), 1000);
    QCOMPARE(suit->getSuitProperty(), KORVANT_Q3);
    QCOMPARE(suit->nodeTableSize(), size_t(17));
    QVERIFY(!usb.getMotionCaptureSuit(0x4321));

    // A second suit; re-announcing tells of both in creation order.
    QMetaObject::invokeMethod(&usb, "onRecDataFromHier", Qt::DirectConnection,
                              Q_ARG(SensorFrame, frameFor(0x4321, 3)));
    created.clear();
    usb.reSendNewSuitCreateSignal();
    QCOMPARE(created.count(), 2);
    QCOMPARE(created.at(0).at(1).toUInt(), 0x1234u);
    QCOMPARE(created.at(1).at(1).toUInt(), 0x4321u);
    QCOMPARE(usb.getVersion(), 16973825u);
    QVERIFY(!usb.updateNode(nullptr));
}

void TestMotionCaptureSuit::frameHistoryIsBounded()
{
    MotionCaptureSuit suit(0x1234, KORVANT_Q3, nullptr, false);
    for (int i = 0; i < 1030; ++i)
        suit.distributeSF(frameFor(0x1234, 2, 1000 + uint64_t(i)));
    const SuitNode n = nodeOf(suit, 2);
    QCOMPARE(n.frameHistory.size(), size_t(1024));
    QCOMPARE(n.droppedCount, 6ull);
    QCOMPARE(n.packetCount, 1030ull);
    QCOMPARE(uint64_t(n.frameHistory.front().hostTimeMs), uint64_t(1006));
    QCOMPARE(n.lastFrameTimeMs, 2029ull);
}

void TestMotionCaptureSuit::nodeStatusValues()
{
    MotionCaptureSuit suit(0x1234, KORVANT_Q3, nullptr, false);
    SensorFrame f = frameFor(0x1234, 4, 1000, 87);
    f.flags = 0x0900;  // MAGD and CALI 2
    f.statusBit8 = 1;
    f.quat[1] = 0.5f;
    f.location[2] = 1.25f;
    const uint8_t w14[4] = {9, 0, 0, 0};
    std::memcpy(f.word14, w14, 4);
    suit.distributeSF(f);
    SensorFrame g = frameFor(0x1234, 4, 1100, 0);
    g.quat[1] = 0.25f;
    g.location[2] = 1.5f;
    suit.distributeSF(g);
    const SuitNode n = nodeOf(suit, 4);
    QCOMPARE(int(n.battery), 87);   // battery 0 keeps the value
    QCOMPARE(n.word14, 9u);         // so does a zero four-byte value
    QCOMPARE(int(n.magd), 0);       // the latest frame decides
    QCOMPARE(n.cali, 0u);
    QCOMPARE(suit.getLastQuatByIndexInSuit(4), (std::vector<float>{1, 0.25f, 0, 0}));
    QCOMPARE(suit.getLastLocByIndexInSuit(4), (std::vector<float>{0, 0, 1.5f}));
    suit.distributeSF(f);
    QCOMPARE(nodeOf(suit, 4).cali, 2u);
    QCOMPARE(int(nodeOf(suit, 4).magd), 1);
}

void TestMotionCaptureSuit::suitName()
{
    MotionCaptureSuit suit(0xABCDEF, KORVANT_Q3, nullptr, false);
    QCOMPARE(QString::fromStdString(suit.getSuitName()), QStringLiteral("Actor_0x00abcdef"));
    MotionCaptureSuit plain;
    QCOMPARE(QString::fromStdString(plain.getSuitName()), QStringLiteral("Actor_0x00000000"));
    QCOMPARE(plain.getSuitProperty(), SUIT_PROPERTY_UNSET);
    StdoutCapture out;
    plain.setSuitNumber(5);
    QVERIFY(!out.text().contains("Overwrite"));
    plain.setSuitNumber(6);
    QVERIFY(out.text().contains("[WARN]suitNumber Overwrite!old value:0x00000005 new value:0x00000006.\r\n"));
}

// Positions beyond the node table and suits without a table never index
// outside it, but their frames still reach the program.
void TestMotionCaptureSuit::positionsOutsideTheTable()
{
    MotionCaptureSuit normal(0x10, KORVANT_Q3, nullptr, false);
    QSignalSpy frames(&normal, SIGNAL(newDatafromSuit(SensorFrame)));
    normal.distributeSF(frameFor(0x10, 17));
    normal.distributeSF(frameFor(0x10, 63));
    QCOMPARE(frames.count(), 2);
    QCOMPARE(normal.getLastQuatByIndexInSuit(40), std::vector<float>(4, 0.0f));
    QCOMPARE(normal.getLastLocByIndexInSuit(17), std::vector<float>(3, 0.0f));

    MotionCaptureSuit zan(0x11, KORVANT_ZAN, nullptr, false);
    QSignalSpy zanFrames(&zan, SIGNAL(newDatafromSuit(SensorFrame)));
    zan.distributeSF(frameFor(0x11, 0));
    QCOMPARE(zanFrames.count(), 1);
    QCOMPARE(zan.nodeTableSize(), size_t(0));

    MotionCaptureSuit extended(0x12, KORVANT_Q3, nullptr, true);
    QCOMPARE(extended.nodeTableSize(), size_t(32));
    extended.distributeSF(frameFor(0x12, 31));
    QCOMPARE(nodeOf(extended, 31).packetCount, 1ull);
}

void TestMotionCaptureSuit::linkAge_data()
{
    QTest::addColumn<int>("ageMs");
    QTest::addColumn<int>("link");
    QTest::newRow("fresh") << 0 << 1;
    QTest::newRow("999 ms") << 999 << 1;
    QTest::newRow("1000 ms") << 1000 << 0;
    QTest::newRow("old") << 60000 << 0;
}

void TestMotionCaptureSuit::linkAge()
{
    QFETCH(int, ageMs);
    QFETCH(int, link);
    MotionCaptureSuit suit(0x1234, KORVANT_Q3, nullptr, false);
    suit.stopStatusProber();
    suit.distributeSF(frameFor(0x1234, 0, 50000));
    suit.calcUpdateSensorsStatAt(true, false, 50000 + uint64_t(ageMs));
    QCOMPARE(int(nodeOf(suit, 0).link), link);
    QCOMPARE(int(suit.getSensorStatuses()[0].link), link);
    QCOMPARE(int(nodeOf(suit, 1).link), 0);  // never heard
}

void TestMotionCaptureSuit::linkChangeFlags()
{
    MotionCaptureSuit suit(0x1234, KORVANT_Q3, nullptr, false);
    suit.stopStatusProber();
    QSignalSpy published(&suit, SIGNAL(sensorStatusChanged(std::vector<MotionCaptureSuit::KVQ3SensorStatus*>)));
    SensorFrame f = frameFor(0x1234, 3, 10000, 55);
    suit.distributeSF(f);
    suit.calcUpdateSensorsStatAt(true, false, 10100);
    auto s = suit.getSensorStatuses();
    QCOMPARE(s.size(), size_t(17));
    QCOMPARE(int(s[3].link), 1);
    QCOMPARE(int(s[3].linkChanged), 1);
    QCOMPARE(int(s[3].battery), 55);
    QCOMPARE(int(s[3].batteryChanged), 1);
    QCOMPARE(int(s[2].linkChanged), 0);
    suit.calcUpdateSensorsStatAt(true, false, 10200);
    s = suit.getSensorStatuses();
    QCOMPARE(int(s[3].link), 1);
    QCOMPARE(int(s[3].linkChanged), 0);
    QCOMPARE(int(s[3].batteryChanged), 0);
    suit.calcUpdateSensorsStatAt(true, false, 12000);
    s = suit.getSensorStatuses();
    QCOMPARE(int(s[3].link), 0);
    QCOMPARE(int(s[3].linkChanged), 1);
    // A signal every pass, changed or not.
    QCOMPARE(published.count(), 3);
}

void TestMotionCaptureSuit::frameRatesAcrossWrap()
{
    MotionCaptureSuit suit(0x1234, KORVANT_Q3, nullptr, false);
    suit.stopStatusProber();
    for (int i = 0; i < 65500; ++i)
        suit.distributeSF(frameFor(0x1234, 1));
    suit.calcUpdateSensorsStatAt(false, true, 1);
    QCOMPARE(int(nodeOf(suit, 1).framesLastSecond), 65500 - 65536);  // int16 of a big first second
    for (int i = 0; i < 100; ++i)
        suit.distributeSF(frameFor(0x1234, 1));
    suit.calcUpdateSensorsStatAt(false, true, 2);
    const SuitNode n = nodeOf(suit, 1);
    QVERIFY(n.packetCount > 65535);
    QCOMPARE(int(n.framesLastSecond), 100);
    QCOMPARE(n.frameRateHistory.back(), int16_t(100));
}

void TestMotionCaptureSuit::frameRateHistoryIsBounded()
{
    MotionCaptureSuit suit(0x1234, KORVANT_Q3, nullptr, false);
    suit.stopStatusProber();
    for (int i = 0; i < 301; ++i)
        suit.calcUpdateSensorsStatAt(false, true, uint64_t(i));
    QCOMPARE(nodeOf(suit, 0).frameRateHistory.size(), size_t(300));
}

void TestMotionCaptureSuit::proberFrequency_data()
{
    QTest::addColumn<uint>("hz");
    QTest::addColumn<uint>("frequency");
    QTest::addColumn<uint>("interval");
    QTest::addColumn<QString>("line");
    QTest::newRow("above") << 50u << 10u << 100u << "Frequency set above 10Hz is not allowed!";
    QTest::newRow("zero") << 0u << 1u << 1000u << "Frequency set below 1Hz is not allowed!\r\n";
    QTest::newRow("four") << 4u << 4u << 250u << "Set interval to 250 ms.\r\n";
}

void TestMotionCaptureSuit::proberFrequency()
{
    QFETCH(uint, hz);
    QFETCH(uint, frequency);
    QFETCH(uint, interval);
    QFETCH(QString, line);
    KVQ3_SuitStatusProber prober;
    StdoutCapture out;
    prober.setFrequency(hz);
    QCOMPARE(prober.getFrequency(), frequency);
    QCOMPARE(prober.getIntervalMs(), interval);
    QVERIFY2(out.text().contains(line), qPrintable(out.text()));
}

void TestMotionCaptureSuit::proberPublishesTenTimesASecond()
{
    MotionCaptureSuit suit(0x1234, KORVANT_Q3, nullptr, false);
    QueuedRelay relay(&suit, SIGNAL(sensorStatusChanged(std::vector<MotionCaptureSuit::KVQ3SensorStatus*>)));
    QSignalSpy published(&relay, SIGNAL(sensorStatusChanged(std::vector<MotionCaptureSuit::KVQ3SensorStatus*>)));
    QTRY_VERIFY_WITH_TIMEOUT(published.count() >= 3, 5000);
    // Once it publishes at 1 Hz it sleeps a second: the stop must not wait
    // that out.
    suit.getProber()->setFrequency(1);
    const int before = published.count();
    QTRY_VERIFY_WITH_TIMEOUT(published.count() > before + 1, 5000);
    QElapsedTimer timer;
    timer.start();
    suit.stopStatusProber();
    QVERIFY(timer.elapsed() < 500);
    QTest::qWait(50);  // what was queued before the stop
    const int count = published.count();
    QTest::qWait(1200);
    QCOMPARE(published.count(), count);
}

void TestMotionCaptureSuit::suitsWithoutStatusRecords()
{
    MotionCaptureSuit extended(0x12, KORVANT_Q3, nullptr, true);
    MotionCaptureSuit zan(0x13, KORVANT_ZAN, nullptr, false);
    for (MotionCaptureSuit* s : {&extended, &zan}) {
        s->stopStatusProber();
        s->distributeSF(frameFor(s->getSuitNumber(), 20));
        s->calcUpdateSensorsStatAt(true, true, 1000);
        QVERIFY(s->getSensorStatuses().empty());
    }
    QCOMPARE(int(nodeOf(extended, 20).link), 1);
}

void TestMotionCaptureSuit::printing()
{
    MotionCaptureSuit suit(0x1234, KORVANT_Q3, nullptr, false);
    suit.stopStatusProber();
    suit.distributeSF(frameFor(0x1234, 0, 1000, 80));
    suit.calcUpdateSensorsStatAt(true, true, 1001);
    StdoutCapture out;
    MotionCaptureSuit::motionCaptureSuitPrintf(suit);
    std::vector<MotionCaptureSuit::KVQ3SensorStatus> statuses = suit.getSensorStatuses();
    std::vector<MotionCaptureSuit::KVQ3SensorStatus*> pointers;
    for (auto& s : statuses)
        pointers.push_back(&s);
    MotionCaptureSuit::kvq3SensorStatusVecPrintf(pointers);
    kvusb usb;
    usb.mcSuitMgrVecPrintf({});
    const QString text = out.text();
    QVERIFY(text.contains("<Actor_0x00001234>[INFO]<SuitNumber:0x00001234><packageProperty:KORVANT_Q3><extense:0>\r\n"));
    QVERIFY(text.contains("  00/PCNT:00000001/BTY:080/SIG:01/FR:01 \r\n"));
    QVERIFY(text.contains("LINK:01 1 BTY:080 1 MAGD:00 0 CALI:00 0\r\n"));
    QVERIFY(text.contains("[WARN]mcSuitMgr is empty.\r\n"));
}

QTEST_GUILESS_MAIN(TestMotionCaptureSuit)
#include "tst_motioncapturesuit.moc"
