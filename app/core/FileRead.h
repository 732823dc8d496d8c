#pragma once

#include "RecordFormat.h"

#include <QObject>
#include <QString>
#include <atomic>

class QFile;
struct PlayHistory;

// Reads a recorded file into a play history, on its own thread.
class FileRead : public QObject
{
    Q_OBJECT
public:
    FileRead(const QString& path, PlayHistory* history, QObject* parent = nullptr);
    ~FileRead() override;

    // The device key from the file's header line, if it has 15 fields.
    static bool readFileKey(const QString& path, QString& key);

signals:
    void finished();

public slots:
    void analysisFile();
    // Called after finished(): the acquire pairs with the release that ends
    // the run, so the history the run filled is visible to the caller.
    bool getResult() const { return bDone.load(std::memory_order_acquire) && bResult; }

private:
    QFile* pFile = nullptr;
    bool bResult = false;
    QString strPath;
    PlayHistory* pHistory;
    RecordHeader header;
    std::atomic<bool> bDone{false};
};
