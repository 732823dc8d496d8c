#pragma once

#include <Eigen/Geometry>
#include <QStringList>
#include <vector>

// What a T-pose taught about a suit: for every joint the rotation from its
// segment to the sensor strapped on it, and the rotation from the sensors'
// world (z up) into skeleton space that makes the body face +Z.
struct SuitAlignment
{
    bool aligned = false;
    std::vector<Eigen::Quaterniond> mounting;  // per joint, segment to sensor
    Eigen::Quaterniond worldToSkeleton = Eigen::Quaterniond::Identity();
    double headingDeg = 0;              // the body's forward direction in the world, from north
    bool headingFromLocations = false;  // from the hands' locations, else from the hips node
    bool useLocations = false;          // the nodes report usable locations
    Eigen::Vector3d rootLocation{0, 0, 0};  // root node location in the T-pose, metres
    int samples = 0;                    // orientations averaged per node

    // Lines for a file header: heading and every mounting quaternion.
    QStringList describe(const QStringList& jointNames) const;
};
