#include "CommandCodec.h"
#include "HostCommandParser.h"

#include <QtTest>

// The simulator's parser against the frames the host library builds.
class TestHostCommandParser : public QObject
{
    Q_OBJECT
private:
    static QByteArray allCommands()
    {
        _device_setting s{};
        s.ctrl[0] = 4;
        s.cal[2].bias[1] = 3.5f;
        return buildCommandFrame(SerialCmd::REQDEVID) + buildCommandFrame(SerialCmd::REQMAG)
               + buildCommandFrame(SerialCmd::CLRMAG) + buildCommandFrame(SerialCmd::ACCELCAL, accelCalParameter(3, 2))
               + buildCommandFrame(SerialCmd::ZEROROTATE, zeroRotateParameter(false))
               + buildCommandFrame(SerialCmd::REQRTTRANS, rateParameter(200))
               + buildCommandFrame(SerialCmd::STOPRTTRANS) + buildCommandFrame(SerialCmd::REQCONFIG)
               + buildCommandFrame(SerialCmd::WRITECONFIG, writeConfigParameter(s));
    }

    static void checkAll(const std::vector<HostCommandParser::Command>& got)
    {
        const std::vector<int> codes{1, 3, 5, 7, 11, 33, 37, 39, 41};
        QCOMPARE(int(got.size()), int(codes.size()));
        for (size_t i = 0; i < codes.size(); ++i)
            QCOMPARE(int(got[i].code), codes[i]);
        QCOMPARE(got[3].params, QByteArray::fromHex("0000000200000000"));
        QCOMPARE(got[4].params, QByteArray(1, '\x02'));
        QCOMPARE(uint8_t(got[5].params.at(0)), uint8_t(200));
        QCOMPARE(got[8].params.size(), 515);
        QCOMPARE(int(got[8].params.at(0)), 4);
    }

private slots:
    void everyCommandInOneRead()
    {
        HostCommandParser p;
        checkAll(p.feed(allCommands()));
        QCOMPARE(p.skippedBytes(), 0);
    }

    void everyCommandByteByByte()
    {
        HostCommandParser p;
        std::vector<HostCommandParser::Command> got;
        const QByteArray all = allCommands();
        for (char c : all)
            for (auto& cmd : p.feed(QByteArray(1, c)))
                got.push_back(cmd);
        checkAll(got);
    }

    void noiseAndBrokenFramesAreSkipped()
    {
        HostCommandParser p;
        QByteArray broken = buildCommandFrame(SerialCmd::REQMAG);
        broken[3] = static_cast<char>(broken.at(3) ^ 1);
        const QByteArray stream = QByteArray::fromHex("ff01ee0102") + broken + buildCommandFrame(SerialCmd::REQCONFIG);
        const auto got = p.feed(stream);
        QCOMPARE(int(got.size()), 1);
        QCOMPARE(int(got[0].code), 39);
        QVERIFY(p.skippedBytes() > 0);
    }
};

QTEST_APPLESS_MAIN(TestHostCommandParser)
#include "tst_hostcommandparser.moc"
