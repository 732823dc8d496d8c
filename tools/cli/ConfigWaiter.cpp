#include "ConfigWaiter.h"

ConfigWaiter::ConfigWaiter(const QString& key)
    : strKey(key)
{
}

void ConfigWaiter::onConfig(QString serialKey, DevSetting& setting)
{
    if (serialKey != strKey)
        return;
    stcSetting = setting;
    bAnswered = true;
    emit done();
}

void ConfigWaiter::onStatus(QString serialKey, bool ok)
{
    // A failed REQCONFIG is reported through the status signal.
    if (serialKey == strKey && !ok)
        emit done();
}
