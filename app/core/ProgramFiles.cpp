#include "ProgramFiles.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

QString ProgramFiles::find(const QString& relative)
{
    const QString app = QCoreApplication::applicationDirPath();
    // The installed program is PREFIX/lib/strideloom/Strideloom.
    for (const QString& base : {app, app + QStringLiteral("/../../share/strideloom")}) {
        const QString path = QDir::cleanPath(base + QLatin1Char('/') + relative);
        if (QFileInfo::exists(path))
            return path;
    }
    return QString();
}
