#pragma once

#include <QString>

// A value as the number fields show it: four significant digits, fixed or
// scientific, whichever is shorter, no trailing zeros.
inline QString formatValue(double value)
{
    return QString::number(value, 'g', 4);
}
