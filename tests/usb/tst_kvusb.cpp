#include "KVUSBDeviceHierarchy.h"
#include "MotionCaptureSuit.h"
#include "QueuedRelay.h"
#include "StdoutCapture.h"
#include "SuitNode.h"
#include "USBReadWorker.h"
#include "kvusb.h"
#include "usbsim.h"

#include <libusb.h>

#include <QtTest>
#include <cstring>
#include <memory>

Q_DECLARE_METATYPE(std::string)

namespace {

QByteArray lastRequest(int id, int back = 0)
{
    QByteArray out(512, 0);
    if (usbsim_last_request(id, back, reinterpret_cast<uint8_t*>(out.data())) != 0)
        return QByteArray();
    return out;
}

QByteArray instruction(int id, int index)
{
    QByteArray out(70, 0);
    if (usbsim_instruction(id, index, reinterpret_cast<uint8_t*>(out.data())) != 0)
        return QByteArray();
    return out;
}

// The instruction the router confirmed last with 0x74 0x01.
QByteArray lastConfirmed(int id)
{
    QByteArray out(70, 0);
    if (usbsim_acknowledged(id, usbsim_acknowledged_count(id) - 1, reinterpret_cast<uint8_t*>(out.data())) != 0)
        return QByteArray();
    return out;
}

QByteArray bytes(std::initializer_list<int> list)
{
    QByteArray b;
    for (int v : list)
        b.append(char(v));
    return b;
}

uint64_t packetCount(MotionCaptureSuit* suit, unsigned position)
{
    SuitNode n(0, 0);
    return suit->copyNode(position, n) ? n.packetCount : 0;
}

} // namespace

class TestKvusb : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void cleanup();
    void nothingAttached();
    void routerAndPlateOnePerPoll();
    void unplugAndReplugElsewhere();
    void routerHeldByOtherSoftware();
    void noPermissionNamesTheUdevRule();
    void kernelDriverIsDetachedWhileReading();
    void stallWhilePluggedReopensTheRouter();
    void backoffGrowsUntilTheRouterReadsSteadily();
    void quickReenumerationIsFollowed();
    void instructionsQueueInOrder();
    void partialAnswerWithTimeout();
    void onePollPerAnswer();
    void pollsAndFramesReachTheSuit();
    void instructionUntilAcknowledged();
    void negativeAcknowledgementKeepsItPending();
    void staleAcknowledgementDoesNotCompleteANewInstruction();
    void lateAcknowledgementCompletesOnlyItsOwnRequest();
    void instructionsWithoutRouter();
    void secondSuitOnOneRouter();
    void shortTransferIsDropped();
    void destructionStopsEverything();

private:
    std::unique_ptr<kvusb> usb;
};

void TestKvusb::initTestCase()
{
    qRegisterMetaType<SensorFrame>("SensorFrame");
    qRegisterMetaType<MotionCaptureSuit_Property>("MotionCaptureSuit_Property");
    qRegisterMetaType<uint32_t>("uint32_t");
    qRegisterMetaType<std::string>("std::string");
}

void TestKvusb::init()
{
    usbsim_reset();
}

void TestKvusb::cleanup()
{
    usb.reset();
    QCOMPARE(usbsim_open_handles(), 0);
    QCOMPARE(usbsim_referenced_devices(), 0);
    QCOMPARE(usbsim_context_refs(), 0);
    QCOMPARE(usbsim_unclaimed_transfers(), 0);
}

void TestKvusb::nothingAttached()
{
    StdoutCapture out;
    usb = std::make_unique<kvusb>();
    QueuedRelay countRelay(usb.get(), SIGNAL(usbPlugedUnpluged(uint32_t)));
    QSignalSpy count(&countRelay, SIGNAL(usbPlugedUnpluged(uint32_t)));
    usb->initUSB();
    QTest::qWait(800);
    QCOMPARE(count.count(), 0);
    QCOMPARE(out.text(), QString());
}

