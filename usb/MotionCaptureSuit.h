#pragma once

#include "KvusbGlobal.h"
#include "MotionCaptureSuitProperty.h"
#include "SensorFrame.h"

#include <QObject>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

class KVQ3_SuitStatusProber;
class KVUSBDeviceHierarchy;
struct SuitNode;

// One suit of wireless nodes, named by its 24-bit suit number. Created by
// the library on the first frame of an unknown suit number; its frames,
// counters and node status live here.
//
// Frames are distributed on read worker threads and the status pass runs
// on the suit's prober thread; mutexNodes serialises both against each
// other and against the lookups of other threads.
class KVUSB_EXPORT MotionCaptureSuit : public QObject
{
    Q_OBJECT
public:
    // The published status of one node: a value and its change flag each.
    struct KVQ3SensorStatus
    {
        uint8_t link;
        uint8_t linkChanged;
        uint8_t battery;
        uint8_t batteryChanged;
        uint8_t magd;
        uint8_t magdChanged;
        uint8_t cali;
        uint8_t caliChanged;
    };

    MotionCaptureSuit();
    MotionCaptureSuit(unsigned int suitNumber, MotionCaptureSuit_Property property, KVUSBDeviceHierarchy* hierarchy,
                      bool extense);
    ~MotionCaptureSuit() override;

    unsigned int getSuitNumber() const;
    void setSuitNumber(unsigned int number);
    MotionCaptureSuit_Property getSuitProperty() const;
    void setSuitProperty(MotionCaptureSuit_Property prop);
    bool getExtenseMode() const;
    void setExtenseMode(bool extense);
    KVUSBDeviceHierarchy* getPtrKVUSBDeviceHier() const;
    void setPtrKVUSBDeviceHier(KVUSBDeviceHierarchy* hier);
    std::string getSuitName() const;

    // The latest quaternion (4 floats) or location (3 floats) of a node;
    // zeros for a position outside the node table.
    std::vector<float> getLastQuatByIndexInSuit(unsigned char index);
    std::vector<float> getLastLocByIndexInSuit(unsigned char index);
    // A copy of the node's latest frame; false (out untouched) for a
    // position outside the node table or a node that has sent nothing.
    bool getLastFrameByIndexInSuit(unsigned char index, SensorFrame& out) const;

    // Routes one frame of this suit to its node.
    void distributeSF(const SensorFrame& sf);
    // One status pass at the current tick count.
    void calcUpdateSensorsStat(bool linkCheck, bool periodTick);
    // The same pass as if the tick count were nowMs.
    void calcUpdateSensorsStatAt(bool linkCheck, bool periodTick, uint64_t nowMs);

    // Copies for readers on other threads.
    size_t nodeTableSize() const;
    bool copyNode(unsigned index, SuitNode& out) const;
    std::vector<KVQ3SensorStatus> getSensorStatuses() const;

    KVQ3_SuitStatusProber* getProber() const;
    // Stops and joins the status thread (the destructor does it too).
    void stopStatusProber();

    static void motionCaptureSuitPrintf(MotionCaptureSuit& suit);
    static void kvq3SensorStatusVecPrintf(std::vector<MotionCaptureSuit::KVQ3SensorStatus*> vec);

signals:
    // The pointers stay valid while the suit lives and are rewritten by the
    // next pass on the prober thread; receivers elsewhere should copy
    // getSensorStatuses() instead of reading through them.
    void sensorStatusChanged(std::vector<MotionCaptureSuit::KVQ3SensorStatus*> vec);
    void newDatafromSuit(const SensorFrame& sf);

private:
    void buildNodeTable();

    uint32_t suitNumber = 0;
    std::string name = "Actor";
    MotionCaptureSuit_Property property = SUIT_PROPERTY_UNSET;
    bool extenseMode = false;
    uint8_t nodeCount = 17;
    uint8_t extNodeCount = 32;
    // Guards nodes, statuses and hierarchy.
    mutable std::mutex mutexNodes;
    std::vector<SuitNode*> nodes;
    std::vector<KVQ3SensorStatus*> statuses;
    KVUSBDeviceHierarchy* hierarchy = nullptr;
    std::unique_ptr<KVQ3_SuitStatusProber> prober;
};

Q_DECLARE_METATYPE(std::vector<MotionCaptureSuit::KVQ3SensorStatus*>)
