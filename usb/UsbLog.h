#pragma once

#include <cstdint>

// The library's diagnostic lines go to standard output, printf-style;
// each call is written and flushed whole so lines of several threads do
// not interleave within a call.
void usbLog(const char* format, ...)
#if defined(__GNUC__)
    __attribute__((format(printf, 1, 2)))
#endif
    ;

// The monotonic millisecond tick count that stamps frames and log lines.
long long usbTickMs();

// A small number naming the calling thread in log lines.
int usbThreadId();