void TestKvusb::routerAndPlateOnePerPoll()
{
    const int router = usbsim_add_router(0x1234, 0, 2, 20);
    const int plate = usbsim_add_device(0x1483, 0x5752);
    const int foreign = usbsim_add_device(0x1483, 0x1111);
    usb = std::make_unique<kvusb>();
    QueuedRelay countRelay(usb.get(), SIGNAL(usbPlugedUnpluged(uint32_t)));
    QSignalSpy count(&countRelay, SIGNAL(usbPlugedUnpluged(uint32_t)));
    StdoutCapture out;
    usb->initUSB();
    QTRY_COMPARE_WITH_TIMEOUT(count.count(), 2, 10000);
    QCOMPARE(count.at(0).at(0).toUInt(), 1u);
    QCOMPARE(count.at(1).at(0).toUInt(), 2u);
    // The one listed last comes first.
    const QString text = out.text();
    const int plateAt = text.indexOf("KORVANT Q3 ChargePlate 01");
    const int routerAt = text.indexOf("KORVANT Q3 Router 01");
    QVERIFY2(plateAt >= 0 && routerAt > plateAt, qPrintable(text));
    QVERIFY(text.contains("New Device Added!\r\nDetect Device Change, add device:DeviceHier:<BUS:PORT:DEVICE:ROLE:STAT>"));
    QTRY_COMPARE(usbsim_open_count(router), 1);
    QTest::qWait(400);
    QCOMPARE(count.count(), 2);
    QCOMPARE(usb->knownDeviceCount(), 2);
    QCOMPARE(usbsim_open_count(plate), 0);
    QCOMPARE(usbsim_open_count(foreign), 0);
    QVERIFY(out.text().contains("[INFO]<TIME:"));
    QVERIFY(out.text().contains("Create and start Thread for USB of :<REFCNT 1, BUS 01, PORT 01, DEVICE 02>\r\n"));
}

void TestKvusb::unplugAndReplugElsewhere()
{
    const int router = usbsim_add_router(0x2222, 0, 3, 50);
    usb = std::make_unique<kvusb>();
    QueuedRelay countRelay(usb.get(), SIGNAL(usbPlugedUnpluged(uint32_t)));
    QSignalSpy count(&countRelay, SIGNAL(usbPlugedUnpluged(uint32_t)));
    QueuedRelay createdRelay(usb.get(), SIGNAL(newSuitCreated(MotionCaptureSuit_Property, uint32_t)));
    QSignalSpy created(&createdRelay, SIGNAL(newSuitCreated(MotionCaptureSuit_Property, uint32_t)));
    usb->initUSB();
    QTRY_COMPARE_WITH_TIMEOUT(created.count(), 1, 10000);
    MotionCaptureSuit* suit = usb->getMotionCaptureSuit(0x2222);
    QVERIFY(suit);
    KVUSBDeviceHierarchy* first = usb->getUSBDHierBySuitNumber(0x2222);
    QVERIFY(first);
    QCOMPARE(suit->getPtrKVUSBDeviceHier(), first);

    StdoutCapture out;
    usbsim_unplug(router);
    QTRY_COMPARE_WITH_TIMEOUT(count.count(), 2, 10000);
    QCOMPARE(count.at(1).at(0).toUInt(), 0u);
    QTRY_VERIFY(out.text().contains("router unplug!!!\r\n"));
    QVERIFY(out.text().contains("[ERROR] Error No is: -4\r\n"));
    QVERIFY(out.text().contains("Some Device Disconnected!\r\nDetect Device Change, erase device:DeviceHier:"));
    QCOMPARE(suit->getPtrKVUSBDeviceHier(), nullptr);
    QVERIFY(!usb->getUSBDHierBySuitNumber(0x2222));
    const uint64_t before = packetCount(suit, 0);
    QVERIFY(before > 0);

    usbsim_plug(router, 2, 7);
    QTRY_COMPARE_WITH_TIMEOUT(count.count(), 3, 10000);
    QCOMPARE(count.at(2).at(0).toUInt(), 1u);
    QTRY_COMPARE(usbsim_open_count(router), 2);
    QTRY_VERIFY(packetCount(suit, 0) > before + 5);
    QCOMPARE(created.count(), 1);
    QCOMPARE(usb->suitCount(), 1);
    KVUSBDeviceHierarchy* second = usb->getUSBDHierBySuitNumber(0x2222);
    QTRY_VERIFY((second = usb->getUSBDHierBySuitNumber(0x2222)) != nullptr);
    QCOMPARE(int(second->bus), 2);
    QCOMPARE(int(second->port), 7);
    QCOMPARE(suit->getPtrKVUSBDeviceHier(), nullptr);  // not attached again
}

