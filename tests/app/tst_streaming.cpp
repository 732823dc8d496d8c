#include "AppTestSupport.h"
#include "DeviceConfToShow.h"
#include "DockDeviceList.h"
#include "DlgPreferences.h"
#include "StreamSettingsPage.h"
#include "FrameQueue.h"
#include "SimulatedSensor.h"
#include "Strideloom.h"
#include "StreamPayload.h"
#include "StreamSubscriber.h"
#include "StreamingHost.h"
#include "MainView.h"
#include "Tab3DWidget_mag.h"

#include <mosquitto.h>

#include <QAction>
#include <QLabel>
#include <QStatusBar>
#include <QProcess>
#include <cstring>
#include "StreamPublisher.h"
#include <QCheckBox>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTableWidget>
#include <QTcpServer>
#include <QTcpSocket>
#include <QUdpSocket>
#include <QtTest>
#include <arpa/inet.h>
#include <csignal>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>
#include <map>
#include <memory>
#include <mutex>

namespace {

// Answers the next modal information box and returns its text through `text`.
void answerNextBox(QString* text)
{
    QTimer::singleShot(50, [text] {
        if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
            *text = box->text();
            box->accept();
        } else {
            answerNextBox(text);
        }
    });
}

int freeLoopbackPort()
{
    QTcpServer s;
    s.listen(QHostAddress::LocalHost, 0);
    return s.serverPort();
}

// Debian's mosquitto on a free loopback port with a config file of its own.
class Broker
{
public:
    explicit Broker(const QString& dir) : dir(dir), port(freeLoopbackPort()) {}
    ~Broker() { stop(); }
    bool start()
    {
        QFile conf(dir + "/mosquitto.conf");
        if (!conf.open(QIODevice::WriteOnly))
            return false;
        conf.write(QStringLiteral("listener %1 127.0.0.1\nallow_anonymous true\npersistence false\n"
                                  "message_size_limit 2000000\n").arg(port).toUtf8());
        conf.close();
        proc = std::make_unique<QProcess>();
        proc->setProcessChannelMode(QProcess::ForwardedErrorChannel);
        proc->start("/usr/sbin/mosquitto", {"-c", dir + "/mosquitto.conf"});
        if (!proc->waitForStarted(5000))
            return false;
        for (int i = 0; i < 100; ++i) {
            QTcpSocket s;
            s.connectToHost(QHostAddress::LocalHost, quint16(port));
            if (s.waitForConnected(100))
                return true;
            QThread::msleep(50);
        }
        return false;
    }
    void kill()
    {
        if (proc) {
            ::kill(pid_t(proc->processId()), SIGKILL);
            proc->waitForFinished(3000);
            proc.reset();
        }
    }
    void stop()
    {
        if (proc) {
            proc->terminate();
            if (!proc->waitForFinished(3000))
                proc->kill();
            proc.reset();
        }
    }
    QString address() const { return QStringLiteral("127.0.0.1:%1").arg(port); }
    const QString dir;
    const int port;
    std::unique_ptr<QProcess> proc;
};

// The test's own libmosquitto subscriber: every frame by key, in arrival order.
class TestSubscriber
{
public:
    explicit TestSubscriber(int port)
    {
        mosquitto_lib_init();
        m = mosquitto_new(nullptr, true, this);
        mosquitto_connect_callback_set(m, [](mosquitto* m, void*, int rc) {
            if (rc == 0)
                mosquitto_subscribe(m, nullptr, "strideloom/#", 0);
        });
        mosquitto_message_callback_set(m, [](mosquitto*, void* self, const mosquitto_message* msg) {
            static_cast<TestSubscriber*>(self)->onMessage(msg);
        });
        mosquitto_reconnect_delay_set(m, 1, 1, false);
        mosquitto_connect(m, "127.0.0.1", port, 5);
        mosquitto_loop_start(m);
    }
    ~TestSubscriber()
    {
        mosquitto_disconnect(m);
        mosquitto_loop_stop(m, true);
        mosquitto_destroy(m);
    }
    void onMessage(const mosquitto_message* msg)
    {
        std::lock_guard<std::mutex> lock(mutex);
        const QByteArray topic(msg->topic);
        if (topic.endsWith("/frame")) {
            stream::RemoteFrame f;
            if (stream::parseFrame(static_cast<const char*>(msg->payload), msg->payloadlen, &f))
                frames[f.key].push_back(f);
        } else if (topic.endsWith("/status")) {
            statuses << QByteArray(static_cast<const char*>(msg->payload), msg->payloadlen);
        } else if (topic.endsWith("/info")) {
            infos << QByteArray(static_cast<const char*>(msg->payload), msg->payloadlen);
        }
    }
    void publish(const QByteArray& topic, const QByteArray& payload)
    {
        mosquitto_publish(m, nullptr, topic.constData(), payload.size(), payload.constData(), 0, false);
    }
    std::map<uint32_t, std::vector<stream::RemoteFrame>> snapshot()
    {
        std::lock_guard<std::mutex> lock(mutex);
        return frames;
    }
    QList<QByteArray> statusList()
    {
        std::lock_guard<std::mutex> lock(mutex);
        return statuses;
    }
    mosquitto* m;
    std::mutex mutex;
    std::map<uint32_t, std::vector<stream::RemoteFrame>> frames;
    QList<QByteArray> statuses, infos;
};

