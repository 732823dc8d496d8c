#include "SerialRingBuffer.h"

#include <algorithm>
#include <cstring>

SerialRingBuffer::SerialRingBuffer()
    : buffer(kCapacity, 0)
    , headMarker{0xA5, 0x5A}
    , headMarkerLength(2)
    , tailMarker{0xE4, 0xAA}
    , tailMarkerLength(2)
{
}

void SerialRingBuffer::append(const QByteArray& bytes)
{
    append(reinterpret_cast<const uint8_t*>(bytes.constData()), bytes.size());
}

void SerialRingBuffer::append(const uint8_t* bytes, int count)
{
    if (count <= 0)
        return;
    std::lock_guard<std::mutex> lock(mutex);
    const quint64 unreadBefore = static_cast<quint64>(unreadCount());
    // Copy in chunks up to the end of the storage so an append larger than
    // the whole ring wraps again instead of running past it.
    int remaining = count;
    while (remaining > 0) {
        if (writePos == kCapacity)
            writePos = 0;
        const int chunk = std::min(remaining, kCapacity - writePos);
        std::memcpy(buffer.data() + writePos, bytes + (count - remaining), static_cast<size_t>(chunk));
        writePos += chunk;
        remaining -= chunk;
    }
    // The ring does not refuse data when the reader lags; count what the
    // reader can no longer reach so the loss shows.
    overwritten += unreadBefore + static_cast<quint64>(count) - static_cast<quint64>(unreadCount());
}

void SerialRingBuffer::clear()
{
    std::lock_guard<std::mutex> lock(mutex);
    std::fill(buffer.begin(), buffer.end(), 0);
    writePos = 0;
    readPos = 0;
}

int SerialRingBuffer::unreadCount() const
{
    return writePos >= readPos ? writePos - readPos : writePos + kCapacity - readPos;
}

bool SerialRingBuffer::matchesAt(const uint8_t* pattern, int length, int position) const
{
    for (int i = 0; i < length; ++i) {
        int idx = position + i;
        if (idx >= kCapacity)
            idx -= kCapacity;
        if (buffer[static_cast<size_t>(idx)] != pattern[i])
            return false;
    }
    return true;
}

int SerialRingBuffer::findPattern(const uint8_t* pattern, int length, int start) const
{
    const int w = writePos;
    if (length <= 0 || start == w)
        return -1;
    if (start < w) {
        for (int p = start; w - p >= length; ++p) {
            if (matchesAt(pattern, length, p))
                return p;
        }
        return -1;
    }
    for (int p = start; p < kCapacity && w - p + kCapacity >= length; ++p) {
        if (matchesAt(pattern, length, p))
            return p;
    }
    for (int p = 0; w - p >= length; ++p) {
        if (matchesAt(pattern, length, p))
            return p;
    }
    return -1;
}

void SerialRingBuffer::copyOut(int from, int count, uint8_t* dest) const
{
    if (from >= kCapacity)
        from -= kCapacity;
    const int first = std::min(count, kCapacity - from);
    std::memcpy(dest, buffer.data() + from, static_cast<size_t>(first));
    if (count > first)
        std::memcpy(dest + first, buffer.data(), static_cast<size_t>(count - first));
}

int SerialRingBuffer::payloadLength(int head, int tail) const
{
    int length = tail - head - headMarkerLength;
    if (tail < head)
        length += kCapacity;
    return length;
}

int SerialRingBuffer::takeFrame(uint8_t* dest, int capacity, int* outLen, QByteArray* oversize,
                                PayloadCheck isWhole, int longestWhole)
{
    std::lock_guard<std::mutex> lock(mutex);
    const int head = findPattern(headMarker, headMarkerLength, readPos);
    if (head < 0)
        return -1;
    int tail = findPattern(tailMarker, tailMarkerLength, head);
    if (tail < 0)
        return -1;
    const int payloadStart = head + headMarkerLength;

    int length = payloadLength(head, tail);
    longestWhole = std::min(longestWhole, capacity);
    // An empty frame is whole as it stands: nothing to check or extend.
    if (isWhole && length > 0 && length <= longestWhole) {
        copyOut(payloadStart, length, dest);
        if (!isWhole(dest, length)) {
            bool extended = false;
            for (int t = tail;;) {
                const int next = findPattern(tailMarker, tailMarkerLength, (t + 1) % kCapacity);
                if (next < 0 || payloadLength(head, next) > longestWhole || payloadLength(head, next) < 0)
                    break;
                copyOut(payloadStart, payloadLength(head, next), dest);
                if (isWhole(dest, payloadLength(head, next))) {
                    tail = next;
                    extended = true;
                    break;
                }
                t = next;
            }
            // Until the longest whole payload could have arrived, the cut may
            // be the start of one whose real tail is still on its way (a
            // reply arrives in pieces). A valid frame behind noise is not
            // held up: its own tail ends the extension above.
            const int unreadFromHead = writePos >= head ? writePos - head : writePos + kCapacity - head;
            if (!extended && unreadFromHead < headMarkerLength + longestWhole + tailMarkerLength)
                return -1;
            length = payloadLength(head, tail);
        }
    }
    copyOut(payloadStart, std::min(length, capacity), dest);
    if (length > capacity && oversize) {
        oversize->resize(length);
        copyOut(payloadStart, length, reinterpret_cast<uint8_t*>(oversize->data()));
    }
    *outLen = length;

    readPos = tail + tailMarkerLength;
    if (readPos >= kCapacity) {
        readPos -= kCapacity;
        // A frame that ended exactly at the end of storage leaves nothing
        // unread; without this the whole old buffer would look unread again.
        if (readPos == 0 && writePos == kCapacity)
            writePos = 0;
    }
    return length != 0 ? 1 : -1;
}

quint64 SerialRingBuffer::overwrittenBytes() const
{
    std::lock_guard<std::mutex> lock(mutex);
    return overwritten;
}

int SerialRingBuffer::readPosition() const
{
    std::lock_guard<std::mutex> lock(mutex);
    return readPos;
}

int SerialRingBuffer::writePosition() const
{
    std::lock_guard<std::mutex> lock(mutex);
    return writePos;
}