// On Linux another program's hold shows at the claim, not the open: the
// library retries with a growing back-off, says once what is wrong and
// opens the router when it is released, without a replug.
void TestKvusb::routerHeldByOtherSoftware()
{
    const int router = usbsim_add_router(0x3333, 0, 2, 50);
    usbsim_set_held(router, 1);
    usb = std::make_unique<kvusb>();
    QueuedRelay failedRelay(usb.get(), SIGNAL(usbOpenFailed(std::string)));
    QSignalSpy failed(&failedRelay, SIGNAL(usbOpenFailed(std::string)));
    QueuedRelay problemRelay(usb.get(), SIGNAL(usbRouterProblem(int, unsigned int)));
    QSignalSpy problem(&problemRelay, SIGNAL(usbRouterProblem(int, unsigned int)));
    StdoutCapture out;
    usb->initUSB();
    QTRY_COMPARE_WITH_TIMEOUT(failed.count(), 1, 10000);
    QCOMPARE(QString::fromStdString(failed.at(0).at(0).value<std::string>()),
             QStringLiteral("USB device is opened in other software.\r\n"));
    QTest::qWait(3000);
    // Each try is reported; a report may still be queued when the wait ends.
    QTRY_COMPARE(failed.count(), usbsim_open_count(router));
    // Tries after 1 s and 2 s, not three times a second.
    QVERIFY2(failed.count() >= 2 && failed.count() <= 3, qPrintable(QString::number(failed.count())));
    QCOMPARE(problem.count(), 1);
    QCOMPARE(problem.at(0).at(0).toInt(), int(kvusb::RouterHeldElsewhere));
    const QString text = out.text();
    QCOMPARE(text.count("held by another program"), 1);
    QVERIFY2(text.contains("LIBUSB_ERROR_BUSY, next try in 1000 ms.\r\n")
                 && text.contains("LIBUSB_ERROR_BUSY, next try in 2000 ms.\r\n"),
             qPrintable(text));
    usbsim_set_held(router, 0);
    QTRY_VERIFY_WITH_TIMEOUT(usb->getMotionCaptureSuit(0x3333), 12000);
    QTRY_COMPARE(problem.count(), 2);
    QCOMPARE(problem.at(1).at(0).toInt(), int(kvusb::RouterProblemSolved));
    QCOMPARE(usb->knownDeviceCount(), 1);
}

void TestKvusb::noPermissionNamesTheUdevRule()
{
    const int router = usbsim_add_router(0x3333, 0, 2, 50);
    usbsim_set_no_permission(router, 1);
    usb = std::make_unique<kvusb>();
    QueuedRelay problemRelay(usb.get(), SIGNAL(usbRouterProblem(int, unsigned int)));
    QSignalSpy problem(&problemRelay, SIGNAL(usbRouterProblem(int, unsigned int)));
    StdoutCapture out;
    usb->initUSB();
    QTRY_COMPARE_WITH_TIMEOUT(problem.count(), 1, 10000);
    QTest::qWait(1500);
    QCOMPARE(problem.count(), 1);
    QCOMPARE(problem.at(0).at(0).toInt(), int(kvusb::RouterNoPermission));
    QCOMPARE(out.text().count(QString::fromUtf8("no permission — see the udev rule in the README.\r\n")), 1);
    QVERIFY(!out.text().contains("other program"));
    QCOMPARE(usbsim_open_count(router), 0);
}

// A kernel driver bound to the interface is detached while the router is
// read and bound again when the library lets go.
void TestKvusb::kernelDriverIsDetachedWhileReading()
{
    const int router = usbsim_add_router(0x3334, 0, 2, 50);
    usbsim_set_kernel_driver(router, 1);
    usb = std::make_unique<kvusb>();
    usb->initUSB();
    QTRY_VERIFY_WITH_TIMEOUT(usb->getMotionCaptureSuit(0x3334), 10000);
    QCOMPARE(usbsim_kernel_driver(router), 0);
    usb.reset();
    QCOMPARE(usbsim_kernel_driver(router), 1);
}

