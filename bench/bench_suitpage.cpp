// The suit page beside the 3D page: CPU of the program while one suit of 17
// nodes streams 100 frames/s per node (the receiver simulator in-process,
// a person walking) and one page is shown.
//   bench_suitpage [seconds per page] (run under Xvfb)
#include "MainView.h"
#include "ProgramHarness.h"
#include "ProgramStart.h"
#include "Strideloom.h"
#include "SuitCapture.h"
#include "TabSuitWidget.h"
#include "usbsim.h"

#include <QApplication>
#include <QElapsedTimer>
#include <cstdio>
#include <cstdlib>

namespace {

double cpuOfPage(ProgramHarness& harness, int page, int seconds)
{
    harness.window()->mainView()->showPage(page);
    ProgramHarness::waitMs(2000);
    const double cpu0 = ProgramHarness::cpuSeconds();
    ProgramHarness::waitMs(seconds * 1000);
    return (ProgramHarness::cpuSeconds() - cpu0) / seconds * 100.0;
}

} // namespace

int main(int argc, char** argv)
{
    prepareProgramStart();
    QApplication app(argc, argv);
    const int seconds = argc > 1 ? std::atoi(argv[1]) : 10;
    qInstallMessageHandler([](QtMsgType, const QMessageLogContext&, const QString&) {});
    usbsim_reset();
    const int router = usbsim_add_router(0x1234, 0, 17, 100);
    usbsim_set_walking(router, nullptr);
    ProgramHarness harness;
    if (harness.startProgram() < 0) {
        std::fprintf(stderr, "the program did not start\n");
        return 1;
    }
    for (int i = 0; i < 100 && harness.rowsOfType("Router Device").size() < 17; ++i)
        ProgramHarness::waitMs(100);
    if (harness.rowsOfType("Router Device").size() < 17) {
        std::fprintf(stderr, "the suit's 17 nodes did not appear\n");
        return 1;
    }
    harness.select(harness.rowsOfType("Router Device").first());
    const unsigned long long sent0 = usbsim_frames_sent(router);
    QElapsedTimer clock;
    clock.start();
    const double basic = cpuOfPage(harness, MainView::PageBasic, seconds);
    const double page3d = cpuOfPage(harness, MainView::Page3D, seconds);
    const double raw = cpuOfPage(harness, MainView::PageSuit, seconds);
    TabSuitWidget* suit = harness.window()->mainView()->pageSuit();
    usbsim_walk_tpose(router, 5.0);
    suit->currentCapture()->startTPose(500, 1000);
    ProgramHarness::waitMs(2000);
    const bool aligned = suit->currentCapture()->state() == SuitCapture::Aligned;
    const double alignedCpu = cpuOfPage(harness, MainView::PageSuit, seconds);
    const double rate = double(usbsim_frames_sent(router) - sent0) / (clock.elapsed() / 1000.0);
    std::printf("one suit, 17 nodes x 100 Hz (%.0f frames/s arrived from the simulator), CPU of one core:\n", rate);
    std::printf("  basic data page          %.1f %%\n", basic);
    std::printf("  3D page                  %.1f %%\n", page3d);
    std::printf("  suit page, not aligned   %.1f %%\n", raw);
    std::printf("  suit page, aligned       %.1f %%%s\n", alignedCpu, aligned ? "" : " (alignment failed)");
    return 0;
}
