#include "StationPublisher.h"
#include "CliChoices.h"

#include "ConfigFile.h"
#include "HeadlessRecorder.h"
#include "ModelConnectionFile.h"
#include "Recorder.h"
#include "SLDevice.h"
#include "SignalStop.h"
#include "StationTap.h"
#include "StreamPublisher.h"
#include "StreamSubscriber.h"
#include "kvusb.h"

#include <QDateTime>
#include <QDir>
#include <QEventLoop>
#include <QFileInfo>
#include <QTimer>
#include <algorithm>
#include <memory>
#include <mutex>
#include <vector>

namespace {

int fail(const QString& message)
{
    std::fprintf(stderr, "strideloom-cli: %s\n", qPrintable(message));
    return 1;
}

void runUntilStopped(double seconds)
{
    QEventLoop loop;
    SignalStop stop;
    QObject::connect(&stop, &SignalStop::stopRequested, &loop, &QEventLoop::quit);
    if (seconds > 0)
        QTimer::singleShot(int(seconds * 1000), &loop, &QEventLoop::quit);
    loop.exec();
}

// Broker, credentials and TLS from the command line.
bool brokerOptions(const QCommandLineParser& cli, stream::StreamOptions* o, QString* error)
{
    if (!stream::parseHostPort(cli.value("broker"), 1883, &o->brokerHost, &o->brokerPort)) {
        *error = "--broker wants HOST or HOST:PORT, not \"" + cli.value("broker") + "\"";
        return false;
    }
    o->user = cli.value("user");
    o->password = cli.value("password");
    o->caFile = cli.value("cafile");
    o->certFile = cli.value("cert");
    o->keyFile = cli.value("key");
    o->station = cli.value("station");
    return true;
}

// The publishing station's frames go to one object that offers them to the
// publisher and, with --dir, records them: both see exactly the same frames.
class StationSink : public QObject
{
    Q_OBJECT
public:
    StationSink(stream::StationTap& t, HeadlessRecorder* r) : tap(t), recorder(r) {}
public slots:
    void onSerialFrame(QString key, FrameData* frame)
    {
        tap.onSerialFrame(key, frame);
        if (recorder)
            recorder->onSerialFrame(key, frame);
    }
    void onUsbFrame(const SensorFrame& frame)
    {
        tap.onUsbFrame(frame);
        if (recorder)
            recorder->onUsbFrame(frame);
    }

private:
    stream::StationTap& tap;
    HeadlessRecorder* recorder;
};

} // namespace

void addStreamOptions(QCommandLineParser& cli)
{
    cli.addOption({"broker", "publish, record: MQTT broker HOST[:PORT] (default port 1883).", "host"});
    cli.addOption({"station", "publish: this station's name (default: the host name); record: only this station.",
                   "name"});
    cli.addOption({"osc", "publish: also send OSC bundles to HOST:PORT over UDP.", "host:port"});
    cli.addOption({"qos", "publish: MQTT QoS of the frames, 0 or 1.", "qos", "0"});
    cli.addOption({"max-rate", "publish: OSC frames per second per device at most (0: the device's rate).", "hz", "0"});
    cli.addOption({"user", "publish, record: broker user name.", "name"});
    cli.addOption({"password", "publish, record: broker password.", "text"});
    cli.addOption({"cafile", "publish, record: CA certificate file; turns TLS on.", "file"});
    cli.addOption({"cert", "publish, record: client certificate file (with --key).", "file"});
    cli.addOption({"key", "publish, record: client private key file.", "file"});
}

