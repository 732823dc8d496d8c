#include "kvusb.h"

#include "KVQ3_SuitStatusProber.h"
#include "KVUSBDeviceHierarchy.h"
#include "QDeviceWatcher.h"
#include "USBReadWorker.h"
#include "UsbDeviceList.h"
#include "UsbDeviceTable.h"
#include "UsbLog.h"

#include <libusb.h>

#include <QThread>
#include <algorithm>
#include <cstdio>
#include <cstring>

namespace {

constexpr unsigned int kVersion = 0x01030001;
const char* const kOpenFailed = "USB device is opened in other software.";
const char* const kNoPermission = "no permission \u2014 see the udev rule in the README";
constexpr int kFirstBackoffMs = 1000;
constexpr int kLongestBackoffMs = 10000;

} // namespace

kvusb::kvusb(QObject* parent) : QObject(parent)
{
    if (libusb_init(nullptr) < 0)
        return;
    bUsbReady = true;
    qRegisterMetaType<MotionCaptureSuit_Property>("MotionCaptureSuit_Property");
    qRegisterMetaType<SensorFrame>("SensorFrame");
    // Lets a receiver in another thread take the status signal queued.
    qRegisterMetaType<std::vector<MotionCaptureSuit::KVQ3SensorStatus*>>(
        "std::vector<MotionCaptureSuit::KVQ3SensorStatus*>");
    suits.reserve(8);
    devices.reserve(32);
    watcher = new QDeviceWatcher();
    connect(watcher, SIGNAL(deviceChanged()), this, SLOT(slotDeviceChanged()), Qt::DirectConnection);
}

kvusb::~kvusb()
{
    // Ordered: no new poll, then no new frame, then no status pass.
    delete watcher;
    watcher = nullptr;
    stopWorkers();
    std::vector<MotionCaptureSuit*> ownSuits;
    {
        std::lock_guard<std::mutex> lock(mutexSuits);
        ownSuits.swap(suits);
    }
    for (MotionCaptureSuit* suit : ownSuits)
        delete suit;
    std::vector<KVUSBDeviceHierarchy*> entries;
    {
        std::lock_guard<std::mutex> lock(mutexDevices);
        entries = devices;
        entries.insert(entries.end(), retired.begin(), retired.end());
        devices.clear();
        retired.clear();
    }
    for (KVUSBDeviceHierarchy* entry : entries)
        delete entry;
    if (bUsbReady)
        libusb_exit(nullptr);
}

void kvusb::stopWorkers()
{
    std::vector<KVUSBDeviceHierarchy*> entries;
    {
        std::lock_guard<std::mutex> lock(mutexDevices);
        entries = devices;
        entries.insert(entries.end(), retired.begin(), retired.end());
    }
    // Ask every worker first so they wind down together, then join them.
    for (KVUSBDeviceHierarchy* entry : entries) {
        disconnect(entry, nullptr, this, nullptr);
        if (USBReadWorker* worker = entry->readWorker.load())
            worker->exitReadWorker();
    }
    for (KVUSBDeviceHierarchy* entry : entries) {
        std::lock_guard<std::mutex> lock(mutexDevices);
        delete entry->readWorker.exchange(nullptr);
    }
}

void kvusb::initUSB()
{
    if (!bUsbReady)
        return;
    {
        std::lock_guard<std::mutex> lock(mutexDevices);
        vecKVUSBDeviceHier_printf(devices);
    }
    watcher->start(QThread::InheritPriority);
}

int kvusb::knownDeviceCount() const
{
    std::lock_guard<std::mutex> lock(mutexDevices);
    return int(devices.size());
}

int kvusb::suitCount() const
{
    std::lock_guard<std::mutex> lock(mutexSuits);
    return int(suits.size());
}

int kvusb::getKVUSBDeviceHier(std::vector<KVUSBDeviceHierarchy*>* list)
{
    const UsbDeviceList devs;
    if (devs.size() == 0)
        return -1;
    for (ssize_t i = 0; i < devs.size(); ++i) {
        libusb_device* dev = devs[i];
        if (!isKVCetifiedUSBDevice(dev))
            continue;
        auto* entry = new KVUSBDeviceHierarchy();
        entry->setLocation(dev);
        entry->role = getKVDeviceRole(dev);
        entry->state = KVUSBDeviceHierarchy::StateEnumerated;
        list->push_back(entry);
    }
    return 0;
}

