#include "NodeFrameEncoder.h"
#include "UsbWireFormat.h"

#include <QtTest>
#include <cstring>

namespace {

QByteArray bytes(std::initializer_list<int> list)
{
    QByteArray b;
    for (int v : list)
        b.append(char(v));
    return b;
}

void putI32(QByteArray& b, int32_t v)
{
    for (int i = 0; i < 4; ++i)
        b.append(char(uint32_t(v) >> (8 * i)));
}

void putU16(QByteArray& b, uint16_t v)
{
    b.append(char(v));
    b.append(char(v >> 8));
}

// A frame header of either type.
QByteArray header(bool longFrame, uint32_t nodeId, uint16_t flags)
{
    QByteArray b;
    b.append(char(longFrame ? 0x01 : 0x11));
    if (longFrame)
        putU16(b, 0xBEEF);
    putI32(b, int32_t(nodeId));
    putU16(b, flags);
    return b;
}

SensorFrame decode(const QByteArray& b, bool longFrame)
{
    QByteArray padded = b;
    padded.append(QByteArray(200, char(0x5A)));  // stale bytes after the frame
    SensorFrame f;
    usbwire::decodeSensorFrame(reinterpret_cast<const uint8_t*>(padded.constData()), longFrame, 1234, f);
    return f;
}

} // namespace

class TestUsbWireFormat : public QObject
{
    Q_OBJECT
private slots:
    void quaternionForms();
    void absentFieldsTakeNoBytes();
    void auxValuesAreUnsigned();
    void statusBits_data();
    void statusBits();
    void nodeIdentifierFields();
    void frameSizes();
    void encoderRoundTrip_data();
    void encoderRoundTrip();
    void shortTransferIsRejected();
    void requestForms();
};

void TestUsbWireFormat::quaternionForms()
{
    QByteArray lf = header(true, 0x00123445, 0x0001);
    putI32(lf, 1073741824);
    putI32(lf, 0);
    putI32(lf, 0);
    putI32(lf, 0);
    const SensorFrame l = decode(lf, true);
    QCOMPARE(l.quat[0], 1.0f);
    QCOMPARE(l.quat[3], 0.0f);
    QCOMPARE(l.packetType, uint8_t(0x01));
    QCOMPARE(uint16_t(l.headerWord), uint16_t(0xBEEF));
    QCOMPARE(uint64_t(l.hostTimeMs), uint64_t(1234));
    QCOMPARE(l.reserved, 0u);
    for (float v : l.accel)
        QCOMPARE(v, 0.0f);
    QCOMPARE(l.euler[0], 0.0f);
    QCOMPARE(l.battery, uint8_t(0));

    QByteArray sf = header(false, 0x00123445, 0x0001);
    for (int16_t v : {int16_t(8192), int16_t(0), int16_t(0), int16_t(-8192)})
        putU16(sf, uint16_t(v));
    const SensorFrame s = decode(sf, false);
    QCOMPARE(s.quat[0], 1.0f);
    QCOMPARE(s.quat[3], -1.0f);
    QCOMPARE(uint16_t(s.headerWord), uint16_t(0));
    QCOMPARE(uint32_t(s.nodeId), 0x00123445u);
}

void TestUsbWireFormat::absentFieldsTakeNoBytes()
{
    for (bool longFrame : {true, false}) {
        QByteArray b = header(longFrame, 7, 0x0004);
        putI32(b, 65536);       // 1 g
        putI32(b, -32768);      // -0.5 g
        putI32(b, 2 * 65536);
        QCOMPARE(b.size(), longFrame ? 9 + 12 : 7 + 12);
        const SensorFrame f = decode(b, longFrame);
        QCOMPARE(f.accel[0], 1.0f);
        QCOMPARE(f.accel[1], -0.5f);
        QCOMPARE(f.accel[2], 2.0f);
        QCOMPARE(f.quat[0], 0.0f);
        QCOMPARE(f.gyro[0], 0.0f);
    }
}

