#pragma once

#include <QString>

// Sends standard output to a temporary file while it lives, so a test can
// read the library's log lines.
class StdoutCapture
{
public:
    StdoutCapture();
    ~StdoutCapture();
    StdoutCapture(const StdoutCapture&) = delete;
    StdoutCapture& operator=(const StdoutCapture&) = delete;

    // Everything written so far.
    QString text() const;

private:
    int savedFd = -1;
    int fileFd = -1;
};
