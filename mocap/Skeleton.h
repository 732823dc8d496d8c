#pragma once

#include <QString>
#include <QStringList>
#include <Eigen/Geometry>
#include <vector>

// One joint of a suit's skeleton: the node that drives it and where it sits
// on its parent in the T-pose. Skeleton space is Y up, the body facing +Z,
// its left side towards +X (the usual orientation of motion capture files);
// lengths are centimetres.
struct SkeletonJoint
{
    QString name;
    int nodePosition = -1;        // index of the driving node in the suit
    int parent = -1;              // index into the skeleton, -1 for the root
    Eigen::Vector3d offset{0, 0, 0};
    Eigen::Vector3d endSite{0, 0, 0};  // tip of a joint without children
};

// Joints ordered so that every parent comes before its children and each
// subtree is contiguous (the order a BVH hierarchy lists them in).
class Skeleton
{
public:
    Skeleton() = default;
    // Orders the joints depth first, children in the given order. The
    // caller has checked that the parents form one tree.
    explicit Skeleton(std::vector<SkeletonJoint> joints);

    // The 17-node biped of the standard suit with adult proportions;
    // nodeNames[i] is the name of node position i (empty names keep the
    // joint's own name).
    static Skeleton defaultBiped(const QStringList& nodeNames = QStringList());
    static const QStringList& bipedNames();

    const std::vector<SkeletonJoint>& joints() const { return vecJoints; }
    int size() const { return int(vecJoints.size()); }
    bool empty() const { return vecJoints.empty(); }
    bool hasChildren(int joint) const;
    int indexOf(const QString& name) const;
    // Height of the root above the lowest end site in the T-pose.
    double rootHeight() const;

private:
    std::vector<SkeletonJoint> vecJoints;
};
