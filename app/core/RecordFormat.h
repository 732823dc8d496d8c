#pragma once

#include "ExportSettings.h"
#include "FrameData.h"
#include "PlayHistory.h"

#include <QDateTime>
#include <QString>

// The recorded data file: a header line of 15 "/"-separated fields, then one
// delimited line per frame. Pure functions shared by the recorder, playback
// and the command-line reader.
struct RecordHeader
{
    QString key;
    QString separate;
    QString placeholder;
    int datetime = 0;
    int packcount = 0;
    int accel = 0;
    int gyro = 0;
    int mag = 0;
    int quat = 0;
    int euler = 0;
    int laccel = 0;
    int temperature = 0;
    int barometer = 0;
    int altitude = 0;
    int position = 0;
};

class RecordFormat
{
public:
    static constexpr int kHeaderFields = 15;

    // The header a recording with these options writes (key left empty;
    // linear acceleration and altitude are never recorded).
    static RecordHeader headerFor(const ExportSettings& s);
    static QString headerLine(const RecordHeader& h);
    // False unless the line has exactly 15 fields.
    static bool parseHeader(const QString& line, RecordHeader* h);
    // Columns of a data line (each followed by the separator).
    static int columnCount(const RecordHeader& h);
    // One data line without its line end.
    static QString dataLine(const RecordHeader& h, const FrameData& f, uint packCount, const QDateTime& now);
    // Appends one entry to every array of the history; false (nothing
    // appended) for a line with the wrong number of fields.
    static bool parseDataLine(const RecordHeader& h, const QString& line, PlayHistory* history);
    // A value as the recorder writes it: %g with 6 significant digits.
    static QString number(float v);

    // Why recordings with this separator could not be read back (empty
    // when they can): it must be non-empty and share no character with the
    // header's "/", a line end, a number, "nan"/"inf" or a time stamp.
    static QString separatorProblem(const QString& separate);
    // Likewise for a placeholder: non-empty, without "/", a line end or any
    // character of the separator.
    static QString placeholderProblem(const QString& placeholder, const QString& separate);
};
