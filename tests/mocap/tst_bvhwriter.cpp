#include "BvhTestFile.h"
#include "BvhWriter.h"
#include "PoseSolver.h"
#include "SuitCapture.h"
#include "TPoseAlignment.h"

#include <QTemporaryDir>
#include <QtTest>
#include <clocale>
#include <csignal>
#include <locale>
#include <random>
#include <sys/resource.h>

namespace {

Eigen::Quaterniond randomRotation(std::mt19937& rng)
{
    std::normal_distribution<double> g;
    Eigen::Vector4d v(g(rng), g(rng), g(rng), g(rng));
    v.normalize();
    return Eigen::Quaterniond(v[0], v[1], v[2], v[3]);
}

struct CommaPoint : std::numpunct<char>
{
    char do_decimal_point() const override { return ','; }
};

Eigen::Quaterniond fromZXY(const Eigen::Vector3d& e)
{
    const double k = M_PI / 180.0;
    return Eigen::AngleAxisd(e[0] * k, Eigen::Vector3d::UnitZ()) * Eigen::AngleAxisd(e[1] * k, Eigen::Vector3d::UnitX())
           * Eigen::AngleAxisd(e[2] * k, Eigen::Vector3d::UnitY());
}

} // namespace

class TestBvhWriter : public QObject
{
    Q_OBJECT
private slots:
    void eulerZXYRoundTrip()
    {
        std::mt19937 rng(7);
        for (int i = 0; i < 2000; ++i) {
            const Eigen::Quaterniond q = randomRotation(rng);
            QVERIFY(fromZXY(PoseSolver::eulerZXY(q)).angularDistance(q) < 1e-9);
        }
        const Eigen::Quaterniond lock = fromZXY(Eigen::Vector3d(30, 90, 20));
        QVERIFY(fromZXY(PoseSolver::eulerZXY(lock)).angularDistance(lock) < 1e-6);
    }

    // The sensors' mean in the T-pose maps every segment onto identity,
    // and later turns show as the same turn in skeleton space.
    void alignmentUndoesTheMounting()
    {
        const Skeleton s = Skeleton::defaultBiped();
        std::mt19937 rng(3);
        std::vector<Eigen::Quaterniond> mount(17);
        std::vector<NodeSample> tpose(17);
        for (int j = 0; j < 17; ++j) {
            mount[size_t(j)] = randomRotation(rng);
            tpose[size_t(j)].valid = true;
            tpose[size_t(j)].orientation = mount[size_t(j)];
        }
        TPoseAlignment collect(s);
        collect.add(tpose);
        tpose[5].orientation.coeffs() *= -1;  // the same rotation with the other sign
        collect.add(tpose);
        QString why;
        const SuitAlignment a = collect.finish(&why);
        QVERIFY(a.aligned);
        QCOMPARE(a.heading, SuitAlignment::HeadingPending);
        const SuitPose still = PoseSolver::solve(s, a, tpose);
        for (int j = 0; j < 17; ++j)
            QVERIFY(still.global[size_t(j)].angularDistance(Eigen::Quaterniond::Identity()) < 1e-9);
        QVERIFY(still.jointPosition[3].isApprox(Eigen::Vector3d(-9, -92, 0)));

        // Bend the right knee 40 degrees about the world's vertical axis.
        std::vector<NodeSample> bent = tpose;
        const Eigen::Quaterniond turn(Eigen::AngleAxisd(40 * M_PI / 180, Eigen::Vector3d::UnitZ()));
        bent[2].orientation = turn * tpose[2].orientation;
        const SuitPose p = PoseSolver::solve(s, a, bent);
        const Eigen::AngleAxisd knee(PoseSolver::local(s, p, 2));
        QVERIFY(std::abs(knee.angle() * 180 / M_PI - 40) < 1e-9);
        QVERIFY(std::abs(std::abs(knee.axis().y()) - 1) < 1e-9);  // vertical in skeleton space
        // The foot did not turn, so relative to the shank it turned back.
        QVERIFY((PoseSolver::local(s, p, 2) * PoseSolver::local(s, p, 3)).angularDistance(Eigen::Quaterniond::Identity()) < 1e-9);

        tpose[9].valid = false;
        TPoseAlignment missing(s);
        missing.add(tpose);
        QVERIFY(!missing.finish(&why).aligned);
        QVERIFY(why.contains("Neck"));
    }

