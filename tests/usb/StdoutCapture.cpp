#include "StdoutCapture.h"

#include <QTest>
#include <cstdio>
#include <cstdlib>
#include <unistd.h>

StdoutCapture::StdoutCapture()
{
    std::fflush(stdout);
    char name[] = "/tmp/stdoutcaptureXXXXXX";
    fileFd = mkstemp(name);
    unlink(name);
    savedFd = dup(STDOUT_FILENO);
    dup2(fileFd, STDOUT_FILENO);
}

StdoutCapture::~StdoutCapture()
{
    std::fflush(stdout);
    // The test's own failure message was written while captured: show it,
    // with the log lines around it, where the run's output goes.
    const QByteArray failed = QTest::currentTestFailed() ? text().toUtf8() : QByteArray();
    dup2(savedFd, STDOUT_FILENO);
    if (!failed.isEmpty()) {
        std::fwrite(failed.constData(), 1, size_t(failed.size()), stdout);
        std::fflush(stdout);
    }
    close(savedFd);
    close(fileFd);
}

QString StdoutCapture::text() const
{
    std::fflush(stdout);
    QByteArray bytes;
    char buf[4096];
    for (off_t offset = 0;;) {
        const ssize_t n = pread(fileFd, buf, sizeof buf, offset);
        if (n <= 0)
            break;
        bytes.append(buf, int(n));
        offset += n;
    }
    return QString::fromUtf8(bytes);
}