// Data lines of a recording (without the header).
QStringList dataLines(const QString& path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly | QIODevice::Text))
        return {};
    QStringList lines = QString::fromLocal8Bit(f.readAll()).split('\n', Qt::SkipEmptyParts);
    if (!lines.isEmpty())
        lines.removeFirst();
    return lines;
}

QString header(const QString& path)
{
    QFile f(path);
    f.open(QIODevice::ReadOnly | QIODevice::Text);
    return QString::fromLocal8Bit(f.readLine()).trimmed();
}

// "%g" as the recorder writes a float.
QString g(float v)
{
    QString s;
    QTextStream(&s) << v;
    return s;
}

// accel, gyro, mag, quat, euler as the recorder writes them with "," and
// only those groups on.
QString lineOf(const FrameData& d)
{
    QString s;
    for (int i = 0; i < 3; ++i) s += g(d.accel[i]) + ',';
    for (int i = 0; i < 3; ++i) s += g(d.gyro[i]) + ',';
    for (int i = 0; i < 3; ++i) s += g(d.mag[i]) + ',';
    for (int i = 0; i < 4; ++i) s += g(d.quat[i]) + ',';
    for (int i = 0; i < 3; ++i) s += g(d.euler[i]) + ',';
    return s;
}

// "recorded KEY N PATH" lines of the CLI.
QMap<QString, QString> recordedFiles(const QByteArray& out)
{
    QMap<QString, QString> files;
    for (const QByteArray& line : out.split('\n')) {
        const QList<QByteArray> f = line.split(' ');
        if (f.size() == 4 && f[0] == "recorded")
            files[QString::fromLatin1(f[1])] = QString::fromLocal8Bit(f[3]);
    }
    return files;
}

long field(const QByteArray& out, const QByteArray& after)
{
    const int i = out.indexOf(after);
    if (i < 0)
        return -1;
    return out.mid(i + after.size()).split(' ').value(0).split('\n').value(0).toLong();
}

} // namespace

class TestStreaming : public QObject
{
    Q_OBJECT
private:
    std::unique_ptr<AppWorkDir> work;
    std::unique_ptr<SimulatedSensor> sensor;

    QProcessEnvironment cliEnv(const QString& scenario)
    {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        if (!scenario.isEmpty()) {
            env.insert("LD_PRELOAD", STRIDELOOM_USBSIM);
            env.insert("USBSIM_SCENARIO", scenario);
        }
        env.insert("ASAN_OPTIONS", "verify_asan_link_order=0:detect_leaks=0");
        return env;
    }
    std::unique_ptr<QProcess> startCli(const QStringList& args, const QString& scenario = QString())
    {
        auto p = std::make_unique<QProcess>();
        p->setProcessEnvironment(cliEnv(scenario));
        p->setWorkingDirectory(work->path());
        p->start(STRIDELOOM_CLI, args);
        p->waitForStarted(5000);
        return p;
    }
    QByteArray finish(QProcess& p, int* rc, int timeoutMs = 60000)
    {
        // A run that has to be killed failed, whatever QProcess last knew of it.
        const bool finished = p.state() == QProcess::NotRunning || p.waitForFinished(timeoutMs);
        if (!finished) {
            p.kill();
            p.waitForFinished(5000);
        }
        const bool ran = finished && p.error() != QProcess::FailedToStart;
        *rc = ran && p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
        const QByteArray err = p.readAllStandardError();
        if (*rc != 0)
            qWarning("%s%s", finished ? "" : "killed: ", err.constData());
        return p.readAllStandardOutput();
    }

private slots:
    void initTestCase()
    {
        work = std::make_unique<AppWorkDir>();
        QVERIFY(work->isValid());
        // Only the value groups, so that lines compare whatever the time.
        for (const char* o : {"datetime", "packcount", "position", "temperature", "barometer"})
            work->setOption(o, "0");
        for (const char* o : {"accel", "gyro", "mag", "quat", "euler"})
            work->setOption(o, "1");
        work->setOption("separate", ",");
        work->setOption("placeholder", "0");
        SimulatedSensor::Config c;
        c.serial = 4242;
        c.baudRate = 460800;
        c.streamAtStart = false;
        sensor = std::make_unique<SimulatedSensor>(c);
        QVERIFY(sensor->start());
    }

