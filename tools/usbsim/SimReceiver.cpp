#include "SimReceiver.h"

#include <algorithm>
#include <cmath>
#include <cstring>

SimReceiver::SimReceiver(uint16_t vendor, uint16_t product) : vendorId(vendor), productId(product) {}

SimReceiver::Fault SimReceiver::takeFault(unsigned char endpoint)
{
    const bool out = endpoint == 0x01;
    const uint64_t n = out ? ++outTransfers : ++inTransfers;
    std::vector<Fault>& list = out ? outFaults : inFaults;
    for (auto it = list.begin(); it != list.end(); ++it) {
        if (it->atTransfer == n) {
            const Fault f = *it;
            list.erase(it);
            return f;
        }
    }
    return Fault{};
}

std::chrono::nanoseconds SimReceiver::framePeriod() const
{
    const int suitsOnAir = secondSuit ? 2 : 1;
    const double perSecond = double(hz) * nodeCount * suitsOnAir;
    return std::chrono::nanoseconds(int64_t(1e9 / (perSecond > 0 ? perSecond : 1)));
}

void SimReceiver::receiveRequest(const uint8_t* data, int length)
{
    std::array<uint8_t, 512> copy{};
    std::memcpy(copy.data(), data, size_t(length < 512 ? length : 512));
    lastRequests.push_back(copy);
    lastRequestLengths.push_back(length);
    if (lastRequests.size() > kKeptRequests) {
        lastRequests.pop_front();
        lastRequestLengths.pop_front();
    }
    if (length != 512) {
        ++partialRequests;
        return;
    }
    ++requestCount;
    if (!owed.empty())
        ++repolls;
    // With nothing to send the router keeps no backlog of frame requests:
    // a newer request supersedes them and their answers never come.
    if (!hasFrameToSend()) {
        owed.erase(std::remove_if(owed.begin(), owed.end(), [](const OwedAnswer& a) { return !a.ack; }),
                   owed.end());
    }
    OwedAnswer answer;
    if (data[0] == 0x73 && data[5] == 0x46) {
        ++instructionRequests;
        std::memcpy(answer.instruction.data(), data + 6, 70);
        if (justDelivered && answer.instruction == deliveredInstruction) {
            // Already relayed to the nodes: confirmed again, at once.
            answer.ack = true;
            answer.ackValue = 1;
        } else {
            if (!instructionPending || answer.instruction != currentInstruction) {
                currentInstruction = answer.instruction;
                instructions.push_back(currentInstruction);
                instructionCycles = 0;
            }
            instructionPending = true;
            if (++instructionCycles >= ackAfter) {
                instructionCycles = 0;
                answer.ack = true;
                answer.ackValue = uint8_t(ackValue);
                if (ackValue == 1) {
                    instructionPending = false;
                    justDelivered = true;
                    deliveredInstruction = currentInstruction;
                }
            }
        }
        if (!answer.ack)
            justDelivered = false;
    } else {
        instructionPending = false;
        justDelivered = false;
    }
    owed.push_back(answer);
}

bool SimReceiver::answerReady() const
{
    if (answersHeld || owed.empty())
        return false;
    return owed.front().ack || !queuedAnswers.empty();
}

void SimReceiver::forgetExchange()
{
    owed.clear();
    remainder.clear();
    instructionPending = false;
    justDelivered = false;
}

bool SimReceiver::hasFrameToSend() const
{
    if (!queuedAnswers.empty())
        return true;
    if (silent || nodeCount <= 0)
        return false;
    for (const auto* list : {&nodesA, &nodesB}) {
        for (const auto& n : *list)
            if (!n->closed)
                return true;
    }
    return nodesA.empty();
}

bool SimReceiver::producesFrames() const
{
    return !answersHeld && hasFrameToSend();
}

std::vector<std::unique_ptr<SimReceiver::Node>>& SimReceiver::nodesOf(uint32_t suit)
{
    auto& list = suit == suitNumber ? nodesA : nodesB;
    while (int(list.size()) < nodeCount)
        list.push_back(std::make_unique<Node>(uint32_t(list.size() + 1 + (suit == suitNumber ? 0 : 100))));
    return list;
}

void SimReceiver::applyInstruction(const uint8_t* instruction)
{
    const uint8_t kind = instruction[1];
    uint32_t target;
    std::memcpy(&target, instruction + 2, 4);
    if (kind != 3)
        return;
    // A closed node switches off and sends nothing more.
    auto& list = nodesOf(target >> 8);
    const unsigned position = target & 0x3F;
    for (size_t i = 0; i < list.size(); ++i) {
        if (position == 0x3E || position == i)
            list[i]->closed = true;
    }
}