KVUSBDeviceHierarchy* kvusb::CompareAdd(std::vector<KVUSBDeviceHierarchy*>* snapshot,
                                        std::vector<KVUSBDeviceHierarchy*>* known)
{
    auto* entry = new KVUSBDeviceHierarchy();
    for (KVUSBDeviceHierarchy* candidate : *snapshot) {
        bool isKnown = false;
        for (KVUSBDeviceHierarchy* k : *known) {
            if (k->sameDevice(*candidate)) {
                isKnown = true;
                break;
            }
        }
        if (!isKnown)
            entry->copyFrom(*candidate);
    }
    return entry;
}

void kvusb::CompareRemove(std::vector<KVUSBDeviceHierarchy*>* known, std::vector<KVUSBDeviceHierarchy*>* snapshot)
{
    for (auto it = known->begin(); it != known->end();) {
        bool present = false;
        for (KVUSBDeviceHierarchy* s : *snapshot) {
            if (s->sameDevice(**it)) {
                present = true;
                break;
            }
        }
        if (present) {
            ++it;
            continue;
        }
        usbLog("Detect Device Change, erase device:");
        (*it)->print();
        retired.push_back(*it);
        it = known->erase(it);
    }
}

void kvusb::vecKVUSBDeviceHier_printf(const std::vector<KVUSBDeviceHierarchy*>& list)
{
    for (const KVUSBDeviceHierarchy* entry : list)
        entry->print();
}

void kvusb::slotDeviceChanged()
{
    std::vector<KVUSBDeviceHierarchy*> snapshot;
    getKVUSBDeviceHier(&snapshot);
    int changedCount = -1;
    std::vector<KVUSBDeviceHierarchy*> gone;
    {
        std::lock_guard<std::mutex> lock(mutexDevices);
        // The sets are compared, not their sizes: a device that
        // re-enumerated within one poll leaves the count unchanged.
        const auto contains = [](const std::vector<KVUSBDeviceHierarchy*>& list, const KVUSBDeviceHierarchy* e) {
            return std::any_of(list.begin(), list.end(),
                               [e](const KVUSBDeviceHierarchy* x) { return x->sameDevice(*e); });
        };
        const bool removed = std::any_of(devices.begin(), devices.end(),
                                         [&](const KVUSBDeviceHierarchy* e) { return !contains(snapshot, e); });
        const bool added = std::any_of(snapshot.begin(), snapshot.end(),
                                       [&](const KVUSBDeviceHierarchy* e) { return !contains(devices, e); });
        if (removed) {
            usbLog("Some Device Disconnected!\r\n");
            const size_t before = retired.size();
            CompareRemove(&devices, &snapshot);
            gone.assign(retired.begin() + long(before), retired.end());
        }
        if (added) {
            usbLog("New Device Added!\r\n");
            KVUSBDeviceHierarchy* entry = CompareAdd(&snapshot, &devices);
            entry->moveToThread(thread());
            usbLog("Detect Device Change, add device:");
            entry->print();
            devices.push_back(entry);
        }
        if (removed || added)
            changedCount = int(devices.size());
        reapWorkers();
    }
    // A router that left without its worker noticing (the error was not
    // an unplug) must not stay the suit's router.
    for (KVUSBDeviceHierarchy* entry : gone) {
        detachSuits(entry);
        if (entry->toldProblem == RouterHeldElsewhere || entry->toldProblem == RouterNoPermission)
            tellProblem(entry, RouterGone);
    }
    if (changedCount >= 0)
        emit usbPlugedUnpluged(uint32_t(changedCount));
    handleKVUSBDeviceHier();
    for (KVUSBDeviceHierarchy* entry : snapshot)
        delete entry;
}

