#pragma once

#include "StreamFrame.h"

#include <QByteArray>
#include <QString>
#include <cstddef>

namespace stream {

// The MQTT topics and payloads (documented in README, "Streaming to other
// programs").
//
//   strideloom/<station>/<key>/frame   one JSON object per frame, QoS 0 (or 1)
//   strideloom/<station>/<key>/info    retained JSON: kind, name, suit, node
//   strideloom/<station>/status        retained "online" / "offline" (last will)
//
// Frame payload:
//   {"key":"4242","kind":"serial","station":"lab1","seq":17,
//    "t_mono_ms":812345.125,"t_wall_ms":1718000000123,
//    "accel":[x,y,z],"gyro":[x,y,z],"mag":[x,y,z],"quat":[w,x,y,z],
//    "euler":[x,y,z],"location":[x,y,z],"battery":87}
// "location" and "battery" only for USB nodes. Floats carry 9 significant
// digits, so a single-precision value arrives exactly; a value that is not
// finite is written as null and read back as NaN.

constexpr int kMaxPayloadBytes = 4096;
constexpr int kMaxStationLength = 64;

QByteArray frameTopic(const QString& station, uint32_t key);
QByteArray infoTopic(const QString& station, uint32_t key);
QByteArray statusTopic(const QString& station);

// A station name usable inside a topic: not empty, at most 64 characters,
// none of '/', '+', '#', control characters or blanks.
bool isValidStation(const QString& station);

// Writes the frame's payload into buf (at least kMaxPayloadBytes); returns
// its length.
int encodeFrame(const StreamFrame& frame, const QString& station, char* buf, size_t size);
QByteArray encodeFrame(const StreamFrame& frame, const QString& station);

struct DeviceInfo
{
    uint32_t key = 0;
    DeviceKind kind = DeviceKind::Serial;
    QString name;      // descriptive text as the program lists it
    QString suit;      // "0x66" for USB nodes, empty otherwise
    QString node;      // node name from the model file, USB nodes only
};
QByteArray encodeInfo(const DeviceInfo& info, const QString& station);

// What a topic below strideloom/ is.
enum class TopicKind { Unknown, Frame, Info, Status };
struct TopicParts
{
    TopicKind kind = TopicKind::Unknown;
    QString station;
    uint32_t key = 0;
};
TopicParts parseTopic(const char* topic);

// A received frame; false for anything not a valid frame payload (the
// reason in *why when given): not JSON, not an object, a field missing or
// of the wrong type, a key that is not a 32-bit decimal number, too long.
struct RemoteFrame
{
    QString station;
    uint32_t key = 0;
    DeviceKind kind = DeviceKind::Serial;
    uint64_t seq = 0;
    double monoMs = 0;
    int64_t wallMs = 0;
    FrameData data{};
};
bool parseFrame(const char* payload, int length, RemoteFrame* out, QString* why = nullptr);
bool parseInfo(const char* payload, int length, DeviceInfo* out);

} // namespace stream
