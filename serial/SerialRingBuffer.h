#pragma once

#include <QByteArray>
#include <cstdint>
#include <mutex>
#include <vector>

// Circular receive buffer of one serial port: the port's I/O thread appends,
// the reader thread cuts payloads out between head and tail markers.
class SerialRingBuffer
{
public:
    static constexpr int kCapacity = 0x100000;
    static constexpr int kMaxMarkerLength = 10;

    SerialRingBuffer();

    SerialRingBuffer(const SerialRingBuffer&) = delete;
    SerialRingBuffer& operator=(const SerialRingBuffer&) = delete;

    void append(const QByteArray& bytes);
    void append(const uint8_t* bytes, int count);
    void clear();

    // Index of the first occurrence of the pattern lying wholly inside the
    // unread region from `start`, or -1. The caller holds `mutex`.
    int findPattern(const uint8_t* pattern, int length, int start) const;

    // Tells whether a payload cut out between markers is a whole one.
    using PayloadCheck = bool (*)(const uint8_t* payload, int length);

    // Takes the next payload into dest (capacity bytes). Returns 1 and its
    // length when one was taken, -1 otherwise. A payload longer than the
    // capacity is consumed whole: dest gets its first `capacity` bytes,
    // *outLen its real length and *oversize (when given) all of it.
    //
    // The framing has no escape, so a payload may hold the tail marker.
    // With isWhole given, a payload that fails the check is extended to a
    // later tail marker (up to longestWhole bytes) that closes a whole
    // payload; without one it waits until longestWhole bytes could have
    // arrived after the head, and is then taken as it was cut.
    int takeFrame(uint8_t* dest, int capacity, int* outLen, QByteArray* oversize = nullptr,
                  PayloadCheck isWhole = nullptr, int longestWhole = 0);

    // Unread bytes the producer wrote over or made unreachable since creation.
    quint64 overwrittenBytes() const;

    int readPosition() const;
    int writePosition() const;

private:
    int unreadCount() const;
    // Payload bytes between a head marker at head and a tail marker at tail.
    int payloadLength(int head, int tail) const;
    void copyOut(int from, int count, uint8_t* dest) const;
    bool matchesAt(const uint8_t* pattern, int length, int position) const;

    int writePos = 0;
    int readPos = 0;
    std::vector<uint8_t> buffer;
    uint8_t headMarker[kMaxMarkerLength];
    int headMarkerLength;
    uint8_t tailMarker[kMaxMarkerLength];
    int tailMarkerLength;
    quint64 overwritten = 0;
    // Guards positions, buffer contents and the overwrite count.
    mutable std::mutex mutex;
};
