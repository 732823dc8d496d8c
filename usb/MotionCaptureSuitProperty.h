#pragma once

#include <QMetaType>

// Suit type, carried in bits 6-7 of a node identifier.
enum MotionCaptureSuit_Property {
    KORVANT_Q3 = 0,
    KORVANT_ZAN = 1,
    SUIT_PROPERTY_UNSET = 2,
};

Q_DECLARE_METATYPE(MotionCaptureSuit_Property)
