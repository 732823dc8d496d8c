#pragma once

#include "Skeleton.h"

#include <QString>

// The skeleton described by the model connection file: every entry may
// carry parent="NodeName", offset="x y z" (cm, T-pose, skeleton space) and,
// for a joint without children, endSite="x y z". A file without any of
// these gets the default biped named after its entries; a description that
// does not form one tree gets the default biped and an error.
class SkeletonFile
{
public:
    struct Result
    {
        Skeleton skeleton;
        bool fromFile = false;  // the file described the skeleton itself
        QString error;          // empty when the file was usable
    };

    static Result read(const QString& path);
};
