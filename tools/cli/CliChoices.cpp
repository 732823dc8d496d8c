#include "CliChoices.h"

#include "Recorder.h"
#include "SLDevice.h"

#include <QDir>
#include <QFileInfo>
#include <cstdio>

namespace cli {

void parseUsbSelection(const QString& selection, bool* all, QSet<uint32_t>* suits, QSet<uint32_t>* nodes)
{
    for (const QString& item : selection.split(QLatin1Char(';'), Qt::SkipEmptyParts)) {
        if (item == QLatin1String("all")) {
            *all = true;
            continue;
        }
        bool ok = false;
        const uint32_t v = item.toUInt(&ok, 0);
        if (ok)
            (v > 0xFFFFFF ? nodes : suits)->insert(v);
    }
}

QStringList chosenSerialKeys(SLDevice& dev, const QString& wanted)
{
    const QStringList names = wanted.split(QLatin1Char(';'), Qt::SkipEmptyParts);
    QStringList keys;
    for (const _device_config& c : dev.GetAllDeviceConfig())
        if (names.contains(QStringLiteral("all")) || names.contains(c.serialKey))
            keys << c.serialKey;
    return keys;
}

QString findOptionFile(const QString& given)
{
    if (!given.isEmpty())
        return given;
    const QString local = QStringLiteral("Resources/config.xml");
    if (QFileInfo::exists(local))
        return local;
    const QString data = qEnvironmentVariable("XDG_DATA_HOME", QDir::homePath() + QStringLiteral("/.local/share"));
    return data + QStringLiteral("/strideloom/Resources/config.xml");
}

bool loadRecordingOptions(const QCommandLineParser& parser, ConfigFile::Options* options, ExportSettings* settings,
                          QString* error)
{
    const QString file = findOptionFile(parser.value("config"));
    if (ConfigFile::read(file, options)) {
        *settings = ConfigFile::exportSettings(*options);
        return true;
    }
    if (parser.isSet("config")) {
        *error = QStringLiteral("cannot read the option file ") + file;
        return false;
    }
    std::fprintf(stderr, "no option file at %s; recording with the default options\n", qPrintable(file));
    *settings = ConfigFile::defaultExportSettings();
    return true;
}

bool recordingDirectory(const QCommandLineParser& parser, const ConfigFile::Options& options, QString* dir,
                        QString* error)
{
    *dir = parser.value("dir");
    if (dir->isEmpty()) {
        const auto it = options.find(QStringLiteral("savepath"));
        if (it != options.end())
            *dir = it->second;
    }
    if (dir->isEmpty())
        *dir = QDir::currentPath();
    if (QDir().mkpath(*dir))
        return true;
    *error = QStringLiteral("cannot create the directory ") + *dir;
    return false;
}

bool reportRecordings(FILE* out, const Recorder& recorder, const QString& dir, const QHash<QString, long>& lines,
                      const QHash<QString, QString>& writeFailures, const QStringList& openFailures)
{
    QStringList keys = lines.keys();
    keys.sort();
    for (const QString& key : keys)
        if (!writeFailures.contains(key))
            std::fprintf(out, "recorded %s %ld %s\n", qPrintable(key), lines.value(key),
                         qPrintable(recorder.fileNameFor(dir, key)));
    for (auto it = writeFailures.begin(); it != writeFailures.end(); ++it)
        std::fprintf(stderr, "strideloom-cli: writing %s failed after %ld lines; recording of %s stopped\n",
                     qPrintable(it.value()), lines.value(it.key()), qPrintable(it.key()));
    for (const QString& key : openFailures)
        std::fprintf(stderr, "strideloom-cli: could not open a file for %s\n", qPrintable(key));
    return writeFailures.isEmpty() && openFailures.isEmpty();
}

} // namespace cli
