#pragma once

#include "SensorFrame.h"

#include <cstdint>
#include <deque>

// What a suit keeps of one node: counters, the last frames and the status
// values the prober publishes.
struct SuitNode
{
    static constexpr size_t kHistoryFrames = 1024;
    static constexpr size_t kRateHistory = 300;

    SuitNode(uint32_t suit, uint8_t pos) : suitNumber(suit), position(pos) {}

    uint32_t suitNumber = 0;
    uint8_t position = 0;
    uint64_t packetCount = 0;
    uint64_t droppedCount = 0;
    uint64_t packetCountMark = 0;
    std::deque<SensorFrame> frameHistory;
    SensorFrame lastFrame{};
    uint8_t battery = 0;
    uint8_t magd = 0;
    uint8_t statusBit9 = 0;
    uint32_t cali = 0;
    uint32_t word14 = 0;
    uint64_t lastFrameTimeMs = 0;
    int16_t framesLastSecond = 0;
    std::deque<int16_t> frameRateHistory;
    uint8_t link = 0;
};