    void payloadRoundTripsExactly()
    {
        stream::StreamFrame f;
        f.key = 4294967295u;
        f.kind = stream::DeviceKind::Usb;
        f.seq = 123456789;
        f.monoMs = 1234.5;
        f.wallMs = 1718000000123;
        f.data.accel[0] = 0.1f;
        f.data.gyro[1] = -1999.99f;
        f.data.mag[2] = 1e-7f;
        f.data.quat[0] = 0.70710677f;
        f.data.euler[2] = NAN;
        f.data.position[1] = 3.25f;
        f.data.nodeStatus[3] = 87;
        const QByteArray p = stream::encodeFrame(f, "lab-1");
        stream::RemoteFrame r;
        QString why;
        QVERIFY2(stream::parseFrame(p.constData(), p.size(), &r, &why), qPrintable(why + p));
        QCOMPARE(r.key, f.key);
        QCOMPARE(r.seq, f.seq);
        QCOMPARE(r.station, QString("lab-1"));
        QCOMPARE(r.wallMs, f.wallMs);
        QCOMPARE(r.data.accel[0], 0.1f);
        QCOMPARE(r.data.gyro[1], -1999.99f);
        QCOMPARE(r.data.mag[2], 1e-7f);
        QCOMPARE(r.data.quat[0], 0.70710677f);
        QVERIFY(std::isnan(r.data.euler[2]));
        QCOMPARE(r.data.position[1], 3.25f);
        QCOMPARE(int(r.data.nodeStatus[3]), 87);
        const stream::TopicParts t = stream::parseTopic(stream::frameTopic("lab-1", f.key).constData());
        QCOMPARE(int(t.kind), int(stream::TopicKind::Frame));
        QCOMPARE(t.key, f.key);
    }

    void badInputIsDroppedAndCounted()
    {
        stream::StreamSubscriber sub;
        int delivered = 0;
        stream::StreamSubscriber::Callbacks cb;
        cb.frame = [&](const stream::RemoteFrame&) { ++delivered; };
        sub.setCallbacks("me", cb);  // no connection: the messages are handed in
        stream::StreamFrame f;
        f.key = 7;
        f.seq = 1;
        const QByteArray good = stream::encodeFrame(f, "st");
        const QByteArray huge(3 * 1024 * 1024, '[');
        const QList<QPair<QByteArray, QByteArray>> bad = {
            {"strideloom/st/7/frame", "{not json"},
            {"strideloom/st/7/frame", "[1,2,3]"},
            {"strideloom/st/7/frame", QByteArray(good).replace("\"seq\":1", "\"seq\":\"1\"")},
            {"strideloom/st/7/frame", QByteArray(good).replace("\"accel\":[0,0,0]", "\"accel\":[0,0]")},
            {"strideloom/st/7/frame", QByteArray(good).replace("\"key\":\"7\"", "\"key\":\"99999999999\"")},
            {"strideloom/st/8/frame", good},  // names another device than its topic
            {"strideloom/st/7/frame", huge},
            {"strideloom/st/7/frames", good},
            {"strideloom/st/7/x/frame", good},
            {"strideloom/st/status", "maybe"},
            // Repeated keys (Qt's parser would keep memory of them; found by fuzz_streampayload).
            {"strideloom/st/7/frame", QByteArray(good).replace("\"seq\":1", "\"seq\":1,\"seq\":1")},
            {"strideloom/st/7/frame", QByteArray(good).replace("\"seq\":1", "\"seq\":1,\"x\":{\"a\":1}")},
        };
        for (const auto& b : bad)
            sub.handleMessage(b.first.constData(), b.second.constData(), b.second.size());
        QCOMPARE(delivered, 0);
        QCOMPARE(sub.counters().rejected, uint64_t(bad.size()));
        sub.handleMessage("strideloom/st/7/frame", good.constData(), good.size());
        QCOMPARE(delivered, 1);
        // Our own station is never shown (no loops).
        sub.handleMessage("strideloom/me/7/frame", good.constData(), good.size());
        QCOMPARE(delivered, 1);
    }