// A stall (then an overflow) while plugged in: the same entry is opened
// again, the halt is cleared and the same suit's nodes keep counting.
void TestKvusb::stallWhilePluggedReopensTheRouter()
{
    const int router = usbsim_add_router(0x4444, 0, 3, 50);
    usb = std::make_unique<kvusb>();
    usb->initUSB();
    QTRY_VERIFY_WITH_TIMEOUT(usb->getMotionCaptureSuit(0x4444), 10000);
    MotionCaptureSuit* suit = usb->getMotionCaptureSuit(0x4444);
    KVUSBDeviceHierarchy* entry = usb->getUSBDHierBySuitNumber(0x4444);
    StdoutCapture out;
    usbsim_fail_transfer(router, 0x81, 2, LIBUSB_ERROR_PIPE, -1);
    QTRY_VERIFY(out.text().contains("LIBUSB_ERROR_PIPE, next try in 1000 ms.\r\n"));
    // Between the end of the worker and the reopening nothing can be sent.
    _cali_TypeDef cali{};
    QCOMPARE(usb->allNodes2Calibration(0x4444, cali), -1);
    QCOMPARE(usb->closeAllNodes(0x4444), -1);
    QCOMPARE(usb->closeNode(0x444401), -1);
    QCOMPARE(usb->clearNodeCalibrationData(0x444401), -1);
    const uint64_t before = packetCount(suit, 0);
    QTRY_COMPARE_WITH_TIMEOUT(usbsim_open_count(router), 2, 10000);
    QTRY_VERIFY(packetCount(suit, 0) > before + 5);
    usbsim_fail_transfer(router, 0x81, 1, LIBUSB_ERROR_OVERFLOW, -1);
    QTRY_COMPARE_WITH_TIMEOUT(usbsim_open_count(router), 3, 6000);
    const uint64_t later = packetCount(suit, 0);
    QTRY_VERIFY(packetCount(suit, 0) > later + 5);
    QCOMPARE(usb->getUSBDHierBySuitNumber(0x4444), entry);
    QCOMPARE(suit->getPtrKVUSBDeviceHier(), entry);
    QCOMPARE(usb->suitCount(), 1);
    QVERIFY(!out.text().contains("router unplug!!!"));
    QVERIFY(out.text().contains("[ERROR] Error No is: -9\r\n"));
    QVERIFY(out.text().contains("[ERROR] Error No is: -8\r\n"));
}

// A router that answers once after each opening and then stalls is not
// reopened every second for ever: one answer is not recovery. After steady
// reading the back-off starts again from its first step.
void TestKvusb::backoffGrowsUntilTheRouterReadsSteadily()
{
    const int router = usbsim_add_router(0x4445, 0, 17, 100);
    usb = std::make_unique<kvusb>();
    usb->initUSB();
    QTRY_VERIFY_WITH_TIMEOUT(usb->getMotionCaptureSuit(0x4445), 10000);
    StdoutCapture out;
    // Each worker reads one answer, then its next read stalls.
    for (int nth = 2; nth <= 6; nth += 2)
        usbsim_fail_transfer(router, 0x81, nth, LIBUSB_ERROR_PIPE, -1);
    QTRY_VERIFY_WITH_TIMEOUT(out.text().contains("LIBUSB_ERROR_PIPE, next try in 4000 ms.\r\n"), 8000);
    QCOMPARE(out.text().count("LIBUSB_ERROR_PIPE, next try in 1000 ms.\r\n"), 1);
    QCOMPARE(out.text().count("LIBUSB_ERROR_PIPE, next try in 2000 ms.\r\n"), 1);
    QTRY_COMPARE_WITH_TIMEOUT(usbsim_open_count(router), 4, 10000);
    const uint64_t answers = usbsim_answer_count(router);
    QTRY_VERIFY(usbsim_answer_count(router) > answers + 400);
    usbsim_fail_transfer(router, 0x81, 1, LIBUSB_ERROR_PIPE, -1);
    QTRY_COMPARE(out.text().count("LIBUSB_ERROR_PIPE, next try in 1000 ms.\r\n"), 2);
}

// A bus reset within one poll: same count, new address; the old instance
// is dropped and the new one read.
void TestKvusb::quickReenumerationIsFollowed()
{
    const int router = usbsim_add_router(0x5555, 0, 2, 50);
    usb = std::make_unique<kvusb>();
    QueuedRelay countRelay(usb.get(), SIGNAL(usbPlugedUnpluged(uint32_t)));
    QSignalSpy count(&countRelay, SIGNAL(usbPlugedUnpluged(uint32_t)));
    usb->initUSB();
    QTRY_VERIFY_WITH_TIMEOUT(usb->getMotionCaptureSuit(0x5555), 10000);
    MotionCaptureSuit* suit = usb->getMotionCaptureSuit(0x5555);
    const int oldAddress = usb->getUSBDHierBySuitNumber(0x5555)->address;
    usbsim_reenumerate(router);
    QTRY_COMPARE_WITH_TIMEOUT(usbsim_open_count(router), 2, 10000);
    KVUSBDeviceHierarchy* entry = nullptr;
    QTRY_VERIFY((entry = usb->getUSBDHierBySuitNumber(0x5555)) != nullptr);
    QVERIFY(entry->address != oldAddress);
    const uint64_t before = packetCount(suit, 1);
    QTRY_VERIFY(packetCount(suit, 1) > before + 5);
    QCOMPARE(usb->knownDeviceCount(), 1);
    QCOMPARE(count.last().at(0).toUInt(), 1u);
}

