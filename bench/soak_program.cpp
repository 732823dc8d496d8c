// Long runs of the whole program under Xvfb with both simulators, every
// device recorded.
//   soak_program soak [minutes]   8 serial devices at 200 frames/s and two
//                                 receivers with 17 nodes at 100 frames/s:
//                                 frames recorded equal frames sent, memory
//                                 steady, views refreshed.
//   soak_program fault [seconds]  devices vanishing and returning, garbage
//                                 and bad checksums, a silent device, a
//                                 receiver pulled and replugged, stalled
//                                 while plugged in and held by another
//                                 program for 3 s, a recording
//                                 directory that becomes unwritable: the
//                                 program keeps running and every surviving
//                                 device keeps streaming.
// Prints its figures; exits non-zero when a check fails.
#include "ProgramStart.h"
#include "ProgramHarness.h"

#include "DockDeviceList.h"
#include "SLDevice.h"
#include "Strideloom.h"
#include "ToolBarFileOperation.h"
#include "UpdateUIThread.h"
#include "UsbStatusLabel.h"
#include "SuitNode.h"
#include "kvusb.h"
#include "usbsim.h"

#include <libusb.h>

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QStatusBar>
#include <QTableWidget>
#include <QTextStream>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <unistd.h>

namespace {

int failures = 0;
// The figures; standard output itself carries the libraries' log lines.
std::FILE* out = stdout;

void check(bool ok, const QString& what)
{
    std::fprintf(out, "  [%s] %s\n", ok ? "ok" : "FAIL", qPrintable(what));
    std::fflush(out);
    if (!ok)
        ++failures;
}

// Frames the program's USB library has taken in for a suit, over its nodes.
uint64_t suitFrames(ProgramHarness& h, uint32_t suitNumber)
{
    MotionCaptureSuit* suit = h.window()->usb() ? h.window()->usb()->getMotionCaptureSuit(suitNumber) : nullptr;
    uint64_t total = 0;
    SuitNode node(0, 0);
    for (unsigned position = 0; suit && suit->copyNode(position, node); ++position)
        total += node.packetCount;
    return total;
}

// Whether the suit's frame count grows within a second.
bool suitFramesGrow(ProgramHarness& h, uint32_t suitNumber)
{
    const uint64_t before = suitFrames(h, suitNumber);
    ProgramHarness::waitMs(1000);
    return suitFrames(h, suitNumber) > before;
}

bool isUsbKey(const QString& key, std::initializer_list<uint32_t> suits)
{
    for (uint32_t suit : suits)
        if ((key.toULong() >> 8) == suit)
            return true;
    return false;
}

// Data lines per device key in the recordings of a directory.
std::map<QString, long> recordedLines(const QString& dir)
{
    std::map<QString, long> lines;
    for (const QFileInfo& info : QDir(dir).entryInfoList(QDir::Files)) {
        const QString key = info.completeBaseName().section(QLatin1Char('_'), -1);
        QFile f(info.filePath());
        if (!f.open(QIODevice::ReadOnly))
            continue;
        long n = -1;  // the header record
        while (!f.atEnd()) {
            f.readLine();
            ++n;
        }
        lines[key] += n;
    }
    return lines;
}

class Recording
{
public:
    Recording(ProgramHarness& h, const QString& dir) : harness(h), path(dir)
    {
        QDir().mkpath(dir);
        ToolBarFileOperation* files = h.window()->fileToolBar();
        files->pathCombo()->setCurrentText(dir);
        files->exportAction()->trigger();
        ProgramHarness::waitMs(200);
    }
    void stop()
    {
        harness.window()->fileToolBar()->exportAction()->trigger();
        ProgramHarness::waitMs(300);
    }

private:
    ProgramHarness& harness;
    QString path;
};

QStringList serialKeys(ProgramHarness& h)
{
    QStringList keys;
    for (int row : h.rowsOfType("Serial Port")) {
        const QString hex = h.table()->item(row, 0)->text();
        keys << QString::number(hex.mid(2).toUInt(nullptr, 16));
    }
    return keys;
}

void streamSerial(ProgramHarness& h, const QStringList& keys, bool on)
{
    for (const QString& key : keys) {
        if (on)
            h.window()->device()->SerialPortCmd_REQRTTRANS(key, 200);
        else
            h.window()->device()->SerialPortCmd_STOPRTTRANS(key);
    }
}

int soak(ProgramHarness& h, int minutes)
{
    const int devices = 8;
    usbsim_reset();
    const int routerA = usbsim_add_router(0x2001, 0, 17, 100);
    const int routerB = usbsim_add_router(0x2002, 0, 17, 100);
    QStringList args{"--no-stream"};
    for (int i = 0; i < devices; ++i)
        args << "--device" << QStringLiteral("%1:%2:200").arg(9200 + i).arg(i % 2 ? 460800 : 1500000);
    check(h.startSensors(args, devices), "8 simulated serial devices started");
    check(h.startProgram() > 0, "program shown");
    const bool found = h.discover(devices);
    check(found, "8 serial devices found");
    ProgramHarness::waitMs(3000);  // every node's first frame makes its row
    check(h.rowsOfType("Router Device").size() == 34, QStringLiteral("34 USB node rows (%1)").arg(h.rowsOfType("Router Device").size()));

    std::atomic<long> refreshes{0};
    QObject::connect(h.window()->refreshThread(), &UpdateUIThread::updateUI, h.window(), [&] { ++refreshes; });
    h.check(h.rowsOfType("Serial Port") + h.rowsOfType("Router Device"));
    h.select(h.rowsOfType("Serial Port").first());
    usbsim_set_silent(routerA, 1);
    usbsim_set_silent(routerB, 1);
    ProgramHarness::waitMs(1000);
    const unsigned long long usbBefore = usbsim_frames_sent(routerA) + usbsim_frames_sent(routerB);

    const QString dir = h.workPath() + QStringLiteral("/soak");
    Recording recording(h, dir);
    const QStringList keys = serialKeys(h);
    streamSerial(h, keys, true);
    usbsim_set_silent(routerA, 0);
    usbsim_set_silent(routerB, 0);

    long rssAfterMinute = 0;
    double minRefresh = 1e9;
    const double cpu0 = ProgramHarness::cpuSeconds();
    QElapsedTimer clock;
    clock.start();
    for (int m = 0; m < minutes; ++m) {
        const long r0 = refreshes.load();
        ProgramHarness::waitMs(60000);
        const double rate = (refreshes.load() - r0) / 60.0;
        minRefresh = std::min(minRefresh, rate);
        if (m == 0)
            rssAfterMinute = ProgramHarness::residentKb();
        std::fprintf(out, "  minute %d: resident %ld KiB, views refreshed %.1f/s\n", m + 1, ProgramHarness::residentKb(),
                    rate);
        std::fflush(out);
    }
    const double cpu = (ProgramHarness::cpuSeconds() - cpu0) / (clock.elapsed() / 1000.0);
    const long rssEnd = ProgramHarness::residentKb();
    streamSerial(h, keys, false);
    usbsim_set_silent(routerA, 1);
    usbsim_set_silent(routerB, 1);
    ProgramHarness::waitMs(2000);
    recording.stop();
    const unsigned long long usbSent = usbsim_frames_sent(routerA) + usbsim_frames_sent(routerB) - usbBefore;
    const std::map<QString, long> sent = h.stopSensors();
    const std::map<QString, long> lines = recordedLines(dir);

    long serialSent = 0, serialRecorded = 0, usbRecorded = 0;
    for (const auto& kv : sent)
        serialSent += kv.second;
    for (const auto& kv : lines) {
        if (isUsbKey(kv.first, {0x2001, 0x2002}))
            usbRecorded += kv.second;
        else
            serialRecorded += kv.second;
    }
    for (const auto& kv : sent) {
        const auto it = lines.find(kv.first);
        const long got = it == lines.end() ? 0 : it->second;
        if (got != kv.second)
            std::fprintf(out, "  device %s: sent %ld, recorded %ld\n", qPrintable(kv.first), kv.second, got);
    }
    std::fprintf(out, "soak of %d min: serial sent %ld recorded %ld; USB sent %llu recorded %ld; CPU %.1f %% of one core\n",
                minutes, serialSent, serialRecorded, usbSent, usbRecorded, cpu * 100.0);
    check(serialSent > 0 && serialRecorded == serialSent, "every serial frame sent was recorded");
    check(usbSent > 0 && (unsigned long long)usbRecorded == usbSent, "every USB frame sent was recorded");
    if (minutes > 1)
        check(rssEnd <= rssAfterMinute * 105 / 100,
              QStringLiteral("resident memory %1 KiB at the end, %2 KiB after the first minute").arg(rssEnd).arg(rssAfterMinute));
    check(minRefresh >= 20, QStringLiteral("views refreshed at least 20 times a second (lowest %1/s)").arg(minRefresh, 0, 'f', 1));
    return failures;
}

int fault(ProgramHarness& h, int seconds)
{
    usbsim_reset();
    const int router = usbsim_add_router(0x3001, 0, 17, 100);
    // Steady devices with noisy lines, a silent one, and two that vanish.
    check(h.startSensors({"--bad-crc", "10", "--device", "9301:1500000:200:garbage", "--device",
                          "9302:460800:200:badcrc", "--device", "9303:115200:200", "--device", "9304:1500000:200:mute"},
                         4),
          "steady simulated devices started");
    // Stable names: a device that returns gets a new terminal behind its link.
    check(h.startSensors({"--link-dir", h.workPath() + QStringLiteral("/ports"), "--vanish-every", "8", "--device", "9311:460800:200", "--device", "9312:1500000:200"}, 2),
          "vanishing simulated devices started");
    QElapsedTimer vanishClock;  // present for 8 s, gone for 8 s, from now on
    vanishClock.start();
    check(h.startProgram() > 0, "program shown");
    const bool found = h.discover(3);
    check(found, QStringLiteral("serial devices found (%1)").arg(h.rowsOfType("Serial Port").size()));
    ProgramHarness::waitMs(2000);
    h.check(h.rowsOfType("Serial Port") + h.rowsOfType("Router Device"));
    const QString dir = h.workPath() + QStringLiteral("/fault");
    Recording recording(h, dir);

    QElapsedTimer clock;
    clock.start();
    ProgramHarness::waitMs(seconds * 250);
    std::fprintf(out, "  pulling the USB receiver\n");
    usbsim_unplug(router);
    ProgramHarness::waitMs(2000);
    std::fprintf(out, "  replugging it into another port\n");
    usbsim_plug(router, 2, 9);
    ProgramHarness::waitMs(seconds * 250);

    // Still plugged in, the receiver stalls: it is opened again by itself
    // and its node rows continue.
    std::fprintf(out, "  stalling the USB receiver while plugged in\n");
    const int usbRows = h.rowsOfType("Router Device").size();
    const int opens = usbsim_open_count(router);
    usbsim_fail_transfer(router, 0x81, 1, LIBUSB_ERROR_PIPE, -1);
    ProgramHarness::waitMs(3000);
    check(usbsim_open_count(router) > opens, "the stalled receiver is opened again without a replug");
    check(suitFramesGrow(h, 0x3001), "its suit's frames flow again after the stall");
    // Another program holds it for 3 s when it is opened next.
    std::fprintf(out, "  another program holds the USB receiver for 3 s\n");
    usbsim_set_held(router, 1);
    usbsim_fail_transfer(router, 0x81, 1, LIBUSB_ERROR_IO, -1);
    ProgramHarness::waitMs(3000);
    const auto* usbStatus = h.window()->statusBar()->findChild<UsbStatusLabel*>();
    const QString shown = usbStatus ? usbStatus->text() : QString();
    check(shown.contains(QString::fromUtf8("其他程序占用")), QStringLiteral("the status bar says so (%1)").arg(shown));
    const int heldOpens = usbsim_open_count(router);
    usbsim_set_held(router, 0);
    ProgramHarness::waitMs(6000);
    check(usbsim_open_count(router) > heldOpens, "the released receiver is opened without a replug");
    check(suitFramesGrow(h, 0x3001), "its suit's frames flow again after the release");
    check(h.rowsOfType("Router Device").size() == usbRows,
          QStringLiteral("the USB node rows stay (%1)").arg(h.rowsOfType("Router Device").size()));

    // The vanished devices are back in the next present period; a new
    // discovery finds them again.
    while (vanishClock.elapsed() % 16000 < 500 || vanishClock.elapsed() % 16000 > 1500)
        ProgramHarness::waitMs(100);
    const int serialBefore = h.rowsOfType("Serial Port").size();
    h.rediscover();
    check(h.rowsOfType("Serial Port").size() >= 5,
          QStringLiteral("a new discovery finds the returned devices (%1 serial rows, %2 before)")
              .arg(h.rowsOfType("Serial Port").size())
              .arg(serialBefore));
    h.check(h.rowsOfType("Serial Port"));

    // The recording directory becomes unwritable while recording (moved
    // away, a plain file in its place, which even root cannot write into):
    // the open files keep their data and a new recording there is refused.
    QDir().rename(dir, dir + QStringLiteral(".moved"));
    {
        QFile blocker(dir);
        blocker.open(QIODevice::WriteOnly);
    }
    ProgramHarness::waitMs(1000);
    recording.stop();
    const std::map<QString, long> before = recordedLines(dir + QStringLiteral(".moved"));
    const int boxes = h.infoBoxTexts().size();
    Recording refused(h, dir);
    ProgramHarness::waitMs(1000);
    check(h.infoBoxTexts().size() > boxes, QStringLiteral("an unwritable directory is reported (%1)")
                                               .arg(h.infoBoxTexts().value(h.infoBoxTexts().size() - 1)));
    refused.stop();

    // Everything that survived still streams into a new recording.
    const QString after = h.workPath() + QStringLiteral("/fault-after");
    Recording second(h, after);
    ProgramHarness::waitMs(seconds * 250);
    second.stop();
    const std::map<QString, long> lines = recordedLines(after);
    for (const auto& kv : lines) {
        if (!isUsbKey(kv.first, {0x3001}))
            std::fprintf(out, "  device %s: %ld lines before, %ld after\n", qPrintable(kv.first),
                         before.count(kv.first) ? before.at(kv.first) : 0, kv.second);
    }
    long serialFiles = 0, usbFiles = 0;
    for (const auto& kv : lines) {
        if (kv.second <= 0)
            continue;
        if (isUsbKey(kv.first, {0x3001}))
            ++usbFiles;
        else
            ++serialFiles;
    }
    std::fprintf(out, "fault run of %d s: %zu devices recorded before, %ld serial and %ld USB nodes streaming after\n",
                seconds, before.size(), serialFiles, usbFiles);
    check(lines.count(QStringLiteral("9302")) && lines.at(QStringLiteral("9302")) > 0,
          "the device with bad checksums keeps streaming");
    check(lines.count(QStringLiteral("9303")) && lines.at(QStringLiteral("9303")) > 0, "the clean device keeps streaming");
    check(lines.count(QStringLiteral("9301")) && lines.at(QStringLiteral("9301")) > 0,
          "the device with garbage between frames keeps streaming");
    check(usbFiles == 17, "all 17 USB nodes stream again after the replug");
    check(h.rowsOfType("Serial Port").size() >= 3, "the serial rows are still listed");
    h.stopSensors();
    return failures;
}

} // namespace

