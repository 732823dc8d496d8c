#include "NearPointIndex.h"

#include <QtTest>
#include <cmath>
#include <limits>
#include <random>
#include <vector>

// The index answers exactly as a scan of the whole ring would, while the
// ring wraps and overwrites its oldest points.
class TestNearPointIndex : public QObject
{
    Q_OBJECT
private slots:
    void answersAsAFullScanWould()
    {
        constexpr int kRing = 500;
        float ring[kRing][3] = {};
        int pos = 0;
        bool full = false;
        NearPointIndex index(0.5f);
        std::mt19937 rng(7);
        // A small cube, so that about half the points have a near neighbour;
        // coordinates on cell borders and negative ones included.
        std::uniform_real_distribution<float> coord(-4.0f, 4.0f);
        int accepted = 0, dropped = 0;
        float last[3] = {};
        for (int n = 0; n < 20000; ++n) {
            float p[3] = {coord(rng), coord(rng), coord(rng)};
            // Runs of samples close to the one before, as a sensor gives them.
            if (n % 4)
                for (int c = 0; c < 3; ++c)
                    p[c] = last[c] + coord(rng) / 16.0f;
            std::copy(p, p + 3, last);
            if (n % 97 == 0)
                p[0] = std::round(p[0] * 2.0f) / 2.0f;
            if (n % 211 == 0)
                p[1] = std::numeric_limits<float>::quiet_NaN();
            bool near = false;
            const int stored = full ? kRing : pos;
            for (int i = 0; i < stored && !near; ++i) {
                const float dx = ring[i][0] - p[0], dy = ring[i][1] - p[1], dz = ring[i][2] - p[2];
                near = std::sqrt(dx * dx + dy * dy + dz * dz) < 0.5f;
            }
            QCOMPARE(index.hasPointNear(p, ring), near);
            if (near) {
                ++dropped;
                continue;
            }
            ++accepted;
            if (full)
                index.remove(pos, ring[pos]);
            std::copy(p, p + 3, ring[pos]);
            index.insert(pos, p);
            pos = (pos + 1) % kRing;
            full = full || pos == 0;
        }
        QVERIFY(accepted > kRing && dropped > 1000);
        index.clear();
        const float p[3] = {ring[0][0], ring[0][1], ring[0][2]};
        QVERIFY(!index.hasPointNear(p, ring));
    }
};

QTEST_MAIN(TestNearPointIndex)
#include "tst_nearpointindex.moc"
