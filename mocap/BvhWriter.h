#pragma once

#include "Skeleton.h"
#include "SuitPose.h"

#include <QFile>
#include <QString>
#include <QStringList>

// Writes a BVH file: the hierarchy of a skeleton (root with position and
// ZXY rotation channels, joints with ZXY rotation channels, End Sites),
// then one MOTION line per pose. The root's OFFSET and position are its
// height above the lowest end site plus the pose's root displacement. Numbers are written with four decimals
// (the frame time with nine digits) and a "." whatever the locale. The frame count is written when the file
// is closed.
class BvhWriter
{
public:
    BvhWriter() = default;
    BvhWriter(const BvhWriter&) = delete;
    BvhWriter& operator=(const BvhWriter&) = delete;
    ~BvhWriter();

    // comments go into the header, one "# " line each, after HIERARCHY
    // (importers expect that word on the first line).
    bool open(const QString& path, const Skeleton& skeleton, double frameTime, const QStringList& comments);
    bool writeFrame(const SuitPose& pose);
    // Fills in the frame count and closes; false if anything failed.
    bool close();

    bool isOpen() const { return file.isOpen(); }
    qint64 frameCount() const { return nFrames; }
    QString path() const { return file.fileName(); }
    QString errorString() const { return strError; }

    // value with four decimals and a "." ("-0.0000" written as "0.0000").
    static void appendNumber(QByteArray* out, double value);

private:
    bool fail(const QString& what);

    QFile file;
    Skeleton skeleton;
    qint64 nFrames = 0;
    qint64 framesFieldAt = -1;
    bool bFailed = false;
    QString strError;
};
