#include "UsbLog.h"

#include <chrono>
#include <cstdarg>
#include <cstdio>
#include <unistd.h>
#include <sys/syscall.h>

void usbLog(const char* format, ...)
{
    char line[1024];
    va_list args;
    va_start(args, format);
    const int n = std::vsnprintf(line, sizeof line, format, args);
    va_end(args);
    if (n <= 0)
        return;
    std::fwrite(line, 1, size_t(n) < sizeof line ? size_t(n) : sizeof line - 1, stdout);
    std::fflush(stdout);
}

long long usbTickMs()
{
    return std::chrono::duration_cast<std::chrono::milliseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

int usbThreadId()
{
    return int(::syscall(SYS_gettid));
}