    void aFullQueueDropsInsteadOfBlocking()
    {
        stream::FrameQueue<int> q(4);
        int pushed = 0;
        for (int i = 0; i < 10; ++i)
            pushed += q.tryPush(i);
        QCOMPARE(pushed, 4);
        int v = -1;
        QVERIFY(q.tryPop(&v));
        QCOMPARE(v, 0);
        stream::SequenceTable seq;
        QCOMPARE(seq.next(5), uint64_t(1));
        QCOMPARE(seq.next(0xffffffffu), uint64_t(1));
        QCOMPARE(seq.next(5), uint64_t(2));
    }

    // A simulated serial device and a simulated suit published by the CLI:
    // the test's subscriber gets every frame in order with the simulators'
    // values; the CLI recording of the remote devices and the program's
    // Network rows record them line for line as the station recorded them.
    void stationToSubscribersAndProgram()
    {
        Broker broker(work->path());
        QVERIFY(broker.start());
        TestSubscriber test(broker.port);
        QTest::qWait(300);

        // The program, subscribed to the same broker.
        work->setOption("stream_remote", "1");
        work->setOption("stream_broker", "127.0.0.1");
        work->setOption("stream_port", QString::number(broker.port));
        Strideloom window;
        work->setOption("stream_remote", "0");
        QVERIFY(window.streaming()->subscriber());

        const QString remoteDir = work->path() + "/remote", localDir = work->path() + "/local";
        // Runs until told to stop (SIGTERM), after the station has ended.
        auto remote = startCli({"record", "--broker", broker.address(), "--station", "st1", "--dir", remoteDir});
        QTest::qWait(1500);
        auto station = startCli({"publish", "--broker", broker.address(), "--station", "st1", "--serial", "all",
                                 "--usb", "all", "--seconds", "4", "--rate", "100", "--dir", localDir,
                                 "--extra-ports", sensor->portPath()},
                                "router:suit=0x66,nodes=2,hz=50");
        // Network rows appear; record them in the program.
        QTRY_VERIFY_WITH_TIMEOUT(window.deviceDock()->deviceCount() == 3, 30000);
        QTableWidget* t = window.deviceDock()->table();
        for (int row = 0; row < t->rowCount(); ++row) {
            QCOMPARE(t->item(row, 1)->text(), QString("Network"));
            t->item(row, 0)->setCheckState(Qt::Checked);
        }
        const QString progDir = work->path() + "/program";
        QDir().mkpath(progDir);
        window.deviceDock()->ClickedListItem(t->item(0, 0));
        window.deviceDock()->SaveDataToFile(true, progDir);
        // The context menu says why there are no commands.
        auto* r = static_cast<DeviceConfToShow*>(t->item(0, 0)->data(DockDeviceList::kRecordRole).value<void*>());
        const QList<QAction*> actions = window.deviceDock()->menuActionsFor(r);
        QCOMPARE(actions.size(), 1);
        QVERIFY(!actions[0]->isEnabled());
        QVERIFY(actions[0]->text().contains(QString::fromUtf8("采集站")));
        // Nor is a calibration started for it.
        window.mainView()->setCurrentDevice(r);
        QString boxText;
        answerNextBox(&boxText);
        window.mainView()->pageMag()->slotBeginMagCalcul();
        QVERIFY(boxText.contains(QString::fromUtf8("采集站")));
        QCOMPARE(r->eMagCalculType.load(), int(DeviceConfToShow::MagCalcul_Idle));

        int rc = -1;
        const QByteArray stationOut = finish(*station, &rc);
        QCOMPARE(rc, 0);
        QTest::qWait(1000);
        window.deviceDock()->SaveDataToFile(false, QString());
        // The station said goodbye: rows greyed.
        QTRY_VERIFY_WITH_TIMEOUT(t->item(0, 0)->foreground().color() == QColor(Qt::gray), 5000);
        remote->terminate();
        const QByteArray remoteOut = finish(*remote, &rc);
        QCOMPARE(rc, 0);
        QVERIFY2(stationOut.contains("dropped 0 "), stationOut.constData());

        const QMap<QString, QString> local = recordedFiles(stationOut), remoteFiles = recordedFiles(remoteOut);
        QCOMPARE(local.size(), 3);
        // The remote recording names each device by its station too.
        QStringList stationKeys;
        for (const QString& key : local.keys())
            stationKeys << "st1/" + key;
        QCOMPARE(remoteFiles.keys(), stationKeys);
        const auto frames = test.snapshot();
        for (const QString& key : local.keys()) {
            const QStringList localLines = dataLines(local[key]);
            QVERIFY(localLines.size() > 50);
            // The test's subscriber: every frame, in order, the values sent.
            const auto& got = frames.at(key.toUInt());
            QCOMPARE(int(got.size()), localLines.size());
            for (int i = 0; i < int(got.size()); ++i) {
                QCOMPARE(got[i].seq, uint64_t(i + 1));
                QCOMPARE(lineOf(got[i].data), localLines[i]);
            }
            // The CLI's remote recording: equal line for line.
            QCOMPARE(header(remoteFiles["st1/" + key]), header(local[key]));
            QCOMPARE(dataLines(remoteFiles["st1/" + key]), localLines);
            // The program's recording: a run of the same lines.
            const QStringList prog = dataLines(QDir(progDir).entryInfoList({"*_" + key + ".*"}).value(0).filePath());
            QVERIFY2(prog.size() > 20, qPrintable(key));
            const int start = localLines.indexOf(prog.first());
            QVERIFY(start >= 0);
            QCOMPARE(prog, localLines.mid(start, prog.size()));
        }
        // A Network recording plays back like any other.
        const QFileInfo progFile = QDir(progDir).entryInfoList({"*_4242.*"}).value(0);
        QVERIFY(window.openRecording(progFile.filePath()));
        DeviceConfToShow* played = window.deviceDock()->records().back();
        QCOMPARE(played->nDevType, int(SOURCE_FILE));
        QCOMPARE(long(played->stcHistory.size()), long(dataLines(progFile.filePath()).size()));
        QVERIFY(test.statusList().contains("online"));
        QVERIFY(test.statusList().contains("offline"));

        // The station returns: its rows continue, no longer grey.
        const FrameData before = r->frame();
        auto again = startCli({"publish", "--broker", broker.address(), "--station", "st1", "--serial", "all",
                               "--seconds", "1.5", "--rate", "100", "--extra-ports", sensor->portPath()});
        QTRY_VERIFY_WITH_TIMEOUT(t->item(0, 0)->foreground().color() != QColor(Qt::gray), 30000);
        auto changed = [&] { const FrameData now = r->frame(); return std::memcmp(&before, &now, sizeof now) != 0; };
        QTRY_VERIFY_WITH_TIMEOUT(changed(), 10000);
        finish(*again, &rc);
        QCOMPARE(rc, 0);
        QCOMPARE(window.deviceDock()->deviceCount(), 4);  // three Network rows and the played file
    }

