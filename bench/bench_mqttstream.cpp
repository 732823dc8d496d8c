// Streaming through a real broker: N capture stations (strideloom-cli
// publish, each with a simulated receiver of 17 nodes at 100 frames/s)
// → Debian's mosquitto on a free loopback port → one subscriber
// (strideloom-cli record --broker, the program's recorder) recording
// everything. Prints frames lost, end-to-end latency p50/p99 (station's
// frame hand-over → subscriber's arrival, one monotonic clock), the CPU of
// one station and of the subscriber, beside one process recording the same
// receivers locally (strideloom-cli record --usb all).
//   bench_mqttstream [seconds [stations]]
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QThread>
#include <cstdio>
#include <memory>
#include <unistd.h>
#include <vector>

namespace {

double cpuSeconds(qint64 pid)
{
    QFile f(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!f.open(QIODevice::ReadOnly))
        return -1;
    const QByteArray s = f.readAll();
    const QList<QByteArray> fields = s.mid(s.lastIndexOf(')') + 2).split(' ');
    // utime and stime are fields 14 and 15 (1-based) of the whole line.
    return (fields.value(11).toDouble() + fields.value(12).toDouble()) / double(sysconf(_SC_CLK_TCK));
}

long field(const QByteArray& out, const QByteArray& after)
{
    const int i = out.indexOf(after);
    return i < 0 ? -1 : out.mid(i + after.size()).split(' ').value(0).split('\n').value(0).toLong();
}

double fieldD(const QByteArray& out, const QByteArray& after)
{
    const int i = out.indexOf(after);
    return i < 0 ? -1 : out.mid(i + after.size()).split(' ').value(0).toDouble();
}

std::unique_ptr<QProcess> cli(const QString& dir, const QStringList& args, const QString& scenario)
{
    auto p = std::make_unique<QProcess>();
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    if (!scenario.isEmpty()) {
        env.insert("LD_PRELOAD", STRIDELOOM_USBSIM);
        env.insert("USBSIM_SCENARIO", scenario);
    }
    p->setProcessEnvironment(env);
    p->setWorkingDirectory(dir);
    p->start(STRIDELOOM_CLI, args);
    p->waitForStarted();
    return p;
}

// Samples a running process's CPU time at the start and end of the window.
struct CpuWindow
{
    double start = 0, end = 0;
    double percent(double seconds) const { return 100.0 * (end - start) / seconds; }
};

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const double seconds = argc > 1 ? std::atof(argv[1]) : 10.0;
    const int stations = argc > 2 ? std::atoi(argv[2]) : 4;
    QTemporaryDir tmp;
    const QString dir = tmp.path();
    QTcpServer probe;
    probe.listen(QHostAddress::LocalHost, 0);
    const int port = probe.serverPort();
    probe.close();
    QFile conf(dir + "/mosquitto.conf");
    conf.open(QIODevice::WriteOnly);
    conf.write(QStringLiteral("listener %1 127.0.0.1\nallow_anonymous true\npersistence false\nset_tcp_nodelay true\n").arg(port).toUtf8());
    conf.close();
    QProcess broker;
    broker.start("/usr/sbin/mosquitto", {"-c", dir + "/mosquitto.conf"});
    if (!broker.waitForStarted()) {
        std::fprintf(stderr, "cannot start /usr/sbin/mosquitto\n");
        return 1;
    }
    for (int i = 0; i < 100; ++i) {
        QTcpSocket s;
        s.connectToHost(QHostAddress::LocalHost, quint16(port));
        if (s.waitForConnected(100))
            break;
        QThread::msleep(50);
    }
    const QString address = QStringLiteral("127.0.0.1:%1").arg(port);
    const double settle = 2.0;  // receivers found, first frames through

    auto sub = cli(dir, {"record", "--broker", address, "--seconds", QString::number(seconds + 2 * settle + 2), "--dir",
                         dir + "/remote"},
                   QString());
    QThread::msleep(800);
    std::vector<std::unique_ptr<QProcess>> st;
    for (int i = 0; i < stations; ++i)
        st.push_back(cli(dir,
                         {"publish", "--broker", address, "--station", QStringLiteral("bench%1").arg(i), "--usb", "all",
                          "--seconds", QString::number(seconds + settle)},
                         QStringLiteral("router:suit=0x%1,nodes=17,hz=100").arg(0x10 + i, 0, 16)));
    QThread::msleep(int(settle * 1000));
    CpuWindow cpuStation, cpuSub;
    cpuStation.start = cpuSeconds(st[0]->processId());
    cpuSub.start = cpuSeconds(sub->processId());
    QThread::msleep(int(seconds * 1000));
    cpuStation.end = cpuSeconds(st[0]->processId());
    cpuSub.end = cpuSeconds(sub->processId());
    long published = 0, dropped = 0;
    for (auto& p : st) {
        p->waitForFinished(30000);
        const QByteArray out = p->readAllStandardOutput();
        published += field(out, " published ");
        dropped += field(out, " dropped ");
    }
    sub->waitForFinished(30000);
    const QByteArray subOut = sub->readAllStandardOutput();
    const long received = field(subOut, "remote frames ");
    const long lost = field(subOut, " lost ");
    const double p50 = fieldD(subOut, "latency_ms p50 "), p99 = fieldD(subOut, " p99 "), pmax = fieldD(subOut, " max ");
    broker.terminate();
    broker.waitForFinished();

    // The same receivers recorded locally by one process.
    QString scenario;
    for (int i = 0; i < stations; ++i)
        scenario += QStringLiteral("%1router:suit=0x%2,nodes=17,hz=100").arg(i ? ";" : "").arg(0x10 + i, 0, 16);
    auto local = cli(dir, {"record", "--usb", "all", "--seconds", QString::number(seconds + settle), "--dir",
                           dir + "/local"},
                     scenario);
    QThread::msleep(int(settle * 1000));
    CpuWindow cpuLocal;
    cpuLocal.start = cpuSeconds(local->processId());
    QThread::msleep(int(seconds * 1000));
    cpuLocal.end = cpuSeconds(local->processId());
    local->waitForFinished(30000);
    long localLines = 0;
    for (const QByteArray& line : local->readAllStandardOutput().split('\n'))
        if (line.startsWith("recorded "))
            localLines += line.split(' ').value(2).toLong();

    std::printf("stations %d x 17 nodes x 100 frames/s, %.0f s measured\n", stations, seconds);
    std::printf("published %ld (station-counted dropped %ld), received and recorded %ld, receiver-counted lost %ld, "
                "frames lost %ld\n",
                published, dropped, received, lost, published - received);
    std::printf("latency ms: p50 %.3f p99 %.3f max %.3f\n", p50, p99, pmax);
    std::printf("CPU of one station %.1f %% of one core, of the subscriber %.1f %%\n", cpuStation.percent(seconds),
                cpuSub.percent(seconds));
    std::printf("reference: the same %d receivers recorded locally by one process: %ld lines, CPU %.1f %%\n", stations,
                localLines, cpuLocal.percent(seconds));
    return 0;
}
