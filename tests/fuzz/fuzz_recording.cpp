// A recorded file: the header record and every data line.
#include "RecordFormat.h"

#include <QString>
#include <QStringList>
#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QString text = QString::fromUtf8(reinterpret_cast<const char*>(data), int(size));
    const QStringList lines = text.split(QLatin1Char('\n'));
    RecordHeader header;
    if (lines.isEmpty() || !RecordFormat::parseHeader(lines.first(), &header))
        return 0;
    PlayHistory history;
    for (int i = 1; i < lines.size(); ++i)
        RecordFormat::parseDataLine(header, lines.at(i), &history);
    return 0;
}
