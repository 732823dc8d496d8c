#include "DeviceEncoder.h"
#include "SerialRingBuffer.h"

#include <QtTest>
#include <cstring>
#include <memory>

namespace {

constexpr int kCap = SerialRingBuffer::kCapacity;

QByteArray take(SerialRingBuffer& ring, int* result = nullptr)
{
    uint8_t dest[1024] = {};
    int len = -7;
    const int r = ring.takeFrame(dest, sizeof(dest), &len);
    if (result)
        *result = r;
    if (r != 1)
        return QByteArray();
    return QByteArray(reinterpret_cast<const char*>(dest), len);
}

QByteArray sensorPayload(int seed)
{
    int32_t raw[17];
    for (int i = 0; i < 17; ++i)
        raw[i] = seed * 1000 + i;
    return DeviceEncoder::sensorPayloadRaw(raw);
}

} // namespace

class TestSerialRingBuffer : public QObject
{
    Q_OBJECT
private slots:
    void frameArrivingInPiecesIsTakenAfterItsTail()
    {
        auto ring = std::make_unique<SerialRingBuffer>();
        const QByteArray payload = sensorPayload(1);
        const QByteArray wire = DeviceEncoder::frame(payload);
        int result = 0;
        ring->append(wire.left(10));
        QCOMPARE(take(*ring, &result), QByteArray());
        QCOMPARE(result, -1);
        QCOMPARE(ring->readPosition(), 0);
        ring->append(wire.mid(10, wire.size() - 11));
        QCOMPARE(take(*ring, &result), QByteArray());
        QCOMPARE(ring->readPosition(), 0);
        ring->append(wire.right(1));
        QCOMPARE(take(*ring, &result), payload);
        QCOMPARE(result, 1);
        QCOMPARE(ring->readPosition(), wire.size());
    }

    void garbageBeforeHeadIsSkipped()
    {
        auto ring = std::make_unique<SerialRingBuffer>();
        const QByteArray payload = sensorPayload(2);
        ring->append(QByteArray("\x00\xA5\x13\xE4\xAA garbage", 14) + DeviceEncoder::frame(payload));
        // The lone tail marker before the first head is not a frame end.
        QCOMPARE(take(*ring), payload);
        QCOMPARE(take(*ring), QByteArray());
    }

    void streamWithoutHeadIsNeverConsumed()
    {
        auto ring = std::make_unique<SerialRingBuffer>();
        ring->append(QByteArray(500, '\x42'));
        for (int i = 0; i < 3; ++i)
            QCOMPARE(take(*ring), QByteArray());
        QCOMPARE(ring->readPosition(), 0);
        // A frame after the noise is still found.
        const QByteArray payload = sensorPayload(3);
        ring->append(DeviceEncoder::frame(payload));
        QCOMPARE(take(*ring), payload);
    }

    void headDirectlyFollowedByTailYieldsNothingButIsConsumed()
    {
        auto ring = std::make_unique<SerialRingBuffer>();
        const QByteArray payload = sensorPayload(4);
        ring->append(QByteArray("\xA5\x5A\xE4\xAA", 4) + DeviceEncoder::frame(payload));
        int result = 0;
        QCOMPARE(take(*ring, &result), QByteArray());
        QCOMPARE(result, -1);
        QCOMPARE(ring->readPosition(), 4);
        QCOMPARE(take(*ring), payload);
    }

    void tailMarkerInsidePayloadCutsIt()
    {
        auto ring = std::make_unique<SerialRingBuffer>();
        QByteArray payload = sensorPayload(5);
        payload[30] = char(0xE4);
        payload[31] = char(0xAA);
        const QByteArray next = sensorPayload(6);
        ring->append(DeviceEncoder::frame(payload) + DeviceEncoder::frame(next));
        QCOMPARE(take(*ring), payload.left(30));
        // The rest of the cut payload is skipped by the next head search.
        QCOMPARE(take(*ring), next);
    }

    void frameStraddlingTheEndIsDeliveredWhole_data()
    {
        QTest::addColumn<int>("offsetFromEnd");
        QTest::newRow("payload wraps") << 40;
        QTest::newRow("head marker wraps") << 1;
        QTest::newRow("tail marker wraps") << 79;
        QTest::newRow("tail ends at capacity") << 80;
        QTest::newRow("frame starts at index 0") << 0;
    }