void kvusb::reapWorkers()
{
    // Workers of unplugged routers have ended their loops; release them.
    for (KVUSBDeviceHierarchy* entry : retired) {
        USBReadWorker* worker = entry->readWorker.load();
        if (worker && worker->hasEnded())
            delete entry->readWorker.exchange(nullptr);
    }
    // A router still plugged in whose worker ended (a stall, an I/O error,
    // an overflow) is opened again; its suit and rows stay.
    for (KVUSBDeviceHierarchy* entry : devices) {
        USBReadWorker* worker = entry->readWorker.load();
        if (!worker || !worker->hasEnded())
            continue;
        const int code = worker->endCode();
        // One answer is no recovery: the back-off starts again from its
        // first step only after steady reading.
        if (worker->readSteadily())
            entry->backoffMs = 0;
        delete entry->readWorker.exchange(nullptr);
        entry->state = KVUSBDeviceHierarchy::StateEnumerated;
        scheduleRetry(entry, code);
    }
}

void kvusb::scheduleRetry(KVUSBDeviceHierarchy* entry, int code)
{
    entry->backoffMs = entry->backoffMs == 0 ? kFirstBackoffMs : std::min(entry->backoffMs * 2, kLongestBackoffMs);
    entry->nextTryMs = usbTickMs() + entry->backoffMs;
    usbLog("[WARN]<TIME:%lld>Router <BUS %02d, PORT %02d, DEVICE %02d>: %s, next try in %d ms.\r\n", usbTickMs(),
           entry->bus, entry->port, entry->address, libusb_error_name(code), entry->backoffMs);
}

void kvusb::tellProblem(KVUSBDeviceHierarchy* entry, int problem)
{
    if (entry->toldProblem == problem)
        return;
    entry->toldProblem = problem;
    if (problem == RouterHeldElsewhere) {
        usbLog("[ERROR]<TIME:%lld>USB receiver <BUS %02d, PORT %02d, DEVICE %02d>: held by another program.\r\n",
               usbTickMs(), entry->bus, entry->port, entry->address);
    } else if (problem == RouterNoPermission) {
        usbLog("[ERROR]<TIME:%lld>USB receiver <BUS %02d, PORT %02d, DEVICE %02d>: %s.\r\n", usbTickMs(), entry->bus,
               entry->port, entry->address, kNoPermission);
    }
    emit usbRouterProblem(problem, entry->id);
}

void kvusb::detachSuits(KVUSBDeviceHierarchy* entry)
{
    std::lock_guard<std::mutex> lock(mutexSuits);
    for (MotionCaptureSuit* suit : suits) {
        if (suit->getPtrKVUSBDeviceHier() == entry)
            suit->setPtrKVUSBDeviceHier(nullptr);
    }
}

int kvusb::handleKVUSBDeviceHier()
{
    const UsbDeviceList devs;
    if (devs.size() == 0)
        return -1;
    const long long now = usbTickMs();
    for (ssize_t i = 0; i < devs.size(); ++i) {
        libusb_device* dev = devs[i];
        const UsbLocation location = UsbLocation::of(dev);
        std::vector<KVUSBDeviceHierarchy*> toOpen;
        {
            std::lock_guard<std::mutex> lock(mutexDevices);
            for (KVUSBDeviceHierarchy* entry : devices) {
                if (entry->location == location && entry->state == KVUSBDeviceHierarchy::StateEnumerated
                    && entry->role == KVUSBDeviceHierarchy::RoleRouter && entry->nextTryMs <= now)
                    toOpen.push_back(entry);
            }
        }
        for (KVUSBDeviceHierarchy* entry : toOpen)
            openRouter(dev, entry);
    }
    return 0;
}

