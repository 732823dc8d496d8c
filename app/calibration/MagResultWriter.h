#pragma once

#include "SerialTypes.h"

#include <QMap>
#include <QObject>
#include <QString>
#include <QTimer>
#include <functional>
#include <memory>

class DeviceConfToShow;
class SLDevice;

// Writes fitted magnetometer calibrations into their devices without ever
// sending blocks that were not read from the device itself: each write
// first requests the device's configuration afresh, keeps every other byte
// of it, and counts as done only once the device acknowledges it. A result
// that could not be written is kept so that the write can be retried.
//
// GUI thread only.
class MagResultWriter : public QObject
{
    Q_OBJECT
public:
    enum Stage { NoResult, ReadingConfig, Writing, Written, Failed };

    // How long the writer waits for each answer; a little longer than the
    // serial library's own time-out, which reports first when it can.
    static constexpr int kAnswerTimeoutMs = 3500;

    // liveRecord finds the live device row of a key and source type (never
    // a file row).
    using RecordLookup = std::function<DeviceConfToShow*(const QString& key, int sourceType)>;
    MagResultWriter(SLDevice* device, RecordLookup liveRecord, QObject* parent = nullptr);
    ~MagResultWriter() override;

    // Takes the record's fitted result and starts writing it.
    void submit(DeviceConfToShow* record);
    // Writes a kept result again; false when there is none to retry.
    bool retry(const QString& key);

    Stage stage(const QString& key) const;
    // A result is on its way into the device (its configuration is being
    // read or the write is unanswered).
    bool isWriting(const QString& key) const;
    // Why the last write failed, in the language in force; empty if it did not.
    QString failureText(const QString& key) const;
    // Keys of results that were fitted but are not in their devices.
    QStringList unwrittenKeys() const;

public slots:
    // The device's configuration, from a live device's row.
    void onConfigRead(QString key, DevSetting& setting);
    // The outcome of a configuration write.
    void onWriteResult(QString key, bool ok);
    // A live row left the device list.
    void onDeviceRemoved(QString key);

signals:
    // A failure the user must hear of at once.
    void sigFailed(QString key, QString text);

private:
    struct Job
    {
        float matrix[9];
        float bias[3];
        Stage stage = NoResult;
        int sourceType = 0;
        int configRequests = 0;
        const char* failure = nullptr;  // untranslated
        std::unique_ptr<QTimer> timer;
    };

    void start(const QString& key, Job& job);
    void fail(const QString& key, Job& job, const char* failure);
    void onTimeout(const QString& key);
    void setStage(const QString& key, Job& job, Stage stage);
    void log(const QString& key, const Job& job, const QString& line);
    DeviceConfToShow* recordOf(const QString& key, const Job& job) const;

    SLDevice* pDevice;
    RecordLookup liveRecord;
    QMap<QString, std::shared_ptr<Job>> jobs;
};
