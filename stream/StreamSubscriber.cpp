#include "StreamSubscriber.h"
#include "MosquittoLib.h"

#include <mosquitto.h>

#include <QByteArray>
#include <chrono>
#include <cstring>
#include <unistd.h>

namespace stream {

void ensureMosquittoLib()
{
    static const int once = mosquitto_lib_init();
    (void)once;
}

StreamSubscriber::StreamSubscriber() = default;

StreamSubscriber::~StreamSubscriber()
{
    stop();
}

bool StreamSubscriber::start(const StreamOptions& options, const QString& ownStation, Callbacks callbacks,
                             QString* error)
{
    stop();
    StreamOptions check = options;
    check.remote = true;
    const QString why = check.validate();
    if (!why.isEmpty()) {
        if (error)
            *error = why;
        return false;
    }
    opts = options;
    own = ownStation;
    stations.clear();
    for (const QString& s : options.remoteStations.split(QChar(';'), Qt::SkipEmptyParts))
        stations << s.trimmed();
    cb = std::move(callbacks);
    lastSeq.clear();
    for (std::atomic<uint64_t>* c : {&frames, &rejected, &lost, &reconnects, &failedAttempts})
        c->store(0);
    link = int(LinkState::Connecting);
    stopping = false;
    thread = std::thread(&StreamSubscriber::run, this);
    return true;
}

void StreamSubscriber::stop()
{
    if (!thread.joinable())
        return;
    stopping = true;
    thread.join();
    connected = false;
}

StreamSubscriber::Counters StreamSubscriber::counters() const
{
    Counters c;
    c.frames = frames.load();
    c.rejected = rejected.load();
    c.lost = lost.load();
    c.reconnects = reconnects.load();
    c.failedAttempts = failedAttempts.load();
    c.connected = connected.load();
    c.link = LinkState(link.load());
    return c;
}

QString StreamSubscriber::lastProblem() const
{
    std::lock_guard<std::mutex> lock(mutexProblem);
    return problem;
}

void StreamSubscriber::setCallbacks(const QString& ownStation, Callbacks callbacks)
{
    own = ownStation;
    cb = std::move(callbacks);
}

void StreamSubscriber::handleMessage(const char* topic, const void* payload, int length)
{
    const TopicParts t = parseTopic(topic);
    const char* p = static_cast<const char*>(payload);
    if (t.kind == TopicKind::Unknown || length < 0 || length > kMaxPayloadBytes) {
        rejected.fetch_add(1, std::memory_order_relaxed);
        return;
    }
    if (t.station == own)
        return;  // our own devices: never shown again, never republished
    if (!stations.isEmpty() && !stations.contains(t.station))
        return;
    switch (t.kind) {
    case TopicKind::Status: {
        const QByteArray s = QByteArray::fromRawData(p, length);
        if (s == "online" || s == "offline") {
            if (cb.status)
                cb.status(t.station, s == "online");
        } else if (length > 0) {  // an empty retained message clears the topic
            rejected.fetch_add(1, std::memory_order_relaxed);
        }
        return;
    }
    case TopicKind::Info: {
        if (length == 0)
            return;
        DeviceInfo info;
        if (!parseInfo(p, length, &info) || info.key != t.key) {
            rejected.fetch_add(1, std::memory_order_relaxed);
            return;
        }
        if (cb.info)
            cb.info(t.station, info);
        return;
    }
    case TopicKind::Frame: {
        RemoteFrame f;
        if (!parseFrame(p, length, &f) || f.key != t.key || f.station != t.station) {
            rejected.fetch_add(1, std::memory_order_relaxed);
            return;
        }
        uint64_t& last = lastSeq[{t.station, t.key}];
        if (last != 0 && f.seq > last + 1) {
            const uint64_t missing = f.seq - last - 1;
            lost.fetch_add(missing, std::memory_order_relaxed);
            if (cb.lost)
                cb.lost(t.station, t.key, missing);
        }
        // A smaller number: the station started again and counts anew.
        last = f.seq;
        frames.fetch_add(1, std::memory_order_relaxed);
        if (cb.frame)
            cb.frame(f);
        return;
    }
    default:
        rejected.fetch_add(1, std::memory_order_relaxed);
    }
}

namespace {

struct SubState
{
    StreamSubscriber* self;
    bool sessionUp = false;
    int lastConnack = 0;
};

void onMessage(mosquitto*, void* obj, const mosquitto_message* msg)
{
    auto* s = static_cast<SubState*>(obj);
    s->self->handleMessage(msg->topic, msg->payload, msg->payloadlen);
}

void onConnect(mosquitto*, void* obj, int rc)
{
    auto* s = static_cast<SubState*>(obj);
    s->lastConnack = rc;
    s->sessionUp = rc == 0;
}

void onDisconnect(mosquitto*, void* obj, int)
{
    static_cast<SubState*>(obj)->sessionUp = false;
}

} // namespace

void StreamSubscriber::run()
{
    using clock = std::chrono::steady_clock;
    ensureMosquittoLib();
    SubState state{this};
    auto setProblem = [this](const QString& text) {
        std::lock_guard<std::mutex> lock(mutexProblem);
        problem = text;
    };
    const QByteArray id = "strideloom-sub-" + QByteArray::number(getpid()) + "-" +
                          QByteArray::number(quintptr(this) & 0xffff, 16);
    mosquitto* m = mosquitto_new(id.constData(), true, &state);
    if (!m) {
        setProblem(tr("无法创建 MQTT 客户端"));
        link = int(LinkState::Unreachable);
        failedAttempts.fetch_add(1);
        return;
    }
    if (!opts.user.isEmpty())
        mosquitto_username_pw_set(m, opts.user.toUtf8().constData(),
                                  opts.password.isEmpty() ? nullptr : opts.password.toUtf8().constData());
    if (!opts.caFile.isEmpty()) {
        const QByteArray ca = opts.caFile.toLocal8Bit(), cert = opts.certFile.toLocal8Bit(), key = opts.keyFile.toLocal8Bit();
        const int rc = mosquitto_tls_set(m, ca.constData(), nullptr, cert.isEmpty() ? nullptr : cert.constData(),
                                         key.isEmpty() ? nullptr : key.constData(), nullptr);
        // Never fall back to a plain connection.
        if (rc != MOSQ_ERR_SUCCESS) {
            setProblem(tr("TLS 设置失败：%1").arg(mosquitto_strerror(rc)));
            link = int(LinkState::Unreachable);
            failedAttempts.fetch_add(1);
            mosquitto_destroy(m);
            return;
        }
    }
    mosquitto_connect_callback_set(m, onConnect);
    mosquitto_disconnect_callback_set(m, onDisconnect);
    mosquitto_message_callback_set(m, onMessage);
    const QByteArray host = opts.brokerHost.toUtf8();
    // The whole tree, so that unknown topics under it are seen and counted.
    QList<QByteArray> filters;
    if (stations.isEmpty())
        filters << "strideloom/#";
    else
        for (const QString& s : stations)
            filters << "strideloom/" + s.toUtf8() + "/#";

    bool socketUp = false, attempted = false, wasUp = false, everUp = false;
    auto nextAttempt = clock::now();
    auto answerBy = clock::now();
    // A TCP connection that hangs or a server that never sends a CONNACK.
    const auto answerTime = std::chrono::seconds(5);
    std::chrono::milliseconds backoff(100);
    const auto maxBackoff = std::chrono::milliseconds(2000);
    auto retryLater = [&](LinkState why, const QString& text) {
        socketUp = false;
        link = int(why);
        setProblem(text);
        nextAttempt = clock::now() + backoff;
        backoff = std::min(backoff * 2, maxBackoff);
    };
    auto attemptFailed = [&](LinkState why, const QString& text) {
        failedAttempts.fetch_add(1);
        retryLater(why, text);
    };
    auto unreachable = [&] {
        attemptFailed(LinkState::Unreachable,
                      tr("无法连接代理服务器 %1:%2，正在重试").arg(opts.brokerHost).arg(opts.brokerPort));
    };
    while (!stopping.load()) {
        if (!socketUp) {
            if (clock::now() < nextAttempt) {
                std::this_thread::sleep_for(std::chrono::milliseconds(10));
                continue;
            }
            state.lastConnack = 0;
            // Non-blocking; the loop below completes the connection.
            const int rc = attempted ? mosquitto_reconnect_async(m)
                                     : mosquitto_connect_async(m, host.constData(), opts.brokerPort, 10);
            attempted = true;
            if (rc != MOSQ_ERR_SUCCESS) {
                unreachable();
                continue;
            }
            socketUp = true;
            answerBy = clock::now() + answerTime;
        }
        if (state.sessionUp && !wasUp) {
            for (const QByteArray& f : filters)
                mosquitto_subscribe(m, nullptr, f.constData(), opts.qos);
            if (everUp)
                reconnects.fetch_add(1);
            everUp = true;
            backoff = std::chrono::milliseconds(100);
            connected = true;
            link = int(LinkState::Connected);
            setProblem(QString());
            if (cb.connection)
                cb.connection(true);
        }
        wasUp = state.sessionUp;
        if (!state.sessionUp && state.lastConnack == 0 && clock::now() > answerBy) {
            attemptFailed(LinkState::Unreachable,
                          tr("代理服务器 %1:%2 没有应答，正在重试").arg(opts.brokerHost).arg(opts.brokerPort));
            continue;
        }
        const int rc = mosquitto_loop(m, 20, 1);
        if (rc != MOSQ_ERR_SUCCESS) {
            const bool hadSession = wasUp || state.sessionUp;
            state.sessionUp = false;
            wasUp = false;
            connected = false;
            if (hadSession && cb.connection)
                cb.connection(false);
            if (state.lastConnack != 0)
                attemptFailed(LinkState::Refused,
                              tr("代理服务器拒绝连接：%1").arg(mosquitto_connack_string(state.lastConnack)));
            else if (!hadSession)
                unreachable();
            else
                retryLater(LinkState::Connecting, tr("与代理服务器的连接中断，正在重连"));
        }
    }
    if (socketUp && state.sessionUp) {
        mosquitto_disconnect(m);
        mosquitto_loop(m, 5, 1);
    }
    mosquitto_destroy(m);
    connected = false;
}

} // namespace stream