int runPublish(SLDevice* dev, FILE* out, const QCommandLineParser& cli)
{
    stream::StreamOptions o;
    QString error;
    o.mqtt = cli.isSet("broker") || !cli.isSet("osc");
    if (o.mqtt) {
        if (!cli.isSet("broker"))
            o.brokerHost = QStringLiteral("localhost");
        else if (!brokerOptions(cli, &o, &error))
            return fail(error);
    }
    o.station = cli.value("station");
    if (cli.isSet("osc")) {
        o.osc = true;
        if (!stream::parseHostPort(cli.value("osc"), -1, &o.oscHost, &o.oscPort))
            return fail("--osc wants HOST:PORT, not \"" + cli.value("osc") + "\"");
    }
    bool ok = false;
    o.qos = cli.value("qos").toInt(&ok);
    if (!ok)
        o.qos = -1;
    o.maxRate = cli.value("max-rate").toInt(&ok);
    if (!ok)
        o.maxRate = -1;
    error = o.validate();
    if (!error.isEmpty())
        return fail(error);

    QStringList serialKeys;
    if (dev) {
        serialKeys = cli::chosenSerialKeys(*dev, cli.value("serial"));
        if (serialKeys.isEmpty())
            return fail("none of the serial devices asked for was found");
    }
    bool allUsb = false;
    QSet<uint32_t> suits, nodes;
    cli::parseUsbSelection(cli.value("usb"), &allUsb, &suits, &nodes);

    // With --dir the station also records what it publishes, locally.
    std::unique_ptr<Recorder> recorder;
    std::unique_ptr<HeadlessRecorder> localSink;
    const QString dir = cli.value("dir");
    if (!dir.isEmpty()) {
        if (!QDir().mkpath(dir))
            return fail("cannot create the directory " + dir);
        ConfigFile::Options options;
        ExportSettings settings;
        if (!cli::loadRecordingOptions(cli, &options, &settings, &error))
            return fail(error);
        recorder = std::make_unique<Recorder>();
        const QStringList failed = recorder->start(dir, serialKeys, settings, QDateTime::currentDateTime());
        if (!failed.isEmpty())
            return fail("cannot write into " + dir);
        localSink = std::make_unique<HeadlessRecorder>(*recorder, dir, allUsb, suits, nodes);
    }

    std::map<int, QString> names;
    ModelConnectionFile::read(QStringLiteral("Resources/stdBipedModel.mcc"), &names);
    stream::StreamPublisher publisher;
    if (!publisher.start(o, &error))
        return fail(error);
    stream::StationTap tap(publisher, [names](int type) {
        const auto it = names.find(type);
        return it == names.end() ? QString() : it->second;
    });
    StationSink sink(tap, localSink.get());
    // USB nodes: filtered by the tap itself.
    tap.attachUsb(nullptr, allUsb, suits, nodes);  // selection only; frames come through sink
    QMetaObject::Connection serialConnection;
    if (dev) {
        serialConnection = QObject::connect(dev->getDevObj(), SIGNAL(sigNewReadFrameData(QString, FrameData*)), &sink,
                                            SLOT(onSerialFrame(QString, FrameData*)), Qt::DirectConnection);
        for (const QString& key : serialKeys)
            dev->SerialPortCmd_REQRTTRANS(key, cli.value("rate").toInt());
    }
    std::unique_ptr<kvusb> usb;
    if (allUsb || !suits.isEmpty() || !nodes.isEmpty()) {
        usb = std::make_unique<kvusb>();
        kvusb* u = usb.get();
        QObject::connect(
            u, &kvusb::newSuitCreated, &sink,
            [u, &sink](MotionCaptureSuit_Property, uint32_t number) {
                if (MotionCaptureSuit* suit = u->getMotionCaptureSuit(number))
                    QObject::connect(suit, SIGNAL(newDatafromSuit(SensorFrame)), &sink, SLOT(onUsbFrame(SensorFrame)),
                                     Qt::DirectConnection);
            },
            Qt::DirectConnection);
        usb->initUSB();
    }
    std::fprintf(stderr, "publishing as station %s; stop with Ctrl-C\n", qPrintable(publisher.station()));
    // Connection problems on standard error as they change.
    QTimer problems;
    QString lastProblem;
    QObject::connect(&problems, &QTimer::timeout, [&] {
        const QString p = publisher.lastProblem();
        if (p != lastProblem && !p.isEmpty())
            std::fprintf(stderr, "%s\n", qPrintable(p));
        lastProblem = p;
    });
    problems.start(500);
    runUntilStopped(cli.value("seconds").toDouble());
    problems.stop();

    // Stop the sources first so that publisher and local file end together.
    QObject::disconnect(serialConnection);
    usb.reset();
    if (dev)
        for (const QString& key : serialKeys)
            dev->SerialPortCmd_STOPRTTRANS(key);
    publisher.drain(2000);
    // The figures after the sender has flushed and stopped: final.
    publisher.stop();
    const stream::StreamPublisher::Counters c = publisher.counters();
    if (recorder)
        recorder->stop();

    const QHash<QString, long> counts = tap.counts();
    QStringList keys = counts.keys();
    keys.sort();
    // What the sources handed over per device; what reached the broker is
    // the mqtt line's "published".
    for (const QString& key : keys)
        std::fprintf(out, "offered %s %ld\n", qPrintable(key), counts.value(key));
    if (o.mqtt)
        std::fprintf(out,
                     "mqtt offered %llu published %llu dropped %llu queue_full %llu no_connection %llu in_flight %llu "
                     "reconnects %llu failed_attempts %llu\n",
                     (unsigned long long)c.offered, (unsigned long long)c.published, (unsigned long long)c.dropped(),
                     (unsigned long long)c.droppedQueue, (unsigned long long)c.droppedOutage,
                     (unsigned long long)c.droppedInFlight, (unsigned long long)c.reconnects,
                     (unsigned long long)c.failedAttempts);
    if (o.osc)
        std::fprintf(out, "osc sent %llu thinned %llu failed %llu\n", (unsigned long long)c.oscSent,
                     (unsigned long long)c.oscThinned, (unsigned long long)c.oscFailed);
    bool localFailed = false;
    if (localSink)
        localFailed = !cli::reportRecordings(out, *recorder, dir, localSink->counts(), localSink->failedWrites(),
                                             localSink->failedKeys());
    if (keys.isEmpty())
        return fail("no device delivered a frame to publish");
    if (o.mqtt && c.sessions == 0)
        return fail(QStringLiteral("the broker %1:%2 was never reached, nothing was published: %3")
                        .arg(o.brokerHost)
                        .arg(o.brokerPort)
                        .arg(publisher.lastProblem()));
    if (o.mqtt && c.published == 0)
        return fail("no frame reached the broker");
    if (o.osc && !o.mqtt && c.oscSent == 0)
        return fail("no OSC bundle could be sent");
    return localFailed ? 1 : 0;
}