void kvusb::openRouter(libusb_device* dev, KVUSBDeviceHierarchy* entry)
{
    libusb_device_handle* handle = nullptr;
    int rc = libusb_open(dev, &handle);
    if (rc < 0 || !handle) {
        // On Linux a failed open means the device node is not ours to
        // open (or it is gone); another program's hold shows at the claim.
        if (rc == LIBUSB_ERROR_ACCESS) {
            emit usbOpenFailed(std::string("USB device cannot be opened: ") + kNoPermission + ".\r\n");
            tellProblem(entry, RouterNoPermission);
        } else {
            emit usbOpenFailed(std::string("USB device cannot be opened: ") + libusb_error_name(rc) + ".\r\n");
        }
        std::lock_guard<std::mutex> lock(mutexDevices);
        scheduleRetry(entry, rc);
        return;
    }
    // A kernel driver bound to the interface would refuse the claim; it
    // is detached for as long as the interface is ours.
    libusb_set_auto_detach_kernel_driver(handle, 1);
    rc = libusb_claim_interface(handle, 0);
    if (rc < 0) {
        std::fprintf(stderr, "Cannot Claim Interface\n%s\n", libusb_strerror(rc));
        libusb_close(handle);
        if (rc == LIBUSB_ERROR_BUSY) {
            emit usbOpenFailed(std::string(kOpenFailed) + "\r\n");
            tellProblem(entry, RouterHeldElsewhere);
        }
        std::lock_guard<std::mutex> lock(mutexDevices);
        scheduleRetry(entry, rc);
        return;
    }
    // A stall survives closing the device; a fresh start clears it.
    libusb_clear_halt(handle, usbwire::kEndpointOut);
    libusb_clear_halt(handle, usbwire::kEndpointIn);
    if (entry->toldProblem != 0)
        tellProblem(entry, RouterProblemSolved);
    if (!entry->connected) {
        connect(entry, SIGNAL(routerUnplug(uint32_t, KVUSBDeviceHierarchy*)), this,
                SLOT(onRecUnplugUSB(uint32_t, KVUSBDeviceHierarchy*)), Qt::DirectConnection);
        connect(entry, SIGNAL(newDatafromRWorker(SensorFrame, KVUSBDeviceHierarchy*)), this,
                SLOT(onRecDataFromHier(SensorFrame, KVUSBDeviceHierarchy*)), Qt::DirectConnection);
        entry->connected = true;
    }
    auto* worker = new USBReadWorker(handle, entry);
    worker->moveToThread(thread());
    {
        std::lock_guard<std::mutex> lock(mutexDevices);
        entry->readWorker = worker;
        entry->state = KVUSBDeviceHierarchy::StateOpened;
    }
    worker->start(QThread::InheritPriority);
    // libusb offers no reading of its reference count; 1 stands for the
    // handle this worker holds.
    usbLog("[INFO]<TIME:%lld>Create and start Thread for USB of :<REFCNT %d, BUS %02d, PORT %02d, DEVICE "
           "%02d>\r\n",
           usbTickMs(), 1, entry->bus, entry->port, entry->address);
    QThread::msleep(100);
}

void kvusb::onRecDataFromHier(const SensorFrame& dataFrame, KVUSBDeviceHierarchy* hier)
{
    const uint32_t number = nodeSuitNumber(dataFrame.nodeId);
    MotionCaptureSuit* suit = nullptr;
    bool created = false;
    {
        std::lock_guard<std::mutex> lock(mutexSuits);
        for (MotionCaptureSuit* s : suits) {
            if (s->getSuitNumber() == number) {
                suit = s;
                break;
            }
        }
        if (!suit) {
            suit = new MotionCaptureSuit(number, MotionCaptureSuit_Property(nodeSuitType(dataFrame.nodeId)), hier,
                                         false);
            // Created on a worker thread that may end; the facade's thread
            // outlives it.
            suit->moveToThread(thread());
            if (suit->getProber())
                suit->getProber()->moveToThread(thread());
            suits.push_back(suit);
            created = true;
        }
    }
    suit->distributeSF(dataFrame);
    if (created) {
        emit newSuitCreated(suit->getSuitProperty(), number);
        usbLog("[INFO]<TIME:%lld>Emit newSuitCreated signal packageNum of:0x%08x\r\n", usbTickMs(), number);
    }
}

void kvusb::onRecUnplugUSB(uint32_t suitNumber, KVUSBDeviceHierarchy* hier)
{
    // Runs on the worker's thread while it ends.
    std::lock_guard<std::mutex> lock(mutexSuits);
    for (MotionCaptureSuit* suit : suits) {
        if (suit->getSuitNumber() == suitNumber && suit->getPtrKVUSBDeviceHier() == hier)
            suit->setPtrKVUSBDeviceHier(nullptr);
    }
}

