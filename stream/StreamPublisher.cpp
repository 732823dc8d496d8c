#include "StreamPublisher.h"
#include "MosquittoLib.h"

#include <lo/lo.h>
#include <mosquitto.h>

#include <QByteArray>
#include <algorithm>
#include <chrono>
#include <cstring>
#include <unistd.h>
#include <unordered_map>
#include <unordered_set>
#include <vector>

namespace stream {

StreamPublisher::StreamPublisher(size_t queueCapacity)
    : queue(queueCapacity)
{
}

StreamPublisher::~StreamPublisher()
{
    stop();
}

bool StreamPublisher::start(const StreamOptions& options, QString* error)
{
    // Checked before the running sender is touched: refused options leave
    // it running as it was.
    const QString why = options.validate();
    if (!why.isEmpty()) {
        if (error)
            *error = why;
        return false;
    }
    if (!options.mqtt && !options.osc) {
        if (error)
            *error = tr("没有选择发送方式（MQTT 或 OSC）");
        return false;
    }
    stop();
    opts = options;
    stationName = options.effectiveStation();
    StreamFrame stale;
    while (queue.tryPop(&stale)) {
    }
    for (std::atomic<uint64_t>* c : {&offered, &published, &droppedQueue, &droppedOutage, &droppedInFlight, &processed,
                                     &oscSent, &oscThinned, &oscFailed, &sessions, &reconnects, &failedAttempts})
        c->store(0);
    stopping = false;
    connected = false;
    link = int(LinkState::Connecting);
    {
        std::lock_guard<std::mutex> lock(mutexInfo);
        infoDirty = !infos.empty();
        problem.clear();
    }
    running = true;
    sender = std::thread(&StreamPublisher::run, this);
    return true;
}

void StreamPublisher::stop()
{
    if (!sender.joinable())
        return;
    running = false;  // offers from now on are ignored
    stopping = true;
    sender.join();
    connected = false;
}

void StreamPublisher::offer(uint32_t key, DeviceKind kind, const FrameData& frame)
{
    if (!running.load(std::memory_order_acquire))
        return;
    offered.fetch_add(1, std::memory_order_relaxed);
    StreamFrame f;
    f.key = key;
    f.kind = kind;
    f.seq = sequences.next(key);
    f.monoMs = monotonicMs();
    f.wallMs = wallClockMs();
    f.data = frame;
    if (!queue.tryPush(f))
        droppedQueue.fetch_add(1, std::memory_order_relaxed);
}

void StreamPublisher::announce(const DeviceInfo& info)
{
    std::lock_guard<std::mutex> lock(mutexInfo);
    auto it = infos.find(info.key);
    if (it != infos.end() && it->second.name == info.name && it->second.kind == info.kind &&
        it->second.node == info.node && it->second.suit == info.suit)
        return;
    infos[info.key] = info;
    infoDirty = true;
}

bool StreamPublisher::drain(int timeoutMs)
{
    const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (processed.load() + droppedQueue.load() < offered.load()) {
        if (!running.load() || std::chrono::steady_clock::now() > until)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    return true;
}

StreamPublisher::Counters StreamPublisher::counters() const
{
    Counters c;
    c.offered = offered.load();
    c.published = published.load();
    c.droppedQueue = droppedQueue.load();
    c.droppedOutage = droppedOutage.load();
    c.droppedInFlight = droppedInFlight.load();
    c.oscSent = oscSent.load();
    c.oscThinned = oscThinned.load();
    c.oscFailed = oscFailed.load();
    c.sessions = sessions.load();
    c.reconnects = reconnects.load();
    c.failedAttempts = failedAttempts.load();
    c.connected = connected.load();
    c.link = LinkState(link.load());
    return c;
}

QString StreamPublisher::lastProblem() const
{
    std::lock_guard<std::mutex> lock(mutexInfo);
    return problem;
}

namespace {

// Connection state seen by libmosquitto's callbacks; they run inside
// mosquitto_loop() and mosquitto_publish() on the sender thread, which
// alone uses this.
struct ConnState
{
    std::atomic<bool>* connected = nullptr;
    std::atomic<uint64_t>* published = nullptr;
    bool sessionUp = false;      // CONNACK accepted on the current socket
    bool everConnected = false;
    int lastConnack = 0;
    uint64_t written = 0;        // frames the connection has taken so far
    std::unordered_set<int> controlMids;  // status and info messages not yet confirmed
};

void onConnect(mosquitto*, void* obj, int rc)
{
    auto* s = static_cast<ConnState*>(obj);
    s->lastConnack = rc;
    if (rc == 0) {
        s->sessionUp = true;
        s->connected->store(true);
    }
}
// (A refused connection keeps lastConnack until the next CONNACK.)

void onDisconnect(mosquitto*, void* obj, int)
{
    auto* s = static_cast<ConnState*>(obj);
    s->sessionUp = false;
    s->connected->store(false);
}

// QoS 0: the message is completely in the socket; QoS 1: acknowledged.
void onPublish(mosquitto*, void* obj, int mid)
{
    auto* s = static_cast<ConnState*>(obj);
    if (s->controlMids.erase(mid))
        return;
    ++s->written;
    s->published->fetch_add(1, std::memory_order_relaxed);
}

QString errorText(int rc)
{
    return rc == MOSQ_ERR_ERRNO ? QString::fromLocal8Bit(strerror(errno)) : QString::fromUtf8(mosquitto_strerror(rc));
}

} // namespace

void StreamPublisher::run()
{
    using clock = std::chrono::steady_clock;
    ensureMosquittoLib();
    ConnState state;
    state.connected = &connected;
    state.published = &published;
    mosquitto* m = nullptr;
    const QByteArray host = opts.brokerHost.toUtf8();
    const QByteArray status = statusTopic(stationName);
    auto setProblem = [this](const QString& text) {
        std::lock_guard<std::mutex> lock(mutexInfo);
        problem = text;
    };
    bool tlsFailed = false;
    if (opts.mqtt) {
        const QByteArray id = "strideloom-" + stationName.toUtf8().left(40) + "-" + QByteArray::number(getpid()) + "-" +
                              QByteArray::number(quintptr(this) & 0xffff, 16);
        m = mosquitto_new(id.constData(), true, &state);
        if (m) {
            mosquitto_int_option(m, MOSQ_OPT_TCP_NODELAY, 1);
            mosquitto_will_set(m, status.constData(), 7, "offline", 1, true);
            if (!opts.user.isEmpty())
                mosquitto_username_pw_set(m, opts.user.toUtf8().constData(),
                                          opts.password.isEmpty() ? nullptr : opts.password.toUtf8().constData());
            if (!opts.caFile.isEmpty()) {
                const QByteArray ca = opts.caFile.toLocal8Bit(), cert = opts.certFile.toLocal8Bit(),
                                 key = opts.keyFile.toLocal8Bit();
                const int rc = mosquitto_tls_set(m, ca.constData(), nullptr, cert.isEmpty() ? nullptr : cert.constData(),
                                                 key.isEmpty() ? nullptr : key.constData(), nullptr);
                if (rc != MOSQ_ERR_SUCCESS) {
                    // Never fall back to a plain connection: the credentials
                    // would travel in the clear.
                    setProblem(tr("TLS 设置失败：%1").arg(mosquitto_strerror(rc)));
                    mosquitto_destroy(m);
                    m = nullptr;
                    tlsFailed = true;
                }
            }
        }
        if (m) {
            mosquitto_connect_callback_set(m, onConnect);
            mosquitto_disconnect_callback_set(m, onDisconnect);
            mosquitto_publish_callback_set(m, onPublish);
        } else if (!tlsFailed) {
            setProblem(tr("无法创建 MQTT 客户端"));
        }
        if (!m) {
            link = int(LinkState::Unreachable);
            failedAttempts.fetch_add(1);
        }
    }
    lo_address osc = nullptr;
    if (opts.osc)
        osc = lo_address_new(opts.oscHost.toUtf8().constData(), QByteArray::number(opts.oscPort).constData());
    std::unordered_map<uint32_t, double> oscNext;
    const double oscPeriod = opts.maxRate > 0 ? 1000.0 / opts.maxRate : 0.0;
    QByteArray oscPaths[5];

    bool socketUp = false;  // a socket exists: connecting or connected
    bool attempted = false;
    auto nextAttempt = clock::now();
    auto answerBy = clock::now();
    std::chrono::milliseconds backoff(250);
    const auto maxBackoff = std::chrono::milliseconds(2000);
    // A TCP connection that hangs or a server that never sends a CONNACK.
    const auto answerTime = std::chrono::seconds(5);
    bool sessionWasUp = false;
    uint64_t handed = 0;  // frames mosquitto_publish() took
    char payload[kMaxPayloadBytes];

    auto retryLater = [&] {
        nextAttempt = clock::now() + backoff;
        backoff = std::min(backoff * 2, maxBackoff);
    };
    auto attemptFailed = [&](const QString& why) {
        failedAttempts.fetch_add(1);
        link = int(LinkState::Unreachable);
        setProblem(why);
        retryLater();
    };
    auto unreachable = [&](int rc) {
        attemptFailed(tr("无法连接代理服务器 %1:%2（%3），正在重试")
                          .arg(opts.brokerHost)
                          .arg(opts.brokerPort)
                          .arg(errorText(rc)));
    };
    // What the connection took but did not write goes with it.
    auto countInFlight = [&] {
        droppedInFlight.fetch_add(handed - state.written);
        handed = state.written;
    };
    auto connectionLost = [&](int rc) {
        const bool hadSession = sessionWasUp || state.sessionUp;
        socketUp = false;
        state.sessionUp = false;
        connected = false;
        // QoS 0 frames not yet written are freed at the reconnect; QoS 1
        // ones are sent again by libmosquitto then.
        if (opts.qos == 0)
            countInFlight();
        if (state.lastConnack != 0) {
            failedAttempts.fetch_add(1);
            link = int(LinkState::Refused);
            setProblem(tr("代理服务器拒绝连接：%1（检查用户名、密码和证书），正在重试")
                           .arg(mosquitto_connack_string(state.lastConnack)));
            retryLater();
        } else if (!hadSession) {
            unreachable(rc);
        } else {
            link = int(LinkState::Connecting);
            setProblem(tr("与代理服务器的连接中断（%1），正在重连").arg(errorText(rc)));
            retryLater();
        }
    };
    auto publishControl = [&](const QByteArray& topic, const QByteArray& text) {
        int mid = 0;
        if (mosquitto_publish(m, &mid, topic.constData(), text.size(), text.constData(), 1, true) == MOSQ_ERR_SUCCESS)
            state.controlMids.insert(mid);
    };

    auto publishInfos = [&] {
        std::map<uint32_t, DeviceInfo> copy;
        {
            std::lock_guard<std::mutex> lock(mutexInfo);
            copy = infos;
            infoDirty = false;
        }
        for (const auto& [key, info] : copy)
            publishControl(infoTopic(stationName, key), encodeInfo(info, stationName));
    };

    while (!stopping.load()) {
        if (m && !socketUp && clock::now() >= nextAttempt) {
            state.lastConnack = 0;
            // Non-blocking: the socket connects while the loop below runs,
            // so stopping never waits for the network. (libmosquitto's own
            // loop thread would reconnect with a blocking connect.)
            const int rc = attempted ? mosquitto_reconnect_async(m)
                                     : mosquitto_connect_async(m, host.constData(), opts.brokerPort, 10);
            attempted = true;
            if (rc == MOSQ_ERR_SUCCESS) {
                socketUp = true;
                answerBy = clock::now() + answerTime;
            } else {
                unreachable(rc);
            }
        }
        if (socketUp && !state.sessionUp && state.lastConnack == 0 && clock::now() > answerBy) {
            // The next attempt closes this socket.
            socketUp = false;
            attemptFailed(tr("代理服务器 %1:%2 没有应答，正在重试").arg(opts.brokerHost).arg(opts.brokerPort));
        }
        if (state.sessionUp && !sessionWasUp) {
            // A new session: the broker may have lost the retained topics.
            if (state.everConnected)
                reconnects.fetch_add(1);
            sessions.fetch_add(1);
            state.everConnected = true;
            backoff = std::chrono::milliseconds(250);
            link = int(LinkState::Connected);
            publishControl(status, "online");
            publishInfos();
            setProblem(QString());
        }
        sessionWasUp = state.sessionUp;
        if (state.sessionUp) {
            bool dirty;
            {
                std::lock_guard<std::mutex> lock(mutexInfo);
                dirty = infoDirty;
            }
            if (dirty)
                publishInfos();
        }

        int popped = 0;
        StreamFrame f;
        while (popped < 256 && queue.tryPop(&f)) {
            ++popped;
            processed.fetch_add(1, std::memory_order_relaxed);
            if (osc) {
                bool send = true;
                if (oscPeriod > 0) {
                    double& next = oscNext[f.key];
                    if (f.monoMs + 0.5 < next)
                        send = false;
                    else
                        next = (f.monoMs >= next + oscPeriod) ? f.monoMs + oscPeriod : next + oscPeriod;
                }
                if (!send) {
                    oscThinned.fetch_add(1, std::memory_order_relaxed);
                } else {
                    const QByteArray base = "/strideloom/" + QByteArray::number(f.key) + "/";
                    oscPaths[0] = base + "accel";
                    oscPaths[1] = base + "gyro";
                    oscPaths[2] = base + "mag";
                    oscPaths[3] = base + "quat";
                    oscPaths[4] = base + "euler";
                    const float* values[5] = {f.data.accel, f.data.gyro, f.data.mag, f.data.quat, f.data.euler};
                    const int counts[5] = {3, 3, 3, 4, 3};
                    lo_bundle b = lo_bundle_new(LO_TT_IMMEDIATE);
                    for (int i = 0; i < 5; ++i) {
                        lo_message msg = lo_message_new();
                        for (int j = 0; j < counts[i]; ++j)
                            lo_message_add_float(msg, values[i][j]);
                        lo_bundle_add_message(b, oscPaths[i].constData(), msg);
                    }
                    if (lo_send_bundle(osc, b) < 0)
                        oscFailed.fetch_add(1, std::memory_order_relaxed);
                    else
                        oscSent.fetch_add(1, std::memory_order_relaxed);
                    lo_bundle_free_recursive(b);
                }
            }
            if (m) {
                if (!state.sessionUp) {
                    droppedOutage.fetch_add(1, std::memory_order_relaxed);
                    continue;
                }
                const int n = encodeFrame(f, stationName, payload, sizeof payload);
                const QByteArray topic = frameTopic(stationName, f.key);
                const int rc = mosquitto_publish(m, nullptr, topic.constData(), n, payload, opts.qos, false);
                if (rc == MOSQ_ERR_SUCCESS) {
                    ++handed;
                } else {
                    droppedOutage.fetch_add(1, std::memory_order_relaxed);
                    // Refusals of this one message leave the connection as it is.
                    if (rc != MOSQ_ERR_PAYLOAD_SIZE && rc != MOSQ_ERR_OVERSIZE_PACKET && rc != MOSQ_ERR_INVAL &&
                        rc != MOSQ_ERR_NOMEM) {
                        connectionLost(rc);
                        break;
                    }
                }
            }
        }
        if (m && socketUp) {
            const int rc = mosquitto_loop(m, popped ? 0 : 2, 1);
            if (rc != MOSQ_ERR_SUCCESS)
                connectionLost(rc);
        } else if (!popped) {
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
    }

    // Frames still queued are not sent; they count as dropped at the stop.
    StreamFrame rest;
    while (queue.tryPop(&rest))
        droppedOutage.fetch_add(1, std::memory_order_relaxed);
    if (m) {
        if (state.sessionUp) {
            publishControl(status, "offline");
            // Let the broker take it (and the frames before it) before leaving.
            const auto until = clock::now() + std::chrono::milliseconds(500);
            while (clock::now() < until && mosquitto_want_write(m))
                if (mosquitto_loop(m, 10, 1) != MOSQ_ERR_SUCCESS)
                    break;
            for (int i = 0; i < 5; ++i)
                mosquitto_loop(m, 5, 1);
            mosquitto_disconnect(m);
            mosquitto_loop(m, 5, 1);
        }
        // Whatever the connection still holds is not sent now.
        countInFlight();
        mosquitto_destroy(m);
    }
    if (osc)
        lo_address_free(osc);
    connected = false;
}

} // namespace stream
