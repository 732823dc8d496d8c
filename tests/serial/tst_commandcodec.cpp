#include "CommandCodec.h"
#include "DeviceEncoder.h"
#include "SerialFrameCodec.h"

#include <QtTest>
#include <cstring>
#include <cmath>
#include <limits>

namespace {

QByteArray hex(const char* h)
{
    return QByteArray::fromHex(h);
}

// Frame body plus the CRC the device side computes.
QByteArray expected(const QByteArray& body)
{
    return DeviceEncoder::appendCrc(body);
}

int32_t paramInt(const TransData& t, int offset)
{
    return readInt32LE(t.data + offset);
}

} // namespace

class TestCommandCodec : public QObject
{
    Q_OBJECT
private slots:
    void framesWithoutParameters_data()
    {
        QTest::addColumn<int>("code");
        QTest::newRow("REQDEVID") << int(SerialCmd::REQDEVID);
        QTest::newRow("REQMAG") << int(SerialCmd::REQMAG);
        QTest::newRow("CLRMAG") << int(SerialCmd::CLRMAG);
        QTest::newRow("STOPRTTRANS") << int(SerialCmd::STOPRTTRANS);
        QTest::newRow("REQCONFIG") << int(SerialCmd::REQCONFIG);
    }

    void framesWithoutParameters()
    {
        QFETCH(int, code);
        const QByteArray frame = buildCommandFrame(uint8_t(code));
        QCOMPARE(frame.size(), 4);
        QCOMPARE(frame, expected(QByteArray("\x01", 1) + char(code)));
    }

    void reqMagExactBytes()
    {
        // 0x01 0x03 and CRC-16/MODBUS of those two bytes, low byte first.
        QCOMPARE(buildCommandFrame(SerialCmd::REQMAG), hex("01034021"));
    }

    void framesWithParameters_data()
    {
        QTest::addColumn<int>("code");
        QTest::addColumn<QByteArray>("params");
        QTest::addColumn<QByteArray>("body");
        auto raw = [](const TransData& t) { return QByteArray(reinterpret_cast<const char*>(t.data), int(sizeof(t.data))) + QByteArray::number(t.len); };
        QTest::newRow("rate 100") << int(SerialCmd::REQRTTRANS) << raw(rateParameter(100)) << hex("012164");
        QTest::newRow("rate 300 keeps the low byte") << int(SerialCmd::REQRTTRANS) << raw(rateParameter(300)) << hex("01212c");
        QTest::newRow("zero rotate true") << int(SerialCmd::ZEROROTATE) << raw(zeroRotateParameter(true)) << hex("010b01");
        QTest::newRow("zero rotate false") << int(SerialCmd::ZEROROTATE) << raw(zeroRotateParameter(false)) << hex("010b02");
        QTest::newRow("accel begin") << int(SerialCmd::ACCELCAL) << raw(accelCalParameter(0, 1)) << hex("01070100000000000000");
        QTest::newRow("accel plane 3") << int(SerialCmd::ACCELCAL) << raw(accelCalParameter(3, 1)) << hex("01070000000100000000");
        QTest::newRow("accel plane 6 finish") << int(SerialCmd::ACCELCAL) << raw(accelCalParameter(6, 2)) << hex("01070000000000000200");
        QTest::newRow("accel finish") << int(SerialCmd::ACCELCAL) << raw(accelCalParameter(7, 1)) << hex("01070000000000000001");
    }

    void framesWithParameters()
    {
        QFETCH(int, code);
        QFETCH(QByteArray, params);
        QFETCH(QByteArray, body);
        TransData t;
        std::memcpy(t.data, params.constData(), sizeof(t.data));
        t.len = params.mid(int(sizeof(t.data))).toInt();
        QCOMPARE(buildCommandFrame(uint8_t(code), t), expected(body));
    }

    void unknownCodeWithParametersWritesNothing()
    {
        QVERIFY(buildCommandFrame(SerialCmd::REQMAG, rateParameter(1)).isEmpty());
        QVERIFY(buildCommandFrame(99, rateParameter(1)).isEmpty());
    }

