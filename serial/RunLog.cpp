#include "RunLog.h"

#include <QByteArray>
#include <QFile>

void appendRunLog(const uint8_t* payload, int length)
{
    QFile file(QStringLiteral("./Resources/run.log"));
    if (!file.open(QIODevice::WriteOnly | QIODevice::Append))
        return;
    QByteArray line = QByteArray::fromRawData(reinterpret_cast<const char*>(payload), length).toHex();
    line.append('\n');
    file.write(line);
}
