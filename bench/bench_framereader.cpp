// Cost of the serial receive path per frame: append into the ring, cut the
// payload out, check and decode it; beside a plain memcpy of the same bytes.

#include "DeviceEncoder.h"
#include "SerialFrameCodec.h"
#include "SerialRingBuffer.h"

#include <QByteArray>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <memory>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

double secondsSince(Clock::time_point start)
{
    return std::chrono::duration<double>(Clock::now() - start).count();
}

} // namespace

int main(int argc, char** argv)
{
    const int frames = argc > 1 ? std::atoi(argv[1]) : 2000000;
    const int chunkFrames = 50;  // frames per append, like one read of a busy port

    QByteArray chunk;
    for (int i = 0; i < chunkFrames; ++i) {
        DeviceEncoder::SensorValues v;
        v.accel[0] = 0.01 * i;
        v.mag[2] = -40.0 + i;
        v.quat[0] = 0.7071;
        v.quat[3] = 0.7071;
        chunk += DeviceEncoder::frame(DeviceEncoder::sensorPayload(v));
    }
    const int rounds = frames / chunkFrames;
    const double totalBytes = double(chunk.size()) * rounds;

    auto ring = std::make_unique<SerialRingBuffer>();
    uint8_t payload[1024];
    FrameData frame;
    long decoded = 0;
    double checksum = 0;
    const auto t0 = Clock::now();
    for (int r = 0; r < rounds; ++r) {
        ring->append(chunk);
        int len = 0;
        while (ring->takeFrame(payload, sizeof(payload), &len) == 1) {
            if (decodeSensorPayload(payload, len, &frame)) {
                ++decoded;
                checksum += frame.accel[0];
            }
        }
    }
    const double parseSeconds = secondsSince(t0);

    std::vector<char> sink(size_t(chunk.size()) * 8);
    const auto t1 = Clock::now();
    for (int r = 0; r < rounds; ++r) {
        std::memcpy(sink.data() + size_t(r % 8) * size_t(chunk.size()), chunk.constData(), size_t(chunk.size()));
        checksum += sink[size_t(r % 8) * size_t(chunk.size()) + 7];
    }
    const double copySeconds = secondsSince(t1);

    const double nsPerFrame = parseSeconds * 1e9 / double(decoded);
    const double copyNsPerFrame = copySeconds * 1e9 / double(rounds * chunkFrames);
    std::printf("frames decoded:          %ld of %d (%.1f MB)\n", decoded, rounds * chunkFrames, totalBytes / 1e6);
    std::printf("append+take+decode:      %.1f ns/frame, %.2f million frames/s\n", nsPerFrame, 1e3 / nsPerFrame);
    std::printf("memcpy of the same bytes: %.2f ns/frame, %.1f GB/s\n", copyNsPerFrame, totalBytes / copySeconds / 1e9);
    std::printf("ratio parse/memcpy:      %.0f\n", nsPerFrame / copyNsPerFrame);
    std::printf("(checksum %.1f, overwritten bytes %llu)\n", checksum, static_cast<unsigned long long>(ring->overwrittenBytes()));
    return decoded == long(rounds) * chunkFrames ? 0 : 1;
}
