#include "SLDevice.h"

#include <QDir>
#include <QElapsedTimer>
#include <QtTest>
#include <memory>

namespace {

int threadCount()
{
    return int(QDir("/proc/self/task").entryList(QDir::Dirs | QDir::NoDotAndDotDot).size());
}

} // namespace

class TestSLDevice : public QObject
{
    Q_OBJECT
private slots:
    void constructionAndDestructionLeaveNoThread()
    {
        const int before = threadCount();
        {
            SLDevice dev;
            QCOMPARE(dev.getDevObj(), dev.getDevObj());
            QTRY_VERIFY(threadCount() > before);
        }
        // QThread::wait() returns just before the system thread is gone.
        QTRY_COMPARE(threadCount(), before);
    }

    void copiesShareOneManager()
    {
        auto original = std::make_unique<SLDevice>();
        SLDevice copy(*original);
        SLDevice assigned;
        assigned = *original;
        QCOMPARE(copy.getDevObj(), original->getDevObj());
        QCOMPARE(assigned.getDevObj(), original->getDevObj());
        original.reset();

        // The copies keep a working manager after the original is gone.
        QSignalSpy status(copy.getDevObj(), SIGNAL(sigCmdResponded_CMDSTATUS(QString, bool)));
        copy.SerialPortCmd_REQMAG("42");
        QVERIFY(status.wait(5000));
        QCOMPARE(status.at(0).at(0).toString(), QStringLiteral("42"));
        QCOMPARE(status.at(0).at(1).toBool(), false);
    }

    void commandToAbsentDeviceFailsAfterTheTimeout()
    {
        SLDevice dev;
        QSignalSpy status(dev.getDevObj(), SIGNAL(sigCmdResponded_CMDSTATUS(QString, bool)));
        QElapsedTimer clock;
        clock.start();
        dev.AccelCalibrate_plane("77", 0);
        dev.AccelCalibrate_planeFinish("77", 7);
        dev.AccelCalibrate_plane("77", -3);
        dev.AccelCalibrate_plane("77", 3);
        QVERIFY(status.wait(6000));
        QVERIFY(clock.elapsed() >= 2900);
        QTest::qWait(500);
        // Out-of-range planes sent nothing: only the valid one was pending.
        QCOMPARE(status.count(), 1);
        QCOMPARE(status.at(0).at(1).toBool(), false);
    }

    void destroyingWithCommandsPendingReportsNothing()
    {
        auto dev = std::make_unique<SLDevice>();
        QSignalSpy status(dev->getDevObj(), SIGNAL(sigCmdResponded_CMDSTATUS(QString, bool)));
        dev->SerialPortCmd_REQCONFIG("1");
        dev->SerialPortCmd_ZEROROTATE("1", true);
        QTest::qWait(250);
        dev.reset();
        QTest::qWait(300);
        QCOMPARE(status.count(), 0);
    }
};

QTEST_GUILESS_MAIN(TestSLDevice)
#include "tst_sldevice.moc"
