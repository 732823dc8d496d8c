#include "PendingCommandList.h"

#include <QtTest>

class TestPendingCommandList : public QObject
{
    Q_OBJECT
private slots:
    void repliesCompleteEntriesInSubmissionOrder()
    {
        PendingCommandList list;
        list.submit("7", 4);
        list.submit("7", 4);
        list.submit("8", 4);
        const uint8_t first = 0, second = 9;
        QVERIFY(list.record("7", 4, &first, 1));
        QVERIFY(list.record("7", 4, &second, 1));
        QVERIFY(!list.record("7", 4, &second, 1));  // nothing left awaiting it
        QVERIFY(!list.record("7", 40, &second, 1)); // other reply type

        const auto outcomes = list.sweep();
        QCOMPARE(int(outcomes.size()), 2);
        QCOMPARE(outcomes[0].command.data[0], uint8_t(0));
        QCOMPARE(outcomes[1].command.data[0], uint8_t(9));
        QVERIFY(!outcomes[0].timedOut);
        QCOMPARE(list.size(), 1);
    }

    void unansweredEntryTimesOutAtTheSixteenthSweep()
    {
        PendingCommandList list;
        list.submit("1", 12);
        for (int sweep = 1; sweep <= 15; ++sweep) {
            QVERIFY2(list.sweep().empty(), qPrintable(QString::number(sweep)));
        }
        const auto outcomes = list.sweep();
        QCOMPARE(int(outcomes.size()), 1);
        QVERIFY(outcomes[0].timedOut);
        QCOMPARE(outcomes[0].command.serialKey, QStringLiteral("1"));
        QCOMPARE(list.size(), 0);
        // A late reply finds nothing.
        const uint8_t status = 1;
        QVERIFY(!list.record("1", 12, &status, 1));
    }

    void recordingIsBoundedByTheEntry()
    {
        PendingCommandList list;
        list.submit("1", 40);
        QByteArray big(4096, '\x5A');
        QVERIFY(list.record("1", 40, reinterpret_cast<const uint8_t*>(big.constData()), big.size()));
        const auto outcomes = list.sweep();
        QCOMPARE(outcomes[0].command.dataLen, 1024);
    }

    void matchingFromAnotherThreadWhileSweeping()
    {
        // Every submitted command is reported exactly once, and every reply
        // recorded is reported as answered.
        PendingCommandList list;
        constexpr int kCommands = 2000;
        std::atomic<bool> stop{false};
        std::atomic<int> matched{0};
        QThread* replier = QThread::create([&] {
            const uint8_t status = 1;
            while (!stop.load()) {
                if (list.record("k", 4, &status, 1))
                    matched.fetch_add(1);
            }
        });
        replier->start();
        int answered = 0, timedOut = 0;
        auto count = [&] {
            for (const CommandOutcome& o : list.sweep())
                ++(o.timedOut ? timedOut : answered);
        };
        for (int i = 0; i < kCommands; ++i) {
            list.submit("k", 4);
            count();
        }
        while (answered + timedOut < kCommands)
            count();
        stop.store(true);
        replier->wait();
        delete replier;
        QCOMPARE(answered + timedOut, kCommands);
        QCOMPARE(answered, matched.load());
        QCOMPARE(list.size(), 0);
    }
};

QTEST_APPLESS_MAIN(TestPendingCommandList)
#include "tst_pendingcommandlist.moc"