    void fileReadsBackAndCountsItsFrames()
    {
        QTemporaryDir dir;
        const Skeleton s = Skeleton::defaultBiped();
        SuitAlignment none;
        std::vector<NodeSample> samples(17);
        std::mt19937 rng(11);
        BvhWriter w;
        const QString path = dir.filePath("t.bvh");
        QVERIFY(w.open(path, s, 1.0 / 60, {"line one", "line two"}));
        std::vector<SuitPose> poses;
        for (int f = 0; f < 3; ++f) {
            for (NodeSample& n : samples) {
                n.valid = true;
                n.orientation = randomRotation(rng);
            }
            poses.push_back(PoseSolver::solve(s, none, samples));
            QVERIFY(w.writeFrame(poses.back()));
        }
        QVERIFY(w.close());
        BvhTestFile back;
        const QString error = back.read(path);
        QVERIFY2(error.isEmpty(), qPrintable(error));
        QCOMPARE(back.frames, 3);
        QCOMPARE(back.comments.size(), 2);
        QVERIFY(std::abs(back.frameTime - 1.0 / 60) < 1e-9);
        QCOMPARE(back.joints[3].endSite[2], 14.0);
        for (int f = 0; f < 3; ++f)
            for (int j = 0; j < 17; ++j) {
                const size_t c = j == 0 ? 3 : size_t(3 + 3 * j);
                const Eigen::Vector3d e(back.rows[size_t(f)][c], back.rows[size_t(f)][c + 1], back.rows[size_t(f)][c + 2]);
                QVERIFY(fromZXY(e).angularDistance(PoseSolver::local(s, poses[size_t(f)], j)) < 1e-3);
            }
        QByteArray text;
        BvhWriter::appendNumber(&text, -0.00001);
        BvhWriter::appendNumber(&text, -12.34567);
        QCOMPARE(text, QByteArray("0.0000-12.3457"));
    }

    void failedWriteIsReported()
    {
        BvhWriter w;
        const bool opened = w.open("/dev/full", Skeleton::defaultBiped(), 1.0 / 60, {});
        QVERIFY(!opened);
        QVERIFY(!w.close());
        QVERIFY(w.errorString().contains("/dev/full"));
        QVERIFY(!BvhWriter().open(QDir::tempPath() + "/no/such/dir/x.bvh", Skeleton::defaultBiped(), 0.01, {}));
    }

    // Every locale knob a host may turn to a decimal comma.
    void numbersKeepThePointUnderACommaLocale()
    {
        const bool cLocale = std::setlocale(LC_NUMERIC, "de_DE.UTF-8") != nullptr;
        QLocale::setDefault(QLocale::German);
        const std::locale before = std::locale::global(std::locale(std::locale::classic(), new CommaPoint));
        QTemporaryDir dir;
        const QString path = dir.filePath("de.bvh");
        {
            BvhWriter w;
            QVERIFY(w.open(path, Skeleton::defaultBiped(), 0.0125, {}));
            SuitPose p = PoseSolver::solve(Skeleton::defaultBiped(), SuitAlignment(), std::vector<NodeSample>(17));
            p.rootPosition = Eigen::Vector3d(1.5, -2.25, 0.125);
            QVERIFY(w.writeFrame(p));
            QVERIFY(w.close());
        }
        std::locale::global(before);
        QLocale::setDefault(QLocale::c());
        std::setlocale(LC_NUMERIC, "C");
        if (!cLocale)
            qInfo("no de_DE.UTF-8 on this host: the C library's locale is not exercised");
        QFile f(path);
        QVERIFY(f.open(QIODevice::ReadOnly));
        const QByteArray text = f.readAll();
        QVERIFY(!text.contains(','));
        QVERIFY(text.contains("Frame Time: 0.0125\n"));
        QVERIFY(text.contains("1.5000 95.7500 0.1250 "));
    }

    // A recording ends in a complete file or in a failure, never in a
    // failure called success: time up, then a disk that fills mid-way.
    void recordingOutcomeTellsTheTruth()
    {
        QTemporaryDir dir;
        SuitCapture done(Skeleton::defaultBiped(), nullptr);
        QSignalSpy finished(&done, &SuitCapture::sigBvhFinished);
        QVERIFY(done.startBvh(dir.filePath("done.bvh"), 0.01, nullptr, 0.2));
        QVERIFY(finished.wait(3000));
        BvhOutcome o = done.stopBvh();
        QVERIFY2(o.ok, qPrintable(o.error));
        QCOMPARE(o.frames, qint64(20));
        BvhTestFile back;
        QVERIFY(back.read(dir.filePath("done.bvh")).isEmpty());
        QCOMPARE(back.frames, 20);

        // The file may grow past its header by a few frames only.
        std::signal(SIGXFSZ, SIG_IGN);
        rlimit old{};
        getrlimit(RLIMIT_FSIZE, &old);
        rlimit small = old;
        small.rlim_cur = 6000;
        QCOMPARE(setrlimit(RLIMIT_FSIZE, &small), 0);
        SuitCapture full(Skeleton::defaultBiped(), nullptr);
        QSignalSpy failed(&full, &SuitCapture::sigBvhFailed);
        const bool started = full.startBvh(dir.filePath("full.bvh"), 0.005, nullptr);
        const bool sawFailure = started && failed.wait(5000);
        o = full.stopBvh();
        setrlimit(RLIMIT_FSIZE, &old);
        QVERIFY(started);
        QVERIFY(sawFailure);
        QVERIFY(!full.isRecording());
        QVERIFY(!o.ok);
        QVERIFY(o.frames > 0);
        QVERIFY2(o.error.contains("full.bvh"), qPrintable(o.error));
    }
};

QTEST_GUILESS_MAIN(TestBvhWriter)
#include "tst_bvhwriter.moc"