    // The broker is killed for 2 s mid-stream: both sides reconnect, and
    // what is missing is exactly what was counted.
    void brokerRestartReconnectsAndCountsLosses()
    {
        Broker broker(work->path());
        QVERIFY(broker.start());
        stream::StreamOptions o;
        o.remote = true;
        o.brokerHost = "127.0.0.1";
        o.brokerPort = broker.port;
        Strideloom window;
        QVERIFY(window.streaming()->apply(o));
        const QString remoteDir = work->path() + "/remote2";
        auto remote = startCli({"record", "--broker", broker.address(), "--dir", remoteDir});
        QTest::qWait(1000);
        auto station = startCli({"publish", "--broker", broker.address(), "--station", "st2", "--serial", "all",
                                 "--seconds", "9", "--rate", "100", "--extra-ports", sensor->portPath()});
        QTRY_VERIFY_WITH_TIMEOUT(window.streaming()->subscriber()->counters().frames > 50, 20000);
        broker.kill();
        QTest::qWait(2000);
        QVERIFY(broker.start());
        // The program reconnects by itself and its row goes on.
        QTRY_VERIFY_WITH_TIMEOUT(window.streaming()->subscriber()->counters().reconnects >= 1, 10000);
        const uint64_t framesAfter = window.streaming()->subscriber()->counters().frames;
        QTRY_VERIFY2_WITH_TIMEOUT(window.streaming()->subscriber()->counters().frames > framesAfter + 20,
                                  qPrintable(QString("frames %1 then %2, station %3")
                                                 .arg(framesAfter)
                                                 .arg(window.streaming()->subscriber()->counters().frames)
                                                 .arg(station->state())),
                                  10000);
        QVERIFY(window.statusBar()->findChild<QLabel*>("labelStreaming")->text().contains(QString::fromUtf8("丢失")));
        int rc = -1;
        const QByteArray stationOut = finish(*station, &rc);
        QCOMPARE(rc, 0);
        QTest::qWait(1000);
        remote->terminate();
        const QByteArray remoteOut = finish(*remote, &rc);
        QCOMPARE(rc, 0);
        const long published = field(stationOut, "offered 4242 ");
        const long dropped = field(stationOut, " dropped ");
        const long reconnectsStation = field(stationOut, " reconnects ");
        const long received = field(remoteOut, "remote frames ");
        const long lost = field(remoteOut, " lost ");
        const long reconnectsRemote = field(remoteOut, " reconnects ");
        qInfo("published %ld, station dropped %ld, received %ld, receiver counted lost %ld", published, dropped,
              received, lost);
        QVERIFY2(reconnectsStation >= 1 && reconnectsRemote >= 1, stationOut + remoteOut);
        QVERIFY(dropped > 0);
        const QMap<QString, QString> files = recordedFiles(remoteOut);
        QCOMPARE(long(dataLines(files.value("st2/4242")).size()), received);
        // Every frame is either recorded or counted as lost by the receiver
        // (frames before the receiver's first are none: it started first).
        QCOMPARE(received + lost, published);
        // The station accounts for every frame exactly: written to the
        // broker's socket or counted as dropped at the place it was lost.
        const long offered = field(stationOut, "mqtt offered ");
        const long written = field(stationOut, " published ");
        QCOMPARE(offered, published);
        QCOMPARE(written + dropped, offered);
        // Written frames the killed broker took down with it (its socket
        // buffers, or before the receiver had subscribed again) are beyond
        // the station's sight; the receiver's sequence gaps count them.
        // With the two counts above, lost == dropped + (written - received).
        QVERIFY(received <= written);
        qInfo("lost in transit %ld", written - received);
    }

