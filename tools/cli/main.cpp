// strideloom-cli: the device libraries without the GUI, for scripts and
// headless loggers.
//   scan    discover serial devices and print "KEY BAUD" lines
//   stream  stream every serial device, one comma-separated line per frame
//   config  print a serial device's three calibration blocks
//   usb     list USB receivers, suits and nodes; --stream prints node frames
//   record  record serial devices and USB nodes as the program does
//   dump    a recording as plain CSV
//   publish a headless capture station: devices → MQTT broker / OSC
//   record --broker  records the devices of other stations

#include "CliChoices.h"
#include "ConfigFile.h"
#include "ConfigWaiter.h"
#include "FileRead.h"
#include "FramePrinter.h"
#include "HeadlessRecorder.h"
#include "PlayHistory.h"
#include "Recorder.h"
#include "SLDevice.h"
#include "SignalStop.h"
#include "StationPublisher.h"
#include "SuitNode.h"
#include "BvhCommand.h"
#include "UsbNodePrinter.h"
#include "kvusb.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDateTime>
#include <QEventLoop>
#include <QTimer>
#include <cstdio>
#include <memory>
#include <unistd.h>

namespace {

bool gVerbose = false;

void messageFilter(QtMsgType type, const QMessageLogContext&, const QString& text)
{
    if (type == QtDebugMsg && !gVerbose)
        return;
    std::fprintf(stderr, "%s\n", qPrintable(text));
}

int fail(const QString& message)
{
    std::fprintf(stderr, "strideloom-cli: %s\n", qPrintable(message));
    return 1;
}

// Runs one discovery; false when it did not end within the time limit.
bool discover(SLDevice& dev)
{
    QEventLoop loop;
    QObject::connect(dev.getDevObj(), SIGNAL(sigAutoCheckComplete()), &loop, SLOT(quit()));
    QTimer::singleShot(60000, &loop, [&loop] { loop.exit(1); });
    dev.AutoCheckDevice();
    return loop.exec() == 0;
}

// Waits until `pending` replies have come or the time is up.
void awaitReplies(SLDevice& dev, int pending, int timeoutMs)
{
    QEventLoop loop;
    int left = pending;
    QObject::connect(dev.getDevObj(), SIGNAL(sigCmdResponded_CMDSTATUS(QString, bool)), &loop, SLOT(quit()));
    QTimer::singleShot(timeoutMs, &loop, [&] { left = 0; loop.quit(); });
    while (left-- > 0)
        loop.exec();
}

int runStream(SLDevice& dev, FILE* out, int rate, double seconds, int frames)
{
    std::vector<_device_config> configs = dev.GetAllDeviceConfig();
    QStringList keys;
    for (const _device_config& c : configs)
        keys << c.serialKey;
    FramePrinter printer(out, frames, keys);
    QObject::connect(dev.getDevObj(), SIGNAL(sigNewReadFrameData(QString, FrameData*)), &printer,
                     SLOT(onFrame(QString, FrameData*)), Qt::DirectConnection);
    QEventLoop loop;
    QObject::connect(&printer, &FramePrinter::enough, &loop, &QEventLoop::quit, Qt::QueuedConnection);
    if (seconds > 0)
        QTimer::singleShot(int(seconds * 1000), &loop, &QEventLoop::quit);
    for (const QString& key : keys)
        dev.SerialPortCmd_REQRTTRANS(key, rate);
    loop.exec();
    const QHash<QString, long> counts = printer.finish();
    for (const QString& key : keys)
        dev.SerialPortCmd_STOPRTTRANS(key);
    awaitReplies(dev, int(keys.size()), 1000);

    QString last = QStringLiteral("frames");
    for (const QString& key : keys)
        last += QStringLiteral(" %1=%2").arg(key).arg(counts.value(key));
    std::fprintf(out, "%s\n", qPrintable(last));
    return 0;
}

// A recording as plain CSV, read by the same reader as playback.
int runDump(FILE* out, const QString& path)
{
    QString key;
    if (!FileRead::readFileKey(path, key))
        return fail(QString::fromUtf8("获取文件信息失败，不能解析此文件！") + " (" + path + ")");
    PlayHistory h;
    FileRead reader(path, &h);
    reader.analysisFile();
    if (!reader.getResult())
        return fail(QString::fromUtf8("文件加载失败，请重试！") + " (" + path + ")");
    std::fprintf(out, "accel_x,accel_y,accel_z,gyro_x,gyro_y,gyro_z,mag_x,mag_y,mag_z,quat_w,quat_x,quat_y,quat_z,"
                      "euler_x,euler_y,euler_z,laccel_x,laccel_y,laccel_z,temperature,pressure,altitude\n");
    for (size_t i = 0; i < h.size(); ++i) {
        const auto& a = h.vecAccel[i];
        const auto& g = h.vecGyro[i];
        const auto& m = h.vecMag[i];
        const auto& q = h.vecQuat[i];
        const auto& e = h.vecEuler[i];
        const auto& l = h.vecLAccel[i];
        std::fprintf(out,
                     "%.9g,%.9g,%.9g,%.9g,%.9g,%.9g,%.9g,%.9g,%.9g,%.9g,%.9g,%.9g,%.9g,%.9g,%.9g,%.9g,%.9g,%.9g,%.9g,"
                     "%.9g,%.9g,%.9g\n",
                     a[0], a[1], a[2], g[0], g[1], g[2], m[0], m[1], m[2], q[0], q[1], q[2], q[3], e[0], e[1], e[2],
                     l[0], l[1], l[2], h.vecTemperature[i], h.vecPressure[i], h.vecAltitude[i]);
    }
    return 0;
}

// Connects every suit the library announces to receiver's slot, on the
// announcing thread so that no frame after the first is missed.
void connectSuits(kvusb& usb, QObject* receiver, const char* slot)
{
    QObject::connect(
        &usb, &kvusb::newSuitCreated, receiver,
        [&usb, receiver, slot](MotionCaptureSuit_Property, uint32_t number) {
            if (MotionCaptureSuit* suit = usb.getMotionCaptureSuit(number))
                QObject::connect(suit, SIGNAL(newDatafromSuit(SensorFrame)), receiver, slot, Qt::QueuedConnection);
        },
        Qt::DirectConnection);
}

// Runs the event loop until the time is up (seconds > 0) or a signal stops it.
void runUntilStopped(double seconds)
{
    QEventLoop loop;
    SignalStop stop;
    QObject::connect(&stop, &SignalStop::stopRequested, &loop, &QEventLoop::quit);
    if (seconds > 0)
        QTimer::singleShot(int(seconds * 1000), &loop, &QEventLoop::quit);
    loop.exec();
}

int runUsb(FILE* out, double seconds, bool stream)
{
    kvusb usb;
    UsbNodePrinter printer(out);
    if (stream)
        connectSuits(usb, &printer, SLOT(onFrame(SensorFrame)));
    usb.initUSB();
    runUntilStopped(seconds);

    // The library announces every suit it knows again, on this thread.
    std::vector<std::pair<uint32_t, MotionCaptureSuit_Property>> suits;
    const QMetaObject::Connection listing = QObject::connect(
        &usb, &kvusb::newSuitCreated, &usb,
        [&suits](MotionCaptureSuit_Property prop, uint32_t number) { suits.emplace_back(number, prop); },
        Qt::DirectConnection);
    usb.reSendNewSuitCreateSignal();
    QObject::disconnect(listing);

    std::fprintf(out, "receivers %d\n", usb.knownDeviceCount());
    for (const auto& [number, prop] : suits) {
        MotionCaptureSuit* suit = usb.getMotionCaptureSuit(number);
        if (!suit)
            continue;
        std::fprintf(out, "suit 0x%06x %s\n", number, prop == KORVANT_Q3 ? "KORVANT_Q3" : "KORVANT_ZAN");
        for (unsigned p = 0; p < suit->nodeTableSize(); ++p) {
            SuitNode n(0, 0);
            if (!suit->copyNode(p, n) || n.packetCount == 0)
                continue;
            std::fprintf(out, "  node %2u id 0x%08x frames %llu battery %u link %u\n", p,
                         unsigned((number << 8) | (unsigned(prop) << 6) | p), (unsigned long long)n.packetCount,
                         unsigned(n.battery), unsigned(n.link));
        }
    }
    if (stream)
        std::fprintf(out, "frames %ld\n", printer.printed());
    return 0;
}

int runRecord(SLDevice* dev, FILE* out, const QCommandLineParser& cli)
{
    ConfigFile::Options options;
    ExportSettings settings;
    QString dir, error;
    if (!cli::loadRecordingOptions(cli, &options, &settings, &error) || !cli::recordingDirectory(cli, options, &dir, &error))
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

    Recorder recorder;
    const QStringList failed = recorder.start(dir, serialKeys, settings, QDateTime::currentDateTime());
    if (!failed.isEmpty())
        return fail("cannot write into " + dir + " (" + failed.join(' ') + ")");
    HeadlessRecorder sink(recorder, dir, allUsb, suits, nodes);
    if (dev) {
        QObject::connect(dev->getDevObj(), SIGNAL(sigNewReadFrameData(QString, FrameData*)), &sink,
                         SLOT(onSerialFrame(QString, FrameData*)), Qt::DirectConnection);
        for (const QString& key : serialKeys)
            dev->SerialPortCmd_REQRTTRANS(key, cli.value("rate").toInt());
    }
    std::unique_ptr<kvusb> usb;
    if (allUsb || !suits.isEmpty() || !nodes.isEmpty()) {
        usb = std::make_unique<kvusb>();
        connectSuits(*usb, &sink, SLOT(onUsbFrame(SensorFrame)));
        usb->initUSB();
    }
    std::fprintf(stderr, "recording into %s; stop with Ctrl-C\n", qPrintable(dir));
    runUntilStopped(cli.value("seconds").toDouble());
    if (dev) {
        for (const QString& key : serialKeys)
            dev->SerialPortCmd_STOPRTTRANS(key);
    }
    usb.reset();
    recorder.stop();
    const QHash<QString, long> counts = sink.counts();
    const bool whole = cli::reportRecordings(out, recorder, dir, counts, sink.failedWrites(), sink.failedKeys());
    if (counts.isEmpty())
        return fail("nothing was recorded");
    return whole ? 0 : 1;
}

int runConfig(SLDevice& dev, FILE* out, const QString& key)
{
    _device_config config;
    dev.UpdateAllDeviceConfig();
    if (!dev.GetDeviceConfig(key, config))
        return fail("unknown device key " + key);
    ConfigWaiter waiter(key);
    QEventLoop loop;
    QObject* manager = dev.getDevObj();
    // String connections: the manager's class is private to the library.
    QObject::connect(manager, SIGNAL(sigCmdResponded_CONFIG(QString, DevSetting&)), &waiter,
                     SLOT(onConfig(QString, DevSetting&)));
    QObject::connect(manager, SIGNAL(sigCmdResponded_CMDSTATUS(QString, bool)), &waiter, SLOT(onStatus(QString, bool)));
    QObject::connect(&waiter, &ConfigWaiter::done, &loop, &QEventLoop::quit);
    dev.SerialPortCmd_REQCONFIG(key);
    loop.exec();
    if (!waiter.answered())
        return fail("command timed out: the device did not send its configuration");
    const DevSetting& s = waiter.setting();
    for (int b = 0; b < 3; ++b) {
        std::fprintf(out, "block %d bias: %.9g %.9g %.9g\n", b, s.cal[b].bias[0], s.cal[b].bias[1], s.cal[b].bias[2]);
        std::fprintf(out, "block %d matrix:", b);
        for (int i = 0; i < 9; ++i)
            std::fprintf(out, " %.9g", s.cal[b].matrix[i]);
        std::fprintf(out, "\n");
    }
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName("strideloom-cli");
    QCommandLineParser cli;
    cli.setApplicationDescription("Serial IMU devices and USB receivers from the command line.\n"
                                  "  scan                       list identified devices: KEY BAUD\n"
                                  "  stream (--seconds S | --frames N)\n"
                                  "                             one line per frame: key, accel xyz, gyro xyz,\n"
                                  "                             mag xyz, quat wxyz, euler xyz, extra\n"
                                  "  config KEY                 the device's three calibration blocks\n"
                                  "  usb [--seconds S] [--stream]\n"
                                  "                             USB receivers, suits and nodes seen in S seconds;\n"
                                  "                             --stream also prints each node frame\n"
                                  "  record [--serial KEYS] [--usb SUITS] [--seconds S] [--dir DIR]\n"
                                  "                             record as the program does, until Ctrl-C or S s\n"
                                  "  dump FILE                  a recording as plain CSV (no devices needed)\n"
                                  "  publish [--broker HOST[:PORT]] [--station NAME] [--serial KEYS|all]\n"
                                  "          [--usb SUITS|all] [--osc HOST:PORT] [--seconds S] [--dir DIR]\n"
                                  "                             a capture station: frames to an MQTT broker\n"
                                  "                             and/or OSC; --dir also records them here\n"
                                  "  record --broker HOST[:PORT] [--station NAME]\n"
                                  "                             record other stations' devices\n"
                                  "  bvh --suit NUMBER [--seconds S] [--frame-time T] [--tpose-seconds N] [--out FILE]\n"
                                  "                             the first N s (3) as the T-pose, then S s (10)\n"
                                  "                             of the suit's motion into a BVH file");
    cli.addHelpOption();
    cli.addPositionalArgument("command", "scan, stream, config, usb, record, dump or bvh");
    cli.addOption({"extra-ports", "Port names or paths beyond the system's list, separated by ';'.", "ports"});
    cli.addOption({"rate", "Streaming rate in frames per second (1-200).", "hz", "100"});
    cli.addOption({"seconds", "Stream for S seconds.", "s"});
    cli.addOption({"frames", "Stream until every device delivered N frames.", "n"});
    cli.addOption({"verbose", "Show the library's progress lines."});
    cli.addOption({"stream", "usb: print every node frame."});
    cli.addOption({"serial", "record: serial device keys separated by ';', or all.", "keys"});
    cli.addOption({"usb", "record: suit numbers (0x1234) or node ids separated by ';', or all.", "suits"});
    cli.addOption({"dir", "record: directory of the files (default: the option savepath, else here).", "dir"});
    cli.addOption({"config", "record: the option file (default Resources/config.xml).", "file"});
    addStreamOptions(cli);
    cli.addOption({"suit", "bvh: the suit number (0x1234 or decimal).", "number"});
    cli.addOption({"frame-time", "bvh: seconds per frame, 0.001 to 1 (default the option bvhframetime, else 1/60).", "t"});
    cli.addOption({"tpose-seconds", "bvh: seconds of T-pose at the start; 0 records raw orientations.", "n"});
    cli.addOption({"out", "bvh: the file to write (default <savepath>/<filename>_<time>_suit<number>.bvh).", "file"});
    cli.process(app);
    gVerbose = cli.isSet("verbose");
    qInstallMessageHandler(messageFilter);

    // The library writes diagnostics to standard output; keep that stream
    // for data and send the diagnostics to standard error.
    const int dataFd = dup(STDOUT_FILENO);
    dup2(STDERR_FILENO, STDOUT_FILENO);
    FILE* out = fdopen(dataFd, "w");

    const QStringList args = cli.positionalArguments();
    const QString command = args.value(0);
    if (command == "dump") {
        if (args.size() < 2)
            return fail("dump needs a file");
        const int rc = runDump(out, args[1]);
        std::fclose(out);
        return rc;
    }
    if (command == "usb") {
        const int rc = runUsb(out, cli.isSet("seconds") ? cli.value("seconds").toDouble() : 2.0, cli.isSet("stream"));
        std::fclose(out);
        return rc;
    }
    if (command == "bvh") {
        const int rc = runBvh(out, cli, cli::findOptionFile(cli.value("config")));
        std::fclose(out);
        return rc;
    }
    if (command == "record" && cli.isSet("broker")) {
        const int rc = runRemoteRecord(out, cli);
        std::fclose(out);
        return rc;
    }
    if (command == "publish" && !cli.isSet("serial")) {
        if (!cli.isSet("usb"))
            return fail("publish needs --serial or --usb");
        const int rc = runPublish(nullptr, out, cli);
        std::fclose(out);
        return rc;
    }
    if (command == "record" && !cli.isSet("serial")) {
        if (!cli.isSet("usb"))
            return fail("record needs --serial or --usb");
        const int rc = runRecord(nullptr, out, cli);
        std::fclose(out);
        return rc;
    }
    if (command != "scan" && command != "stream" && command != "config" && command != "record" && command != "publish")
        return fail("give a command: scan, stream, config, usb, record or dump (see --help)");
    if (command == "config" && args.size() < 2)
        return fail("config needs a device key");
    const bool bySeconds = cli.isSet("seconds"), byFrames = cli.isSet("frames");
    if (command == "stream" && bySeconds == byFrames)
        return fail("stream needs exactly one of --seconds and --frames");

    int status = 0;
    {
        SLDevice dev;
        dev.SetExtraPorts(cli.value("extra-ports").split(QLatin1Char(';'), Qt::SkipEmptyParts));
        if (!discover(dev))
            return fail("discovery did not finish");
        const std::vector<_device_config>& configs = dev.GetAllDeviceConfig();
        if (configs.empty()) {
            status = fail("no device found");
        } else if (command == "scan") {
            for (const _device_config& c : configs)
                std::fprintf(out, "%s %d\n", qPrintable(c.serialKey), c.baudRate);
        } else if (command == "record") {
            status = runRecord(&dev, out, cli);
        } else if (command == "publish") {
            status = runPublish(&dev, out, cli);
        } else if (command == "stream") {
            status = runStream(dev, out, cli.value("rate").toInt(), cli.value("seconds").toDouble(),
                               byFrames ? cli.value("frames").toInt() : 0);
        } else {
            status = runConfig(dev, out, args[1]);
        }
    }
    std::fclose(out);
    return status;
}
