#include "SimulatedSensor.h"
#include "DeviceEncoder.h"

#include <QFile>
#include <cerrno>
#include <chrono>
#include <cmath>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

namespace {

int speedToRate(speed_t s)
{
    switch (s) {
    case B9600: return 9600;
    case B19200: return 19200;
    case B38400: return 38400;
    case B57600: return 57600;
    case B115200: return 115200;
    case B230400: return 230400;
    case B460800: return 460800;
    case B500000: return 500000;
    case B921600: return 921600;
    case B1000000: return 1000000;
    case B1500000: return 1500000;
    case B2000000: return 2000000;
    default: return 0;
    }
}

constexpr int kSentLogLimit = 20000;
// A USB serial adapter hands the host a packet as soon as it holds this
// many received bytes, and what it holds at all once its latency timer
// runs out: a stream arrives every few milliseconds in small pieces.
constexpr int kAdapterPacket = 62;
constexpr auto kDeliveryPeriod = std::chrono::milliseconds(16);
// Bytes a device's transmit buffer holds; a sample that does not fit is
// skipped, as when a stream asks more than the line can carry.
constexpr int kTransmitBuffer = 1024;
constexpr int32_t kOne24 = 16777216;  // 1.0 in the matrices' fixed point

void putRaw(QByteArray& blocks, int block, int index, int32_t raw)
{
    std::memcpy(blocks.data() + 48 * block + 4 * index, &raw, 4);
}

} // namespace

SimulatedSensor::SimulatedSensor(const Config& config)
    : cfg(config)
    , motion(config.seed, config.distortion)
    , rng(config.seed * 7919u + 13u)
    , blocks(initialBlocks(config.storedConfig))
{
    streaming.store(cfg.streamAtStart);
    configRequestsToIgnore.store(cfg.ignoredConfigRequests);
    rateHz.store(cfg.streamRateHz);
    magCalibrated.store(cfg.magCalibrated);
}

SimulatedSensor::~SimulatedSensor()
{
    stop();
}

bool SimulatedSensor::start(QString* error)
{
    if (worker.joinable())
        return true;
    {
        std::lock_guard<std::mutex> lock(ioMutex);
        if (!openTerminal(error))
            return false;
    }
    stopping.store(false);
    worker = std::thread([this] { run(); });
    return true;
}

void SimulatedSensor::stop()
{
    stopping.store(true);
    if (worker.joinable())
        worker.join();
    std::lock_guard<std::mutex> lock(ioMutex);
    closeTerminal();
}

bool SimulatedSensor::openTerminal(QString* error)
{
    const int fd = posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK);
    if (fd < 0 || grantpt(fd) != 0 || unlockpt(fd) != 0) {
        if (error)
            *error = QStringLiteral("cannot create a pseudo-terminal: %1").arg(QString::fromLocal8Bit(std::strerror(errno)));
        if (fd >= 0)
            ::close(fd);
        return false;
    }
    // A raw line at a rate no device uses, until the host sets one.
    termios tio;
    if (tcgetattr(fd, &tio) == 0) {
        cfmakeraw(&tio);
        cfsetispeed(&tio, B9600);
        cfsetospeed(&tio, B9600);
        tcsetattr(fd, TCSANOW, &tio);
    }
    masterFd = fd;
    slaveName = QString::fromLocal8Bit(ptsname(fd));
    if (!cfg.linkPath.isEmpty()) {
        QFile::remove(cfg.linkPath);
        if (!QFile::link(slaveName, cfg.linkPath) && error)
            *error = QStringLiteral("cannot link %1 to %2").arg(cfg.linkPath, slaveName);
    }
    return true;
}

void SimulatedSensor::closeTerminal()
{
    if (masterFd >= 0)
        ::close(masterFd);
    masterFd = -1;
    if (!cfg.linkPath.isEmpty())
        QFile::remove(cfg.linkPath);
}

QString SimulatedSensor::terminalPath() const
{
    std::lock_guard<std::mutex> lock(ioMutex);
    return slaveName;
}

QString SimulatedSensor::portPath() const
{
    return cfg.linkPath.isEmpty() ? terminalPath() : cfg.linkPath;
}

void SimulatedSensor::setFault(Fault f, bool on)
{
    faults[f].store(on);
}

void SimulatedSensor::vanish()
{
    std::lock_guard<std::mutex> lock(ioMutex);
    closeTerminal();
}