    // Two stations with the same device key: two Network rows. A topic
    // under the tree that means nothing is counted as invalid. While the
    // program has lost the broker, every Network row is grey.
    void sameKeyOnTwoStationsAndBrokerLoss()
    {
        Broker broker(work->path());
        QVERIFY(broker.start());
        Strideloom window;
        stream::StreamOptions o;
        o.remote = true;
        o.brokerHost = "127.0.0.1";
        o.brokerPort = broker.port;
        QVERIFY(window.streaming()->apply(o));
        QTRY_VERIFY_WITH_TIMEOUT(window.streaming()->subscriber()->counters().connected, 10000);
        auto peer = std::make_unique<TestSubscriber>(broker.port);  // the two stations
        QTest::qWait(300);
        uint64_t seq = 0;
        auto sendBoth = [&] {
            ++seq;
            for (const char* station : {"sa", "sb"}) {
                stream::StreamFrame f;
                f.key = 7;
                f.seq = seq;
                peer->publish(stream::frameTopic(station, 7), stream::encodeFrame(f, station));
            }
        };
        sendBoth();
        peer->publish("strideloom/sa/7/frames", "{}");
        QTRY_COMPARE_WITH_TIMEOUT(window.deviceDock()->deviceCount(), 2, 10000);
        QTableWidget* t = window.deviceDock()->table();
        QCOMPARE(t->item(0, 0)->text(), QString("0x7"));
        QCOMPARE(t->item(1, 0)->text(), QString("0x7"));
        QCOMPARE(QSet<QString>({t->item(0, 2)->text().section(':', 0, 0), t->item(1, 2)->text().section(':', 0, 0)}),
                 QSet<QString>({"sa", "sb"}));
        QTRY_COMPARE_WITH_TIMEOUT(window.streaming()->subscriber()->counters().rejected, uint64_t(1), 5000);

        peer.reset();
        broker.kill();
        QTRY_VERIFY_WITH_TIMEOUT(t->item(0, 0)->foreground().color() == QColor(Qt::gray), 10000);
        QVERIFY(t->item(1, 0)->foreground().color() == QColor(Qt::gray));
        QTRY_VERIFY_WITH_TIMEOUT(window.statusBar()->findChild<QLabel*>("labelStreaming")->text().contains(
                                     QString::fromUtf8("代理服务器无法连接")),
                                 5000);
        QVERIFY(broker.start());
        QTRY_VERIFY_WITH_TIMEOUT(t->item(0, 0)->foreground().color() != QColor(Qt::gray), 10000);
        QVERIFY(t->item(1, 0)->foreground().color() != QColor(Qt::gray));
    }