void TestUsbWireFormat::auxValuesAreUnsigned()
{
    QByteArray b = header(true, 1, 0x0002);
    for (int i = 0; i < 9; ++i)
        putU16(b, i == 4 ? 65535 : 16384);
    const SensorFrame f = decode(b, true);
    QCOMPARE(f.aux9[4], 3.99993896484375f);
    QCOMPARE(f.aux9[0], 1.0f);
}

void TestUsbWireFormat::statusBits_data()
{
    QTest::addColumn<int>("flags");
    QTest::addColumn<int>("bit12Clear");
    QTest::addColumn<int>("bit8");
    QTest::addColumn<int>("bit9");
    QTest::newRow("none") << 0x0000 << 1 << 0 << 0;
    QTest::newRow("bit 12") << 0x1000 << 0 << 0 << 0;
    QTest::newRow("bits 8 9") << 0x0300 << 1 << 1 << 1;
    QTest::newRow("all status and cali") << 0x1F00 << 0 << 1 << 1;
}

void TestUsbWireFormat::statusBits()
{
    QFETCH(int, flags);
    QFETCH(int, bit12Clear);
    QFETCH(int, bit8);
    QFETCH(int, bit9);
    const SensorFrame f = decode(header(false, 1, uint16_t(flags)), false);
    QCOMPARE(int(f.bit12Clear), bit12Clear);
    QCOMPARE(int(f.statusBit8), bit8);
    QCOMPARE(int(f.statusBit9), bit9);
}

void TestUsbWireFormat::nodeIdentifierFields()
{
    const uint32_t id = 0x00123445;
    QCOMPARE(nodePosition(id), 5u);
    QCOMPARE(nodeSuitType(id), 1u);
    QCOMPARE(nodeSuitNumber(id), 0x1234u);
}

void TestUsbWireFormat::frameSizes()
{
    QCOMPARE(usbwire::sensorFrameSize(true, 0xFFFF), 112);
    QCOMPARE(usbwire::sensorFrameSize(false, 0xFFFF), 102);
    QCOMPARE(usbwire::sensorFrameSize(true, 0), 9);
    QCOMPARE(usbwire::sensorFrameSize(false, 0x2000), 8);
}

void TestUsbWireFormat::encoderRoundTrip_data()
{
    QTest::addColumn<bool>("longFrame");
    QTest::addColumn<int>("flags");
    for (int flags : {0x0000, 0x0001, 0x3DBD, 0x7FFF, 0xFFFF, 0x2040, 0x4080, 0x0012}) {
        QTest::addRow("long %04x", flags) << true << flags;
        QTest::addRow("short %04x", flags) << false << flags;
    }
}

