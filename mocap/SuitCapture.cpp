#include "SuitCapture.h"
#include "MotionCaptureSuit.h"
#include "PoseSolver.h"

#include <QDateTime>
#include <chrono>
#include <cmath>

SuitCapture::SuitCapture(const Skeleton& s, MotionCaptureSuit* suit, QObject* parent)
    : QObject(parent), stcSkeleton(s), pSuit(suit)
{
    timer.setTimerType(Qt::PreciseTimer);
    timer.setInterval(5);
    connect(&timer, &QTimer::timeout, this, &SuitCapture::onTick);
}

SuitCapture::~SuitCapture()
{
    writer.close();
}

unsigned SuitCapture::suitNumber() const
{
    return pSuit ? pSuit->getSuitNumber() : 0;
}

uint64_t SuitCapture::tickMs()
{
    // The clock the USB library stamps frames with.
    return uint64_t(std::chrono::duration_cast<std::chrono::milliseconds>(
                        std::chrono::steady_clock::now().time_since_epoch())
                        .count());
}

QString SuitCapture::fileNameFor(const QString& dir, const QString& name, const QDateTime& start, unsigned suitNumber)
{
    return dir + QStringLiteral("/") + name + QStringLiteral("_") + start.toString(QStringLiteral("yyyyMMddhhmmss"))
           + QStringLiteral("_suit") + QString::number(suitNumber) + QStringLiteral(".bvh");
}

double SuitCapture::frameTimeFromOption(const QString& text, bool* ok)
{
    bool parsed = false;
    const double v = text.trimmed().toDouble(&parsed);
    // Below a millisecond the frames would outrun the suit's own rate and the
    // frames held back for the heading would not fit in memory.
    const bool good = parsed && std::isfinite(v) && v >= kMinFrameTime && v <= 1;
    if (ok)
        *ok = good;
    return good ? v : kDefaultFrameTime;
}

int SuitCapture::remainingMs() const
{
    if (eState == Countdown)
        return int(std::max<qint64>(0, nCountdownMs - clockTPose.elapsed()));
    if (eState == Collecting)
        return int(std::max<qint64>(0, nCountdownMs + nCollectMs - clockTPose.elapsed()));
    return 0;
}

std::vector<NodeSample> SuitCapture::samples() const
{
    std::vector<NodeSample> out(size_t(stcSkeleton.size()));
    if (!pSuit)
        return out;
    for (size_t j = 0; j < out.size(); ++j) {
        const int position = stcSkeleton.joints()[j].nodePosition;
        SensorFrame f;
        if (position < 0 || position > 255 || !pSuit->getLastFrameByIndexInSuit((unsigned char)position, f))
            continue;
        Eigen::Quaterniond q(f.quat[0], f.quat[1], f.quat[2], f.quat[3]);
        // A frame without an orientation carries zeros.
        if (!std::isfinite(q.norm()) || q.norm() < 0.5)
            continue;
        out[j].valid = true;
        out[j].orientation = q.normalized();
        out[j].location = Eigen::Vector3d(f.location[0], f.location[1], f.location[2]);
        out[j].timeMs = f.hostTimeMs;
    }
    return out;
}

std::vector<bool> SuitCapture::liveJoints(const std::vector<NodeSample>& s) const
{
    const uint64_t now = tickMs();
    std::vector<bool> live(s.size());
    for (size_t j = 0; j < s.size(); ++j)
        live[j] = s[j].valid && now < s[j].timeMs + kSilentMs;
    return live;
}

SuitPose SuitCapture::poseOf(const std::vector<NodeSample>& s) const
{
    SuitPose p = PoseSolver::solve(stcSkeleton, stcAlignment, s);
    p.live = liveJoints(s);
    return p;
}

SuitPose SuitCapture::pose() const
{
    return poseOf(samples());
}

bool SuitCapture::startTPose(int countdownMs, int collectMs)
{
    // A new alignment in the middle of a file would contradict its header.
    if (writer.isOpen())
        return false;
    nCountdownMs = std::max(0, countdownMs);
    nCollectMs = std::max(1, collectMs);
    pCollector.reset();
    clockTPose.start();
    eState = Countdown;
    updateTimer();
    emit sigStateChanged(eState);
    onTick();
    return true;
}

QStringList SuitCapture::headerComments() const
{
    QStringList comments;
    comments << QStringLiteral("Strideloom suit %1 recorded %2")
                    .arg(QStringLiteral("0x%1").arg(suitNumber(), 6, 16, QLatin1Char('0')))
                    .arg(timeBvhStart.toString(Qt::ISODate));
    QStringList names;
    for (const SkeletonJoint& j : stcSkeleton.joints())
        names << j.name;
    comments << stcAlignment.describe(names);
    return comments;
}

bool SuitCapture::startBvh(const QString& path, double frameTime, QString* error, double seconds)
{
    // The header holds the alignment the frames are written with.
    if (eState == Countdown || eState == Collecting) {
        if (error)
            *error = QStringLiteral("a T-pose is being taken: record once it is done");
        return false;
    }
    if (writer.isOpen())
        endBvh();
    vecHeldFrames.clear();
    stcOutcome = BvhOutcome();
    stcOutcome.path = path;
    timeBvhStart = QDateTime::currentDateTime();
    stcOutcome.headingKnown = headingKnown();
    if (!writer.open(path, stcSkeleton, frameTime, headerComments())) {
        stcOutcome.error = writer.errorString();
        if (error)
            *error = stcOutcome.error;
        writer.close();
        return false;
    }
    dFrameTime = frameTime;
    dSeconds = seconds > 0 && std::isfinite(seconds) ? seconds : 0;
    clockBvh.start();
    updateTimer();
    return true;
}

