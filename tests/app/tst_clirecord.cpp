#include "AppTestSupport.h"
#include "DeviceConfToShow.h"
#include "DockDeviceList.h"
#include "SimulatedSensor.h"
#include "Strideloom.h"

#include <QProcess>
#include <QTableWidget>
#include <QtTest>
#include <memory>

// The command-line logger writes what the program plays back.
class TestCliRecord : public QObject
{
    Q_OBJECT
private:
    std::unique_ptr<AppWorkDir> work;
    std::unique_ptr<SimulatedSensor> sensor;
    QByteArray lastError;  // the last run's standard error, or why it did not run

    // Runs strideloom-cli with the receiver simulator preloaded.
    QByteArray runCli(const QStringList& args, int* exitCode)
    {
        QProcess cli;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("LD_PRELOAD", STRIDELOOM_USBSIM);
        env.insert("USBSIM_SCENARIO", "router:suit=0x66,nodes=2,hz=50");
        // A preloaded library ahead of the sanitizer runtime is intended here.
        env.insert("ASAN_OPTIONS", "verify_asan_link_order=0:detect_leaks=0");
        cli.setProcessEnvironment(env);
        cli.start(STRIDELOOM_CLI, args);
        const bool finished = cli.waitForFinished(60000);
        if (!finished && cli.state() != QProcess::NotRunning) {
            cli.kill();
            cli.waitForFinished(5000);
            lastError = "killed after 60 s: ";
        } else {
            lastError = finished ? "" : qPrintable(cli.errorString());
        }
        *exitCode = finished && cli.exitStatus() == QProcess::NormalExit ? cli.exitCode() : -1;
        lastError += cli.readAllStandardError().right(4000);
        return cli.readAllStandardOutput();
    }

private slots:
    void initTestCase()
    {
        work = std::make_unique<AppWorkDir>();
        QVERIFY(work->isValid());
        SimulatedSensor::Config c;
        c.serial = 4242;
        c.baudRate = 460800;
        c.streamAtStart = false;
        sensor = std::make_unique<SimulatedSensor>(c);
        QVERIFY(sensor->start());
    }

    void recordingsPlayBackInTheProgram()
    {
        const QString dir = work->path() + "/rec";
        int rc = -1;
        const QByteArray out = runCli({"record", "--serial", "all", "--usb", "all", "--seconds", "2", "--rate", "100",
                                       "--dir", dir, "--extra-ports", sensor->portPath()},
                                      &rc);
        QVERIFY2(rc == 0, lastError.constData());
        // "recorded KEY LINES PATH" per device: the serial one and two nodes.
        QMap<QString, QPair<long, QString>> recorded;
        for (const QByteArray& line : out.split('\n')) {
            const QList<QByteArray> f = line.split(' ');
            if (f.size() == 4 && f[0] == "recorded")
                recorded[QString::fromLatin1(f[1])] = {f[2].toLong(), QString::fromLocal8Bit(f[3])};
        }
        QVERIFY2(recorded.size() == 3, out.constData());
        QVERIFY(recorded.contains("4242"));
        QVERIFY(recorded.contains(QString::number(0x6600)));
        QVERIFY(recorded.contains(QString::number(0x6601)));
        QVERIFY(recorded.value("4242").first > 50);

        Strideloom window;
        for (auto it = recorded.begin(); it != recorded.end(); ++it) {
            QVERIFY(QFileInfo::exists(it->second));
            QVERIFY(window.openRecording(it->second));
            DeviceConfToShow* r = window.deviceDock()->records().back();
            QCOMPARE(r->strKey, it.key());
            QCOMPARE(r->nDevType, int(SOURCE_FILE));
            // Every line flushed and read back, none lost.
            QCOMPARE(long(r->stcHistory.size()), it->first);
        }
    }

    void aFailedWriteIsNamedAndTheExitCodeSaysSo()
    {
        // Files may not grow past 16 KiB: writes then fail as on a full disk
        // (EFBIG instead of ENOSPC, the signal ignored as a real disk sends none).
        // No option file is found here: the defaults apply.
        const QString dir = work->path() + "/full";
        QProcess cli;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("ASAN_OPTIONS", "detect_leaks=0");
        env.insert("XDG_DATA_HOME", work->path() + "/nowhere");
        cli.setProcessEnvironment(env);
        QVERIFY(QDir().mkpath(work->path() + "/elsewhere"));
        cli.setWorkingDirectory(work->path() + "/elsewhere");
        cli.start("sh", {"-c", "trap '' XFSZ; ulimit -f 32; exec \"$0\" \"$@\"", STRIDELOOM_CLI, "record", "--serial",
                         "all", "--seconds", "3", "--rate", "200", "--dir", dir, "--extra-ports", sensor->portPath()});
        QVERIFY(cli.waitForFinished(60000));
        const QString err = QString::fromLocal8Bit(cli.readAllStandardError());
        const QString out = QString::fromLocal8Bit(cli.readAllStandardOutput());
        QVERIFY2(cli.exitCode() == 1, qPrintable(err));
        QVERIFY2(err.contains("recording with the default options"), qPrintable(err));
        QVERIFY2(err.contains(QRegularExpression("writing \\S+_4242\\.txt failed after \\d+ lines; recording of 4242 stopped")),
                 qPrintable(err));
        QVERIFY2(!out.contains("recorded 4242"), qPrintable(out));
    }

    void badArgumentsFailClearly()
    {
        int rc = 0;
        runCli({"record"}, &rc);
        QCOMPARE(rc, 1);
        runCli({"record", "--usb", "all", "--seconds", "1", "--config", work->path() + "/none.xml"}, &rc);
        QCOMPARE(rc, 1);
    }
};

QTEST_MAIN(TestCliRecord)
#include "tst_clirecord.moc"