bool SimulatedSensor::reappear(QString* error)
{
    std::lock_guard<std::mutex> lock(ioMutex);
    if (masterFd >= 0)
        return true;
    return openTerminal(error);
}

QByteArray SimulatedSensor::initialBlocks(StoredConfig kind)
{
    // Each block: bias x, y, z, then the matrix row by row.
    QByteArray b(144, '\0');
    for (int block = 0; block < 3; ++block) {
        for (int i = 0; i < 3; ++i)
            putRaw(b, block, 3 + 4 * i, kOne24);
    }
    if (kind == StoredConfig::Factory)
        return b;
    // Every field differs, and every value stays below 2^24 in magnitude so
    // that a host holding it as a float gives back the same integer.
    for (int block = 0; block < 3; ++block) {
        for (int i = 0; i < 3; ++i)
            putRaw(b, block, i, (i % 2 ? -1 : 1) * (1000 * (block + 1) + 137 * (i + 1)));
        for (int row = 0; row < 3; ++row) {
            for (int col = 0; col < 3; ++col) {
                const int k = 3 * row + col;
                const int32_t raw = row == col ? kOne24 - 4099 * (3 * block + row + 1)
                                               : ((k % 2) ? -1 : 1) * 5003 * (block + 1) * (k + 1);
                putRaw(b, block, 3 + k, raw);
            }
        }
    }
    if (kind == StoredConfig::TailMarker) {
        // E4 AA first appears 78 bytes into the reply's payload, in the
        // gyroscope block's middle diagonal element, and again in the
        // magnetometer block's offset.
        putRaw(b, 1, 3 + 4, 0x00FFAAE4);
        putRaw(b, 2, 0, 0x0000AAE4);
    }
    return b;
}

QList<QByteArray> SimulatedSensor::writtenSettings() const
{
    std::lock_guard<std::mutex> lock(recordMutex);
    return written;
}

bool SimulatedSensor::deliversInPieces() const
{
    switch (cfg.delivery) {
    case Delivery::Pieces:
        return true;
    case Delivery::Immediate:
        return false;
    case Delivery::Auto:
        break;
    }
    // Adapters hand bytes over in pieces at every rate (a latency timer or
    // a full USB packet), so a whole reply is never guaranteed at once.
    return true;
}

QList<int> SimulatedSensor::probedRates() const
{
    std::lock_guard<std::mutex> lock(recordMutex);
    return probed;
}

std::deque<QByteArray> SimulatedSensor::sentPayloads() const
{
    std::lock_guard<std::mutex> lock(recordMutex);
    return sentLog;
}

QByteArray SimulatedSensor::storedBlocks() const
{
    std::lock_guard<std::mutex> lock(recordMutex);
    return blocks;
}

int SimulatedSensor::lineRate() const
{
    termios tio;
    if (masterFd < 0 || tcgetattr(masterFd, &tio) != 0)
        return 0;
    return speedToRate(cfgetospeed(&tio));
}

bool SimulatedSensor::writeBytes(const QByteArray& bytes)
{
    if (fault(Mute) || masterFd < 0)
        return false;
    if (deliversInPieces()) {
        lineQueue.append(bytes);
        lineEnqueued += quint64(bytes.size());
        return true;
    }
    int done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(masterFd, bytes.constData() + done, size_t(bytes.size() - done));
        if (n <= 0)
            return false;  // the host does not keep up: bytes are lost, as on a real line
        done += int(n);
    }
    return true;
}

void SimulatedSensor::reply(const QByteArray& payload)
{
    if (fault(EmptyFrame))
        writeBytes(DeviceEncoder::frame(QByteArray()));
    writeBytes(DeviceEncoder::frame(payload));
}

