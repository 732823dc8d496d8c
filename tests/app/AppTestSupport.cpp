#include "AppTestSupport.h"
#include "ConfigFile.h"

#include <QDirIterator>
#include <QFile>

AppWorkDir::AppWorkDir()
{
    if (!dir.isValid())
        return;
    const QString source = QStringLiteral(STRIDELOOM_SOURCE_DIR "/Resources");
    QDirIterator it(source, QDir::Files, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString file = it.next();
        const QString target = dir.path() + "/Resources/" + QDir(source).relativeFilePath(file);
        QDir().mkpath(QFileInfo(target).path());
        QFile::copy(file, target);
    }
    ok = QDir::setCurrent(dir.path());
    // The tests read the Chinese texts whatever the machine's language is.
    setOption(QStringLiteral("language"), QStringLiteral("zh_CN"));
}

void AppWorkDir::setOption(const QString& name, const QString& value)
{
    ConfigFile::Options options;
    ConfigFile::read("Resources/config.xml", &options);
    options[name] = value;
    ConfigFile::write("Resources/config.xml", options);
}