void TestKvusb::pollsAndFramesReachTheSuit()
{
    const int router = usbsim_add_router(0x1234, 0, 17, 50);
    usb = std::make_unique<kvusb>();
    QueuedRelay createdRelay(usb.get(), SIGNAL(newSuitCreated(MotionCaptureSuit_Property, uint32_t)));
    QSignalSpy created(&createdRelay, SIGNAL(newSuitCreated(MotionCaptureSuit_Property, uint32_t)));
    usb->initUSB();
    QTRY_COMPARE_WITH_TIMEOUT(created.count(), 1, 10000);
    MotionCaptureSuit* suit = usb->getMotionCaptureSuit(0x1234);
    QVERIFY(suit);
    QueuedRelay framesRelay(suit, SIGNAL(newDatafromSuit(SensorFrame)));
    QSignalSpy frames(&framesRelay, SIGNAL(newDatafromSuit(SensorFrame)));
    QTRY_VERIFY(frames.count() >= 34);
    const QByteArray poll = lastRequest(router);
    QCOMPARE(poll.size(), 512);
    QCOMPARE(usbsim_last_request_length(router, 0), 512);
    QCOMPARE(poll.at(0), char(0x70));
    QCOMPARE(poll.mid(1), QByteArray(511, 0));
    // Every node is heard; the status thread sees the link.
    for (unsigned p = 0; p < 17; ++p)
        QTRY_VERIFY(packetCount(suit, p) > 0);
    QTRY_VERIFY(suit->getSensorStatuses().at(16).link == 1);
    const SensorFrame f = frames.last().at(0).value<SensorFrame>();
    QCOMPARE(nodeSuitNumber(f.nodeId), 0x1234u);
    const float norm = f.quat[0] * f.quat[0] + f.quat[1] * f.quat[1] + f.quat[2] * f.quat[2] + f.quat[3] * f.quat[3];
    QVERIFY(std::fabs(norm - 1.0f) < 1e-3f);
    QVERIFY(f.battery > 0);
}

void TestKvusb::instructionUntilAcknowledged()
{
    const int router = usbsim_add_router(0x1234, 0, 2, 50);
    usbsim_set_ack(router, 4, 1);
    usb = std::make_unique<kvusb>();
    QueuedRelay createdRelay(usb.get(), SIGNAL(newSuitCreated(MotionCaptureSuit_Property, uint32_t)));
    QSignalSpy created(&createdRelay, SIGNAL(newSuitCreated(MotionCaptureSuit_Property, uint32_t)));
    usb->initUSB();
    QTRY_COMPARE_WITH_TIMEOUT(created.count(), 1, 10000);
    KVUSBDeviceHierarchy* entry = usb->getUSBDHierBySuitNumber(0x1234);
    QVERIFY(entry);

    usb->closeAllNodes(0x1234);
    QTRY_COMPARE(usbsim_acks_sent(router), 1ull);
    QTRY_VERIFY(!entry->readWorker.load()->isPending());
    QCOMPARE(usbsim_instruction_count(router), 1);
    QCOMPARE(instruction(router, 0), bytes({0x40, 0x03, 0x3E, 0x34, 0x12, 0x00}) + QByteArray(64, 0));
    QCOMPARE(usbsim_instruction_request_count(router), 4ull);
    QTRY_COMPARE(lastRequest(router).at(0), char(0x70));

    _cali_TypeDef cali;
    for (int i = 0; i < 16; ++i)
        cali.bytes[i] = uint8_t(0xA0 + i);
    QCOMPARE(usb->allNodes2Calibration(0x1234, cali), 0);
    // Sent to a quiet router (its nodes are closed): it may be confirmed
    // more than once before the library takes the confirmation as its own.
    QTRY_VERIFY(!entry->readWorker.load()->isPending());
    QByteArray expected = bytes({0x10, 0x01, 0x3E, 0x34, 0x12, 0x00});
    expected += QByteArray(reinterpret_cast<const char*>(cali.bytes), 16) + QByteArray(48, 0);
    QCOMPARE(instruction(router, 1), expected);
    QCOMPARE(lastConfirmed(router), expected);

    usb->clearNodeCalibrationData(0x123405);
    QTRY_COMPARE(usbsim_instruction_count(router), 3);
    QCOMPARE(instruction(router, 2).left(6), bytes({0x40, 0x04, 0x05, 0x34, 0x12, 0x00}));
    usb->closeNode(0x123401);
    QTRY_COMPARE(usbsim_instruction_count(router), 4);
    QCOMPARE(instruction(router, 3).left(6), bytes({0x40, 0x03, 0x01, 0x34, 0x12, 0x00}));
    // The whole request around the instruction.
    const QByteArray req = lastRequest(router);
    if (req.at(0) == 0x73) {
        QCOMPARE(req.left(6), bytes({0x73, 0, 0, 0, 0, 0x46}));
        QCOMPARE(req.mid(76), QByteArray(512 - 76, 0));
    }
}