int runRemoteRecord(FILE* out, const QCommandLineParser& cli)
{
    stream::StreamOptions o;
    QString error;
    if (!brokerOptions(cli, &o, &error))
        return fail(error);
    o.remote = true;
    o.remoteStations = cli.value("station");
    o.station.clear();
    error = o.validate();
    if (!error.isEmpty())
        return fail(error);
    ConfigFile::Options options;
    ExportSettings settings;
    QString dir;
    if (!cli::loadRecordingOptions(cli, &options, &settings, &error) || !cli::recordingDirectory(cli, options, &dir, &error))
        return fail(error);

    Recorder recorder;
    recorder.start(dir, {}, settings, QDateTime::currentDateTime());
    std::mutex mutex;
    QHash<QString, long> lines;
    QSet<QString> failed;
    QHash<QString, QString> writeFailed;
    // End-to-end latency (same host: one monotonic clock) in 0.01 ms bins
    // up to 10 s; later ones in the last bin.
    std::vector<uint32_t> latencyBins(1000001, 0);
    uint64_t latencyCount = 0;
    double latencyMax = 0;
    stream::StreamSubscriber sub;
    stream::StreamSubscriber::Callbacks cb;
    // On the subscriber's network thread.
    cb.frame = [&](const stream::RemoteFrame& f) {
        const double now = stream::monotonicMs();
        // Two stations may have devices of the same key: one file each.
        const QString key = f.station + QLatin1Char('/') + QString::number(f.key);
        std::lock_guard<std::mutex> lock(mutex);
        const double ms = now - f.monoMs;
        latencyBins[size_t(std::clamp(ms, 0.0, 10000.0) * 100.0)]++;
        ++latencyCount;
        latencyMax = std::max(latencyMax, ms);
        if (failed.contains(key))
            return;
        if (!recorder.isRecording(key) && !recorder.add(dir, {key}).isEmpty()) {
            failed.insert(key);
            return;
        }
        if (recorder.writeFrame(key, f.data)) {
            ++lines[key];
        } else {
            // The recorder has closed the file: no new one for the key.
            failed.insert(key);
            writeFailed.insert(key, recorder.fileNameFor(dir, key));
        }
    };
    cb.status = [](const QString& station, bool online) {
        std::fprintf(stderr, "station %s %s\n", qPrintable(station), online ? "online" : "offline");
    };
    if (!sub.start(o, QString(), cb, &error))
        return fail(error);
    std::fprintf(stderr, "recording remote devices into %s; stop with Ctrl-C\n", qPrintable(dir));
    runUntilStopped(cli.value("seconds").toDouble());
    sub.stop();
    recorder.stop();
    const stream::StreamSubscriber::Counters c = sub.counters();
    QStringList openFailed;
    for (const QString& key : failed)
        if (!writeFailed.contains(key))
            openFailed << key;
    const bool whole = cli::reportRecordings(out, recorder, dir, lines, writeFailed, openFailed);
    std::fprintf(out, "remote frames %llu lost %llu rejected %llu reconnects %llu\n", (unsigned long long)c.frames,
                 (unsigned long long)c.lost, (unsigned long long)c.rejected, (unsigned long long)c.reconnects);
    if (latencyCount) {
        auto pct = [&](double p) {
            const uint64_t want = uint64_t(p * double(latencyCount));
            uint64_t seen = 0;
            for (size_t i = 0; i < latencyBins.size(); ++i)
                if ((seen += latencyBins[i]) > want)
                    return double(i) / 100.0;
            return 10000.0;
        };
        std::fprintf(out, "latency_ms p50 %.2f p99 %.2f max %.3f n %llu\n", pct(0.50), pct(0.99), latencyMax,
                     (unsigned long long)latencyCount);
    }
    if (lines.isEmpty())
        return fail(QStringLiteral("nothing was recorded%1").arg(sub.lastProblem().isEmpty() ? QString()
                                                                  : QStringLiteral(": ") + sub.lastProblem()));
    return whole ? 0 : 1;
}

#include "StationPublisher.moc"
