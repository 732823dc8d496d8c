// USB receivers at full load: R simulated routers, each relaying a suit of
// 17 nodes at 100 frames per node and second, read by the library's workers
// and handed queued to a receiver on the main thread, as in the program.
// Prints frames sent, frames counted into the suits, frames that reached
// the main thread, and the process's CPU time.
#include "MotionCaptureSuit.h"
#include "SuitNode.h"
#include "kvusb.h"
#include "usbsim.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QThread>
#include <QTimer>
#include <cstdio>
#include <cstdlib>
#include <sys/resource.h>
#include <vector>

namespace {

class FrameCounter : public QObject
{
    Q_OBJECT
public:
    long long frames = 0;
public slots:
    void onFrame(const SensorFrame&) { ++frames; }
};

double cpuSeconds()
{
    rusage u;
    getrusage(RUSAGE_SELF, &u);
    return double(u.ru_utime.tv_sec + u.ru_stime.tv_sec) + (u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

// Runs the event loop for ms milliseconds without spinning.
void spin(int ms)
{
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const int seconds = argc > 1 ? std::atoi(argv[1]) : 10;
    const int routers = argc > 2 ? std::atoi(argv[2]) : 4;
    qRegisterMetaType<SensorFrame>("SensorFrame");
    qRegisterMetaType<uint32_t>("uint32_t");

    usbsim_reset();
    std::vector<int> ids;
    for (int r = 0; r < routers; ++r)
        ids.push_back(usbsim_add_router(0x1000u + uint32_t(r), 0, 17, 100));

    // The library's own log lines would cost more than the reading itself.
    std::FILE* quiet = std::freopen("/dev/null", "w", stdout);
    (void)quiet;
    FrameCounter counter;
    kvusb usb;
    // Connected on the worker's thread as the suit is announced, so every
    // frame after the first reaches the counter (queued, as in the program).
    QObject::connect(
        &usb, &kvusb::newSuitCreated, &counter,
        [&](MotionCaptureSuit_Property, uint32_t number) {
            if (MotionCaptureSuit* suit = usb.getMotionCaptureSuit(number))
                QObject::connect(suit, SIGNAL(newDatafromSuit(SensorFrame)), &counter, SLOT(onFrame(SensorFrame)),
                                 Qt::QueuedConnection);
        },
        Qt::DirectConnection);
    usb.initUSB();
    // Every router is opened on its own poll, one per ~334 ms.
    QElapsedTimer wait;
    wait.start();
    while (usb.suitCount() < routers && wait.elapsed() < 10000)
        spin(50);
    spin(500);

    unsigned long long sentBefore = 0;
    for (int id : ids)
        sentBefore += usbsim_frames_sent(id);
    const long long receivedBefore = counter.frames;
    const double cpuBefore = cpuSeconds();
    QElapsedTimer run;
    run.start();
    spin(seconds * 1000);
    // Silence the routers, then let what is in flight arrive.
    for (int id : ids)
        usbsim_set_silent(id, 1);
    spin(500);
    const double elapsed = run.elapsed() / 1000.0;
    const double cpu = cpuSeconds() - cpuBefore;

    unsigned long long sent = 0;
    for (int id : ids)
        sent += usbsim_frames_sent(id);
    unsigned long long intoSuits = 0;
    for (int r = 0; r < routers; ++r) {
        MotionCaptureSuit* suit = usb.getMotionCaptureSuit(0x1000u + uint32_t(r));
        for (unsigned p = 0; suit && p < 17; ++p) {
            SuitNode n(0, 0);
            if (suit->copyNode(p, n))
                intoSuits += n.packetCount;
        }
    }
    // The first frame of each suit is counted before anyone can connect.
    const unsigned long long intoMain = (unsigned long long)(counter.frames) + unsigned(routers);
    const unsigned long long window = sent - sentBefore;
    const unsigned long long windowMain = (unsigned long long)(counter.frames - receivedBefore);
    std::fprintf(stderr, "routers %d x 17 nodes x 100 Hz, %.1f s measured\n", routers, elapsed);
    std::fprintf(stderr, "  frames sent        %llu (%.0f/s in the window)\n", sent, window / elapsed);
    std::fprintf(stderr, "  into the suits     %llu (lost %lld)\n", intoSuits, (long long)(sent - intoSuits));
    std::fprintf(stderr, "  into main thread   %llu (%.0f/s, lost %lld)\n", intoMain, windowMain / elapsed,
                 (long long)(sent - intoMain));
    std::fprintf(stderr, "  CPU                %.1f %% of one core\n", 100.0 * cpu / elapsed);
    return sent == intoSuits && sent == intoMain ? 0 : 1;
}

#include "bench_usbstream.moc"
