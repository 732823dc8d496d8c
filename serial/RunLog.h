#pragma once

#include <cstdint>

// Appends one line of lower-case hex digits for an unrecognised payload to
// "./Resources/run.log". A file that cannot be opened is silently skipped.
void appendRunLog(const uint8_t* payload, int length);
