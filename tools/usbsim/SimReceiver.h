#pragma once

#include "MotionModel.h"
#include "NodeFrameEncoder.h"
#include "WalkingSuit.h"

#include <array>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <deque>
#include <memory>
#include <string>
#include <vector>

// One simulated piece of USB hardware: a router relaying a suit of nodes,
// a charge plate, or any other device. A router answers every whole
// request of the host once and in order, also when the host sends a new
// one before the last is answered: with one sensor frame of the next node
// in turn, or, for the request that completes an instruction's few
// repetitions, with an acknowledgement.
class SimReceiver
{
public:
    static constexpr uint16_t kDefaultFlags = 0x3DBD;  // quat, accel, gyro, mag, euler, location, status, battery
    static constexpr size_t kKeptRequests = 256;

    // A transfer failure injected at a transfer count of one endpoint.
    struct Fault
    {
        uint64_t atTransfer = 0;  // 1-based count of that endpoint's transfers
        int error = 0;            // libusb error code, 0 for none
        int transferred = -1;     // bytes that still pass; -1 for none
        bool active() const { return error != 0 || transferred >= 0; }
    };

    SimReceiver(uint16_t vendor, uint16_t product);
    // The fault for the transfer about to start on the endpoint, counting it.
    Fault takeFault(unsigned char endpoint);

    bool isRouter() const { return vendorId == 0x1483 && productId == 0x5751; }
    std::chrono::nanoseconds framePeriod() const;

    // A request from the host (OUT transfer). Only a whole 512-byte
    // request is taken; a cut one is discarded as the firmware does.
    void receiveRequest(const uint8_t* data, int length);
    // True when the oldest owed answer is an acknowledgement or a queued
    // answer, which go out at once instead of at the frame pace.
    bool answerReady() const;
    // Whether frames are produced at all (nodes on, not silenced, answers
    // not withheld).
    bool producesFrames() const;
    // A walking suit's wearer stands in the T-pose for seconds from now.
    void walkerTPose(double seconds);
    // The answer to the oldest request still owed one.
    std::vector<uint8_t> nextAnswer();
    // The device left the bus: owed answers and the rest of a cut one go.
    void forgetExchange();

    uint16_t vendorId;
    uint16_t productId;
    // Router configuration.
    uint32_t suitNumber = 0x1234;
    int suitType = 0;
    int nodeCount = 17;
    int hz = 100;
    bool longFrames = true;
    uint16_t flags = kDefaultFlags;
    uint32_t secondSuit = 0;   // frames of another suit in between when non-zero
    int ackAfter = 3;          // cycles an instruction is repeated before the answer
    int ackValue = 1;
    bool silent = false;
    bool walking = false;      // the first suit is a person walking (WalkingSuit)
    std::string truthPath;     // where the walker writes its true joint rotations
    bool walkWithoutLocations = false;  // the walker's nodes send zero locations, as suits without positioning do
    double walkHeadingDeg = std::nan("");  // the way the walker faces, from north; NaN: drawn from the suit number
    bool held = false;         // another program has claimed the interface
    bool noPermission = false; // the device node is not accessible to the user
    bool kernelDriver = false; // a kernel driver is bound to the interface
    bool answersHeld = false;  // the router withholds every answer for now
    std::vector<Fault> outFaults;
    std::vector<Fault> inFaults;
    uint64_t outTransfers = 0;
    uint64_t inTransfers = 0;
    // What the router owes, oldest first: one answer per whole request,
    // never one unasked. An acknowledgement answers the very request that
    // completed its instruction.
    struct OwedAnswer
    {
        bool ack = false;
        uint8_t ackValue = 0;
        std::array<uint8_t, 70> instruction{};
    };
    std::deque<OwedAnswer> owed;
    std::vector<uint8_t> remainder;  // rest of an answer whose transfer timed out
    bool descriptorFails = false;
    std::deque<std::vector<uint8_t>> queuedAnswers;

    // What the router saw and sent.
    uint64_t requestCount = 0;      // whole requests taken
    uint64_t partialRequests = 0;   // cut requests discarded
    uint64_t repolls = 0;           // requests sent while the previous one was unanswered
    uint64_t unaskedReads = 0;      // IN transfers with no request to answer
    uint64_t answersSent = 0;
    std::deque<int> lastRequestLengths;
    uint64_t instructionRequests = 0;
    std::deque<std::array<uint8_t, 512>> lastRequests;
    std::vector<std::array<uint8_t, 70>> instructions;  // each distinct instruction once
    std::vector<std::array<uint8_t, 70>> acknowledged;  // each 0x74 0x01 sent, with what it confirmed
    uint64_t framesSent = 0;
    uint64_t acksSent = 0;

    // Pacing, kept by the bus.
    std::chrono::steady_clock::time_point nextDue{};

private:
    struct Node
    {
        explicit Node(uint32_t seed) : motion(seed) {}
        MotionModel motion;
        double battery = 97.0;
        bool closed = false;
    };
    std::vector<uint8_t> frameFor(uint32_t suit, int position, Node& node);
    // Nodes on air or answers queued: a frame request can be answered.
    bool hasFrameToSend() const;
    void applyInstruction(const uint8_t* instruction);
    std::vector<std::unique_ptr<Node>>& nodesOf(uint32_t suit);

    void walkingValues(int position, NodeValues& v);

    std::unique_ptr<WalkingSuit> walker;
    std::vector<std::unique_ptr<Node>> nodesA;
    std::vector<std::unique_ptr<Node>> nodesB;
    int turn = 0;                       // next (suit, node) in round robin
    bool instructionPending = false;
    int instructionCycles = 0;          // requests carrying the current instruction since the last answer to it
    std::array<uint8_t, 70> currentInstruction{};
    // The instruction just delivered, until another request comes: a
    // repeat of it is confirmed again at once.
    bool justDelivered = false;
    std::array<uint8_t, 70> deliveredInstruction{};
};
