#pragma once

#include "ExportSettings.h"
#include "FrameData.h"
#include "RecordFormat.h"

#include <QDateTime>
#include <QMap>
#include <QObject>
#include <QString>
#include <QStringList>
#include <memory>
#include <mutex>

class QFile;

// The open recording files, one per device key. Lines are written from the
// thread that handles a device's frames while the GUI thread starts and
// stops recordings; one lock makes a line and a close exclusive, so no line
// is ever written into a file being closed, and stop() flushes every file.
class Recorder : public QObject
{
    Q_OBJECT
public:
    Recorder();
    ~Recorder() override;

    // Opens one file per key in dir; returns the keys whose file could not
    // be opened. stamp is the recording's start time. A key of another
    // station's device is "station/key": its file name carries both
    // ("station_key", the header cannot hold a "/") and its header the
    // device key alone, so that it plays back like a local recording.
    QStringList start(const QString& dir, const QStringList& keys, const ExportSettings& settings,
                      const QDateTime& stamp);
    // Opens files for more keys in the running recording (same start time
    // and options); returns the keys whose file could not be opened.
    QStringList add(const QString& dir, const QStringList& keys);
    void stop();
    bool isRecording(const QString& key) const;
    QString fileNameFor(const QString& dir, const QString& key) const;

    // One data line for the frame, when a file is open for the key; true
    // when the line is in the file.
    bool writeFrame(const QString& key, const FrameData& frame);

signals:
    // A file stopped accepting lines (disk full, removed medium); it was
    // closed. Emitted once per file, from the writing thread.
    void sigWriteFailed(QString key, QString path);

private:
    struct OpenFile;
    // Opens and heads one file per key; the caller holds mutexFiles.
    QStringList openFiles(const QString& dir, const QStringList& keys);
    // Guards files, packCounts and header.
    mutable std::mutex mutexFiles;
    QMap<QString, std::shared_ptr<OpenFile>> files;
    QMap<QString, uint> packCounts;
    RecordHeader header;
    ExportSettings stcExport;
    QString stamp;
};