void TestKvusb::negativeAcknowledgementKeepsItPending()
{
    const int router = usbsim_add_router(0x1234, 0, 2, 50);
    usbsim_set_ack(router, 2, 0);
    usb = std::make_unique<kvusb>();
    QueuedRelay createdRelay(usb.get(), SIGNAL(newSuitCreated(MotionCaptureSuit_Property, uint32_t)));
    QSignalSpy created(&createdRelay, SIGNAL(newSuitCreated(MotionCaptureSuit_Property, uint32_t)));
    usb->initUSB();
    QTRY_COMPARE_WITH_TIMEOUT(created.count(), 1, 10000);
    usb->closeAllNodes(0x1234);
    QTRY_VERIFY(usbsim_acks_sent(router) >= 3);
    QVERIFY(usb->getUSBDHierBySuitNumber(0x1234)->readWorker.load()->isPending());
    QVERIFY(usbsim_instruction_request_count(router) >= 6);
    QCOMPARE(lastRequest(router).at(0), char(0x73));
    QCOMPARE(usbsim_instruction_count(router), 1);
}

// An acknowledgement left in the read buffer by an earlier instruction
// must not complete a new one the router has not answered.
void TestKvusb::staleAcknowledgementDoesNotCompleteANewInstruction()
{
    const int router = usbsim_add_router(0x1234, 0, 2, 50);
    usbsim_set_ack(router, 2, 1);
    usb = std::make_unique<kvusb>();
    QueuedRelay createdRelay(usb.get(), SIGNAL(newSuitCreated(MotionCaptureSuit_Property, uint32_t)));
    QSignalSpy created(&createdRelay, SIGNAL(newSuitCreated(MotionCaptureSuit_Property, uint32_t)));
    usb->initUSB();
    QTRY_COMPARE_WITH_TIMEOUT(created.count(), 1, 10000);
    USBReadWorker* worker = usb->getUSBDHierBySuitNumber(0x1234)->readWorker.load();
    usbsim_set_silent(router, 1);
    usb->clearNodeCalibrationData(0x123401);
    QTRY_VERIFY(!worker->isPending());
    QCOMPARE(lastConfirmed(router).left(6), bytes({0x40, 0x04, 0x01, 0x34, 0x12, 0x00}));
    // The router now answers nothing: the next instruction stays pending.
    usbsim_set_ack(router, 1000, 1);
    usb->clearNodeCalibrationData(0x123400);
    QTRY_VERIFY(usbsim_instruction_request_count(router) >= 3);
    QVERIFY(worker->isPending());
}

// The router owes two answers for A after A was asked again; B is queued
// meanwhile. Each acknowledgement answers its own request: A's second one
// must not complete B, which only the router's own confirmation may.
void TestKvusb::lateAcknowledgementCompletesOnlyItsOwnRequest()
{
    const int router = usbsim_add_router(0x1234, 0, 2, 50);
    usbsim_set_ack(router, 2, 1);
    usb = std::make_unique<kvusb>();
    usb->initUSB();
    QTRY_VERIFY_WITH_TIMEOUT(usb->getUSBDHierBySuitNumber(0x1234), 10000);
    USBReadWorker* worker = usb->getUSBDHierBySuitNumber(0x1234)->readWorker.load();
    usbsim_hold_answers(router, 1);
    QCOMPARE(usb->closeNode(0x123400), 0);
    QTRY_VERIFY(usbsim_instruction_request_count(router) >= 2);
    QCOMPARE(usb->clearNodeCalibrationData(0x123401), 0);
    usbsim_hold_answers(router, 0);
    QTRY_VERIFY(!worker->isPending());
    QCOMPARE(usbsim_instruction_count(router), 2);
    QCOMPARE(instruction(router, 1).left(6), bytes({0x40, 0x04, 0x01, 0x34, 0x12, 0x00}));
    QCOMPARE(lastConfirmed(router), instruction(router, 1));
}

