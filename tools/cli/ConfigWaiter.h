#pragma once

#include "SerialTypes.h"

#include <QObject>
#include <QString>

// Waits for one device's configuration reply or for its command to fail.
class ConfigWaiter : public QObject
{
    Q_OBJECT
public:
    explicit ConfigWaiter(const QString& key);

    bool answered() const { return bAnswered; }
    const DevSetting& setting() const { return stcSetting; }

signals:
    void done();

public slots:
    void onConfig(QString serialKey, DevSetting& setting);
    void onStatus(QString serialKey, bool ok);

private:
    const QString strKey;
    bool bAnswered = false;
    DevSetting stcSetting{};
};
