// A receiver's answer: transfer check, frame decoding and routing into a
// suit's node table.
#include "MotionCaptureSuit.h"
#include "UsbWireFormat.h"

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static MotionCaptureSuit* normal = [] {
        auto* s = new MotionCaptureSuit(0x1234, KORVANT_Q3, nullptr, false);
        s->stopStatusProber();
        return s;
    }();
    static MotionCaptureSuit* extended = [] {
        auto* s = new MotionCaptureSuit(0x1234, KORVANT_Q3, nullptr, true);
        s->stopStatusProber();
        return s;
    }();
    // The read buffer is as large as an IN transfer; only size bytes are fresh.
    std::vector<uint8_t> buffer(usbwire::kInTransferSize, 0xA5);
    std::memcpy(buffer.data(), data, size < buffer.size() ? size : buffer.size());
    bool longFrame = false;
    if (usbwire::checkSensorTransfer(buffer.data(), int(size < buffer.size() ? size : buffer.size()), longFrame) <= 0)
        return 0;
    SensorFrame frame;
    usbwire::decodeSensorFrame(buffer.data(), longFrame, 1, frame);
    normal->distributeSF(frame);
    extended->distributeSF(frame);
    normal->calcUpdateSensorsStatAt(true, true, 2);
    extended->calcUpdateSensorsStatAt(true, true, 2);
    (void)normal->getLastQuatByIndexInSuit(uint8_t(frame.nodeId));
    return 0;
}
