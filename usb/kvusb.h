#pragma once

#include "KvusbGlobal.h"
#include "MotionCaptureSuit.h"
#include "MotionCaptureSuitProperty.h"
#include "SensorFrame.h"
#include "UsbWireFormat.h"

#include <QObject>
#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

class KVUSBDeviceHierarchy;
class QDeviceWatcher;
struct libusb_device;

// Layouts reserved for node information and firmware updates.
struct NodeLinkInfo
{
    uint32_t nodeId;
    uint8_t link;
};
struct FirmwareInfo
{
    uint32_t version;
};

// The USB receiver library: polls the bus for receivers, reads every
// router on a worker thread of its own and collects the nodes' frames into
// suits.
//
// Destroying it stops the polling thread, every read worker (closing its
// router) and every suit's status thread, and deletes the suits; no thread
// of the library outlives it.
class KVUSB_EXPORT kvusb : public QObject
{
    Q_OBJECT
public:
    // Why a plugged-in router cannot be read, as usbRouterProblem reports it.
    enum RouterProblem {
        RouterProblemSolved = 0,    // the router was opened after a problem
        RouterHeldElsewhere = 1,    // another program has claimed it
        RouterNoPermission = 2,     // the user may not open it (udev rule)
        RouterGone = 3,             // a router with a problem left the bus
    };

    explicit kvusb(QObject* parent = nullptr);
    ~kvusb() override;

    void initUSB();
    MotionCaptureSuit* getMotionCaptureSuit(unsigned int suitNumber);
    void reSendNewSuitCreateSignal();
    KVUSBDeviceHierarchy* getUSBDHierBySuitNumber(unsigned int suitNumber);

    // Each returns 0 once the instruction is queued for the router, -1 when
    // there is no reading router for it or its queue is full.
    int allNodes2Calibration(unsigned int suitNumber, const _cali_TypeDef& cali);
    int clearNodeCalibrationData(unsigned int nodeId);
    int closeAllNodes(unsigned int suitNumber);
    int closeNode(unsigned int nodeId);

    void refreshNodeStatus();
    void getNodeInfoFromCharge(int& count, const NodeLinkInfo* info);
    bool updateNode(const FirmwareInfo* firmware);
    unsigned int getVersion();

    void mcSuitMgrVecPrintf(const std::vector<MotionCaptureSuit*>& suitList);

    // Counts for diagnostics and tests.
    int knownDeviceCount() const;
    int suitCount() const;

signals:
    void newSuitCreated(MotionCaptureSuit_Property prop, uint32_t suitNumber);
    void usbOpenFailed(std::string desc);
    void usbPlugedUnpluged(uint32_t kvq3RouterCnt);
    // Told once per problem and router (a RouterProblem value), and with
    // RouterProblemSolved when that router could be opened after all, or
    // RouterGone when it left the bus first. router names the receiver, so
    // that the problems of several can be told apart.
    void usbRouterProblem(int problem, unsigned int router);

private slots:
    void onRecDataFromHier(const SensorFrame& dataFrame, KVUSBDeviceHierarchy* hier = nullptr);
    void onRecUnplugUSB(uint32_t suitNumber, KVUSBDeviceHierarchy* hier);
    void slotDeviceChanged();

private:
    int getKVUSBDeviceHier(std::vector<KVUSBDeviceHierarchy*>* list);
    int handleKVUSBDeviceHier();
    KVUSBDeviceHierarchy* CompareAdd(std::vector<KVUSBDeviceHierarchy*>* snapshot,
                                     std::vector<KVUSBDeviceHierarchy*>* known);
    void CompareRemove(std::vector<KVUSBDeviceHierarchy*>* known, std::vector<KVUSBDeviceHierarchy*>* snapshot);
    void vecKVUSBDeviceHier_printf(const std::vector<KVUSBDeviceHierarchy*>& list);
    int sendInstruction(sendToNode& instruction);
    // Stops every read worker and waits for it; closes the routers.
    void stopWorkers();
    // Opens and claims a router and starts its worker; on failure the
    // entry waits for its next try.
    void openRouter(libusb_device* dev, KVUSBDeviceHierarchy* entry);
    // Joins finished workers; a known router whose worker ended is opened
    // again after its back-off. Called with mutexDevices held.
    void reapWorkers();
    // Sets the entry's next try one back-off step later and logs it.
    static void scheduleRetry(KVUSBDeviceHierarchy* entry, int code);
    void tellProblem(KVUSBDeviceHierarchy* entry, int problem);
    void detachSuits(KVUSBDeviceHierarchy* entry);

    bool bUsbReady = false;
    QDeviceWatcher* watcher = nullptr;
    // Guards suits; frames of several routers arrive on several threads.
    mutable std::mutex mutexSuits;
    std::vector<MotionCaptureSuit*> suits;
    // Guards devices and retired: the polling thread changes the list while
    // instructions look routers up from the caller's thread.
    mutable std::mutex mutexDevices;
    std::vector<KVUSBDeviceHierarchy*> devices;
    // Entries that left the list; suits and workers may still point at
    // them, so they are released with the facade.
    std::vector<KVUSBDeviceHierarchy*> retired;
};
