#include "RecordFormat.h"

#include <QtTest>
#include <cstring>
#include <limits>

namespace {

RecordHeader allGroups(const QString& sep)
{
    RecordHeader h;
    h.key = "12345";
    h.separate = sep;
    h.placeholder = "NaN";
    h.datetime = h.packcount = h.accel = h.gyro = h.mag = h.quat = h.euler = 1;
    h.temperature = h.barometer = h.position = 1;
    return h;
}

FrameData sample(float base)
{
    FrameData f;
    std::memset(&f, 0, sizeof(f));
    for (int i = 0; i < 3; ++i) {
        f.accel[i] = base + 0.001f * i;
        f.gyro[i] = -123.456789f * (i + 1);
        f.mag[i] = 48.25f - i;
        f.euler[i] = 179.99f - base;
    }
    for (int i = 0; i < 4; ++i)
        f.quat[i] = 0.5f - 0.1234567f * i;
    return f;
}

} // namespace

class TestRecordFormat : public QObject
{
    Q_OBJECT
private slots:
    void exampleHeaderAndFirstLine()
    {
        RecordHeader h;
        h.key = "12345";
        h.separate = ",";
        h.placeholder = "0";
        h.packcount = 1;
        h.accel = 1;
        QCOMPARE(RecordFormat::headerLine(h), QStringLiteral("12345/,/0/0/1/1/0/0/0/0/0/0/0/0/0"));
        FrameData f;
        std::memset(&f, 0, sizeof(f));
        f.accel[0] = 0.5f;
        f.accel[1] = 0.00001f;
        f.accel[2] = -2.5f;
        QCOMPARE(RecordFormat::dataLine(h, f, 1, QDateTime()), QStringLiteral("1,0.5,1e-05,-2.5,"));
        RecordHeader empty;
        empty.separate = ";";
        QCOMPARE(RecordFormat::dataLine(empty, f, 1, QDateTime()), QString());
    }

    void numbersAsTheCConversionWritesThem()
    {
        QCOMPARE(RecordFormat::number(123456.7f), QStringLiteral("123457"));
        QCOMPARE(RecordFormat::number(std::numeric_limits<float>::quiet_NaN()), QStringLiteral("nan"));
        QCOMPARE(RecordFormat::number(std::numeric_limits<float>::infinity()), QStringLiteral("inf"));
    }

    void headersOfTheWrongLengthAreRefused_data()
    {
        QTest::addColumn<QString>("line");
        QTest::newRow("14 fields") << "1/,/0/0/1/1/0/0/0/0/0/0/0/0";
        QTest::newRow("16 fields") << "1/,/0/0/1/1/0/0/0/0/0/0/0/0/0/0";
        QTest::newRow("empty") << "";
    }

    void headersOfTheWrongLengthAreRefused()
    {
        QFETCH(QString, line);
        RecordHeader h;
        QVERIFY(!RecordFormat::parseHeader(line, &h));
    }

    void roundTripForEverySeparator_data()
    {
        QTest::addColumn<QString>("sep");
        QTest::newRow("tab") << "\t";
        QTest::newRow("semicolon") << ";";
        QTest::newRow("comma") << ",";
        QTest::newRow("blank") << " ";
        QTest::newRow("custom") << "||";
    }

    void roundTripForEverySeparator()
    {
        QFETCH(QString, sep);
        const RecordHeader h = allGroups(sep);
        RecordHeader read;
        QVERIFY(RecordFormat::parseHeader(RecordFormat::headerLine(h), &read));
        QCOMPARE(read.separate, sep);
        QCOMPARE(RecordFormat::columnCount(read), 1 + 1 + 3 + 3 + 3 + 4 + 3 + 1 + 1 + 3);
        PlayHistory history;
        const QDateTime when(QDate(2018, 3, 7), QTime(9, 5, 1));
        for (int n = 0; n < 5; ++n) {
            const QString line = RecordFormat::dataLine(h, sample(float(n)), uint(n + 1), when);
            QVERIFY(line.startsWith(QStringLiteral("2018_03_07_09_05_01") + sep + QString::number(n + 1) + sep));
            QVERIFY(line.endsWith(sep));
            QVERIFY(RecordFormat::parseDataLine(read, line, &history));
        }
        QCOMPARE(int(history.size()), 5);
        for (int n = 0; n < 5; ++n) {
            const FrameData f = sample(float(n));
            for (int i = 0; i < 3; ++i) {
                QCOMPARE(history.vecAccel[size_t(n)][size_t(i)], double(RecordFormat::number(f.accel[i]).toFloat()));
                QCOMPARE(history.vecGyro[size_t(n)][size_t(i)], double(RecordFormat::number(f.gyro[i]).toFloat()));
                QVERIFY(std::fabs(history.vecGyro[size_t(n)][size_t(i)] - f.gyro[i]) < 1e-5 * std::fabs(f.gyro[i]) + 1e-9);
            }
            QCOMPARE(history.vecQuat[size_t(n)][3], double(RecordFormat::number(f.quat[3]).toFloat()));
            // Placeholders ("NaN") read as 0; groups never written are zeros.
            QCOMPARE(history.vecTemperature[size_t(n)], 0.0);
            QCOMPARE(history.vecLAccel[size_t(n)][0], 0.0);
            QCOMPARE(history.vecAltitude[size_t(n)], 0.0);
        }
    }

    void linesWithAWrongFieldCountAreSkipped()
    {
        RecordHeader h;
        h.separate = ",";
        h.accel = 1;
        PlayHistory history;
        QVERIFY(!RecordFormat::parseDataLine(h, "1,2,", &history));
        QVERIFY(!RecordFormat::parseDataLine(h, "1,2,3,4,", &history));
        QVERIFY(!RecordFormat::parseDataLine(h, "1,2,3", &history));
        QVERIFY(RecordFormat::parseDataLine(h, "1,x,3,", &history));
        QCOMPARE(int(history.size()), 1);
        QCOMPARE(history.vecAccel[0][1], 0.0);  // not a number reads as 0
        QCOMPARE(history.vecAccel[0][2], 3.0);
    }
};

QTEST_APPLESS_MAIN(TestRecordFormat)
#include "tst_recordformat.moc"
