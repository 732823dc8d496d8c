// Serial devices streaming through pseudo-terminals into the library:
// frames received versus frames sent, and the receiving process's CPU time.
// The devices run in a child sensorsim process so that its work is not
// counted here.
//   bench_serialstream [seconds per case [device counts...]]
// (sensorsim beside this program; default cases 1, 8 and 32 devices)

#include "SLDevice.h"

#include <QCoreApplication>
#include <QDir>
#include <QEventLoop>
#include <QProcess>
#include <QTimer>
#include <atomic>
#include <cstdio>
#include <signal.h>
#include <sys/resource.h>
#include <unistd.h>

namespace {

double cpuSeconds()
{
    rusage u;
    getrusage(RUSAGE_SELF, &u);
    return double(u.ru_utime.tv_sec + u.ru_stime.tv_sec) + double(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

// Times any of this process's threads went to sleep waiting for something.
long wakeUps()
{
    rusage u;
    getrusage(RUSAGE_SELF, &u);
    return u.ru_nvcsw;
}

void waitMs(int ms)
{
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

std::atomic<long> gReceived{0};

class Counter : public QObject
{
    Q_OBJECT
public slots:
    void onFrame(QString, FrameData*) { gReceived.fetch_add(1, std::memory_order_relaxed); }
};

bool runCase(FILE* out, int devices, double seconds)
{
    const int hz = 200;
    QProcess sim;
    QStringList args;
    for (int i = 0; i < devices; ++i)
        args << "--device" << QStringLiteral("%1:%2:%3").arg(9000 + i).arg(i % 2 ? 460800 : 1500000).arg(hz);
    args << "--noise" << "0.2";
    sim.start(QCoreApplication::applicationDirPath() + "/sensorsim", args);
    if (!sim.waitForStarted(5000))
        return false;
    QStringList ports;
    while (ports.size() < devices && sim.waitForReadyRead(5000)) {
        while (sim.canReadLine()) {
            const QList<QByteArray> f = sim.readLine().trimmed().split(' ');
            if (f.size() == 3)
                ports << QString::fromLocal8Bit(f[2]);
        }
    }
    if (ports.size() < devices)
        return false;

    gReceived.store(0);
    double cpu = 0;
    double wakesPerSecond = 0;
    long steadyFrames = 0;
    int found = 0;
    {
        SLDevice dev;
        dev.SetExtraPorts(ports);
        Counter counter;
        QObject::connect(dev.getDevObj(), SIGNAL(sigNewReadFrameData(QString, FrameData*)), &counter,
                         SLOT(onFrame(QString, FrameData*)), Qt::DirectConnection);
        QEventLoop loop;
        QObject::connect(dev.getDevObj(), SIGNAL(sigAutoCheckComplete()), &loop, SLOT(quit()));
        dev.AutoCheckDevice();
        loop.exec();
        const std::vector<_device_config> configs = dev.GetAllDeviceConfig();
        found = int(configs.size());
        if (found < devices) {
            QStringList keys;
            for (const _device_config& c : configs)
                keys << c.serialKey;
            for (int i = 0; i < devices; ++i)
                if (!keys.contains(QString::number(9000 + i)))
                    std::fprintf(stderr, "not found: %d on %s\n", 9000 + i, qPrintable(ports.value(i)));
        }
        for (const _device_config& c : configs)
            dev.SerialPortCmd_REQRTTRANS(c.serialKey, hz);
        waitMs(500);
        const double cpu0 = cpuSeconds();
        const long wakes0 = wakeUps();
        const long frames0 = gReceived.load();
        waitMs(int(seconds * 1000));
        cpu = (cpuSeconds() - cpu0) / seconds;
        wakesPerSecond = double(wakeUps() - wakes0) / seconds;
        steadyFrames = gReceived.load() - frames0;
        for (const _device_config& c : configs)
            dev.SerialPortCmd_STOPRTTRANS(c.serialKey);
        waitMs(800);  // let the rings drain
    }
    ::kill(pid_t(sim.processId()), SIGTERM);
    sim.waitForFinished(5000);
    long sent = 0, cut = 0;
    for (const QByteArray& line : sim.readAllStandardOutput().split('\n')) {
        const QList<QByteArray> f = line.trimmed().split(' ');
        if (f.size() == 4 && f[0] == "sent") {
            sent += f[2].toLong();
            cut += f[3].toLong();
        }
    }
    const long received = gReceived.load();
    std::fprintf(out,
                 "%3d devices (%d found) x %d Hz: sent %7ld, received %7ld, lost %ld (%ld payloads held the tail "
                 "marker); steady %.0f frames/s, CPU %.1f%% of one core, %.0f wake-ups/s\n",
                 devices, found, hz, sent, received, sent - received, cut, double(steadyFrames) / seconds, cpu * 100.0,
                 wakesPerSecond);
    std::fflush(out);
    return true;
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const double seconds = argc > 1 ? std::atof(argv[1]) : 5.0;
    // The library's rate diagnostics go to standard output; keep it for figures.
    const int dataFd = dup(STDOUT_FILENO);
    dup2(STDERR_FILENO, STDOUT_FILENO);
    FILE* out = fdopen(dataFd, "w");
    qInstallMessageHandler([](QtMsgType type, const QMessageLogContext&, const QString& text) {
        if (type != QtDebugMsg || qEnvironmentVariableIsSet("BENCH_VERBOSE"))
            std::fprintf(stderr, "%s\n", qPrintable(text));
    });
    QList<int> counts{1, 8, 32};
    if (argc > 2) {
        counts.clear();
        for (int i = 2; i < argc; ++i)
            counts << std::atoi(argv[i]);
    }
    for (int devices : counts) {
        if (!runCase(out, devices, seconds)) {
            std::fprintf(out, "%d devices: the simulator did not start\n", devices);
            return 1;
        }
    }
    std::fclose(out);
    return 0;
}

#include "bench_serialstream.moc"
