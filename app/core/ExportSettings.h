#pragma once

#include <QString>

// The recording options as the preferences dialog and the recorder use them.
// A flag is on when it is not 0.
struct ExportSettings
{
    QString filename;
    QString filesuffix;
    QString separate;
    QString placeholder;
    int datetime = 0;
    int packcount = 0;
    int accel = 0;
    int gyro = 0;
    int mag = 0;
    int quat = 0;
    int euler = 0;
    int laccel = 0;
    int temperature = 0;
    int barometer = 0;
    int altitude = 0;
    int position = 0;
};
