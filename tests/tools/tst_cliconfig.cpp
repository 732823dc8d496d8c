// strideloom-cli config against simulated devices whose replies reach the
// host in adapter pieces.

#include "SimulatedSensor.h"

#include <QProcess>
#include <QtTest>
#include <cstring>
#include <memory>

namespace {

std::unique_ptr<SimulatedSensor> startSensor(uint32_t serial, int baud, int lostRequests = 0)
{
    SimulatedSensor::Config c;
    c.serial = serial;
    c.baudRate = baud;
    c.seed = serial;
    c.storedConfig = SimulatedSensor::StoredConfig::TailMarker;
    c.ignoredConfigRequests = lostRequests;
    auto s = std::make_unique<SimulatedSensor>(c);
    return s->start() ? std::move(s) : nullptr;
}

QByteArray runConfig(const SimulatedSensor& sensor, int* exitCode)
{
    QProcess cli;
    cli.start(STRIDELOOM_CLI, {"config", sensor.key(), "--extra-ports", sensor.portPath()});
    if (!cli.waitForFinished(60000))
        cli.kill();
    *exitCode = cli.exitStatus() == QProcess::NormalExit ? cli.exitCode() : -1;
    return cli.readAllStandardOutput();
}

// The printed blocks back in their wire form: bias in 2^-16, matrix in 2^-24.
QByteArray wireBlocks(const QByteArray& out)
{
    QByteArray blocks;
    for (const QByteArray& line : out.split('\n')) {
        const QList<QByteArray> f = line.simplified().split(' ');
        if (f.size() < 4 || f[0] != "block")
            continue;
        const double scale = f[2] == "bias:" ? 65536.0 : 16777216.0;
        for (int i = 3; i < f.size(); ++i) {
            const int32_t raw = int32_t(qRound64(double(f[i].toFloat()) * scale));
            blocks.append(reinterpret_cast<const char*>(&raw), 4);
        }
    }
    return blocks;
}

} // namespace

class TestCliConfig : public QObject
{
    Q_OBJECT
private slots:
    void printsTheStoredBlocksExactly_data()
    {
        QTest::addColumn<int>("baud");
        QTest::newRow("115200") << 115200;
        QTest::newRow("230400") << 230400;
    }
    void printsTheStoredBlocksExactly()
    {
        QFETCH(int, baud);
        auto sensor = startSensor(7100 + uint32_t(baud / 100), baud);
        QVERIFY(sensor);
        QVERIFY(sensor->deliversInPieces());
        QVERIFY(sensor->storedBlocks().contains(QByteArray::fromHex("e4aa")));
        int rc = -1;
        const QByteArray out = runConfig(*sensor, &rc);
        QVERIFY2(rc == 0, out.constData());
        QCOMPARE(wireBlocks(out).toHex(), sensor->storedBlocks().toHex());
    }

    void aConfigurationThatNeverCameIsAFailure()
    {
        auto sensor = startSensor(7199, 115200, 1);
        QVERIFY(sensor);
        int rc = -1;
        QVERIFY(wireBlocks(runConfig(*sensor, &rc)).isEmpty());
        QVERIFY(rc != 0);
        QCOMPARE(wireBlocks(runConfig(*sensor, &rc)).toHex(), sensor->storedBlocks().toHex());
        QCOMPARE(rc, 0);
    }
};

QTEST_GUILESS_MAIN(TestCliConfig)
#include "tst_cliconfig.moc"