    void writeConfigLayout()
    {
        _device_setting s;
        std::memset(&s, 0, sizeof(s));
        s.ctrl[0] = 0x04;
        s.ctrl[2] = 0x09;
        s.cal[0].bias[0] = 1.0f;
        s.cal[0].bias[1] = -1.0f;
        s.cal[0].bias[2] = 0.5f;
        s.cal[0].matrix[0] = 1.0f;
        s.cal[2].matrix[8] = -0.25f;
        const TransData t = writeConfigParameter(s);
        QCOMPARE(t.len, 515);
        QCOMPARE(t.data[0], uint8_t(0x04));
        QCOMPARE(t.data[2], uint8_t(0x09));
        QCOMPARE(paramInt(t, 3), 65536);
        QCOMPARE(paramInt(t, 7), -65536);
        QCOMPARE(paramInt(t, 11), 32768);
        QCOMPARE(paramInt(t, 15), 16777216);
        QCOMPARE(paramInt(t, 99 + 12 + 32), -4194304);
        for (int i = 147; i < 515; ++i)
            QCOMPARE(t.data[i], uint8_t(0));

        const QByteArray frame = buildCommandFrame(SerialCmd::WRITECONFIG, t);
        QCOMPARE(frame.size(), 519);
        QCOMPARE(uint8_t(frame.at(1)), uint8_t(0x29));
        QVERIFY(payloadCrcMatches(reinterpret_cast<const uint8_t*>(frame.constData()), frame.size()));
    }

    void fixedPointSaturatesAndTruncates_data()
    {
        QTest::addColumn<float>("value");
        QTest::addColumn<double>("scale");
        QTest::addColumn<int>("encoded");
        const double b = 65536.0, m = 16777216.0;
        const int imax = std::numeric_limits<int32_t>::max();
        const int imin = std::numeric_limits<int32_t>::min();
        QTest::newRow("bias truncates toward zero") << 1.99999f << b << int(std::trunc(1.99999f * b));
        QTest::newRow("negative truncates toward zero") << -0.0000150f << b << 0;
        QTest::newRow("bias at the top") << 32768.0f << b << imax;
        QTest::newRow("bias far below") << -1e9f << b << imin;
        QTest::newRow("matrix at 128") << 128.0f << m << imax;
        QTest::newRow("matrix -128 fits exactly") << -128.0f << m << imin;
        QTest::newRow("not a number") << std::numeric_limits<float>::quiet_NaN() << b << 0;
        QTest::newRow("infinity") << std::numeric_limits<float>::infinity() << m << imax;
        QTest::newRow("minus infinity") << -std::numeric_limits<float>::infinity() << m << imin;
    }

    void fixedPointSaturatesAndTruncates()
    {
        QFETCH(float, value);
        QFETCH(double, scale);
        QFETCH(int, encoded);
        QCOMPARE(encodeFixedSaturated(value, scale), int32_t(encoded));
    }

    void configBytesDecodeToBlocks()
    {
        uint8_t config[512] = {};
        writeInt32LE(config + 0, 65536);
        writeInt32LE(config + 12, 16777216);
        writeInt32LE(config + 48 + 8, -32768);
        writeInt32LE(config + 96 + 12 + 32, 8388608);
        config[200] = 0x77;  // beyond the blocks: ignored
        const _device_setting s = decodeConfigBytes(config);
        QCOMPARE(s.ctrl[0], uint8_t(0));
        QCOMPARE(s.ctrl[1], uint8_t(0));
        QCOMPARE(s.ctrl[2], uint8_t(0));
        QCOMPARE(s.cal[0].bias[0], 1.0f);
        QCOMPARE(s.cal[0].bias[1], 0.0f);
        QCOMPARE(s.cal[0].matrix[0], 1.0f);
        QCOMPARE(s.cal[1].bias[2], -0.5f);
        QCOMPARE(s.cal[2].matrix[8], 0.5f);
    }

    void writeConfigRoundTripsThroughTheReplyForm()
    {
        _device_setting s;
        std::memset(&s, 0, sizeof(s));
        for (int b = 0; b < 3; ++b) {
            for (int i = 0; i < 3; ++i)
                s.cal[b].bias[i] = 0.125f * float(b * 3 + i) - 1.0f;
            for (int i = 0; i < 9; ++i)
                s.cal[b].matrix[i] = (i % 4 == 0 ? 1.0f : 0.0f) + 0.0625f * float(b - i);
        }
        const TransData t = writeConfigParameter(s);
        const _device_setting back = decodeConfigBytes(t.data + 3);
        for (int b = 0; b < 3; ++b) {
            for (int i = 0; i < 3; ++i)
                QCOMPARE(back.cal[b].bias[i], s.cal[b].bias[i]);
            for (int i = 0; i < 9; ++i)
                QCOMPARE(back.cal[b].matrix[i], s.cal[b].matrix[i]);
        }
    }
};

QTEST_APPLESS_MAIN(TestCommandCodec)
#include "tst_commandcodec.moc"
