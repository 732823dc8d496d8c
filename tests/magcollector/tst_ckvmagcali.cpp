#include "Ckvmagcali.h"

#include <QtTest>
#include <thread>

class TestCkvmagcali : public QObject
{
    Q_OBJECT
private slots:
    void progressInPercentUntilFull()
    {
        Ckvmagcali c;
        float in[3] = {1.5f, -2.0f, 3.25f};
        float out[3] = {0, 0, 0};
        QCOMPARE(c.HandMagData(in, out), 0);
        QCOMPARE(out[0], 1.5f);
        QCOMPARE(out[2], 3.25f);
        for (int n = 2; n <= 1000; ++n) {
            const int p = c.HandMagData(in, out);
            if (n == 10)
                QCOMPARE(p, 1);
            if (n == 999)
                QCOMPARE(p, 99);
            if (n == 1000)
                QCOMPARE(p, 100);
        }
        float later[3] = {9, 9, 9};
        float untouched[3] = {7, 7, 7};
        QCOMPARE(c.HandMagData(later, untouched), 100);
        QCOMPARE(untouched[0], 7.0f);
        c.InitMagCal();
        QCOMPARE(c.HandMagData(later, untouched), 100);
        QCOMPARE(untouched[1], 7.0f);
    }

    void copiesShareOneCollector()
    {
        Ckvmagcali a;
        Ckvmagcali b(a);
        Ckvmagcali c;
        c = a;
        float in[3] = {1, 2, 3}, out[3];
        for (int i = 0; i < 500; ++i)
            a.HandMagData(in, out);
        QCOMPARE(b.HandMagData(in, out), 50);
        QCOMPARE(c.HandMagData(in, out), 50);
    }

    void severalThreadsFillItExactly()
    {
        Ckvmagcali c;
        std::atomic<int> hundreds{0};
        auto work = [&] {
            float in[3] = {1, 2, 3}, out[3];
            for (int i = 0; i < 600; ++i)
                if (c.HandMagData(in, out) == 100)
                    hundreds.fetch_add(1);
        };
        std::thread t1(work), t2(work);
        t1.join();
        t2.join();
        // 1200 offers, 1000 taken: the 1000th and the 200 refused report 100.
        QCOMPARE(hundreds.load(), 201);
    }
};

QTEST_APPLESS_MAIN(TestCkvmagcali)
#include "tst_ckvmagcali.moc"
