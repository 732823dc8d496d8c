#include "DeviceEncoder.h"
#include "SerialFrameCodec.h"

#include <QRandomGenerator>
#include <QtTest>
#include <cstring>

namespace {
const uint8_t* bytes(const QByteArray& a)
{
    return reinterpret_cast<const uint8_t*>(a.constData());
}
} // namespace

class TestSerialFrameCodec : public QObject
{
    Q_OBJECT
private slots:
    void crcCheckValueAndByteOrder()
    {
        const QByteArray digits("123456789");
        QCOMPARE(crcModbus(bytes(digits), digits.size()), uint16_t(0x4B37));
        const QByteArray withCrc = DeviceEncoder::appendCrc(digits);
        QCOMPARE(uint8_t(withCrc.at(9)), uint8_t(0x37));
        QCOMPARE(uint8_t(withCrc.at(10)), uint8_t(0x4B));
        QVERIFY(payloadCrcMatches(bytes(withCrc), withCrc.size()));
        QCOMPARE(crcModbus(nullptr, 0), uint16_t(0xFFFF));
    }

    void crcTableMatchesBitwiseForm()
    {
        QRandomGenerator rng(7);
        for (int n = 0; n < 300; ++n) {
            QByteArray data(n, '\0');
            for (char& c : data)
                c = static_cast<char>(rng.bounded(256));
            QCOMPARE(crcModbus(bytes(data), n), DeviceEncoder::crc16Modbus(bytes(data), n));
        }
    }

    void sensorDecodingScalesAndSigns()
    {
        int32_t raw[17];
        for (int i = 0; i < 17; ++i)
            raw[i] = (i - 8) * 65536 + i;
        raw[0] = 65536;           // accel x: 1 g
        raw[1] = -65536;          // accel y: -1 g
        raw[9] = 1073741824;      // quat w: 1.0
        raw[10] = -536870912;     // quat x: -0.5
        raw[16] = INT32_MIN;      // extra at the negative end
        const QByteArray payload = DeviceEncoder::sensorPayloadRaw(raw);
        QCOMPARE(payload.size(), 76);

        FrameData f;
        std::memset(&f, 0xCD, sizeof(f));
        QVERIFY(decodeSensorPayload(bytes(payload), payload.size(), &f));
        QCOMPARE(f.accel[0], 1.0f);
        QCOMPARE(f.accel[1], -1.0f);
        QCOMPARE(f.accel[2], float(raw[2]) / 65536.0f);
        for (int i = 0; i < 3; ++i) {
            QCOMPARE(f.gyro[i], float(raw[3 + i]) * (1.0f / 65536.0f));
            QCOMPARE(f.mag[i], float(raw[6 + i]) * (1.0f / 65536.0f));
            QCOMPARE(f.euler[i], float(raw[13 + i]) * (1.0f / 65536.0f));
        }
        QCOMPARE(f.quat[0], 1.0f);
        QCOMPARE(f.quat[1], -0.5f);
        QCOMPARE(f.quat[3], float(raw[12]) * (1.0f / 1073741824.0f));
        QCOMPARE(f.extra, -32768.0f);
        // Fields the serial path never fills are zero, not left over.
        QCOMPARE(f.spare0, 0u);
        QCOMPARE(f.nodeId, 0u);
        QCOMPARE(f.matrix9[4], 0.0f);
        QCOMPARE(f.position[2], 0.0f);
        QCOMPARE(f.nodeStatus[4], uint8_t(0));
    }

    void sensorDecodingRejects_data()
    {
        QTest::addColumn<QByteArray>("payload");
        int32_t raw[17] = {};
        const QByteArray good = DeviceEncoder::sensorPayloadRaw(raw);
        QByteArray flipped = good;
        flipped[20] = static_cast<char>(flipped.at(20) ^ 0x10);
        QByteArray badCrc = good;
        badCrc[75] = static_cast<char>(badCrc.at(75) ^ 1);
        QTest::newRow("one flipped bit") << flipped;
        QTest::newRow("bad crc") << badCrc;
        QTest::newRow("too short") << good.left(75);
        QTest::newRow("too long") << DeviceEncoder::appendCrc(good.left(75));
    }

    void sensorDecodingRejects()
    {
        QFETCH(QByteArray, payload);
        FrameData f;
        QVERIFY(!decodeSensorPayload(bytes(payload), payload.size(), &f));
    }

    void identityDecoding_data()
    {
        QTest::addColumn<uint32_t>("serial");
        QTest::addColumn<QString>("key");
        QTest::newRow("zero") << 0u << QStringLiteral("0");
        QTest::newRow("typical") << 20230517u << QStringLiteral("20230517");
        QTest::newRow("all ones") << 0xFFFFFFFFu << QStringLiteral("4294967295");
        QTest::newRow("top bit") << 0x80000000u << QStringLiteral("2147483648");
    }

    void identityDecoding()
    {
        QFETCH(uint32_t, serial);
        QFETCH(QString, key);
        const QByteArray payload = DeviceEncoder::identityPayload(serial);
        uint32_t decoded = 1;
        QVERIFY(decodeIdentityPayload(bytes(payload), payload.size(), &decoded));
        QCOMPARE(decoded, serial);
        QCOMPARE(deviceKeyFromSerial(decoded), key);
    }

    void identityWithWrongTypeOrCrcIsDropped()
    {
        QByteArray wrongType = DeviceEncoder::identityPayload(5).left(29);
        wrongType[1] = 3;
        wrongType = DeviceEncoder::appendCrc(wrongType);
        uint32_t serial = 0;
        QVERIFY(!decodeIdentityPayload(bytes(wrongType), wrongType.size(), &serial));

        QByteArray badCrc = DeviceEncoder::identityPayload(5);
        badCrc[29] = static_cast<char>(badCrc.at(29) + 1);
        QVERIFY(!decodeIdentityPayload(bytes(badCrc), badCrc.size(), &serial));
    }
};

QTEST_APPLESS_MAIN(TestSerialFrameCodec)
#include "tst_serialframecodec.moc"
