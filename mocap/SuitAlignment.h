#pragma once

#include <Eigen/Geometry>
#include <QStringList>
#include <vector>

// What a T-pose taught about a suit: for every joint the rotation from its
// segment to the sensor strapped on it, and the rotation from the sensors'
// world (z up) into skeleton space that makes the body face +Z.
struct SuitAlignment
{
    // Where the body's forward direction came from. A still T-pose seen only
    // through sensors strapped on at unknown angles does not show it; the
    // hands' locations do, and so do the knees once the wearer walks.
    enum Heading { HeadingPending, HeadingFromLocations, HeadingFromGait };

    bool aligned = false;
    std::vector<Eigen::Quaterniond> mounting;  // per joint, segment to sensor
    std::vector<Eigen::Quaterniond> tposeMean; // per joint, the sensor's mean orientation in the T-pose
    Eigen::Quaterniond worldToSkeleton = Eigen::Quaterniond::Identity();
    double headingDeg = 0;              // the body's forward direction in the world, from north
    Heading heading = HeadingPending;
    bool useLocations = false;          // the nodes report usable locations
    Eigen::Vector3d rootLocation{0, 0, 0};  // root node location in the T-pose, metres
    int samples = 0;                    // orientations averaged per node

    // Turns the skeleton to face headingRad (from north, towards west) and
    // maps every T-pose mean onto its segment again.
    void setHeading(double headingRad);
    // Lines for a file header: heading and every mounting quaternion.
    QStringList describe(const QStringList& jointNames) const;
};