    void frameStraddlingTheEndIsDeliveredWhole()
    {
        QFETCH(int, offsetFromEnd);
        auto ring = std::make_unique<SerialRingBuffer>();
        // A filler frame whose end lies offsetFromEnd bytes before the end of storage.
        const int fillerPayload = kCap - offsetFromEnd - 4;
        QByteArray filler(fillerPayload, '\x00');
        ring->append(DeviceEncoder::frame(filler));
        uint8_t sink[1024];
        int len = 0;
        QByteArray whole;
        QCOMPARE(ring->takeFrame(sink, sizeof(sink), &len, &whole), 1);
        QCOMPARE(len, fillerPayload);
        QCOMPARE(ring->readPosition(), (kCap - offsetFromEnd) % kCap);
        QCOMPARE(take(*ring), QByteArray());  // nothing is delivered twice

        const QByteArray payload = sensorPayload(7);
        ring->append(DeviceEncoder::frame(payload));
        QCOMPARE(take(*ring), payload);
        QCOMPARE(ring->overwrittenBytes(), quint64(0));
    }

    void oversizePayloadIsConsumedWhole()
    {
        auto ring = std::make_unique<SerialRingBuffer>();
        QByteArray big(3000, '\x07');
        const QByteArray next = sensorPayload(8);
        ring->append(DeviceEncoder::frame(big) + DeviceEncoder::frame(next));
        uint8_t dest[1024 + 16];
        std::memset(dest, 0xEE, sizeof(dest));
        int len = 0;
        QByteArray whole;
        QCOMPARE(ring->takeFrame(dest, 1024, &len, &whole), 1);
        QCOMPARE(len, 3000);
        QCOMPARE(whole, big);
        // Nothing written past the destination's capacity.
        for (int i = 1024; i < int(sizeof(dest)); ++i)
            QCOMPARE(dest[i], uint8_t(0xEE));
        QCOMPARE(take(*ring), next);
    }

    void overwriteByFarProducerIsCounted()
    {
        auto ring = std::make_unique<SerialRingBuffer>();
        ring->append(QByteArray(kCap - 100, '\x01'));
        QCOMPARE(ring->overwrittenBytes(), quint64(0));
        ring->append(QByteArray(300, '\x02'));
        // Only the 200 bytes past the wrap remain reachable.
        QCOMPARE(ring->overwrittenBytes(), quint64(kCap));
    }

    void appendLargerThanTheRingStaysInside()
    {
        auto ring = std::make_unique<SerialRingBuffer>();
        ring->append(QByteArray(10, '\x01'));
        QByteArray huge(kCap * 2 + 123, '\x03');
        ring->append(huge);
        QCOMPARE(ring->writePosition(), (10 + huge.size()) % kCap);
        QVERIFY(ring->overwrittenBytes() > quint64(kCap));
    }

    void clearEmptiesTheRing()
    {
        auto ring = std::make_unique<SerialRingBuffer>();
        ring->append(DeviceEncoder::frame(sensorPayload(9)));
        ring->clear();
        QCOMPARE(ring->readPosition(), 0);
        QCOMPARE(ring->writePosition(), 0);
        QCOMPARE(take(*ring), QByteArray());
    }

    void findPatternRespectsTheUnreadRegion()
    {
        auto ring = std::make_unique<SerialRingBuffer>();
        const uint8_t pattern[2] = {0xA5, 0x5A};
        ring->append(QByteArray("\x00\x00\xA5", 3));
        QCOMPARE(ring->findPattern(pattern, 2, 0), -1);  // half a marker is not a match
        ring->append(QByteArray("\x5A", 1));
        QCOMPARE(ring->findPattern(pattern, 2, 0), 2);
        QCOMPARE(ring->findPattern(pattern, 2, 3), -1);
        QCOMPARE(ring->findPattern(pattern, 2, 4), -1);  // start equals write position
    }
};

QTEST_APPLESS_MAIN(TestSerialRingBuffer)
#include "tst_serialringbuffer.moc"