    // A broker that never answers (its accept queue is full, so the TCP
    // connection hangs): the frame path never blocks, every frame is
    // counted as dropped, and the stop returns at once. The CLI fails
    // when it never reached its broker.
    void publisherNeverBlocksAndCountsEveryFrame()
    {
        const int silent = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t len = sizeof a;
        QVERIFY(::bind(silent, reinterpret_cast<sockaddr*>(&a), len) == 0 && ::listen(silent, 0) == 0);
        ::getsockname(silent, reinterpret_cast<sockaddr*>(&a), &len);
        QTcpSocket filler;  // fills the queue; later connections wait for ever
        filler.connectToHost(QHostAddress::LocalHost, ntohs(a.sin_port));
        QVERIFY(filler.waitForConnected(2000));

        stream::StreamPublisher p(4);
        stream::StreamOptions o;
        o.mqtt = true;
        o.brokerHost = "127.0.0.1";
        o.brokerPort = ntohs(a.sin_port);
        QVERIFY(p.start(o));
        // No offer waits on the connection, which gives up only after seconds.
        QElapsedTimer total, timer;
        total.start();
        qint64 longest = 0;
        const FrameData frame{};
        for (int i = 0; i < 100000 && total.elapsed() < 10000; ++i) {
            timer.start();
            p.offer(4242, stream::DeviceKind::Serial, frame);
            longest = std::max(longest, timer.elapsed());
        }
        QVERIFY2(total.elapsed() < 10000 && longest < 500,
                 qPrintable(QStringLiteral("%1 ms in all, %2 ms the longest").arg(total.elapsed()).arg(longest)));
        QTest::qWait(300);
        timer.restart();
        p.stop();
        QVERIFY2(timer.elapsed() < 1500, qPrintable(QString::number(timer.elapsed())));
        const auto c = p.counters();
        QCOMPARE(c.offered, uint64_t(100000));
        QVERIFY(c.droppedQueue > 0);
        QCOMPARE(c.published, uint64_t(0));
        QCOMPARE(c.dropped(), c.offered);
        ::close(silent);

        int rc = 0;
        auto station = startCli({"publish", "--broker", QStringLiteral("127.0.0.1:%1").arg(freeLoopbackPort()),
                                 "--serial", "all", "--seconds", "1.5", "--rate", "100", "--extra-ports",
                                 sensor->portPath()});
        finish(*station, &rc);
        QCOMPARE(rc, 1);
    }

