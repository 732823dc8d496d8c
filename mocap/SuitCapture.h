#pragma once

#include "BvhOutcome.h"
#include "BvhWriter.h"
#include "GaitHeading.h"
#include "NodeSample.h"
#include "Skeleton.h"
#include "SuitAlignment.h"
#include "SuitPose.h"
#include "TPoseAlignment.h"

#include <QDateTime>
#include <QElapsedTimer>
#include <QObject>
#include <QTimer>
#include <memory>

class MotionCaptureSuit;

// The motion capture of one suit: its skeleton, the T-pose alignment and a
// BVH recording, fed from the nodes' latest frames that the suit keeps.
// Lives on the GUI thread (or the command-line tool's main thread); its
// timer runs only while a T-pose is taken or a file is recorded.
class SuitCapture : public QObject
{
    Q_OBJECT
public:
    enum State { NotAligned, Countdown, Collecting, Aligned };
    static constexpr double kDefaultFrameTime = 1.0 / 60.0;
    static constexpr double kMinFrameTime = 0.001;
    static constexpr int kSilentMs = 1000;  // a node this long without a frame counts as silent
    static constexpr double kHoldBackSeconds = 30;  // recording time held back at most for the gait heading

    // The suit belongs to the USB library and must outlive this object.
    SuitCapture(const Skeleton& skeleton, MotionCaptureSuit* suit, QObject* parent = nullptr);
    ~SuitCapture() override;

    const Skeleton& skeleton() const { return stcSkeleton; }
    unsigned suitNumber() const;
    State state() const { return eState; }
    // Milliseconds until the T-pose is taken (countdown) or done (collecting).
    int remainingMs() const;
    const SuitAlignment& alignment() const { return stcAlignment; }

    // The nodes' latest samples, one per joint.
    std::vector<NodeSample> samples() const;
    SuitPose pose() const;
    // Per joint: the node sent a frame within the last second.
    std::vector<bool> liveJoints(const std::vector<NodeSample>& samples) const;

    // Waits countdownMs, then averages every node for collectMs. Refused
    // (false) while a BVH file is written. startBvh is refused meanwhile.
    bool startTPose(int countdownMs, int collectMs);

    // seconds > 0 ends the recording by itself once that much time has
    // passed, with the frames of that time (sigBvhFinished).
    bool startBvh(const QString& path, double frameTime, QString* error, double seconds = 0);
    // Writes the frames due until now and closes the file with its frame
    // count. Returns how the recording ended, also when it had ended
    // already (time up or a failed write).
    BvhOutcome stopBvh();
    const BvhOutcome& lastBvh() const { return stcOutcome; }
    bool isRecording() const { return writer.isOpen(); }
    // Frames so far, those held back until the heading is known included.
    qint64 bvhFrames() const { return writer.frameCount() + qint64(vecHeldFrames.size()); }
    QString bvhPath() const { return writer.path(); }
    // The heading waits for the wearer to walk (no locations in the T-pose).
    bool awaitsWalking() const { return pGait != nullptr; }
    // At most this much recording time is held back in memory while the
    // heading awaits the walk; then the file goes on with the provisional
    // heading.
    void setHoldBackSeconds(double seconds) { dHoldBackSeconds = seconds; }

    static uint64_t tickMs();
    // <dir>/<name>_<yyyyMMddhhmmss>_suit<number>.bvh, named like the recordings.
    static QString fileNameFor(const QString& dir, const QString& name, const QDateTime& start, unsigned suitNumber);
    // The frame time option in seconds: a number from 0.001 to 1; anything else
    // gives the default and ok false.
    static double frameTimeFromOption(const QString& text, bool* ok);

signals:
    void sigStateChanged(int state);
    // The T-pose could not be used (a node sent nothing); still not aligned
    // if it never was, else the old alignment stays.
    void sigAlignmentFailed(QString reason);
    // A write failed; the recording has stopped and the file is closed.
    void sigBvhFailed(QString path, QString reason);
    // A recording with a duration reached it; the file is closed
    // (lastBvh() tells how it went).
    void sigBvhFinished(QString path, bool ok);

private slots:
    void onTick();

private:
    void updateTimer();
    void writeDueFrames();
    SuitPose poseOf(const std::vector<NodeSample>& samples) const;
    QStringList headerComments() const;
    void takeGaitHeading();
    // Writes the frames held back; false (and the recording failed) if a write failed.
    bool writeHeldFrames();
    // Stops waiting for the gait heading; held frames go to the file first.
    bool dropGait();
    // What a header written now says: false when aligned without a heading.
    bool headingKnown() const;
    void endBvh();
    void failBvh();

    Skeleton stcSkeleton;
    MotionCaptureSuit* pSuit;
    State eState = NotAligned;
    SuitAlignment stcAlignment;
    std::unique_ptr<TPoseAlignment> pCollector;
    int nCountdownMs = 0;
    int nCollectMs = 0;
    QElapsedTimer clockTPose;
    QTimer timer;
    BvhWriter writer;
    double dFrameTime = kDefaultFrameTime;
    double dSeconds = 0;  // the recording's duration, 0 until stopped
    QElapsedTimer clockBvh;
    QDateTime timeBvhStart;  // "recorded" in the header, also when it is written again
    double dHoldBackSeconds = kHoldBackSeconds;
    BvhOutcome stcOutcome;
    // Without locations the heading comes from the walk: until then frames
    // are kept as samples and written once it is known (or at the end).
    std::unique_ptr<GaitHeading> pGait;
    std::vector<std::vector<NodeSample>> vecHeldFrames;
};