std::vector<uint8_t> SimReceiver::nextAnswer()
{
    if (owed.empty())
        return {};
    const OwedAnswer owedAnswer = owed.front();
    owed.pop_front();
    if (owedAnswer.ack) {
        ++acksSent;
        if (owedAnswer.ackValue == 1) {
            acknowledged.push_back(owedAnswer.instruction);
            applyInstruction(owedAnswer.instruction.data());
        }
        return {0x74, owedAnswer.ackValue};
    }
    if (!queuedAnswers.empty()) {
        std::vector<uint8_t> answer = std::move(queuedAnswers.front());
        queuedAnswers.pop_front();
        return answer;
    }
    // The next node that is switched on, in turn over both suits.
    const int suitsOnAir = secondSuit ? 2 : 1;
    const int slots = nodeCount * suitsOnAir;
    for (int tries = 0; tries < slots; ++tries) {
        const int slot = turn;
        turn = (turn + 1) % slots;
        const uint32_t suit = (secondSuit && slot % 2 == 1) ? secondSuit : suitNumber;
        const int position = secondSuit ? slot / 2 : slot;
        Node& node = *nodesOf(suit)[size_t(position)];
        if (!node.closed) {
            ++framesSent;
            return frameFor(suit, position, node);
        }
    }
    return {};
}

void SimReceiver::walkerTPose(double seconds)
{
    if (!walker)
        walker = std::make_unique<WalkingSuit>(suitNumber, truthPath, walkHeadingDeg);
    walker->standInTPose(seconds);
}

void SimReceiver::walkingValues(int position, NodeValues& v)
{
    if (!walker)
        walker = std::make_unique<WalkingSuit>(suitNumber, truthPath, walkHeadingDeg);
    const WalkingSuit::Sample s = walker->sample(position);
    const Eigen::Quaterniond& q = s.orientation;
    const double quat[4] = {q.w(), q.x(), q.y(), q.z()};
    const Eigen::Matrix3d r = q.toRotationMatrix();
    // Gravity and a 48 uT field inclined by 60 degrees, seen by the sensor.
    const Eigen::Vector3d accel = r.transpose() * Eigen::Vector3d(0, 0, 1);
    const Eigen::Vector3d mag = r.transpose() * Eigen::Vector3d(24.0, 0, -41.57);
    for (int i = 0; i < 4; ++i)
        v.quat[i] = quat[i];
    for (int i = 0; i < 3; ++i) {
        v.accel[i] = accel[i];
        v.gyro[i] = s.gyro[i];
        v.mag[i] = mag[i];
        v.location[i] = walkWithoutLocations ? 0.0 : s.location[i];
    }
    v.euler[0] = std::atan2(2 * (q.w() * q.x() + q.y() * q.z()), 1 - 2 * (q.x() * q.x() + q.y() * q.y())) * 180 / M_PI;
    v.euler[1] = std::asin(std::clamp(2 * (q.w() * q.y() - q.z() * q.x()), -1.0, 1.0)) * 180 / M_PI;
    v.euler[2] = std::atan2(2 * (q.w() * q.z() + q.x() * q.y()), 1 - 2 * (q.y() * q.y() + q.z() * q.z())) * 180 / M_PI;
    for (int i = 0; i < 9; ++i)
        v.aux9[i] = r(i / 3, i % 3) + 1.0;
}

std::vector<uint8_t> SimReceiver::frameFor(uint32_t suit, int position, Node& node)
{
    NodeValues v;
    if (walking && suit == suitNumber && position < WalkingSuit::kNodes) {
        walkingValues(position, v);
        v.extra = 25.0 + 0.1 * position;
        node.battery = std::max(5.0, node.battery - 0.0005);
        v.battery = uint8_t(node.battery);
        const uint32_t nodeId = (suit << 8) | (uint32_t(suitType & 3) << 6) | uint32_t(position & 0x3F);
        return encodeNodeFrame(longFrames, uint16_t(framesSent), nodeId, flags, v);
    }
    const DeviceEncoder::SensorValues s = node.motion.step(1.0 / (hz > 0 ? hz : 1));
    for (int i = 0; i < 3; ++i) {
        v.accel[i] = s.accel[i];
        v.gyro[i] = s.gyro[i];
        v.mag[i] = s.mag[i];
        v.euler[i] = s.euler[i];
    }
    for (int i = 0; i < 4; ++i)
        v.quat[i] = s.quat[i];
    // Nine values in 0..2: the body axes' components shifted by one.
    const double w = s.quat[0], x = s.quat[1], y = s.quat[2], z = s.quat[3];
    const double m[9] = {1 - 2 * (y * y + z * z), 2 * (x * y - w * z), 2 * (x * z + w * y),
                         2 * (x * y + w * z),     1 - 2 * (x * x + z * z), 2 * (y * z - w * x),
                         2 * (x * z - w * y),     2 * (y * z + w * x), 1 - 2 * (x * x + y * y)};
    for (int i = 0; i < 9; ++i)
        v.aux9[i] = m[i] + 1.0;
    v.extra = 25.0 + 0.1 * position;
    // Nodes stand on a 17-point figure 1.7 m tall, swaying with the rotation.
    v.location[0] = 0.1 * (position % 3) + 0.05 * x;
    v.location[1] = 0.1 * (position % 5) + 0.05 * y;
    v.location[2] = 1.7 * (1.0 - position / 17.0);
    node.battery = std::max(5.0, node.battery - 0.0005);
    v.battery = uint8_t(node.battery);
    const uint32_t nodeId = (suit << 8) | (uint32_t(suitType & 3) << 6) | uint32_t(position & 0x3F);
    return encodeNodeFrame(longFrames, uint16_t(framesSent), nodeId, flags, v);
}