// Whatever the flag combination, the simulator's frames decode to what it
// encoded, and absent fields read as zero.
void TestUsbWireFormat::encoderRoundTrip()
{
    QFETCH(bool, longFrame);
    QFETCH(int, flags);
    NodeValues v;
    const double q[4] = {0.5, -0.5, 0.5, 0.5};
    std::copy(q, q + 4, v.quat);
    for (int i = 0; i < 9; ++i)
        v.aux9[i] = 0.25 * i;
    for (int i = 0; i < 3; ++i) {
        v.accel[i] = 0.1 * (i + 1);
        v.gyro[i] = -50.0 * (i + 1);
        v.mag[i] = 20.0 - 10 * i;
        v.euler[i] = 30.0 * i - 170;
        v.location[i] = 1.5 * i;
    }
    v.extra = 25.5;
    v.battery = 87;
    const uint8_t w14[4] = {1, 2, 3, 4};
    std::memcpy(v.word14, w14, 4);
    const uint32_t nodeId = (0xABCDEFu << 8) | (1u << 6) | 16u;
    const std::vector<uint8_t> wire = encodeNodeFrame(longFrame, 77, nodeId, uint16_t(flags), v);
    QCOMPARE(int(wire.size()), usbwire::sensorFrameSize(longFrame, uint16_t(flags)));

    bool isLong = false;
    QCOMPARE(usbwire::checkSensorTransfer(wire.data(), int(wire.size()), isLong), int(wire.size()));
    QCOMPARE(isLong, longFrame);
    SensorFrame f;
    usbwire::decodeSensorFrame(wire.data(), longFrame, 5, f);
    QCOMPARE(uint32_t(f.nodeId), nodeId);
    QCOMPARE(int(f.flags), flags);
    const double quatTolerance = longFrame ? 1e-7 : 2e-4;
    for (int i = 0; i < 4; ++i)
        QVERIFY(std::fabs(f.quat[i] - ((flags & 0x1) ? q[i] : 0.0)) < quatTolerance);
    QCOMPARE(f.aux9[8], (flags & 0x2) ? 2.0f : 0.0f);
    QCOMPARE(f.accel[2], (flags & 0x4) ? float(std::nearbyint(0.3 * 65536) / 65536) : 0.0f);
    QCOMPARE(f.gyro[1], (flags & 0x8) ? -100.0f : 0.0f);
    QCOMPARE(f.mag[0], (flags & 0x10) ? 20.0f : 0.0f);
    QCOMPARE(f.euler[0], (flags & 0x20) ? -170.0f : 0.0f);
    QCOMPARE(float(f.extra), (flags & 0x40) ? 25.5f : 0.0f);
    QCOMPARE(f.location[2], (flags & 0x80) ? 3.0f : 0.0f);
    QCOMPARE(int(f.battery), (flags & 0x2000) ? 87 : 0);
    QCOMPARE(int(f.word14[3]), (flags & 0x4000) ? 4 : 0);
    QCOMPARE(int(f.statusBit8), (flags & 0x100) ? 1 : 0);
    QCOMPARE(int(f.statusBit9), (flags & 0x200) ? 1 : 0);
    QCOMPARE(int(f.bit12Clear), (flags & 0x1000) ? 0 : 1);
    QCOMPARE(int(f.headerWord), longFrame ? 77 : 0);
}

void TestUsbWireFormat::shortTransferIsRejected()
{
    QByteArray b = header(true, 1, 0x0005);
    putI32(b, 1 << 30);
    bool isLong = false;
    const auto* p = reinterpret_cast<const uint8_t*>(b.constData());
    QCOMPARE(usbwire::checkSensorTransfer(p, b.size(), isLong), -1);
    QCOMPARE(usbwire::checkSensorTransfer(p, 4, isLong), -1);
    const QByteArray ack = bytes({0x74, 0x01});
    QCOMPARE(usbwire::checkSensorTransfer(reinterpret_cast<const uint8_t*>(ack.constData()), 2, isLong), 0);
    const QByteArray other = bytes({0x55, 0x01, 0x02});
    QCOMPARE(usbwire::checkSensorTransfer(reinterpret_cast<const uint8_t*>(other.constData()), 3, isLong), 0);
}

void TestUsbWireFormat::requestForms()
{
    uint8_t out[usbwire::kOutTransferSize];
    std::memset(out, 0xCC, sizeof out);
    usbwire::buildRequest(out, nullptr);
    QCOMPARE(out[0], uint8_t(0x70));
    for (int i = 1; i < usbwire::kOutTransferSize; ++i)
        QCOMPARE(out[i], uint8_t(0));

    sendToNode s;
    std::memset(&s, 0, sizeof s);
    s.leadByte = 0x40;
    s.instruction = INSTR_CLOSE;
    s.target = (0x1234u << 8) + POSITION_ALL_NODES;
    const nodeTran_ST2RT_TypeDef rec = usbwire::wrapInstruction(s);
    std::memset(out, 0xCC, sizeof out);
    usbwire::buildRequest(out, &rec);
    const QByteArray expectedStart = bytes({0x73, 0, 0, 0, 0, 0x46, 0x40, 0x03, 0x3E, 0x34, 0x12, 0x00});
    QCOMPARE(QByteArray(reinterpret_cast<const char*>(out), expectedStart.size()), expectedStart);
    for (int i = expectedStart.size(); i < usbwire::kOutTransferSize; ++i)
        QCOMPARE(out[i], uint8_t(0));
}

QTEST_APPLESS_MAIN(TestUsbWireFormat)
#include "tst_usbwireformat.moc"
