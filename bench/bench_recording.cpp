// Recorder and playback reader on a large recording: the recorder's cost
// per written line, and loading speed in lines per second beside `wc -l`
// reading the same file in the same run.
//   bench_recording [lines]

#include "FileRead.h"
#include "PlayHistory.h"
#include "Recorder.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QProcess>
#include <QTemporaryDir>
#include <cmath>
#include <cstdio>
#include <cstring>

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const int lines = argc > 1 ? std::atoi(argv[1]) : 1000000;
    QTemporaryDir dir;
    ExportSettings s;
    s.filename = "bench";
    s.filesuffix = "txt";
    s.separate = "\t";
    s.placeholder = "NaN";
    s.datetime = s.packcount = s.accel = s.gyro = s.mag = s.quat = s.euler = 1;
    s.temperature = s.barometer = s.position = 1;
    Recorder rec;
    rec.start(dir.path(), {"1"}, s, QDateTime::currentDateTime());
    FrameData f;
    std::memset(&f, 0, sizeof(f));
    QElapsedTimer t;
    t.start();
    for (int i = 0; i < lines; ++i) {
        for (int k = 0; k < 3; ++k) {
            f.accel[k] = std::sin(0.001f * i + k);
            f.gyro[k] = 250.0f * std::cos(0.002f * i + k);
            f.mag[k] = 48.0f * std::sin(0.0005f * i + 2 * k);
            f.euler[k] = 179.0f * std::sin(0.0001f * i + k);
        }
        for (int k = 0; k < 4; ++k)
            f.quat[k] = std::cos(0.0003f * i * (k + 1));
        rec.writeFrame("1", f);
    }
    const double writeNs = double(t.nsecsElapsed()) / lines;
    const QString path = rec.fileNameFor(dir.path(), "1");
    rec.stop();

    t.restart();
    QProcess wc;
    wc.start("wc", {"-l", path});
    wc.waitForFinished(-1);
    const double wcSeconds = double(t.nsecsElapsed()) / 1e9;

    PlayHistory history;
    FileRead reader(path, &history);
    t.restart();
    reader.analysisFile();
    const double loadSeconds = double(t.nsecsElapsed()) / 1e9;

    std::printf("recorder: %.0f ns per written line (every group, each line flushed)\n", writeNs);
    std::printf("load %d lines: %.2f s, %.0f lines/s (wc -l on the same file: %.3f s)\n", int(history.size()),
                loadSeconds, history.size() / loadSeconds, wcSeconds);
    return reader.getResult() ? 0 : 1;
}