MotionCaptureSuit* kvusb::getMotionCaptureSuit(unsigned int suitNumber)
{
    std::lock_guard<std::mutex> lock(mutexSuits);
    MotionCaptureSuit* found = nullptr;
    for (MotionCaptureSuit* suit : suits) {
        if (suit->getSuitNumber() == suitNumber)
            found = suit;
    }
    return found;
}

void kvusb::reSendNewSuitCreateSignal()
{
    std::vector<MotionCaptureSuit*> list;
    {
        std::lock_guard<std::mutex> lock(mutexSuits);
        list = suits;
    }
    for (MotionCaptureSuit* suit : list) {
        emit newSuitCreated(suit->getSuitProperty(), suit->getSuitNumber());
        usbLog("[INFO]<TIME:%lld>Resend newSuitCreated signal suitNumber:0x%08x.\r\n", usbTickMs(),
               suit->getSuitNumber());
    }
}

KVUSBDeviceHierarchy* kvusb::getUSBDHierBySuitNumber(unsigned int suitNumber)
{
    std::lock_guard<std::mutex> lock(mutexDevices);
    for (KVUSBDeviceHierarchy* entry : devices) {
        if (entry->suitNumber == suitNumber)
            return entry;
    }
    return nullptr;
}

int kvusb::sendInstruction(sendToNode& instruction)
{
    std::lock_guard<std::mutex> lock(mutexDevices);
    KVUSBDeviceHierarchy* target = nullptr;
    for (KVUSBDeviceHierarchy* entry : devices) {
        if (entry->suitNumber == nodeSuitNumber(instruction.target)) {
            target = entry;
            break;
        }
    }
    if (!target) {
        usbLog("Do not find pack.\r\n");
        return -1;
    }
    USBReadWorker* worker = target->readWorker.load();
    if (!worker) {
        usbLog("USB readworker is nullptr, abort send msg to node.\r\n");
        return -1;
    }
    if (worker->hasEnded()) {
        usbLog("USB readworker has stopped, abort send msg to node.\r\n");
        return -1;
    }
    nodeTran_ST2RT_TypeDef record = usbwire::wrapInstruction(instruction);
    return worker->onSend2Node(record);
}

namespace {

sendToNode makeInstruction(uint8_t lead, uint8_t instruction, uint32_t target)
{
    sendToNode s;
    std::memset(&s, 0, sizeof s);
    s.leadByte = lead;
    s.instruction = instruction;
    s.target = target;
    return s;
}

} // namespace

int kvusb::allNodes2Calibration(unsigned int suitNumber, const _cali_TypeDef& cali)
{
    sendToNode s = makeInstruction(0x10, INSTR_CALIBRATE, (suitNumber << 8) + POSITION_ALL_NODES);
    std::memcpy(s.payload, cali.bytes, sizeof cali.bytes);
    return sendInstruction(s);
}

int kvusb::clearNodeCalibrationData(unsigned int nodeId)
{
    sendToNode s = makeInstruction(0x40, INSTR_CLEAR_CALIBRATION, nodeId);
    return sendInstruction(s);
}

int kvusb::closeAllNodes(unsigned int suitNumber)
{
    sendToNode s = makeInstruction(0x40, INSTR_CLOSE, (suitNumber << 8) + POSITION_ALL_NODES);
    return sendInstruction(s);
}

int kvusb::closeNode(unsigned int nodeId)
{
    sendToNode s = makeInstruction(0x40, INSTR_CLOSE, nodeId);
    return sendInstruction(s);
}

void kvusb::refreshNodeStatus() {}

void kvusb::getNodeInfoFromCharge(int&, const NodeLinkInfo*) {}

bool kvusb::updateNode(const FirmwareInfo*)
{
    return false;
}

unsigned int kvusb::getVersion()
{
    return kVersion;
}

void kvusb::mcSuitMgrVecPrintf(const std::vector<MotionCaptureSuit*>& suitList)
{
    if (suitList.empty()) {
        usbLog("[WARN]mcSuitMgr is empty.\r\n");
        return;
    }
    for (MotionCaptureSuit* suit : suitList)
        MotionCaptureSuit::motionCaptureSuitPrintf(*suit);
}
