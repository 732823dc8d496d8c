// A subscribing program's check of what arrives from the broker: the topic,
// then the frame, info or status payload (StreamSubscriber::handleMessage).
// The first byte chooses the topic; the rest is the payload.
#include "StreamPayload.h"
#include "StreamSubscriber.h"

#include <cstddef>
#include <cstdint>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    stream::StreamSubscriber sub;  // fresh per input: nothing carried over
    static const char* topics[] = {"strideloom/st/4242/frame", "strideloom/st/4242/info", "strideloom/st/status",
                                   "strideloom/st/x/frame", "strideloom/+/1/frame", "other/topic"};
    if (size == 0)
        return 0;
    const char* topic = topics[data[0] % 6];
    sub.handleMessage(topic, data + 1, int(size - 1));
    stream::RemoteFrame f;
    if (stream::parseFrame(reinterpret_cast<const char*>(data + 1), int(size - 1), &f)) {
        // What parses must encode and parse again to the same frame.
        stream::StreamFrame s;
        s.key = f.key;
        s.kind = f.kind;
        s.seq = f.seq;
        s.data = f.data;
        const QByteArray again = stream::encodeFrame(s, f.station);
        stream::RemoteFrame g;
        if (!stream::parseFrame(again.constData(), again.size(), &g) || g.key != f.key || g.seq != f.seq)
            __builtin_trap();
    }
    stream::DeviceInfo info;
    stream::parseInfo(reinterpret_cast<const char*>(data + 1), int(size - 1), &info);
    const std::string t(reinterpret_cast<const char*>(data + 1), size - 1);
    stream::parseTopic(t.c_str());
    return 0;
}
