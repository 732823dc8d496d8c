// The whole program: start-up time to a shown window, and the CPU of the
// program while 8 serial devices stream at 200 frames/s and it shows one.
//   bench_program [seconds] (sensorsim beside this program; run under Xvfb)
#include "ProgramStart.h"
#include "ProgramHarness.h"

#include <QApplication>
#include <cstdio>
#include <cstdlib>

int main(int argc, char** argv)
{
    // As the program's own main does.
    prepareProgramStart();
    QApplication app(argc, argv);
    const int seconds = argc > 1 ? std::atoi(argv[1]) : 10;
    // The libraries' diagnostics would cost the program more than a
    // terminal does; keep standard output for the figures only.
    qInstallMessageHandler([](QtMsgType, const QMessageLogContext&, const QString&) {});
    const int devices = 8;

    ProgramHarness harness;
    QStringList args;
    for (int i = 0; i < devices; ++i)
        args << "--device" << QStringLiteral("%1:%2:200").arg(9100 + i).arg(i % 2 ? 460800 : 1500000);
    if (!harness.startSensors(args, devices)) {
        std::fprintf(stderr, "the simulator did not start\n");
        return 1;
    }
    const double startup = harness.startProgram();
    if (startup < 0 || !harness.discover(devices)) {
        std::fprintf(stderr, "the program did not show %d devices\n", devices);
        return 1;
    }
    harness.select(harness.rowsOfType("Serial Port").first());
    ProgramHarness::waitMs(3000);
    const double cpu0 = ProgramHarness::cpuSeconds();
    ProgramHarness::waitMs(seconds * 1000);
    const double cpu = (ProgramHarness::cpuSeconds() - cpu0) / seconds;
    std::printf("start-up to a shown window: %.0f ms\n", startup);
    std::printf("%d devices x 200 Hz streaming, one shown: CPU %.1f %% of one core, resident %ld KiB\n", devices,
                cpu * 100.0, ProgramHarness::residentKb());
    return 0;
}