BvhOutcome SuitCapture::stopBvh()
{
    if (writer.isOpen()) {
        writeDueFrames();
        if (writer.isOpen())
            endBvh();
    } else if (stcOutcome.path.isEmpty()) {
        stcOutcome.error = QStringLiteral("nothing was recorded");
    }
    return stcOutcome;
}

bool SuitCapture::writeHeldFrames()
{
    for (const std::vector<NodeSample>& s : vecHeldFrames) {
        if (!writer.writeFrame(poseOf(s))) {
            failBvh();
            return false;
        }
    }
    vecHeldFrames.clear();
    return true;
}

bool SuitCapture::headingKnown() const
{
    return !stcAlignment.aligned || stcAlignment.heading != SuitAlignment::HeadingPending;
}

bool SuitCapture::dropGait()
{
    pGait.reset();
    return !writer.isOpen() || writeHeldFrames();
}

void SuitCapture::endBvh()
{
    if (!writeHeldFrames())
        return;
    stcOutcome.frames = writer.frameCount();
    stcOutcome.ok = writer.close();
    stcOutcome.error = stcOutcome.ok ? QString() : writer.errorString();
    updateTimer();
}

void SuitCapture::failBvh()
{
    stcOutcome.ok = false;
    stcOutcome.frames = writer.frameCount();
    stcOutcome.error = writer.errorString();
    vecHeldFrames.clear();
    writer.close();
    updateTimer();
    emit sigBvhFailed(stcOutcome.path, stcOutcome.error);
}

void SuitCapture::updateTimer()
{
    const bool needed = eState == Countdown || eState == Collecting || writer.isOpen() || pGait;
    if (needed && !timer.isActive())
        timer.start();
    else if (!needed)
        timer.stop();
}

void SuitCapture::writeDueFrames()
{
    // Frame k belongs at k · frame time after the start: a late timer
    // writes the frames it missed, so count × frame time stays the duration.
    const double elapsed = clockBvh.nsecsElapsed() * 1e-9;
    qint64 due = qint64(std::floor(elapsed / dFrameTime)) + 1;
    bool timeUp = false;
    if (dSeconds > 0) {
        const qint64 all = std::max<qint64>(1, qint64(std::ceil(dSeconds / dFrameTime - 1e-9)));
        due = std::min(due, all);
        timeUp = elapsed >= dSeconds;
    }
    if (pGait && bvhFrames() < due) {
        vecHeldFrames.resize(size_t(due - writer.frameCount()), samples());
        // Nobody walked for that long: the held frames go to the file with
        // the provisional heading, which the header already calls unknown,
        // and so do all later ones.
        if (double(vecHeldFrames.size()) * dFrameTime >= dHoldBackSeconds) {
            const bool written = dropGait();
            emit sigStateChanged(eState);
            if (!written)
                return;
        }
    }
    if (!pGait && writer.frameCount() < due) {
        const SuitPose p = poseOf(samples());
        while (writer.frameCount() < due) {
            if (!writer.writeFrame(p)) {
                failBvh();
                return;
            }
        }
    }
    if (timeUp) {
        endBvh();
        emit sigBvhFinished(stcOutcome.path, stcOutcome.ok);
    }
}

void SuitCapture::takeGaitHeading()
{
    const std::vector<NodeSample> s = samples();
    pGait->add(poseOf(s), s);
    if (!pGait->settled())
        return;
    stcAlignment.setHeading(stcAlignment.headingDeg * M_PI / 180.0 + pGait->correctionRad());
    stcAlignment.heading = SuitAlignment::HeadingFromGait;
    pGait.reset();
    // Nothing written yet: the header can still tell the heading used.
    if (writer.isOpen() && writer.frameCount() == 0) {
        writer.close();
        if (!writer.open(stcOutcome.path, stcSkeleton, dFrameTime, headerComments())) {
            failBvh();
            return;
        }
        stcOutcome.headingKnown = true;
    }
    if (writer.isOpen())
        writeHeldFrames();
    updateTimer();
    emit sigStateChanged(eState);
}

void SuitCapture::onTick()
{
    if (eState == Countdown && clockTPose.elapsed() >= nCountdownMs) {
        eState = Collecting;
        pCollector = std::make_unique<TPoseAlignment>(stcSkeleton);
        emit sigStateChanged(eState);
    }
    if (eState == Collecting) {
        pCollector->add(samples());
        if (clockTPose.elapsed() >= nCountdownMs + nCollectMs) {
            QString why;
            const SuitAlignment a = pCollector->finish(&why);
            pCollector.reset();
            if (a.aligned) {
                // Frames held back so far belong to the old alignment (a
                // failed write has ended the recording and said so).
                dropGait();
                stcAlignment = a;
                if (a.heading == SuitAlignment::HeadingPending) {
                    pGait = std::make_unique<GaitHeading>(stcSkeleton);
                    if (!pGait->hasKnees())
                        pGait.reset();
                }
            }
            eState = stcAlignment.aligned ? Aligned : NotAligned;
            updateTimer();
            if (!a.aligned)
                emit sigAlignmentFailed(why);
            emit sigStateChanged(eState);
        }
    }
    if (pGait && eState == Aligned)
        takeGaitHeading();
    if (writer.isOpen())
        writeDueFrames();
}
