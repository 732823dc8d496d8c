#pragma once

#include "ExportSettings.h"

#include <QString>
#include <map>

// The option file: <ExportFileSetting><OptionList><OpConf name= value=/>…
// Pure reading and writing; a missing or broken file reads as no options.
class ConfigFile
{
public:
    using Options = std::map<QString, QString>;

    // Returns false (and leaves options untouched) when the file cannot be
    // opened or parsed, or is not an option file.
    static bool read(const QString& path, Options* options);
    static bool write(const QString& path, const Options& options);

    // The recording options among the options (flags read as decimal ints).
    // A separator or placeholder that recordings could not be read back with
    // falls back to the default, with one log line.
    static ExportSettings exportSettings(const Options& options);
    // The recording options the program ships with.
    static ExportSettings defaultExportSettings();
    // Adds every recording option missing from options, empty, so that the
    // next save writes it.
    static void addMissingExportOptions(Options* options);
    // Stores the recording options, flags as "1" or "0".
    static void storeExportSettings(const ExportSettings& s, Options* options);
};
