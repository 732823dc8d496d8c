#include "Skeleton.h"

#include <algorithm>
#include <functional>

Skeleton::Skeleton(std::vector<SkeletonJoint> joints)
{
    const int n = int(joints.size());
    std::vector<int> order;
    order.reserve(size_t(n));
    std::function<void(int)> visit = [&](int j) {
        order.push_back(j);
        for (int c = 0; c < n; ++c)
            if (joints[size_t(c)].parent == j)
                visit(c);
    };
    for (int j = 0; j < n; ++j)
        if (joints[size_t(j)].parent < 0)
            visit(j);
    std::vector<int> newIndex(size_t(n), -1);
    for (int i = 0; i < int(order.size()); ++i)
        newIndex[size_t(order[size_t(i)])] = i;
    vecJoints.reserve(order.size());
    for (int old : order) {
        SkeletonJoint j = joints[size_t(old)];
        j.parent = j.parent < 0 ? -1 : newIndex[size_t(j.parent)];
        vecJoints.push_back(j);
    }
}

const QStringList& Skeleton::bipedNames()
{
    static const QStringList names = {
        "Hips",    "RightUpLeg", "RightLeg",     "RightFoot", "LeftUpLeg", "LeftLeg",
        "LeftFoot", "Spine",     "Spine1",       "Neck",      "Head",      "RightArm",
        "RightForeArm", "RightHand", "LeftArm", "LeftForeArm", "LeftHand"};
    return names;
}

Skeleton Skeleton::defaultBiped(const QStringList& nodeNames)
{
    struct Row { int parent; double x, y, z; double ex, ey, ez; };
    // Hip joints 98 cm above the floor, 178 cm tall; no shoulder nodes, so
    // the upper arms hang on the chest.
    static const Row rows[17] = {
        {-1, 0, 0, 0, 0, 0, 0},          // Hips
        {0, -9, -6, 0, 0, 0, 0},         // RightUpLeg
        {1, 0, -44, 0, 0, 0, 0},         // RightLeg
        {2, 0, -42, 0, 0, -6, 14},       // RightFoot
        {0, 9, -6, 0, 0, 0, 0},          // LeftUpLeg
        {4, 0, -44, 0, 0, 0, 0},         // LeftLeg
        {5, 0, -42, 0, 0, -6, 14},       // LeftFoot
        {0, 0, 10, 0, 0, 0, 0},          // Spine
        {7, 0, 20, 0, 0, 0, 0},          // Spine1
        {8, 0, 22, 0, 0, 0, 0},          // Neck
        {9, 0, 10, 0, 0, 18, 0},         // Head
        {8, -18, 18, 0, 0, 0, 0},        // RightArm
        {11, -28, 0, 0, 0, 0, 0},        // RightForeArm
        {12, -26, 0, 0, -18, 0, 0},      // RightHand
        {8, 18, 18, 0, 0, 0, 0},         // LeftArm
        {14, 28, 0, 0, 0, 0, 0},         // LeftForeArm
        {15, 26, 0, 0, 18, 0, 0},        // LeftHand
    };
    std::vector<SkeletonJoint> joints;
    for (int i = 0; i < 17; ++i) {
        SkeletonJoint j;
        const QString given = nodeNames.value(i);
        j.name = given.isEmpty() ? bipedNames()[i] : given;
        j.nodePosition = i;
        j.parent = rows[i].parent;
        j.offset = Eigen::Vector3d(rows[i].x, rows[i].y, rows[i].z);
        j.endSite = Eigen::Vector3d(rows[i].ex, rows[i].ey, rows[i].ez);
        joints.push_back(j);
    }
    return Skeleton(std::move(joints));
}

bool Skeleton::hasChildren(int joint) const
{
    return std::any_of(vecJoints.begin(), vecJoints.end(), [joint](const SkeletonJoint& j) { return j.parent == joint; });
}

int Skeleton::indexOf(const QString& name) const
{
    for (int i = 0; i < size(); ++i)
        if (vecJoints[size_t(i)].name == name)
            return i;
    return -1;
}

double Skeleton::rootHeight() const
{
    std::vector<Eigen::Vector3d> at(vecJoints.size());
    double lowest = 0;
    for (size_t i = 0; i < vecJoints.size(); ++i) {
        const SkeletonJoint& j = vecJoints[i];
        at[i] = (j.parent < 0 ? Eigen::Vector3d::Zero() : at[size_t(j.parent)]) + j.offset;
        lowest = std::min({lowest, at[i].y(), (at[i] + j.endSite).y()});
    }
    return -lowest;
}
