// sensorsim: serial sensor devices on pseudo-terminals, for tests, benchmarks
// and demonstrations without hardware.

#include "SimulatedSensor.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDir>
#include <QStringList>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <memory>
#include <thread>
#include <vector>

namespace {

volatile std::sig_atomic_t gStop = 0;

void onSignal(int)
{
    gStop = 1;
}

bool parseTriple(const QString& text, int count, double* out)
{
    const QStringList fields = text.split(QLatin1Char(','));
    if (fields.size() != count)
        return false;
    for (int i = 0; i < count; ++i) {
        bool ok = false;
        out[i] = fields[i].toDouble(&ok);
        if (!ok)
            return false;
    }
    return true;
}

bool applyFault(const QString& name, SimulatedSensor& sensor)
{
    static const struct { const char* name; SimulatedSensor::Fault fault; } kFaults[] = {
        {"garbage", SimulatedSensor::Garbage},
        {"badcrc", SimulatedSensor::BadCrc},
        {"tail", SimulatedSensor::TailInPayload},
        {"ignore", SimulatedSensor::IgnoreCommands},
        {"mute", SimulatedSensor::Mute},
        {"empty", SimulatedSensor::EmptyFrame},
        {"noack", SimulatedSensor::NoWriteAck},
    };
    for (const auto& f : kFaults) {
        if (name == QLatin1String(f.name)) {
            sensor.setFault(f.fault, true);
            return true;
        }
    }
    return false;
}

bool parseDelivery(const QString& text, SimulatedSensor::Delivery* out)
{
    if (text == "auto")
        *out = SimulatedSensor::Delivery::Auto;
    else if (text == "on")
        *out = SimulatedSensor::Delivery::Pieces;
    else if (text == "off")
        *out = SimulatedSensor::Delivery::Immediate;
    else
        return false;
    return true;
}

bool parseStoredConfig(const QString& text, SimulatedSensor::StoredConfig* out)
{
    if (text == "factory")
        *out = SimulatedSensor::StoredConfig::Factory;
    else if (text == "distinct")
        *out = SimulatedSensor::StoredConfig::Distinct;
    else if (text == "tail")
        *out = SimulatedSensor::StoredConfig::TailMarker;
    else
        return false;
    return true;
}

// Prints each configuration write not yet reported, and appends it to the
// write log when one is kept; false when the log cannot be written.
bool reportWrites(const SimulatedSensor& sensor, int* reported, FILE* writeLog)
{
    const QList<QByteArray> writes = sensor.writtenSettings();
    bool ok = true;
    for (; *reported < writes.size(); ++*reported) {
        const QByteArray& w = writes.at(*reported);
        const QByteArray line = QByteArray("wrote ") + QByteArray::number(sensor.config().serial) + ' '
                                + w.mid(3).toHex() + ' ' + w.left(3).toHex() + '\n';
        std::fputs(line.constData(), stdout);
        if (writeLog && (std::fputs(line.constData(), writeLog) < 0 || std::fflush(writeLog) != 0))
            ok = false;
    }
    std::fflush(stdout);
    return ok;
}

int fail(const QString& message)
{
    std::fprintf(stderr, "sensorsim: %s\n", qPrintable(message));
    return 2;
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName("sensorsim");
    QCommandLineParser cli;
    cli.setApplicationDescription(
        "Simulated serial IMU devices on pseudo-terminals.\n"
        "Each --device is SERIAL:BAUD[:HZ[:FAULTS]], FAULTS a comma list of\n"
        "garbage, badcrc, tail, ignore, mute, empty (an empty frame before each\n"
        "reply), noack (configuration writes stored but never acknowledged). Prints 'SERIAL BAUD PATH' per device, then 'ready'; for every\n"
        "configuration write a device receives 'wrote SERIAL BLOCKS CTRL', BLOCKS\n"
        "the 144 bytes of the three calibration blocks and CTRL the 3 control\n"
        "bytes, both as hexadecimal; on exit 'sent SERIAL FRAMES CUT' per device,\n"
        "CUT the frames whose payload contained the tail marker.\n"
        "The accelerometer calibration reply (type 8) never carries a valid CRC,\n"
        "as on the devices.");
    cli.addHelpOption();
    cli.addOption({"device", "A device SERIAL:BAUD[:HZ[:FAULTS]] (repeatable).", "device"});
    cli.addOption({"link-dir", "Make DIR/sensor-SERIAL links to the terminals.", "dir"});
    cli.addOption({"hard-iron", "Hard-iron offset x,y,z in µT.", "xyz", "12,-7,20"});
    cli.addOption({"soft-iron", "Soft-iron matrix, nine values row by row.", "m", "1.1,0.05,0,0.05,0.9,0.02,0,0.02,1.05"});
    cli.addOption({"noise", "Magnetometer noise, µT.", "sigma", "0.2"});
    cli.addOption({"bad-crc", "Percentage of frames with a wrong CRC under badcrc.", "pct", "10"});
    cli.addOption({"no-stream", "Do not stream until asked."});
    cli.addOption({"vanish-every", "Pull and replug every device every S seconds.", "s"});
    cli.addOption({"seconds", "Stop after S seconds.", "s"});
    cli.addOption({"adapter-pieces",
                   "auto, on or off: hand bytes to the host as a USB serial adapter does, at the "
                   "line's byte rate in 62-byte packets, the rest after 16 ms. auto: on at every rate.",
                   "mode", "auto"});
    cli.addOption({"stored-config",
                   "The calibration blocks the devices hold at start: factory (zero offsets, "
                   "identity matrices), distinct (non-zero values, different in every field) or "
                   "tail (distinct values whose bytes hold E4 AA, 78 bytes into the reply). A "
                   "configuration request returns the held blocks; a configuration write "
                   "replaces them.",
                   "kind", "factory"});
    cli.addOption({"late-identity", "Answer the identity request MS milliseconds late.", "ms", "0"});
    cli.addOption({"lose-config", "Leave the first N configuration requests unanswered.", "n", "0"});
    cli.addOption({"write-log", "Also append every 'wrote' line to FILE.", "file"});
    cli.process(app);

    SimulatedSensor::Config base;
    if (!parseTriple(cli.value("hard-iron"), 3, base.distortion.hardIron))
        return fail("--hard-iron takes three numbers");
    if (!parseTriple(cli.value("soft-iron"), 9, base.distortion.softIron))
        return fail("--soft-iron takes nine numbers");
    base.distortion.noise = cli.value("noise").toDouble();
    base.badCrcPercent = cli.value("bad-crc").toInt();
    base.streamAtStart = !cli.isSet("no-stream");
    if (!parseDelivery(cli.value("adapter-pieces"), &base.delivery))
        return fail("--adapter-pieces takes auto, on or off");
    if (!parseStoredConfig(cli.value("stored-config"), &base.storedConfig))
        return fail("--stored-config takes factory, distinct or tail");
    bool okLate = false, okLose = false;
    base.lateIdentityMs = cli.value("late-identity").toInt(&okLate);
    base.ignoredConfigRequests = cli.value("lose-config").toInt(&okLose);
    if (!okLate || base.lateIdentityMs < 0)
        return fail("--late-identity takes a number of milliseconds");
    if (!okLose || base.ignoredConfigRequests < 0)
        return fail("--lose-config takes a count");
    std::unique_ptr<FILE, int (*)(FILE*)> writeLog(nullptr, &std::fclose);
    if (cli.isSet("write-log")) {
        writeLog.reset(std::fopen(qPrintable(cli.value("write-log")), "a"));
        if (!writeLog)
            return fail("cannot open " + cli.value("write-log"));
    }

    QStringList devices = cli.values("device");
    if (devices.isEmpty())
        devices << "20230001:115200";
    const QString linkDir = cli.value("link-dir");
    if (!linkDir.isEmpty() && !QDir().mkpath(linkDir))
        return fail("cannot create " + linkDir);

    std::vector<std::unique_ptr<SimulatedSensor>> sensors;
    for (const QString& described : devices) {
        const QStringList f = described.split(QLatin1Char(':'));
        bool okSerial = false, okBaud = false;
        SimulatedSensor::Config c = base;
        c.serial = f.value(0).toUInt(&okSerial);
        c.baudRate = f.value(1).toInt(&okBaud);
        if (!okSerial || !okBaud || f.size() > 4)
            return fail("bad --device " + described);
        if (f.size() >= 3)
            c.streamRateHz = f[2].toInt();
        c.seed = c.serial;
        if (!linkDir.isEmpty())
            c.linkPath = QDir(linkDir).absoluteFilePath(QStringLiteral("sensor-%1").arg(c.serial));
        auto sensor = std::make_unique<SimulatedSensor>(c);
        if (f.size() == 4) {
            for (const QString& name : f[3].split(QLatin1Char(','), Qt::SkipEmptyParts)) {
                if (!applyFault(name, *sensor))
                    return fail("unknown fault " + name);
            }
        }
        QString error;
        if (!sensor->start(&error))
            return fail(error);
        std::printf("%u %d %s\n", c.serial, c.baudRate, qPrintable(sensor->portPath()));
        sensors.push_back(std::move(sensor));
    }
    std::printf("ready\n");
    std::fflush(stdout);

    std::signal(SIGINT, onSignal);
    std::signal(SIGTERM, onSignal);
    using Clock = std::chrono::steady_clock;
    const auto started = Clock::now();
    const double seconds = cli.isSet("seconds") ? cli.value("seconds").toDouble() : -1.0;
    const double vanishEvery = cli.isSet("vanish-every") ? cli.value("vanish-every").toDouble() : -1.0;
    auto nextToggle = started + std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(vanishEvery));
    bool present = true;
    std::vector<int> reported(sensors.size(), 0);
    int status = 0;
    while (!gStop) {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        for (size_t i = 0; i < sensors.size(); ++i) {
            if (!reportWrites(*sensors[i], &reported[i], writeLog.get()) && status == 0) {
                std::fprintf(stderr, "sensorsim: cannot write to %s\n", qPrintable(cli.value("write-log")));
                status = 1;
            }
        }
        const auto now = Clock::now();
        if (seconds >= 0 && now - started >= std::chrono::duration<double>(seconds))
            break;
        if (vanishEvery > 0 && now >= nextToggle) {
            present = !present;
            for (auto& s : sensors) {
                if (present)
                    s->reappear();
                else
                    s->vanish();
            }
            std::printf("%s\n", present ? "replugged" : "unplugged");
            std::fflush(stdout);
            nextToggle = now + std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(vanishEvery));
        }
    }
    for (size_t i = 0; i < sensors.size(); ++i) {
        auto& s = sensors[i];
        s->stop();
        if (!reportWrites(*s, &reported[i], writeLog.get()))
            status = 1;
        std::printf("sent %u %llu %llu\n", s->config().serial, static_cast<unsigned long long>(s->framesSent()),
                    static_cast<unsigned long long>(s->framesWithTailMarker()));
    }
    std::fflush(stdout);
    return status;
}