// An instruction set while another one's transfer is in flight is queued
// behind it; each acknowledgement completes only its own instruction, and
// a full queue refuses rather than replaces.
void TestKvusb::instructionsQueueInOrder()
{
    const int router = usbsim_add_router(0x1234, 0, 2, 50);
    usbsim_set_ack(router, 1, 1);
    usb = std::make_unique<kvusb>();
    usb->initUSB();
    QTRY_VERIFY_WITH_TIMEOUT(usb->getUSBDHierBySuitNumber(0x1234), 10000);
    USBReadWorker* worker = usb->getUSBDHierBySuitNumber(0x1234)->readWorker.load();
    usbsim_hold_answers(router, 1);
    QCOMPARE(usb->closeNode(0x123400), 0);
    QTRY_VERIFY(usbsim_instruction_request_count(router) >= 1);
    QCOMPARE(usb->closeNode(0x123401), 0);
    for (int i = 0; i < 6; ++i)
        QCOMPARE(usb->clearNodeCalibrationData(0x123400 + unsigned(i)), 0);
    QCOMPARE(usb->clearNodeCalibrationData(0x123410), -1);
    usbsim_hold_answers(router, 0);
    QTRY_VERIFY(usbsim_acks_sent(router) >= 8);
    QTRY_VERIFY(!worker->isPending());
    QCOMPARE(usbsim_instruction_count(router), 8);
    QCOMPARE(instruction(router, 0).left(6), bytes({0x40, 0x03, 0x00, 0x34, 0x12, 0x00}));
    QCOMPARE(instruction(router, 1).left(6), bytes({0x40, 0x03, 0x01, 0x34, 0x12, 0x00}));
    for (int i = 0; i < 6; ++i)
        QCOMPARE(instruction(router, 2 + i).left(6), bytes({0x40, 0x04, 0x00 + i, 0x34, 0x12, 0x00}));
}

// An answer that ran into its time-out: used when whole, dropped with one
// warning when cut, and its late rest is not taken for the next answer.
void TestKvusb::partialAnswerWithTimeout()
{
    const int router = usbsim_add_router(0x1234, 0, 1, 50);
    usbsim_set_silent(router, 1);
    const QByteArray whole = bytes({0x11, 0x02, 0x34, 0x12, 0x00, 0x00, 0x20, 77});
    const QByteArray cut = bytes({0x01, 0, 0, 0x03, 0x34, 0x12, 0x00, 0x01, 0x00}) + QByteArray(16, 0x11);
    const QByteArray next = bytes({0x11, 0x04, 0x34, 0x12, 0x00, 0x00, 0x20, 55});
    for (const QByteArray& a : {whole, cut, next})
        usbsim_queue_answer(router, reinterpret_cast<const uint8_t*>(a.constData()), a.size());
    usbsim_fail_transfer(router, 0x81, 1, LIBUSB_ERROR_TIMEOUT, whole.size());
    usbsim_fail_transfer(router, 0x81, 2, LIBUSB_ERROR_TIMEOUT, 20);
    usb = std::make_unique<kvusb>();
    StdoutCapture out;
    usb->initUSB();
    QTRY_VERIFY_WITH_TIMEOUT(usb->getMotionCaptureSuit(0x1234), 10000);
    MotionCaptureSuit* suit = usb->getMotionCaptureSuit(0x1234);
    QTRY_COMPARE(packetCount(suit, 4), 1ull);
    SuitNode n(0, 0);
    QVERIFY(suit->copyNode(2, n));
    QCOMPARE(int(n.battery), 77);
    QCOMPARE(packetCount(suit, 3), 0ull);
    QCOMPARE(out.text().count("Partial answer dropped: 20 bytes before the time-out."), 1);
    QVERIFY(!out.text().contains("Short sensor frame dropped"));
    QCOMPARE(usbsim_unasked_reads(router), 0ull);
}

// The router answers each whole request once and never unasked: a library
// that skipped or doubled its polls shows in the counts. Cut requests are
// sent again before anything is read.
void TestKvusb::onePollPerAnswer()
{
    const int router = usbsim_add_router(0x1234, 0, 17, 50);
    usbsim_fail_transfer(router, 0x01, 30, LIBUSB_ERROR_TIMEOUT, 100);
    usbsim_fail_transfer(router, 0x01, 60, 0, 300);
    usb = std::make_unique<kvusb>();
    StdoutCapture out;
    usb->initUSB();
    QTRY_VERIFY_WITH_TIMEOUT(usbsim_answer_count(router) >= 300, 5000);
    usb.reset();
    const uint64_t requests = usbsim_request_count(router);
    const uint64_t answers = usbsim_answer_count(router);
    QVERIFY2(requests >= answers && requests - answers <= 1,
             qPrintable(QStringLiteral("%1 requests, %2 answers").arg(requests).arg(answers)));
    QCOMPARE(usbsim_repolls(router), 0ull);
    QCOMPARE(usbsim_unasked_reads(router), 0ull);
    QCOMPARE(usbsim_partial_requests(router), 2ull);
    QCOMPARE(out.text().count("Request not delivered (100 of 512 bytes), sending it again."), 1);
    QCOMPARE(out.text().count("Request not delivered (300 of 512 bytes), sending it again."), 1);
    for (int back = 0; back < 20; ++back)
        QCOMPARE(usbsim_last_request_length(router, back), 512);
}