int main(int argc, char** argv)
{
    // As the program's own main does.
    prepareProgramStart();
    QApplication app(argc, argv);
    const QString mode = argc > 1 ? QString::fromLatin1(argv[1]) : QString();
    // Keep the program's own log lines for the record, apart from the figures.
    const QString log = QDir::temp().filePath(QStringLiteral("strideloom-%1.log").arg(mode));
    std::FILE* logFile = std::fopen(qPrintable(log), "w");
    static std::FILE* sink = logFile;
    out = fdopen(dup(STDOUT_FILENO), "w");
    if (logFile)
        dup2(fileno(logFile), STDOUT_FILENO);
    qInstallMessageHandler([](QtMsgType, const QMessageLogContext&, const QString& text) {
        if (sink)
            std::fprintf(sink, "%s\n", qPrintable(text));
    });
    ProgramHarness harness;
    harness.acceptInfoBoxes();
    int failed;
    if (mode == QLatin1String("soak")) {
        failed = soak(harness, argc > 2 ? std::atoi(argv[2]) : 10);
    } else if (mode == QLatin1String("fault")) {
        failed = fault(harness, argc > 2 ? std::atoi(argv[2]) : 120);
    } else {
        std::fprintf(stderr, "usage: soak_program soak [minutes] | fault [seconds]\n");
        return 2;
    }
    std::fprintf(out, "%s: %s (program log in %s)\n", qPrintable(mode), failed ? "FAILED" : "passed", qPrintable(log));
    return failed ? 1 : 0;
}
