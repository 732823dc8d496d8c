#include "DeviceConfToShow.h"
#include "FileRead.h"
#include "Recorder.h"

#include <QFile>
#include <QTemporaryDir>
#include <QtTest>
#include <cstring>

namespace {

void writeFile(const QString& path, const QByteArray& content)
{
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write(content);
}

} // namespace

class TestFileRead : public QObject
{
    Q_OBJECT
private slots:
    void whatTheRecorderWritesPlaysBack_data()
    {
        QTest::addColumn<QString>("sep");
        QTest::newRow("tab") << "\t";
        QTest::newRow("semicolon") << ";";
        QTest::newRow("comma") << ",";
        QTest::newRow("blank") << " ";
        QTest::newRow("custom") << "<->";
    }

    void whatTheRecorderWritesPlaysBack()
    {
        QFETCH(QString, sep);
        QTemporaryDir dir;
        ExportSettings s;
        s.filename = "rt";
        s.filesuffix = "txt";
        s.separate = sep;
        s.placeholder = "NaN";
        s.datetime = s.packcount = s.accel = s.gyro = s.mag = s.quat = s.euler = 1;
        s.temperature = s.barometer = s.position = 1;
        Recorder rec;
        const QDateTime start = QDateTime::currentDateTime();
        QVERIFY(rec.start(dir.path(), {"77"}, s, start).isEmpty());
        std::vector<FrameData> frames;
        for (int i = 0; i < 300; ++i) {
            FrameData f;
            std::memset(&f, 0, sizeof(f));
            for (int k = 0; k < 3; ++k) {
                f.accel[k] = 0.001f * float(i) - k;
                f.gyro[k] = 123.456789f * float(i % 7) - 400.0f;
                f.mag[k] = 48.0f * std::sin(0.01f * float(i + k));
                f.euler[k] = -179.5f + float(i);
            }
            for (int k = 0; k < 4; ++k)
                f.quat[k] = std::cos(0.003f * float(i * (k + 1)));
            frames.push_back(f);
            rec.writeFrame("77", f);
        }
        rec.stop();
        const QString path = rec.fileNameFor(dir.path(), "77");
        QString key;
        QVERIFY(FileRead::readFileKey(path, key));
        QCOMPARE(key, QStringLiteral("77"));
        PlayHistory history;
        FileRead reader(path, &history);
        reader.analysisFile();
        QVERIFY(reader.getResult());
        QCOMPARE(int(history.size()), 300);
        for (size_t i = 0; i < frames.size(); ++i) {
            const FrameData& f = frames[i];
            for (int k = 0; k < 3; ++k) {
                QCOMPARE(float(history.vecAccel[i][size_t(k)]), RecordFormat::number(f.accel[k]).toFloat());
                QCOMPARE(float(history.vecGyro[i][size_t(k)]), RecordFormat::number(f.gyro[k]).toFloat());
                QCOMPARE(float(history.vecMag[i][size_t(k)]), RecordFormat::number(f.mag[k]).toFloat());
                QCOMPARE(float(history.vecEuler[i][size_t(k)]), RecordFormat::number(f.euler[k]).toFloat());
                // Six significant digits survive the round trip.
                QVERIFY(std::fabs(history.vecGyro[i][size_t(k)] - f.gyro[k]) <= 5e-6 * std::fabs(f.gyro[k]) + 1e-6);
            }
            for (int k = 0; k < 4; ++k)
                QCOMPARE(float(history.vecQuat[i][size_t(k)]), RecordFormat::number(f.quat[k]).toFloat());
            QCOMPARE(history.vecTemperature[i], 0.0);  // "NaN" placeholder
        }
    }

    void filesThatAreNotRecordingsAreRefused_data()
    {
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<bool>("keyReadable");
        QTest::newRow("empty") << QByteArray() << false;
        QTest::newRow("binary") << QByteArray("\x00\x01\x02\xff\xfe/\x00\x00", 8) << false;
        QTest::newRow("14 fields") << QByteArray("1/,/0/0/1/1/0/0/0/0/0/0/0/0\n1,2,3,4,\n") << false;
        QTest::newRow("huge single line") << QByteArray(5 * 1024 * 1024, 'x') << false;
        QTest::newRow("header only") << QByteArray("1/,/0/0/1/1/0/0/0/0/0/0/0/0/0\n") << true;
        QTest::newRow("wrong separator") << QByteArray("1/,/0/0/1/1/0/0/0/0/0/0/0/0/0\n1;2;3;4;\n1;5;6;7;\n") << true;
    }

    void filesThatAreNotRecordingsAreRefused()
    {
        QFETCH(QByteArray, content);
        QFETCH(bool, keyReadable);
        QTemporaryDir dir;
        const QString path = dir.path() + "/f.txt";
        writeFile(path, content);
        QString key;
        QCOMPARE(FileRead::readFileKey(path, key), keyReadable);
        PlayHistory history;
        FileRead reader(path, &history);
        reader.analysisFile();
        QVERIFY(!reader.getResult());
        QCOMPARE(int(history.size()), 0);
    }

    void linesWithAWrongFieldCountAreSkipped()
    {
        QTemporaryDir dir;
        const QString path = dir.path() + "/g.txt";
        writeFile(path, "9/,/NaN/0/1/1/0/0/0/0/0/0/0/0/0\n1,2,3,4,\n2,5,6,\n3,NaN,7,8,\n");
        PlayHistory history;
        FileRead reader(path, &history);
        reader.analysisFile();
        QVERIFY(reader.getResult());
        QCOMPARE(int(history.size()), 2);
        QCOMPARE(history.vecAccel[1][0], 0.0);
        QCOMPARE(history.vecAccel[1][2], 8.0);
    }
};

QTEST_GUILESS_MAIN(TestFileRead)
#include "tst_fileread.moc"
