#include "SuitAlignment.h"
#include "TPoseAlignment.h"

#include <cmath>

void SuitAlignment::setHeading(double headingRad)
{
    headingDeg = headingRad * 180.0 / M_PI;
    worldToSkeleton = TPoseAlignment::axisChange() * Eigen::Quaterniond(Eigen::AngleAxisd(-headingRad, Eigen::Vector3d::UnitZ()));
    mounting.resize(tposeMean.size());
    for (size_t j = 0; j < tposeMean.size(); ++j)
        mounting[j] = tposeMean[j].conjugate() * worldToSkeleton.conjugate();
}

QStringList SuitAlignment::describe(const QStringList& jointNames) const
{
    QStringList lines;
    if (!aligned) {
        lines << QStringLiteral("alignment: none (raw sensor orientations)");
        return lines;
    }
    const QString from = heading == HeadingFromLocations ? QStringLiteral("hand locations")
                         : heading == HeadingFromGait    ? QStringLiteral("the knees while walking")
                                                         : QStringLiteral("nothing yet (no locations, no walking seen): unknown");
    lines << QStringLiteral("alignment: T-pose, %1 samples per node, heading %2 deg from %3")
                 .arg(samples)
                 .arg(headingDeg, 0, 'f', 2)
                 .arg(from);
    const Eigen::Quaterniond& c = worldToSkeleton;
    lines << QStringLiteral("world to skeleton (w x y z): %1 %2 %3 %4")
                 .arg(c.w(), 0, 'f', 6).arg(c.x(), 0, 'f', 6).arg(c.y(), 0, 'f', 6).arg(c.z(), 0, 'f', 6);
    for (size_t i = 0; i < mounting.size(); ++i) {
        const Eigen::Quaterniond& m = mounting[i];
        lines << QStringLiteral("mounting %1 (w x y z): %2 %3 %4 %5")
                     .arg(jointNames.value(int(i)))
                     .arg(m.w(), 0, 'f', 6).arg(m.x(), 0, 'f', 6).arg(m.y(), 0, 'f', 6).arg(m.z(), 0, 'f', 6);
    }
    return lines;
}
