// The whole program as a user runs it: its own process, a 1600 × 1000
// window under Xvfb, the sensors in a sensorsim process beside it. Prints
// the start-up time, then the program's CPU, the X server's CPU (when
// XVFB_PID names it) and the resident memory while the devices stream and
// the accelerometer/gyroscope/magnetometer page of one of them is shown.
//   bench_program [seconds] [serial devices] [--usb]
//   --usb: one suit of 17 nodes at 100 frames/s instead (the receiver
//   stand-in is linked in; one node is shown).
#include "ProgramStart.h"
#include "ProgramHarness.h"
#include "Strideloom.h"
#include "usbsim.h"

#include <QApplication>
#include <QFile>
#include <QTableWidget>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <unistd.h>

namespace {

// CPU seconds of another process, from /proc; -1 when it cannot be read.
double processCpuSeconds(long pid)
{
    QFile f(QStringLiteral("/proc/%1/stat").arg(pid));
    if (pid <= 0 || !f.open(QIODevice::ReadOnly))
        return -1;
    const QByteArray stat = f.readAll();
    // Fields after the command name, which may itself hold blanks.
    const QList<QByteArray> fields = stat.mid(stat.lastIndexOf(')') + 2).split(' ');
    if (fields.size() < 13)
        return -1;
    return double(fields[11].toLongLong() + fields[12].toLongLong()) / double(sysconf(_SC_CLK_TCK));
}

} // namespace

int main(int argc, char** argv)
{
    prepareProgramStart();
    QApplication app(argc, argv);
    const int seconds = argc > 1 ? std::atoi(argv[1]) : 10;
    const int devices = argc > 2 ? std::atoi(argv[2]) : 8;
    const bool usb = argc > 3 && std::strcmp(argv[3], "--usb") == 0;
    // The libraries' diagnostics would cost the program more than a
    // terminal does; keep standard output for the figures only.
    qInstallMessageHandler([](QtMsgType, const QMessageLogContext&, const QString&) {});

    ProgramHarness harness;
    double startup = -1;
    if (usb) {
        usbsim_reset();
        usbsim_add_router(0x21, 0, 17, 100);
        startup = harness.startProgram();
        while (harness.rowsOfType("Router Device").size() < 17)
            ProgramHarness::waitMs(100);
        harness.select(harness.rowsOfType("Router Device").first());
    } else {
        QStringList args;
        for (int i = 0; i < devices; ++i)
            args << "--device" << QStringLiteral("%1:%2:200").arg(9100 + i).arg(i % 2 ? 460800 : 1500000);
        if (!harness.startSensors(args, devices)) {
            std::fprintf(stderr, "the simulator did not start\n");
            return 1;
        }
        startup = harness.startProgram();
        if (startup < 0 || !harness.discover(devices)) {
            std::fprintf(stderr, "the program found %d of %d devices\n", harness.rowsOfType("Serial Port").size(),
                         devices);
            return 1;
        }
        harness.select(harness.rowsOfType("Serial Port").first());
    }
    harness.window()->resize(1600, 1000);
    ProgramHarness::waitMs(3000);
    const long xPid = qEnvironmentVariableIntValue("XVFB_PID");
    const double cpu0 = ProgramHarness::cpuSeconds();
    const double x0 = processCpuSeconds(xPid);
    ProgramHarness::waitMs(seconds * 1000);
    const double cpu = (ProgramHarness::cpuSeconds() - cpu0) / seconds;
    const double x = x0 >= 0 ? (processCpuSeconds(xPid) - x0) / seconds : -0.01;
    std::printf("start-up to a shown window: %.0f ms\n", startup);
    if (usb)
        std::printf("17 nodes x 100 Hz streaming, one shown:");
    else
        std::printf("%d devices x 200 Hz streaming, one shown:", devices);
    std::printf(" CPU %.1f %% of one core, X server %.1f %%, resident %ld KiB\n", cpu * 100.0, x * 100.0,
                ProgramHarness::residentKb());
    return 0;
}
