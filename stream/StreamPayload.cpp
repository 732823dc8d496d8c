#include "StreamPayload.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonParseError>
#include <algorithm>
#include <cmath>
#include <vector>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <ctime>

namespace stream {

const char* kindName(DeviceKind kind)
{
    return kind == DeviceKind::Usb ? "usb" : "serial";
}

double monotonicMs()
{
    timespec ts;
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return double(ts.tv_sec) * 1000.0 + double(ts.tv_nsec) / 1e6;
}

int64_t wallClockMs()
{
    timespec ts;
    clock_gettime(CLOCK_REALTIME, &ts);
    return int64_t(ts.tv_sec) * 1000 + ts.tv_nsec / 1000000;
}

QByteArray frameTopic(const QString& station, uint32_t key)
{
    return "strideloom/" + station.toUtf8() + '/' + QByteArray::number(key) + "/frame";
}

QByteArray infoTopic(const QString& station, uint32_t key)
{
    return "strideloom/" + station.toUtf8() + '/' + QByteArray::number(key) + "/info";
}

QByteArray statusTopic(const QString& station)
{
    return "strideloom/" + station.toUtf8() + "/status";
}

bool isValidStation(const QString& station)
{
    if (station.isEmpty() || station.size() > kMaxStationLength)
        return false;
    for (QChar c : station)
        if (c == '/' || c == '+' || c == '#' || c == '"' || c == '\\' || c.isSpace() || c.category() == QChar::Other_Control)
            return false;
    return true;
}

namespace {

// Appends printf-style text; keeps track of the room left.
struct Writer
{
    char* buf;
    size_t size;
    size_t len = 0;
    void add(const char* fmt, ...) __attribute__((format(printf, 2, 3)))
    {
        if (len >= size)
            return;
        va_list ap;
        va_start(ap, fmt);
        const int n = std::vsnprintf(buf + len, size - len, fmt, ap);
        va_end(ap);
        if (n > 0)
            len += size_t(n);
        if (len >= size)
            len = size - 1;
    }
    void value(float v)
    {
        if (std::isfinite(v))
            add("%.9g", double(v));
        else
            add("null");
    }
    void array(const char* name, const float* v, int n)
    {
        add(",\"%s\":[", name);
        for (int i = 0; i < n; ++i) {
            if (i)
                add(",");
            value(v[i]);
        }
        add("]");
    }
};

} // namespace

int encodeFrame(const StreamFrame& f, const QString& station, char* buf, size_t size)
{
    Writer w{buf, size};
    const QByteArray st = station.toUtf8();
    w.add("{\"key\":\"%u\",\"kind\":\"%s\",\"station\":\"%s\",\"seq\":%llu,\"t_mono_ms\":%.3f,\"t_wall_ms\":%lld", f.key,
          kindName(f.kind), st.constData(), (unsigned long long)f.seq, f.monoMs, (long long)f.wallMs);
    w.array("accel", f.data.accel, 3);
    w.array("gyro", f.data.gyro, 3);
    w.array("mag", f.data.mag, 3);
    w.array("quat", f.data.quat, 4);
    w.array("euler", f.data.euler, 3);
    if (f.kind == DeviceKind::Usb) {
        w.array("location", f.data.position, 3);
        w.add(",\"battery\":%u", unsigned(f.data.nodeStatus[3]));
    }
    w.add("}");
    return int(w.len);
}

QByteArray encodeFrame(const StreamFrame& frame, const QString& station)
{
    char buf[kMaxPayloadBytes];
    const int n = encodeFrame(frame, station, buf, sizeof buf);
    return QByteArray(buf, n);
}

QByteArray encodeInfo(const DeviceInfo& info, const QString& station)
{
    QJsonObject o;
    o["key"] = QString::number(info.key);
    o["kind"] = kindName(info.kind);
    o["station"] = station;
    o["name"] = info.name;
    if (info.kind == DeviceKind::Usb) {
        o["suit"] = info.suit;
        o["node"] = info.node;
    }
    return QJsonDocument(o).toJson(QJsonDocument::Compact);
}

TopicParts parseTopic(const char* topic)
{
    TopicParts t;
    if (!topic)
        return t;
    const QList<QByteArray> parts = QByteArray(topic).split('/');
    if (parts.size() < 3 || parts[0] != "strideloom")
        return t;
    const QString station = QString::fromUtf8(parts[1]);
    if (!isValidStation(station))
        return t;
    if (parts.size() == 3 && parts[2] == "status") {
        t.kind = TopicKind::Status;
        t.station = station;
        return t;
    }
    if (parts.size() != 4)
        return t;
    bool ok = false;
    const qulonglong key = parts[2].toULongLong(&ok, 10);
    if (!ok || key > 0xffffffffull || parts[2].isEmpty() || parts[2][0] == '+' || parts[2][0] == '-')
        return t;
    if (parts[3] == "frame")
        t.kind = TopicKind::Frame;
    else if (parts[3] == "info")
        t.kind = TopicKind::Info;
    else
        return t;
    t.station = station;
    t.key = uint32_t(key);
    return t;
}

namespace {

bool readKey(const QJsonValue& v, uint32_t* key)
{
    if (!v.isString())
        return false;
    const QString s = v.toString();
    if (s.isEmpty() || s.size() > 10 || !s[0].isDigit())
        return false;
    bool ok = false;
    const qulonglong k = s.toULongLong(&ok, 10);
    if (!ok || k > 0xffffffffull)
        return false;
    *key = uint32_t(k);
    return true;
}

bool readKind(const QJsonValue& v, DeviceKind* kind)
{
    if (v == QJsonValue("serial"))
        *kind = DeviceKind::Serial;
    else if (v == QJsonValue("usb"))
        *kind = DeviceKind::Usb;
    else
        return false;
    return true;
}

bool readFloats(const QJsonObject& o, const char* name, float* out, int n, bool required)
{
    const QJsonValue v = o.value(QLatin1String(name));
    if (v.isUndefined())
        return !required;
    if (!v.isArray())
        return false;
    const QJsonArray a = v.toArray();
    if (a.size() != n)
        return false;
    for (int i = 0; i < n; ++i) {
        if (a[i].isNull())
            out[i] = NAN;
        else if (a[i].isDouble())
            out[i] = float(a[i].toDouble());
        else
            return false;
    }
    return true;
}

// Qt 5's JSON parser keeps memory of objects with repeated keys (found by
// the fuzz target): a peer could grow us by sending them forever. Our
// payloads are one flat object of distinct keys; anything else is refused
// before Qt parses it.
bool flatWithDistinctKeys(const char* p, int n)
{
    std::vector<QByteArray> keys;
    int objects = 0, arrays = 0;
    for (int i = 0; i < n; ++i) {
        const char c = p[i];
        if (c == '"') {
            const int start = ++i;
            while (i < n && p[i] != '"')
                i += p[i] == '\\' ? 2 : 1;
            if (i >= n)
                return false;
            int j = i + 1;
            while (j < n && (p[j] == ' ' || p[j] == '\t' || p[j] == '\n' || p[j] == '\r'))
                ++j;
            if (objects == 1 && arrays == 0 && j < n && p[j] == ':') {
                const QByteArray key(p + start, i - start);
                if (std::find(keys.begin(), keys.end(), key) != keys.end())
                    return false;
                keys.push_back(key);
            }
        } else if (c == '{') {
            if (++objects > 1 || arrays > 0)
                return false;
        } else if (c == '}') {
            --objects;
        } else if (c == '[') {
            if (++arrays > 1)
                return false;
        } else if (c == ']') {
            --arrays;
        }
    }
    return true;
}

bool fail(QString* why, const char* text)
{
    if (why)
        *why = QString::fromLatin1(text);
    return false;
}

} // namespace

bool parseFrame(const char* payload, int length, RemoteFrame* out, QString* why)
{
    if (!payload || length <= 0)
        return fail(why, "empty payload");
    if (length > kMaxPayloadBytes)
        return fail(why, "payload too long");
    if (!flatWithDistinctKeys(payload, length))
        return fail(why, "not one flat object with distinct keys");
    QJsonParseError err;
    const QJsonDocument doc = QJsonDocument::fromJson(QByteArray::fromRawData(payload, length), &err);
    if (err.error != QJsonParseError::NoError)
        return fail(why, "not JSON");
    if (!doc.isObject())
        return fail(why, "not a JSON object");
    const QJsonObject o = doc.object();
    RemoteFrame f;
    if (!readKey(o.value("key"), &f.key))
        return fail(why, "key");
    if (!readKind(o.value("kind"), &f.kind))
        return fail(why, "kind");
    const QJsonValue st = o.value("station");
    if (!st.isString() || !isValidStation(st.toString()))
        return fail(why, "station");
    f.station = st.toString();
    const QJsonValue seq = o.value("seq");
    if (!seq.isDouble() || seq.toDouble() < 0 || seq.toDouble() > 9007199254740992.0 ||
        seq.toDouble() != std::floor(seq.toDouble()))
        return fail(why, "seq");
    f.seq = uint64_t(seq.toDouble());
    const QJsonValue mono = o.value("t_mono_ms"), wall = o.value("t_wall_ms");
    if (!mono.isDouble() || !wall.isDouble() || !std::isfinite(mono.toDouble()) || !std::isfinite(wall.toDouble()) ||
        std::fabs(wall.toDouble()) > 9e15)
        return fail(why, "time stamp");
    f.monoMs = mono.toDouble();
    f.wallMs = int64_t(wall.toDouble());
    if (!readFloats(o, "accel", f.data.accel, 3, true) || !readFloats(o, "gyro", f.data.gyro, 3, true) ||
        !readFloats(o, "mag", f.data.mag, 3, true) || !readFloats(o, "quat", f.data.quat, 4, true) ||
        !readFloats(o, "euler", f.data.euler, 3, true) || !readFloats(o, "location", f.data.position, 3, false))
        return fail(why, "values");
    const QJsonValue battery = o.value("battery");
    if (!battery.isUndefined()) {
        if (!battery.isDouble() || battery.toDouble() < 0 || battery.toDouble() > 255)
            return fail(why, "battery");
        f.data.nodeStatus[3] = uint8_t(battery.toDouble());
    }
    if (f.kind == DeviceKind::Usb) {
        f.data.nodeId = f.key;
        f.data.nodeStatus[4] = uint8_t(f.key & 0x3F);
    }
    *out = f;
    return true;
}

bool parseInfo(const char* payload, int length, DeviceInfo* out)
{
    if (!payload || length <= 0 || length > kMaxPayloadBytes || !flatWithDistinctKeys(payload, length))
        return false;
    QJsonParseError err;
    const QJsonDocument doc = QJsonDocument::fromJson(QByteArray::fromRawData(payload, length), &err);
    if (err.error != QJsonParseError::NoError || !doc.isObject())
        return false;
    const QJsonObject o = doc.object();
    DeviceInfo i;
    if (!readKey(o.value("key"), &i.key) || !readKind(o.value("kind"), &i.kind))
        return false;
    const QJsonValue name = o.value("name");
    if (!name.isString() || name.toString().size() > 256)
        return false;
    i.name = name.toString();
    i.suit = o.value("suit").toString().left(32);
    i.node = o.value("node").toString().left(64);
    *out = i;
    return true;
}

} // namespace stream
