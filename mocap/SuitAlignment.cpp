#include "SuitAlignment.h"

QStringList SuitAlignment::describe(const QStringList& jointNames) const
{
    QStringList lines;
    if (!aligned) {
        lines << QStringLiteral("alignment: none (raw sensor orientations)");
        return lines;
    }
    lines << QStringLiteral("alignment: T-pose, %1 samples per node, heading %2 deg from %3")
                 .arg(samples)
                 .arg(headingDeg, 0, 'f', 2)
                 .arg(headingFromLocations ? QStringLiteral("hand locations") : QStringLiteral("hips node"));
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
