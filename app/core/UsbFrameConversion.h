#pragma once

#include "FrameData.h"
#include "SensorFrame.h"

// A USB node's frame as the program's sample record.
FrameData frameDataFromSensorFrame(const SensorFrame& sf);
