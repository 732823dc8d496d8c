#pragma once

#include "SensorFrame.h"

#include <cstddef>
#include <cstdint>

// Bytes that cross the cable between the host and a receiver.
namespace usbwire {

constexpr int kOutTransferSize = 512;
constexpr int kInTransferSize = 5120;
constexpr unsigned char kEndpointOut = 0x01;
constexpr unsigned char kEndpointIn = 0x81;

constexpr uint8_t kPacketLongFrame = 0x01;
constexpr uint8_t kPacketShortFrame = 0x11;
constexpr uint8_t kPacketAck = 0x74;
constexpr uint8_t kPoll = 0x70;

constexpr uint16_t kFlagQuat = 0x0001;
constexpr uint16_t kFlagAux9 = 0x0002;
constexpr uint16_t kFlagAccel = 0x0004;
constexpr uint16_t kFlagGyro = 0x0008;
constexpr uint16_t kFlagMag = 0x0010;
constexpr uint16_t kFlagEuler = 0x0020;
constexpr uint16_t kFlagExtra = 0x0040;
constexpr uint16_t kFlagLocation = 0x0080;
constexpr uint16_t kFlagStatus8 = 0x0100;
constexpr uint16_t kFlagStatus9 = 0x0200;
constexpr uint16_t kFlagCaliMask = 0x0C00;
constexpr uint16_t kFlagStatus12 = 0x1000;
constexpr uint16_t kFlagBattery = 0x2000;
constexpr uint16_t kFlagWord14 = 0x4000;

constexpr int kLongHeaderSize = 9;
constexpr int kShortHeaderSize = 7;

// Bytes a frame of this type and these flags occupies, header included.
int sensorFrameSize(bool longFrame, uint16_t flags);

// Decodes the frame at the start of buf, which must hold sensorFrameSize()
// bytes; hostTimeMs is stored as given.
void decodeSensorFrame(const uint8_t* buf, bool longFrame, uint64_t hostTimeMs, SensorFrame& out);

// Checks a received transfer: the frame type and announced size fit into
// the received byte count. Returns the frame size, 0 when the transfer is
// not a sensor frame, or -1 when it is shorter than its flags announce.
int checkSensorTransfer(const uint8_t* buf, int length, bool& longFrame);

} // namespace usbwire

constexpr uint8_t INSTR_CALIBRATE = 1;
constexpr uint8_t INSTR_CLOSE = 3;
constexpr uint8_t INSTR_CLEAR_CALIBRATION = 4;
constexpr uint8_t POSITION_ALL_NODES = 0x3E;

// Calibration data handed through unchanged to the nodes.
struct _cali_TypeDef
{
    uint8_t bytes[16];
};

#pragma pack(push, 1)
// One instruction for a node or for every node of a suit.
struct sendToNode
{
    uint8_t leadByte;
    uint8_t instruction;
    uint32_t target;
    uint8_t payload[64];
};

// What goes out in place of a poll while an instruction waits.
struct nodeTran_ST2RT_TypeDef
{
    uint8_t head;        // 's'
    uint8_t zero[4];
    uint8_t tag;         // 'F'
    sendToNode node;
    uint8_t tail[58];
};
#pragma pack(pop)

static_assert(sizeof(_cali_TypeDef) == 16, "calibration record is 16 bytes");
static_assert(sizeof(sendToNode) == 70, "sendToNode is 70 bytes");
static_assert(sizeof(nodeTran_ST2RT_TypeDef) == 134, "nodeTran_ST2RT_TypeDef is 134 bytes");

namespace usbwire {

// The 134-byte record wrapping an instruction.
nodeTran_ST2RT_TypeDef wrapInstruction(const sendToNode& instruction);

// Fills a 512-byte OUT transfer: a poll, or the pending record when given.
void buildRequest(uint8_t out[kOutTransferSize], const nodeTran_ST2RT_TypeDef* pending);

} // namespace usbwire
