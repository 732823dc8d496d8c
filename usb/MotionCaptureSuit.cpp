#include "MotionCaptureSuit.h"

#include "KVQ3_SuitStatusProber.h"
#include "SuitNode.h"
#include "UsbLog.h"
#include "UsbWireFormat.h"

#include <cstdio>
#include <cstring>

namespace {

const char* propertyName(int property)
{
    return property == KORVANT_Q3 ? "KORVANT_Q3" : "KORVANT_ZAN";
}

// Stores value and sets the change flag; clears the flag when unchanged.
void track(uint8_t& stored, uint8_t& changed, uint8_t value)
{
    changed = stored != value ? 1 : 0;
    stored = value;
}

} // namespace

MotionCaptureSuit::MotionCaptureSuit() : QObject(nullptr) {}

MotionCaptureSuit::MotionCaptureSuit(unsigned int number, MotionCaptureSuit_Property prop,
                                     KVUSBDeviceHierarchy* hier, bool extense)
    : QObject(nullptr)
{
    setSuitNumber(number);
    setSuitProperty(prop);
    extenseMode = extense;
    hierarchy = hier;
    buildNodeTable();
    prober = std::make_unique<KVQ3_SuitStatusProber>();
    prober->setSuit(this);
    prober->start(QThread::InheritPriority);
}

MotionCaptureSuit::~MotionCaptureSuit()
{
    stopStatusProber();
    for (SuitNode* n : nodes)
        delete n;
    for (KVQ3SensorStatus* s : statuses)
        delete s;
}

void MotionCaptureSuit::buildNodeTable()
{
    if (property != KORVANT_Q3)
        return;
    const int count = extenseMode ? extNodeCount : nodeCount;
    for (int i = 0; i < count; ++i)
        nodes.push_back(new SuitNode(suitNumber, uint8_t(i)));
    if (!extenseMode) {
        for (int i = 0; i < nodeCount; ++i)
            statuses.push_back(new KVQ3SensorStatus{});
    }
}

unsigned int MotionCaptureSuit::getSuitNumber() const
{
    return suitNumber;
}

void MotionCaptureSuit::setSuitNumber(unsigned int number)
{
    if (suitNumber != 0)
        usbLog("[WARN]suitNumber Overwrite!old value:0x%08x new value:0x%08x.\r\n", suitNumber, number);
    suitNumber = number;
}

MotionCaptureSuit_Property MotionCaptureSuit::getSuitProperty() const
{
    return property;
}

void MotionCaptureSuit::setSuitProperty(MotionCaptureSuit_Property prop)
{
    if (property != SUIT_PROPERTY_UNSET)
        usbLog("[WARN]suitProperty Overwrite!old value:0x%01x new value:0x%01x.\r\n", unsigned(property),
               unsigned(prop));
    property = prop;
}

bool MotionCaptureSuit::getExtenseMode() const
{
    return extenseMode;
}

void MotionCaptureSuit::setExtenseMode(bool extense)
{
    extenseMode = extense;
}

KVUSBDeviceHierarchy* MotionCaptureSuit::getPtrKVUSBDeviceHier() const
{
    std::lock_guard<std::mutex> lock(mutexNodes);
    return hierarchy;
}

void MotionCaptureSuit::setPtrKVUSBDeviceHier(KVUSBDeviceHierarchy* hier)
{
    std::lock_guard<std::mutex> lock(mutexNodes);
    hierarchy = hier;
}

std::string MotionCaptureSuit::getSuitName() const
{
    char suffix[16];
    std::snprintf(suffix, sizeof suffix, "_0x%08x", suitNumber);
    return name + suffix;
}

std::vector<float> MotionCaptureSuit::getLastQuatByIndexInSuit(unsigned char index)
{
    std::lock_guard<std::mutex> lock(mutexNodes);
    if (index >= nodes.size())
        return std::vector<float>(4, 0.0f);
    const float* q = nodes[index]->lastFrame.quat;
    return {q[0], q[1], q[2], q[3]};
}

std::vector<float> MotionCaptureSuit::getLastLocByIndexInSuit(unsigned char index)
{
    std::lock_guard<std::mutex> lock(mutexNodes);
    if (index >= nodes.size())
        return std::vector<float>(3, 0.0f);
    const float* l = nodes[index]->lastFrame.location;
    return {l[0], l[1], l[2]};
}

bool MotionCaptureSuit::getLastFrameByIndexInSuit(unsigned char index, SensorFrame& out) const
{
    std::lock_guard<std::mutex> lock(mutexNodes);
    if (index >= nodes.size() || nodes[index]->packetCount == 0)
        return false;
    out = nodes[index]->lastFrame;
    return true;
}

