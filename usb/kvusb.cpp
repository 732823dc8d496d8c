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
#include <cstring>

namespace {

constexpr unsigned int kVersion = 0x01030001;
const char* const kOpenFailed = "USB device is opened in other software.";

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
        entry->bus = libusb_get_bus_number(dev);
        entry->port = libusb_get_port_number(dev);
        entry->address = libusb_get_device_address(dev);
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
    {
        std::lock_guard<std::mutex> lock(mutexDevices);
        if (snapshot.size() > devices.size()) {
            usbLog("New Device Added!\r\n");
            KVUSBDeviceHierarchy* entry = CompareAdd(&snapshot, &devices);
            entry->moveToThread(thread());
            usbLog("Detect Device Change, add device:");
            entry->print();
            devices.push_back(entry);
            changedCount = int(devices.size());
        } else if (snapshot.size() < devices.size()) {
            usbLog("Some Device Disconnected!\r\n");
            CompareRemove(&devices, &snapshot);
            changedCount = int(devices.size());
        }
        // Workers of unplugged routers have ended their loops; release them.
        for (KVUSBDeviceHierarchy* entry : retired) {
            USBReadWorker* worker = entry->readWorker.load();
            if (worker && worker->isFinished())
                delete entry->readWorker.exchange(nullptr);
        }
    }
    if (changedCount >= 0)
        emit usbPlugedUnpluged(uint32_t(changedCount));
    handleKVUSBDeviceHier();
    for (KVUSBDeviceHierarchy* entry : snapshot)
        delete entry;
}

int kvusb::handleKVUSBDeviceHier()
{
    const UsbDeviceList devs;
    if (devs.size() == 0)
        return -1;
    for (ssize_t i = 0; i < devs.size(); ++i) {
        libusb_device* dev = devs[i];
        const uint8_t bus = libusb_get_bus_number(dev);
        const uint8_t port = libusb_get_port_number(dev);
        const uint8_t address = libusb_get_device_address(dev);
        std::vector<KVUSBDeviceHierarchy*> toOpen;
        {
            std::lock_guard<std::mutex> lock(mutexDevices);
            for (KVUSBDeviceHierarchy* entry : devices) {
                if (entry->bus == bus && entry->port == port && entry->address == address
                    && entry->state == KVUSBDeviceHierarchy::StateEnumerated
                    && entry->role == KVUSBDeviceHierarchy::RoleRouter)
                    toOpen.push_back(entry);
            }
        }
        for (KVUSBDeviceHierarchy* entry : toOpen) {
            libusb_device_handle* handle = nullptr;
            if (libusb_open(dev, &handle) < 0 || !handle) {
                emit usbOpenFailed(std::string(kOpenFailed) + "\r\n");
                usbLog("[ERROR]%s\r\n", kOpenFailed);
                continue;
            }
            connect(entry, SIGNAL(routerUnplug(uint32_t, KVUSBDeviceHierarchy*)), this,
                    SLOT(onRecUnplugUSB(uint32_t, KVUSBDeviceHierarchy*)), Qt::DirectConnection);
            connect(entry, SIGNAL(newDatafromRWorker(SensorFrame, KVUSBDeviceHierarchy*)), this,
                    SLOT(onRecDataFromHier(SensorFrame, KVUSBDeviceHierarchy*)), Qt::DirectConnection);
            auto* worker = new USBReadWorker(handle, entry);
            worker->moveToThread(thread());
            {
                std::lock_guard<std::mutex> lock(mutexDevices);
                entry->readWorker = worker;
                entry->state = KVUSBDeviceHierarchy::StateOpened;
            }
            worker->start(QThread::InheritPriority);
            // libusb offers no reading of its reference count; 1 stands for
            // the handle this worker holds.
            usbLog("[INFO]<TIME:%lld>Create and start Thread for USB of :<REFCNT %d, BUS %02d, PORT %02d, DEVICE "
                   "%02d>\r\n",
                   usbTickMs(), 1, bus, port, address);
            QThread::msleep(100);
        }
    }
    return 0;
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

void kvusb::clearNodeCalibrationData(unsigned int nodeId)
{
    sendToNode s = makeInstruction(0x40, INSTR_CLEAR_CALIBRATION, nodeId);
    sendInstruction(s);
}

void kvusb::closeAllNodes(unsigned int suitNumber)
{
    sendToNode s = makeInstruction(0x40, INSTR_CLOSE, (suitNumber << 8) + POSITION_ALL_NODES);
    sendInstruction(s);
}

void kvusb::closeNode(unsigned int nodeId)
{
    sendToNode s = makeInstruction(0x40, INSTR_CLOSE, nodeId);
    sendInstruction(s);
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
