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
    explicit kvusb(QObject* parent = nullptr);
    ~kvusb() override;

    void initUSB();
    MotionCaptureSuit* getMotionCaptureSuit(unsigned int suitNumber);
    void reSendNewSuitCreateSignal();
    KVUSBDeviceHierarchy* getUSBDHierBySuitNumber(unsigned int suitNumber);

    int allNodes2Calibration(unsigned int suitNumber, const _cali_TypeDef& cali);
    void clearNodeCalibrationData(unsigned int nodeId);
    void closeAllNodes(unsigned int suitNumber);
    void closeNode(unsigned int nodeId);

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