void MotionCaptureSuit::distributeSF(const SensorFrame& sf)
{
    {
        std::lock_guard<std::mutex> lock(mutexNodes);
        const unsigned position = nodePosition(sf.nodeId);
        // A position beyond the node table (or a suit without one) keeps no
        // bookkeeping, but its frames are still passed on.
        if (position < nodes.size()) {
            SuitNode& node = *nodes[position];
            node.frameHistory.push_back(sf);
            ++node.packetCount;
            node.lastFrame = sf;
            if (sf.battery != 0)
                node.battery = sf.battery;
            node.cali = (sf.flags >> 10) & 3u;
            node.magd = sf.statusBit8;
            node.statusBit9 = sf.statusBit9;
            uint32_t word14;
            std::memcpy(&word14, sf.word14, sizeof word14);
            if (word14 != 0)
                node.word14 = word14;
            node.lastFrameTimeMs = sf.hostTimeMs;
            if (node.frameHistory.size() > SuitNode::kHistoryFrames) {
                node.frameHistory.pop_front();
                ++node.droppedCount;
            }
        }
    }
    // Emitted without the lock: a direct receiver may look the suit up.
    emit newDatafromSuit(sf);
}

void MotionCaptureSuit::calcUpdateSensorsStat(bool linkCheck, bool periodTick)
{
    calcUpdateSensorsStatAt(linkCheck, periodTick, uint64_t(usbTickMs()));
}

void MotionCaptureSuit::calcUpdateSensorsStatAt(bool linkCheck, bool periodTick, uint64_t nowMs)
{
    std::vector<KVQ3SensorStatus*> published;
    {
        std::lock_guard<std::mutex> lock(mutexNodes);
        for (SuitNode* node : nodes) {
            if (linkCheck)
                node->link = node->lastFrameTimeMs != 0 && int64_t(nowMs - node->lastFrameTimeMs) < 1000 ? 1 : 0;
            if (periodTick) {
                node->framesLastSecond = int16_t(uint16_t(node->packetCount) - uint16_t(node->packetCountMark));
                node->frameRateHistory.push_back(node->framesLastSecond);
                if (node->frameRateHistory.size() > SuitNode::kRateHistory)
                    node->frameRateHistory.pop_front();
                node->packetCountMark = node->packetCount;
            }
        }
        // Only normal suits have status records.
        if (statuses.size() == nodeCount && nodes.size() >= nodeCount) {
            for (size_t i = 0; i < nodeCount; ++i) {
                KVQ3SensorStatus& s = *statuses[i];
                const SuitNode& n = *nodes[i];
                track(s.link, s.linkChanged, n.link);
                track(s.battery, s.batteryChanged, n.battery);
                track(s.magd, s.magdChanged, n.magd);
                track(s.cali, s.caliChanged, uint8_t(n.cali));
            }
        }
        published = statuses;
    }
    emit sensorStatusChanged(published);
}

size_t MotionCaptureSuit::nodeTableSize() const
{
    std::lock_guard<std::mutex> lock(mutexNodes);
    return nodes.size();
}

bool MotionCaptureSuit::copyNode(unsigned index, SuitNode& out) const
{
    std::lock_guard<std::mutex> lock(mutexNodes);
    if (index >= nodes.size())
        return false;
    out = *nodes[index];
    return true;
}

std::vector<MotionCaptureSuit::KVQ3SensorStatus> MotionCaptureSuit::getSensorStatuses() const
{
    std::lock_guard<std::mutex> lock(mutexNodes);
    std::vector<KVQ3SensorStatus> copy;
    copy.reserve(statuses.size());
    for (const KVQ3SensorStatus* s : statuses)
        copy.push_back(*s);
    return copy;
}

KVQ3_SuitStatusProber* MotionCaptureSuit::getProber() const
{
    return prober.get();
}

void MotionCaptureSuit::stopStatusProber()
{
    if (prober)
        prober->stop();
}

void MotionCaptureSuit::motionCaptureSuitPrintf(MotionCaptureSuit& suit)
{
    usbLog("<TIME:%lld><%s>", usbTickMs(), suit.getSuitName().c_str());
    usbLog("[INFO]<SuitNumber:0x%08x><packageProperty:%s><extense:%d>\r\n", suit.suitNumber,
           propertyName(suit.property), suit.extenseMode ? 1 : 0);
    std::lock_guard<std::mutex> lock(suit.mutexNodes);
    for (size_t i = 0; i < suit.nodes.size(); ++i) {
        const SuitNode& n = *suit.nodes[i];
        usbLog("  %02d/PCNT:%08lld/BTY:%03d/SIG:%02d/FR:%02d ", n.position, (long long)n.packetCount, n.battery,
               n.link, n.framesLastSecond);
        if (i % 4 == 0)
            usbLog("\r\n");
    }
    usbLog("\r\n");
}

void MotionCaptureSuit::kvq3SensorStatusVecPrintf(std::vector<MotionCaptureSuit::KVQ3SensorStatus*> vec)
{
    usbLog("[INFO]<TIME:%lld>SensorStatus Vector\r\n", usbTickMs());
    for (const KVQ3SensorStatus* s : vec) {
        usbLog("LINK:%02d %01d BTY:%03d %01d MAGD:%02d %01d CALI:%02d %01d\r\n", s->link, s->linkChanged ? 1 : 0,
               s->battery, s->batteryChanged ? 1 : 0, s->magd ? 1 : 0, s->magdChanged ? 1 : 0, s->cali,
               s->caliChanged ? 1 : 0);
    }
    usbLog("\r\n");
}
