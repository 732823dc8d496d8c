#include "ConfigFile.h"

#include "RecordFormat.h"

#include <QDebug>
#include <QDomDocument>
#include <QFile>
#include <QSaveFile>
#include <QTextStream>

bool ConfigFile::read(const QString& path, Options* options)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text))
        return false;
    QDomDocument doc;
    if (!doc.setContent(&file, false) || doc.documentElement().tagName() != QLatin1String("ExportFileSetting"))
        return false;
    const QDomElement list = doc.documentElement().firstChildElement(QStringLiteral("OptionList"));
    Options read;
    for (QDomNode n = list.firstChild(); !n.isNull(); n = n.nextSibling()) {
        const QDomElement e = n.toElement();
        read[e.attribute(QStringLiteral("name"))] = e.attribute(QStringLiteral("value"));
    }
    for (const auto& kv : read)
        (*options)[kv.first] = kv.second;
    return true;
}

bool ConfigFile::write(const QString& path, const Options& options)
{
    QDomDocument doc;
    doc.appendChild(doc.createProcessingInstruction(QStringLiteral("xml"),
                                                    QStringLiteral("version=\"1.0\" encoding=\"UTF-8\"")));
    QDomElement root = doc.createElement(QStringLiteral("ExportFileSetting"));
    doc.appendChild(root);
    QDomElement list = doc.createElement(QStringLiteral("OptionList"));
    root.appendChild(list);
    for (const auto& kv : options) {
        QDomElement op = doc.createElement(QStringLiteral("OpConf"));
        op.setAttribute(QStringLiteral("name"), kv.first);
        op.setAttribute(QStringLiteral("value"), kv.second);
        list.appendChild(op);
    }
    // Written whole or not at all: a full disk must not leave half a file.
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    QTextStream out(&file);
    out.setCodec("UTF-8");
    doc.save(out, 4, QDomNode::EncodingFromDocument);
    out.flush();
    return file.commit();
}

namespace {

// The flag options and where each lives in ExportSettings.
struct FlagOption
{
    const char* name;
    int ExportSettings::*flag;
};

constexpr FlagOption kFlags[] = {
    {"datetime", &ExportSettings::datetime}, {"packcount", &ExportSettings::packcount},
    {"accel", &ExportSettings::accel},       {"gyro", &ExportSettings::gyro},
    {"mag", &ExportSettings::mag},           {"quat", &ExportSettings::quat},
    {"euler", &ExportSettings::euler},       {"temperature", &ExportSettings::temperature},
    {"barometer", &ExportSettings::barometer}, {"position", &ExportSettings::position},
};

QString option(const ConfigFile::Options& options, const char* name)
{
    const auto it = options.find(QString::fromLatin1(name));
    return it == options.end() ? QString() : it->second;
}

} // namespace

ExportSettings ConfigFile::exportSettings(const Options& options)
{
    ExportSettings s;
    s.filename = option(options, "filename");
    s.filesuffix = option(options, "filesuffix");
    s.separate = option(options, "separate");
    s.placeholder = option(options, "placeholder");
    for (const FlagOption& f : kFlags)
        s.*f.flag = option(options, f.name).toInt(nullptr, 10);
    const ExportSettings defaults = defaultExportSettings();
    if (!RecordFormat::separatorProblem(s.separate).isEmpty()) {
        qWarning().noquote() << "option separate" << QStringLiteral("\"%1\"").arg(s.separate)
                             << "cannot be read back from a recording; using the default tab";
        s.separate = defaults.separate;
    }
    if (!RecordFormat::placeholderProblem(s.placeholder, s.separate).isEmpty()) {
        qWarning().noquote() << "option placeholder" << QStringLiteral("\"%1\"").arg(s.placeholder)
                             << "cannot be read back from a recording; using the default NaN";
        s.placeholder = defaults.placeholder;
    }
    return s;
}

ExportSettings ConfigFile::defaultExportSettings()
{
    ExportSettings s;
    s.filename = QStringLiteral("strideloom");
    s.filesuffix = QStringLiteral("txt");
    s.separate = QStringLiteral("\t");
    s.placeholder = QStringLiteral("NaN");
    s.datetime = 1;
    s.packcount = 1;
    s.accel = 1;
    s.gyro = 1;
    s.mag = 1;
    s.quat = 1;
    s.euler = 1;
    return s;
}

void ConfigFile::addMissingExportOptions(Options* options)
{
    for (const char* name : {"filename", "filesuffix", "separate", "placeholder"})
        (*options)[QString::fromLatin1(name)];
    for (const FlagOption& f : kFlags)
        (*options)[QString::fromLatin1(f.name)];
}

void ConfigFile::storeExportSettings(const ExportSettings& s, Options* options)
{
    (*options)[QStringLiteral("filename")] = s.filename;
    (*options)[QStringLiteral("filesuffix")] = s.filesuffix;
    (*options)[QStringLiteral("separate")] = s.separate;
    (*options)[QStringLiteral("placeholder")] = s.placeholder;
    for (const FlagOption& f : kFlags)
        (*options)[QString::fromLatin1(f.name)] = s.*f.flag != 0 ? QStringLiteral("1") : QStringLiteral("0");
}
