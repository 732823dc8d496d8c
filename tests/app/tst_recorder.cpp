#include "Recorder.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>
#include <atomic>
#include <csignal>
#include <cstring>
#include <sys/resource.h>
#include <thread>

namespace {

ExportSettings exampleSettings()
{
    ExportSettings s;
    s.filename = "temp";
    s.filesuffix = "txt";
    s.separate = ",";
    s.placeholder = "0";
    s.packcount = 1;
    s.accel = 1;
    return s;
}

FrameData frame(float ax)
{
    FrameData f;
    std::memset(&f, 0, sizeof(f));
    f.accel[0] = ax;
    f.accel[1] = -0.25f;
    f.accel[2] = 1.0f;
    return f;
}

QStringList linesOf(const QString& path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly | QIODevice::Text))
        return {};
    QStringList lines = QString::fromUtf8(f.readAll()).split('\n');
    if (!lines.isEmpty() && lines.last().isEmpty())
        lines.removeLast();
    return lines;
}

const QDateTime kStart(QDate(2018, 3, 7), QTime(9, 5, 1));

} // namespace

class TestRecorder : public QObject
{
    Q_OBJECT
private slots:
    void exampleFileNameHeaderAndLines()
    {
        QTemporaryDir dir;
        Recorder rec;
        const QString path = dir.path() + "/temp_20180307090501_12345.txt";
        QFile old(path);
        QVERIFY(old.open(QIODevice::WriteOnly));
        old.write("old content that must go\n");
        old.close();
        QVERIFY(rec.start(dir.path(), {"12345"}, exampleSettings(), kStart).isEmpty());
        QCOMPARE(rec.fileNameFor(dir.path(), "12345"), path);
        rec.writeFrame("12345", frame(0.5f));
        rec.writeFrame("12345", frame(1.5f));
        rec.writeFrame("99", frame(1.5f));  // not recorded
        // Each line is in the file as soon as it is written.
        QCOMPARE(linesOf(path).size(), 3);
        rec.stop();
        QCOMPARE(linesOf(path), QStringList({"12345/,/0/0/1/1/0/0/0/0/0/0/0/0/0", "1,0.5,-0.25,1,", "2,1.5,-0.25,1,"}));
        QVERIFY(!rec.isRecording("12345"));

        // A new recording starts its pack counter at 1 again.
        QVERIFY(rec.start(dir.path(), {"12345"}, exampleSettings(), kStart.addSecs(1)).isEmpty());
        rec.writeFrame("12345", frame(2.0f));
        rec.stop();
        QCOMPARE(linesOf(dir.path() + "/temp_20180307090502_12345.txt").value(1), QStringLiteral("1,2,-0.25,1,"));
    }

    void everyFlagOffWritesEmptyLines()
    {
        QTemporaryDir dir;
        Recorder rec;
        ExportSettings s;
        s.filename = "t";
        s.filesuffix = "csv";
        s.separate = ";";
        QVERIFY(rec.start(dir.path(), {"1", "2"}, s, kStart).isEmpty());
        rec.writeFrame("1", frame(1));
        rec.writeFrame("1", frame(1));
        rec.stop();
        QCOMPARE(linesOf(dir.path() + "/t_20180307090501_1.csv"),
                 QStringList({"1/;//0/0/0/0/0/0/0/0/0/0/0/0", "", ""}));
        QCOMPARE(linesOf(dir.path() + "/t_20180307090501_2.csv").size(), 1);
    }

    // Devices that appear during a recording (USB nodes) join it.
    void keysAddedToARunningRecording()
    {
        QTemporaryDir dir;
        Recorder rec;
        QVERIFY(rec.start(dir.path(), {"1"}, exampleSettings(), kStart).isEmpty());
        rec.writeFrame("1", frame(1));
        QVERIFY(rec.add(dir.path(), {"1", "777"}).isEmpty());
        rec.writeFrame("777", frame(2));
        rec.writeFrame("1", frame(3));
        QCOMPARE(rec.add("/nonexistent/dir", {"888"}), QStringList({"888"}));
        rec.stop();
        // The running file was not reopened; the new one has the same start.
        QCOMPARE(linesOf(dir.path() + "/temp_20180307090501_1.txt").size(), 3);
        QCOMPARE(linesOf(dir.path() + "/temp_20180307090501_777.txt"),
                 QStringList({"777/,/0/0/1/1/0/0/0/0/0/0/0/0/0", "1,2,-0.25,1,"}));
    }

    void unwritableDirectoryIsReportedPerDevice()
    {
        Recorder rec;
        const QStringList failed = rec.start("/nonexistent/dir", {"1", "2"}, exampleSettings(), kStart);
        QCOMPARE(failed, QStringList({"1", "2"}));
    }

    void aFullDiskStopsTheFileAndSaysSoOnce()
    {
        QTemporaryDir dir;
        Recorder rec;
        QSignalSpy failed(&rec, &Recorder::sigWriteFailed);
        QVERIFY(rec.start(dir.path(), {"7"}, exampleSettings(), kStart).isEmpty());
        // Files may not grow past 4 KiB from here on: writes then fail as on a full disk.
        std::signal(SIGXFSZ, SIG_IGN);
        rlimit old;
        getrlimit(RLIMIT_FSIZE, &old);
        rlimit small = old;
        small.rlim_cur = 4096;
        setrlimit(RLIMIT_FSIZE, &small);
        for (int i = 0; i < 1000; ++i)
            rec.writeFrame("7", frame(float(i)));
        setrlimit(RLIMIT_FSIZE, &old);
        QCOMPARE(failed.count(), 1);
        QCOMPARE(failed.at(0).at(0).toString(), QStringLiteral("7"));
        QVERIFY(!rec.isRecording("7"));
        // Every line that made it to the file is whole.
        const QStringList lines = linesOf(rec.fileNameFor(dir.path(), "7"));
        QVERIFY(lines.size() > 10);
        for (int i = 1; i < lines.size() - 1; ++i)
            QCOMPARE(lines[i].split(',').size(), 5);
    }

    void linesFromAnotherThreadAgainstStartAndStop()
    {
        QTemporaryDir dir;
        Recorder rec;
        std::atomic<bool> stop{false};
        std::thread writer([&] {
            float v = 0;
            while (!stop.load())
                rec.writeFrame("5", frame(v += 1.0f));
        });
        for (int round = 0; round < 20; ++round) {
            rec.start(dir.path(), {"5"}, exampleSettings(), kStart.addSecs(round));
            QTest::qSleep(5);
            rec.stop();
        }
        stop.store(true);
        writer.join();
        int files = 0;
        for (const QString& name : QDir(dir.path()).entryList(QDir::Files)) {
            const QStringList lines = linesOf(dir.path() + "/" + name);
            ++files;
            for (int i = 1; i < lines.size(); ++i) {
                QCOMPARE(lines[i].split(',').size(), 5);
                QCOMPARE(lines[i].section(',', 0, 0).toInt(), i);
            }
        }
        QCOMPARE(files, 20);
    }
};

QTEST_GUILESS_MAIN(TestRecorder)
#include "tst_recorder.moc"
