#pragma once

#include <QString>

// How a BVH recording ended.
struct BvhOutcome
{
    bool ok = false;           // written completely and closed with its frame count
    qint64 frames = 0;         // frames in the file
    QString path;
    QString error;             // why not, when not ok
    bool headingKnown = true;  // false: no locations and no walking seen, so the file may not face the screen
};