void TestKvusb::instructionsWithoutRouter()
{
    usb = std::make_unique<kvusb>();
    StdoutCapture out;
    _cali_TypeDef cali{};
    QCOMPARE(usb->allNodes2Calibration(0x9999, cali), -1);
    usb->closeAllNodes(0x9999);
    QCOMPARE(out.text(), QStringLiteral("Do not find pack.\r\nDo not find pack.\r\n"));
}

void TestKvusb::secondSuitOnOneRouter()
{
    const int router = usbsim_add_router(0x1234, 0, 2, 50);
    usbsim_set_second_suit(router, 0x5678);
    usb = std::make_unique<kvusb>();
    QueuedRelay createdRelay(usb.get(), SIGNAL(newSuitCreated(MotionCaptureSuit_Property, uint32_t)));
    QSignalSpy created(&createdRelay, SIGNAL(newSuitCreated(MotionCaptureSuit_Property, uint32_t)));
    StdoutCapture out;
    usb->initUSB();
    QTRY_COMPARE_WITH_TIMEOUT(created.count(), 2, 10000);
    QTRY_VERIFY(out.text().contains("[ERROR]Fatal Error!!! suitNum should not changed!\r\n"));
    QVERIFY(usb->getUSBDHierBySuitNumber(0x1234));
    QVERIFY(!usb->getUSBDHierBySuitNumber(0x5678));
    MotionCaptureSuit* other = usb->getMotionCaptureSuit(0x5678);
    QVERIFY(other);
    QTRY_VERIFY(packetCount(other, 1) > 3);
}

void TestKvusb::shortTransferIsDropped()
{
    const int router = usbsim_add_router(0x1234, 0, 1, 50);
    usbsim_set_silent(router, 1);
    // A long frame announcing a quaternion but cut after the header.
    const QByteArray cut = bytes({0x01, 0, 0, 0x00, 0x34, 0x12, 0x00, 0x01, 0x00});
    const QByteArray whole = bytes({0x11, 0x02, 0x34, 0x12, 0x00, 0x00, 0x20, 77});
    for (const QByteArray& a : {cut, whole})
        usbsim_queue_answer(router, reinterpret_cast<const uint8_t*>(a.constData()), a.size());
    usb = std::make_unique<kvusb>();
    StdoutCapture out;
    usb->initUSB();
    QTRY_COMPARE_WITH_TIMEOUT(usb->suitCount(), 1, 10000);
    QVERIFY(out.text().contains("Short sensor frame dropped: 9 bytes received."));
    MotionCaptureSuit* suit = usb->getMotionCaptureSuit(0x1234);
    QCOMPARE(packetCount(suit, 0), 0ull);
    SuitNode n(0, 0);
    QVERIFY(suit->copyNode(2, n));
    QCOMPARE(int(n.battery), 77);
    // A silent router only times out: one warning line for the silence.
    QTRY_COMPARE(out.text().count("Libusb Timeout"), 1);
    QTest::qWait(400);
    QCOMPARE(out.text().count("Libusb Timeout"), 1);
}

void TestKvusb::destructionStopsEverything()
{
    usbsim_add_router(0x1234, 0, 17, 100);
    usbsim_add_router(0x4321, 0, 17, 100);
    usb = std::make_unique<kvusb>();
    QueuedRelay createdRelay(usb.get(), SIGNAL(newSuitCreated(MotionCaptureSuit_Property, uint32_t)));
    QSignalSpy created(&createdRelay, SIGNAL(newSuitCreated(MotionCaptureSuit_Property, uint32_t)));
    usb->initUSB();
    QTRY_COMPARE_WITH_TIMEOUT(created.count(), 2, 10000);
    QCOMPARE(usbsim_open_handles(), 2);
    QElapsedTimer timer;
    timer.start();
    usb.reset();
    QVERIFY(timer.elapsed() < 3000);
    // cleanup() checks that every handle is closed and every list freed.
}

QTEST_GUILESS_MAIN(TestKvusb)
#include "tst_kvusb.moc"