void SimulatedSensor::carry(Clock::time_point now, bool matched)
{
    const double seconds = std::chrono::duration<double>(now - lastCarry).count();
    lastCarry = now;
    // Ten bits a byte: start bit, eight data bits, stop bit.
    carryCredit += seconds * cfg.baudRate / 10.0;
    const int n = std::min(int(carryCredit), lineQueue.size());
    if (n > 0) {
        QByteArray chunk = lineQueue.left(n);
        lineQueue.remove(0, n);
        // An adapter set to another rate decodes the bits as other bytes.
        if (!matched) {
            for (char& c : chunk)
                c = static_cast<char>(rng() & 0xFF);
            for (InFlightFrame& f : inFlight) {
                if (f.end > lineCarried && f.start < lineCarried + quint64(n))
                    f.garbled = true;
            }
        }
        adapterHeld.append(chunk);
        lineCarried += quint64(n);
        carryCredit -= n;
    }
    if (lineQueue.isEmpty())
        carryCredit = std::min(carryCredit, 1.0);  // an idle line stores nothing up
    int hand = 0;
    if (adapterHeld.size() >= kAdapterPacket)
        hand = adapterHeld.size() / kAdapterPacket * kAdapterPacket;
    else if (now >= nextDelivery)
        hand = adapterHeld.size();
    if (hand == 0 && now < nextDelivery)
        return;
    nextDelivery = now + kDeliveryPeriod;
    const quint64 from = lineCarried - quint64(adapterHeld.size());
    int done = 0;
    while (done < hand) {
        const ssize_t w = ::write(masterFd, adapterHeld.constData() + done, size_t(hand - done));
        if (w <= 0)
            break;  // the host does not keep up: the adapter's bytes are lost
        done += int(w);
    }
    adapterHeld.remove(0, hand);
    const quint64 handed = from + quint64(hand);
    const quint64 written = from + quint64(done);
    // Only the frames the lost bytes belonged to are lost.
    if (written < handed) {
        for (InFlightFrame& f : inFlight) {
            if (f.start < handed && f.end > written)
                f.garbled = true;
        }
    }
    while (!inFlight.empty() && inFlight.front().end <= handed) {
        if (!inFlight.front().garbled)
            recordSent(inFlight.front().payload);
        inFlight.pop_front();
    }
}

void SimulatedSensor::dropLine()
{
    lineQueue.clear();
    adapterHeld.clear();
    lineEnqueued = lineCarried = 0;
    inFlight.clear();
    identityOwed = false;
}

void SimulatedSensor::sendGarbage(int count)
{
    QByteArray junk(count, '\0');
    for (char& c : junk)
        c = static_cast<char>(rng() & 0xFF);
    writeBytes(junk);
}

void SimulatedSensor::sendSample(double dt)
{
    DeviceEncoder::SensorValues v = motion.step(dt);
    ++sampleCounter;
    if (fault(TailInPayload) && sampleCounter % 10 == 0)
        v.extra = double(0x0000AAE4) / 65536.0;  // puts E4 AA into the payload

    if (deliversInPieces() && lineQueue.size() > kTransmitBuffer)
        return;  // the line cannot carry the stream: this sample is skipped
    QByteArray payload = DeviceEncoder::sensorPayload(v);
    const bool corrupt = fault(BadCrc) && int(rng() % 100) < cfg.badCrcPercent;
    if (corrupt)
        payload[75] = static_cast<char>(payload.at(75) ^ 0x5A);
    if (fault(Garbage))
        sendGarbage(1 + int(rng() % 24));
    const QByteArray frame = DeviceEncoder::frame(payload);
    const quint64 start = lineEnqueued;
    if (!writeBytes(frame) || corrupt)
        return;
    // In pieces a frame counts as sent once the adapter has handed it over.
    if (deliversInPieces())
        inFlight.push_back({start, start + quint64(frame.size()), payload, false});
    else
        recordSent(payload);
}

void SimulatedSensor::recordSent(const QByteArray& payload)
{
    sent.fetch_add(1);
    if (payload.contains(QByteArray("\xE4\xAA", 2)))
        sentWithTail.fetch_add(1);
    std::lock_guard<std::mutex> lock(recordMutex);
    sentLog.push_back(payload);
    if (sentLog.size() > size_t(kSentLogLimit))
        sentLog.pop_front();
}

QList<QPair<int, QByteArray>> SimulatedSensor::receivedCommands() const
{
    std::lock_guard<std::mutex> lock(recordMutex);
    return received;
}

