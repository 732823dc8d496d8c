#pragma once

#include "ConfigFile.h"
#include "ExportSettings.h"

#include <QCommandLineParser>
#include <QHash>
#include <QSet>
#include <QString>
#include <QStringList>
#include <cstdint>
#include <cstdio>

class Recorder;
class SLDevice;

// What the user chose on the command line, as every recording command reads
// it: devices, the option file and the recording directory.
namespace cli {

// Suit numbers ("0x1234", 24 bits) and node ids (more bits) to record.
void parseUsbSelection(const QString& selection, bool* all, QSet<uint32_t>* suits, QSet<uint32_t>* nodes);
// The identified serial devices named in a ';' list ("all" for every one).
QStringList chosenSerialKeys(SLDevice& dev, const QString& wanted);
// The option file: --config, else the program's working directory, then
// the launcher's.
QString findOptionFile(const QString& given);
// Reads the option file into options and settings. A file named with
// --config must be readable (false, error set); without one the defaults
// apply and a line on standard error says so.
bool loadRecordingOptions(const QCommandLineParser& parser, ConfigFile::Options* options, ExportSettings* settings,
                          QString* error);
// --dir, else the option "savepath", else the current directory; made if
// missing. False (error set) when it cannot be made.
bool recordingDirectory(const QCommandLineParser& parser, const ConfigFile::Options& options, QString* dir,
                        QString* error);

// Prints a "recorded KEY LINES FILE" line for every file finished whole and
// an error line for every file that stopped taking lines or never opened.
// True when there was no such failure.
bool reportRecordings(FILE* out, const Recorder& recorder, const QString& dir, const QHash<QString, long>& lines,
                      const QHash<QString, QString>& writeFailures, const QStringList& openFailures);

} // namespace cli