    // OSC: a UDP socket of the test receives bundles with the values.
    void oscBundlesCarryTheValues()
    {
        QUdpSocket udp;
        QVERIFY(udp.bind(QHostAddress(QHostAddress::LocalHost), 0));
        const QString localDir = work->path() + "/osclocal";
        auto station = startCli({"publish", "--osc", QStringLiteral("127.0.0.1:%1").arg(udp.localPort()), "--serial",
                                 "all", "--seconds", "3", "--rate", "100", "--dir", localDir, "--extra-ports",
                                 sensor->portPath()});
        QList<QByteArray> bundles;
        QElapsedTimer timer;
        timer.start();
        while (station->state() != QProcess::NotRunning && timer.elapsed() < 60000) {
            if (udp.waitForReadyRead(50))
                while (udp.hasPendingDatagrams()) {
                    QByteArray d(int(udp.pendingDatagramSize()), 0);
                    udp.readDatagram(d.data(), d.size());
                    bundles << d;
                }
            QCoreApplication::processEvents();
        }
        while (udp.hasPendingDatagrams()) {
            QByteArray d(int(udp.pendingDatagramSize()), 0);
            udp.readDatagram(d.data(), d.size());
            bundles << d;
        }
        int rc = -1;
        const QByteArray out = finish(*station, &rc);
        QCOMPARE(rc, 0);
        const QStringList localLines = dataLines(recordedFiles(out).value("4242"));
        QVERIFY(localLines.size() > 50);
        QCOMPARE(bundles.size(), localLines.size());
        // Decoded by hand: "#bundle", time tag, then (size, message)*.
        for (int b = 0; b < bundles.size(); ++b) {
            const QByteArray& d = bundles[b];
            QVERIFY(d.startsWith(QByteArray("#bundle\0", 8)));
            int pos = 16;
            FrameData f{};
            QStringList paths;
            while (pos + 4 <= d.size()) {
                const int size = qFromBigEndian<qint32>(d.constData() + pos);
                const QByteArray msg = d.mid(pos + 4, size);
                pos += 4 + size;
                const QByteArray path(msg.constData());
                paths << QString::fromLatin1(path);
                int p = (path.size() + 4) & ~3;
                const QByteArray tags(msg.constData() + p);
                p += (tags.size() + 4) & ~3;
                float* dst = path.endsWith("accel") ? f.accel : path.endsWith("gyro") ? f.gyro
                           : path.endsWith("mag") ? f.mag : path.endsWith("quat") ? f.quat : f.euler;
                for (int i = 1; i < tags.size(); ++i, p += 4) {
                    QCOMPARE(tags[i], 'f');
                    const quint32 bits = qFromBigEndian<quint32>(msg.constData() + p);
                    std::memcpy(&dst[i - 1], &bits, 4);
                }
            }
            QCOMPARE(paths, QStringList({"/strideloom/4242/accel", "/strideloom/4242/gyro", "/strideloom/4242/mag",
                                         "/strideloom/4242/quat", "/strideloom/4242/euler"}));
            QCOMPARE(lineOf(f), localLines[b]);
        }
    }

    // Wrong settings on the "Streaming" page are named and change nothing.
    void wrongSettingsAreRefused()
    {
        {
            DlgPreferences dlg;
            dlg.stcSettings.separate = ",";
            dlg.stcSettings.placeholder = "0";
            stream::StreamOptions good;
            dlg.setStreamOptions(good);
            StreamSettingsPage* page = dlg.streamPage();
            page->checkMqtt->setChecked(true);
            page->editPort->setText("abc");
            QString text;
            answerNextBox(&text);
            dlg.checkIsAccept();
            QVERIFY2(text.contains(QString::fromUtf8("端口")), qPrintable(text));
            QCOMPARE(dlg.result(), int(QDialog::Rejected));
            page->editPort->setText("1884");
            dlg.checkIsAccept();
            QCOMPARE(dlg.result(), int(QDialog::Accepted));
            QCOMPARE(dlg.streamOptions().brokerPort, 1884);
            QVERIFY(dlg.streamOptions().mqtt);
        }
        stream::StreamOptions o;
        o.mqtt = true;
        o.brokerPort = -1;
        QVERIFY(o.validate().contains(QString::fromUtf8("端口")));
        o.brokerPort = 1883;
        o.station = "a/b";
        QVERIFY(o.validate().contains(QString::fromUtf8("采集站")));
        o.station = "lab";
        o.caFile = "/nonexistent/ca.pem";
        QVERIFY(o.validate().contains("/nonexistent/ca.pem"));
        o.caFile.clear();
        QVERIFY(o.validate().isEmpty());
        Strideloom window;
        QString error;
        stream::StreamOptions bad;
        bad.osc = true;
        bad.oscPort = -1;
        QVERIFY(!window.streaming()->apply(bad, &error));
        QVERIFY(error.contains("OSC"));
        QVERIFY(!window.streaming()->publisher()->isRunning());
        // A refused change leaves a running configuration running.
        stream::StreamOptions running;
        running.osc = true;
        running.oscHost = "127.0.0.1";
        running.oscPort = 9;
        QVERIFY(window.streaming()->apply(running));
        QVERIFY(!window.streaming()->apply(bad, &error));
        QVERIFY(window.streaming()->publisher()->isRunning());
        QVERIFY(window.streaming()->options() == running);
        QString direct;
        QVERIFY(!window.streaming()->publisher()->start(bad, &direct));
        QVERIFY(window.streaming()->publisher()->isRunning());
        // The options round-trip through the option table.
        std::map<QString, QString> table;
        o.store(&table);
        QVERIFY(stream::StreamOptions::fromOptions(table) == o);
    }
};

QTEST_MAIN(TestStreaming)
#include "tst_streaming.moc"