void SimulatedSensor::handle(const HostCommandParser::Command& c)
{
    {
        std::lock_guard<std::mutex> lock(recordMutex);
        received.append(qMakePair(int(c.code), c.params));
    }
    const bool ignore = fault(IgnoreCommands);
    switch (c.code) {
    case 1:
        if (cfg.lateIdentityMs > 0) {
            identityOwed = true;
            identityDue = Clock::now() + std::chrono::milliseconds(cfg.lateIdentityMs);
            return;
        }
        reply(DeviceEncoder::identityPayload(cfg.serial));
        return;
    case 3:
        if (!ignore)
            reply(DeviceEncoder::statusPayload(4, magCalibrated.load() ? 1 : 0));
        return;
    case 5:
        if (ignore)
            return;
        magCalibrated.store(false);
        reply(DeviceEncoder::statusPayload(6, 1));
        return;
    case 7:
        if (!ignore) {
            // The device does not keep this reply's checksum.
            QByteArray p = DeviceEncoder::statusPayload(8, 1);
            p[3] = static_cast<char>(p.at(3) ^ 0x3C);
            reply(p);
        }
        return;
    case 11:
        if (ignore)
            return;
        if (c.params.at(0) == 1)
            motion.zeroRotation();
        else
            motion.resetZero();
        reply(DeviceEncoder::statusPayload(12, 1));
        return;
    case 33:
        if (ignore)
            return;
        rateHz.store(std::max(1, int(uint8_t(c.params.at(0)))));
        streaming.store(true);
        reply(DeviceEncoder::statusPayload(34, 1));
        return;
    case 37:
        if (ignore)
            return;
        streaming.store(false);
        reply(DeviceEncoder::statusPayload(38, 1));
        return;
    case 39: {
        if (ignore)
            return;
        if (configRequestsToIgnore.load() > 0) {
            configRequestsToIgnore.fetch_sub(1);
            return;
        }
        uint8_t config[512] = {};
        const QByteArray b = storedBlocks();
        std::memcpy(config, b.constData(), size_t(b.size()));
        reply(DeviceEncoder::configPayload(config));
        return;
    }
    case 41: {
        if (ignore)
            return;
        const uint8_t ctrl = uint8_t(c.params.at(0));
        // Bit 2 stores the blocks as sent (all three: a host that sends
        // zeros wipes the device); bit 0 alone only starts a new collection.
        {
            std::lock_guard<std::mutex> lock(recordMutex);
            written.append(c.params.left(147));
            if (ctrl & 0x04)
                blocks = c.params.mid(3, 144);
        }
        if (ctrl & 0x04)
            magCalibrated.store(true);
        else if (ctrl & 0x01)
            magCalibrated.store(false);
        if (!fault(NoWriteAck))
            reply(DeviceEncoder::statusPayload(42, 1));
        return;
    }
    default:
        return;
    }
}

void SimulatedSensor::run()
{
    auto nextSample = Clock::now();
    lastCarry = nextSample;
    nextDelivery = nextSample + kDeliveryPeriod;
    char buf[4096];
    while (!stopping.load()) {
        std::unique_lock<std::mutex> lock(ioMutex);
        if (masterFd < 0) {
            hostConnected.store(false);
            dropLine();
            lock.unlock();
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
            nextSample = Clock::now();
            continue;
        }
        pollfd p{masterFd, POLLIN, 0};
        ::poll(&p, 1, 1);
        hostConnected.store(!(p.revents & POLLHUP));
        if (p.revents & POLLHUP) {
            // Nobody has the line open: a device talks into the void.
            parser.reset();
            dropLine();
            lock.unlock();
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
            continue;
        }
        const int rate = lineRate();
        const bool matched = rate == cfg.baudRate;
        if (p.revents & POLLIN) {
            const ssize_t n = ::read(masterFd, buf, sizeof(buf));
            if (n > 0) {
                {
                    std::lock_guard<std::mutex> rec(recordMutex);
                    if (probed.isEmpty() || probed.last() != rate)
                        probed.append(rate);
                }
                if (matched) {
                    for (const auto& command : parser.feed(QByteArray(buf, int(n))))
                        handle(command);
                } else {
                    parser.reset();  // at the wrong rate the request is noise
                }
            }
        }
        const auto now = Clock::now();
        if (identityOwed && now >= identityDue) {
            identityOwed = false;
            if (matched)
                reply(DeviceEncoder::identityPayload(cfg.serial));
            else
                sendGarbage(35);  // the host has moved to another rate meanwhile
        }
        if (streaming.load() && now >= nextSample) {
            const auto period = std::chrono::microseconds(1000000 / std::max(1, rateHz.load()));
            if (matched)
                sendSample(std::chrono::duration<double>(period).count());
            else
                sendGarbage(40);  // what a port at another rate makes of the frames
            nextSample += period;
            if (now - nextSample > period * 5)
                nextSample = now + period;  // fell behind: skip, do not burst
        }
        if (deliversInPieces())
            carry(now, matched);
    }
}
